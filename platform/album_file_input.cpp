#include "platform/album_file_input.h"

#include <cerrno>
#include <cstdint>
#include <vector>

#include <unistd.h>

#include "album/album_database.h"
#include "album/file_input.h"
#include "album/file_output.h"

// The open file, read where the reader asks.
class CAlbumFileInput::CFileBytes : public CAlbumBytes {
public:
    CFileBytes(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}
    ~CFileBytes() override { ::close(m_fd); }
    CFileBytes(const CFileBytes&) = delete;
    CFileBytes& operator=(const CFileBytes&) = delete;

    std::uint64_t Size() const override { return m_size; }

    bool Read(std::uint64_t offset, std::size_t size, std::uint8_t* out) override {
        while (size > 0) {
            const ssize_t got = ::pread(m_fd, out, size, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return false;  // an error, or a file that shrank since it was opened
            }
            out += got;
            offset += static_cast<std::uint64_t>(got);
            size -= static_cast<std::size_t>(got);
        }
        return true;
    }

private:
    int m_fd;
    std::uint64_t m_size;
};

CAlbumFileInput::CAlbumFileInput() = default;
CAlbumFileInput::~CAlbumFileInput() = default;

bool CAlbumFileInput::Open(const std::string& path, std::string& error) {
    m_file.reset();
    m_album = CAlbumFile();
    OpenProblem problem = OpenProblem::None;
    std::uint64_t size = 0;
    const int fd = OpenRegularFile(path, problem, size);
    if (fd < 0) {
        error = problem == OpenProblem::NotFound     ? "file not found"
                : problem == OpenProblem::NotRegular ? "not a regular file"
                                                     : "cannot be read: " + SystemErrorText(errno);
        return false;
    }
    auto file = std::make_unique<CFileBytes>(fd, size);
    if (size > album_layout::kMaxAlbumFileSize) {
        error = "larger than any album file (" + std::to_string(album_layout::kMaxAlbumFileSize) +
                " bytes at most)";
        return false;
    }
    if (!ReadAlbumIndex(*file, m_album, error)) {
        return false;
    }
    m_file = std::move(file);
    return true;
}

bool CAlbumFileInput::ReadImage(std::size_t index, std::vector<std::uint8_t>& image,
                                std::string& error) {
    if (!m_file) {
        error = "no album file is open";
        return false;
    }
    return ReadPictureImage(*m_file, m_album, index, image, error);
}

bool LoadAlbumFile(const std::string& path, CAlbumFile& album, std::string& error) {
    CAlbumFileInput input;
    if (!input.Open(path, error)) {
        return false;
    }
    album = input.Album();
    for (std::size_t i = 0; i < album.pictures.size(); ++i) {
        if (!input.ReadImage(i, album.pictures[i].image, error)) {
            error = "picture " + std::to_string(i + 1) + ": " + error;
            return false;
        }
    }
    return true;
}
