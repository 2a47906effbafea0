#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "album/album_database.h"
#include "album/album_file_reader.h"
#include "album/clock.h"
#include "convert/conversion.h"
#include "support/temp_dir.h"

namespace {

constexpr std::int64_t kNewYear2001 = 978307200;

// A prepared picture of a smooth gradient at the given size and depth.
std::unique_ptr<CPreparedPicture> Picture(int w, int h, std::uint8_t depth, std::string text = "\n",
                                          std::uint8_t dither = 0) {
    CDib source;
    EXPECT_TRUE(source.Create(w, h, 24));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = source.Row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(x * 255 / w);
            p[1] = static_cast<std::uint8_t>(y * 255 / h);
            p[2] = static_cast<std::uint8_t>((x + y) % 256);
        }
    }
    auto picture = std::make_unique<CPreparedPicture>();
    picture->m_colorDepth = depth;
    picture->m_dither = dither;
    picture->m_text = std::move(text);
    EXPECT_TRUE(picture->SetImage(source));
    return picture;
}

bool Filled(const std::uint8_t* record, int from, int to, std::uint8_t value = 0) {
    return std::all_of(record + from, record + to, [=](std::uint8_t b) { return b == value; });
}

std::string Text(const std::uint8_t* record, int at, int n) {
    return {reinterpret_cast<const char*>(record + at), static_cast<std::size_t>(n)};
}

class AlbumDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetClockOverride(kNewYear2001);
        ASSERT_TRUE(icon_.Create(24, 24, 24));
        album_.m_icon = &icon_;
        album_.m_text = "\n";
    }
    void TearDown() override { SetClockOverride(std::nullopt); }

    CPalmDatabase& Build() {
        EXPECT_TRUE(BuildAlbumDatabase(album_, db_));
        return db_;
    }
    const std::uint8_t* Record(std::size_t i) const { return db_.RecordData(i); }

    CDib icon_;
    CPreparedAlbum album_;
    CPalmDatabase db_;
};

}  // namespace

TEST_F(AlbumDatabaseTest, AnAlbumWithoutPicturesIsOneHeaderRecordOfIconAndText) {
    album_.m_text = "Trip\nDay 1";
    CPalmDatabase& db = Build();
    ASSERT_EQ(db.RecordCount(), 1u);
    ASSERT_EQ(db.RecordSize(0), 8255u);
    const std::uint8_t* r = Record(0);
    EXPECT_EQ(LoadBigEndian32(r), 0x01000000u);
    EXPECT_EQ(LoadBigEndian32(r + 4), static_cast<std::uint32_t>(kNewYear2001));
    EXPECT_EQ(LoadBigEndian32(r + 8), 23545u);  // the generator's first value for the clock
    EXPECT_TRUE(Filled(r, 12, 4240));           // no pictures in count and index
    EXPECT_EQ(LoadBigEndian16(r + 4240), 24);   // the icon's 2-bit member
    EXPECT_TRUE(Filled(r, 4240 + 1056, 8240));
    EXPECT_EQ(Text(r, 8240, 15), "Trip\nDay 1" + std::string(5, '\0'));
    std::vector<std::uint8_t> image(db.GetFileSize());
    db.BuildImage(image.data());
    EXPECT_STREQ(reinterpret_cast<const char*>(image.data()), "tvl_album_978307200");
    EXPECT_EQ(std::string(image.begin() + 60, image.begin() + 68), "TVLITVL2");
}

TEST_F(AlbumDatabaseTest, ImageSizeDecidesTheDataRecordsAndTheIndex) {
    album_.AddPicture(Picture(160, 160, 8));   // 26678 bytes: one data record
    album_.AddPicture(Picture(160, 160, 16));  // 52278 bytes: 51200 + 1078
    album_.AddPicture(Picture(320, 240, 4));   // 38518 bytes: one data record
    Build();
    ASSERT_EQ(db_.RecordCount(), 1u + 2 + 3 + 2);
    const std::uint8_t* r = Record(0);
    EXPECT_EQ(LoadBigEndian32(r + 12), 3u);
    // First record and record count of each picture; entries past the last stay zero.
    EXPECT_EQ(std::vector<int>(r + 16, r + 32),
              (std::vector<int>{0, 1, 0, 2, 0, 3, 0, 3, 0, 6, 0, 2, 0, 0, 0, 0}));
    const std::pair<int, std::uint32_t> sizes[] = {{2, 26678}, {4, 51200}, {5, 1078}, {7, 38518}};
    for (const auto& [record, size] : sizes) {
        EXPECT_EQ(db_.RecordSize(record), size) << record;
    }
    EXPECT_EQ(LoadBigEndian32(Record(3)), 0x02000000u);  // the second picture's header
}

