#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "convert/color_palette.h"
#include "convert/error_diffusion.h"
#include "support/core_pictures.h"

namespace {

// The diffusion written out plainly: the nearest of the first `leaves` entries by a search of
// them all (the first of equals), errors carried into this row and the next, a spare cell on
// each side.
std::vector<std::uint8_t> Diffused(const CDib& source, const CColorPalette& palette, int leaves) {
    const int width = source.Width();
    std::vector<std::uint8_t> pixels;
    std::vector<std::array<int, 3>> current(width + 2), next(width + 2);
    for (int y = 0; y < source.Height(); ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = Get(source, x, y);
            const std::array<int, 3> v{c.r + current[x + 1][0], c.g + current[x + 1][1],
                                       c.b + current[x + 1][2]};
            int best = 0;
            int bestDistance = 1 << 30;
            std::array<int, 3> chosen{};
            for (int i = 0; i < leaves; ++i) {
                std::uint8_t e[3];
                palette.GetEntry(static_cast<std::uint16_t>(i), e[0], e[1], e[2]);
                int distance = 0;
                for (int ch = 0; ch < 3; ++ch) {
                    const int d = std::clamp(v[ch], 0, 255) - e[ch];
                    distance += d * d;
                }
                if (distance < bestDistance) {
                    best = i;
                    bestDistance = distance;
                    chosen = {e[0], e[1], e[2]};
                }
            }
            pixels.push_back(static_cast<std::uint8_t>(best));
            for (int ch = 0; ch < 3; ++ch) {
                const int e = v[ch] - chosen[ch];
                current[x + 2][ch] += e / 2;
                next[x][ch] += e / 4;
                next[x + 1][ch] += e - e / 2 - e / 4;
            }
        }
        pixels.resize(pixels.size() + (-width & 3), 0);  // each row padded to four bytes
        current = next;
        next.assign(width + 2, {});
    }
    return pixels;
}

TEST(DiffuseToPalette, EverySearchTakesTheNearestColourAndSpreadsItsErrorWhateverTheShape) {
    std::mt19937 random(7);
    const auto byte = [&](int low, int span) {
        return static_cast<std::uint8_t>(low + random() % span);
    };
    // Colours spread out, with entry 9 repeating entry 5 (a tie, which 5 must win); colours
    // closer together, whose cubes list up to some twenty; and the first ten spread colours
    // repeated twenty times, whose cubes list dozens, of which the first of equals must win.
    CColorPalette spread;
    CColorPalette closer;
    CColorPalette repeated;
    for (CColorPalette* palette : {&spread, &closer, &repeated}) {
        palette->SetCount(256);
        ASSERT_TRUE(palette->Allocate());
    }
    for (std::uint16_t i = 0; i < 240; ++i) {
        spread.SetEntry(i, byte(0, 256), byte(0, 256), byte(0, 256));
        closer.SetEntry(i, byte(64, 64), byte(64, 64), byte(64, 64));
    }
    std::uint8_t r, g, b;
    spread.GetEntry(5, r, g, b);
    spread.SetEntry(9, r, g, b);
    for (std::uint16_t i = 0; i < 200; ++i) {
        spread.GetEntry(i % 10, r, g, b);
        repeated.SetEntry(i, r, g, b);
    }
    // The first is large enough that the repeated palette's long lists fill their store.
    std::vector<std::pair<int, int>> shapes{{512, 256}};
    for (const int width : {1, 2, 3, 4, 5, 6, 9}) {
        for (const int height : {1, 2, 3, 4, 5, 7}) {
            shapes.emplace_back(width, height);
        }
    }
    for (const auto& [width, height] : shapes) {
        auto source = NewDib(width, height, 24);
        std::generate(source->Pixels(), source->Pixels() + source->PixelBytes(),
                      [&] { return byte(0, 256); });
        for (const auto& [palette, leaves] :
             {std::pair{&spread, 240}, std::pair{&closer, 240}, std::pair{&repeated, 200}}) {
            const auto expected = Diffused(*source, *palette, leaves);
            for (const auto search :
                 {EDiffusionSearch::Plain, EDiffusionSearch::Sse2, EDiffusionSearch::Avx2}) {
                if (!CanSearchWith(search)) {
                    continue;
                }
                auto destination = NewDib(width, height, 8, 256);
                std::fill(destination->Pixels(), destination->Pixels() + destination->PixelBytes(),
                          0x5A);
                ASSERT_TRUE(DiffuseToPalette(*source, *destination, *palette, leaves, search));
                ASSERT_EQ(PixelBytes(*destination), expected)
                    << width << " x " << height << ", search " << static_cast<int>(search)
                    << ", palette " << (palette == &spread ? 0 : (palette == &closer ? 1 : 2));
            }
        }
    }
}

}  // namespace
