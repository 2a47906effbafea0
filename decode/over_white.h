#pragma once

#include <cstdint>

// Rows of decoded pixels as the 24-bit bitmap holds them: blue, green, red, with whatever is
// transparent shown on white, rounded as the 32-bit BMP reader rounds it.

// The order of a decoded row's samples; those with an A carry opacity (0 clear, 255 opaque).
enum class PixelOrder { Bgra, Rgba, Rgb };

inline std::uint8_t OverWhite(std::uint32_t c, std::uint32_t a) {
    return static_cast<std::uint8_t>((c * a + 255u * (255u - a) + 127u) / 255u);
}

// Writes `width` pixels of `in` to `out` as blue, green, red. `premultiplied`: the colour
// samples already carry their opacity, so white shows through by what the opacity leaves.
inline void RowOverWhite(const std::uint8_t* in, PixelOrder order, bool premultiplied,
                         std::uint8_t* out, std::int32_t width) {
    const bool rgb = order != PixelOrder::Bgra;
    const int step = order == PixelOrder::Rgb ? 3 : 4;
    for (std::int32_t x = 0; x < width; ++x, in += step, out += 3) {
        const std::uint32_t b = rgb ? in[2] : in[0];
        const std::uint32_t g = in[1];
        const std::uint32_t r = rgb ? in[0] : in[2];
        const std::uint32_t a = step == 4 ? in[3] : 255u;
        if (premultiplied) {
            const std::uint32_t clear = 255u - a;
            out[0] = static_cast<std::uint8_t>(b + clear > 255u ? 255u : b + clear);
            out[1] = static_cast<std::uint8_t>(g + clear > 255u ? 255u : g + clear);
            out[2] = static_cast<std::uint8_t>(r + clear > 255u ? 255u : r + clear);
        } else {
            out[0] = OverWhite(b, a);
            out[1] = OverWhite(g, a);
            out[2] = OverWhite(r, a);
        }
    }
}
