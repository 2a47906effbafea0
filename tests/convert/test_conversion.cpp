#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "convert/color_palette.h"
#include "convert/conversion.h"
#include "convert/octree_quantizer.h"
#include "imaging/dib.h"
#include "support/core_allocation_failure.h"
#include "support/core_pictures.h"

namespace {

std::vector<std::uint8_t> InfoBytes(const CDib& dib) {
    return {dib.Info(), dib.Info() + dib.InfoSize()};
}

// The quantiser ConvertDepth is expected to build: the grid's colours, grid rows in storage
// order, a budget of 240.
void QuantizeGrid(const CDib& source, COctreeQuantizer& q, CColorPalette& palette) {
    q.SetColorBudget(240);
    for (int y : GridPositions(source.Height())) {
        for (int x : GridPositions(source.Width())) {
            const Rgb c = Get(source, x, y);
            ASSERT_TRUE(q.AddColor(c.r, c.g, c.b));
        }
    }
    ASSERT_TRUE(q.BuildPalette(palette));
}

std::uint8_t AdjustOne(std::uint8_t channel, int brightness, int contrast) {
    auto source = NewDib(1, 1, 24);
    Put(*source, 0, 0, {channel, channel, channel});
    AdjustBrightnessContrast(*source, *source, static_cast<std::int16_t>(brightness),
                             static_cast<std::int16_t>(contrast));
    return Get(*source, 0, 0).g;
}

}  // namespace

// ---- brightness and contrast ----

TEST(AdjustBrightnessContrast, GivesTheStatedValuesWithinItsLimits) {
    EXPECT_EQ(AdjustOne(100, 0, 200), 85);
    EXPECT_EQ(AdjustOne(200, 0, 200), 241);
    EXPECT_EQ(AdjustOne(0, 0, 0), 127);
    EXPECT_EQ(AdjustOne(255, 50, 0), 177);  // contrast 0: 127 + offset
    EXPECT_EQ(AdjustOne(100, -127, 127), 0);
    EXPECT_EQ(AdjustOne(100, 128, 127), 228);
    // The offset stops at 128 and the contrast at 255; the results at 0 and 255.
    EXPECT_EQ(AdjustOne(100, 200, 127), 228);
    EXPECT_EQ(AdjustOne(150, 0, 300), 173);  // 23 x 2.007874 = 46.18
    EXPECT_EQ(AdjustOne(250, 128, 127), 255);
    EXPECT_EQ(AdjustOne(100, -300, 127), 0);
}

TEST(AdjustBrightnessContrast, ComputesTheFactorAndProductInSinglePrecision) {
    // With exact 1/127 the products would be -9 and 9.
    EXPECT_EQ(AdjustOne(0, 0, 9), 119);
    EXPECT_EQ(AdjustOne(254, 0, 9), 135);
    // With the single-precision factor multiplied in double, -1 and 1.
    EXPECT_EQ(AdjustOne(0, 0, 2), 125);
    EXPECT_EQ(AdjustOne(254, 0, 2), 129);
}

TEST(AdjustBrightnessContrast, NeutralSettingsLeaveEveryPixelUnchanged) {
    auto source = NewDib(256, 3, 24);
    for (int x = 0; x < 256; ++x) {
        for (int y = 0; y < 3; ++y) {
            Put(*source, x, y,
                {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(255 - x),
                 static_cast<std::uint8_t>(x * 7)});
        }
    }
    const auto before = PixelBytes(*source);
    AdjustBrightnessContrast(*source, *source, 0, 127);
    EXPECT_EQ(PixelBytes(*source), before);
}

TEST(AdjustBrightnessContrast, WritesAnotherBitmapAsItWouldAdjustInPlace) {
    auto source = NewDib(33, 17, 24);
    FillPhotoLike(*source, 5);
    const auto original = PixelBytes(*source);
    auto destination = NewDib(33, 17, 24);
    AdjustBrightnessContrast(*source, *destination, 40, 180);
    EXPECT_EQ(PixelBytes(*source), original);
    // Each channel on its own: blue, green and red of one pixel differ.
    Put(*source, 0, 0, {10, 100, 200});
    AdjustBrightnessContrast(*source, *source, 40, 180);
    EXPECT_EQ(Get(*source, 0, 0),
              (Rgb{AdjustOne(10, 40, 180), AdjustOne(100, 40, 180), AdjustOne(200, 40, 180)}));
    Put(*source, 0, 0, Get(*destination, 0, 0));
    EXPECT_EQ(PixelBytes(*source), PixelBytes(*destination));
}

// ---- depth conversion: grey ----

