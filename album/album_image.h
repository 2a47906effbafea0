#pragma once

#include <cstdint>
#include <string>

// The adjustment settings of one picture, taken together (the entry keeps them as its own
// plain fields; this is the form in which they travel between the entry and its editors).
struct CImageSettings {
    std::int32_t horizontalOffset = 0;
    std::int32_t verticalOffset = 0;
    std::uint8_t colorDepth = 8;
    std::int16_t brightness = 127;
    std::int16_t contrast = 127;
    std::uint8_t dither = 0;
    std::uint8_t crop = 1;
    std::int16_t sizeLimitWidth = 160;
    std::int16_t sizeLimitHeight = 160;

    bool operator==(const CImageSettings&) const = default;
};

// One album entry: where a picture comes from and how it is to be adjusted. No pixels.
// Texts are UTF-8 here; they become the handheld's code page only in the file.
class CAlbumImage {
public:
    static constexpr std::int16_t kFullScreen = 160;

    CAlbumImage() = default;

    CImageSettings Settings() const;
    void SetSettings(const CImageSettings& settings);

    // Fits (width, height) into the size limit; with Crop at the full-screen limit, the
    // picture is then scaled to cover the whole 160 x 160 window. A side never drops below
    // one pixel.
    void FitToSizeLimit(std::int16_t& width, std::int16_t& height) const;

    std::string m_sourcePath;
    std::int32_t m_horizontalOffset = 0;
    std::int32_t m_verticalOffset = 0;
    std::uint8_t m_colorDepth = 8;
    std::int16_t m_brightness = 127;
    std::int16_t m_contrast = 127;
    std::uint8_t m_dither = 0;
    std::string m_title;
    std::string m_note;
    std::uint8_t m_crop = 1;
    std::int16_t m_sizeLimitWidth = 160;
    std::int16_t m_sizeLimitHeight = 160;
};
