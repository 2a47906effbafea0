#include <gtest/gtest.h>

#include <cstring>

#include "imaging/dib.h"

namespace {

// Fills a 24-bit bitmap so that every pixel is distinct: blue = column, green = image row
// (0 = top), red = a constant tag.
void FillIndexed(CDib& dib, std::uint8_t tag = 7) {
    for (int y = 0; y < dib.Height(); ++y) {
        std::uint8_t* row = dib.Row(y);
        const int imageRow = dib.Height() - 1 - y;
        for (int x = 0; x < dib.Width(); ++x) {
            row[3 * x + 0] = static_cast<std::uint8_t>(x);
            row[3 * x + 1] = static_cast<std::uint8_t>(imageRow);
            row[3 * x + 2] = tag;
        }
    }
}

// Pixel at column x of image row y (0 = top) as 0x00RRGGBB.
std::uint32_t PixelAt(const CDib& dib, int x, int imageRow) {
    return dib.ReadPixel(x, dib.Height() - 1 - imageRow);
}

}  // namespace

TEST(DibStride, RowsArePaddedToFourBytes) {
    EXPECT_EQ(CDib::Stride(24, 5), 16);
    EXPECT_EQ(CDib::Stride(4, 160), 80);
    EXPECT_EQ(CDib::Stride(16, 160), 320);
    EXPECT_EQ(CDib::Stride(24, 1), 4);
    EXPECT_EQ(CDib::Stride(4, 1), 4);
    EXPECT_EQ(CDib::Stride(8, 161), 164);
    EXPECT_EQ(CDib::Stride(32, 3), 12);
}

TEST(DibCreate, FillsTheInfoHeaderAndZeroesTableAndPixels) {
    CDib dib;
    ASSERT_TRUE(dib.Create(5, 3, 8, 256));
    EXPECT_EQ(dib.RowStride(), 8);
    EXPECT_EQ(dib.PixelBytes(), 24u);
    const std::uint8_t* info = dib.Info();
    std::uint32_t v;
    std::memcpy(&v, info, 4);
    EXPECT_EQ(v, 40u);
    EXPECT_EQ(info[4], 5);
    EXPECT_EQ(info[8], 3);
    EXPECT_EQ(info[12], 1);  // planes
    EXPECT_EQ(info[14], 8);  // bits
    EXPECT_EQ(info[32] | (info[33] << 8), 256);
    EXPECT_EQ(info[36] | (info[37] << 8), 256);
    for (std::size_t i = 40; i < dib.InfoSize(); ++i) {
        ASSERT_EQ(info[i], 0) << i;
    }
    for (std::size_t i = 0; i < dib.PixelBytes(); ++i) {
        ASSERT_EQ(dib.Pixels()[i], 0) << i;
    }
}

TEST(DibCreate, RefusesEmptySizesUnknownDepthsAndASecondCall) {
    CDib a;
    EXPECT_FALSE(a.Create(0, 10, 24));
    CDib b;
    EXPECT_FALSE(b.Create(10, -1, 24));
    CDib c;
    EXPECT_FALSE(c.Create(10, 10, 12));
    CDib d;
    ASSERT_TRUE(d.Create(2, 2, 24));
    EXPECT_FALSE(d.Create(4, 4, 24));
    EXPECT_EQ(d.Width(), 2);
}

TEST(DibColorTable, EntriesRoundTripAsRgbAndAreStoredBgr0) {
    CDib dib;
    ASSERT_TRUE(dib.Create(4, 4, 4, 16));
    dib.SetColor(3, 0x12, 0x34, 0x56);
    EXPECT_EQ(dib.GetColor(3), 0x123456u);
    const std::uint8_t* entry = dib.Info() + 40 + 12;
    EXPECT_EQ(entry[0], 0x56);
    EXPECT_EQ(entry[1], 0x34);
    EXPECT_EQ(entry[2], 0x12);
    EXPECT_EQ(entry[3], 0);
    dib.SetColor(16, 1, 2, 3);  // past the table: ignored
    EXPECT_EQ(dib.GetColor(16), 0u);
}

TEST(DibReadPixel, ClampsBothCoordinatesIntoTheBitmap) {
    CDib dib;
    ASSERT_TRUE(dib.Create(3, 2, 24));
    FillIndexed(dib);
    EXPECT_EQ(dib.ReadPixel(1, 0), 0x070101u);  // storage row 0 = image row 1
    EXPECT_EQ(dib.ReadPixel(-5, 0), dib.ReadPixel(0, 0));
    EXPECT_EQ(dib.ReadPixel(3, 1), dib.ReadPixel(2, 1));
    EXPECT_EQ(dib.ReadPixel(1, 7), dib.ReadPixel(1, 1));
    EXPECT_EQ(dib.ReadPixel(1, -2), dib.ReadPixel(1, 0));
}

TEST(DibReadPixel, ReadsThirtyTwoBitPixelsAndIgnoresTheFourthByte) {
    CDib dib;
    ASSERT_TRUE(dib.Create(2, 1, 32));
    std::uint8_t* p = dib.Row(0);
    p[4] = 1;
    p[5] = 2;
    p[6] = 3;
    p[7] = 0xFF;
    EXPECT_EQ(dib.ReadPixel(1, 0), 0x030201u);
}

TEST(Resample, EqualSizesCopyTheRectangleExactly) {
    CDib src;
    ASSERT_TRUE(src.Create(7, 5, 24));
    FillIndexed(src);
    CDib dst;
    ASSERT_TRUE(dst.Create(3, 2, 24));
    ASSERT_TRUE(ResampleDib(src, 2, 1, 3, 2, dst, 3, 2));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(PixelAt(dst, x, y), PixelAt(src, x + 2, y + 1)) << x << "," << y;
        }
    }
}

