#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>
#include <random>
#include <vector>

#include "convert/conversion.h"
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

TEST(DepthConverter, TheOnePassFormAndConvertDepthMatchThePlainAlgorithmOnRandomPictures) {
    std::mt19937 random(3);
    for (int depth : {4, 2, 1}) {
        for (int width : {1, 2, 3, 5, 8, 9, 17, 64}) {
            auto picture = NewDib(width, 7, 24);
            std::generate(picture->Pixels(), picture->Pixels() + picture->PixelBytes(),
                          [&] { return static_cast<std::uint8_t>(random()); });
            for (bool dither : {true, false}) {
                const auto expected = Reference(*picture, depth, dither);
                ASSERT_EQ(Grey(*picture, depth, dither), expected)
                    << "depth " << depth << " width " << width << " dither " << dither;
                if (depth > 1) {  // the grey depths pictures are stored at, with a grey ramp
                    auto grey = NewDib(width, 7, depth, 1 << depth);
                    ASSERT_TRUE(ConvertDepth(*picture, *grey, 1, dither ? 1 : 0));
                    ASSERT_EQ(PixelBytes(*grey), expected)
                        << depth << " " << width << " " << dither;
                    for (int i = 0; i < 1 << depth; ++i) {
                        const auto v = static_cast<std::uint8_t>((depth == 4 ? 17 : 85) * i);
                        ASSERT_EQ(TableEntry(*grey, i), (Rgb{v, v, v})) << depth;
                    }
                }
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
