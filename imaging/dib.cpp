#include "imaging/dib.h"

#include "imaging/byte_order.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace {

// The bitmap-info header; compression, image size and resolutions stay 0.
void FillInfoHeader(std::uint8_t* h, std::int32_t width, std::int32_t height, std::uint8_t bits,
                    std::uint16_t colorCount) {
    StoreLittleEndian32(h + 0, CDib::kInfoHeaderSize);
    StoreLittleEndian32(h + 4, static_cast<std::uint32_t>(width));
    StoreLittleEndian32(h + 8, static_cast<std::uint32_t>(height));  // positive: rows bottom-up
    StoreLittleEndian16(h + 12, 1);                                  // planes
    StoreLittleEndian16(h + 14, bits);
    StoreLittleEndian32(h + 32, colorCount);  // colours used
    StoreLittleEndian32(h + 36, colorCount);  // colours important
}

bool IsKnownDepth(std::uint8_t bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
           bits == 32;
}

}  // namespace

std::int32_t CDib::Stride(int bitsPerPixel, std::int32_t width) {
    return static_cast<std::int32_t>(((static_cast<std::int64_t>(bitsPerPixel) * width + 31) / 32) *
                                     4);
}

bool CDib::Create(std::int32_t width, std::int32_t height, std::uint8_t bitsPerPixel,
                  std::uint16_t colorCount) {
    if (m_info || m_rowZero || width <= 0 || height <= 0 || !IsKnownDepth(bitsPerPixel)) {
        return false;
    }
    const std::int64_t stride64 = ((static_cast<std::int64_t>(bitsPerPixel) * width + 31) / 32) * 4;
    if (stride64 > std::numeric_limits<std::int32_t>::max() ||
        static_cast<std::uint64_t>(stride64) * static_cast<std::uint64_t>(height) >
            static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max() / 2)) {
        return false;
    }
    const std::size_t infoSize = kInfoHeaderSize + 4u * colorCount;
    std::unique_ptr<std::uint8_t[]> info(new (std::nothrow) std::uint8_t[infoSize]());
    if (!info) {
        return false;
    }
    const std::size_t pixelBytes =
        static_cast<std::size_t>(stride64) * static_cast<std::size_t>(height);
    std::unique_ptr<std::uint8_t[]> pixels(new (std::nothrow) std::uint8_t[pixelBytes]());
    if (!pixels) {
        return false;
    }
    FillInfoHeader(info.get(), width, height, bitsPerPixel, colorCount);

    m_width = width;
    m_height = height;
    m_bitsPerPixel = bitsPerPixel;
    m_colorCount = colorCount;
    m_stride = static_cast<std::int32_t>(stride64);
    m_info = std::move(info);
    m_pixels = std::move(pixels);
    m_rowZero = m_pixels.get();
    m_rowStep = m_stride;
    return true;
}

bool CDib::AdoptTopDown(std::int32_t width, std::int32_t height, std::uint8_t bitsPerPixel,
                        std::uint8_t* topRow, std::int32_t stride, std::shared_ptr<void> keeper) {
    if (m_info || m_rowZero || topRow == nullptr || width <= 0 || height <= 0 ||
        !IsKnownDepth(bitsPerPixel) || stride < Stride(bitsPerPixel, width)) {
        return false;
    }
    std::unique_ptr<std::uint8_t[]> info(new (std::nothrow) std::uint8_t[kInfoHeaderSize]());
    if (!info) {
        return false;
    }
    FillInfoHeader(info.get(), width, height, bitsPerPixel, 0);
    m_width = width;
    m_height = height;
    m_bitsPerPixel = bitsPerPixel;
    m_colorCount = 0;
    m_stride = Stride(bitsPerPixel, width);
    m_info = std::move(info);
    m_keeper = std::move(keeper);
    m_rowZero = topRow + static_cast<std::ptrdiff_t>(stride) * (height - 1);
    m_rowStep = -static_cast<std::ptrdiff_t>(stride);
    return true;
}

void CDib::Reset() {
    m_width = 0;
    m_height = 0;
    m_bitsPerPixel = 0;
    m_colorCount = 0;
    m_stride = 0;
    m_info.reset();
    m_pixels.reset();
    m_keeper.reset();
    m_rowZero = nullptr;
    m_rowStep = 0;
}

void CDib::SetColor(std::uint16_t index, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    if (!m_info || index >= m_colorCount) {
        return;
    }
    std::uint8_t* entry = m_info.get() + kInfoHeaderSize + 4u * index;
    entry[0] = blue;
    entry[1] = green;
    entry[2] = red;
    entry[3] = 0;
}

std::uint32_t CDib::GetColor(std::uint16_t index) const {
    if (!m_info || index >= m_colorCount) {
        return 0;
    }
    const std::uint8_t* entry = m_info.get() + kInfoHeaderSize + 4u * index;
    return entry[0] | (entry[1] << 8) | (static_cast<std::uint32_t>(entry[2]) << 16);
}

std::uint32_t CDib::ReadPixel(std::int32_t x, std::int32_t y) const {
    if (!m_rowZero || (m_bitsPerPixel != 24 && m_bitsPerPixel != 32)) {
        return 0;
    }
    x = std::clamp(x, 0, m_width - 1);
    y = std::clamp(y, 0, m_height - 1);
    const std::uint8_t* p = Row(y) + static_cast<std::size_t>(x) * (m_bitsPerPixel / 8);
    return p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
}

