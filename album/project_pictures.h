#pragma once

#include <string>
#include <string_view>

#include "album/album.h"

// What makes the window and the batch tool refuse a picture that an album project names, by
// its name alone, so that both say the same: a name without a picture extension, or one
// holding a zero byte (the system would end the name there and open another file).

// Why the picture file at `path` cannot be one of an album's, in a few words; empty when it
// can.
std::string PictureNameProblem(std::string_view path);

// The first of the album's pictures, then its icon picture, whose name PictureNameProblem
// refuses: false, with that path and the reason.
[[nodiscard]] bool CheckPictureNames(const CAlbum& album, std::string& path, std::string& reason);