TEST_F(AlbumDatabaseTest, PictureHeaderHoldsThumbnailAndText) {
    album_.AddPicture(Picture(200, 100, 4, "\n"));
    album_.AddPicture(Picture(100, 200, 8, "Beach\nSunset"));
    Build();
    ASSERT_EQ(db_.RecordSize(1), 4046u);
    const std::uint8_t* h = Record(1);
    EXPECT_TRUE(Filled(h, 4, 40));
    EXPECT_EQ(LoadBigEndian16(h + 40), 32);
    EXPECT_EQ(LoadBigEndian16(h + 40 + 272 + 10), 0);  // a 4-bit picture's family ends at 4 bits
    EXPECT_TRUE(Filled(h, 40 + 800, 4040));
    EXPECT_EQ(h[4040], '\n');
    ASSERT_EQ(db_.RecordSize(3), 4045u + 12);
    EXPECT_EQ(LoadBigEndian16(Record(3) + 40 + 272 + 10), 132);  // the 8-bit member follows
    EXPECT_EQ(Text(Record(3), 4040, 17), "Beach\nSunset" + std::string(5, '\0'));
}

TEST_F(AlbumDatabaseTest, DataRecordsCarryTheConvertedBitmapFile) {
    for (const std::uint8_t depth : {4, 8, 16}) {
        for (const std::uint8_t dither : {0, 1}) {
            CPreparedAlbum album;
            album.m_icon = &icon_;
            album.AddPicture(Picture(37, 21, depth, "\n", dither));
            CPalmDatabase db;
            ASSERT_TRUE(BuildAlbumDatabase(album, db));
            const std::uint8_t* p = db.RecordData(2);
            const std::uint32_t colors = depth == 4 ? 16 : 256;
            ASSERT_EQ(db.RecordSize(2), CPreparedPicture::ImageSize(depth, 37, 21));
            EXPECT_EQ(Text(p, 0, 2), "BM");
            // file size, reserved, offset of the pixels, header size, width, height
            const std::uint32_t fields[] = {0, 0, 54 + 4 * colors, 40, 37, 21};
            for (int i = 0; i < 6; ++i) {
                EXPECT_EQ(LoadLittleEndian32(p + 2 + 4 * i), fields[i]) << i;
            }
            EXPECT_EQ(LoadLittleEndian16(p + 26), 1);  // planes
            EXPECT_EQ(p[28], depth);
            EXPECT_EQ(LoadLittleEndian32(p + 30), 0u);  // no compression
            EXPECT_EQ(LoadLittleEndian32(p + 46), colors);
            EXPECT_EQ(LoadLittleEndian32(p + 50), colors);

            // The same bytes ConvertDepth gives in the handheld's layout.
            CDib expected;
            ASSERT_TRUE(expected.Create(37, 21, depth, static_cast<std::uint16_t>(colors)));
            ASSERT_TRUE(ConvertDepth(album.Picture(0).m_bitmap, expected, 1, dither));
            EXPECT_EQ(0, std::memcmp(p + 54, expected.Info() + 40, 4 * colors));
            EXPECT_EQ(0, std::memcmp(p + 54 + 4 * colors, expected.Pixels(), expected.PixelBytes()))
                << int(depth) << " " << int(dither);
        }
    }
}

TEST_F(AlbumDatabaseTest, AlbumIconIsTheIconsCentralSquareResampledAndBlackWithoutOne) {
    CDib wide;
    ASSERT_TRUE(wide.Create(48, 24, 24));
    for (int y = 0; y < 24; ++y) {  // left and right quarters white, the central square black
        std::memset(wide.Row(y), 255, 36);
        std::memset(wide.Row(y) + 108, 255, 36);
    }
    album_.m_icon = &wide;
    Build();
    EXPECT_TRUE(Filled(Record(0), 4240 + 16, 4240 + 160, 0xFF));  // all black at 2 bits
    CPalmDatabase db;
    album_.m_icon = nullptr;
    ASSERT_TRUE(BuildAlbumDatabase(album_, db));
    EXPECT_EQ(db.RecordData(0)[4240 + 16], 0xFF);
    EXPECT_EQ(db.RecordData(0)[4240 + 464 + 16], 230);
}

