#include "album/file_output.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <set>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr char kTemporaryPrefix[] = ".tvl-";
constexpr char kTemporarySuffix[] = ".tmp";
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as for any new file

std::atomic<unsigned> g_serial{0};

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size, std::string& error) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = SystemErrorText(errno);
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Gives the file the rights of the one it replaces, so that replacing keeps them.
void KeepRights(int fd, const fs::path& target) {
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        (void)::fchmod(fd, existing.st_mode & 07777);
    }
}

// A free name for a temporary file of this process in `folder`.
fs::path FreshTemporaryName(const fs::path& folder) {
    for (;;) {
        fs::path candidate = folder / TemporaryFileName(static_cast<long>(::getpid()), ++g_serial);
        struct stat existing {};
        if (::lstat(candidate.c_str(), &existing) != 0) {
            return candidate;
        }
    }
}

class CSystemFileOutput : public CFileOutput {
public:
    // `temporary` is empty for an unnamed file.
    CSystemFileOutput(int fd, fs::path target, fs::path temporary)
        : m_fd(fd), m_target(std::move(target)), m_temporary(std::move(temporary)) {}

    ~CSystemFileOutput() override {
        if (m_fd >= 0) {
            ::close(m_fd);  // an unnamed file vanishes with its last descriptor
        }
        if (!m_committed && !m_temporary.empty()) {
            ::unlink(m_temporary.c_str());
        }
    }

    bool Write(const std::uint8_t* data, std::size_t size) override {
        return m_fd >= 0 && WriteAll(m_fd, data, size, m_error);
    }

    bool Prepare() override {
        if (m_prepared) {
            return true;
        }
        if (m_fd < 0) {
            return false;
        }
        KeepRights(m_fd, m_target);
        if (SyncToDisk(m_fd) != 0) {
            m_error = SystemErrorText(errno);
            return false;
        }
        if (m_temporary.empty()) {
            // Name the finished file beside the target, then move it over the target.
            const fs::path named = FreshTemporaryName(m_target.parent_path());
            const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, named.c_str(), AT_SYMLINK_FOLLOW) != 0) {
                m_error = SystemErrorText(errno);
                return false;
            }
            m_temporary = named;
        }
        const int closed = ::close(m_fd);
        m_fd = -1;
        if (closed != 0) {
            m_error = SystemErrorText(errno);
            return false;
        }
        m_prepared = true;
        return true;
    }

    bool Commit() override {
        if (!Prepare()) {
            return false;
        }
        if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
            m_error = SystemErrorText(errno);
            return false;
        }
        m_committed = true;
        // The rename reaches the disk with its folder.
        const int folder =
            ::open(m_target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            (void)::fsync(folder);
            ::close(folder);
        }
        return true;
    }

private:
    int m_fd;
    fs::path m_target;
    fs::path m_temporary;
    bool m_prepared = false;
    bool m_committed = false;
};

// The process id in one of our temporary names; -1 for any other name.
long TemporaryOwner(std::string_view name) {
    const std::string_view prefix = kTemporaryPrefix;
    const std::string_view suffix = kTemporarySuffix;
    if (name.size() <= prefix.size() + suffix.size() || name.substr(0, prefix.size()) != prefix ||
        name.substr(name.size() - suffix.size()) != suffix) {
        return -1;
    }
    long owner = 0;
    std::size_t i = prefix.size();
    for (; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i) {
        owner = owner * 10 + (name[i] - '0');
        if (owner > 0x3FFFFFFF) {
            return -1;
        }
    }
    if (i == prefix.size() || i >= name.size() || name[i] != '-') {
        return -1;
    }
    for (++i; i < name.size() - suffix.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return -1;
        }
    }
    return owner;
}

bool ProcessRuns(long processId) {
    return processId > 0 && (::kill(static_cast<pid_t>(processId), 0) == 0 || errno != ESRCH);
}

// Leftovers of killed writers are looked for once a run in each folder: a folder that takes
// many files (an extract) would otherwise be read again, and each leftover's process looked
// up again, for every one of them.
void RemoveStaleTemporaryFilesOnce(const fs::path& folder) {
    static std::mutex mutex;
    static std::set<std::string> swept;
    std::error_code ec;
    const fs::path absolute = fs::absolute(folder, ec).lexically_normal();
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!ec && !swept.insert(absolute.native()).second) {
            return;
        }
    }
    RemoveStaleTemporaryFiles(folder.string());
}

std::unique_ptr<CFileOutput> OpenOutput(const std::string& path, std::string& error, bool unnamed) {
    std::string resolved;
    if (!ResolveOutputPath(path, resolved, error)) {
        return nullptr;
    }
    const fs::path target(resolved);
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    const fs::path absoluteTarget = folder / target.filename();
    RemoveStaleTemporaryFilesOnce(folder);
#ifdef O_TMPFILE
    if (unnamed && ::access("/proc/self/fd", X_OK) == 0) {
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, kNewFileMode);
        if (fd >= 0) {
            return std::make_unique<CSystemFileOutput>(fd, absoluteTarget, fs::path());
        }
    }
