#include "decode/hevc_plugin.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <libde265/de265.h>
#include <libheif/heif.h>
#include <libheif/heif_plugin.h>
#include <libheif/heif_version.h>

// The decoder below fills libheif's plugin interface as the 1.15 series defines it (interface
// version 3, its fields in that order). Another series may order or read them otherwise, so
// there the decoder is left out and HEIC pictures are refused rather than decoded by a
// plugin libheif would misread.
#define TAVELO_HEVC_PLUGIN_FITS \
    (LIBHEIF_NUMERIC_VERSION >= 0x010F0000 && LIBHEIF_NUMERIC_VERSION < 0x01100000)

namespace {

// The series the decoder was written for, as libheif numbers it (major << 24 | minor << 16).
constexpr std::uint32_t kPluginSeries = 0x010F0000;

std::string Unfit(std::uint32_t version) {
    const auto series = [](std::uint32_t v) {
        return std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 0xFF);
    };
    return "HEIC pictures cannot be read: the program's HEVC decoder is made for libheif " +
           series(kPluginSeries) + ", and libheif " + series(version) + " is in use";
}

#if TAVELO_HEVC_PLUGIN_FITS

constexpr std::uint32_t kSeriesMask = 0xFFFF0000;

// Above the built-in HEVC decoder's priority (100), so libheif picks this one.
constexpr int kPriority = 200;
constexpr int kPlanes = 3;

heif_error Ok() {
    return {heif_error_Ok, heif_suberror_Unspecified, "Success"};
}

heif_error Failed(heif_error_code code, const char* message) {
    return {code, heif_suberror_Unspecified, message};
}

// The bytes libheif hands over: NAL units, each after its length in four bytes.
struct CHevcDecoder {
    std::vector<std::uint8_t> data;
};

// Rows of a frame plane are padded to the decoder's alignment; the decoder may also read a
// little past a plane's end.
constexpr std::size_t kPlanePadding = 256;

// The memory of one frame's planes.
struct CFramePlanes {
    void* planes[kPlanes] = {};
    ~CFramePlanes() {
        for (void* plane : planes) {
            std::free(plane);
        }
    }
};

// Frame planes of our own, cleared: the decoder asks for each frame's memory here. The
// frame's planes travel as the user data of its first plane, to be released with the frame.
// (A template so that the frame layout's type is named by the decoder's own declaration.)
template <typename Layout>
int GetClearedBuffer(de265_decoder_context*, Layout* layout, de265_image* image, void* fill) {
    const de265_chroma chroma = de265_get_chroma_format(image);
    if (layout->width <= 0 || layout->height <= 0 || layout->alignment <= 0 ||
        layout->alignment > 4096 || chroma < de265_chroma_mono || chroma > de265_chroma_444) {
        return 0;
    }
    const int across = chroma == de265_chroma_420 || chroma == de265_chroma_422 ? 2 : 1;
    const int down = chroma == de265_chroma_420 ? 2 : 1;
    const int planes = chroma == de265_chroma_mono ? 1 : kPlanes;
    std::unique_ptr<CFramePlanes> frame(new (std::nothrow) CFramePlanes);
    if (!frame) {
        return 0;
    }
    int strides[kPlanes] = {};
    for (int c = 0; c < planes; ++c) {
        const int bits = de265_get_bits_per_pixel(image, c);
        if (bits < 1 || bits > 16) {
            return 0;
        }
        const std::size_t width = c == 0 ? layout->width : (layout->width + across - 1) / across;
        const std::size_t height = c == 0 ? layout->height : (layout->height + down - 1) / down;
        const std::size_t align = static_cast<std::size_t>(layout->alignment);
        const std::size_t stride = (width + align - 1) / align * align;  // in samples
        const std::size_t bytes = stride * ((bits + 7) / 8) * height + kPlanePadding;
        frame->planes[c] = std::aligned_alloc(64, (bytes + 63) / 64 * 64);
        if (frame->planes[c] == nullptr) {
            return 0;
        }
        std::memset(frame->planes[c], *static_cast<const std::uint8_t*>(fill), bytes);
        strides[c] = static_cast<int>(stride);
    }
    for (int c = 0; c < planes; ++c) {
        de265_set_image_plane(image, c, frame->planes[c], strides[c],
                              c == 0 ? frame.get() : nullptr);
    }
    frame.release();  // now the frame's, until ReleaseBuffer
    return 1;
}

