#include "album/picture_preparation.h"

#include <algorithm>
#include <new>

#include "album/album_rules.h"
#include "album/ansi_text.h"
#include "convert/conversion.h"

namespace {

constexpr char kDeleteCharacter = 0x7F;

std::unique_ptr<CPreparedPicture> PrepareLoadedPicture(const CAlbumImage& entry,
                                                       const CDib& loaded);

}  // namespace

std::string CleanTitle(std::string_view title) {
    std::string clean;
    clean.reserve(title.size());
    for (const char c : title) {
        if (c == '\0') {
            continue;
        }
        const bool control = static_cast<unsigned char>(c) < 0x20 || c == kDeleteCharacter;
        clean += control ? ' ' : c;
    }
    return clean;
}

std::string CleanNote(std::string_view note) {
    std::string clean;
    clean.reserve(note.size());
    for (const char c : note) {
        if (c != '\0') {
            clean += c;
        }
    }
    return clean;
}

std::string HandheldText(std::string_view title, std::string_view note) {
    return Utf8ToCp1252(CleanTitle(title)) + '\n' + Utf8ToCp1252(CleanNote(note));
}

CIconSquare IconSquare(std::int32_t width, std::int32_t height) {
    CIconSquare square;
    // In 32 bits: three quarters of a side of up to 32767 pixels would overflow 16.
    square.side = std::min(width, height) * 3 / 4;
    square.x = (width - square.side) / 2;
    square.y = (height - square.side) / 2;
    return square;
}

bool MakeIconFromPicture(const CDib& loaded, CDib& icon) {
    if (!loaded.IsCreated() || !icon.IsCreated() || icon.Width() != kIconSide ||
        icon.Height() != kIconSide) {
        return false;
    }
    const CIconSquare square = IconSquare(loaded.Width(), loaded.Height());
    return ResampleDib(loaded, square.x, square.y, square.side, square.side, icon, kIconSide,
                       kIconSide);
}

void CenterCropWindow(CAlbumImage& entry, std::int32_t width, std::int32_t height) {
    auto w = static_cast<std::int16_t>(std::clamp<std::int32_t>(width, 1, kMaxPictureSide));
    auto h = static_cast<std::int16_t>(std::clamp<std::int32_t>(height, 1, kMaxPictureSide));
    entry.FitToSizeLimit(w, h);
    entry.m_horizontalOffset = (w - std::min<std::int32_t>(w, kScreenSide)) / 2;
    entry.m_verticalOffset = (h - std::min<std::int32_t>(h, kScreenSide)) / 2;
}

namespace {
std::unique_ptr<CPreparedPicture> PrepareLoadedPicture(const CAlbumImage& entry,
                                                       const CDib& loaded) {
    if (!loaded.IsCreated() || loaded.Width() > kMaxPictureSide ||
        loaded.Height() > kMaxPictureSide || !IsStoredDepth(entry.m_colorDepth) ||
        entry.m_sizeLimitWidth < 1 || entry.m_sizeLimitHeight < 1) {
        return nullptr;
    }
    auto width = static_cast<std::int16_t>(loaded.Width());
    auto height = static_cast<std::int16_t>(loaded.Height());
    entry.FitToSizeLimit(width, height);

    CDib working;
    if (!working.Create(width, height, 24) ||
        !ResampleDib(loaded, 0, 0, loaded.Width(), loaded.Height(), working, width, height)) {
        return nullptr;
    }
    AdjustBrightnessContrast(working, working, static_cast<std::int16_t>(entry.m_brightness - 127),
                             entry.m_contrast);
    return PrepareFromWorking(entry, working);
}

}  // namespace

std::unique_ptr<CPreparedPicture> PrepareFromWorking(const CAlbumImage& entry,
                                                     const CDib& working) {
    if (!working.IsCreated() || !IsStoredDepth(entry.m_colorDepth)) {
        return nullptr;
    }
    const std::int32_t width = working.Width();
    const std::int32_t height = working.Height();
    try {
        auto picture = std::make_unique<CPreparedPicture>();
        picture->m_text = HandheldText(entry.m_title, entry.m_note);
        picture->m_dither = entry.m_dither;
        picture->m_colorDepth = entry.m_colorDepth;

        if (entry.m_crop == 0) {
            return picture->SetImage(working) ? std::move(picture) : nullptr;
        }
        const std::int32_t cw = std::min<std::int32_t>(width, kScreenSide);
        const std::int32_t ch = std::min<std::int32_t>(height, kScreenSide);
        // The window the preview shows: an offset past the last position stops there.
        const std::int32_t x = std::clamp<std::int32_t>(entry.m_horizontalOffset, 0, width - cw);
        const std::int32_t y = std::clamp<std::int32_t>(entry.m_verticalOffset, 0, height - ch);
        CDib window;
        if (!window.Create(cw, ch, 24) || !ResampleDib(working, x, y, cw, ch, window, cw, ch)) {
            return nullptr;
        }
        return picture->SetImage(window) ? std::move(picture) : nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<CPreparedPicture> PreparePicture(const CAlbumImage& entry, const CDib& loaded) {
    try {
        return PrepareLoadedPicture(entry, loaded);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
