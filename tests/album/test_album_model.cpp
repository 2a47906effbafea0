#include <gtest/gtest.h>

#include <vector>

#include "album/album.h"
#include "album/album_image.h"
#include "album/prepared_album.h"

namespace {

std::pair<int, int> Fit(int w, int h, int limitW, int limitH, bool crop) {
    CAlbumImage entry;
    entry.m_sizeLimitWidth = static_cast<std::int16_t>(limitW);
    entry.m_sizeLimitHeight = static_cast<std::int16_t>(limitH);
    entry.m_crop = crop ? 1 : 0;
    auto width = static_cast<std::int16_t>(w);
    auto height = static_cast<std::int16_t>(h);
    entry.FitToSizeLimit(width, height);
    return {width, height};
}

using Size = std::pair<int, int>;

}  // namespace

TEST(AlbumImage, ANewEntryHasTheDefaultSettings) {
    CAlbumImage entry;
    EXPECT_EQ(entry.m_colorDepth, 8);
    EXPECT_EQ(entry.m_brightness, 127);
    EXPECT_EQ(entry.m_contrast, 127);
    EXPECT_EQ(entry.m_dither, 0);
    EXPECT_EQ(entry.m_crop, 1);
    EXPECT_EQ(entry.m_sizeLimitWidth, 160);
    EXPECT_EQ(entry.m_sizeLimitHeight, 160);
    EXPECT_EQ(entry.m_horizontalOffset, 0);
    EXPECT_EQ(entry.m_verticalOffset, 0);
    EXPECT_TRUE(entry.m_sourcePath.empty());
    EXPECT_TRUE(entry.m_title.empty());
    EXPECT_EQ(entry.Settings(), CImageSettings{});
}

TEST(AlbumImage, SettingsTravelAsOneValueAndLeaveTextsAlone) {
    CAlbumImage entry;
    entry.m_title = "beach";
    CImageSettings s;
    s.horizontalOffset = 12;
    s.verticalOffset = 34;
    s.colorDepth = 16;
    s.brightness = 200;
    s.contrast = 5;
    s.dither = 1;
    s.crop = 0;
    s.sizeLimitWidth = 640;
    s.sizeLimitHeight = 480;
    entry.SetSettings(s);
    EXPECT_EQ(entry.Settings(), s);
    EXPECT_EQ(entry.m_title, "beach");
}

TEST(FitToSizeLimit, ShrinksIntoTheLimitAndCoversTheScreenWithCrop) {
    EXPECT_EQ(Fit(640, 480, 160, 160, false), Size(160, 120));
    EXPECT_EQ(Fit(640, 480, 160, 160, true), Size(213, 160));
    EXPECT_EQ(Fit(480, 640, 160, 160, true), Size(160, 213));
    EXPECT_EQ(Fit(100, 50, 160, 160, true), Size(320, 160));
    EXPECT_EQ(Fit(100, 50, 320, 240, true), Size(100, 50));
    EXPECT_EQ(Fit(2000, 1000, 320, 240, false), Size(320, 160));
    EXPECT_EQ(Fit(160, 120, 160, 160, true), Size(213, 160));
    EXPECT_EQ(Fit(160, 120, 160, 160, false), Size(160, 120));
}

TEST(FitToSizeLimit, CropOnlyCoversAtTheFullScreenLimit) {
    EXPECT_EQ(Fit(100, 50, 200, 200, true), Size(100, 50));
    EXPECT_EQ(Fit(2000, 1500, 640, 480, true), Size(640, 480));
}

TEST(FitToSizeLimit, TruncatesTowardZero) {
    // 1000 x 333 at 160: 333 x 0.16 = 53.28 -> 53
    EXPECT_EQ(Fit(1000, 333, 160, 160, false), Size(160, 53));
    // 333 x 1000: width 333 x 0.16 = 53.28 -> 53
    EXPECT_EQ(Fit(333, 1000, 160, 160, false), Size(53, 160));
}