void ReleaseBuffer(de265_decoder_context*, de265_image* image, void*) {
    delete static_cast<CFramePlanes*>(de265_get_image_plane_user_data(image, 0));
}

const char* PluginName() {
    return "libde265, cleared frames";
}

int SupportsFormat(heif_compression_format format) {
    return format == heif_compression_HEVC ? kPriority : 0;
}

heif_error NewDecoder(void** decoder) {
    *decoder = new (std::nothrow) CHevcDecoder;
    return *decoder != nullptr ? Ok() : Failed(heif_error_Memory_allocation_error, "out of memory");
}

void FreeDecoder(void* decoder) {
    delete static_cast<CHevcDecoder*>(decoder);
}

heif_error PushData(void* decoder, const void* data, std::size_t size) {
    auto& bytes = static_cast<CHevcDecoder*>(decoder)->data;
    try {
        bytes.insert(bytes.end(), static_cast<const std::uint8_t*>(data),
                     static_cast<const std::uint8_t*>(data) + size);
    } catch (const std::bad_alloc&) {
        return Failed(heif_error_Memory_allocation_error, "out of memory");
    }
    return Ok();
}

// A failure for what libde265 found wrong with the data. libheif passes the message on.
heif_error Damaged(de265_error found) {
    thread_local std::string message;
    message = std::string(kDamaged) + de265_get_error_text(found);
    return Failed(heif_error_Decoder_plugin_error, message.c_str());
}

// Warnings about how the decoder runs rather than about the data.
bool Operational(de265_error warning) {
    return warning == DE265_WARNING_NO_WPP_CANNOT_USE_MULTITHREADING ||
           warning == DE265_WARNING_WARNING_BUFFER_FULL ||
           warning == DE265_WARNING_NUMBER_OF_THREADS_LIMITED_TO_MAXIMUM ||
           warning == DE265_WARNING_SPS_MISSING_CANNOT_DECODE_SEI;
}

struct CContextFreer {
    void operator()(de265_decoder_context* context) const { de265_free_decoder(context); }
};

// Reads the bits of a coded unit's payload, skipping the bytes the coder inserted so that
// no start code appears (0 0 3 stands for 0 0). Past the end it gives zeros and says so.
class CBitReader {
public:
    CBitReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool Failed() const { return m_failed; }

    std::uint32_t Bits(int count) {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            value = value << 1 | Bit();
        }
        return value;
    }

    // An unsigned exponential-Golomb number; 32 or more leading zeros are damage.
    std::uint32_t Number() {
        int zeros = 0;
        while (Bit() == 0 && !m_failed) {
            if (++zeros == 32) {
                m_failed = true;
                return 0;
            }
        }
        return (std::uint32_t{1} << zeros) - 1 + Bits(zeros);
    }

private:
    std::uint32_t Bit() {
        if (m_bit == 0) {
            if (m_zeros >= 2 && m_at < m_size && m_data[m_at] == 3) {
                ++m_at;
                m_zeros = 0;
            }
            if (m_at >= m_size) {
                m_failed = true;
                return 0;
            }
            m_byte = m_data[m_at++];
            m_zeros = m_byte == 0 ? m_zeros + 1 : 0;
            m_bit = 8;
        }
        --m_bit;
        return (m_byte >> m_bit) & 1u;
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
    std::uint8_t m_byte = 0;
    int m_bit = 0;
    int m_zeros = 0;
    bool m_failed = false;
};

constexpr int kSequenceParameters = 33;  // the coded unit type of a sequence parameter set

