#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstring>

#include "album/clock.h"
#include "album/crt_random.h"
#include "album/palm_database.h"
#include "support/temp_dir.h"

namespace {

// 2001-01-01 00:00:00 UTC
constexpr std::int64_t kNewYear2001 = 978307200;

class PalmDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override { SetClockOverride(kNewYear2001); }
    void TearDown() override { SetClockOverride(std::nullopt); }

    std::vector<std::uint8_t> Build(CPalmDatabase& db) {
        std::vector<std::uint8_t> out(db.GetFileSize(), 0xAA);
        EXPECT_TRUE(db.BuildImage(out.data()));
        return out;
    }
    TempDir dir_;
};

std::uint32_t Be32(const std::vector<std::uint8_t>& v, std::size_t at) {
    return LoadBigEndian32(v.data() + at);
}

std::uint32_t UniqueId(const std::vector<std::uint8_t>& v, std::size_t record) {
    const std::size_t at = 78 + 8 * record + 5;
    return (v[at] << 16) | (v[at + 1] << 8) | v[at + 2];
}

}  // namespace

TEST(ByteSwaps, ReverseTheByteOrder) {
    EXPECT_EQ(SwapBytes16(0x1234), 0x3412);
    EXPECT_EQ(SwapBytes32(0x12345678u), 0x78563412u);
    std::uint8_t out[4];
    StoreBigEndian32(out, 0x01020304u);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[3], 4);
    StoreBigEndian16(out, 0xA1B2);
    EXPECT_EQ(out[0], 0xA1);
    EXPECT_EQ(out[1], 0xB2);
}

TEST(ByteSwaps, GlobalBufferHoldsOneBlockAndRefusesASecond) {
    CGlobalBuffer buffer(16);
    ASSERT_TRUE(buffer.Holds());
    EXPECT_EQ(buffer.Size(), 16u);
    EXPECT_FALSE(buffer.Allocate(32));
    EXPECT_EQ(buffer.Size(), 16u);
}

TEST(CrtRandom, FollowsTheRuntimeSequence) {
    CrtSrand(1);
    EXPECT_EQ(CrtRand(), 41);
    EXPECT_EQ(CrtRand(), 18467);
    EXPECT_EQ(CrtRand(), 6334);
    CrtSrand(978307200u);
    const int first = CrtRand();
    // state = seed x 214013 + 2531011 mod 2^32, value = bits 16..30
    const std::uint32_t state = 978307200u * 214013u + 2531011u;
    EXPECT_EQ(first, static_cast<int>((state >> 16) & 0x7FFF));
    for (int i = 0; i < 1000; ++i) {
        const int v = CrtRand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
}

TEST(Clock, HonoursSourceDateEpoch) {
    ::setenv("SOURCE_DATE_EPOCH", "1234567890", 1);
    EXPECT_EQ(CurrentTime(), 1234567890);
    ::setenv("SOURCE_DATE_EPOCH", "not a number", 1);
    EXPECT_GT(CurrentTime(), kNewYear2001);  // ignored: the real clock
    ::unsetenv("SOURCE_DATE_EPOCH");
    SetClockOverride(42);
    EXPECT_EQ(CurrentTime(), 42);
    SetClockOverride(std::nullopt);
}

TEST_F(PalmDatabaseTest, AnEmptyDatabaseIsEightyBytes) {
    CPalmDatabase db;
    auto image = Build(db);
    ASSERT_EQ(image.size(), 80u);
    EXPECT_EQ(image[76], 0);
    EXPECT_EQ(image[77], 0);
    EXPECT_EQ(image[78], 0);
    EXPECT_EQ(image[79], 0);
    for (std::size_t i : {32u, 33u, 34u, 35u, 48u, 52u, 56u, 72u}) {
        EXPECT_EQ(image[i], 0) << i;
    }
}

TEST_F(PalmDatabaseTest, OneRecordStartsAtOffsetEightyEight) {
    CPalmDatabase db;
    const std::uint8_t record[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_TRUE(db.AddRecord(record, 10));
    auto image = Build(db);
    ASSERT_EQ(image.size(), 98u);
    EXPECT_EQ(LoadBigEndian16(&image[76]), 1);
    EXPECT_EQ(Be32(image, 78), 88u);
    EXPECT_EQ(image[82], 0);  // attributes
    EXPECT_EQ(image[86], 0);  // filler
    EXPECT_EQ(image[87], 0);
    EXPECT_EQ(0, std::memcmp(&image[88], record, 10));

    // A second record follows the first without padding.
    const std::uint8_t more[3] = {0xB, 0xB, 0xB};
    ASSERT_TRUE(db.AddRecord(more, 3));
    image = Build(db);
    ASSERT_EQ(image.size(), 96u + 13);
    EXPECT_EQ(Be32(image, 78), 96u);
    EXPECT_EQ(Be32(image, 86), 106u);
    EXPECT_EQ(image[105], 10);
    EXPECT_EQ(image[106], 0xB);
}

TEST_F(PalmDatabaseTest, NameKeepsThirtyOneCharactersAndAZero) {
    CPalmDatabase db;
    db.SetName("0123456789012345678901234567890123456789");
    auto image = Build(db);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.data())),
              "0123456789012345678901234567890");
    EXPECT_EQ(image[31], 0);
    db.SetName("ab");  // a shorter name clears the rest
    image = Build(db);
    EXPECT_EQ(image[2], 0);
    EXPECT_EQ(image[30], 0);
}

