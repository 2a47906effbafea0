#include <gtest/gtest.h>

#include "album/album.h"
#include "album/album_image.h"
#include "album/prepared_album.h"

TEST(FitToSizeLimit, ShrinksIntoTheLimitCoversTheScreenWithCropAndKeepsOnePixel) {
    const struct {
        int w, h, limitW, limitH;
        bool crop;
        int fittedW, fittedH;
    } cases[] = {
        {640, 480, 160, 160, false, 160, 120},
        {640, 480, 160, 160, true, 213, 160},
        {480, 640, 160, 160, true, 160, 213},
        {100, 50, 160, 160, true, 320, 160},
        {100, 50, 320, 240, true, 100, 50},
        {2000, 1000, 320, 240, false, 320, 160},
        {160, 120, 160, 160, true, 213, 160},
        {160, 120, 160, 160, false, 160, 120},
        // Crop covers the screen only at the full-screen limit.
        {100, 50, 200, 200, true, 100, 50},
        {2000, 1500, 640, 480, true, 640, 480},
        // Truncated toward zero: 333 x 0.16 = 53.28.
        {1000, 333, 160, 160, false, 160, 53},
        {333, 1000, 160, 160, false, 53, 160},
        // A side never vanishes.
        {2000, 5, 160, 160, false, 160, 1},
        {1, 500, 160, 160, true, 160, 25600},
        {1, 161, 160, 160, false, 1, 160},
        {5, 2000, 1280, 1024, false, 2, 1024},
    };
    for (const auto& c : cases) {
        CAlbumImage entry;
        entry.m_sizeLimitWidth = static_cast<std::int16_t>(c.limitW);
        entry.m_sizeLimitHeight = static_cast<std::int16_t>(c.limitH);
        entry.m_crop = c.crop ? 1 : 0;
        auto w = static_cast<std::int16_t>(c.w);
        auto h = static_cast<std::int16_t>(c.h);
        entry.FitToSizeLimit(w, h);
        EXPECT_EQ(w, c.fittedW) << c.w << "x" << c.h << " at " << c.limitW << "x" << c.limitH;
        EXPECT_EQ(h, c.fittedH) << c.w << "x" << c.h << " at " << c.limitW << "x" << c.limitH;
    }
}

TEST(Album, KeepsOrderClosesGapsAndHoldsAThousandPicturesAtMost) {
    CAlbum album;
    for (const char* name : {"a", "b", "c"}) {
        album.Append(std::make_unique<CAlbumImage>())->m_title = name;
    }
    EXPECT_TRUE(album.RemoveAt(1));
    EXPECT_EQ(album.At(0)->m_title, "a");
    EXPECT_EQ(album.At(1)->m_title, "c");
    EXPECT_EQ(album.At(2), nullptr);
    EXPECT_FALSE(album.RemoveAt(2));

    while (album.Count() < 1000) {
        ASSERT_NE(album.Append(std::make_unique<CAlbumImage>()), nullptr);
    }
    EXPECT_EQ(album.Append(std::make_unique<CAlbumImage>()), nullptr);
    EXPECT_EQ(album.Count(), 1000u);

    album.SetTitle("Trip");
    album.SetNote("Day 1");
    album.SetIconSource("/a.jpg");
    album.Clear();
    EXPECT_TRUE(album.IsEmpty());
    EXPECT_EQ(album.Title(), "untitled");
    EXPECT_EQ(album.Note(), "");
    EXPECT_EQ(album.IconSource(), "");
}

TEST(AlbumRules, JpegGifAndBitmapExtensionsInAnyCaseAreTakenAndTitlesLeaveThemOut) {
    for (const char* path : {"/a/b.jpg", "/a/b.JPG", "/a/b.Jpeg", "/a/b.bmp", "/a/b.GIF"}) {
        EXPECT_TRUE(HasPictureExtension(path)) << path;
    }
    for (const char* path : {"/a/b.jpe", "/a/b.tif", "/a/b", "/a.jpg/b", "/a/b.jpg.bak", "/a/b."}) {
        EXPECT_FALSE(HasPictureExtension(path)) << path;
    }
    EXPECT_EQ(PictureTitle("/home/user/Beach.Day.JPG"), "Beach.Day");
    EXPECT_EQ(PictureTitle("/home/user.d/photo"), "photo");
    // A Latin-1 name keeps its letters, whatever the folders above it hold; UTF-8 stays as it is.
    EXPECT_EQ(PictureTitle("/d\xe9j\xe0/caf\xe9 \x80.jpg"), "caf\u00e9 \u20ac");
    EXPECT_EQ(PictureTitle("/d\xe9j\xe0/caf\u00e9.jpg"), "caf\u00e9");
    // No longer than a title may be, counted in characters, whatever the name's bytes.
    const std::string stem = std::string(250, 'a') + "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9";
    EXPECT_EQ(PictureTitle("/p/" + stem + ".jpg"),
              std::string(250, 'a') + "\u00e9\u00e9\u00e9\u00e9\u00e9");
    EXPECT_EQ(PictureTitle("/p/" + std::string(300, '\xe9') + ".jpg").size(), 255u * 2);
}

TEST(PreparedPicture, SetImageCopiesTheSourceAndSetsTheImageSize) {
    CDib source;
    ASSERT_TRUE(source.Create(160, 120, 32));
    source.Row(119)[4] = 0x42;  // column 1 of the top row, blue
    const std::pair<int, std::uint32_t> expected[] = {{4, 9718}, {8, 20278}, {16, 39478}};
    for (const auto& [depth, size] : expected) {
        CPreparedPicture picture;
        picture.m_colorDepth = static_cast<std::uint8_t>(depth);
        ASSERT_TRUE(picture.SetImage(source));
        EXPECT_EQ(picture.m_imageSize, size) << depth;
        EXPECT_EQ(picture.m_bitmap.BitsPerPixel(), 24);
        EXPECT_EQ(picture.m_bitmap.ReadPixel(1, 119), 0x42u);
        EXPECT_EQ(picture.m_bitmap.ReadPixel(0, 119), 0u);
    }
    CDib empty;
    CPreparedPicture picture;
    EXPECT_FALSE(picture.SetImage(empty));
}
