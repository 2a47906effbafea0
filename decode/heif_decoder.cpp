#include "decode/heif_decoder.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include <libheif/heif.h>

#include "decode/hevc_plugin.h"
#include "decode/over_white.h"
#include "imaging/byte_order.h"
#include "imaging/picture_formats.h"

namespace {

constexpr int kSampleBits = 8;
// libheif refuses pictures over 32768 pixels a side in words of its own; with this the size is
// judged by the loader, which names it.
constexpr int kHeaderSideLimit = 1 << 24;
// HEVC codes pictures in square blocks of up to 64 pixels a side.
constexpr int kLargestCodingBlock = 64;

const char* const kCutShort = "the file is cut short";
// The item list and references sit near the start of the metadata box; coded data it may also
// carry is not needed to tell how the picture is coded.
constexpr std::size_t kMetaBytesRead = 4 << 20;

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

// Once per process: libheif registers its decoders and ours for HEVC (and never unregisters
// them here, since pictures may be decoding on other threads until the program ends).
bool LibraryReady() {
    static const bool ready =
        heif_init(nullptr).code == heif_error_Ok && RegisterClearedHevcDecoder();
    return ready;
}

// The size of the box whose header starts `head`, and the bytes that header takes; false where
// the box overruns the `available` bytes. A size of 0 means the box runs to the end.
bool BoxExtent(std::string_view head, std::uint64_t available, std::uint64_t& size,
               std::size_t& header) {
    if (head.size() < 8) {
        return false;
    }
    const auto* p = reinterpret_cast<const std::uint8_t*>(head.data());
    size = LoadBigEndian32(p);
    header = 8;
    if (size == 1) {
        if (head.size() < 16) {
            return false;
        }
        size = std::uint64_t{LoadBigEndian32(p + 8)} << 32 | LoadBigEndian32(p + 12);
        header = 16;
    } else if (size == 0) {
        size = available;
    }
    return size >= header && size <= available;
}

// Takes the next box off the front of `bytes`; false at their end, or at a box that overruns.
bool NextBox(std::string_view& bytes, std::string_view& type, std::string_view& content) {
    std::uint64_t size = 0;
    std::size_t header = 0;
    if (!BoxExtent(bytes, bytes.size(), size, header)) {
        return false;
    }
    type = bytes.substr(4, 4);
    content = bytes.substr(header, size - header);
    bytes.remove_prefix(size);
    return true;
}

// The content of the first box of type `wanted` among `bytes`, or nothing.
std::string_view Child(std::string_view bytes, std::string_view wanted) {
    std::string_view type;
    std::string_view content;
    while (NextBox(bytes, type, content)) {
        if (type == wanted) {
            return content;
        }
    }
    return {};
}

// Takes a 16-bit number, or a 32-bit one where `wide`, off the front of `bytes`; 0 when they
// are too short, and then nothing is left of them.
std::uint32_t TakeNumber(std::string_view& bytes, bool wide) {
    const std::size_t length = wide ? 4 : 2;
    if (bytes.size() < length) {
        bytes = {};
        return 0;
    }
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    bytes.remove_prefix(length);
    return wide ? LoadBigEndian32(p) : LoadBigEndian16(p);
}

// Takes the version and flags off the front of a box that has them; whether the version is
// above 0, which widens the numbers in the boxes read here.
bool TakeVersion(std::string_view& bytes) {
    const bool above0 = !bytes.empty() && bytes[0] != 0;
    bytes.remove_prefix(std::min<std::size_t>(4, bytes.size()));
    return above0;
}

// The content of the file's first metadata box, or its first kMetaBytesRead bytes; empty when
// there is none. Leaves the file at some other place.
std::string ReadMeta(std::FILE* file, std::uint64_t fileSize) {
    for (std::uint64_t at = 0; at < fileSize;) {
        char head[16];
        const auto got = static_cast<std::size_t>(std::min<std::uint64_t>(16, fileSize - at));
        std::uint64_t size = 0;
        std::size_t header = 0;
        if (!SeekTo(file, static_cast<std::int64_t>(at)) || std::fread(head, 1, got, file) != got ||
            !BoxExtent({head, got}, fileSize - at, size, header)) {
            return {};
        }
        if (std::string_view(head + 4, 4) == "meta") {
            const std::uint64_t length = std::min<std::uint64_t>(size - header, kMetaBytesRead);
            std::string meta(static_cast<std::size_t>(length), '\0');
            const bool read = SeekTo(file, static_cast<std::int64_t>(at + header)) &&
                              std::fread(meta.data(), 1, meta.size(), file) == meta.size();
            return read ? meta : std::string();
        }
        at += size;
    }
    return {};
}

enum class Coding { Hevc, Av1, Other };

// How the primary picture is coded, from the item list in `meta`: by its own item type, or by
// those of the pictures it is put together from, which must be coded themselves.
Coding PrimaryCoding(std::string_view meta) {
    TakeVersion(meta);
    std::string_view pitm = Child(meta, "pitm");
    std::string_view iinf = Child(meta, "iinf");
    std::string_view iref = Child(meta, "iref");
    const std::uint32_t primary = TakeNumber(pitm, TakeVersion(pitm));
    TakeNumber(iinf, TakeVersion(iinf));  // the entry count; the entries are read as found
    std::map<std::uint32_t, std::string_view> types;
    std::string_view box;
    std::string_view entry;
    while (NextBox(iinf, box, entry)) {
        const auto version = entry.empty() ? 0 : static_cast<unsigned char>(entry[0]);
        if (box != "infe" || version < 2 || version > 3) {
            continue;  // earlier versions name no item type
        }
        TakeVersion(entry);
        const std::uint32_t id = TakeNumber(entry, version == 3);
        TakeNumber(entry, false);  // protection index
        const auto [item, added] = types.emplace(id, entry.substr(0, 4));
        if (!added && item->second != entry.substr(0, 4)) {
            item->second = {};  // listed twice with two types: trust neither
        }
    }
    const auto typeOf = [&types](std::uint32_t id) {
        const auto item = types.find(id);
        return item == types.end() ? std::string_view() : item->second;
    };
    std::vector<std::string_view> coded{typeOf(primary)};
    if (coded[0] == "grid" || coded[0] == "iden" || coded[0] == "iovl") {
        coded.clear();
        const bool wide = TakeVersion(iref);
        std::string_view reference;
        while (NextBox(iref, box, reference)) {
            if (box == "dimg" && TakeNumber(reference, wide) == primary) {
                for (std::uint32_t n = TakeNumber(reference, false); n > 0 && !reference.empty();
                     --n) {
                    coded.push_back(typeOf(TakeNumber(reference, wide)));
                }
            }
        }
    }
    if (!coded.empty() && std::all_of(coded.begin(), coded.end(),
                                      [](std::string_view type) { return type == "hvc1"; })) {
        return Coding::Hevc;
    }
    return std::find(coded.begin(), coded.end(), "av01") != coded.end() ? Coding::Av1
                                                                        : Coding::Other;
}

std::string Failure(const CHeifInput& input, const heif_error& failure) {
    if (input.ranOut || failure.subcode == heif_suberror_End_of_data) {
        return kCutShort;
    }
    if (failure.code == heif_error_Memory_allocation_error &&
        failure.subcode != heif_suberror_Security_limit_exceeded) {
        return "out of memory";
    }
    const std::string_view message = failure.message != nullptr ? failure.message : "";
    if (const std::size_t damaged = message.find(kDamaged); damaged != std::string_view::npos) {
        return std::string(message.substr(damaged));
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
    // libheif decodes other codings too, whatever brand the file starts with; only HEVC is
    // read here. libheif goes on reading the file afterwards, so it gets it back where it was.
    const std::int64_t resume = Position(&heif.input);
    const Coding coding = PrimaryCoding(ReadMeta(file, fileSize));
    if (coding != Coding::Hevc) {
        error = std::string("the picture is ") +
                (coding == Coding::Av1 ? "AVIF" : "HEIF not coded with HEVC") + "; " + kFormatsRead;
        return false;
    }
    if (resume < 0 || !SeekTo(file, resume)) {
        error = "the file cannot be read";
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
