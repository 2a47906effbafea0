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

std::size_t RecordOffset(const std::vector<std::uint8_t>& bytes, std::size_t record) {
    return LoadBigEndian32(&bytes[78 + 8 * record]);
}

void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value, bool bigEndian) {
    bytes[at] = static_cast<std::uint8_t>(bigEndian ? value >> 8 : value);
    bytes[at + 1] = static_cast<std::uint8_t>(bigEndian ? value : value >> 8);
}

}  // namespace

TEST(AlbumFileReader, RefusesForeignFiles) {
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
}

// Each of these would let a small file make the reader hold, or the extract decode, far more
// than the file's size, or write two files of one name.
TEST(AlbumFileReader, RefusesStructuresThatMultiplyWhatItHolds) {
    const auto good = SmallAlbum();
    const std::size_t r0 = RecordOffset(good, 0);
    const std::size_t icon = r0 + 4240;                 // 2-bit member, then the 4-bit one at +160
    const std::size_t picture = RecordOffset(good, 2);  // picture 1's bitmap-file image
    const struct {
        std::size_t at;
        std::uint16_t value;
        bool bigEndian;
        const char* mention;
    } cases[] = {
        {r0 + 20, 1, true, "picture 2: its records are those of picture 1"},  // entry repeated
        {r0 + 18, 3, true, "picture 2: its records are those of picture 1"},  // entries overlap
        {r0 + 16, 0, true, "picture 1: its records are not in the file"},     // record 0
        {80, 16, true, "record 0 starts outside the file"},  // inside the database header
        {icon, 0, true, "no pixels"},
        {icon + 10, 1, true, "points into its own rows"},
        {icon + 160 + 8, 0x0201, true, "depths do not increase"},  // a second 2-bit member
        {picture + 18, 1281, false, "picture 1: the picture data has an unusable bitmap header"},
        {picture + 28, 2, false, "unusable bitmap header"},  // a depth no album stores
    };
    for (const auto& c : cases) {
        auto bytes = good;
        Put16(bytes, c.at, c.value, c.bigEndian);
        CAlbumFile album;
        std::string error;
        EXPECT_FALSE(ReadAlbumFile(bytes, album, error)) << c.mention;
        EXPECT_NE(error.find(c.mention), std::string::npos) << c.mention << ": " << error;
    }
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
            // An album that reads can be shown whole.
            for (const auto& picture : album.pictures) {
                CRgbImage image;
                EXPECT_TRUE(DecodeStoredImage(picture.image, image, error))
                    << round << ": " << error;
            }
        }
    }
}
