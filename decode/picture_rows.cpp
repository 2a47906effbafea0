#include "decode/picture_rows.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Pictures at least this large take their memory straight from the system, whose fresh pages
// read as zero and are only made resident when written.
constexpr std::size_t kMappedBytes = std::size_t{1} << 20;

// `bytes` of zeroed memory; null when there is none. `sparse`: few of the rows will be
// written, so the memory is kept in small pages, of which each written row makes only its own
// resident.
std::shared_ptr<std::uint8_t[]> ZeroedMemory(std::size_t bytes, bool sparse) {
    if (bytes < kMappedBytes) {
        return std::shared_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[bytes]());
    }
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        return nullptr;
    }
    if (sparse) {
        madvise(memory, bytes, MADV_NOHUGEPAGE);
    }
    return std::shared_ptr<std::uint8_t[]>(static_cast<std::uint8_t*>(memory),
                                           [bytes](std::uint8_t* p) { munmap(p, bytes); });
}

struct CPoint {
    std::int32_t x;
    std::int32_t y;
};

// Where stored pixel (x, y) of a picture stored w x h stands once the picture is upright.
CPoint Upright(int orientation, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    switch (orientation) {
        case 2:
            return {w - 1 - x, y};
        case 3:
            return {w - 1 - x, h - 1 - y};
        case 4:
            return {x, h - 1 - y};
        case 5:
            return {y, x};
        case 6:
            return {h - 1 - y, x};
        case 7:
            return {h - 1 - y, w - 1 - x};
        case 8:
            return {y, w - 1 - x};
        default:
            return {x, y};
    }
}

}  // namespace

bool CPictureRows::Allocate(const CPictureHeader& header, const std::vector<bool>& wanted) {
    if (header.width <= 0 || header.height <= 0 || header.width > CDib::kMaxSide ||
        header.height > CDib::kMaxSide ||
        (!wanted.empty() && wanted.size() != static_cast<std::size_t>(header.UprightHeight()))) {
        return false;
    }
    m_header = header;
    if (header.orientation < 1 || header.orientation > 8) {
        m_header.orientation = 1;
    }
    try {
        m_wanted = wanted;
        m_anyWanted =
            wanted.empty() || std::find(wanted.begin(), wanted.end(), true) != wanted.end();
        if (m_header.orientation != 1 && m_header.orientation != 4) {
            m_strip.resize(static_cast<std::size_t>(kStripRows) * 3 * header.width);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_stride = CDib::Stride(24, m_header.UprightWidth());
    const std::size_t bytes =
        static_cast<std::size_t>(m_stride) * static_cast<std::size_t>(m_header.UprightHeight());
    m_pixels = ZeroedMemory(bytes, !m_wanted.empty());
    return m_pixels != nullptr;
}

bool CPictureRows::Wants(std::int32_t y) const {
    switch (m_header.orientation) {
        case 1:
        case 2:
            return WantsUpright(y);
        case 3:
        case 4:
            return WantsUpright(m_header.height - 1 - y);
        default:  // a stored row is a column of the upright picture
            return m_anyWanted;
    }
}

std::uint8_t* CPictureRows::Row(std::int32_t y) {
    if (m_header.orientation == 1) {
        return UprightRow(y);
    }
    if (m_header.orientation == 4) {
        return UprightRow(m_header.height - 1 - y);
    }
    if (m_stripCount > 0 && (y != m_stripFirst + m_stripCount || m_stripCount == kStripRows)) {
        FlushStrip();
    }
    if (m_stripCount == 0) {
        m_stripFirst = y;
    }
    return m_strip.data() + static_cast<std::size_t>(y - m_stripFirst) * 3 * m_header.width;
}

void CPictureRows::RowDone(std::int32_t y) {
    if (m_header.orientation != 1 && m_header.orientation != 4) {
        m_stripCount = y - m_stripFirst + 1;
    }
}

void CPictureRows::FlushStrip() {
    const std::int32_t w = m_header.width;
    for (std::int32_t x = 0; x < w; ++x) {
        for (std::int32_t s = 0; s < m_stripCount; ++s) {
            const CPoint to =
                Upright(m_header.orientation, x, m_stripFirst + s, w, m_header.height);
            if (!WantsUpright(to.y)) {
                continue;  // a turned picture's rows are all decoded, but not all kept
            }
            std::memcpy(UprightRow(to.y) + 3 * static_cast<std::ptrdiff_t>(to.x),
                        m_strip.data() + (static_cast<std::size_t>(s) * w + x) * 3, 3);
        }
    }
    m_stripCount = 0;
}

bool CPictureRows::MoveTo(CDib& dib) {
    if (!m_pixels || dib.IsCreated()) {
        return false;
    }
    FlushStrip();
    std::shared_ptr<std::uint8_t[]> keeper = std::move(m_pixels);
    return dib.AdoptTopDown(m_header.UprightWidth(), m_header.UprightHeight(), 24, keeper.get(),
                            m_stride, keeper);
}
