#include <gtest/gtest.h>

#include <random>

#include "album/album_database.h"
#include "album/album_file_reader.h"

namespace {

std::vector<std::uint8_t> SmallAlbum() {
    CDib source;
    EXPECT_TRUE(source.Create(40, 30, 24));
    CDib icon;
    EXPECT_TRUE(icon.Create(24, 24, 24));
    CPreparedAlbum album;
    album.m_icon = &icon;
    album.m_text = "T\nN";
    for (const std::uint8_t depth : {4, 16}) {
        auto picture = std::make_unique<CPreparedPicture>();
        picture->m_colorDepth = depth;
        picture->m_text = "p\n";
        EXPECT_TRUE(picture->SetImage(source));
        album.AddPicture(std::move(picture));
    }
    CPalmDatabase db;
    EXPECT_TRUE(BuildAlbumDatabase(album, db));
    std::vector<std::uint8_t> bytes(db.GetFileSize());
    db.BuildImage(bytes.data());
    return bytes;
}

}  // namespace

TEST(AlbumFileReader, RefusesForeignFilesAndAPalmBitmapWithoutPixels) {
    std::string error;
    CAlbumFile album;
    EXPECT_FALSE(ReadAlbumFile({}, album, error));
    EXPECT_FALSE(error.empty());
    auto bytes = SmallAlbum();
    bytes[60] = 'X';  // another type
    EXPECT_FALSE(ReadAlbumFile(bytes, album, error));
    EXPECT_NE(error.find("not an album"), std::string::npos);
    std::vector<std::uint8_t> text(200, 'a');  // a text file: no name terminator
    EXPECT_FALSE(ReadAlbumFile(text, album, error));

    bytes = SmallAlbum();
    const std::size_t icon = LoadBigEndian32(&bytes[78]) + 4240;  // record 0's icon area
    bytes[icon] = 0;
    bytes[icon + 1] = 0;  // width 0
    EXPECT_FALSE(ReadAlbumFile(bytes, album, error));
    EXPECT_NE(error.find("no pixels"), std::string::npos) << error;
}

TEST(AlbumFileReader, SurvivesEveryTruncationAndRandomDamage) {
    const auto good = SmallAlbum();
    CAlbumFile album;
    std::string error;
    for (std::size_t length = 0; length < good.size(); length += 7) {
        const std::vector<std::uint8_t> cut(good.begin(), good.begin() + length);
        ASSERT_FALSE(ReadAlbumFile(cut, album, error)) << length;
    }
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        auto damaged = good;
        for (int k = 0; k < 4; ++k) {
            // Damage the parts that steer reading: headers, record list, index, bitmap headers.
            const std::size_t at = random() % 2 ? random() % 200 : random() % damaged.size();
            damaged[at] = static_cast<std::uint8_t>(random());
        }
        if (ReadAlbumFile(damaged, album, error)) {
            for (const auto& picture : album.pictures) {
                CRgbImage image;
                (void)DecodeStoredImage(picture.image, image, error);
            }
        }
    }
}
