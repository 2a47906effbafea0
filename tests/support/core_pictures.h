#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "imaging/dib.h"

// Small helpers for tests that build and inspect 24-bit pictures.

struct Rgb {
    std::uint8_t r;
    std::uint8_t g;
    std::uint8_t b;
    bool operator==(const Rgb&) const = default;
};

inline std::unique_ptr<CDib> NewDib(int width, int height, int bits, int colors = 0) {
    auto dib = std::make_unique<CDib>();
    if (!dib->Create(width, height, static_cast<std::uint8_t>(bits),
                     static_cast<std::uint16_t>(colors))) {
        return nullptr;
    }
    return dib;
}

// Pixel x of storage row y.
inline void Put(CDib& dib, int x, int y, Rgb c) {
    std::uint8_t* p = dib.Row(y) + 3 * x;
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
}

inline Rgb Get(const CDib& dib, int x, int y) {
    const std::uint32_t v = dib.ReadPixel(x, y);
    return {static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v)};
}

inline Rgb TableEntry(const CDib& dib, int index) {
    const std::uint32_t v = dib.GetColor(static_cast<std::uint16_t>(index));
    return {static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v)};
}

// Every row's bytes up to its stride, bottom row first.
inline std::vector<std::uint8_t> PixelBytes(const CDib& dib) {
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < dib.Height(); ++y) {
        bytes.insert(bytes.end(), dib.Row(y), dib.Row(y) + dib.RowStride());
    }
    return bytes;
}

// Smooth colour ramps with noise on top: many colour groups, errors of both signs.
inline void FillPhotoLike(CDib& dib, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-24, 24);
    for (int y = 0; y < dib.Height(); ++y) {
        for (int x = 0; x < dib.Width(); ++x) {
            const int r = 255 * x / dib.Width() + noise(random);
            const int g = 255 * y / dib.Height() + noise(random);
            const int b = 128 + (x - y) / 2 + noise(random);
            Put(dib, x, y,
                {static_cast<std::uint8_t>(std::clamp(r, 0, 255)),
                 static_cast<std::uint8_t>(std::clamp(g, 0, 255)),
                 static_cast<std::uint8_t>(std::clamp(b, 0, 255))});
        }
    }
}

// The positions the adaptive palette's sample grid reads along a side of `side` pixels, in
// grid order: every fourth, at least 160, stepped in single precision.
inline std::vector<int> GridPositions(int side) {
    const int count = side / 4 > 160 ? side / 4 : 160;
    const float step = static_cast<float>(side) / static_cast<float>(count);
    std::vector<int> positions;
    for (float i = 0.0f; i < static_cast<float>(count); i += 1.0f) {
        positions.push_back(static_cast<int>(i * step));
    }
    return positions;
}
