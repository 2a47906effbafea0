#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>
#include <random>
#include <vector>

#include "convert/depth_converter.h"
#include "support/core_pictures.h"

namespace {

bool Prepare(CDepthConverter& converter, int from, int to, int width, bool dither) {
    converter.m_sourceDepth = static_cast<std::uint8_t>(from);
    converter.m_destinationDepth = static_cast<std::uint8_t>(to);
    converter.m_width = width;
    converter.m_dither = dither ? 1 : 0;
    return converter.Prepare();
}

// Converts a whole 24-bit picture to grey rows at `depth`, into rows that start dirty so that
// every byte up to the stride must be written.
std::vector<std::uint8_t> Grey(const CDib& picture, int depth, bool dither) {
    const std::int32_t stride = CDib::Stride(depth, picture.Width());
    std::vector<std::uint8_t> out(static_cast<std::size_t>(stride) * picture.Height(), 0xA5);
    CDepthConverter converter;
    EXPECT_TRUE(Prepare(converter, 24, depth, picture.Width(), dither));
    // In two runs of rows: the accumulator carries over between calls.
    const int first = picture.Height() / 2;
    converter.Convert(picture.Row(0), out.data(), first);
    converter.Convert(picture.Row(first), out.data() + stride * first, picture.Height() - first);
    return out;
}

int Level4(const std::vector<std::uint8_t>& rows, int stride, int x, int y) {
    const std::uint8_t byte = rows[static_cast<std::size_t>(stride) * y + x / 2];
    return x % 2 == 0 ? byte >> 4 : byte & 15;
}

// The grey rows written out plainly, cell by cell, to hold the converter's one-pass form to.
std::vector<std::uint8_t> Reference(const CDib& source, int depth, bool dither) {
    const int width = source.Width();
    const int shift = 8 - depth;
    const int perByte = 8 / depth;
    const std::int32_t stride = CDib::Stride(depth, width);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(stride) * source.Height(), 0);
    std::vector<int> c(width + 1, 0);  // a spare cell takes what falls off the right edge
    std::vector<int> n(width + 1, 0);
    for (int y = 0; y < source.Height(); ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb p = Get(source, x, y);
            const int v = c[x] + (p.r >> 2) + (p.g >> 1) + (p.b >> 3);
            const int e = dither ? v & ((1 << shift) - 1) : 0;
            const int right = (7 * e) >> 4, belowLeft = (3 * e) >> 4, below = (5 * e) >> 4;
            c[x + 1] += right;
            n[x + 1] += e - right - belowLeft - below;
            n[x] += below;
            if (x > 0) {
                n[x - 1] += belowLeft;
            }
            const int level = std::min(v >> shift, (1 << depth) - 1);
            out[static_cast<std::size_t>(stride) * y + x / perByte] |=
                static_cast<std::uint8_t>(level << (8 - depth * (x % perByte + 1)));
        }
        c = n;
        n.assign(width + 1, 0);
    }
    return out;
}

}  // namespace

TEST(DepthConverter, TheErrorTableSharesEachErrorOutWithTheRemainderBelowRight) {
    CDepthConverter converter;
    ASSERT_TRUE(Prepare(converter, 24, 4, 8, true));
    auto shares = [&](int e) {
        const auto s = converter.ErrorShares(static_cast<std::uint8_t>(e));
        return std::array<int, 4>{s.right, s.belowLeft, s.below, s.belowRight};
    };
    EXPECT_EQ(shares(15), (std::array<int, 4>{6, 2, 4, 3}));
    EXPECT_EQ(shares(8), (std::array<int, 4>{3, 1, 2, 2}));
}

TEST(DepthConverter, ARowOfWidthOneKeepsOnlyTheBelowShare) {
    // Grey 143 leaves error 15, of which only 4 goes below: 147 is level 9 with error 3, whose
    // below share is 0, so the column alternates.
    auto picture = NewDib(1, 5, 24);
    for (int y = 0; y < 5; ++y) {
        Put(*picture, 0, y, {64, 254, 0});
    }
    const auto out = Grey(*picture, 4, true);
    for (int y = 0; y < 5; ++y) {
        EXPECT_EQ(Level4(out, 4, 0, y), y % 2 == 0 ? 8 : 9) << y;
    }
}

TEST(DepthConverter, WhiteIsLevel13AtFourBitsAndDitheringNeverLiftsItTo15) {
    auto white = NewDib(37, 40, 24);
    std::fill(white->Pixels(), white->Pixels() + white->PixelBytes(), 255);
    const std::int32_t stride = CDib::Stride(4, 37);
    const auto plain = Grey(*white, 4, false);
    const auto dithered = Grey(*white, 4, true);
    int lifted = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 37; ++x) {
            ASSERT_EQ(Level4(plain, stride, x, y), 13);
            const int level = Level4(dithered, stride, x, y);
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
            auto picture = NewDib(width, 7, 24);
            std::generate(picture->Pixels(), picture->Pixels() + picture->PixelBytes(),
                          [&] { return static_cast<std::uint8_t>(random()); });
            for (bool dither : {true, false}) {
                ASSERT_EQ(Grey(*picture, depth, dither), Reference(*picture, depth, dither))
                    << "depth " << depth << " width " << width << " dither " << dither;
            }
        }
    }
}

TEST(DepthConverter, EqualDepthsCopyEveryRowUnchanged) {
    for (int depth : {24, 8}) {
        auto picture = NewDib(5, 4, depth, depth == 8 ? 256 : 0);
        std::iota(picture->Pixels(), picture->Pixels() + picture->PixelBytes(), std::uint8_t{1});
        std::vector<std::uint8_t> out(picture->PixelBytes());
        CDepthConverter converter;
        ASSERT_TRUE(Prepare(converter, depth, depth, 5, true));
        EXPECT_TRUE(converter.Convert(picture->Pixels(), out.data(), 4));
        EXPECT_EQ(out, PixelBytes(*picture)) << depth;
    }
}
