#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

#include "album/clock.h"
#include "album/crt_random.h"
#include "album/file_output.h"
#include "album/palm_database.h"
#include "support/temp_dir.h"

namespace {

// 2001-01-01 00:00:00 UTC
constexpr std::int64_t kNewYear2001 = 978307200;

class PalmDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override { SetClockOverride(kNewYear2001); }
    void TearDown() override { SetClockOverride(std::nullopt); }

    static std::vector<std::uint8_t> Build(CPalmDatabase& db) {
        std::vector<std::uint8_t> out(db.GetFileSize(), 0xAA);
        EXPECT_TRUE(db.BuildImage(out.data()));
        return out;
    }
    TempDir dir_;
};

std::string Text(const std::vector<std::uint8_t>& v, std::size_t at, std::size_t n) {
    return {reinterpret_cast<const char*>(v.data() + at), n};
}

std::uint32_t UniqueId(const std::vector<std::uint8_t>& v, std::size_t record) {
    const std::size_t at = 78 + 8 * record + 5;
    return (v[at] << 16) | (v[at + 1] << 8) | v[at + 2];
}

}  // namespace

TEST(PalmDatabaseHelpers, ByteSwapsTheRuntimeGeneratorTheClockAndOneBlockPerBuffer) {
    EXPECT_EQ(SwapBytes16(0x1234), 0x3412);
    EXPECT_EQ(SwapBytes32(0x12345678u), 0x78563412u);
    CGlobalBuffer buffer(16);
    EXPECT_FALSE(buffer.Allocate(32));
    EXPECT_EQ(buffer.Size(), 16u);
    CrtSrand(1);
    EXPECT_EQ(CrtRand(), 41);
    EXPECT_EQ(CrtRand(), 18467);
    EXPECT_EQ(CrtRand(), 6334);

    ::setenv("SOURCE_DATE_EPOCH", "1234567890", 1);
    EXPECT_EQ(CurrentTime(), 1234567890);
    ::setenv("SOURCE_DATE_EPOCH", "2212122495", 1);  // the last second an album can hold
    EXPECT_EQ(CurrentTime(), 2212122495);
    ::setenv("SOURCE_DATE_EPOCH", "not a number", 1);
    EXPECT_GT(CurrentTime(), kNewYear2001);          // ignored: the real clock
    ::setenv("SOURCE_DATE_EPOCH", "2300000000", 1);  // would wrap round to 1906
    EXPECT_LT(CurrentTime(), 2212122495);
    ::unsetenv("SOURCE_DATE_EPOCH");
    SetClockOverride(42);
    EXPECT_EQ(CurrentTime(), 42);
    SetClockOverride(std::nullopt);
}

TEST_F(PalmDatabaseTest, AnEmptyDatabaseIsItsEightyByteHeader) {
    CPalmDatabase db;
    SetClockOverride(kNewYear2001 + 500);  // later clock readings do not move the dates
    db.SetName("0123456789012345678901234567890123456789");
    db.SetType(FourCharCode("TVLI"));
    db.SetCreator(FourCharCode("TVL2"));
    auto image = Build(db);
    ASSERT_EQ(image.size(), 80u);
    EXPECT_EQ(Text(image, 0, 32), std::string("0123456789012345678901234567890") + '\0');
    for (std::size_t at : {36u, 40u, 44u}) {
        EXPECT_EQ(LoadBigEndian32(&image[at]), 0xB6757900u) << at;  // seconds since 1904
    }
    EXPECT_EQ(Text(image, 60, 8), "TVLITVL2");
    // Attributes, version, modification number, info blocks, next list, count and filler.
    for (std::size_t at = 32; at < 80; at = at == 35 ? 48 : at == 59 ? 72 : at + 1) {
        EXPECT_EQ(image[at], 0) << at;
    }
    db.SetName("ab");  // a shorter name clears the rest
    EXPECT_EQ(Text(Build(db), 0, 32), "ab" + std::string(30, '\0'));
}

