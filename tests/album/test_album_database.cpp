#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "album/album_database.h"
#include "album/album_file_reader.h"
#include "album/clock.h"
#include "album/crt_random.h"
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

TEST_F(AlbumDatabaseTest, AnAlbumWithoutPicturesIsOneHeaderRecord) {
    CPalmDatabase& db = Build();
    ASSERT_EQ(db.RecordCount(), 1u);
    ASSERT_EQ(db.RecordSize(0), 8246u);  // empty title and note: the text is one line feed
    const std::uint8_t* r = Record(0);
    EXPECT_EQ(LoadBigEndian32(r), 0x01000000u);
    EXPECT_EQ(LoadBigEndian32(r + 4), static_cast<std::uint32_t>(kNewYear2001));
    CrtSrand(static_cast<std::uint32_t>(kNewYear2001));
    EXPECT_EQ(LoadBigEndian32(r + 8), static_cast<std::uint32_t>(CrtRand()));
    EXPECT_EQ(LoadBigEndian32(r + 12), 0u);
    for (int i = 16; i < 4240; ++i) {
        ASSERT_EQ(r[i], 0) << i;
    }
    EXPECT_EQ(LoadBigEndian16(r + 4240), 24);  // the icon's 2-bit member
    for (int i = 4240 + 1056; i < 8240; ++i) {
        ASSERT_EQ(r[i], 0) << i;
    }
    EXPECT_EQ(r[8240], '\n');
    for (int i = 8241; i < 8246; ++i) {
        EXPECT_EQ(r[i], 0);
    }
    std::vector<std::uint8_t> image(db.GetFileSize());
    db.BuildImage(image.data());
    EXPECT_STREQ(reinterpret_cast<const char*>(image.data()), "tvl_album_978307200");
    EXPECT_EQ(std::string(image.begin() + 60, image.begin() + 68), "TVLITVL2");
}

TEST_F(AlbumDatabaseTest, AlbumTextSitsAtOffset8240WithItsTerminator) {
    album_.m_text = "Trip\nDay 1";
    Build();
    ASSERT_EQ(db_.RecordSize(0), 8255u);
    const std::uint8_t* r = Record(0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 8240), 10), "Trip\nDay 1");
    EXPECT_EQ(r[8250], 0);
    EXPECT_EQ(LoadBigEndian32(r + 8251), 0u);
}

TEST_F(AlbumDatabaseTest, ImageSizeDecidesTheDataRecordsAndTheIndex) {
    album_.AddPicture(Picture(160, 160, 8));   // 26678 bytes: one data record
    album_.AddPicture(Picture(160, 160, 16));  // 52278 bytes: 51200 + 1078
    album_.AddPicture(Picture(320, 240, 4));   // 38518 bytes: one data record
    Build();
    ASSERT_EQ(db_.RecordCount(), 1u + 2 + 3 + 2);
    const std::uint8_t* r = Record(0);
    EXPECT_EQ(LoadBigEndian32(r + 12), 3u);
    const int expected[3][2] = {{1, 2}, {3, 3}, {6, 2}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(LoadBigEndian16(r + 16 + 4 * i), expected[i][0]) << i;
        EXPECT_EQ(LoadBigEndian16(r + 18 + 4 * i), expected[i][1]) << i;
    }
    EXPECT_EQ(LoadBigEndian32(r + 16 + 12), 0u);  // entries past the last picture stay zero
    EXPECT_EQ(db_.RecordSize(2), 26678u);
    EXPECT_EQ(db_.RecordSize(4), 51200u);
    EXPECT_EQ(db_.RecordSize(5), 1078u);
    EXPECT_EQ(db_.RecordSize(7), 38518u);
    // The second picture's header record is record 3, and it is a picture header.
    EXPECT_EQ(LoadBigEndian32(Record(3)), 0x02000000u);
}

