#include "decode/webp_decoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <webp/decode.h>
#include <webp/demux.h>

#include "decode/exif_orientation.h"
#include "decode/over_white.h"
#include "imaging/byte_order.h"

namespace {

constexpr std::size_t kChunkHeaderBytes = 8;
constexpr std::size_t kFileHeaderBytes = 12;  // "RIFF", size, "WEBP"
// Enough of the start for libwebp to know the size, whichever kind of WebP it is.
constexpr std::size_t kStartBytes = 64;
// The orientation is among the first tags; a camera's thumbnail further on is not needed.
constexpr std::uint32_t kMaxExifBytes = 64 * 1024;
constexpr std::uint8_t kExifStart[] = {'E', 'x', 'i', 'f', 0, 0};
// The EXIF chunk follows the picture's few chunks (or an animation's frames); a file of empty
// chunks would otherwise cost a read every 8 bytes.
constexpr int kMaxChunksWalked = 1 << 16;

const char* const kCutShort = "the file is cut short";

bool ReadAt(std::FILE* file, std::uint64_t offset, std::uint8_t* data, std::size_t count) {
#ifdef _WIN32
    const bool sought = _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
    const bool sought = fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
    return sought && std::fread(data, 1, count, file) == count;
}

std::string StatusText(VP8StatusCode status) {
    switch (status) {
        case VP8_STATUS_NOT_ENOUGH_DATA:
            return kCutShort;
        case VP8_STATUS_OUT_OF_MEMORY:
            return "out of memory";
        case VP8_STATUS_UNSUPPORTED_FEATURE:
            return "the picture uses a WebP feature that cannot be read";
        default:
            return "the picture is damaged: its WebP data cannot be decoded";
    }
}

// The length of the file's RIFF form, its 8-byte header included; false, with `error`, when
// the file is shorter than that.
bool FormLength(const std::uint8_t* start, std::uint64_t fileSize, std::uint64_t& length,
                std::string& error) {
    length = std::uint64_t{LoadLittleEndian32(start + 4)} + kChunkHeaderBytes;
    if (length > fileSize) {
        error = kCutShort;
        return false;
    }
    return true;
}

// The orientation an EXIF chunk gives, found by walking the chunks of an extended file.
int FindOrientation(std::FILE* file, std::uint64_t formLength) {
    std::uint64_t at = kFileHeaderBytes;
    std::uint8_t chunk[kChunkHeaderBytes];
    for (int walked = 0; walked < kMaxChunksWalked && at + kChunkHeaderBytes <= formLength &&
                         ReadAt(file, at, chunk, sizeof chunk);
         ++walked) {
        const std::uint32_t size = LoadLittleEndian32(chunk + 4);
        if (std::memcmp(chunk, "EXIF", 4) == 0) {
            const std::uint32_t kept =
                std::min<std::uint64_t>({size, kMaxExifBytes, formLength - at - kChunkHeaderBytes});
            // Writers differ on whether the block keeps its "Exif" start; the parser wants it.
            std::vector<std::uint8_t> block(kExifStart, kExifStart + sizeof kExifStart);
            block.resize(sizeof kExifStart + kept);
            if (!ReadAt(file, at + kChunkHeaderBytes, block.data() + sizeof kExifStart, kept)) {
                return 1;
            }
            const bool hasStart =
                kept >= sizeof kExifStart &&
                std::memcmp(block.data() + sizeof kExifStart, kExifStart, sizeof kExifStart) == 0;
            return hasStart ? ExifOrientation(block.data() + sizeof kExifStart, kept)
                            : ExifOrientation(block.data(), block.size());
        }
        at += kChunkHeaderBytes + size + (size & 1u);
    }
    return 1;
}

struct CAnimationCloser {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

struct CBufferFreer {
    void operator()(WebPDecBuffer* buffer) const { WebPFreeDecBuffer(buffer); }
};

// Puts a decoded canvas, `stride` bytes a row of blue, green, red and (`withOpacity`)
// opacity, into the rows that are wanted.
void Place(const std::uint8_t* pixels, int stride, bool withOpacity, CPictureRows& rows) {
    for (std::int32_t y = 0; y < rows.Height(); ++y) {
        if (!rows.Wants(y)) {
            continue;
        }
        const std::uint8_t* in = pixels + static_cast<std::ptrdiff_t>(stride) * y;
        std::uint8_t* out = rows.Row(y);
        if (withOpacity) {
            RowOverWhite(in, PixelOrder::Bgra, false, out, rows.Width());
        } else {
            std::memcpy(out, in, 3 * static_cast<std::size_t>(rows.Width()));
        }
        rows.RowDone(y);
    }
}

bool DecodeFirstFrame(const WebPData& data, CPictureRows& rows, std::string& error) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) {
        error = "the WebP library does not match the program";
        return false;
    }
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    const std::unique_ptr<WebPAnimDecoder, CAnimationCloser> decoder(
        WebPAnimDecoderNew(&data, &options));
    WebPAnimInfo info{};
    if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info)) {
        error = StatusText(VP8_STATUS_BITSTREAM_ERROR);
        return false;
    }
    if (info.canvas_width != static_cast<std::uint32_t>(rows.Width()) ||
        info.canvas_height != static_cast<std::uint32_t>(rows.Height())) {
        error = "the file changed while it was read";
        return false;
    }
    std::uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp)) {
        error = StatusText(VP8_STATUS_BITSTREAM_ERROR);
        return false;
    }
    // Where the first frame leaves the canvas uncovered it is clear, hence white.
    Place(canvas, 4 * rows.Width(), true, rows);
    return true;
}

}  // namespace

