#include <fstream>
#include <vector>

#include <gtest/gtest.h>

#include "platform/environment_scope.h"
#include "platform/recording_shell.h"
#include "platform/shell.h"
#include "support/temp_dir.h"

namespace {

constexpr char kAddress[] = "http://www.lumivale.com/cgi-bin/promo.pl?promo=a&URL=http://x/";

// The command is cut at the placeholder (at the quote before it when quoted, the quoted one
// winning) and the address follows after a space; without a placeholder it is appended.
TEST(RewriteOpenCommandTest, CommandIsCutAtItsPlaceholderAndTheAddressAppended) {
    const std::pair<const char*, const char*> cases[] = {
        {"\"C:\\Program Files\\Browser\\browse.exe\" -nohome \"%1\"",
         "\"C:\\Program Files\\Browser\\browse.exe\" -nohome  http://a/"},
        {"browser \"%u\" --tail", "browser  http://a/"},
        {"/usr/bin/firefox-esr %u", "/usr/bin/firefox-esr  http://a/"},
        {"chromium --new-window %U", "chromium --new-window  http://a/"},
        {"iexplore.exe %1", "iexplore.exe  http://a/"},
        {"viewer %1 -x \"%1\"", "viewer %1 -x  http://a/"},
        {"browser -remote", "browser -remote http://a/"},
        {"browser %f", "browser %f http://a/"},
    };
    for (const auto& [command, rewritten] : cases) {
        EXPECT_EQ(RewriteOpenCommand(command, "http://a/"), rewritten) << command;
    }
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
            << "[Added Associations]\ntext/html=other.desktop;\n[Default Applications]\n"
               "image/png=viewer.desktop\ntext/html=missing.desktop;web.desktop;\n";
        std::ofstream(dir_.path() / "data-dirs" / "applications" / "web.desktop")
            << "[Desktop Entry]\nName=Web\nExec=" << exec << "\n[Desktop Action new]\nExec=wrong\n";
    }

    TempDir dir_;
    EnvironmentScope env_;
    CRecordingShell shell_;
};

TEST_F(HyperlinkTest, TheShellOpensTheAddressElseTheHtmlBrowserIsStartedWithIt) {
    shell_.openWorks = false;
    EXPECT_FALSE(QueryHtmlOpenCommand().has_value());
    EXPECT_EQ(OpenHyperlink(kAddress, kShowNormal, shell_), kNoAssociation);

    Associate("browser %u");
    shell_.openWorks = true;
    EXPECT_GT(OpenHyperlink(kAddress, kShowNormal, shell_), 32);
    ASSERT_EQ(shell_.opened.size(), 2u);
    EXPECT_EQ(shell_.opened[1].toString(), QString::fromLatin1(kAddress));
    EXPECT_TRUE(shell_.started.empty());

    shell_.openWorks = false;
    Associate("\"/opt/Web Browser/browser\" --new-window %i \"%U\"");
    EXPECT_EQ(QueryHtmlOpenCommand(), "\"/opt/Web Browser/browser\" --new-window %i \"%U\"");
    EXPECT_GT(OpenHyperlink(kAddress, kShowNormal, shell_), 31);
    ASSERT_EQ(shell_.started.size(), 1u);
    EXPECT_EQ(shell_.started[0], (QStringList{"/opt/Web Browser/browser", "--new-window",
                                              QString::fromLatin1(kAddress)}));

    shell_.startWorks = false;
    EXPECT_LE(OpenHyperlink(kAddress, kShowNormal, shell_), 31);
    EXPECT_EQ(shell_.started.size(), 2u);
}

TEST(HelpFolderTest, HelpFolderIsBesideTheProgramElseUnderShare) {
    EXPECT_EQ(HelpFolderFor("/opt/tavelo"), "/opt/tavelo/help/");
    EXPECT_EQ(HelpFolderFor("/opt/tavelo/"), "/opt/tavelo/help/");
    TempDir prefix;
    const std::string bin = (prefix.path() / "bin").string();
    std::filesystem::create_directories(prefix.path() / "share" / "tavelo" / "help");
    std::filesystem::create_directories(bin);
    EXPECT_EQ(HelpFolderFor(bin), (prefix.path() / "share" / "tavelo" / "help").string() + "/");
    std::filesystem::create_directories(bin + "/help");
    EXPECT_EQ(HelpFolderFor(bin), bin + "/help/");
}

}  // namespace
