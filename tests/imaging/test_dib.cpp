#include <gtest/gtest.h>

#include <algorithm>

#include "imaging/byte_order.h"
#include "support/core_pictures.h"

namespace {

bool AllZero(const std::uint8_t* from, const std::uint8_t* to) {
    return std::all_of(from, to, [](std::uint8_t b) { return b == 0; });
}

}  // namespace

TEST(Dib, RowsArePaddedToFourBytes) {
    EXPECT_EQ(CDib::Stride(24, 5), 16);
    EXPECT_EQ(CDib::Stride(4, 160), 80);
    EXPECT_EQ(CDib::Stride(16, 160), 320);
    EXPECT_EQ(CDib::Stride(24, 1), 4);
    EXPECT_EQ(CDib::Stride(4, 1), 4);
    EXPECT_EQ(CDib::Stride(8, 161), 164);
    EXPECT_EQ(CDib::Stride(32, 3), 12);
}

TEST(Dib, CreateFillsTheInfoHeaderZeroesTheRestAndRefusesWhatItCannotHold) {
    CDib dib;
    ASSERT_TRUE(dib.Create(5, 3, 8, 256));
    EXPECT_EQ(dib.RowStride(), 8);
    EXPECT_EQ(dib.PixelBytes(), 24u);
    // Size, width, height, planes, bits, then nothing but the colours used and important.
    const std::uint8_t* info = dib.Info();
    EXPECT_EQ(std::vector<int>(info, info + 40),
              (std::vector<int>{40, 0, 0, 0, 5, 0, 0, 0, 3, 0, 0, 0, 1, 0, 8, 0, 0, 0, 0, 0,
                                0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0}));
    EXPECT_TRUE(AllZero(info + 40, info + dib.InfoSize()));
    EXPECT_TRUE(AllZero(dib.Pixels(), dib.Pixels() + dib.PixelBytes()));
    EXPECT_FALSE(dib.Create(4, 4, 24));  // a second call
    EXPECT_EQ(dib.Width(), 5);
    const int refused[][3] = {{0, 10, 24}, {10, -1, 24}, {10, 10, 12}};
    for (const auto& [width, height, bits] : refused) {
        EXPECT_EQ(NewDib(width, height, bits), nullptr) << width << " " << height << " " << bits;
    }
}

TEST(Dib, TableEntriesAreStoredBgr0AndPixelsReadClampedIntoTheBitmap) {
    auto table = NewDib(4, 4, 4, 16);
    table->SetColor(3, 0x12, 0x34, 0x56);
    EXPECT_EQ(table->GetColor(3), 0x123456u);
    EXPECT_EQ(LoadLittleEndian32(table->Info() + 40 + 12), 0x123456u);
    table->SetColor(16, 1, 2, 3);  // past the table: ignored
    EXPECT_EQ(table->GetColor(16), 0u);

    const auto dib = Indexed(3, 2);
    EXPECT_EQ(dib->ReadPixel(1, 0), 0x070101u);  // storage row 0 = image row 1
    EXPECT_EQ(dib->ReadPixel(-5, 0), dib->ReadPixel(0, 0));
    EXPECT_EQ(dib->ReadPixel(3, 1), dib->ReadPixel(2, 1));
    EXPECT_EQ(dib->ReadPixel(1, 7), dib->ReadPixel(1, 1));
    EXPECT_EQ(dib->ReadPixel(1, -2), dib->ReadPixel(1, 0));
    // Thirty-two bits a pixel: the fourth byte is ignored.
    auto wide = NewDib(2, 1, 32);
    std::copy_n("\0\0\0\0\x01\x02\x03\xFF", 8, wide->Row(0));
    EXPECT_EQ(wide->ReadPixel(1, 0), 0x030201u);
}

TEST(Resample, EqualSizesCopyTheRectangleAndRepeatTheEdgesBeyondIt) {
    const auto src = Indexed(7, 5);
    auto dst = NewDib(3, 2, 24);
    ASSERT_TRUE(ResampleDib(*src, 2, 1, 3, 2, *dst, 3, 2));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(PixelAt(*dst, x, y), PixelAt(*src, x + 2, y + 1)) << x << "," << y;
        }
    }
    // A window hanging out past the right and bottom edges.
    ASSERT_TRUE(ResampleDib(*src, 6, 4, 2, 2, *dst, 2, 2));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) {
            EXPECT_EQ(PixelAt(*dst, x, y), PixelAt(*src, 6, 4)) << x << "," << y;
        }
    }
}

