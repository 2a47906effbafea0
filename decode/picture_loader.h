#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "album/album_build.h"
#include "decode/picture_rows.h"
#include "imaging/dib.h"

// Opens a JPEG, PNG, GIF (first frame), BMP, WebP (first frame) or HEIF (HEIC) file, told
// apart by its content, and renders it into a 24-bit CDib of its natural (decoded) size,
// transparent parts on white, upright as the camera recorded it. Pictures over 32767 pixels a
// side, or over the memory limit, are refused from the header; so are files cut short and
// damaged pictures, whatever the decoder could have made of them. No decoder prints anything:
// every complaint becomes Error().
class CPictureLoader {
public:
    static constexpr std::int32_t kMaxSide = 32767;
    // Largest decoded picture accepted, in megabytes of 32-bit pixels (100 megapixels).
    static constexpr int kAllocationLimitMb = 400;

    CPictureLoader() = default;
    CPictureLoader(const CPictureLoader&) = delete;
    CPictureLoader& operator=(const CPictureLoader&) = delete;

    // Reads the file's header (the system's path): enough to know the natural size, which is
    // cheap. False for a missing, unreadable, empty or foreign file, a damaged header or a
    // picture that is too large; Error() then says why.
    [[nodiscard]] bool Open(const std::string& path);
    std::int32_t Width() const { return m_header.UprightWidth(); }
    std::int32_t Height() const { return m_header.UprightHeight(); }

    // Decodes the picture into `dib` (empty): a 24-bit bitmap of the natural size on white.
    [[nodiscard]] bool RenderToDib(CDib& dib);
    // The same, decoding only the rows flagged in `rowsFromTop` (one flag per row, the top row
    // first; empty: all rows). The other rows are black.
    [[nodiscard]] bool RenderToDib(CDib& dib, const std::vector<bool>& rowsFromTop);

    // A short reason for the last failure, for messages.
    const std::string& Error() const { return m_error; }

private:
    enum class Format { None, Jpeg, Png, Gif, Bmp, Webp, Heif };

    Format m_format = Format::None;
    std::string m_path;
    CPictureHeader m_header;
    std::string m_error;
};

// Whether a picture file (the system's path) can be read: its header, then every row decoded,
// as the album build would. Empty when it can, otherwise the reason, as Error() gives it. When
// it can and `decoded` is given, the whole picture is left there (24 bits, natural size), for
// a cache to keep; otherwise `decoded` is left empty. Shares nothing, so it may run on any thread,
// several at once.
std::string PictureProblem(const std::string& path, CDib* decoded = nullptr);

// How the album build reads pictures: with a CPictureLoader each, decoding only the rows the
// build uses.
CPictureReading PictureReading();
