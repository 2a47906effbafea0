#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "album/file_output.h"
#include "support/temp_dir.h"

namespace {

using Opener = std::unique_ptr<CFileOutput> (*)(const std::string&, std::string&);

bool Replace(Opener open, const std::string& path, const std::string& bytes, std::string& error) {
    std::unique_ptr<CFileOutput> output = open(path, error);
    if (!output) {
        return false;
    }
    const bool done =
        output->Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) &&
        output->Commit();
    if (!done) {
        error = output->Error();
    }
    return done;
}

std::string Text(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadAll(path);
    return {bytes.begin(), bytes.end()};
}

// A process id that no process has: a child's, once it has ended.
pid_t EndedProcess() {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    return child;
}

// Runs `write` in a child that sees `folder` as a read-only file system (a mount of its own, in
// namespaces of its own) and gives back what it said; none where the system lets it mount none.
std::optional<std::string> OnReadOnlyFileSystem(const std::filesystem::path& folder,
                                                const std::function<std::string()>& write) {
    int ends[2];
    if (pipe(ends) != 0) {
        return std::nullopt;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        const int spaces = geteuid() == 0 ? CLONE_NEWNS : CLONE_NEWUSER | CLONE_NEWNS;
        if (unshare(spaces) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
            mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr)) {
            _exit(1);
        }
        const std::string said = write();
        _exit(::write(ends[1], said.data(), said.size()) == static_cast<ssize_t>(said.size()) ? 0
                                                                                              : 1);
    }
    close(ends[1]);
    std::string said;
    char buffer[256];
    for (ssize_t got = 0; (got = read(ends[0], buffer, sizeof buffer)) > 0;) {
        said.append(buffer, static_cast<std::size_t>(got));
    }
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? std::optional(said) : std::nullopt;
}

int FailingSync(int) {
    errno = EIO;
    return -1;
}

class FileOutputTest : public ::testing::TestWithParam<Opener> {
protected:
    TempDir dir_;
};

}  // namespace

