#include "album/palm_bitmap.h"

#include <cstring>
#include <new>

#include "album/palm_database.h"
#include "res/core/resource_table.h"

namespace {

constexpr std::uint8_t kDepths[3] = {2, 4, 8};
constexpr std::uint8_t kVersionGrey = 1;
constexpr std::uint8_t kVersionColour = 2;

std::uint16_t RowBytes(std::uint8_t depth, std::uint16_t width) {
    // The row rounded up to a multiple of 16 bits.
    return static_cast<std::uint16_t>(((depth * width + 15) / 8) & ~1);
}

}  // namespace

bool CSystemPalette::LoadFromResource(int id) {
    const CResourceData resource = FindResource("PALETTE", id);
    const std::size_t count = resource.size / 3;
    if (count == 0) {
        return false;
    }
    CLogPalette palette;
    try {
        palette.entries.resize(count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        palette.entries[i] = {resource.data[3 * i], resource.data[3 * i + 1],
                              resource.data[3 * i + 2], 0};
    }
    return SetFromLogPalette(palette);
}

bool CSystemPalette::SetFromLogPalette(const CLogPalette& palette) {
    if (palette.entries.empty() || palette.entries.size() > 0xFFFF) {
        return false;
    }
    SetCount(static_cast<std::uint16_t>(palette.entries.size()));
    if (!Allocate()) {
        return false;
    }
    for (std::size_t i = 0; i < palette.entries.size(); ++i) {
        const auto& e = palette.entries[i];
        SetEntry(static_cast<std::uint16_t>(i), e.red, e.green, e.blue);
    }
    return true;
}

bool CPalmBitmapFamily::Encode() {
    if (m_source == nullptr || !m_source->IsCreated() || m_source->BitsPerPixel() != 24 ||
        m_source->Width() % 4 != 0 || m_source->Width() > 0xFFFF || m_source->Height() > 0xFFFF) {
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        if (!Build(m_bitmaps[i], kDepths[i])) {
            return false;
        }
        m_sizes[i] = m_bitmaps[i].byteSize;
    }
    if (m_maxDepth > 2) {
        m_bitmaps[0].nextDepthOffset = static_cast<std::uint16_t>(m_sizes[0] / 4);
    }
    if (m_maxDepth >= 5) {
        m_bitmaps[1].nextDepthOffset = static_cast<std::uint16_t>(m_sizes[1] / 4);
    }
    return true;
}

bool CPalmBitmapFamily::Build(CPalmBitmap& bitmap, std::uint8_t depth) {
    CSystemPalette palette;
    if (depth == 8 && !palette.LoadFromResource(CSystemPalette::kResourceId)) {
        return false;
    }
    const CDib& source = *m_source;
    bitmap.width = static_cast<std::uint16_t>(source.Width());
    bitmap.height = static_cast<std::uint16_t>(source.Height());
    bitmap.pixelSize = depth;
    bitmap.colorCount = 0;
    bitmap.nextDepthOffset = 0;
    bitmap.rowBytes = RowBytes(depth, bitmap.width);
    bitmap.byteSize =
        (kHeaderSize + static_cast<std::uint32_t>(bitmap.rowBytes) * bitmap.height + 3) & ~3u;
    try {
        bitmap.rows.assign(static_cast<std::size_t>(bitmap.rowBytes) * bitmap.height, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }

    for (int r = 0; r < bitmap.height; ++r) {
        // Palm bitmaps run top row first; the source is stored bottom-up.
        const std::uint8_t* in = source.Row(bitmap.height - 1 - r);
        std::uint8_t* out = bitmap.rows.data() + static_cast<std::size_t>(r) * bitmap.rowBytes;
        const int width = bitmap.width;
        if (depth == 2) {
            for (int x = 0; x < width; x += 4, in += 12) {
                const std::uint8_t g0 = PalmGrey(in[0], in[1], in[2]);
                const std::uint8_t g1 = PalmGrey(in[3], in[4], in[5]);
                const std::uint8_t g2 = PalmGrey(in[6], in[7], in[8]);
                const std::uint8_t g3 = PalmGrey(in[9], in[10], in[11]);
                // Complemented so that 0 is the lightest grey, as the handheld counts.
                *out++ = static_cast<std::uint8_t>(
                    ~((g0 & 0xC0) | ((g1 >> 2) & 0x30) | ((g2 >> 4) & 0x0C) | (g3 >> 6)));
            }
        } else if (depth == 4) {
            for (int x = 0; x < width; x += 2, in += 6) {
                const std::uint8_t g0 = PalmGrey(in[0], in[1], in[2]);
                const std::uint8_t g1 = PalmGrey(in[3], in[4], in[5]);
                *out++ = static_cast<std::uint8_t>(~((g0 & 0xF0) | (g1 >> 4)));
            }
        } else {
            for (int x = 0; x < width; ++x, in += 3) {
                *out++ = static_cast<std::uint8_t>(palette.FindNearest(in[2], in[1], in[0]));
            }
        }
    }
    return true;
}

std::uint32_t CPalmBitmapFamily::WrittenSize() const {
    if (m_maxDepth <= 2) {
        return m_sizes[0];
    }
    if (m_maxDepth <= 4) {
        return m_sizes[0] + m_sizes[1];
    }
    return TotalSize();
}

void CPalmBitmapFamily::WriteMember(const CPalmBitmap& bitmap, std::uint8_t* destination) {
    std::memset(destination, 0, bitmap.byteSize);
    StoreBigEndian16(destination + 0, bitmap.width);
    StoreBigEndian16(destination + 2, bitmap.height);
    StoreBigEndian16(destination + 4, bitmap.rowBytes);
    StoreBigEndian16(destination + 6, 0);  // flags: no colour table, compression or transparency
    destination[8] = bitmap.pixelSize;
    destination[9] = bitmap.pixelSize < 8 ? kVersionGrey : kVersionColour;
    StoreBigEndian16(destination + 10, bitmap.nextDepthOffset);
    destination[12] = 0;  // transparent index
    destination[13] = 0;  // compression type
    if (!bitmap.rows.empty()) {
        std::memcpy(destination + kHeaderSize, bitmap.rows.data(), bitmap.rows.size());
    }
}

bool CPalmBitmapFamily::CopyTo(std::uint8_t* destination) const {
    if (destination == nullptr || m_sizes[0] == 0) {
        return false;
    }
    WriteMember(m_bitmaps[0], destination);
    if (m_maxDepth > 2) {
        WriteMember(m_bitmaps[1], destination + m_sizes[0]);
    }
    if (m_maxDepth >= 5) {
        WriteMember(m_bitmaps[2], destination + m_sizes[0] + m_sizes[1]);
    }
    return true;
}

bool CPalmBitmapFamily::AddAsRecord(CPalmDatabase& database) {
    std::vector<std::uint8_t> record;
    try {
        record.assign(TotalSize(), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return CopyTo(record.data()) && database.AddRecord(record.data(), TotalSize());
}