TEST_F(AlbumDatabaseTest, AnIconWhoseRowsRunTopDownGivesTheSameIcon) {
    // The same picture, once made here and once held in top-down rows as a loaded one is.
    CDib created;
    ASSERT_TRUE(created.Create(24, 24, 24));
    auto rows = std::make_shared<std::vector<std::uint8_t>>(24 * 72);
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 72; ++x) {
            const auto v = static_cast<std::uint8_t>(x * 3 + y * 11);
            created.Row(23 - y)[x] = v;  // image row y is storage row 23 - y
            (*rows)[static_cast<std::size_t>(y) * 72 + x] = v;
        }
    }
    CDib adopted;
    ASSERT_TRUE(adopted.AdoptTopDown(24, 24, 24, rows->data(), 72, rows));
    std::vector<std::uint8_t> bytes[2] = {std::vector<std::uint8_t>(1056),
                                          std::vector<std::uint8_t>(1056)};
    for (int i = 0; i < 2; ++i) {
        CPalmBitmapFamily family;
        ASSERT_TRUE(MakeAlbumIcon(i == 0 ? created : adopted, family));
        ASSERT_TRUE(family.CopyTo(bytes[i].data()));
    }
    EXPECT_EQ(bytes[0], bytes[1]);
}

TEST_F(AlbumDatabaseTest, ReadsBackWhatItWrote) {
    album_.m_text = "Trip\nDay 1";
    album_.AddPicture(Picture(160, 160, 16, "a\nb"));
    album_.AddPicture(Picture(50, 70, 4, "c\n"));
    const TempDir dir;
    const std::string path = dir.File("trip.pdb");
    ASSERT_TRUE(WriteAlbumDatabase(path.c_str(), album_));
    CAlbumFile file;
    std::string error;
    ASSERT_TRUE(ReadAlbumFile(ReadAll(path), file, error)) << error;
    EXPECT_EQ(file.database.records.size(), 1u + 3 + 2);
    EXPECT_EQ(file.text, "Trip\nDay 1");
    EXPECT_EQ(file.icon.size(), 3u);
    ASSERT_EQ(file.pictures.size(), 2u);
    EXPECT_EQ(file.pictures[0].depth, 16);
    EXPECT_EQ(file.pictures[0].image.size(), 52278u);
    EXPECT_EQ(file.pictures[1].firstRecord, 4);
    EXPECT_EQ(file.pictures[1].width, 50);
    EXPECT_EQ(file.pictures[1].text, "c\n");
    ASSERT_EQ(file.pictures[1].thumbnails.size(), 2u);
    EXPECT_EQ(file.pictures[1].thumbnails[1].pixelSize, 4);
    CRgbImage image;
    ASSERT_TRUE(DecodeStoredImage(file.pictures[0].image, image, error));
    // 16 bits in the handheld's layout: the green channel keeps five bits.
    const std::uint32_t top = album_.Picture(0).m_bitmap.ReadPixel(5, 159);
    EXPECT_EQ(image.rgb[3 * 5 + 1], ((top >> 8 & 0xF8) >> 2) * 255 / 63);
}

TEST_F(AlbumDatabaseTest, AnAlbumThatCannotBeBuiltWritesNothing) {
    const TempDir dir;
    const std::string path = dir.File("album.pdb");
    for (int i = 0; i < 1057; ++i) {  // one more than the index holds
        album_.AddPicture(Picture(4, 4, 8));
    }
    EXPECT_FALSE(WriteAlbumDatabase(path.c_str(), album_));
    EXPECT_FALSE(std::filesystem::exists(path));

    WriteAll(path, "before");
    CPreparedAlbum album;
    album.m_icon = &icon_;
    auto picture = Picture(16, 16, 8);
    picture->m_colorDepth = 5;  // no such depth: the picture cannot be written
    album.AddPicture(std::move(picture));
    EXPECT_FALSE(WriteAlbumDatabase(path.c_str(), album));
    const auto bytes = ReadAll(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "before");
}
