#include "platform/album_file_input.h"

#include <cerrno>
#include <cstdint>
#include <new>
#include <vector>

#include <unistd.h>

#include "album/album_database.h"
#include "album/file_input.h"
#include "album/file_output.h"

namespace {

// A descriptor closed when it goes.
class CDescriptor {
public:
    explicit CDescriptor(int fd) : m_fd(fd) {}
    ~CDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    CDescriptor(const CDescriptor&) = delete;
    CDescriptor& operator=(const CDescriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

// Reads the whole of a regular file into `bytes`, with one buffer of the file's size.
bool ReadAlbumBytes(const std::string& name, std::vector<std::uint8_t>& bytes,
                    std::string& reason) {
    OpenProblem problem = OpenProblem::None;
    std::uint64_t size = 0;
    const CDescriptor file(OpenRegularFile(name, problem, size));
    if (file.Get() < 0) {
        reason = problem == OpenProblem::NotFound     ? "file not found"
                 : problem == OpenProblem::NotRegular ? "not a regular file"
                                                      : "cannot be read: " + SystemErrorText(errno);
        return false;
    }
    if (size > album_layout::kMaxAlbumFileSize) {
        reason = "larger than any album file (" + std::to_string(album_layout::kMaxAlbumFileSize) +
                 " bytes at most)";
        return false;
    }
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        reason = "not enough memory to read it";
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.Get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            reason = "cannot be read: " + SystemErrorText(errno);
            return false;
        }
        if (got == 0) {
            break;  // the file shrank since: what is there is what it holds
        }
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return true;
}

}  // namespace

bool LoadAlbumFile(const std::string& path, CAlbumFile& album, std::string& error) {
    std::vector<std::uint8_t> bytes;
    return ReadAlbumBytes(path, bytes, error) && ReadAlbumFile(bytes, album, error);
}
