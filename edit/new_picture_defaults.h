#pragma once

#include <cstdint>

#include "album/album_rules.h"

// What a picture added to the album starts with: the size limit and Crop last chosen on the
// Size page with Update or Apply to All, and the depth last chosen on the Color page.
struct CNewPictureDefaults {
    std::int16_t limitWidth = kScreenSide;
    std::int16_t limitHeight = kScreenSide;
    std::uint8_t crop = 1;
    std::uint8_t depth = 8;
};

// Kept between runs in the settings store; a value that is missing or not one the pages offer
// gives the default.
CNewPictureDefaults LoadNewPictureDefaults();
void SaveNewPictureDefaults(const CNewPictureDefaults& defaults);