// Whether a sequence parameter set (after its two-byte unit header) breaks one of the rules
// that libde265 checks by printing to stderr. Such a set is refused here, before libde265 sees
// it; what cannot be read here is left to libde265, which refuses that without a word.
bool BreaksSizeRules(const std::uint8_t* data, std::size_t size) {
    CBitReader bits(data, size);
    bits.Bits(4);  // video parameter set
    const std::uint32_t subLayers = bits.Bits(3);
    bits.Bits(1);
    bits.Bits(96);  // profile, tier and level of the whole stream
    std::uint32_t present[8] = {};
    for (std::uint32_t i = 0; i < subLayers; ++i) {
        present[i] = bits.Bits(2);  // profile present, level present
    }
    for (std::uint32_t i = subLayers; subLayers > 0 && i < 8; ++i) {
        bits.Bits(2);
    }
    for (std::uint32_t i = 0; i < subLayers; ++i) {
        bits.Bits((present[i] & 2u) != 0 ? 88 : 0);
        bits.Bits((present[i] & 1u) != 0 ? 8 : 0);
    }
    bits.Number();  // its own number
    if (bits.Number() == 3) {
        bits.Bits(1);  // colour planes coded apart
    }
    const std::uint32_t width = bits.Number();
    const std::uint32_t height = bits.Number();
    if (bits.Bits(1) != 0) {  // conformance window
        for (int i = 0; i < 4; ++i) {
            bits.Number();
        }
    }
    const std::uint32_t lumaBits = bits.Number() + 8;
    const std::uint32_t chromaBits = bits.Number() + 8;
    bits.Number();
    for (std::uint32_t i = bits.Bits(1) != 0 ? 0 : subLayers; i <= subLayers; ++i) {
        bits.Number();  // picture buffering of each sub-layer
        bits.Number();
        bits.Number();
    }
    const std::uint32_t log2MinBlock = bits.Number() + 3;
    const std::uint32_t log2Ctb = log2MinBlock + bits.Number();
    const std::uint32_t log2MinTransform = bits.Number() + 2;
    const std::uint32_t log2MaxTransform = log2MinTransform + bits.Number();
    const std::uint32_t depthInter = bits.Number();
    const std::uint32_t depthIntra = bits.Number();
    if (bits.Failed() || log2MinBlock > 16 || log2Ctb > 16 || log2MinTransform > log2Ctb) {
        return false;
    }
    const std::uint32_t minBlock = std::uint32_t{1} << log2MinBlock;
    return width % minBlock != 0 || height % minBlock != 0 || log2MinTransform > log2MinBlock ||
           log2MaxTransform > std::min<std::uint32_t>(log2Ctb, 5) || lumaBits > 16 ||
           chromaBits > 16 || depthInter > log2Ctb - log2MinTransform ||
           depthIntra > log2Ctb - log2MinTransform;
}

// The decoded frame as a libheif picture, plane by plane.
heif_error ToHeifImage(const de265_image* frame, heif_image** out) {
    const de265_chroma chroma = de265_get_chroma_format(frame);
    const bool grey = chroma == de265_chroma_mono;
    heif_image* image = nullptr;
    heif_error error = heif_image_create(
        de265_get_image_width(frame, 0), de265_get_image_height(frame, 0),
        grey ? heif_colorspace_monochrome : heif_colorspace_YCbCr, static_cast<heif_chroma>(chroma),
        &image);  // libheif numbers the layouts alike
    if (error.code != heif_error_Ok) {
        return error;
    }
    // How the stream says its samples turn into colours, for libheif's conversion where the
    // file does not say it itself. Values libheif does not know keep its defaults.
    if (heif_color_profile_nclx* colours = heif_nclx_color_profile_alloc()) {
        heif_nclx_color_profile_set_color_primaries(
            colours, static_cast<std::uint16_t>(de265_get_image_colour_primaries(frame)));
        heif_nclx_color_profile_set_transfer_characteristics(
            colours, static_cast<std::uint16_t>(de265_get_image_transfer_characteristics(frame)));
        heif_nclx_color_profile_set_matrix_coefficients(
            colours, static_cast<std::uint16_t>(de265_get_image_matrix_coefficients(frame)));
        colours->full_range_flag =
            static_cast<std::uint8_t>(de265_get_image_full_range_flag(frame));
        error = heif_image_set_nclx_color_profile(image, colours);
        heif_nclx_color_profile_free(colours);
        if (error.code != heif_error_Ok) {
            heif_image_release(image);
            return error;
        }
    }
    constexpr heif_channel kChannels[kPlanes] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
    for (int c = 0; c < (grey ? 1 : kPlanes); ++c) {
        const int bits = de265_get_bits_per_pixel(frame, c);
        const int width = de265_get_image_width(frame, c);
        const int height = de265_get_image_height(frame, c);
        int stride = 0;
        const std::uint8_t* source = de265_get_image_plane(frame, c, &stride);
        if (source == nullptr || width <= 0 || height <= 0 || bits <= 0) {
            heif_image_release(image);
            return Failed(heif_error_Decoder_plugin_error, "the decoder gave an empty plane");
        }
        error = heif_image_add_plane(image, kChannels[c], width, height, bits);
        if (error.code != heif_error_Ok) {
            heif_image_release(image);
            return error;
        }
        int targetStride = 0;
        std::uint8_t* target = heif_image_get_plane(image, kChannels[c], &targetStride);
        const std::size_t rowBytes = static_cast<std::size_t>(width) * ((bits + 7) / 8);
        for (int y = 0; y < height; ++y) {
            std::memcpy(target + static_cast<std::ptrdiff_t>(targetStride) * y,
                        source + static_cast<std::ptrdiff_t>(stride) * y, rowBytes);
        }
    }
    *out = image;
    return Ok();
}