TEST(ConvertDepth, GreyDepthsGetARampFromBlack) {
    auto source = NewDib(4, 2, 24);
    auto four = NewDib(4, 2, 4, 16);
    ASSERT_TRUE(ConvertDepth(*source, *four, 1, 0));
    for (int i = 0; i < 16; ++i) {
        const auto v = static_cast<std::uint8_t>(17 * i);
        EXPECT_EQ(TableEntry(*four, i), (Rgb{v, v, v}));
    }
    auto two = NewDib(4, 2, 2, 4);
    ASSERT_TRUE(ConvertDepth(*source, *two, 1, 0));
    EXPECT_EQ(TableEntry(*two, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(TableEntry(*two, 1), (Rgb{85, 85, 85}));
    EXPECT_EQ(TableEntry(*two, 2), (Rgb{170, 170, 170}));
    EXPECT_EQ(TableEntry(*two, 3), (Rgb{255, 255, 255}));
}

TEST(ConvertDepth, WhiteAtFourBitsIsLevel13WhoseRampEntryIsNotWhite) {
    auto source = NewDib(5, 3, 24);
    for (int y = 0; y < 3; ++y) {
        std::fill(source->Row(y), source->Row(y) + 15, 255);
    }
    auto grey = NewDib(5, 3, 4, 16);
    ASSERT_TRUE(ConvertDepth(*source, *grey, 1, 0));
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(grey->Row(y)[0], 0xDD);
        EXPECT_EQ(grey->Row(y)[1], 0xDD);
        EXPECT_EQ(grey->Row(y)[2], 0xD0);  // the fifth pixel, then zero padding
        EXPECT_EQ(grey->Row(y)[3], 0x00);
    }
    EXPECT_EQ(TableEntry(*grey, 13), (Rgb{221, 221, 221}));
}

// ---- depth conversion: 8-bit ----

TEST(ConvertDepth, APictureOfFewColourGroupsGetsOneEntryPerGroupHoldingItsMean) {
    // 160 x 160 is sampled exactly once per pixel.
    auto source = NewDib(160, 160, 24);
    std::mt19937 random(1);
    std::vector<Rgb> bases;
    for (int i = 0; i < 200; ++i) {
        bases.push_back({static_cast<std::uint8_t>(random() & 0xF8),
                         static_cast<std::uint8_t>(random() & 0xF8),
                         static_cast<std::uint8_t>(random() & 0xF8)});
    }
    // Groups keyed in depth-first order: the bits of the three channels interleaved from the
    // top down.
    auto depthFirstKey = [](Rgb c) {
        std::uint32_t key = 0;
        for (int bit = 7; bit >= 3; --bit) {
            key = (key << 3) | (((c.r >> bit) & 1) << 2) | (((c.g >> bit) & 1) << 1) |
                  ((c.b >> bit) & 1);
        }
        return key;
    };
    std::map<std::uint32_t, std::array<std::uint32_t, 4>> groups;
    for (int y = 0; y < 160; ++y) {
        for (int x = 0; x < 160; ++x) {
            const Rgb base = bases[random() % bases.size()];
            const Rgb c{static_cast<std::uint8_t>(base.r | (random() & 7)),
                        static_cast<std::uint8_t>(base.g | (random() & 7)),
                        static_cast<std::uint8_t>(base.b | (random() & 7))};
            Put(*source, x, y, c);
            auto& sums = groups[depthFirstKey(c)];
            sums[0] += c.r;
            sums[1] += c.g;
            sums[2] += c.b;
            ++sums[3];
        }
    }
    auto destination = NewDib(160, 160, 8, 256);
    for (int i = 240; i < 256; ++i) {
        destination->SetColor(static_cast<std::uint16_t>(i), 1, 2, 3);
    }
    ASSERT_TRUE(ConvertDepth(*source, *destination, 1, 0));

    std::map<std::uint32_t, int> indexOf;
    int index = 0;
    for (const auto& [key, sums] : groups) {
        indexOf[key] = index;
        EXPECT_EQ(TableEntry(*destination, index),
                  (Rgb{static_cast<std::uint8_t>(sums[0] / sums[3]),
                       static_cast<std::uint8_t>(sums[1] / sums[3]),
                       static_cast<std::uint8_t>(sums[2] / sums[3])}))
            << index;
        ++index;
    }
    for (; index < 240; ++index) {
        EXPECT_EQ(TableEntry(*destination, index), (Rgb{0, 0, 0})) << index;
    }
    for (int i = 240; i < 256; ++i) {
        EXPECT_EQ(TableEntry(*destination, i), (Rgb{1, 2, 3})) << i;
    }
    for (int y = 0; y < 160; ++y) {
        for (int x = 0; x < 160; ++x) {
            ASSERT_EQ(destination->Row(y)[x], indexOf[depthFirstKey(Get(*source, x, y))]);
        }
    }
}

TEST(ConvertDepth, TheSampleGridReadsOnlyItsSinglePrecisionPositionsCountingRowsFromTheBottom) {
    // Everything off the grid is white; every pixel the grid reads is black. A grid with steps
    // in double precision, or rows counted from the top, reads some of the white pixels.
    for (const auto& [width, height] : {std::pair{168, 208}, std::pair{690, 794}}) {
        const std::vector<int> columns = GridPositions(width);
        const std::vector<int> rows = GridPositions(height);
        const std::set<int> readColumns(columns.begin(), columns.end());
        const std::set<int> readRows(rows.begin(), rows.end());
        ASSERT_LT(readColumns.size(), static_cast<std::size_t>(width));
        ASSERT_LT(readRows.size(), static_cast<std::size_t>(height));
        auto source = NewDib(width, height, 24);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (!readColumns.count(x) || !readRows.count(y)) {
                    Put(*source, x, y, {255, 255, 255});
                }
            }
        }
        auto destination = NewDib(width, height, 8, 256);
        ASSERT_TRUE(ConvertDepth(*source, *destination, 1, 0));
        for (int i = 0; i < 240; ++i) {
            ASSERT_EQ(TableEntry(*destination, i), (Rgb{0, 0, 0})) << width << ": entry " << i;
        }
    }
}

