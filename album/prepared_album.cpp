#include "album/prepared_album.h"

#include <new>

std::uint32_t CPreparedPicture::ColorTableEntries(std::uint8_t depth) {
    // 2^depth for the grey depths; 8- and 16-bit pictures both carry 256 entries.
    return depth <= 4 ? (1u << depth) : 256u;
}

std::uint32_t CPreparedPicture::ImageSize(std::uint8_t depth, std::int32_t width,
                                          std::int32_t height) {
    const auto stride = static_cast<std::uint32_t>(CDib::Stride(depth, width));
    return stride * static_cast<std::uint32_t>(height) + 4 * ColorTableEntries(depth) + 54;
}

bool CPreparedPicture::SetImage(const CDib& source) {
    const std::int32_t w = source.Width();
    const std::int32_t h = source.Height();
    if (!m_bitmap.Create(w, h, 24)) {
        return false;
    }
    m_imageSize = ImageSize(m_colorDepth, w, h);
    return ResampleDib(source, 0, 0, w, h, m_bitmap, w, h);
}

CPreparedAlbum::~CPreparedAlbum() {
    // First to last, as the pictures were added.
    for (auto& picture : m_pictures) {
        picture.reset();
    }
}

bool CPreparedAlbum::AddPicture(std::unique_ptr<CPreparedPicture> picture) {
    if (!picture) {
        return false;
    }
    try {
        m_pictures.push_back(std::move(picture));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
