#include "convert/conversion.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

#include "convert/color_palette.h"
#include "convert/depth_converter.h"
#include "convert/error_diffusion.h"
#include "convert/octree_quantizer.h"

namespace {

// The single-precision value of 1/127: contrast position 127 gives a factor of exactly 1.
constexpr float kContrastUnit = 0.007874016f;
constexpr std::int16_t kMaxBrightnessOffset = 128;
constexpr std::int16_t kMaxContrast = 255;

// The adaptive palette leaves room for the handheld's own colours.
constexpr std::int32_t kAdaptiveColorBudget = 240;
// The sample grid takes every fourth pixel, and never fewer than 160 a side.
constexpr std::int32_t kGridDivisor = 4;
constexpr std::int32_t kMinGridSide = 160;

std::uint8_t ClampToByte(std::int32_t v) {
    return static_cast<std::uint8_t>(v <= 0 ? 0 : (v >= 255 ? 255 : v));
}

bool SameSize(const CDib& a, const CDib& b) {
    return a.Width() == b.Width() && a.Height() == b.Height();
}

// Zeroes the bytes after a row's last pixel, so that a picture always gives the same bytes.
void ClearPadding(std::uint8_t* row, std::size_t used, std::int32_t stride) {
    std::fill(row + used, row + stride, std::uint8_t{0});
}

void WriteGreyRamp(CDib& destination) {
    const std::uint32_t n = destination.ColorCount();
    const std::uint32_t step = n > 1 ? 255 / (n - 1) : 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const auto level = static_cast<std::uint8_t>(step * i);  // modulo 256
        destination.SetColor(static_cast<std::uint16_t>(i), level, level, level);
    }
}

std::int32_t GridSide(std::int32_t side) {
    const std::int32_t quarter = side / kGridDivisor;
    return quarter > kMinGridSide ? quarter : kMinGridSide;
}

// Feeds the sample grid to the quantiser: grid rows outer, counted in storage order, with
// single-precision steps and counters.
bool SampleGrid(const CDib& source, COctreeQuantizer& quantizer) {
    const std::int32_t width = source.Width();
    const std::int32_t height = source.Height();
    const std::int32_t columns = GridSide(width);
    const std::int32_t rows = GridSide(height);
    const float columnStep = static_cast<float>(width) / static_cast<float>(columns);
    const float rowStep = static_cast<float>(height) / static_cast<float>(rows);
    const float columnEnd = static_cast<float>(columns);
    const float rowEnd = static_cast<float>(rows);
    for (float j = 0.0f; j < rowEnd; j += 1.0f) {
        const auto y = std::clamp(static_cast<std::int32_t>(j * rowStep), 0, height - 1);
        const std::uint8_t* row = source.Row(y);
        for (float i = 0.0f; i < columnEnd; i += 1.0f) {
            const auto x = std::clamp(static_cast<std::int32_t>(i * columnStep), 0, width - 1);
            const std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
            if (!quantizer.AddColor(p[2], p[1], p[0])) {
                return false;
            }
        }
    }
    return true;
}

// Palette indices are below the budget, so a byte-wide copy of the map is enough.
void NarrowMap(const COctreeQuantizer& quantizer, std::uint8_t* map) {
    const std::uint16_t* wide = quantizer.Map();
    for (std::int32_t key = 0; key < COctreeQuantizer::kMapSize; ++key) {
        map[key] = static_cast<std::uint8_t>(wide[key]);
    }
}

void MapPixels(const CDib& source, CDib& destination, const std::uint8_t* map) {
    const std::int32_t width = source.Width();
    for (std::int32_t y = 0; y < source.Height(); ++y) {
        const std::uint8_t* in = source.Row(y);
        std::uint8_t* out = destination.Row(y);
        for (std::int32_t x = 0; x < width; ++x, in += 3) {
            out[x] = map[COctreeQuantizer::MapKey(in[2], in[1], in[0])];
        }
        ClearPadding(out, static_cast<std::size_t>(width), destination.RowStride());
    }
}

template <int kRedShift, int kGreenShift>
std::uint32_t DirectColorWord(std::uint32_t blue, std::uint32_t green, std::uint32_t red) {
    return ((red & 0xF8) << kRedShift) | ((green & 0xF8) << kGreenShift) | ((blue & 0xFF) >> 3);
}

template <int kRedShift, int kGreenShift>
void PackDirectColorRows(const CDib& source, CDib& destination) {
    constexpr auto Word = DirectColorWord<kRedShift, kGreenShift>;
    const std::int32_t width = source.Width();
    for (std::int32_t y = 0; y < source.Height(); ++y) {
        const std::uint8_t* in = source.Row(y);
        std::uint8_t* out = destination.Row(y);
        std::int32_t x = 0;
        if constexpr (std::endian::native == std::endian::little) {
            // Four pixels at a time: twelve bytes in as three words, four words out as one.
            for (; x + 4 <= width; x += 4) {
                std::uint32_t a = 0;  // blue 0, green 0, red 0, blue 1
                std::uint32_t b = 0;  // green 1, red 1, blue 2, green 2
                std::uint32_t c = 0;  // red 2, blue 3, green 3, red 3
                std::memcpy(&a, in + 3 * x, 4);
                std::memcpy(&b, in + 3 * x + 4, 4);
                std::memcpy(&c, in + 3 * x + 8, 4);
                const std::uint64_t words = std::uint64_t{Word(a, a >> 8, a >> 16)} |
                                            std::uint64_t{Word(a >> 24, b, b >> 8)} << 16 |
                                            std::uint64_t{Word(b >> 16, b >> 24, c)} << 32 |
                                            std::uint64_t{Word(c >> 8, c >> 16, c >> 24)} << 48;
                std::memcpy(out + 2 * x, &words, 8);
            }
        }
        for (; x < width; ++x) {
            const std::uint32_t word = Word(in[3 * x], in[3 * x + 1], in[3 * x + 2]);
            out[2 * x] = static_cast<std::uint8_t>(word);  // low byte first
            out[2 * x + 1] = static_cast<std::uint8_t>(word >> 8);
        }
        ClearPadding(out, 2 * static_cast<std::size_t>(width), destination.RowStride());
    }
}