#endif
    // No unnamed files here: a named one that a later write removes if this one is killed.
    for (int attempt = 0; attempt < 64; ++attempt) {
        const fs::path temporary = FreshTemporaryName(folder);
        const int fd =
            ::open(temporary.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, kNewFileMode);
        if (fd >= 0) {
            return std::make_unique<CSystemFileOutput>(fd, absoluteTarget, temporary);
        }
        if (errno != EEXIST) {
            error = SystemErrorText(errno);
            return nullptr;
        }
    }
    error = "no free temporary name in the folder";
    return nullptr;
}

std::atomic<FileOutputFactory> g_factory{&OpenSystemFileOutput};
std::atomic<SyncCall> g_sync{&::fsync};

// Where the link at `path` leads, as the kernel follows it when this user opens the link for
// writing: a link the kernel would not follow for us (another user's, in a shared sticky
// folder) is not followed by hand either. A dangling link's file is made to learn where it
// would be, and removed again.
bool FollowLink(fs::path& path, std::string& error) {
    struct stat reached {};
    const bool exists = ::stat(path.c_str(), &reached) == 0;
    const int fd = ::open(
        path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (exists ? 0 : O_CREAT), 0600);
    if (fd < 0) {
        const int reason = errno;
        error = exists && reason == EACCES && ::access(path.c_str(), W_OK) != 0
                    ? "the file is read-only"
                    : "the link cannot be followed (" + SystemErrorText(reason) + ")";
        return false;
    }
    char target[PATH_MAX + 1];
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(self.c_str(), target, PATH_MAX);
    ::close(fd);
    if (length <= 0 || target[0] != '/') {
        error = "the link cannot be followed";
        return false;
    }
    path = std::string(target, static_cast<std::size_t>(length));
    if (!exists) {
        ::unlink(path.c_str());
    }
    return true;
}

}  // namespace

std::string TemporaryFileName(long processId, unsigned serial) {
    return kTemporaryPrefix + std::to_string(processId) + "-" + std::to_string(serial) +
           kTemporarySuffix;
}

void RemoveStaleTemporaryFiles(const std::string& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const long owner = TemporaryOwner(it->path().filename().native());
        if (owner > 0 && !ProcessRuns(owner) &&
            it->symlink_status(ec).type() == fs::file_type::regular) {
            ::unlink(it->path().c_str());
        }
    }
}

std::unique_ptr<CFileOutput> OpenSystemFileOutput(const std::string& path, std::string& error) {
    return OpenOutput(path, error, true);
}

std::unique_ptr<CFileOutput> OpenNamedSystemFileOutput(const std::string& path,
                                                       std::string& error) {
    return OpenOutput(path, error, false);
}

std::string SystemErrorText(int error) {
    return std::generic_category().message(error);
}

void SetSyncCall(SyncCall call) {
    g_sync.store(call != nullptr ? call : &::fsync);
}

int SyncToDisk(int fd) {
    return g_sync.load()(fd);
}

void SetFileOutputFactory(FileOutputFactory factory) {
    g_factory.store(factory != nullptr ? factory : &OpenSystemFileOutput);
}

std::unique_ptr<CFileOutput> OpenFileOutput(const std::string& path, std::string& error) {
    return g_factory.load()(path, error);
}

bool ResolveOutputPath(const std::string& path, std::string& resolved, std::string& error) {
    std::error_code ec;
    fs::path target(path);
    if (path.empty() || target.filename().empty()) {
        error = "no file name";
        return false;
    }
    // What the system reaches through the path, links and all: some links (a pipe behind
    // /dev/stdout) name no path that could be followed by hand.
    const fs::file_type reached = fs::status(target, ec).type();
    if (reached != fs::file_type::not_found && reached != fs::file_type::regular &&
        reached != fs::file_type::directory && reached != fs::file_type::none) {
        error = "is not a regular file";
        return false;
    }
    if (fs::is_symlink(fs::symlink_status(target, ec)) && !FollowLink(target, error)) {
        return false;
    }
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    if (!fs::is_directory(folder, ec)) {
        error = fs::exists(folder, ec) ? "its folder is not a folder" : "the folder does not exist";
        return false;
    }
    const fs::file_status status = fs::status(target, ec);
    if (status.type() == fs::file_type::directory) {
        error = "is a folder";
        return false;
    }
    if (status.type() != fs::file_type::not_found && status.type() != fs::file_type::regular) {
        error = "is not a regular file";
        return false;
    }
    // Root may write a file without write rights, but nobody should replace one unasked.
    if (status.type() == fs::file_type::regular &&
        (status.permissions() & (fs::perms::owner_write | fs::perms::group_write |
                                 fs::perms::others_write)) == fs::perms::none) {
        error = "the file is read-only";
        return false;
    }
    // The system's own reason where it has one ("Read-only file system").
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        error = "the folder does not take new files (" + SystemErrorText(errno) + ")";
        return false;
    }
    if (status.type() == fs::file_type::regular && ::access(target.c_str(), W_OK) != 0) {
        error = errno == EACCES ? "the file is read-only"
                                : "the file cannot be written (" + SystemErrorText(errno) + ")";
        return false;
    }
    resolved = target.string();
    return true;
}