bool ReadWebpHeader(std::FILE* file, std::uint64_t fileSize, CPictureHeader& header,
                    std::string& error) {
    std::uint8_t start[kStartBytes] = {};
    const std::size_t got = std::fread(start, 1, sizeof start, file);
    std::uint64_t formLength = 0;
    if (got < kFileHeaderBytes) {
        error = kCutShort;
        return false;
    }
    if (!FormLength(start, fileSize, formLength, error)) {
        return false;
    }
    WebPBitstreamFeatures features{};
    const VP8StatusCode status = WebPGetFeatures(start, got, &features);
    if (status != VP8_STATUS_OK) {
        error = StatusText(status);
        return false;
    }
    header = CPictureHeader{};
    header.width = features.width;
    header.height = features.height;
    if (std::memcmp(start + kFileHeaderBytes, "VP8X", 4) == 0) {
        try {
            header.orientation = FindOrientation(file, formLength);
        } catch (const std::bad_alloc&) {
            error = "out of memory";
            return false;
        }
    }
    return true;
}

bool DecodeWebp(std::FILE* file, std::uint64_t fileSize, CPictureRows& rows, std::string& error) {
    std::uint8_t start[kFileHeaderBytes] = {};
    std::uint64_t formLength = 0;
    if (!ReadAt(file, 0, start, sizeof start)) {
        error = kCutShort;
        return false;
    }
    if (!FormLength(start, fileSize, formLength, error)) {
        return false;
    }
    const auto length = static_cast<std::size_t>(formLength);
    const std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[length]);
    if (!bytes) {
        error = "out of memory";
        return false;
    }
    if (!ReadAt(file, 0, bytes.get(), length)) {
        error = kCutShort;
        return false;
    }
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) {
        error = "the WebP library does not match the program";
        return false;
    }
    VP8StatusCode status = WebPGetFeatures(bytes.get(), length, &config.input);
    if (status != VP8_STATUS_OK) {
        error = StatusText(status);
        return false;
    }
    if (config.input.width != rows.Width() || config.input.height != rows.Height()) {
        error = "the file changed while it was read";
        return false;
    }
    if (config.input.has_animation) {
        const WebPData data{bytes.get(), length};
        return DecodeFirstFrame(data, rows, error);
    }
    const bool alpha = config.input.has_alpha != 0;
    config.output.colorspace = alpha ? MODE_BGRA : MODE_BGR;
    status = WebPDecode(bytes.get(), length, &config);
    const std::unique_ptr<WebPDecBuffer, CBufferFreer> decoded(&config.output);
    if (status != VP8_STATUS_OK) {
        error = StatusText(status);
        return false;
    }
    const WebPRGBABuffer& pixels = config.output.u.RGBA;
    if (config.output.width != rows.Width() || config.output.height != rows.Height()) {
        error = "the picture cannot be decoded at its size";
        return false;
    }
    Place(pixels.rgba, pixels.stride, alpha, rows);
    return true;
}