TEST(ConvertDepth, DitheredEightBitSpreadsEachChannelsErrorRightAndBelow) {
    // Held against the diffusion written out plainly over the quantiser the grid builds.
    for (const auto& [width, height] :
         {std::pair{171, 163}, std::pair{1, 170}, std::pair{700, 9}}) {
        auto source = NewDib(width, height, 24);
        FillPhotoLike(*source, 9);
        COctreeQuantizer q;
        CColorPalette palette;
        QuantizeGrid(*source, q, palette);
        auto destination = NewDib(width, height, 8, 256);
        ASSERT_TRUE(ConvertDepth(*source, *destination, 1, 1));
        for (int i = 0; i < 240; ++i) {
            Rgb e{};
            palette.GetEntry(static_cast<std::uint16_t>(i), e.r, e.g, e.b);
            ASSERT_EQ(TableEntry(*destination, i), e) << i;
        }

        std::vector<std::vector<int>> current(3, std::vector<int>(width + 1, 0));
        std::vector<std::vector<int>> next(3, std::vector<int>(width + 1, 0));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const Rgb c = Get(*source, x, y);
                const int v[3] = {c.r + current[0][x], c.g + current[1][x], c.b + current[2][x]};
                const std::uint16_t index =
                    q.MapColorByDescent(static_cast<std::uint8_t>(std::clamp(v[0], 0, 255)),
                                        static_cast<std::uint8_t>(std::clamp(v[1], 0, 255)),
                                        static_cast<std::uint8_t>(std::clamp(v[2], 0, 255)));
                ASSERT_EQ(destination->Row(y)[x], index) << x << "," << y;
                Rgb p{};
                palette.GetEntry(index, p.r, p.g, p.b);
                const int chosen[3] = {p.r, p.g, p.b};
                for (int ch = 0; ch < 3; ++ch) {
                    const int e = v[ch] - chosen[ch];
                    current[ch][x + 1] += e / 2;
                    if (x > 0) {
                        next[ch][x - 1] += e / 4;
                    }
                    next[ch][x] += e - e / 2 - e / 4;
                }
            }
            current = next;
            for (auto& row : next) {
                std::fill(row.begin(), row.end(), 0);
            }
        }
    }
}

TEST(ConvertDepth, PaddingAfterEachRowIsZero) {
    for (int depth : {2, 4, 8, 16}) {
        auto source = NewDib(5, 4, 24);
        FillPhotoLike(*source, 2);
        auto destination = NewDib(5, 4, depth, depth < 8 ? 1 << depth : 256);
        std::fill(destination->Pixels(), destination->Pixels() + destination->PixelBytes(), 0xEE);
        ASSERT_TRUE(ConvertDepth(*source, *destination, 1, 1));
        const int used = (depth * 5 + 7) / 8;
        for (int y = 0; y < 4; ++y) {
            for (int i = used; i < destination->RowStride(); ++i) {
                EXPECT_EQ(destination->Row(y)[i], 0) << depth << " row " << y << " byte " << i;
            }
        }
        if (depth < 8) {  // the unused bits of the last byte
            const int spare = 8 * used - depth * 5;
            EXPECT_EQ(destination->Row(0)[used - 1] & ((1 << spare) - 1), 0) << depth;
        }
    }
}

