#pragma once

#include <string>

#include "album/album_file_reader.h"

// Reads an album file from disk for the batch tool's inspect and extract and the desktop
// program's handheld view: only a regular file no larger than the largest album file is read
// (a pipe or a device never blocks or floods the reader), then it is checked whole as
// ReadAlbumFile checks it. False, with `error` saying why.
[[nodiscard]] bool LoadAlbumFile(const std::string& path, CAlbumFile& album, std::string& error);
