#include "album/album_image.h"

CImageSettings CAlbumImage::Settings() const {
    CImageSettings s;
    s.horizontalOffset = m_horizontalOffset;
    s.verticalOffset = m_verticalOffset;
    s.colorDepth = m_colorDepth;
    s.brightness = m_brightness;
    s.contrast = m_contrast;
    s.dither = m_dither;
    s.crop = m_crop;
    s.sizeLimitWidth = m_sizeLimitWidth;
    s.sizeLimitHeight = m_sizeLimitHeight;
    return s;
}

void CAlbumImage::SetSettings(const CImageSettings& s) {
    m_horizontalOffset = s.horizontalOffset;
    m_verticalOffset = s.verticalOffset;
    m_colorDepth = s.colorDepth;
    m_brightness = s.brightness;
    m_contrast = s.contrast;
    m_dither = s.dither;
    m_crop = s.crop;
    m_sizeLimitWidth = s.sizeLimitWidth;
    m_sizeLimitHeight = s.sizeLimitHeight;
}

namespace {

// Scaled sides are computed in double precision and truncated toward zero; a side that would
// vanish keeps one pixel, so that a bitmap can still be made of it and no later step divides
// by zero.
std::int16_t ScaledSide(std::int16_t side, double factor) {
    const auto scaled = static_cast<std::int32_t>(side * factor);
    return static_cast<std::int16_t>(scaled < 1 ? 1 : scaled);
}

}  // namespace

void CAlbumImage::FitToSizeLimit(std::int16_t& width, std::int16_t& height) const {
    std::int16_t w = width;
    std::int16_t h = height;
    const std::int16_t W = m_sizeLimitWidth;
    const std::int16_t H = m_sizeLimitHeight;
    if (w <= 0 || h <= 0 || W <= 0 || H <= 0) {
        return;
    }
    if (w > W) {
        h = ScaledSide(h, static_cast<double>(W) / w);
        w = W;
    }
    if (h > H) {
        w = ScaledSide(w, static_cast<double>(H) / h);
        h = H;
    }
    if (W == kFullScreen && H == kFullScreen && m_crop != 0) {
        if (w < kFullScreen) {
            h = ScaledSide(h, static_cast<double>(kFullScreen) / w);
            w = kFullScreen;
        }
        if (h < kFullScreen) {
            w = ScaledSide(w, static_cast<double>(kFullScreen) / h);
            h = kFullScreen;
        }
    }
    width = w;
    height = h;
}
