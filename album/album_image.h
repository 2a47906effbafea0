#pragma once

#include <cstdint>
#include <string>

#include "album/album_rules.h"

// One album entry: where a picture comes from and how it is to be adjusted. No pixels.
// The path is the system's bytes; texts are UTF-8 here and become the handheld's code page
// only in the file.
class CAlbumImage {
public:
    CAlbumImage() = default;

    // Fits (width, height) into the size limit; with Crop at the full-screen limit, the
    // picture is then scaled to cover the whole 160 x 160 window. A side never drops below
    // one pixel.
    void FitToSizeLimit(std::int16_t& width, std::int16_t& height) const;

    bool operator==(const CAlbumImage&) const = default;

    std::string m_sourcePath;
    std::int32_t m_horizontalOffset = 0;
    std::int32_t m_verticalOffset = 0;
    std::uint8_t m_colorDepth = 8;
    std::int16_t m_brightness = kSliderNeutral;
    std::int16_t m_contrast = kSliderNeutral;
    std::uint8_t m_dither = 0;
    std::string m_title;
    std::string m_note;
    std::uint8_t m_crop = 1;
    std::int16_t m_sizeLimitWidth = kScreenSide;
    std::int16_t m_sizeLimitHeight = kScreenSide;
};
