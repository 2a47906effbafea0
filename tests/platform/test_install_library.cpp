#include <fstream>
#include <tuple>

#include <gtest/gtest.h>

#include "platform/environment_scope.h"
#include "platform/install_library.h"
#include "platform/registry.h"
#include "support/temp_dir.h"

namespace {

// J-Pilot homes, the settings store and the data folder, all under one temporary folder.
class InstallLibraryTest : public ::testing::Test {
protected:
    InstallLibraryTest() {
        env_.Set("JPILOT_HOME", Home("main"));
        env_.Set("XDG_CONFIG_HOME", (dir_.path() / "config").string());
        env_.Set("XDG_DATA_HOME", (dir_.path() / "data").string());
    }

    std::string Home(const std::string& name) const { return (dir_.path() / name).string(); }

    void MakeHome(const std::string& name, const std::string& settings) {
        std::filesystem::create_directories(dir_.path() / name / ".jpilot");
        std::ofstream(dir_.path() / name / ".jpilot" / "jpilot.rc") << settings;
    }

    std::string Queue(const std::string& home) const {
        const auto bytes = ReadAll((dir_.path() / home / ".jpilot" / "jpilot.install").string());
        return std::string(bytes.begin(), bytes.end());
    }

    std::string WrittenFile(const std::string& name) {
        const std::string path = dir_.File(name);
        WriteAll(path, "album");
        return path;
    }

    TempDir dir_;
    EnvironmentScope env_;
    CJPilotInstallLibrary library_;
};

TEST_F(InstallLibraryTest, UserOfTheJPilotHomeAndItsInstallFolder) {
    EXPECT_EQ(library_.GetUserCount(), 0);
    MakeHome("main", "user_id 4711\nusername Alice\n");  // no "user" line: no user
    EXPECT_EQ(library_.GetUserCount(), 0);
    MakeHome("main", "# J-Pilot\nuser_id 4711\nuser   Alice Smith  \nport /dev/ttyUSB0\n");
    ASSERT_EQ(library_.GetUserCount(), 1);
    EXPECT_EQ(library_.GetUserName(0, 256), "Alice Smith");
    EXPECT_EQ(library_.GetUserName(0, 6), "Alice");
    EXPECT_EQ(library_.GetUserName(1, 256), "");
    EXPECT_EQ(library_.GetUserName(-1, 256), "");
    const std::string folder =
        (dir_.path() / "data" / "tavelo" / "install" / "Alice Smith").string();
    EXPECT_EQ(library_.GetUserInstallDir("Alice Smith", 260), folder);
    EXPECT_EQ(library_.GetUserInstallDir("Bob", 260), "");
    EXPECT_FALSE(std::filesystem::exists(folder));
    library_.PrepareInstall("Alice Smith", "Trip.pdb");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST_F(InstallLibraryTest, FurtherHomesFromTheSettingsStoreInTheirOrderWithoutRepeats) {
    MakeHome("main", "user Alice\n");
    MakeHome("second", "user Bob\n");
    MakeHome("third", "user Alice\n");  // the name is taken already
    MakeHome("fourth", "user Carol\n");
    {
        CRegistryKey key(kRootCurrentUser, kProgramKeyPath, true);
        const std::string homes = Home("second") + ":" + Home("third") + "::" + Home("main") + ":" +
                                  Home("fourth") + ":" + Home("nowhere");
        ASSERT_TRUE(key.SetString(homes.c_str(), "jpilot homes"));
    }
    ASSERT_EQ(library_.GetUserCount(), 3);
    EXPECT_EQ(library_.GetUserName(0, 50), "Alice");
    EXPECT_EQ(library_.GetUserName(1, 50), "Bob");
    EXPECT_EQ(library_.GetUserName(2, 50), "Carol");

    // Each user's queue is in that user's own home.
    EXPECT_EQ(library_.InstallFile("Bob", WrittenFile("Trip.pdb")), kInstallQueued);
    EXPECT_EQ(Queue("second"), dir_.File("Trip.pdb") + "\n");
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "main" / ".jpilot" / "jpilot.install"));
}

TEST_F(InstallLibraryTest, QueueGetsEachFileOnceAsAnAbsolutePath) {
    MakeHome("main", "user Alice\n");
    EXPECT_EQ(library_.InstallFile("Bob", WrittenFile("Trip.pdb")), kInstallUnknownUser);
    EXPECT_EQ(library_.InstallFile("Alice", dir_.File("missing.pdb")), kInstallNoSuchFile);
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "main" / ".jpilot" / "jpilot.install"));

    std::ofstream(dir_.path() / "main" / ".jpilot" / "jpilot.install") << "/earlier/file.prc";
    const std::string first = WrittenFile("First.pdb");
    const std::string second = WrittenFile("Second.pdb");
    EXPECT_EQ(library_.InstallFile("Alice", first), kInstallQueued);
    EXPECT_EQ(library_.InstallFile("Alice", second), kInstallQueued);
    EXPECT_EQ(library_.InstallFile("Alice", first), kInstallQueued);
    // A relative path is queued as the absolute path J-Pilot needs, so it is no new line.
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    EXPECT_EQ(library_.InstallFile("Alice", "First.pdb"), kInstallQueued);
    std::filesystem::current_path(previous);
    EXPECT_EQ(Queue("main"), "/earlier/file.prc\n" + first + "\n" + second + "\n");
}

TEST(FitToBufferTest, TextIsCutBeforeTheTerminatorWithoutSplittingACharacter) {
    const std::tuple<const char*, std::size_t, const char*> cases[] = {
        {"Alice", 0, ""},     {"Alice", 1, ""},          {"Alice", 6, "Alice"},
        {"Alice", 5, "Alic"}, {"Ren\xc3\xa9", 5, "Ren"}, {"Ren\xc3\xa9", 6, "Ren\xc3\xa9"}};
    for (const auto& [text, size, fitted] : cases) {
        EXPECT_EQ(FitToBuffer(text, size), fitted) << text << " in " << size;
    }
}

}  // namespace
