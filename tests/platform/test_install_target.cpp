#include <map>
#include <tuple>

#include <gtest/gtest.h>

#include "platform/install_target.h"

namespace {

// Users and their folders as given, each answer cut to its buffer as a library does.
class FakeInstallLibrary : public CInstallLibrary {
public:
    std::vector<std::string> users;
    std::map<std::string, std::string> folders;

    std::int16_t GetUserCount() override { return static_cast<std::int16_t>(users.size()); }
    std::string GetUserName(std::int16_t index, std::size_t bufferSize) override {
        return index >= 0 && index < GetUserCount()
                   ? FitToBuffer(users[static_cast<std::size_t>(index)], bufferSize)
                   : "";
    }
    std::string GetUserInstallDir(const std::string& user, std::size_t bufferSize) override {
        const auto found = folders.find(user);
        return found == folders.end() ? "" : FitToBuffer(found->second, bufferSize);
    }
    void PrepareInstall(const std::string&, const std::string&) override {}
    std::int32_t InstallFile(const std::string&, const std::string&) override { return 0; }
};

CInstallTarget TargetFor(const std::string& user, const std::string& folder,
                         const std::string& title = "Trip") {
    FakeInstallLibrary library;
    library.users = {user};
    library.folders[user] = folder;
    return FindInstallTarget(library, 0, title);
}

TEST(AlbumFileNameTest, TitlesBecomeNamesOfOneFileThatIsNotHidden) {
    const std::tuple<const char*, const char*, std::string> cases[] = {
        {"Summer 2024 / Crete", ".json", "Summer 2024 - Crete.json"},
        {"  a\\b\tc\x7f  ", ".pdb", "a-bc.pdb"},
        {"..hidden. ", ".pdb", "hidden..pdb"},
        {"/", ".pdb", "-.pdb"},
        {" .. ", ".pdb", ""},
        {"\n", ".pdb", ""}};
    for (const auto& [title, extension, name] : cases) {
        EXPECT_EQ(AlbumFileName(title, extension), name) << title;
    }
    // Cut to 255 bytes with the extension, before a two-byte character that would not fit.
    std::string title;
    for (int i = 0; i < 200; ++i) {
        title += "\xc3\xa9";
    }
    EXPECT_EQ(AlbumFileName(title, ".pdb"), title.substr(0, 250) + ".pdb");
}

TEST(InstallTargetTest, TheAlbumGoesIntoTheUsersFolderUnderItsTitle) {
    const CInstallTarget target = TargetFor("Alice", "/data/install/Alice/", "Summer / Crete");
    EXPECT_EQ(target.problem, EInstallTargetProblem::None);
    EXPECT_EQ(target.user, "Alice");
    EXPECT_EQ(target.path, "/data/install/Alice/Summer - Crete.pdb");
    EXPECT_EQ(target.message, "");
    const CInstallTarget untitled = TargetFor("Alice", "/data/install/Alice", " ");
    EXPECT_EQ(untitled.problem, EInstallTargetProblem::NoTitle);
    EXPECT_EQ(untitled.path, "");
}

TEST(InstallTargetTest, AUserNameThatNamesNoFolderGivesAMessageAndNoPath) {
    // A name of 300 bytes is whole in the message's start, never cut into another user's.
    const std::string longName(300, 'n');
    for (const std::string& user :
         {longName, std::string(".."), std::string("."), std::string("a/b"), std::string()}) {
        const CInstallTarget target = TargetFor(user, "/data/install/" + user);
        EXPECT_EQ(target.problem, EInstallTargetProblem::UnusableUser) << user;
        EXPECT_EQ(target.path, "") << user;
        EXPECT_NE(target.message.find("\"" + user.substr(0, 60)), std::string::npos) << user;
    }
    FakeInstallLibrary none;
    EXPECT_EQ(FindInstallTarget(none, 0, "Trip").problem, EInstallTargetProblem::UnusableUser);
}

TEST(InstallTargetTest, AFolderThatIsNotAPlainAbsoluteFolderGivesNoPath) {
    for (const std::string& folder : {std::string(), std::string("/"), std::string("//"),
                                      std::string("install/Alice"), std::string("/data/../etc"),
                                      std::string("/data/./Alice"), "/" + std::string(4094, 'f')}) {
        const CInstallTarget target = TargetFor("Alice", folder);
        EXPECT_EQ(target.problem, EInstallTargetProblem::UnusableFolder) << folder;
        EXPECT_EQ(target.path, "") << folder;
        EXPECT_NE(target.message.find("\"Alice\""), std::string::npos);
    }
    // The longest folder that leaves room for the file name still takes it.
    const std::string deep = "/" + std::string(4085, 'f');
    EXPECT_EQ(TargetFor("Alice", deep).path, deep + "/Trip.pdb");
    EXPECT_EQ(TargetFor("Alice", deep + "f").path, "");
}

}  // namespace
