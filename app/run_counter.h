#pragma once

#include <cstdint>

// The number of banners that take turns, one per start of the program.
inline constexpr std::int16_t kBannerCount = 5;

// Counts this start in the settings store ("run count" under the program's key) and returns
// the banner index it shows, 0 to 4: the first start ever stores 0 and shows banner 0, every
// later one adds 1 and shows the count modulo 5. A store that cannot be read or written
// gives banner 0.
std::int16_t AdvanceRunCounter();

// Bitmap and link string of a banner index.
int BannerBitmapId(std::int16_t bannerIndex);
int BannerLinkId(std::int16_t bannerIndex);