TEST_F(PalmDatabaseTest, TypeAndCreatorReadInOrder) {
    CPalmDatabase db;
    db.SetType(FourCharCode("TVLI"));
    db.SetCreator(FourCharCode("TVL2"));
    auto image = Build(db);
    EXPECT_EQ(std::string(image.begin() + 60, image.begin() + 64), "TVLI");
    EXPECT_EQ(std::string(image.begin() + 64, image.begin() + 68), "TVL2");
}

TEST_F(PalmDatabaseTest, TheThreeDatesCountFrom1904) {
    CPalmDatabase db;
    SetClockOverride(kNewYear2001 + 500);  // later clock readings do not move the dates
    auto image = Build(db);
    EXPECT_EQ(Be32(image, 36), 0xB6757900u);
    EXPECT_EQ(Be32(image, 40), 0xB6757900u);
    EXPECT_EQ(Be32(image, 44), 0xB6757900u);
}

TEST_F(PalmDatabaseTest, UniqueIdsAreConsecutiveAboveTheSeed) {
    CPalmDatabase db;
    const std::uint8_t byte = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(db.AddRecord(&byte, 1));
    }
    auto image = Build(db);
    CrtSrand(static_cast<std::uint32_t>(kNewYear2001));
    const std::uint32_t r = static_cast<std::uint32_t>(CrtRand());
    EXPECT_EQ(Be32(image, 68), r);
    const std::uint32_t u = ((r + 1) * 512) & 0xFFFFFF;
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(UniqueId(image, i), (u + i + 1) & 0xFFFFFF);
    }
}

TEST_F(PalmDatabaseTest, UniqueIdsWrapFromFFFFFFToZero) {
    // Find a time whose first generator value is 32766: U = 32767 x 512 = 0xFFFE00.
    std::int64_t t = 0;
    for (;; ++t) {
        CrtSrand(static_cast<std::uint32_t>(t));
        if (CrtRand() == 32766) {
            break;
        }
    }
    SetClockOverride(t);
    CPalmDatabase db;
    const std::uint8_t byte = 0;
    for (int i = 0; i < 512; ++i) {
        ASSERT_TRUE(db.AddRecord(&byte, 1));
    }
    auto image = Build(db);
    EXPECT_EQ(UniqueId(image, 0), 0xFFFE01u);
    EXPECT_EQ(UniqueId(image, 509), 0xFFFFFEu);
    EXPECT_EQ(UniqueId(image, 510), 0xFFFFFFu);
    EXPECT_EQ(UniqueId(image, 511), 0x000000u);
}

TEST_F(PalmDatabaseTest, RefusesARecordPastTheSixteenBitCount) {
    CPalmDatabase db;
    const std::uint8_t byte = 0;
    for (std::uint32_t i = 0; i < CPalmDatabase::kMaxRecords; ++i) {
        ASSERT_TRUE(db.AddRecord(&byte, 1));
    }
    EXPECT_FALSE(db.AddRecord(&byte, 1));
    EXPECT_EQ(db.RecordCount(), 65535u);
    auto image = Build(db);
    EXPECT_EQ(LoadBigEndian16(&image[76]), 65535);
}

TEST_F(PalmDatabaseTest, WritesTheImageToTheFile) {
    CPalmDatabase db;
    db.SetName("tvl_album_978307200");
    const std::uint8_t record[4] = {9, 8, 7, 6};
    ASSERT_TRUE(db.AddRecord(record, 4));
    const std::string path = dir_.File("album.pdb");
    WriteAll(path, std::string(500, 'x'));  // an older, longer album is replaced whole
    ASSERT_TRUE(db.WriteToFile(path.c_str()));
    EXPECT_EQ(ReadAll(path), Build(db));
    EXPECT_EQ(EntryCount(dir_.path()), 1u);  // no temporary file left beside it
}

TEST_F(PalmDatabaseTest, WritingIntoAMissingFolderOrOverAFolderFailsAndLeavesNoFile) {
    CPalmDatabase db;
    const std::string path = dir_.File("missing/album.pdb");
    EXPECT_FALSE(db.WriteToFile(path.c_str()));
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "missing"));
    EXPECT_EQ(EntryCount(dir_.path()), 0u);
    std::filesystem::create_directories(dir_.path() / "taken" / "inside");
    EXPECT_FALSE(db.WriteToFile(dir_.File("taken").c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(dir_.path() / "taken" / "inside"));
    EXPECT_EQ(EntryCount(dir_.path()), 1u);
}

TEST_F(PalmDatabaseTest, AFailedWriteLeavesTheExistingFileAsItWas) {
    const std::string path = dir_.File("album.pdb");
    WriteAll(path, "the previous album");
    CPalmDatabase db;
    std::vector<std::uint8_t> big(4096, 0x5A);
    ASSERT_TRUE(db.AddRecord(big.data(), static_cast<std::uint32_t>(big.size())));

    // Files may not grow past 100 bytes: the write fails half way, as on a full disk.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = db.WriteToFile(path.c_str());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    const auto bytes = ReadAll(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "the previous album");
    EXPECT_EQ(EntryCount(dir_.path()), 1u);
}

TEST_F(PalmDatabaseTest, WritesNamesNearTheLengthLimitAndThroughLinks) {
    CPalmDatabase db;
    const std::string longName = dir_.File(std::string(246, 'a') + ".pdb");
    ASSERT_TRUE(db.WriteToFile(longName.c_str()));
    EXPECT_EQ(ReadAll(longName).size(), 80u);

    // A link to an album: the album is replaced, the link stays a link.
    const std::string real = dir_.File("real.pdb");
    WriteAll(real, "old");
    const std::string link = dir_.File("link.pdb");
    std::filesystem::create_symlink(real, link);
    ASSERT_TRUE(db.WriteToFile(link.c_str()));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadAll(real).size(), 80u);
}
