#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <tuple>
#include <vector>

#include "convert/color_palette.h"
#include "convert/conversion.h"
#include "convert/octree_quantizer.h"
#include "support/core_allocation_failure.h"
#include "support/core_pictures.h"

namespace {

std::vector<std::uint8_t> InfoBytes(const CDib& dib) {
    return {dib.Info(), dib.Info() + dib.InfoSize()};
}

std::uint8_t AdjustOne(std::uint8_t channel, int brightness, int contrast) {
    auto source = NewDib(1, 1, 24);
    Put(*source, 0, 0, {channel, channel, channel});
    AdjustBrightnessContrast(*source, *source, static_cast<std::int16_t>(brightness),
                             static_cast<std::int16_t>(contrast));
    return Get(*source, 0, 0).g;
}

constexpr int kPixels = 320 * 180;

// The bundled sample: a plain bottom-up 24-bit file, its pixels right after the 54 bytes of
// headers.
std::unique_ptr<CDib> Photograph() {
    std::ifstream in(std::filesystem::path(TAVELO_SAMPLES_DIR) / "dandelions_320x180.bmp",
                     std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    auto photo = NewDib(320, 180, 24);
    if (bytes.size() != 54 + photo->PixelBytes() || bytes[0] != 'B' || bytes[28] != 24) {
        return nullptr;
    }
    std::memcpy(photo->Pixels(), bytes.data() + 54, photo->PixelBytes());
    return photo;
}

}  // namespace

TEST(AdjustBrightnessContrast, ScalesAroundTheMiddleInSinglePrecisionAndClampsToTheByteRange) {
    // {channel, brightness, contrast, result}. The offset stops at 128 and the contrast at 255
    // (23 x 2.007874 = 46.18), the results at 0 and 255. At contrast 9 exact 1/127 would give
    // products -9 and 9; at 2 the single-precision factor multiplied in double, -1 and 1.
    for (const auto& [channel, brightness, contrast, result] :
         std::vector<std::array<int, 4>>{{100, 0, 200, 85},
                                         {200, 0, 200, 241},
                                         {0, 0, 0, 127},
                                         {255, 50, 0, 177},
                                         {100, -127, 127, 0},
                                         {100, 128, 127, 228},
                                         {100, 200, 127, 228},
                                         {150, 0, 300, 173},
                                         {250, 128, 127, 255},
                                         {0, 0, 9, 119},
                                         {254, 0, 9, 135},
                                         {0, 0, 2, 125},
                                         {254, 0, 2, 129}}) {
        EXPECT_EQ(AdjustOne(static_cast<std::uint8_t>(channel), brightness, contrast), result)
            << channel << " at " << brightness << ", " << contrast;
    }
    // Each channel into the destination, the source left alone; neutral settings change nothing.
    auto source = NewDib(256, 2, 24);
    for (int i = 0; i < 512; ++i) {
        Put(*source, i % 256, i / 256,
            {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
             static_cast<std::uint8_t>(i * 7)});
    }
    const auto original = PixelBytes(*source);
    auto destination = NewDib(256, 2, 24);
    AdjustBrightnessContrast(*source, *destination, 40, 180);
    EXPECT_EQ(PixelBytes(*source), original);
    for (int x = 0; x < 256; x += 5) {
        const Rgb s = Get(*source, x, 1);
        EXPECT_EQ(Get(*destination, x, 1),
                  (Rgb{AdjustOne(s.r, 40, 180), AdjustOne(s.g, 40, 180), AdjustOne(s.b, 40, 180)}));
    }
    AdjustBrightnessContrast(*source, *source, 0, 127);
    EXPECT_EQ(PixelBytes(*source), original);
}

TEST(ConvertDepth, APictureOfFewColourGroupsGetsOneEntryPerGroupHoldingItsMean) {
    // 160 x 160 is sampled exactly once per pixel; groups differ in the top five bits.
    auto source = NewDib(160, 160, 24);
    std::mt19937 random(1);
    // Groups keyed in depth-first order: the channels' bits interleaved from the top down.
    auto depthFirstKey = [](Rgb c) {
        std::uint32_t key = 0;
        for (int bit = 7; bit >= 3; --bit) {
            key = key << 3 | ((c.r >> bit) & 1) << 2 | ((c.g >> bit) & 1) << 1 | ((c.b >> bit) & 1);
        }
        return key;
    };
    std::map<std::uint32_t, ColorSum> groups;
    for (int y = 0; y < 160; ++y) {
        for (int x = 0; x < 160; ++x) {
            const auto group = static_cast<std::uint32_t>(random() % 200);
            const Rgb c = Unpack((group * 2654435761u & 0xF8F8F8) | (random() & 0x070707));
            Put(*source, x, y, c);
            groups[depthFirstKey(c)].Add(c);
        }
    }
    auto destination = NewDib(160, 160, 8, 256);
    for (int i = 240; i < 256; ++i) {
        destination->SetColor(static_cast<std::uint16_t>(i), 1, 2, 3);
    }
    ASSERT_TRUE(ConvertDepth(*source, *destination, 1, 0));
    std::map<std::uint32_t, int> indexOf;
    for (const auto& [key, sum] : groups) {
        const int index = static_cast<int>(indexOf.size());
        indexOf[key] = index;
        EXPECT_EQ(TableEntry(*destination, index), sum.Mean()) << index;
    }
    for (int i = static_cast<int>(groups.size()); i < 256; ++i) {
        EXPECT_EQ(TableEntry(*destination, i), (i < 240 ? Rgb{0, 0, 0} : Rgb{1, 2, 3})) << i;
    }
    for (int y = 0; y < 160; ++y) {
        for (int x = 0; x < 160; ++x) {
            ASSERT_EQ(destination->Row(y)[x], indexOf[depthFirstKey(Get(*source, x, y))]);
        }
    }
}

TEST(ConvertDepth, TheSampleGridReadsOnlyItsSinglePrecisionPositionsCountingRowsFromTheBottom) {
    // Every pixel the grid reads is black, all others white. A grid stepped in double
    // precision, or with rows counted from the top, reads some white.
    for (const auto& [width, height] : {std::pair{168, 208}, std::pair{690, 794}}) {
        auto source = NewDib(width, height, 24);
        std::fill(source->Pixels(), source->Pixels() + source->PixelBytes(), 255);
        for (int y : GridPositions(height)) {
            for (int x : GridPositions(width)) {
                Put(*source, x, y, {0, 0, 0});
            }
        }
        auto destination = NewDib(width, height, 8, 256);
        ASSERT_TRUE(ConvertDepth(*source, *destination, 1, 0));
        for (int i = 0; i < 240; ++i) {
            ASSERT_EQ(TableEntry(*destination, i), (Rgb{0, 0, 0})) << width << ": entry " << i;
        }
    }
}

TEST(ConvertDepth, SixteenBitWordsInBothLayouts) {
    // Seven pixels: four packed together, then three one by one.
    const Rgb a{0xF8, 0x04, 0x0F};  // green below the kept bits, blue's low bits dropped
    const Rgb b{0x07, 0xFC, 0x00};  // green's sixth bit is never kept
    const Rgb c{0x12, 0x34, 0x56};
    const Rgb w{255, 255, 255};
    auto source = NewDib(7, 1, 24);
    int x = 0;
    for (const Rgb& pixel : {a, b, w, c, w, a, b}) {
        Put(*source, x++, 0, pixel);
    }
    // White has every bit but bit 5 on the handheld and every bit but bit 15 on the desktop.
    for (const auto& [layout, expected] :
         {std::pair{1, std::vector<int>{0xF801, 0x07C0, 0xFFDF, 0x118A, 0xFFDF, 0xF801, 0x07C0}},
          std::pair{0, std::vector<int>{0x7C01, 0x03E0, 0x7FFF, 0x08CA, 0x7FFF, 0x7C01, 0x03E0}}}) {
        auto destination = NewDib(7, 1, 16, 256);
        std::fill(destination->Pixels(), destination->Pixels() + 16, 0xEE);
        // The dither flag changes nothing here.
        const auto flag = static_cast<std::uint8_t>(layout);
        ASSERT_TRUE(ConvertDepth(*source, *destination, flag, flag));
        std::vector<int> words;
        for (int i = 0; i < 8; ++i) {
            words.push_back(destination->Row(0)[2 * i] | destination->Row(0)[2 * i + 1] << 8);
        }
        EXPECT_EQ(words.back(), 0);  // padding
        words.pop_back();
        EXPECT_EQ(words, expected) << layout;
        // The colour table is built although the pixels do not use it, leaves depth first.
        EXPECT_EQ(TableEntry(*destination, 0), c);
        EXPECT_EQ(TableEntry(*destination, 3), w);
    }
}

TEST(ConvertDepth, RefusesOtherDepthsAndSizesLeavingTheDestinationAlone) {
    auto source = NewDib(8, 8, 24);
    for (const auto& [width, depth, colors] :
         {std::tuple{8, 1, 2}, std::tuple{8, 24, 0}, std::tuple{9, 8, 256}}) {
        auto destination = NewDib(width, 8, depth, colors);
        std::fill(destination->Pixels(), destination->Pixels() + destination->PixelBytes(), 0x3C);
        destination->SetColor(1, 9, 9, 9);  // ignored where there is no table
        const auto pixels = PixelBytes(*destination);
        const auto info = InfoBytes(*destination);
        EXPECT_FALSE(ConvertDepth(*source, *destination, 1, 1)) << depth;
        EXPECT_EQ(PixelBytes(*destination), pixels) << depth;
        EXPECT_EQ(InfoBytes(*destination), info) << depth;
    }
}

TEST(ConvertDepth, ARefusedAllocationFailsWithoutTouchingThePixels) {
    // Few colours keep the tree, and so the number of allocations to refuse, small. Padding
    // starts dirty, so the final comparison also shows every row's padding cleared.
    auto source = NewDib(50, 41, 24);
    std::generate(source->Pixels(), source->Pixels() + source->PixelBytes(),
                  [n = 0]() mutable { return static_cast<std::uint8_t>(n++ % 7 * 40); });
    for (const auto& [depth, dither] :
         {std::pair{4, 1}, std::pair{8, 0}, std::pair{8, 1}, std::pair{16, 0}}) {
        const int colors = depth == 4 ? 16 : 256;
        auto expected = NewDib(50, 41, depth, colors);
        ASSERT_TRUE(ConvertDepth(*source, *expected, 1, static_cast<std::uint8_t>(dither)));
        auto destination = NewDib(50, 41, depth, colors);
        std::fill(destination->Pixels(), destination->Pixels() + destination->PixelBytes(), 0x5A);
        const auto untouched = PixelBytes(*destination);
        const auto flag = static_cast<std::uint8_t>(dither);  // bindings cannot be captured
        const int refusals = ForEachFailingAllocation([&] {
            const bool ok = ConvertDepth(*source, *destination, 1, flag);
            EXPECT_TRUE(ok || PixelBytes(*destination) == untouched);
            return ok;
        });
        EXPECT_GT(refusals, 0) << depth;
        EXPECT_EQ(PixelBytes(*destination), PixelBytes(*expected)) << depth;
        EXPECT_EQ(InfoBytes(*destination), InfoBytes(*expected)) << depth;
    }
}

TEST(ConvertDepth, DitheredEightBitTakesTheNearestPictureColourTheLowestIndexOnATie) {
    // 4 x 2 pixels, each sampled equally often, in four groups of two greys: 0 and 6 give
    // entry 0 = 3, 98 and 102 entry 1 = 100, 106 and 110 entry 2 = 108, 254 and 250 entry
    // 3 = 252; entries 4 on are black. Storage row 0, left to right:
    //   0        -> 0 (entry 0; the black entry 4 would be nearer); error -3: -1 right, -2 below
    //   6 - 1    -> 0; error 2: 1 right, 1 below
    //   98 + 1   -> 1; error -1: -1 below
    //   102      -> 1; error 2: 1 below
    // Row 1 carries -2, 1, -1, 1:
    //   106 - 2 = 104 -> 1: 100 and 108 are equally near; error 4: 2 right
    //   254 + 1 + 2 = 257 -> 3 (looked up as 255); error 257 - 252 = 5: 2 right
    //   110 - 1 + 2 = 111 -> 2; error 3: 1 right
    //   250 + 1 + 1 = 252 -> 3
    const int greys[2][4] = {{0, 6, 98, 102}, {106, 254, 110, 250}};
    auto source = NewDib(4, 2, 24);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            const auto v = static_cast<std::uint8_t>(greys[y][x]);
            Put(*source, x, y, {v, v, v});
        }
    }
    auto destination = NewDib(4, 2, 8, 256);
    ASSERT_TRUE(ConvertDepth(*source, *destination, 1, 1));
    const std::uint8_t table[] = {3, 100, 108, 252, 0};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(TableEntry(*destination, i), (Rgb{table[i], table[i], table[i]})) << i;
    }
    EXPECT_EQ(PixelBytes(*destination), (std::vector<std::uint8_t>{0, 0, 1, 1, 1, 3, 2, 3}));
}