TEST(Resample, HalvingAveragesTheSampleRowAndTheRowAboveIt) {
    // Source 4 x 4 whose blue channel is 10 x image row + column.
    CDib src;
    ASSERT_TRUE(src.Create(4, 4, 24));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            src.Row(3 - y)[3 * x] = static_cast<std::uint8_t>(10 * y + x);
        }
    }
    CDib dst;
    ASSERT_TRUE(dst.Create(2, 2, 24));
    ASSERT_TRUE(ResampleDib(src, 0, 0, 4, 4, dst, 2, 2));
    auto blue = [&](int x, int y) { return PixelAt(dst, x, y) & 0xFF; };
    // Row 0: image row 0 counted twice (the row above is clamped), columns 0+1 and 2+3.
    EXPECT_EQ(blue(0, 0), (0u + 1 + 0 + 1) / 4);
    EXPECT_EQ(blue(1, 0), (2u + 3 + 2 + 3) / 4);
    // Row 1: image rows 2 and 1; image row 3 is never read.
    EXPECT_EQ(blue(0, 1), (20u + 21 + 10 + 11) / 4);
    EXPECT_EQ(blue(1, 1), (22u + 23 + 12 + 13) / 4);
}

TEST(Resample, ShrinkingByTenAveragesOnlyAThreeByThreeBox) {
    // A 30 x 30 source, all zero except one bright pixel per 10 x 10 block that lies outside
    // the 3 x 3 box read at the block's sample point: the result stays black.
    CDib src;
    ASSERT_TRUE(src.Create(30, 30, 24));
    for (int by = 0; by < 3; ++by) {
        for (int bx = 0; bx < 3; ++bx) {
            // Sample column 10 bx .. 10 bx + 2; row box at image rows 10 by - 2 .. 10 by.
            const int imageRow = 10 * by + 5;
            src.Row(29 - imageRow)[3 * (10 * bx + 5)] = 255;
        }
    }
    CDib dst;
    ASSERT_TRUE(dst.Create(3, 3, 24));
    ASSERT_TRUE(ResampleDib(src, 0, 0, 30, 30, dst, 3, 3));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(PixelAt(dst, x, y), 0u);
        }
    }
    // And a bright pixel inside the box counts one ninth.
    src.Row(29 - 10)[3 * 11] = 90;  // image row 10, column 11: in the box of (1, 1)
    ASSERT_TRUE(ResampleDib(src, 0, 0, 30, 30, dst, 3, 3));
    EXPECT_EQ(PixelAt(dst, 1, 1) & 0xFF, 10u);
}

TEST(Resample, EnlargingCopiesTheNearestSample) {
    CDib src;
    ASSERT_TRUE(src.Create(2, 2, 24));
    FillIndexed(src, 9);
    CDib dst;
    ASSERT_TRUE(dst.Create(5, 4, 24));
    ASSERT_TRUE(ResampleDib(src, 0, 0, 2, 2, dst, 5, 4));
    // Columns: floor(i x 2/5); rows: ceil(j x 2/4) counted from the top.
    const int col[5] = {0, 0, 0, 1, 1};
    const int row[4] = {0, 1, 1, 2};  // image row 2 does not exist: clamped to row 1
    for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(PixelAt(dst, i, j), PixelAt(src, col[i], std::min(row[j], 1)))
                << i << "," << j;
        }
    }
}

TEST(Resample, ReadsBeyondTheEdgesRepeatTheEdgePixels) {
    CDib src;
    ASSERT_TRUE(src.Create(4, 4, 24));
    FillIndexed(src);
    CDib dst;
    ASSERT_TRUE(dst.Create(2, 2, 24));
    // A window hanging out past the right and bottom edges, copied 1:1.
    ASSERT_TRUE(ResampleDib(src, 3, 3, 2, 2, dst, 2, 2));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) {
            EXPECT_EQ(PixelAt(dst, x, y), PixelAt(src, 3, 3));
        }
    }
}

TEST(Resample, WritesOnlyTheTopLeftRegionAndReadsThirtyTwoBitSources) {
    CDib src;
    ASSERT_TRUE(src.Create(1, 1, 32));
    src.Row(0)[0] = 0x11;
    src.Row(0)[1] = 0x22;
    src.Row(0)[2] = 0x33;
    CDib dst;
    ASSERT_TRUE(dst.Create(3, 3, 24));
    ASSERT_TRUE(ResampleDib(src, 0, 0, 1, 1, dst, 2, 2));
    EXPECT_EQ(PixelAt(dst, 0, 0), 0x332211u);
    EXPECT_EQ(PixelAt(dst, 1, 1), 0x332211u);
    EXPECT_EQ(PixelAt(dst, 2, 0), 0u);
    EXPECT_EQ(PixelAt(dst, 0, 2), 0u);
}

TEST(Resample, RefusesWrongDepthsAndRegionsLargerThanTheDestination) {
    CDib src;
    ASSERT_TRUE(src.Create(4, 4, 8, 256));
    CDib dst;
    ASSERT_TRUE(dst.Create(2, 2, 24));
    EXPECT_FALSE(ResampleDib(src, 0, 0, 4, 4, dst, 2, 2));
    CDib src24;
    ASSERT_TRUE(src24.Create(4, 4, 24));
    EXPECT_FALSE(ResampleDib(src24, 0, 0, 4, 4, dst, 3, 2));
    CDib empty;
    EXPECT_FALSE(ResampleDib(src24, 0, 0, 4, 4, empty, 1, 1));
}
