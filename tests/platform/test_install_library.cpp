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

    std::string Queue(const std::string& home, const char* name = "jpilot.install") const {
        const auto bytes = ReadAll((dir_.path() / home / ".jpilot" / name).string());
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

// Settings as J-Pilot writes them: every key in its order, a space, the value.
std::string JPilotSettings(const std::string& user) {
    return "jpilotcss jpilotcss.default\ntime 0\nsdate 0\nldate 0\nxxx_internal1_xxx 0\n"
           "show_deleted 0\nshow_modified 0\ntodo_hide_completed 0\ndatebook_highlight_days 1\n"
           "port usb:\nrate 8\nuser " +
           user +
           "\nuser_id 1\npc_id 0\nnum_backups 2\nwindow_width 640\nwindow_height 480\n"
           "print_command lpr -h\ninstall_path /home/alice/\nversion 2.0.2\n";
}

TEST_F(InstallLibraryTest, UserOfTheJPilotHomeAndItsInstallFolder) {
    EXPECT_EQ(library_.GetUserCount(), 0);
    // A home J-Pilot set up before a first sync has an empty user; user_id is no user line.
    MakeHome("main", JPilotSettings(""));
    EXPECT_EQ(library_.GetUserCount(), 0);
    MakeHome("main", "user_id 4711\nusername Alice\nuser\nuser  \n");
    EXPECT_EQ(library_.GetUserCount(), 0);
    MakeHome("main", JPilotSettings("Alice Smith"));
    ASSERT_EQ(library_.GetUserCount(), 1);
    EXPECT_EQ(library_.GetUserName(0, 256), "Alice Smith");
    // Each line sets the name again, and J-Pilot passes over one without a value.
    MakeHome("main", "user Bob\nuser   Alice Smith  \nuser \nport /dev/ttyUSB0\n");
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
    // The queue of J-Pilot's early releases gets the same lines.
    EXPECT_EQ(Queue("main", "jpilot_to_install"), first + "\n" + second + "\n");
}

TEST_F(InstallLibraryTest, APathLongerThanJPilotsQueueLineIsRefused) {
    MakeHome("main", JPilotSettings("Alice"));
    // Path lengths 998 and 999: J-Pilot reads a line with its newline into 999 bytes.
    const std::string folder = (dir_.path() / std::string(200, 'f') / std::string(200, 'g') /
                                std::string(200, 'h') / std::string(200, 'i'))
                                   .string();
    std::filesystem::create_directories(folder);
    const std::string stem = folder + "/" + std::string(998 - folder.size() - 5, 'a');
    const std::string fits = stem + ".pdb";
    const std::string tooLong = stem + "b.pdb";
    ASSERT_EQ(fits.size(), 998u);
    WriteAll(fits, "album");
    WriteAll(tooLong, "album");
    EXPECT_EQ(library_.InstallFile("Alice", tooLong), kInstallPathNotQueueable);
    EXPECT_EQ(library_.InstallFile("Alice", fits), kInstallQueued);
    const std::string broken = dir_.File("two\nlines.pdb");
    WriteAll(broken, "album");
    EXPECT_EQ(library_.InstallFile("Alice", broken), kInstallPathNotQueueable);
    EXPECT_EQ(Queue("main"), fits + "\n");
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
