#pragma once

#include <cstdint>

#include "album/album_rules.h"

// The size limit a picture added to the album starts with: the one last chosen on the Size page
// with Update or Apply to All in this run, the full screen before any. Everything else a new
// picture starts with is the entry's own default (8-bit colour, Crop on), whatever was chosen
// for the pictures before it.
struct CNewPictureDefaults {
    std::int16_t limitWidth = kScreenSide;
    std::int16_t limitHeight = kScreenSide;
};
