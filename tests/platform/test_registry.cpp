#include <cstring>
#include <fstream>
#include <vector>

#include <gtest/gtest.h>

#include "platform/environment_scope.h"
#include "platform/registry.h"
#include "support/temp_dir.h"

namespace {

constexpr char kKey[] = "Software\\Lumivale\\Tavelo2.0";

class RegistryTest : public ::testing::Test {
protected:
    RegistryTest() { env_.Set("XDG_CONFIG_HOME", dir_.path().string()); }

    TempDir dir_;
    EnvironmentScope env_;
};

TEST_F(RegistryTest, KeysLiveInOneFileAndOpenWithoutCreateOnlyOnceMade) {
    EXPECT_FALSE(CRegistryKey(kRootCurrentUser, kKey, false).IsOpen());
    EXPECT_TRUE(CRegistryKey(kRootCurrentUser, kKey, true).IsOpen());
    EXPECT_EQ(RegistryFilePath(), (dir_.path() / "tavelo" / "registry.reg").string());
    EXPECT_TRUE(std::filesystem::exists(RegistryFilePath()));
    EXPECT_TRUE(CRegistryKey(kRootCurrentUser, kKey, false).IsOpen());
    EXPECT_TRUE(CRegistryKey(kRootCurrentUser, "software\\LUMIVALE", false).IsOpen());
    EXPECT_FALSE(CRegistryKey(kRootCurrentUser, "Software\\Lumi", false).IsOpen());
    // The same path under another root is another key.
    EXPECT_FALSE(CRegistryKey(kRootLocalMachine, kKey, false).IsOpen());
}

TEST_F(RegistryTest, RootIndexBeyondTheThreeRootsOpensNothing) {
    CRegistryKey key(3, kKey, true);
    EXPECT_FALSE(key.RootFromIndex(3).has_value());
    EXPECT_FALSE(key.RootFromIndex(-1).has_value());
    EXPECT_EQ(key.RootFromIndex(2), RegistryRoot::LocalMachine);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_FALSE(key.GetHandle().has_value());
    EXPECT_FALSE(key.SetDword(1, "run count"));
    EXPECT_FALSE(std::filesystem::exists(RegistryFilePath()));
}

// A string keeps its terminator; a value larger than the buffer is not read at all.
TEST_F(RegistryTest, ValuesAreReadWhenTheBufferHoldsThem) {
    CRegistryKey key(kRootCurrentUser, kKey, true);
    ASSERT_TRUE(key.SetString("abc", "name"));
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    std::uint32_t size = sizeof buffer;
    ASSERT_TRUE(key.QueryValue(buffer, size, "name"));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::memcmp(buffer, "abc\0x", 5), 0);

    const unsigned char eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(key.SetBinary(eight, sizeof eight, "run count"));
    std::memset(buffer, 'y', sizeof buffer);
    size = 4;
    EXPECT_FALSE(key.ReadValueDirect(buffer, size, "run count"));
    EXPECT_FALSE(key.QueryValue(buffer, size, "run count"));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::memcmp(buffer, "yyyy", 4), 0);

    // The unnamed default text: empty while missing.
    CRegistryKey htm(kRootClassesRoot, ".htm", true);
    size = sizeof buffer;
    EXPECT_TRUE(htm.QueryValue(buffer, size, nullptr));
    EXPECT_STREQ(buffer, "");
    ASSERT_TRUE(htm.SetString("htmlfile", ""));
    size = sizeof buffer;
    EXPECT_TRUE(htm.QueryValue(buffer, size, nullptr));
    EXPECT_STREQ(buffer, "htmlfile");
    EXPECT_EQ(size, 9u);
}

TEST_F(RegistryTest, ValuesOutliveTheKeyObjectAndNamesIgnoreCase) {
    const std::string awkward = "say \"hi\"\\\n\ttab\x01 \xc3\xa9";
    {
        CRegistryKey key(kRootCurrentUser, kKey, true);
        ASSERT_TRUE(key.SetDword(0x12345678, "Run Count"));
        ASSERT_TRUE(key.SetString(awkward.c_str(), "text"));
        const unsigned char binary[5] = {0, 255, 0, 10, 13};
        ASSERT_TRUE(key.SetBinary(binary, sizeof binary, "blob"));
    }
    CRegistryKey key(kRootCurrentUser, "SOFTWARE\\lumivale\\tavelo2.0", false);
    ASSERT_TRUE(key.IsOpen());
    unsigned char dword[4] = {};
    std::uint32_t size = sizeof dword;
    ASSERT_TRUE(key.ReadValueDirect(dword, size, "run count"));
    EXPECT_EQ(std::vector<int>(dword, dword + size), std::vector<int>({0x78, 0x56, 0x34, 0x12}));
    char text[64] = {};
    size = sizeof text;
    ASSERT_TRUE(key.ReadValue(text, size, "TEXT"));
    EXPECT_EQ(std::string(text), awkward);
    unsigned char blob[8] = {};
    size = sizeof blob;
    ASSERT_TRUE(key.ReadValue(blob, size, "blob"));
    EXPECT_EQ(std::vector<int>(blob, blob + size), std::vector<int>({0, 255, 0, 10, 13}));

    EXPECT_TRUE(key.DeleteValue("RUN COUNT"));
    EXPECT_FALSE(key.DeleteValue("run count"));
    size = sizeof dword;
    EXPECT_FALSE(key.ReadValueDirect(dword, size, "run count"));
}

// Damaged lines are skipped, and the next write keeps the good values.
TEST_F(RegistryTest, DamagedLinesOfTheFileAreSkipped) {
    std::filesystem::create_directories(dir_.path() / "tavelo");
    std::ofstream(RegistryFilePath()) << "[HKEY_CURRENT_USER\\Software\\Lumivale\\Tavelo2.0]\n"
                                         "\"run count\"=dword:zz\n\"broken\ngarbage\n"
                                         "\"good\"=dword:00000002\n\"blob\"=hex:0,1\n";
    CRegistryKey key(kRootCurrentUser, kKey, false);
    ASSERT_TRUE(key.SetDword(3, "other"));
    CRegistryKey again(kRootCurrentUser, kKey, false);
    unsigned char buffer[4] = {};
    std::uint32_t size = sizeof buffer;
    EXPECT_FALSE(again.ReadValueDirect(buffer, size, "run count"));
    EXPECT_FALSE(again.ReadValueDirect(buffer, size, "blob"));
    ASSERT_TRUE(again.ReadValueDirect(buffer, size, "good"));
    EXPECT_EQ(buffer[0], 2);
}

}  // namespace
