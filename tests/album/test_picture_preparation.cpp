#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "album/ansi_text.h"
#include "album/picture_preparation.h"
#include "support/core_pictures.h"

namespace {

CAlbumImage Entry(int limitW, int limitH, bool crop) {
    CAlbumImage e;
    e.m_sizeLimitWidth = static_cast<std::int16_t>(limitW);
    e.m_sizeLimitHeight = static_cast<std::int16_t>(limitH);
    e.m_crop = crop ? 1 : 0;
    return e;
}

}  // namespace

TEST(PreparePicture, CutsTheCropWindowAtTheOffsetsStoppingAtTheLastPosition) {
    const auto loaded = Indexed(200, 150, 9);
    CAlbumImage entry = Entry(200, 200, true);  // target 200 x 150: window 160 x 150
    entry.m_colorDepth = 16;
    entry.m_dither = 1;
    // {horizontal offset, vertical offset, first column}; the picture is only 150 high.
    const int offsets[][3] = {{30, 0, 30}, {500, 77, 40}, {-8, 0, 0}};
    for (const auto& [h, v, column] : offsets) {
        entry.m_horizontalOffset = h;
        entry.m_verticalOffset = v;
        const auto picture = PreparePicture(entry, *loaded);
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->m_bitmap.Width(), 160);
        EXPECT_EQ(picture->m_bitmap.Height(), 150);
        EXPECT_EQ(PixelAt(picture->m_bitmap, 0, 0), PixelAt(*loaded, column, 0)) << h;
        EXPECT_EQ(PixelAt(picture->m_bitmap, 159, 149), PixelAt(*loaded, column + 159, 149)) << h;
        EXPECT_EQ(picture->m_colorDepth, 16);
        EXPECT_EQ(picture->m_dither, 1);
        EXPECT_EQ(picture->m_imageSize, 160u * 150 * 2 + 1024 + 54);
    }
}

TEST(PreparePicture, FullScreenCropCoversTheScreenAndNoCropKeepsTheFittedPicture) {
    const auto loaded = Indexed(640, 480);
    // {limit, crop, width, height}: Crop still cuts a window of at most 160 at larger limits.
    const int cases[][5] = {
        {160, 160, 1, 160, 160}, {160, 160, 0, 160, 120}, {640, 480, 1, 160, 160}};
    for (const auto& [limitW, limitH, crop, width, height] : cases) {
        const auto picture = PreparePicture(Entry(limitW, limitH, crop != 0), *loaded);
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->m_bitmap.Width(), width) << limitW << " " << crop;
        EXPECT_EQ(picture->m_bitmap.Height(), height) << limitW << " " << crop;
    }
}

TEST(PreparePicture, AppliesBrightnessAndContrastAndRefusesWhatTheHandheldDoesNotTake) {
    auto loaded = NewDib(160, 160, 24);
    std::fill(loaded->Pixels(), loaded->Pixels() + loaded->PixelBytes(), 100);
    CAlbumImage entry = Entry(160, 160, true);
    entry.m_contrast = 200;  // 100 -> 85
    EXPECT_EQ(PreparePicture(entry, *loaded)->m_bitmap.ReadPixel(3, 3), 0x555555u);
    entry.m_contrast = 127;
    entry.m_brightness = 0;  // offset -127: 100 -> 0
    EXPECT_EQ(PreparePicture(entry, *loaded)->m_bitmap.ReadPixel(3, 3), 0u);
    entry.m_colorDepth = 2;
    EXPECT_EQ(PreparePicture(entry, *loaded), nullptr);
    entry.m_colorDepth = 16;
    entry.m_sizeLimitWidth = 0;
    EXPECT_EQ(PreparePicture(entry, *loaded), nullptr);
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
    const auto loaded = NewDib(8, 8, 24);
    CAlbumImage entry;
    entry.m_title = "Caf\xC3\xA9";  // Café
    EXPECT_EQ(PreparePicture(entry, *loaded)->m_text, "Caf\xE9\n");
    entry.m_title = "";
    entry.m_note = "note";
    EXPECT_EQ(PreparePicture(entry, *loaded)->m_text, "\nnote");
    EXPECT_EQ(HandheldText("", ""), "\n");
    // A line break in a title would move text into the note, a zero byte would end it.
    EXPECT_EQ(HandheldText("Line1\nLine2\r\t\x7F", std::string("a\nb\0c", 5)),
              "Line1 Line2   \na\nbc");
    EXPECT_EQ(HandheldText(std::string("x\0y", 3), ""), "xy\n");
}

TEST(AnsiText, MapsToWindows1252WithQuestionMarksForTheRest) {
    EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC 5"), "\x80 5");                // euro sign
    EXPECT_EQ(Utf8ToCp1252("\xE2\x80\x9Cq\xE2\x80\x9D"), "\x93q\x94");  // curly quotes
    EXPECT_EQ(Utf8ToCp1252("\xE6\x97\xA5"), "?");                       // no such character
    EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x98\x80!"), "?!");                 // outside the BMP
    EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a?");                             // cut short
    EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");                          // overlong
    EXPECT_EQ(Utf8ToCp1252("\xC2\x81"), "?");                           // a control the page lacks
    EXPECT_EQ(Cp1252ToUtf8("Caf\xE9 \x80"), "Caf\xC3\xA9 \xE2\x82\xAC");
    for (int b = 0x20; b < 0x100; ++b) {
        const std::string one(1, static_cast<char>(b));
        if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D) {
            ASSERT_EQ(Utf8ToCp1252(Cp1252ToUtf8(one)), one) << b;
        }
    }
}

TEST(IconSquare, CoversThreeQuartersOfTheShorterSideInTheCentreAndGivesTheIcon) {
    // {width, height, side, x, y}; three quarters of a large side would overflow 16 bits.
    const int cases[][5] = {{100, 400, 75, 12, 162},
                            {3, 3, 2, 0, 0},
                            {640, 480, 360, 140, 60},
                            {32767, 30000, 22500, 5133, 3750}};
    for (const auto& [width, height, side, x, y] : cases) {
        const CIconSquare square = IconSquare(width, height);
        EXPECT_EQ(square.side, side) << width;
        EXPECT_EQ(square.x, x) << width;
        EXPECT_EQ(square.y, y) << width;
    }
    const auto loaded = Indexed(100, 40);
    auto icon = NewDib(24, 24, 24);
    ASSERT_TRUE(MakeIconFromPicture(*loaded, *icon));
    auto expected = NewDib(24, 24, 24);
    ASSERT_TRUE(ResampleDib(*loaded, 35, 5, 30, 30, *expected, 24, 24));
    EXPECT_EQ(PixelBytes(*icon), PixelBytes(*expected));
    EXPECT_FALSE(MakeIconFromPicture(*loaded, *NewDib(32, 32, 24)));
}