namespace {

// The vertical stepping of ResampleDib: the 16.16 step from one destination row to the next,
// and how many source rows each destination row averages (1 to 3).
struct CRowStepping {
    std::int64_t step;
    int box;
};

CRowStepping RowStepping(std::int32_t sh, std::int32_t dh) {
    const std::int64_t step = (static_cast<std::int64_t>(sh) * 65536) / dh;
    return {step, static_cast<int>(std::clamp<std::int64_t>(step >> 16, 1, 3))};
}

}  // namespace

void MarkResampledRows(std::int32_t sourceHeight, std::int32_t sy, std::int32_t sh, std::int32_t dh,
                       std::vector<bool>& rows) {
    if (sourceHeight <= 0 || dh <= 0 || sh < 0 || sh > CDib::kMaxSide ||
        rows.size() != static_cast<std::size_t>(sourceHeight)) {
        return;
    }
    const CRowStepping stepping = RowStepping(sh, dh);
    std::int64_t ypos = (static_cast<std::int64_t>(sourceHeight) - sy - 1) * 65536;
    for (std::int32_t j = 0; j < dh; ++j, ypos -= stepping.step) {
        const std::int64_t y0 = ypos >> 16;
        for (int k = 0; k < stepping.box; ++k) {
            rows[static_cast<std::size_t>(std::clamp<std::int64_t>(y0 + k, 0, sourceHeight - 1))] =
                true;
        }
    }
}

bool ResampleDib(const CDib& source, std::int32_t sx, std::int32_t sy, std::int32_t sw,
                 std::int32_t sh, CDib& destination, std::int32_t dw, std::int32_t dh) {
    if (!source.IsCreated() || !destination.IsCreated() ||
        (source.BitsPerPixel() != 24 && source.BitsPerPixel() != 32) ||
        destination.BitsPerPixel() != 24 || dw <= 0 || dh <= 0 || dw > destination.Width() ||
        dh > destination.Height() || sw < 0 || sh < 0) {
        return false;
    }
    // 16.16 steps hold rectangles of up to 32767 pixels a side; the positions are kept in 64
    // bits so that no sum of steps can overflow on the way.
    if (sw > CDib::kMaxSide || sh > CDib::kMaxSide) {
        return false;
    }
    const std::int64_t xstep = (static_cast<std::int64_t>(sw) * 65536) / dw;
    const CRowStepping stepping = RowStepping(sh, dh);
    const std::int64_t ystep = stepping.step;
    const int bw = static_cast<int>(std::clamp<std::int64_t>(xstep >> 16, 1, 3));
    const int bh = stepping.box;
    const int divisor = bw * bh;

    // Byte offsets of every box column of every destination column, clamped to the source,
    // computed once: the rows then only add up bytes.
    const int bytesPerPixel = source.BitsPerPixel() / 8;
    const std::int32_t lastColumn = source.Width() - 1;
    const std::int32_t lastRow = source.Height() - 1;
    std::vector<std::int32_t> columnOffsets;
    try {
        columnOffsets.resize(static_cast<std::size_t>(dw) * bw);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::int64_t xpos = static_cast<std::int64_t>(sx) * 65536;
    for (std::int32_t i = 0; i < dw; ++i) {
        const std::int64_t x0 = xpos >> 16;
        for (int k = 0; k < bw; ++k) {
            const std::int64_t x = std::clamp<std::int64_t>(x0 + k, 0, lastColumn);
            columnOffsets[static_cast<std::size_t>(i) * bw + k] =
                static_cast<std::int32_t>(x * bytesPerPixel);
        }
        xpos += xstep;
    }

    std::int64_t ypos = (static_cast<std::int64_t>(source.Height()) - sy - 1) * 65536;
    const std::uint8_t* rows[3] = {};
    for (std::int32_t j = 0; j < dh; ++j) {
        const std::int64_t y0 = ypos >> 16;  // arithmetic shift: rounds down
        for (int k = 0; k < bh; ++k) {
            rows[k] =
                source.Row(static_cast<std::int32_t>(std::clamp<std::int64_t>(y0 + k, 0, lastRow)));
        }
        std::uint8_t* out = destination.Row(destination.Height() - 1 - j);
        const std::int32_t* offsets = columnOffsets.data();
        for (std::int32_t i = 0; i < dw; ++i, offsets += bw, out += 3) {
            unsigned s0 = 0;
            unsigned s1 = 0;
            unsigned s2 = 0;
            for (int r = 0; r < bh; ++r) {
                const std::uint8_t* row = rows[r];
                for (int k = 0; k < bw; ++k) {
                    const std::uint8_t* p = row + offsets[k];
                    s0 += p[0];
                    s1 += p[1];
                    s2 += p[2];
                }
            }
            out[0] = static_cast<std::uint8_t>(s0 / divisor);
            out[1] = static_cast<std::uint8_t>(s1 / divisor);
            out[2] = static_cast<std::uint8_t>(s2 / divisor);
        }
        ypos -= ystep;
    }
    return true;
}
