#include "album/file_output.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "album/clock.h"

namespace fs = std::filesystem;

namespace {

// The built-in output: a temporary file in the target's folder, renamed over the target.
class CNamedTemporaryOutput : public CFileOutput {
public:
    CNamedTemporaryOutput(fs::path target, fs::path temporary, std::FILE* file)
        : m_target(std::move(target)), m_temporary(std::move(temporary)), m_file(file) {}

    ~CNamedTemporaryOutput() override {
        if (m_file != nullptr) {
            std::fclose(m_file);
        }
        if (!m_committed) {
            std::error_code ec;
            fs::remove(m_temporary, ec);
        }
    }

    bool Write(const std::uint8_t* data, std::size_t size) override {
        if (m_file == nullptr) {
            return false;
        }
        if (size != 0 && std::fwrite(data, 1, size, m_file) != size) {
            m_error = SystemErrorText(errno);
            return false;
        }
        return true;
    }

    bool Prepare() override {
        if (m_prepared) {
            return true;
        }
        if (m_file == nullptr) {
            return false;
        }
        // The bytes reach the disk before the name does, or a crash could leave an empty album.
        const bool flushed = std::fflush(m_file) == 0 && SyncToDisk(fileno(m_file)) == 0;
        const int flushError = errno;
        const bool closed = std::fclose(m_file) == 0;
        m_file = nullptr;
        if (!flushed || !closed) {
            m_error = SystemErrorText(flushed ? errno : flushError);
            return false;
        }
        std::error_code ec;
        const fs::file_status existing = fs::status(m_target, ec);
        if (!ec && fs::is_regular_file(existing)) {
            fs::permissions(m_temporary, existing.permissions(), ec);  // keep the file's rights
        }
        m_prepared = true;
        return true;
    }

    bool Commit() override {
        if (!Prepare()) {
            return false;
        }
        std::error_code ec;
        fs::rename(m_temporary, m_target, ec);
        if (ec) {
            m_error = ec.message();
            return false;
        }
        m_committed = true;
        return true;
    }

private:
    fs::path m_target;
    fs::path m_temporary;
    std::FILE* m_file;
    bool m_prepared = false;
    bool m_committed = false;
};

std::unique_ptr<CFileOutput> OpenNamedTemporary(const std::string& path, std::string& error) {
    std::string resolved;
    if (!ResolveOutputPath(path, resolved, error)) {
        return nullptr;
    }
    const fs::path target(resolved);
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    static std::atomic<std::uint32_t> counter{0};
    const auto salt = static_cast<std::uint32_t>(CurrentTime());
    for (int attempt = 0; attempt < 64; ++attempt) {
        // Short, so that a target whose name is near the length limit still has a neighbour.
        char name[40];
        std::snprintf(name, sizeof name, ".tvl-%08x-%u.tmp", salt, ++counter);
        const fs::path temporary = folder / name;
        std::FILE* file = std::fopen(temporary.c_str(), "wbx");  // never reuse a file
        if (file != nullptr) {
            return std::make_unique<CNamedTemporaryOutput>(target, temporary, file);
        }
        if (errno != EEXIST) {
            error = SystemErrorText(errno);
            return nullptr;
        }
    }
    error = "no free temporary name in the folder";
    return nullptr;
}

std::atomic<FileOutputFactory> g_factory{&OpenNamedTemporary};
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
    g_factory.store(factory != nullptr ? factory : &OpenNamedTemporary);
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
    if (status.type() == fs::file_type::regular &&
        (status.permissions() & (fs::perms::owner_write | fs::perms::group_write |
                                 fs::perms::others_write)) == fs::perms::none) {
        error = "the file is read-only";
        return false;
    }
    resolved = target.string();
    return true;
}
