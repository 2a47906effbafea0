#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "convert/depth_converter.h"
#include "imaging/dib.h"
#include "support/core_allocation_failure.h"

namespace {

// A block of rows as the converter sees them: `rows` rows of the bitmap stride apart.
struct Rows {
    Rows(int depth, int width, int rows, std::uint8_t fill = 0)
        : stride(CDib::Stride(depth, width)),
          bytes(static_cast<std::size_t>(stride) * rows, fill) {}
    std::uint8_t* Row(int y) { return bytes.data() + static_cast<std::size_t>(stride) * y; }
    std::int32_t stride;
    std::vector<std::uint8_t> bytes;
};

// 24-bit rows whose pixels have the given grey values (0..221): green carries up to 127 of
// the value, red up to 63 more and blue the rest.
Rows GreyPicture(const std::vector<std::vector<int>>& greys) {
    Rows picture(24, static_cast<int>(greys[0].size()), static_cast<int>(greys.size()));
    for (std::size_t y = 0; y < greys.size(); ++y) {
        for (std::size_t x = 0; x < greys[y].size(); ++x) {
            const int green = std::min(greys[y][x], 127);
            const int red = std::min(greys[y][x] - green, 63);
            const int blue = greys[y][x] - green - red;
            std::uint8_t* p = picture.Row(static_cast<int>(y)) + 3 * x;
            p[0] = static_cast<std::uint8_t>(8 * blue);
            p[1] = static_cast<std::uint8_t>(2 * green);
            p[2] = static_cast<std::uint8_t>(4 * red);
        }
    }
    return picture;
}

bool Configure(CDepthConverter& converter, int sourceDepth, int destinationDepth, int width,
               bool dither) {
    converter.m_sourceDepth = static_cast<std::uint8_t>(sourceDepth);
    converter.m_destinationDepth = static_cast<std::uint8_t>(destinationDepth);
    converter.m_width = width;
    converter.m_dither = dither ? 1 : 0;
    return converter.Prepare();
}

int Level4(const Rows& rows, int x, int y) {
    const std::uint8_t byte = rows.bytes[static_cast<std::size_t>(rows.stride) * y + x / 2];
    return x % 2 == 0 ? byte >> 4 : byte & 15;
}

// The grey rows written out plainly, cell by cell, to hold the converter's one-pass form to.
std::vector<std::uint8_t> Reference(const Rows& source, int width, int rows, int depth,
                                    bool dither) {
    const int mask = (1 << (8 - depth)) - 1;
    const int maxLevel = (1 << depth) - 1;
    const std::int32_t stride = CDib::Stride(depth, width);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(stride) * rows, 0);
    std::vector<int> c(width, 0);
    std::vector<int> n(width, 0);
    for (int y = 0; y < rows; ++y) {
        const std::uint8_t* p = source.bytes.data() + static_cast<std::size_t>(source.stride) * y;
        for (int x = 0; x < width; ++x) {
            c[x] += (p[3 * x + 2] >> 2) + (p[3 * x + 1] >> 1) + (p[3 * x] >> 3);
        }
        if (dither) {
            for (int x = 0; x < width; ++x) {
                const int e = c[x] & mask;
                const int right = (7 * e) >> 4;
                const int belowLeft = (3 * e) >> 4;
                const int below = (5 * e) >> 4;
                if (x + 1 < width) {
                    c[x + 1] += right;
                    n[x + 1] += e - right - belowLeft - below;
                }
                if (x > 0) {
                    n[x - 1] += belowLeft;
                }
                n[x] += below;
            }
        }
        for (int x = 0; x < width; ++x) {
            const int level = std::min(c[x] >> (8 - depth), maxLevel);
            const int bit = 8 - depth * (x % (8 / depth) + 1);
            out[static_cast<std::size_t>(stride) * y + x / (8 / depth)] |=
                static_cast<std::uint8_t>(level << bit);
        }
        c = n;
        std::fill(n.begin(), n.end(), 0);
    }
    return out;
}

}  // namespace

TEST(DepthConverter, TheErrorTableSharesEachErrorOutWithTheRemainderBelowRight) {
    CDepthConverter converter;
    ASSERT_TRUE(Configure(converter, 24, 4, 8, true));
    EXPECT_EQ(converter.m_errorMask, 15);
    EXPECT_EQ(converter.m_errorTableSize, 16);
    const auto s15 = converter.ErrorShares(15);
    EXPECT_EQ(s15.right, 6);
    EXPECT_EQ(s15.belowLeft, 2);
    EXPECT_EQ(s15.below, 4);
    EXPECT_EQ(s15.belowRight, 3);
    const auto s8 = converter.ErrorShares(8);
    EXPECT_EQ(s8.right, 3);
    EXPECT_EQ(s8.belowLeft, 1);
    EXPECT_EQ(s8.below, 2);
    EXPECT_EQ(s8.belowRight, 2);
    for (int e = 0; e <= 15; ++e) {
        const auto s = converter.ErrorShares(static_cast<std::uint8_t>(e));
        EXPECT_EQ(s.right + s.belowLeft + s.below + s.belowRight, e);
    }
}

