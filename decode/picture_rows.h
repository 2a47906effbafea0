#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/dib.h"

// The size of a picture as its file stores it, and how it is turned to stand upright (EXIF
// orientation: 1 as stored, 2 mirrored, 3 half a turn, 4 flipped, 5 to 8 with rows and columns
// exchanged).
struct CPictureHeader {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int orientation = 1;

    bool Exchanged() const { return orientation >= 5 && orientation <= 8; }
    std::int32_t UprightWidth() const { return Exchanged() ? height : width; }
    std::int32_t UprightHeight() const { return Exchanged() ? width : height; }
};

// Where a decoder puts a picture's rows: the pixel memory of the upright 24-bit bitmap, which
// a decoder fills row by row in the order the file stores them. The memory comes zeroed from
// the system and is never cleared here, so rows that are not wanted stay black and cost no
// memory until something touches them: a photograph shrunk to a small screen needs only a
// few of its rows.
class CPictureRows {
public:
    // Takes the pixel memory for a picture of that header, of which only the upright rows
    // flagged in `wanted` (top first; empty: all) need decoding. False when memory runs out
    // or `wanted` does not have a flag for every upright row.
    [[nodiscard]] bool Allocate(const CPictureHeader& header, const std::vector<bool>& wanted);

    std::int32_t Width() const { return m_header.width; }  // as stored
    std::int32_t Height() const { return m_header.height; }

    // Whether stored row y (top first) is needed for a wanted upright row.
    bool Wants(std::int32_t y) const;
    // The 3 x Width() bytes (blue, green, red) where stored row y goes. A turned picture's rows
    // must come top first; those of a picture as stored may come in any order.
    std::uint8_t* Row(std::int32_t y);
    // Says that the row given by Row(y) is complete.
    void RowDone(std::int32_t y);

    // Makes `dib` (empty) the upright picture, the rows that were not wanted black.
    [[nodiscard]] bool MoveTo(CDib& dib);

private:
    // Turned rows wait in a strip so that each upright row receives a run of pixels at once.
    static constexpr std::int32_t kStripRows = 16;

    std::uint8_t* UprightRow(std::int32_t y) {
        return m_pixels.get() + static_cast<std::ptrdiff_t>(m_stride) * y;
    }
    bool WantsUpright(std::int32_t y) const {
        return m_wanted.empty() || m_wanted[static_cast<std::size_t>(y)];
    }
    void FlushStrip();

    CPictureHeader m_header;
    std::vector<bool> m_wanted;
    bool m_anyWanted = true;
    std::int32_t m_stride = 0;  // of the upright bitmap
    std::shared_ptr<std::uint8_t[]> m_pixels;
    std::vector<std::uint8_t> m_strip;  // stored rows m_stripFirst.. not yet placed
    std::int32_t m_stripFirst = 0;
    std::int32_t m_stripCount = 0;
};