// Decodes the stream once, into frames whose every byte starts as `fill`; `filtered`: with the
// in-loop filters, as the picture is meant to be seen.
heif_error DecodeOnce(const std::vector<std::uint8_t>& bytes, std::uint8_t fill, bool filtered,
                      heif_image** out) {
    *out = nullptr;
    const std::unique_ptr<de265_decoder_context, CContextFreer> context(de265_new_decoder());
    if (!context) {
        return Failed(heif_error_Memory_allocation_error, "out of memory");
    }
    de265_image_allocation cleared{GetClearedBuffer, ReleaseBuffer};
    de265_set_image_allocation_functions(context.get(), &cleared, &fill);
    de265_set_parameter_bool(context.get(), DE265_DECODER_PARAM_DISABLE_DEBLOCKING, !filtered);
    de265_set_parameter_bool(context.get(), DE265_DECODER_PARAM_DISABLE_SAO, !filtered);
    // A picture libde265 knows to be faulty is not given out, and one whose stream carries a
    // checksum of its pixels is held to it (which only the filtered picture can meet).
    de265_set_parameter_bool(context.get(), DE265_DECODER_PARAM_SUPPRESS_FAULTY_PICTURES, 1);
    de265_set_parameter_bool(context.get(), DE265_DECODER_PARAM_BOOL_SEI_CHECK_HASH, filtered);

    for (std::size_t at = 0; at < bytes.size();) {
        if (bytes.size() - at < 4) {
            return Failed(heif_error_Invalid_input, "a coded unit is cut short");
        }
        const std::uint32_t length = std::uint32_t{bytes[at]} << 24 |
                                     std::uint32_t{bytes[at + 1]} << 16 |
                                     std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
        at += 4;
        if (length > bytes.size() - at) {
            return Failed(heif_error_Invalid_input, "a coded unit is cut short");
        }
        const std::uint8_t* unit = bytes.data() + at;
        if (length > 2 && (unit[0] >> 1 & 0x3F) == kSequenceParameters &&
            BreaksSizeRules(unit + 2, length - 2)) {
            return Damaged(DE265_ERROR_CODED_PARAMETER_OUT_OF_RANGE);
        }
        if (!de265_isOK(de265_push_NAL(context.get(), bytes.data() + at, static_cast<int>(length),
                                       0, nullptr))) {
            return Failed(heif_error_Memory_allocation_error, "out of memory");
        }
        at += length;
    }
    de265_flush_data(context.get());

    int more = 1;
    while (more != 0 && *out == nullptr) {
        more = 0;
        const de265_error status = de265_decode(context.get(), &more);
        if (!de265_isOK(status) && status != DE265_ERROR_WAITING_FOR_INPUT_DATA) {
            return status == DE265_ERROR_OUT_OF_MEMORY
                       ? Failed(heif_error_Memory_allocation_error, "out of memory")
                       : Damaged(status);
        }
        if (const de265_image* frame = de265_get_next_picture(context.get())) {
            const heif_error converted = ToHeifImage(frame, out);
            de265_release_next_picture(context.get());
            if (converted.code != heif_error_Ok) {
                return converted;
            }
        }
    }
    // libde265 decodes a damaged stream as far as it can and says what it met on the way.
    for (de265_error warning = de265_get_warning(context.get()); warning != DE265_OK;
         warning = de265_get_warning(context.get())) {
        if (!Operational(warning)) {
            heif_image_release(*out);
            *out = nullptr;
            return Damaged(warning);
        }
    }
    if (*out == nullptr) {
        return Failed(heif_error_Decoder_plugin_error, "the stream holds no picture");
    }
    return Ok();
}

