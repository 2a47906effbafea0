#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "album/album_build.h"
#include "imaging/dib.h"

class QImage;

// Opens a JPEG, GIF (first frame) or BMP file with Qt's image readers and renders it into a
// 24-bit CDib of its natural (decoded) size, transparent parts on white, upright as the
// camera recorded it. Pictures over 32767 pixels a side, or over the reader's memory limit,
// are refused before any large allocation.
class CPictureLoader {
public:
    static constexpr std::int32_t kMaxSide = 32767;
    // Largest decoded picture accepted, in megabytes of 32-bit pixels (100 megapixels).
    static constexpr int kAllocationLimitMb = 400;

    CPictureLoader();
    ~CPictureLoader();
    CPictureLoader(const CPictureLoader&) = delete;
    CPictureLoader& operator=(const CPictureLoader&) = delete;

    // Reads and decodes the file (the system's path). False for a missing, unreadable, empty or
    // undecodable file, or a picture that is too large; Error() then says why.
    [[nodiscard]] bool Open(const std::string& path);
    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }

    // Makes `dib` (empty) a 24-bit bitmap of the natural size holding the picture on white.
    // The decoded pixels move into the bitmap without a copy, so a picture renders once per
    // Open.
    [[nodiscard]] bool RenderToDib(CDib& dib);

    // A short reason for the last failure, for messages.
    const std::string& Error() const { return m_error; }

private:
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::unique_ptr<QImage> m_picture;
    std::string m_error;
};

// How the album build reads pictures: with a CPictureLoader each.
CPictureReading PictureReading();
