#include <fstream>
#include <vector>

#include <gtest/gtest.h>

#include "platform/environment_scope.h"
#include "platform/recording_shell.h"
#include "platform/shell.h"
#include "support/temp_dir.h"

namespace {

constexpr char kAddress[] = "http://www.lumivale.com/cgi-bin/promo.pl?promo=a&URL=http://x/";

TEST(RewriteOpenCommandTest, QuotedPlaceholderIsCutAtItsQuote) {
    EXPECT_EQ(RewriteOpenCommand("\"C:\\Program Files\\Browser\\browse.exe\" -nohome \"%1\"",
                                 "http://a/"),
              "\"C:\\Program Files\\Browser\\browse.exe\" -nohome  http://a/");
    EXPECT_EQ(RewriteOpenCommand("browser \"%u\" --tail", "http://a/"), "browser  http://a/");
}

TEST(RewriteOpenCommandTest, BarePlaceholderIsCutAtItsPercentSign) {
    EXPECT_EQ(RewriteOpenCommand("/usr/bin/firefox-esr %u", "http://a/"),
              "/usr/bin/firefox-esr  http://a/");
    EXPECT_EQ(RewriteOpenCommand("chromium --new-window %U", "http://a/"),
              "chromium --new-window  http://a/");
    EXPECT_EQ(RewriteOpenCommand("iexplore.exe %1", "http://a/"), "iexplore.exe  http://a/");
}

TEST(RewriteOpenCommandTest, QuotedPlaceholderWinsOverAnEarlierBareOne) {
    EXPECT_EQ(RewriteOpenCommand("viewer %1 -x \"%1\"", "http://a/"), "viewer %1 -x  http://a/");
}

TEST(RewriteOpenCommandTest, CommandWithoutPlaceholderGetsTheAddressAtItsEnd) {
    EXPECT_EQ(RewriteOpenCommand("browser -remote", "http://a/"), "browser -remote http://a/");
    EXPECT_EQ(RewriteOpenCommand("browser %f", "http://a/"), "browser %f http://a/");
}

// An association table of our own: user and system folders under a temporary folder.
class HyperlinkTest : public ::testing::Test {
protected:
    HyperlinkTest() {
        for (const char* folder : {"config", "config-dirs", "data", "data-dirs/applications"}) {
            std::filesystem::create_directories(dir_.path() / folder);
        }
        env_.Set("XDG_CONFIG_HOME", (dir_.path() / "config").string());
        env_.Set("XDG_CONFIG_DIRS", (dir_.path() / "config-dirs").string());
        env_.Set("XDG_DATA_HOME", (dir_.path() / "data").string());
        env_.Set("XDG_DATA_DIRS", (dir_.path() / "data-dirs").string());
    }

    void Associate(const std::string& exec) {
        std::ofstream(dir_.path() / "config" / "mimeapps.list")
            << "[Added Associations]\ntext/html=other.desktop;\n"
               "[Default "
               "Applications]\nimage/png=viewer.desktop\ntext/html=missing.desktop;web.desktop;\n";
        std::ofstream(dir_.path() / "data-dirs" / "applications" / "web.desktop")
            << "[Desktop Entry]\nName=Web\nExec=" << exec << "\n[Desktop Action new]\nExec=wrong\n";
    }

    TempDir dir_;
    EnvironmentScope env_;
    CRecordingShell shell_;
};

TEST_F(HyperlinkTest, AddressTheShellOpensStartsNothingElse) {
    Associate("browser %u");
    EXPECT_GT(OpenHyperlink(kAddress, kShowNormal, shell_), 32);
    ASSERT_EQ(shell_.opened.size(), 1u);
    EXPECT_EQ(shell_.opened[0].toString(), QString::fromLatin1(kAddress));
    EXPECT_TRUE(shell_.started.empty());
}

TEST_F(HyperlinkTest, WhenTheShellFailsTheHtmlBrowserIsStartedWithTheAddress) {
    shell_.openWorks = false;
    Associate("\"/opt/Web Browser/browser\" --new-window %i \"%U\"");
    EXPECT_EQ(QueryHtmlOpenCommand(), "\"/opt/Web Browser/browser\" --new-window %i \"%U\"");
    EXPECT_GT(OpenHyperlink(kAddress, kShowNormal, shell_), 31);
    ASSERT_EQ(shell_.started.size(), 1u);
    EXPECT_EQ(shell_.started[0], (QStringList{"/opt/Web Browser/browser", "--new-window",
                                              QString::fromLatin1(kAddress)}));
}

TEST_F(HyperlinkTest, WithoutAssociationTheShellsFailureIsReturnedAndNothingStarts) {
    shell_.openWorks = false;
    EXPECT_FALSE(QueryHtmlOpenCommand().has_value());
    EXPECT_EQ(OpenHyperlink(kAddress, kShowNormal, shell_), kNoAssociation);
    EXPECT_TRUE(shell_.started.empty());
}

TEST_F(HyperlinkTest, BrowserThatWillNotStartGivesAFailure) {
    shell_.openWorks = false;
    shell_.startWorks = false;
    Associate("browser %u");
    EXPECT_LE(OpenHyperlink(kAddress, kShowNormal, shell_), 31);
    EXPECT_EQ(shell_.started.size(), 1u);
}

TEST(HelpFolderTest, HelpFolderIsBesideTheProgramWithOneSeparatorBetweenParts) {
    EXPECT_EQ(HelpFolderFor("/opt/tavelo"), "/opt/tavelo/help/");
    EXPECT_EQ(HelpFolderFor("/opt/tavelo/"), "/opt/tavelo/help/");
}

TEST(HelpFolderTest, InstalledProgramFindsItsPagesUnderShare) {
    TempDir prefix;
    std::filesystem::create_directories(prefix.path() / "bin");
    std::filesystem::create_directories(prefix.path() / "share" / "tavelo" / "help");
    const std::string bin = (prefix.path() / "bin").string();
    EXPECT_EQ(HelpFolderFor(bin), (prefix.path() / "share" / "tavelo" / "help").string() + "/");
    // A help folder beside the program comes first.
    std::filesystem::create_directories(prefix.path() / "bin" / "help");
    EXPECT_EQ(HelpFolderFor(bin), bin + "/help/");
}

}  // namespace
