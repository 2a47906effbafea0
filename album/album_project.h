#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "album/album.h"

// An album as a JSON text, the batch tool's ALBUM.json and the desktop program's album project
// alike: title, note, icon and every picture with all of its settings.
//
//     {"title": "Trip", "note": "Day 1", "icon": 0,
//      "pictures": [{"path": "beach.jpg", "title": "beach", "note": "", "depth": 8,
//                    "brightness": 127, "contrast": 127, "dither": false, "crop": true,
//                    "limit": [160, 160], "offset": [0, 0]}]}
//
// Every key may be left out and takes the value a new album or picture has; a key not listed
// here is refused, as are titles over 255 characters and notes over 4,096. "icon" is the
// index of a picture, null for a black icon, or the path of a picture file outside the album.
// Relative paths are taken from `folder` (the system's bytes), usually the JSON file's own.

// The largest album project read: a thousand pictures with the longest notes fit many times.
inline constexpr std::size_t kLargestAlbumProject = std::size_t{16} << 20;

// Reads the text into `album` (a UTF-8 byte-order mark first is skipped); false, with `error`
// saying what and where, for malformed JSON or a value out of range. Pictures' files are not looked
// at.
[[nodiscard]] bool ReadAlbumProject(std::string_view text, const std::string& folder, CAlbum& album,
                                    std::string& error);

// The album as JSON, with paths relative to `folder` where they lie inside it.
std::string WriteAlbumProject(const CAlbum& album, const std::string& folder);
