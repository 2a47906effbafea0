#include <gtest/gtest.h>

#include <cstring>

#include "album/ansi_text.h"
#include "album/picture_preparation.h"

namespace {

// Every pixel distinct: blue = column, green = image row from the top, red = 9.
void FillIndexed(CDib& dib) {
    for (int y = 0; y < dib.Height(); ++y) {
        for (int x = 0; x < dib.Width(); ++x) {
            std::uint8_t* p = dib.Row(dib.Height() - 1 - y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = 9;
        }
    }
}

std::uint32_t At(const CDib& dib, int x, int imageRow) {
    return dib.ReadPixel(x, dib.Height() - 1 - imageRow);
}

CAlbumImage Entry(int limitW, int limitH, bool crop) {
    CAlbumImage e;
    e.m_sizeLimitWidth = static_cast<std::int16_t>(limitW);
    e.m_sizeLimitHeight = static_cast<std::int16_t>(limitH);
    e.m_crop = crop ? 1 : 0;
    return e;
}

}  // namespace

TEST(PreparePicture, CutsTheCropWindowAtTheOffsets) {
    CDib loaded;
    ASSERT_TRUE(loaded.Create(200, 150, 24));
    FillIndexed(loaded);
    CAlbumImage entry = Entry(200, 200, true);  // target 200 x 150: window 160 x 150
    entry.m_horizontalOffset = 30;
    entry.m_verticalOffset = 0;
    entry.m_colorDepth = 16;
    entry.m_dither = 1;
    const auto picture = PreparePicture(entry, loaded);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->m_bitmap.Width(), 160);
    EXPECT_EQ(picture->m_bitmap.Height(), 150);
    EXPECT_EQ(picture->m_colorDepth, 16);
    EXPECT_EQ(picture->m_dither, 1);
    EXPECT_EQ(picture->m_imageSize, CPreparedPicture::ImageSize(16, 160, 150));
    EXPECT_EQ(At(picture->m_bitmap, 0, 0), At(loaded, 30, 0));
    EXPECT_EQ(At(picture->m_bitmap, 159, 149), At(loaded, 189, 149));
}

TEST(PreparePicture, ClampsOffsetsPastTheLastWindowPosition) {
    CDib loaded;
    ASSERT_TRUE(loaded.Create(200, 150, 24));
    FillIndexed(loaded);
    CAlbumImage entry = Entry(200, 200, true);
    entry.m_horizontalOffset = 500;  // the largest position is 40
    entry.m_verticalOffset = 77;     // the picture is only 150 high: 0
    const auto picture = PreparePicture(entry, loaded);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(At(picture->m_bitmap, 0, 0), At(loaded, 40, 0));
    EXPECT_EQ(At(picture->m_bitmap, 159, 0), At(loaded, 199, 0));
    entry.m_horizontalOffset = -8;
    const auto left = PreparePicture(entry, loaded);
    EXPECT_EQ(At(left->m_bitmap, 0, 0), At(loaded, 0, 0));
}

TEST(PreparePicture, FullScreenCropCoversTheScreenAndNoCropKeepsTheFittedPicture) {
    CDib loaded;
    ASSERT_TRUE(loaded.Create(640, 480, 24));
    FillIndexed(loaded);
    const auto cropped = PreparePicture(Entry(160, 160, true), loaded);
    ASSERT_NE(cropped, nullptr);
    EXPECT_EQ(cropped->m_bitmap.Width(), 160);
    EXPECT_EQ(cropped->m_bitmap.Height(), 160);
    const auto whole = PreparePicture(Entry(160, 160, false), loaded);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->m_bitmap.Width(), 160);
    EXPECT_EQ(whole->m_bitmap.Height(), 120);
    const auto vga = PreparePicture(Entry(640, 480, true), loaded);
    EXPECT_EQ(vga->m_bitmap.Width(), 160);  // Crop still cuts a window of at most 160
}

TEST(PreparePicture, AppliesBrightnessAndContrast) {
    CDib loaded;
    ASSERT_TRUE(loaded.Create(160, 160, 24));
    for (int y = 0; y < 160; ++y) {
        std::memset(loaded.Row(y), 100, 480);
    }
    CAlbumImage entry = Entry(160, 160, true);
    entry.m_contrast = 200;  // 100 -> 85
    auto picture = PreparePicture(entry, loaded);
    EXPECT_EQ(picture->m_bitmap.ReadPixel(3, 3), 0x555555u);
    entry.m_contrast = 127;
    entry.m_brightness = 0;  // offset -127: 100 -> 0
    picture = PreparePicture(entry, loaded);
    EXPECT_EQ(picture->m_bitmap.ReadPixel(3, 3), 0u);
}