// ---- depth conversion: 16-bit ----

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
    auto words = [](const CDib& dib) {
        std::vector<int> out;
        for (int i = 0; i < 7; ++i) {
            out.push_back(dib.Row(0)[2 * i] | (dib.Row(0)[2 * i + 1] << 8));
        }
        return out;
    };
    auto device = NewDib(7, 1, 16, 256);
    ASSERT_TRUE(ConvertDepth(*source, *device, 1, 1));
    // White has every bit but bit 5.
    EXPECT_EQ(words(*device),
              (std::vector<int>{0xF801, 0x07C0, 0xFFDF, 0x118A, 0xFFDF, 0xF801, 0x07C0}));
    EXPECT_EQ(device->Row(0)[14], 0);  // padding
    EXPECT_EQ(device->Row(0)[15], 0);
    auto desktop = NewDib(7, 1, 16, 256);
    ASSERT_TRUE(ConvertDepth(*source, *desktop, 0, 0));
    // White has every bit but bit 15.
    EXPECT_EQ(words(*desktop),
              (std::vector<int>{0x7C01, 0x03E0, 0x7FFF, 0x08CA, 0x7FFF, 0x7C01, 0x03E0}));
    // The colour table is built although the pixels do not use it: entries in depth-first
    // order, the rest black.
    EXPECT_EQ(TableEntry(*desktop, 0), c);
    EXPECT_EQ(TableEntry(*desktop, 1), b);
    EXPECT_EQ(TableEntry(*desktop, 2), a);
    EXPECT_EQ(TableEntry(*desktop, 3), w);
    EXPECT_EQ(TableEntry(*desktop, 4), (Rgb{0, 0, 0}));
}

// ---- refusals and failures ----

TEST(ConvertDepth, RefusesOtherDepthsAndSizesLeavingTheDestinationAlone) {
    auto source = NewDib(8, 8, 24);
    FillPhotoLike(*source, 4);
    for (const auto& [width, depth, colors] :
         {std::tuple{8, 1, 2}, std::tuple{8, 24, 0}, std::tuple{8, 32, 0}, std::tuple{9, 8, 256}}) {
        auto destination = NewDib(width, 8, depth, colors);
        std::fill(destination->Pixels(), destination->Pixels() + destination->PixelBytes(), 0x3C);
        if (colors > 1) {
            destination->SetColor(1, 9, 9, 9);
        }
        const auto pixels = PixelBytes(*destination);
        const auto info = InfoBytes(*destination);
        EXPECT_FALSE(ConvertDepth(*source, *destination, 1, 1)) << depth;
        EXPECT_EQ(PixelBytes(*destination), pixels) << depth;
        EXPECT_EQ(InfoBytes(*destination), info) << depth;
    }
}

TEST(ConvertDepth, ARefusedAllocationFailsWithoutTouchingThePixels) {
    // Few colours keep the tree, and so the number of allocations to refuse, small.
    auto source = NewDib(50, 41, 24);
    for (int y = 0; y < 41; ++y) {
        for (int x = 0; x < 50; ++x) {
            Put(*source, x, y,
                {static_cast<std::uint8_t>(x / 25 * 200), static_cast<std::uint8_t>(y / 21 * 150),
                 static_cast<std::uint8_t>((x + y) % 2 * 100)});
        }
    }
    for (const auto& [depth, ditherFlag] :
         {std::pair{4, 1}, std::pair{8, 0}, std::pair{8, 1}, std::pair{16, 0}}) {
        const auto dither = static_cast<std::uint8_t>(ditherFlag);
        const int colors = depth == 4 ? 16 : 256;
        auto expected = NewDib(50, 41, depth, colors);
        ASSERT_TRUE(ConvertDepth(*source, *expected, 1, dither));
        auto destination = NewDib(50, 41, depth, colors);
        std::fill(destination->Pixels(), destination->Pixels() + destination->PixelBytes(), 0x5A);
        const auto untouched = PixelBytes(*destination);
        const int refusals = ForEachFailingAllocation([&](const FailingAllocation& failing) {
            const bool ok = ConvertDepth(*source, *destination, 1, dither);
            EXPECT_EQ(ok, !failing.Failed());
            if (!ok) {
                EXPECT_EQ(PixelBytes(*destination), untouched);
            }
        });
        EXPECT_GT(refusals, 0) << depth;
        EXPECT_EQ(PixelBytes(*destination), PixelBytes(*expected)) << depth;
        EXPECT_EQ(InfoBytes(*destination), InfoBytes(*expected)) << depth;
    }
}
