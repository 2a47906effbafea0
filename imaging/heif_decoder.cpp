#include "imaging/heif_decoder.h"

#include <algorithm>
#include <memory>

#include <libheif/heif.h>

#include "imaging/over_white.h"

namespace {

constexpr int kSampleBits = 8;
// libheif refuses pictures over 32768 pixels a side in words of its own; with this the size is
// judged by the loader, which names it.
constexpr int kHeaderSideLimit = 1 << 24;
// HEVC codes pictures in square blocks of up to 64 pixels a side.
constexpr int kLargestCodingBlock = 64;

const char* const kCutShort = "the file is cut short";

// libheif reads the file through these, from the caller's open file.
struct CHeifInput {
    std::FILE* file = nullptr;
    std::int64_t size = 0;
    bool ranOut = false;
};

bool SeekTo(std::FILE* file, std::int64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, offset, SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::int64_t Position(void* user) {
    auto* input = static_cast<CHeifInput*>(user);
#ifdef _WIN32
    return _ftelli64(input->file);
#else
    return ftello(input->file);
#endif
}

int Read(void* data, std::size_t size, void* user) {
    auto* input = static_cast<CHeifInput*>(user);
    if (std::fread(data, 1, size, input->file) != size) {
        input->ranOut = true;
        return 1;
    }
    return 0;
}

int Seek(std::int64_t position, void* user) {
    return SeekTo(static_cast<CHeifInput*>(user)->file, position) ? 0 : 1;
}

heif_reader_grow_status WaitForSize(std::int64_t size, void* user) {
    return size <= static_cast<CHeifInput*>(user)->size ? heif_reader_grow_status_size_reached
                                                        : heif_reader_grow_status_size_beyond_eof;
}

// libheif keeps a pointer to this for as long as a context lives.
const heif_reader kReader = {1, Position, Read, Seek, WaitForSize};

struct CContextFreer {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct CHandleReleaser {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct CImageReleaser {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct COptionsFreer {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};

// The primary picture of a file, and what it needs kept alive.
struct CHeifFile {
    CHeifInput input;
    std::unique_ptr<heif_context, CContextFreer> context;
    std::unique_ptr<heif_image_handle, CHandleReleaser> primary;
};

// Once per process: libheif registers its decoders (and never unregisters them here, since
// pictures may be decoding on other threads until the program ends).
bool LibraryReady() {
    static const bool ready = heif_init(nullptr).code == heif_error_Ok;
    return ready;
}

std::string Failure(const CHeifInput& input, const heif_error& failure) {
    if (input.ranOut || failure.subcode == heif_suberror_End_of_data) {
        return kCutShort;
    }
    if (failure.code == heif_error_Memory_allocation_error &&
        failure.subcode != heif_suberror_Security_limit_exceeded) {
        return "out of memory";
    }
    return std::string("the picture cannot be decoded: ") + failure.message;
}

bool OpenPrimary(std::FILE* file, std::uint64_t fileSize, CHeifFile& heif, std::string& error) {
    if (!LibraryReady()) {
        error = "the HEIF library cannot be started";
        return false;
    }
    heif.input.file = file;
    heif.input.size = static_cast<std::int64_t>(fileSize);
    heif.context.reset(heif_context_alloc());
    if (!heif.context) {
        error = "out of memory";
        return false;
    }
    heif_context_set_maximum_image_size_limit(heif.context.get(), kHeaderSideLimit);
    heif_error result =
        heif_context_read_from_reader(heif.context.get(), &kReader, &heif.input, nullptr);
    heif_image_handle* primary = nullptr;
    if (result.code == heif_error_Ok) {
        result = heif_context_get_primary_image_handle(heif.context.get(), &primary);
        heif.primary.reset(primary);
    }
    if (result.code != heif_error_Ok) {
        error = Failure(heif.input, result);
        return false;
    }
    return true;
}

}  // namespace

bool ReadHeifHeader(std::FILE* file, std::uint64_t fileSize, CPictureHeader& header,
                    std::string& error) {
    CHeifFile heif;
    if (!OpenPrimary(file, fileSize, heif, error)) {
        return false;
    }
    header = CPictureHeader{};
    header.width = heif_image_handle_get_width(heif.primary.get());
    header.height = heif_image_handle_get_height(heif.primary.get());
    return true;
}

bool DecodeHeif(std::FILE* file, std::uint64_t fileSize, CPictureRows& rows, std::string& error) {
    CHeifFile heif;
    if (!OpenPrimary(file, fileSize, heif, error)) {
        return false;
    }
    const heif_image_handle* primary = heif.primary.get();
    if (heif_image_handle_get_width(primary) != rows.Width() ||
        heif_image_handle_get_height(primary) != rows.Height()) {
        error = "the file changed while it was read";
        return false;
    }
    // A grid picture is put together in memory of the size its grid states, which nothing
    // compares with the stored size: hold it, and each coded picture, to the sides the header
    // gave, rounded up to whole coding blocks.
    const int longestSide =
        std::max({heif_image_handle_get_ispe_width(primary),
                  heif_image_handle_get_ispe_height(primary), rows.Width(), rows.Height()});
    heif_context_set_maximum_image_size_limit(heif.context.get(),
                                              longestSide + kLargestCodingBlock);
    const std::unique_ptr<heif_decoding_options, COptionsFreer> options(
        heif_decoding_options_alloc());
    if (!options) {
        error = "out of memory";
        return false;
    }
    options->convert_hdr_to_8bit = 1;
    options->strict_decoding = 1;
    const bool alpha = heif_image_handle_has_alpha_channel(primary) != 0;
    heif_image* decoded = nullptr;
    const heif_error result = heif_decode_image(
        primary, &decoded, heif_colorspace_RGB,
        alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
    const std::unique_ptr<heif_image, CImageReleaser> image(decoded);
    if (result.code != heif_error_Ok || !image) {
        error = Failure(heif.input, result);
        return false;
    }
    heif_error warning{};
    if (heif_image_get_decoding_warnings(image.get(), 0, &warning, 1) > 0) {
        error = std::string("the picture is damaged: ") + warning.message;
        return false;
    }
    int stride = 0;
    const std::uint8_t* pixels =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (pixels == nullptr ||
        heif_image_get_width(image.get(), heif_channel_interleaved) != rows.Width() ||
        heif_image_get_height(image.get(), heif_channel_interleaved) != rows.Height() ||
        heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != kSampleBits) {
        error = "the picture cannot be decoded at its size";
        return false;
    }
    const bool premultiplied = alpha && heif_image_handle_is_premultiplied_alpha(primary) != 0;
    for (std::int32_t y = 0; y < rows.Height(); ++y) {
        if (rows.Wants(y)) {
            RowOverWhite(pixels + static_cast<std::ptrdiff_t>(stride) * y,
                         alpha ? PixelOrder::Rgba : PixelOrder::Rgb, premultiplied, rows.Row(y),
                         rows.Width());
            rows.RowDone(y);
        }
    }
    return true;
}