TEST_F(AlbumDatabaseTest, PictureHeaderHoldsThumbnailAndText) {
    album_.AddPicture(Picture(200, 100, 4, "\n"));
    album_.AddPicture(Picture(100, 200, 8, "Beach\nSunset"));
    Build();
    ASSERT_EQ(db_.RecordSize(1), 4046u);
    const std::uint8_t* h = Record(1);
    for (int i = 4; i < 40; ++i) {
        ASSERT_EQ(h[i], 0);
    }
    EXPECT_EQ(LoadBigEndian16(h + 40), 32);
    EXPECT_EQ(LoadBigEndian16(h + 40 + 272 + 10), 0);  // a 4-bit picture's family ends at 4 bits
    for (int i = 40 + 800; i < 4040; ++i) {
        ASSERT_EQ(h[i], 0) << i;
    }
    EXPECT_EQ(h[4040], '\n');
    const std::uint8_t* h2 = Record(3);
    ASSERT_EQ(db_.RecordSize(3), 4045u + 12);
    EXPECT_EQ(LoadBigEndian16(h2 + 40 + 272 + 10), 132);  // the 8-bit member follows
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(h2 + 4040), 12), "Beach\nSunset");
    for (int i = 4052; i < 4057; ++i) {
        EXPECT_EQ(h2[i], 0);
    }
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
            const auto le32 = [p](int at) {
                std::uint32_t v;
                std::memcpy(&v, p + at, 4);
                return v;
            };
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), 2), "BM");
            // file size, reserved, offset of the pixels, header size, width, height
            const std::uint32_t fields[] = {0, 0, 54 + 4 * colors, 40, 37, 21};
            for (int i = 0; i < 6; ++i) {
                EXPECT_EQ(le32(2 + 4 * i), fields[i]) << i;
            }
            EXPECT_EQ(p[26], 1);
            EXPECT_EQ(p[28], depth);
            EXPECT_EQ(le32(30), 0u);  // no compression
            EXPECT_EQ(le32(46), colors);
            EXPECT_EQ(le32(50), colors);

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

TEST_F(AlbumDatabaseTest, AlbumIconIsTheIconsCentralSquareResampled) {
    CDib wide;
    ASSERT_TRUE(wide.Create(48, 24, 24));
    // Left and right quarters white, the central 24 x 24 black.
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 48; ++x) {
            const std::uint8_t v = (x < 12 || x >= 36) ? 255 : 0;
            std::memset(wide.Row(y) + 3 * x, v, 3);
        }
    }
    album_.m_icon = &wide;
    Build();
    const std::uint8_t* r = Record(0);
    for (int i = 4240 + 16; i < 4240 + 160; ++i) {
        ASSERT_EQ(r[i], 0xFF) << i;  // all black at 2 bits
    }
    // Without an icon the handheld shows a black one.
    CPalmDatabase db;
    album_.m_icon = nullptr;
    ASSERT_TRUE(BuildAlbumDatabase(album_, db));
    EXPECT_EQ(db.RecordData(0)[4240 + 16], 0xFF);
    EXPECT_EQ(db.RecordData(0)[4240 + 464 + 16], 230);
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
    EXPECT_EQ(file.text, "Trip\nDay 1");
    ASSERT_EQ(file.pictures.size(), 2u);
    EXPECT_EQ(file.pictures[0].depth, 16);
    EXPECT_EQ(file.pictures[0].image.size(), 52278u);
    EXPECT_EQ(file.pictures[1].width, 50);
    EXPECT_EQ(file.pictures[1].text, "c\n");
    EXPECT_EQ(file.icon.size(), 3u);
    EXPECT_EQ(file.pictures[1].thumbnails.size(), 2u);
    CRgbImage image;
    ASSERT_TRUE(DecodeStoredImage(file.pictures[0].image, image, error));
    // 16 bits in the handheld's layout: the green channel keeps five bits.
    const CDib& source = album_.Picture(0).m_bitmap;
    const std::uint32_t top = source.ReadPixel(5, 159);
    EXPECT_EQ(image.rgb[3 * 5 + 1], ((top >> 8 & 0xF8) >> 2) * 255 / 63);
}

TEST_F(AlbumDatabaseTest, RefusesMoreThanTheIndexHoldsWithoutWriting) {
    for (int i = 0; i < 1057; ++i) {
        album_.AddPicture(Picture(4, 4, 8));
    }
    const TempDir dir;
    const std::string path = dir.File("big.pdb");
    EXPECT_FALSE(WriteAlbumDatabase(path.c_str(), album_));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(AlbumDatabaseTest, AFailingPictureLeavesAnExistingFileAlone) {
    const TempDir dir;
    const std::string path = dir.File("album.pdb");
    WriteAll(path, "before");
    auto picture = Picture(16, 16, 8);
    picture->m_colorDepth = 5;  // no such depth: the picture cannot be written
    album_.AddPicture(std::move(picture));
    EXPECT_FALSE(WriteAlbumDatabase(path.c_str(), album_));
    const auto bytes = ReadAll(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "before");
}

TEST_F(AlbumDatabaseTest, AnIconWhoseRowsRunTopDownGivesTheSameIcon) {
    // The same 24 x 24 picture, once made here and once held in top-down rows as a loaded
    // picture is.
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
    CPalmBitmapFamily a;
    CPalmBitmapFamily b;
    ASSERT_TRUE(MakeAlbumIcon(created, a));
    ASSERT_TRUE(MakeAlbumIcon(adopted, b));
    std::vector<std::uint8_t> bytesA(1056);
    std::vector<std::uint8_t> bytesB(1056);
    ASSERT_TRUE(a.CopyTo(bytesA.data()));
    ASSERT_TRUE(b.CopyTo(bytesB.data()));
    EXPECT_EQ(bytesA, bytesB);
}
