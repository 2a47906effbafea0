#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "album/album_image.h"
#include "album/prepared_album.h"
#include "imaging/dib.h"

// The steps of a save that follow loading a picture, shared by the desktop program and the
// batch tool: both load the file into a 24-bit CDib first and hand it over here.

// Fits, resamples, adjusts and (with Crop) cuts the crop window of a loaded picture, and
// returns it as a prepared picture with the entry's depth, dither and text. Offsets beyond
// the largest crop position are clamped to it. None when a bitmap cannot be made, or for a
// depth other than 4, 8 or 16 or a size limit below one pixel.
std::unique_ptr<CPreparedPicture> PreparePicture(const CAlbumImage& entry, const CDib& loaded);

// The last step of PreparePicture: the prepared picture from the working bitmap (the loaded
// picture already fitted, resampled and adjusted), with Crop the window at the entry's offsets.
std::unique_ptr<CPreparedPicture> PrepareFromWorking(const CAlbumImage& entry, const CDib& working);

// Puts the entry's crop window in the middle of the picture as fitted from a loaded size.
void CenterCropWindow(CAlbumImage& entry, std::int32_t width, std::int32_t height);

// Makes the 24 x 24 album icon from the central square of a loaded picture that covers three
// quarters of its shorter side. `icon` must be a created 24 x 24, 24-bit bitmap; it is left
// as it was on failure.
[[nodiscard]] bool MakeIconFromPicture(const CDib& loaded, CDib& icon);

// The square MakeIconFromPicture takes: side and top-left corner.
struct CIconSquare {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t side = 0;
};
CIconSquare IconSquare(std::int32_t width, std::int32_t height);

// A title as the file can carry it: the handheld splits title from note at the first line
// feed and ends the text at a zero byte, so line breaks and other control characters become
// spaces and zero bytes go.
std::string CleanTitle(std::string_view title);
// A note as the file can carry it: zero bytes go; line breaks stay.
std::string CleanNote(std::string_view note);
// Title, a line feed, note, each cleaned: UTF-8 in, the handheld's code page (Windows-1252)
// out.
std::string HandheldText(std::string_view title, std::string_view note);