TEST(DepthConverter, ARowOfWidthOneKeepsOnlyTheBelowShare) {
    // Grey 143 leaves error 15, of which only 4 goes below: 147 is level 9 with error 3, whose
    // below share is 0, so the column alternates.
    Rows picture = GreyPicture({{143}, {143}, {143}, {143}, {143}});
    Rows out(4, 1, 5);
    CDepthConverter converter;
    ASSERT_TRUE(Configure(converter, 24, 4, 1, true));
    converter.Convert(picture.Row(0), out.Row(0), 5);
    for (int y = 0; y < 5; ++y) {
        EXPECT_EQ(Level4(out, 0, y), y % 2 == 0 ? 8 : 9) << y;
    }
}

TEST(DepthConverter, WhiteIsLevel13AtFourBitsAndDitheringNeverLiftsItTo15) {
    constexpr int kWidth = 37;
    constexpr int kRows = 40;
    Rows white(24, kWidth, kRows, 255);
    Rows plain(4, kWidth, kRows);
    CDepthConverter undithered;
    ASSERT_TRUE(Configure(undithered, 24, 4, kWidth, false));
    undithered.Convert(white.Row(0), plain.Row(0), kRows);
    for (int y = 0; y < kRows; ++y) {
        for (int x = 0; x < kWidth / 2; ++x) {
            ASSERT_EQ(plain.Row(y)[x], 0xDD);
        }
    }
    Rows dithered(4, kWidth, kRows);
    CDepthConverter converter;
    ASSERT_TRUE(Configure(converter, 24, 4, kWidth, true));
    converter.Convert(white.Row(0), dithered.Row(0), kRows);
    int lifted = 0;
    for (int y = 0; y < kRows; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int level = Level4(dithered, x, y);
            ASSERT_TRUE(level == 13 || level == 14) << x << "," << y << ": " << level;
            lifted += level == 14;
        }
    }
    EXPECT_GT(lifted, 0);
}

TEST(DepthConverter, TheOnePassFormMatchesThePlainAlgorithmOnRandomPictures) {
    std::mt19937 random(3);
    for (int depth : {4, 2, 1}) {
        for (int width : {1, 2, 3, 5, 8, 9, 17, 64}) {
            for (bool dither : {true, false}) {
                constexpr int kRows = 7;
                Rows picture(24, width, kRows);
                for (auto& byte : picture.bytes) {
                    byte = static_cast<std::uint8_t>(random());
                }
                // Padding bytes start dirty, to show that the whole stride is written.
                Rows out(depth, width, kRows, 0xA5);
                CDepthConverter converter;
                ASSERT_TRUE(Configure(converter, 24, depth, width, dither));
                // In two runs of rows: the accumulator carries over between calls.
                converter.Convert(picture.Row(0), out.Row(0), 3);
                converter.Convert(picture.Row(3), out.Row(3), kRows - 3);
                ASSERT_EQ(out.bytes, Reference(picture, width, kRows, depth, dither))
                    << "depth " << depth << " width " << width << " dither " << dither;
            }
        }
    }
}

TEST(DepthConverter, EqualDepthsCopyEveryRowUnchanged) {
    for (int depth : {24, 8}) {
        Rows picture(depth, 5, 4);
        for (std::size_t i = 0; i < picture.bytes.size(); ++i) {
            picture.bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
        }
        Rows out(depth, 5, 4);
        CDepthConverter converter;
        ASSERT_TRUE(Configure(converter, depth, depth, 5, true));
        EXPECT_TRUE(converter.Convert(picture.Row(0), out.Row(0), 4));
        EXPECT_EQ(out.bytes, picture.bytes) << depth;
    }
}

TEST(DepthConverter, APairWithoutAConversionWritesNothingAndSucceeds) {
    for (const auto& [from, to] : {std::pair{24, 8}, std::pair{16, 4}, std::pair{8, 4}}) {
        Rows picture(from, 6, 3, 0x5A);
        Rows out(to, 6, 3, 0x33);
        const std::vector<std::uint8_t> before = out.bytes;
        CDepthConverter converter;
        ASSERT_TRUE(Configure(converter, from, to, 6, true));
        EXPECT_TRUE(converter.Convert(picture.Row(0), out.Row(0), 3));
        EXPECT_EQ(out.bytes, before) << from << " to " << to;
    }
}

TEST(DepthConverter, ARefusedAllocationMakesPrepareFail) {
    const int refusals = ForEachFailingAllocation([](const FailingAllocation& failing) {
        CDepthConverter converter;
        const bool prepared = Configure(converter, 24, 4, 33, true);
        EXPECT_EQ(prepared, !failing.Failed());
    });
    EXPECT_GE(refusals, 2);
}
