#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The one in-memory bitmap: a Windows device-independent bitmap layout with rows stored
// bottom-up (storage row 0 is the bottom row), 24-bit pixels as blue, green, red, and every
// row padded to a multiple of four bytes.
class CDib {
public:
    static constexpr std::size_t kInfoHeaderSize = 40;
    // The largest side the program handles: ResampleDib steps in 16.16 fixed point.
    static constexpr std::int32_t kMaxSide = 32767;

    CDib() = default;
    ~CDib() = default;
    CDib(const CDib&) = delete;
    CDib& operator=(const CDib&) = delete;

    // Bytes per row for a bit depth and width: ((bits x width + 31) / 32) x 4.
    static std::int32_t Stride(int bitsPerPixel, std::int32_t width);

    // Makes the bitmap: info header, a cleared colour table of `colorCount` entries and
    // zeroed pixel memory. False for a non-positive size, an unknown depth, a size whose
    // pixel memory cannot be addressed, a second call, or when memory runs out.
    [[nodiscard]] bool Create(std::int32_t width, std::int32_t height, std::uint8_t bitsPerPixel,
                              std::uint16_t colorCount = 0);
    // Takes over rows that `keeper` keeps alive, stored top row first `stride` bytes apart (a
    // decoded picture's own memory), instead of copying them. Such a bitmap is walked with
    // Row(); only bitmaps made with Create are contiguous from Pixels().
    [[nodiscard]] bool AdoptTopDown(std::int32_t width, std::int32_t height,
                                    std::uint8_t bitsPerPixel, std::uint8_t* topRow,
                                    std::int32_t stride, std::shared_ptr<void> keeper);
    bool IsCreated() const { return m_rowZero != nullptr; }
    // Releases everything and returns to the empty state, as a new bitmap.
    void Reset();

    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }
    std::uint8_t BitsPerPixel() const { return m_bitsPerPixel; }
    std::uint16_t ColorCount() const { return m_colorCount; }
    std::int32_t RowStride() const { return m_stride; }
    std::size_t PixelBytes() const { return static_cast<std::size_t>(m_stride) * m_height; }

    std::uint8_t* Pixels() { return m_rowZero; }
    const std::uint8_t* Pixels() const { return m_rowZero; }
    // Storage row y (0 = bottom row of the image).
    std::uint8_t* Row(std::int32_t y) { return m_rowZero + m_rowStep * y; }
    const std::uint8_t* Row(std::int32_t y) const { return m_rowZero + m_rowStep * y; }
    // The info header followed by the colour table, as a bitmap file stores them.
    const std::uint8_t* Info() const { return m_info.get(); }
    std::size_t InfoSize() const { return kInfoHeaderSize + 4u * m_colorCount; }

    // Colour-table entry `index`; out-of-range indices are ignored (reads give 0).
    void SetColor(std::uint16_t index, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    std::uint32_t GetColor(std::uint16_t index) const;  // 0x00RRGGBB

    // Pixel at column x and storage row y, both clamped into the bitmap, as 0x00RRGGBB.
    // Only 24- and 32-bit bitmaps are read this way.
    std::uint32_t ReadPixel(std::int32_t x, std::int32_t y) const;

private:
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::uint8_t m_bitsPerPixel = 0;
    std::uint16_t m_colorCount = 0;
    std::int32_t m_stride = 0;
    std::unique_ptr<std::uint8_t[]> m_info;
    std::unique_ptr<std::uint8_t[]> m_pixels;
    std::shared_ptr<void> m_keeper;     // owner of adopted rows
    std::uint8_t* m_rowZero = nullptr;  // storage row 0
    std::ptrdiff_t m_rowStep = 0;       // from one storage row to the next
};

// Copies the rectangle (sx, sy, sw, sh) of `source` (y counted from the top; 24 or 32 bits)
// into the top-left dw x dh pixels of `destination` (24 bits), stepping in 16.16 fixed point
// and averaging a box of at most 3 x 3 source pixels per destination pixel. Source reads
// beyond the edges repeat the edge pixels. False when working memory cannot be had or the
// bitmaps are not of the depths above, or the rectangle cannot be stepped in 16.16.
[[nodiscard]] bool ResampleDib(const CDib& source, std::int32_t sx, std::int32_t sy,
                               std::int32_t sw, std::int32_t sh, CDib& destination, std::int32_t dw,
                               std::int32_t dh);

// Sets, in `rows` (a flag for each storage row of a source `sourceHeight` rows high), the rows
// ResampleDib reads when it copies source rows sy..sy + sh - 1 (counted from the top) into dh
// destination rows, so that a decoder can leave the others out. Leaves `rows` as it was for
// arguments ResampleDib refuses.
void MarkResampledRows(std::int32_t sourceHeight, std::int32_t sy, std::int32_t sh, std::int32_t dh,
                       std::vector<bool>& rows);