void PackDirectColor(const CDib& source, CDib& destination, bool deviceLayout) {
    // The handheld's layout keeps green at five significant bits in a 5-6-5 word; the desktop's
    // is 5-5-5 with the top bit clear.
    if (deviceLayout) {
        PackDirectColorRows<8, 3>(source, destination);
    } else {
        PackDirectColorRows<7, 2>(source, destination);
    }
}

bool ConvertToGrey(const CDib& source, CDib& destination, std::uint8_t dither) {
    WriteGreyRamp(destination);
    CDepthConverter converter;
    converter.m_sourceDepth = 24;
    converter.m_destinationDepth = destination.BitsPerPixel();
    converter.m_width = source.Width();
    converter.m_dither = dither;
    if (!converter.Prepare()) {
        return false;
    }
    // Row by row, as a bitmap's rows need not be contiguous; the accumulator carries over.
    for (std::int32_t y = 0; y < source.Height(); ++y) {
        converter.Convert(source.Row(y), destination.Row(y), 1);
    }
    return true;
}

bool ConvertToColor(const CDib& source, CDib& destination, std::uint8_t deviceLayout,
                    std::uint8_t dither) {
    COctreeQuantizer quantizer;
    quantizer.SetColorBudget(kAdaptiveColorBudget);
    if (!SampleGrid(source, quantizer)) {
        return false;
    }
    CColorPalette palette;
    if (!quantizer.BuildPalette(palette)) {
        return false;
    }
    for (std::uint16_t i = 0; i < kAdaptiveColorBudget; ++i) {
        std::uint8_t red = 0;
        std::uint8_t green = 0;
        std::uint8_t blue = 0;
        palette.GetEntry(i, red, green, blue);
        destination.SetColor(i, red, green, blue);
    }
    if (destination.BitsPerPixel() == 16) {
        PackDirectColor(source, destination, deviceLayout != 0);
        return true;
    }
    if (dither) {
        return DiffuseToPalette(source, destination, palette, quantizer.LeafCount(),
                                FastestSearch());
    }
    std::unique_ptr<std::uint8_t[]> map(new (std::nothrow)
                                            std::uint8_t[COctreeQuantizer::kMapSize]);
    if (!map) {
        return false;
    }
    NarrowMap(quantizer, map.get());
    MapPixels(source, destination, map.get());
    return true;
}

}  // namespace

void AdjustBrightnessContrast(const CDib& source, CDib& destination, std::int16_t brightness,
                              std::int16_t contrast) {
    if (!source.IsCreated() || !destination.IsCreated() || source.BitsPerPixel() != 24 ||
        destination.BitsPerPixel() != 24 || !SameSize(source, destination)) {
        return;
    }
    const std::int32_t offset =
        brightness <= kMaxBrightnessOffset ? brightness : kMaxBrightnessOffset;
    const std::int32_t c = contrast <= kMaxContrast ? contrast : kMaxContrast;
    const float factor = static_cast<float>(c) * kContrastUnit;
    // Each channel value always gives the same result, so the picture is mapped through a table.
    std::uint8_t table[256];
    for (std::int32_t channel = 0; channel < 256; ++channel) {
        const auto scaled = static_cast<std::int32_t>(static_cast<float>(channel - 127) * factor);
        // Held in 16 bits before it is limited to a byte.
        const auto v = static_cast<std::int16_t>(scaled + offset + 127);
        table[channel] = ClampToByte(v);
    }
    const std::size_t rowBytes = 3 * static_cast<std::size_t>(source.Width());
    for (std::int32_t y = 0; y < source.Height(); ++y) {
        const std::uint8_t* in = source.Row(y);
        std::uint8_t* out = destination.Row(y);
        for (std::size_t i = 0; i < rowBytes; ++i) {
            out[i] = table[in[i]];
        }
    }
}

bool ConvertDepth(const CDib& source, CDib& destination, std::uint8_t deviceLayout,
                  std::uint8_t dither) {
    const std::uint8_t depth = destination.BitsPerPixel();
    if (depth != 2 && depth != 4 && depth != 8 && depth != 16) {
        return false;
    }
    if (!source.IsCreated() || !destination.IsCreated() || source.BitsPerPixel() != 24 ||
        !SameSize(source, destination)) {
        return false;
    }
    if (depth < 8) {
        return ConvertToGrey(source, destination, dither);
    }
    return ConvertToColor(source, destination, deviceLayout, dither);
}