TEST(ConvertDepth, APhotographMapsPixelsToTheirLeafsMeanAndDitheringSpreadsEachChannelsError) {
    const auto photo = Photograph();
    ASSERT_TRUE(photo) << "cannot read the sample photograph";
    auto plain = NewDib(320, 180, 8, 256);
    auto dithered = NewDib(320, 180, 8, 256);
    ASSERT_TRUE(ConvertDepth(*photo, *plain, 1, 0));
    ASSERT_TRUE(ConvertDepth(*photo, *dithered, 1, 1));
    // The quantiser the sample grid builds, and the samples each undithered index was given.
    COctreeQuantizer q;
    q.SetColorBudget(240);
    std::array<ColorSum, 256> sums{};
    for (int y : GridPositions(180)) {
        for (int x : GridPositions(320)) {
            const Rgb c = Get(*photo, x, y);
            ASSERT_TRUE(q.AddColor(c.r, c.g, c.b));
            sums[plain->Row(y)[x]].Add(c);
        }
    }
    CColorPalette palette;
    ASSERT_TRUE(q.BuildPalette(palette));
    int leaves = 0;
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(TableEntry(*plain, i), TableEntry(*dithered, i));
        if (sums[i].n != 0) {
            ++leaves;
            EXPECT_LT(i, 240);
            EXPECT_EQ(TableEntry(*plain, i), sums[i].Mean()) << i;
        }
    }
    EXPECT_GT(leaves, 200);  // a photograph fills the budget nearly to the top
    ASSERT_EQ(leaves, q.LeafCount());
    // The nearest leaf by a search of them all, the first of equals.
    auto nearestLeaf = [&](std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        int best = 0;
        int bestDistance = 1 << 30;
        for (int i = 0; i < leaves; ++i) {
            const Rgb e = TableEntry(*dithered, i);
            const int distance =
                (r - e.r) * (r - e.r) + (g - e.g) * (g - e.g) + (b - e.b) * (b - e.b);
            if (distance < bestDistance) {
                best = i;
                bestDistance = distance;
            }
        }
        return best;
    };
    // Every pixel takes its leaf undithered; dithered, the diffusion written out plainly, with
    // the errors carried into this row and the next and a spare cell on the right.
    std::vector<std::array<int, 3>> current(321), next(321);
    std::array<double, 3> wanted{}, shown{};
    int changed = 0;
    for (int y = 0; y < 180; ++y) {
        for (int x = 0; x < 320; ++x) {
            const Rgb c = Get(*photo, x, y);
            ASSERT_EQ(plain->Row(y)[x], q.MapColorByDescent(c.r, c.g, c.b)) << x << "," << y;
            const std::array<int, 3> source{c.r, c.g, c.b};
            const std::array<int, 3> v{c.r + current[x][0], c.g + current[x][1],
                                       c.b + current[x][2]};
            auto clamped = [&](int ch) {
                return static_cast<std::uint8_t>(std::clamp(v[ch], 0, 255));
            };
            const int index = dithered->Row(y)[x];
            ASSERT_EQ(index, nearestLeaf(clamped(0), clamped(1), clamped(2))) << x << "," << y;
            changed += index != plain->Row(y)[x];
            const Rgb p = TableEntry(*dithered, index);
            const std::array<int, 3> chosen{p.r, p.g, p.b};
            for (int ch = 0; ch < 3; ++ch) {
                const int e = v[ch] - chosen[ch];
                current[x + 1][ch] += e / 2;
                if (x > 0) {
                    next[x - 1][ch] += e / 4;
                }
                next[x][ch] += e - e / 2 - e / 4;
                wanted[ch] += source[ch];
                shown[ch] += chosen[ch];
            }
        }
        current = next;
        next.assign(321, {});
    }
    EXPECT_GT(changed, kPixels / 10);
    for (int ch = 0; ch < 3; ++ch) {
        EXPECT_NEAR(shown[ch] / kPixels, wanted[ch] / kPixels, 1.0) << ch;
    }
}
