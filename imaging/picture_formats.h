#pragma once

#include <array>
#include <string>
#include <string_view>

// The picture formats the programs read, in one table: the loader's messages, the extensions an
// album takes, the Add Files dialog's filter and the batch tool's words come from it, and a test
// holds the desktop entry's types to it.
struct CPictureFormat {
    std::string_view name;                       // as messages name it
    std::string_view dialogLabel;                // its own line in the Add Files dialog
    int dialogLine;                              // where that line stands among the formats
    std::array<std::string_view, 2> extensions;  // with the dot, lower case; unused ones empty
    std::array<std::string_view, 2> mimeTypes;   // unused ones empty
};

// In the order the dialog's "all readable" patterns list them; the dialog's own lines for
// each format keep the order they have always had (JPEG, GIF, BMP first).
inline constexpr std::array<CPictureFormat, 6> kPictureFormats = {{
    {"JPEG", "Jpeg File", 0, {".jpg", ".jpeg"}, {"image/jpeg", ""}},
    {"BMP", "Bitmap Files", 2, {".bmp", ""}, {"image/bmp", ""}},
    {"GIF", "Gif file", 1, {".gif", ""}, {"image/gif", ""}},
    {"PNG", "Png File", 3, {".png", ""}, {"image/png", ""}},
    {"WebP", "WebP File", 4, {".webp", ""}, {"image/webp", ""}},
    {"HEIC", "Heif File", 5, {".heic", ".heif"}, {"image/heic", "image/heif"}},
}};

// The formats' names as a list whose last two are joined by `lastJoin` ("and", "or").
std::string PictureFormatNames(std::string_view lastJoin);
// Every extension, the last two joined by `lastJoin`: ".jpg, .jpeg, ... or .heif".
std::string PictureExtensionList(std::string_view lastJoin);
// The Add Files dialog's filter, as description|patterns pairs ending in "||".
std::string PictureDialogFilter();

// What a refusal of a foreign picture adds, wherever the format is found out.
std::string FormatsRead();
