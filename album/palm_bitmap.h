#pragma once

#include <cstdint>
#include <vector>

#include "convert/color_palette.h"
#include "imaging/dib.h"
#include "res/core/resource_table.h"

class CPalmDatabase;

// One entry of a logical palette: red, green, blue and flags.
struct CLogPaletteEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t flags = 0;
};

struct CLogPalette {
    static constexpr std::uint16_t kVersion = 0x300;
    std::uint16_t version = kVersion;
    std::vector<CLogPaletteEntry> entries;
};

// The handheld's fixed 256-colour palette, loaded from the program's PALETTE resource.
class CSystemPalette : public CColorPalette {
public:
    static constexpr int kResourceId = kSystemPaletteResourceId;

    [[nodiscard]] virtual bool LoadFromResource(int id);
    [[nodiscard]] virtual bool SetFromLogPalette(const CLogPalette& palette);
};

// One Palm OS bitmap under construction: its header values and its pixel rows, top row first.
struct CPalmBitmap {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t pixelSize = 0;
    std::uint16_t colorCount = 0;  // no colour tables are written
    std::uint32_t byteSize = 0;    // header, rows and padding to a multiple of 4
    std::uint16_t rowBytes = 0;
    std::uint16_t nextDepthOffset = 0;
    std::vector<std::uint8_t> rows;
};

// A small 24-bit bitmap as a family of uncompressed Palm OS bitmaps at 2, 4 and 8 bits per
// pixel, chained by their next-depth offsets and written big-endian.
class CPalmBitmapFamily {
public:
    static constexpr std::size_t kHeaderSize = 16;

    CPalmBitmapFamily() = default;
    virtual ~CPalmBitmapFamily() = default;
    CPalmBitmapFamily(const CPalmBitmapFamily&) = delete;
    CPalmBitmapFamily& operator=(const CPalmBitmapFamily&) = delete;

    // Builds all three members from the source (24 bits, width a multiple of 4).
    [[nodiscard]] virtual bool Encode();
    // Appends one record holding all three members, as CopyTo lays them.
    [[nodiscard]] virtual bool AddAsRecord(CPalmDatabase& database);
    // Writes the members the maximum depth chooses, back to back, from `destination`.
    [[nodiscard]] virtual bool CopyTo(std::uint8_t* destination) const;

    // Bytes CopyTo writes: the 2-bit member, then the 4-bit and the 8-bit ones as the
    // maximum depth allows.
    std::uint32_t WrittenSize() const;
    std::uint32_t TotalSize() const { return m_sizes[0] + m_sizes[1] + m_sizes[2]; }
    const CPalmBitmap& Member(int index) const { return m_bitmaps[index]; }

    const CDib* m_source = nullptr;  // not owned
    std::uint8_t m_maxDepth = 8;

private:
    [[nodiscard]] bool Build(CPalmBitmap& bitmap, std::uint8_t depth);
    static void WriteMember(const CPalmBitmap& bitmap, std::uint8_t* destination);

    CPalmBitmap m_bitmaps[3];
    std::uint32_t m_sizes[3] = {0, 0, 0};  // bytes of the 2-, 4- and 8-bit members
};

// Grey level of a 24-bit pixel for the Palm bitmaps: (B >> 2) + (G >> 1) + (R >> 3).
constexpr std::uint8_t PalmGrey(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    return static_cast<std::uint8_t>((blue >> 2) + (green >> 1) + (red >> 3));
}