bool SamePlanes(const heif_image* a, const heif_image* b) {
    for (const heif_channel channel : {heif_channel_Y, heif_channel_Cb, heif_channel_Cr}) {
        if (heif_image_has_channel(a, channel) == 0 || heif_image_has_channel(b, channel) == 0) {
            if (heif_image_has_channel(a, channel) != heif_image_has_channel(b, channel)) {
                return false;
            }
            continue;
        }
        const int width = heif_image_get_width(a, channel);
        const int height = heif_image_get_height(a, channel);
        const int bits = heif_image_get_bits_per_pixel(a, channel);
        if (width != heif_image_get_width(b, channel) ||
            height != heif_image_get_height(b, channel) ||
            bits != heif_image_get_bits_per_pixel(b, channel) || width < 0 || bits < 0) {
            return false;
        }
        int strideA = 0;
        int strideB = 0;
        const std::uint8_t* rowA = heif_image_get_plane_readonly(a, channel, &strideA);
        const std::uint8_t* rowB = heif_image_get_plane_readonly(b, channel, &strideB);
        const std::size_t rowBytes = static_cast<std::size_t>(width) * ((bits + 7) / 8);
        for (int y = 0; y < height; ++y, rowA += strideA, rowB += strideB) {
            if (std::memcmp(rowA, rowB, rowBytes) != 0) {
                return false;
            }
        }
    }
    return true;
}

struct CImageReleaser {
    void operator()(heif_image* image) const { heif_image_release(image); }
};

// Damaged data can end a slice early without a word from libde265, leaving blocks of the
// frame undecoded; its edge filter then works those blocks from memory it never set, so the
// pixels differ from run to run. Such a stream is found by decoding it unfiltered into frames
// that start as 0x00 and as 0xFF: where any sample differs, something was never decoded.
heif_error DecodeImage(void* decoder, heif_image** out) {
    *out = nullptr;
    const std::vector<std::uint8_t>& bytes = static_cast<CHevcDecoder*>(decoder)->data;
    heif_image* decoded = nullptr;
    heif_error error = DecodeOnce(bytes, 0x00, false, &decoded);
    const std::unique_ptr<heif_image, CImageReleaser> dark(decoded);
    if (error.code != heif_error_Ok) {
        return error;
    }
    error = DecodeOnce(bytes, 0xFF, false, &decoded);
    const std::unique_ptr<heif_image, CImageReleaser> light(decoded);
    if (error.code != heif_error_Ok) {
        return error;
    }
    if (!SamePlanes(dark.get(), light.get())) {
        return Failed(heif_error_Decoder_plugin_error,
                      "the picture is damaged: parts of it are never decoded");
    }
    return DecodeOnce(bytes, 0x00, true, out);
}

void SetStrictDecoding(void*, int) {}

const heif_decoder_plugin kPlugin = {
    3,                  // the plugin interface of libheif 1.15
    PluginName,         //
    nullptr,            // nothing to set up
    nullptr,            // nor to take down
    SupportsFormat,     //
    NewDecoder,         //
    FreeDecoder,        //
    PushData,           //
    DecodeImage,        //
    SetStrictDecoding,  // a damaged stream decodes as far as it goes either way
    "tavelo-de265",     //
};
#endif

}  // namespace

bool RegisterClearedHevcDecoder(std::string& error) {
#if TAVELO_HEVC_PLUGIN_FITS
    // The library the program runs with may be of another series than the one it was built with.
    const std::uint32_t running = heif_get_version_number();
    if ((running & kSeriesMask) != kPluginSeries) {
        error = Unfit(running);
        return false;
    }
    if (heif_register_decoder_plugin(&kPlugin).code != heif_error_Ok) {
        error = "HEIC pictures cannot be read: libheif refuses the program's HEVC decoder";
        return false;
    }
    return true;
#else
    error = Unfit(LIBHEIF_NUMERIC_VERSION);
    return false;
#endif
}
