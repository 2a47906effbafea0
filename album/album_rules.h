#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/dib.h"

// The limits and rules of an album, in one place for both programs.

// Pictures an album holds at most; the file's index would have room for 1056.
inline constexpr std::size_t kMaxPictures = 1000;
// The handheld's screen: the preview's view, the crop window and the full-screen size limit.
inline constexpr std::int32_t kScreenSide = 160;
// The album icon's side, in pixels.
inline constexpr std::int32_t kIconSide = 24;
// The longest title and note, in characters: a handheld record holds at most about 64 KB, and
// longer texts make one it cannot load.
inline constexpr std::size_t kLongestTitleText = 255;
inline constexpr std::size_t kLongestNoteText = 4096;
// The largest picture side the program loads and resamples.
inline constexpr std::int32_t kMaxPictureSide = CDib::kMaxSide;

// Brightness and contrast sliders: 0..255, 127 leaving the picture unchanged.
inline constexpr std::int16_t kSliderMin = 0;
inline constexpr std::int16_t kSliderMax = 255;
inline constexpr std::int16_t kSliderNeutral = 127;

// Colour depths a picture is stored at: 4-bit grey, 8-bit palette colour, 16-bit colour.
inline constexpr std::array<std::uint8_t, 3> kStoredDepths = {4, 8, 16};
constexpr bool IsStoredDepth(int depth) {
    return depth == 4 || depth == 8 || depth == 16;
}

// Size limits: from the full screen up to 1280 x 1024.
inline constexpr std::int16_t kMinLimitWidth = 160;
inline constexpr std::int16_t kMinLimitHeight = 160;
inline constexpr std::int16_t kMaxLimitWidth = 1280;
inline constexpr std::int16_t kMaxLimitHeight = 1024;
constexpr bool IsValidSizeLimit(int width, int height) {
    return width >= kMinLimitWidth && width <= kMaxLimitWidth && height >= kMinLimitHeight &&
           height <= kMaxLimitHeight;
}

// The extension of a path's file name: from its last dot on; empty when it has none.
std::string_view PathExtension(std::string_view path);
// True for a path whose extension is one of a picture format the programs read, in any case.
bool HasPictureExtension(std::string_view path);
// A new picture's title: its file name without folder and extension, in its own case, as
// UTF-8. A name that is not UTF-8 was most likely written in the handheld's own code page
// (or Latin-1, its letters the same), and is read so: "caf\xE9.jpg" gives "café".
std::string PictureTitle(std::string_view path);

// Names in the order people count: digits compare as numbers ("img2" before "img10"),
// letters without regard to case, ties broken by the plain bytes.
bool NaturalLess(std::string_view a, std::string_view b);

// The picture files of a folder (and of its subfolders when `recursive`), in natural order of
// their paths, and how many other files it holds.
struct CFolderPictures {
    std::vector<std::string> pictures;
    std::size_t otherFiles = 0;
};
CFolderPictures ListFolderPictures(const std::string& folder, bool recursive);
