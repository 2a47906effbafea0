#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "album/album_file_reader.h"

// Reads album files from disk for the batch tool's inspect and extract and the desktop
// program's handheld view: only a regular file no larger than the largest album file is read
// (a pipe or a device never blocks or floods the reader), and it is checked as ReadAlbumFile
// checks it.

// An album file held open once its index is read (ReadAlbumIndex), whose pictures are read one
// at a time: what is held is one picture, not the album.
class CAlbumFileInput {
public:
    CAlbumFileInput();
    ~CAlbumFileInput();
    CAlbumFileInput(const CAlbumFileInput&) = delete;
    CAlbumFileInput& operator=(const CAlbumFileInput&) = delete;

    // False, with `error` saying why, for a file that cannot be read or is no album.
    [[nodiscard]] bool Open(const std::string& path, std::string& error);
    // The album as ReadAlbumIndex gives it: every picture's image empty.
    const CAlbumFile& Album() const { return m_album; }
    // Picture `index`'s bitmap-file image (ReadPictureImage).
    [[nodiscard]] bool ReadImage(std::size_t index, std::vector<std::uint8_t>& image,
                                 std::string& error);

private:
    class CFileBytes;
    std::unique_ptr<CFileBytes> m_file;
    CAlbumFile m_album;
};

// The whole album, every picture's image with it. False, with `error` saying why.
[[nodiscard]] bool LoadAlbumFile(const std::string& path, CAlbumFile& album, std::string& error);