TEST(FitToSizeLimit, ASideNeverDropsBelowOnePixel) {
    EXPECT_EQ(Fit(2000, 5, 160, 160, false), Size(160, 1));
    EXPECT_EQ(Fit(1, 500, 160, 160, true), Size(160, 25600));
    EXPECT_EQ(Fit(1, 161, 160, 160, false), Size(1, 160));
    EXPECT_EQ(Fit(1, 161, 160, 160, true), Size(160, 25600));
    EXPECT_EQ(Fit(5, 2000, 1280, 1024, false), Size(2, 1024));
}

TEST(Album, KeepsOrderAndClosesGapsOnRemoval) {
    CAlbum album;
    for (const char* name : {"a", "b", "c"}) {
        auto entry = std::make_unique<CAlbumImage>();
        entry->m_title = name;
        album.Append(std::move(entry));
    }
    ASSERT_EQ(album.Count(), 3u);
    EXPECT_TRUE(album.RemoveAt(1));
    EXPECT_EQ(album.At(0)->m_title, "a");
    EXPECT_EQ(album.At(1)->m_title, "c");
    EXPECT_EQ(album.At(2), nullptr);
    EXPECT_FALSE(album.RemoveAt(2));
    album.Clear();
    EXPECT_TRUE(album.IsEmpty());
}

TEST(PreparedPicture, ImageSizeFollowsStrideColourTableAndHeader) {
    CDib source;
    ASSERT_TRUE(source.Create(160, 120, 24));
    const std::pair<int, std::uint32_t> expected[] = {{4, 9718}, {8, 20278}, {16, 39478}};
    for (const auto& [depth, size] : expected) {
        CPreparedPicture picture;
        picture.m_colorDepth = static_cast<std::uint8_t>(depth);
        ASSERT_TRUE(picture.SetImage(source));
        EXPECT_EQ(picture.m_imageSize, size) << depth;
        EXPECT_EQ(picture.m_bitmap.Width(), 160);
        EXPECT_EQ(picture.m_bitmap.BitsPerPixel(), 24);
    }
    EXPECT_EQ(CPreparedPicture::ImageSize(8, 160, 160), 26678u);
    EXPECT_EQ(CPreparedPicture::ImageSize(16, 160, 160), 52278u);
    EXPECT_EQ(CPreparedPicture::ImageSize(4, 320, 240), 38518u);
}

TEST(PreparedPicture, SetImageCopiesTheSourcePixels) {
    CDib source;
    ASSERT_TRUE(source.Create(3, 2, 32));
    source.Row(1)[4] = 0x42;  // column 1 of the top row, blue
    CPreparedPicture picture;
    picture.m_colorDepth = 8;
    ASSERT_TRUE(picture.SetImage(source));
    EXPECT_EQ(picture.m_bitmap.ReadPixel(1, 1), 0x42u);
    EXPECT_EQ(picture.m_bitmap.ReadPixel(0, 1), 0u);
}

TEST(PreparedPicture, SetImageFailsForAnEmptySource) {
    CDib empty;
    CPreparedPicture picture;
    picture.m_colorDepth = 8;
    EXPECT_FALSE(picture.SetImage(empty));
}

namespace {
class CountedPicture : public CPreparedPicture {
public:
    CountedPicture(int id, std::vector<int>& log) : id_(id), log_(log) {}
    ~CountedPicture() override { log_.push_back(id_); }

private:
    int id_;
    std::vector<int>& log_;
};
}  // namespace

TEST(PreparedAlbum, OwnsItsPicturesAndDeletesThemFirstToLast) {
    std::vector<int> log;
    {
        CPreparedAlbum album;
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(album.AddPicture(std::make_unique<CountedPicture>(i, log)));
        }
        EXPECT_EQ(album.PictureCount(), 3u);
        EXPECT_FALSE(album.AddPicture(nullptr));
        EXPECT_TRUE(log.empty());
    }
    EXPECT_EQ(log, (std::vector<int>{0, 1, 2}));
}