TEST_F(PalmDatabaseTest, RecordsFollowTheListUnpaddedWithConsecutiveIdsAboveTheSeed) {
    CPalmDatabase db;
    const std::uint8_t first[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_TRUE(db.AddRecord(first, 10));
    auto image = Build(db);
    ASSERT_EQ(image.size(), 98u);
    // Count 1; offset 88, attributes 0 and id of record 0; two zero bytes.
    EXPECT_EQ(std::vector<int>(image.begin() + 76, image.begin() + 88),
              (std::vector<int>{0, 1, 0, 0, 0, 88, 0, 0xB7, 0xF4, 0x01, 0, 0}));
    EXPECT_EQ(0, std::memcmp(&image[88], first, 10));

    const std::uint8_t more[3] = {0xB, 0xC, 0xD};
    ASSERT_TRUE(db.AddRecord(more, 3));
    ASSERT_TRUE(db.AddRecord(more, 2));
    image = Build(db);
    ASSERT_EQ(image.size(), 104u + 15);
    EXPECT_EQ(LoadBigEndian32(&image[68]), 23545u);  // the generator's first value for the clock
    const std::uint32_t offsets[3] = {104, 114, 117};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(LoadBigEndian32(&image[78 + 8 * i]), offsets[i]) << i;
        EXPECT_EQ(UniqueId(image, i), 0xB7F401u + i) << i;  // (seed + 1) x 512, then 1, 2, 3
    }
    EXPECT_EQ(Text(image, 113, 6), "\x0A\x0B\x0C\x0D\x0B\x0C");
}

TEST_F(PalmDatabaseTest, HoldsAtMostTheSixteenBitCountWithIdsWrappingFromFFFFFFToZero) {
    SetClockOverride(10022);  // the first generator value is 32766: ids start above 0xFFFE00
    CPalmDatabase db;
    const std::uint8_t byte = 0;
    for (std::uint32_t i = 0; i < CPalmDatabase::kMaxRecords; ++i) {
        ASSERT_TRUE(db.AddRecord(&byte, 1));
    }
    EXPECT_FALSE(db.AddRecord(&byte, 1));
    EXPECT_EQ(db.RecordCount(), 65535u);
    const auto image = Build(db);
    EXPECT_EQ(LoadBigEndian16(&image[76]), 65535);
    EXPECT_EQ(UniqueId(image, 0), 0xFFFE01u);
    EXPECT_EQ(UniqueId(image, 510), 0xFFFFFFu);
    EXPECT_EQ(UniqueId(image, 511), 0x000000u);
}

TEST_F(PalmDatabaseTest, WritesTheImageWholeOverAnOlderFileAndThroughALink) {
    CPalmDatabase db;
    const std::uint8_t record[4] = {9, 8, 7, 6};
    ASSERT_TRUE(db.AddRecord(record, 4));
    // A name near the length limit still leaves room for the temporary file beside it.
    const std::string path = dir_.File(std::string(246, 'a') + ".pdb");
    WriteAll(path, std::string(500, 'x'));  // an older, longer album is replaced whole
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(db.WriteToFile(path.c_str()));
    EXPECT_EQ(ReadAll(path), Build(db));
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              static_cast<std::filesystem::perms>(0640));
    // Through a link the album is replaced and the link stays a link.
    const std::string link = dir_.File("link.pdb");
    std::filesystem::create_symlink(path, link);
    ASSERT_TRUE(CPalmDatabase().WriteToFile(link.c_str()));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadAll(path).size(), 80u);
    EXPECT_EQ(EntryCount(dir_.path()), 2u);  // no temporary file left beside them
}

TEST_F(PalmDatabaseTest, AFailedWriteLeavesNoFileOrTheExistingOneAsItWas) {
    CPalmDatabase db;
    EXPECT_FALSE(db.WriteToFile(dir_.File("missing/album.pdb").c_str()));
    std::filesystem::create_directories(dir_.path() / "taken" / "inside");
    EXPECT_FALSE(db.WriteToFile(dir_.File("taken").c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(dir_.path() / "taken" / "inside"));

    const std::string path = dir_.File("album.pdb");
    WriteAll(path, "the previous album");
    std::vector<std::uint8_t> big(4096, 0x5A);
    ASSERT_TRUE(db.AddRecord(big.data(), static_cast<std::uint32_t>(big.size())));
    // Files may not grow past 100 bytes: the write fails half way, as on a full disk.
    const bool written = WithFileSizeLimit(100, [&] { return db.WriteToFile(path.c_str()); });
    EXPECT_FALSE(written);
    // A disk that does not take the bytes: nothing replaces the album.
    SetSyncCall([](int) {
        errno = EIO;
        return -1;
    });
    std::string reason;
    EXPECT_FALSE(CPalmDatabase().WriteToFile(path.c_str(), nullptr, &reason));
    SetSyncCall(nullptr);
    EXPECT_EQ(reason, "Input/output error");
    const auto bytes = ReadAll(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "the previous album");
    EXPECT_EQ(EntryCount(dir_.path()), 2u);  // the album and "taken": nothing made or left
}