TEST(PreparePicture, RefusesDepthsAndLimitsTheHandheldDoesNotTake) {
    CDib loaded;
    ASSERT_TRUE(loaded.Create(40, 30, 24));
    CAlbumImage entry;
    entry.m_colorDepth = 2;
    EXPECT_EQ(PreparePicture(entry, loaded), nullptr);
    entry.m_colorDepth = 16;
    entry.m_sizeLimitWidth = 0;
    EXPECT_EQ(PreparePicture(entry, loaded), nullptr);
}

TEST(PreparePicture, CentresTheCropWindowInTheFittedPicture) {
    CAlbumImage entry;  // 160 x 160 with Crop: 640 x 480 becomes 213 x 160
    CenterCropWindow(entry, 640, 480);
    EXPECT_EQ(entry.m_horizontalOffset, 26);
    EXPECT_EQ(entry.m_verticalOffset, 0);
    entry.m_crop = 0;  // 160 x 120: the whole picture is the window
    CenterCropWindow(entry, 640, 480);
    EXPECT_EQ(entry.m_horizontalOffset, 0);
    EXPECT_EQ(entry.m_verticalOffset, 0);
}

TEST(PreparePicture, FormsTheTextInTheHandheldsCodePageWithATitleThatCannotSplitIt) {
    CDib loaded;
    ASSERT_TRUE(loaded.Create(8, 8, 24));
    CAlbumImage entry;
    entry.m_title = "Caf\xC3\xA9";  // Café
    entry.m_note = "";
    EXPECT_EQ(PreparePicture(entry, loaded)->m_text, "Caf\xE9\n");
    entry.m_title = "";
    entry.m_note = "note";
    EXPECT_EQ(PreparePicture(entry, loaded)->m_text, "\nnote");
    EXPECT_EQ(HandheldText("", ""), "\n");
    // A line break in a title would move text into the note, a zero byte would end it.
    EXPECT_EQ(HandheldText("Line1\nLine2\r\t\x7F", std::string("a\nb\0c", 5)), "Line1 Line2   \na\nbc");
    EXPECT_EQ(HandheldText(std::string("x\0y", 3), ""), "xy\n");
}

TEST(AnsiText, MapsToWindows1252WithQuestionMarksForTheRest) {
    EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC 5"), "\x80 5");          // euro sign
    EXPECT_EQ(Utf8ToCp1252("\xE2\x80\x9Cq\xE2\x80\x9D"), "\x93q\x94");  // curly quotes
    EXPECT_EQ(Utf8ToCp1252("\xE6\x97\xA5"), "?");                 // no such character
    EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x98\x80!"), "?!");           // outside the BMP
    EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a?");                       // cut short
    EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");                    // overlong
    EXPECT_EQ(Utf8ToCp1252("\xC2\x81"), "?");                     // a control the page lacks
    EXPECT_EQ(Cp1252ToUtf8("Caf\xE9 \x80"), "Caf\xC3\xA9 \xE2\x82\xAC");
    for (int b = 0x20; b < 0x100; ++b) {
        const std::string one(1, static_cast<char>(b));
        if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D) {
            ASSERT_EQ(Utf8ToCp1252(Cp1252ToUtf8(one)), one) << b;
        }
    }
}

TEST(IconSquare, CoversThreeQuartersOfTheShorterSideInTheCentre) {
    const CIconSquare tall = IconSquare(100, 400);
    EXPECT_EQ(tall.side, 75);
    EXPECT_EQ(tall.x, 12);
    EXPECT_EQ(tall.y, 162);
    const CIconSquare tiny = IconSquare(3, 3);
    EXPECT_EQ(tiny.side, 2);
    EXPECT_EQ(tiny.x, 0);
    EXPECT_EQ(tiny.y, 0);
    const CIconSquare photo = IconSquare(640, 480);
    EXPECT_EQ(photo.side, 360);
    EXPECT_EQ(photo.x, 140);
    EXPECT_EQ(photo.y, 60);
    // Three quarters of a large side overflows 16 bits on the way: not here.
    const CIconSquare huge = IconSquare(32767, 30000);
    EXPECT_EQ(huge.side, 22500);
    EXPECT_EQ(huge.x, 5133);
    EXPECT_EQ(huge.y, 3750);
}

TEST(IconSquare, TheIconIsTheResampledSquare) {
    CDib loaded;
    ASSERT_TRUE(loaded.Create(100, 40, 24));
    FillIndexed(loaded);
    CDib icon;
    ASSERT_TRUE(icon.Create(24, 24, 24));
    ASSERT_TRUE(MakeIconFromPicture(loaded, icon));
    CDib expected;
    ASSERT_TRUE(expected.Create(24, 24, 24));
    ASSERT_TRUE(ResampleDib(loaded, 35, 5, 30, 30, expected, 24, 24));
    EXPECT_EQ(0, std::memcmp(icon.Pixels(), expected.Pixels(), icon.PixelBytes()));

    CDib wrongSize;
    ASSERT_TRUE(wrongSize.Create(32, 32, 24));
    EXPECT_FALSE(MakeIconFromPicture(loaded, wrongSize));
}
