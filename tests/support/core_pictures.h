#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/dib.h"

// Helpers for tests that build 24-bit pictures and inspect their conversions.

struct Rgb {
    std::uint8_t r;
    std::uint8_t g;
    std::uint8_t b;
    bool operator==(const Rgb&) const = default;
};

inline Rgb Unpack(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v)};
}

// Channel sums of the colours that reached one place, and their truncated mean.
struct ColorSum {
    std::uint64_t r = 0, g = 0, b = 0, n = 0;
    void Add(Rgb c) { r += c.r, g += c.g, b += c.b, ++n; }
    Rgb Mean() const {
        return {static_cast<std::uint8_t>(r / n), static_cast<std::uint8_t>(g / n),
                static_cast<std::uint8_t>(b / n)};
    }
};

inline std::unique_ptr<CDib> NewDib(int width, int height, int bits, int colors = 0) {
    auto dib = std::make_unique<CDib>();
    const bool made = dib->Create(width, height, static_cast<std::uint8_t>(bits),
                                  static_cast<std::uint16_t>(colors));
    return made ? std::move(dib) : nullptr;
}

// Pixel x of storage row y.
inline void Put(CDib& dib, int x, int y, Rgb c) {
    std::uint8_t* p = dib.Row(y) + 3 * x;
    p[0] = c.b, p[1] = c.g, p[2] = c.r;
}
inline Rgb Get(const CDib& dib, int x, int y) {
    return Unpack(dib.ReadPixel(x, y));
}
inline Rgb TableEntry(const CDib& dib, int index) {
    return Unpack(dib.GetColor(static_cast<std::uint16_t>(index)));
}

// Pixel x of image row y, counted from the top, as 0x00RRGGBB.
inline std::uint32_t PixelAt(const CDib& dib, int x, int imageRow) {
    return dib.ReadPixel(x, dib.Height() - 1 - imageRow);
}

// A picture whose every pixel is distinct: blue = column, green = image row from the top,
// red = `tag`.
inline std::unique_ptr<CDib> Indexed(int width, int height, std::uint8_t tag = 7) {
    auto dib = NewDib(width, height, 24);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Put(*dib, x, height - 1 - y,
                {tag, static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(x)});
        }
    }
    return dib;
}

// Every byte of a created bitmap's rows, padding included.
inline std::vector<std::uint8_t> PixelBytes(const CDib& dib) {
    return {dib.Pixels(), dib.Pixels() + dib.PixelBytes()};
}

// The positions the adaptive palette's sample grid reads along a side of `side` pixels, in
// grid order: every fourth, at least 160, stepped in single precision.
inline std::vector<int> GridPositions(int side) {
    const int count = std::max(side / 4, 160);
    const float step = static_cast<float>(side) / static_cast<float>(count);
    std::vector<int> positions;
    for (float i = 0.0f; i < static_cast<float>(count); i += 1.0f) {
        positions.push_back(static_cast<int>(i * step));
    }
    return positions;
}
