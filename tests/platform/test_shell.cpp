#include <filesystem>

#include <gtest/gtest.h>

#include "platform/shell.h"
#include "support/temp_dir.h"

namespace {

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
