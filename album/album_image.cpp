#include "album/album_image.h"

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
    const std::int16_t limitWidth = m_sizeLimitWidth;
    const std::int16_t limitHeight = m_sizeLimitHeight;
    if (w <= 0 || h <= 0 || limitWidth <= 0 || limitHeight <= 0) {
        return;
    }
    if (w > limitWidth) {
        h = ScaledSide(h, static_cast<double>(limitWidth) / w);
        w = limitWidth;
    }
    if (h > limitHeight) {
        w = ScaledSide(w, static_cast<double>(limitHeight) / h);
        h = limitHeight;
    }
    constexpr auto kFull = static_cast<std::int16_t>(kScreenSide);
    if (limitWidth == kFull && limitHeight == kFull && m_crop != 0) {
        if (w < kFull) {
            h = ScaledSide(h, static_cast<double>(kFull) / w);
            w = kFull;
        }
        if (h < kFull) {
            w = ScaledSide(w, static_cast<double>(kFull) / h);
            h = kFull;
        }
    }
    width = w;
    height = h;
}