TEST(Resample, HalvingAveragesTheSampleRowAndTheRowAboveIt) {
    // Source 4 x 4 whose blue channel is 10 x image row + column.
    auto src = NewDib(4, 4, 24);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            Put(*src, x, 3 - y, {0, 0, static_cast<std::uint8_t>(10 * y + x)});
        }
    }
    auto dst = NewDib(2, 2, 24);
    ASSERT_TRUE(ResampleDib(*src, 0, 0, 4, 4, *dst, 2, 2));
    auto blue = [&](int x, int y) { return PixelAt(*dst, x, y) & 0xFF; };
    // Row 0: image row 0 counted twice (the row above is clamped), columns 0+1 and 2+3.
    EXPECT_EQ(blue(0, 0), (0u + 1 + 0 + 1) / 4);
    EXPECT_EQ(blue(1, 0), (2u + 3 + 2 + 3) / 4);
    // Row 1: image rows 2 and 1; image row 3 is never read.
    EXPECT_EQ(blue(0, 1), (20u + 21 + 10 + 11) / 4);
    EXPECT_EQ(blue(1, 1), (22u + 23 + 12 + 13) / 4);
}

TEST(Resample, ShrinkingByTenAveragesOnlyAThreeByThreeBox) {
    // All zero except one bright pixel per 10 x 10 block that lies outside the 3 x 3 box read
    // at the block's sample point (columns 10 bx .. 10 bx + 2, image rows 10 by - 2 .. 10 by):
    // the result stays black.
    auto src = NewDib(30, 30, 24);
    for (int by = 0; by < 3; ++by) {
        for (int bx = 0; bx < 3; ++bx) {
            Put(*src, 10 * bx + 5, 29 - (10 * by + 5), {0, 0, 255});
        }
    }
    auto dst = NewDib(3, 3, 24);
    ASSERT_TRUE(ResampleDib(*src, 0, 0, 30, 30, *dst, 3, 3));
    EXPECT_TRUE(AllZero(dst->Pixels(), dst->Pixels() + dst->PixelBytes()));
    // And a bright pixel inside the box counts one ninth.
    Put(*src, 11, 29 - 10, {0, 0, 90});  // image row 10, column 11: in the box of (1, 1)
    ASSERT_TRUE(ResampleDib(*src, 0, 0, 30, 30, *dst, 3, 3));
    EXPECT_EQ(PixelAt(*dst, 1, 1), 10u);
}

TEST(Resample, EnlargingCopiesTheNearestSample) {
    const auto src = Indexed(2, 2, 9);
    auto dst = NewDib(5, 4, 24);
    ASSERT_TRUE(ResampleDib(*src, 0, 0, 2, 2, *dst, 5, 4));
    // Columns: floor(i x 2/5); rows: ceil(j x 2/4) counted from the top.
    const int col[5] = {0, 0, 0, 1, 1};
    const int row[4] = {0, 1, 1, 2};  // image row 2 does not exist: clamped to row 1
    for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(PixelAt(*dst, i, j), PixelAt(*src, col[i], std::min(row[j], 1)))
                << i << "," << j;
        }
    }
}

TEST(Resample, WritesOnlyTheTopLeftRegionReadsThirtyTwoBitsAndRefusesOtherDepthsAndSizes) {
    auto src = NewDib(1, 1, 32);
    std::copy_n("\x11\x22\x33", 3, src->Row(0));
    auto dst = NewDib(3, 3, 24);
    ASSERT_TRUE(ResampleDib(*src, 0, 0, 1, 1, *dst, 2, 2));
    EXPECT_EQ(PixelAt(*dst, 0, 0), 0x332211u);
    EXPECT_EQ(PixelAt(*dst, 1, 1), 0x332211u);
    EXPECT_EQ(PixelAt(*dst, 2, 0), 0u);
    EXPECT_EQ(PixelAt(*dst, 0, 2), 0u);

    EXPECT_FALSE(ResampleDib(*NewDib(4, 4, 8, 256), 0, 0, 4, 4, *dst, 2, 2));
    EXPECT_FALSE(ResampleDib(*src, 0, 0, 4, 4, *dst, 4, 2));  // larger than the destination
    CDib empty;
    EXPECT_FALSE(ResampleDib(*src, 0, 0, 4, 4, empty, 1, 1));
}
