#pragma once

#include <cstdint>
#include <string>

#include "platform/install_library.h"

// A file name made from an album title, ending in `extension` (".pdb", ".json"): separators
// become dashes, control characters go, blanks and leading dots are taken off the ends (a file
// that starts with a dot is hidden), and the name is cut, never inside a UTF-8 character, so
// that with the extension it fits the 255 bytes a file system takes. Empty when nothing of the
// title is left. "Summer 2024 / Crete" gives "Summer 2024 - Crete.pdb".
std::string AlbumFileName(const std::string& title, const std::string& extension);

// Whether the whole of a title goes into the album's file name, with nothing cut for length.
bool TitleFitsFileName(const std::string& title);

// Why an album cannot be written for a handheld user.
enum class EInstallTargetProblem {
    None,
    NoTitle,         // nothing of the title is left for a file name
    UnusableUser,    // the user name names no folder: empty, too long, ".", ".." or with a "/"
    UnusableFolder,  // the install library gave no usable folder for the user
};

struct CInstallTarget {
    std::string user;  // the user's whole name
    // The album's file: the user's install folder, "/", the file name from the title. Empty
    // when there is a problem.
    std::string path;
    EInstallTargetProblem problem = EInstallTargetProblem::None;
    // Why there is no path, naming the user, for a message; empty with a path.
    std::string message;
};

// Where Send To HotSync writes the album for user `userIndex` (from 0) of the library. Every
// step is checked: the user's name, the folder the library gives for it, the file name and the
// joined path, which is never outside that folder.
CInstallTarget FindInstallTarget(CInstallLibrary& library, std::int16_t userIndex,
                                 const std::string& albumTitle);