TEST_P(FileOutputTest, ReplacesRegularFilesAndLinksAliveOrDanglingAndRefusesTheRest) {
    std::string error;
    const std::string album = dir_.File("album.pdb");
    ASSERT_TRUE(Replace(GetParam(), album, "new", error)) << error;
    ASSERT_TRUE(Replace(GetParam(), album, "newer", error)) << error;
    EXPECT_EQ(Text(album), "newer");

    // Both kinds of link are followed: the file they name is written, the link stays.
    std::filesystem::create_symlink(album, dir_.File("live.pdb"));
    std::filesystem::create_symlink(dir_.File("later.pdb"), dir_.File("dangling.pdb"));
    ASSERT_TRUE(Replace(GetParam(), dir_.File("live.pdb"), "through a link", error)) << error;
    ASSERT_TRUE(Replace(GetParam(), dir_.File("dangling.pdb"), "made through a link", error))
        << error;
    EXPECT_EQ(Text(album), "through a link");
    EXPECT_EQ(Text(dir_.File("later.pdb")), "made through a link");
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.File("dangling.pdb")));

    ASSERT_EQ(mkfifo(dir_.File("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(Replace(GetParam(), dir_.File("pipe"), "x", error));
    EXPECT_EQ(error, "is not a regular file");
    EXPECT_FALSE(Replace(GetParam(), "/dev/null", "x", error));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    // A pipe reached through the system's own link for a descriptor, as /dev/stdout can be.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    EXPECT_FALSE(Replace(GetParam(), "/proc/self/fd/" + std::to_string(ends[1]), "x", error));
    EXPECT_EQ(error, "is not a regular file");
    close(ends[0]);
    close(ends[1]);
    EXPECT_FALSE(Replace(GetParam(), dir_.path().string(), "x", error));
    EXPECT_EQ(error, "is a folder");
    chmod(album.c_str(), 0444);
    EXPECT_FALSE(Replace(GetParam(), album, "x", error));
    EXPECT_EQ(error, "the file is read-only");
    EXPECT_EQ(Text(album), "through a link");
    EXPECT_EQ(EntryCount(dir_.path()), 5u);  // nothing of ours left beside them
}

TEST_P(FileOutputTest, AnotherUsersLinkInASharedStickyFolderIsNotFollowed) {
    std::ifstream setting("/proc/sys/fs/protected_symlinks");
    int protectedLinks = 0;
    setting >> protectedLinks;
    if (geteuid() != 0 || protectedLinks != 1) {
        GTEST_SKIP() << "needs root and the kernel's protected_symlinks";
    }
    const std::string victim = dir_.File("victim");
    WriteAll(victim, "not yours");
    std::filesystem::create_directory(dir_.path() / "shared");
    ASSERT_EQ(chmod((dir_.path() / "shared").c_str(), 01777), 0);
    const std::string link = dir_.File("shared/album.pdb");
    std::filesystem::create_symlink(victim, link);
    ASSERT_EQ(lchown(link.c_str(), 65534, 65534), 0);  // nobody's link
    std::string error;
    EXPECT_FALSE(Replace(GetParam(), link, "replaced", error));
    EXPECT_EQ(error, "the link cannot be followed (Permission denied)");
    EXPECT_EQ(Text(victim), "not yours");
}

TEST_P(FileOutputTest, AFullDiskKeepsTheOldFileAndSaysSo) {
    const std::string album = dir_.File("album.pdb");
    WriteAll(album, "the previous album");
    std::string error;
    const bool written = WithFileSizeLimit(
        100, [&] { return Replace(GetParam(), album, std::string(4096, 'x'), error); });
    EXPECT_FALSE(written);
    EXPECT_EQ(error, "File too large");
    EXPECT_EQ(Text(album), "the previous album");
    EXPECT_EQ(EntryCount(dir_.path()), 1u);
}

TEST_P(FileOutputTest, AReplacedFileKeepsItsRightsAndOneTheDiskDidNotTakeKeepsTheOldFile) {
    const std::string album = dir_.File("album.pdb");
    WriteAll(album, "old");
    ASSERT_EQ(chmod(album.c_str(), 0640), 0);
    std::string error;
    ASSERT_TRUE(Replace(GetParam(), album, "new", error)) << error;
    struct stat replaced {};
    ASSERT_EQ(stat(album.c_str(), &replaced), 0);
    EXPECT_EQ(replaced.st_mode & 07777, 0640u);
    SetSyncCall(&FailingSync);
    const bool written = Replace(GetParam(), album, "newer", error);
    SetSyncCall(nullptr);
    EXPECT_FALSE(written);
    EXPECT_EQ(error, "Input/output error");
    EXPECT_EQ(Text(album), "new");
    EXPECT_EQ(EntryCount(dir_.path()), 1u);
}

TEST_P(FileOutputTest, AReadOnlyFileSystemIsNamedAndKeepsTheOldFile) {
    const std::string album = dir_.File("album.pdb");
    WriteAll(album, "old");
    // The check the batch tool makes before it builds says the same.
    const std::optional<std::string> said = OnReadOnlyFileSystem(dir_.path(), [&] {
        std::string written;
        std::string checked;
        std::string resolved;
        (void)Replace(GetParam(), album, "new", written);
        (void)ResolveOutputPath(album, resolved, checked);
        return written + " | " + checked;
    });
    if (!said) {
        GTEST_SKIP() << "no mount namespace here for a read-only file system";
    }
    EXPECT_EQ(*said,
              "the folder does not take new files (Read-only file system) | "
              "the folder does not take new files (Read-only file system)");
    EXPECT_EQ(Text(album), "old");
}

TEST_P(FileOutputTest, AWriteKilledHalfWayLeavesNothingOnceTheNextOneIsDone) {
    const std::string album = dir_.File("album.pdb");
    const pid_t child = fork();
    if (child == 0) {
        std::string error;
        std::unique_ptr<CFileOutput> output = GetParam()(album, error);
        const std::string half(100000, 'h');
        if (output &&
            output->Write(reinterpret_cast<const std::uint8_t*>(half.data()), half.size())) {
            raise(SIGKILL);
        }
        _exit(1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    // A temporary file another writer left, whose process still runs, is not touched.
    const std::string running = dir_.File(TemporaryFileName(getpid(), 999999));
    WriteAll(running, "still being written");
    WriteAll(dir_.File(TemporaryFileName(EndedProcess(), 7)), "left by a killed writer");
    std::string error;
    ASSERT_TRUE(Replace(GetParam(), album, "whole", error)) << error;
    EXPECT_EQ(Text(album), "whole");
    EXPECT_TRUE(std::filesystem::exists(running));
    EXPECT_EQ(EntryCount(dir_.path()), 2u);
}

// The leftovers are looked for at a run's first write into a folder, not at every write: a
// folder taking thousands of files would otherwise be read thousands of times.
TEST_P(FileOutputTest, LeftoversAreLookedForOnceARunInEachFolder) {
    const std::string before = dir_.File(TemporaryFileName(EndedProcess(), 1));
    WriteAll(before, "left by a killed writer");
    std::string error;
    ASSERT_TRUE(Replace(GetParam(), dir_.File("a.png"), "a", error)) << error;
    EXPECT_FALSE(std::filesystem::exists(before));
    const std::string later = dir_.File(TemporaryFileName(EndedProcess(), 2));
    WriteAll(later, "left since");
    ASSERT_TRUE(Replace(GetParam(), dir_.File("b.png"), "b", error)) << error;
    EXPECT_TRUE(std::filesystem::exists(later));
}

INSTANTIATE_TEST_SUITE_P(TemporaryFile, FileOutputTest,
                         ::testing::Values(&OpenSystemFileOutput, &OpenNamedSystemFileOutput),
                         [](const ::testing::TestParamInfo<Opener>& info) {
                             return info.param == &OpenSystemFileOutput ? "Unnamed" : "Named";
                         });
