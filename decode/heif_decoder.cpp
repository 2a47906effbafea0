#include "decode/heif_decoder.h"

#include <algorithm>
#include <cstdint>
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
// The most pixels the tiles of a grid picture may hold together: twice those of the largest
// picture the loader takes (400 MB at 4 bytes a pixel).
constexpr std::uint64_t kMaxGridPixels = 200'000'000;

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
bool LibraryReady(std::string& error) {
    static std::string failure;
    static const bool ready = [] {
        if (heif_init(nullptr).code != heif_error_Ok) {
            failure = "the HEIF library cannot be started";
            return false;
        }
        return RegisterClearedHevcDecoder(failure);
    }();
    error = failure;
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

// The primary item: its number, its type, and the items it is put together from.
struct CPrimaryItem {
    std::uint32_t id = 0;
    std::string_view type;
    std::vector<std::uint32_t> parts;
};

// How the primary picture is coded, from the item list in `meta`: by its own item type, or by
// those of the pictures it is put together from, which must be coded themselves.
Coding PrimaryCoding(std::string_view meta, CPrimaryItem& found) {
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
    found.id = primary;
    found.type = typeOf(primary);
    std::vector<std::string_view> coded{found.type};
    if (coded[0] == "grid" || coded[0] == "iden" || coded[0] == "iovl") {
        coded.clear();
        const bool wide = TakeVersion(iref);
        std::string_view reference;
        while (NextBox(iref, box, reference)) {
            if (box == "dimg" && TakeNumber(reference, wide) == primary) {
                for (std::uint32_t n = TakeNumber(reference, false); n > 0 && !reference.empty();
                     --n) {
                    found.parts.push_back(TakeNumber(reference, wide));
                    coded.push_back(typeOf(found.parts.back()));
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

// Takes a big-endian number of `length` bytes (at most 8; 0 gives 0) off the front of `bytes`.
std::uint64_t TakeSized(std::string_view& bytes, std::size_t length) {
    if (bytes.size() < length) {
        bytes = {};
        return 0;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < length; ++i) {
        value = value << 8 | static_cast<std::uint8_t>(bytes[i]);
    }
    bytes.remove_prefix(length);
    return value;
}

// The first few bytes of item `id`'s data (its first extent), from the location box in `meta`
// and from the file or the metadata's own data box; empty when they cannot be found.
std::string ItemStart(std::string_view meta, std::uint32_t id, std::FILE* file,
                      std::uint64_t fileSize, std::size_t wanted) {
    std::string_view iloc = Child(meta, "iloc");
    const auto version = iloc.empty() ? 0 : static_cast<std::uint8_t>(iloc[0]);
    TakeVersion(iloc);
    const auto sizes = static_cast<std::uint32_t>(TakeSized(iloc, 2));
    const std::size_t offsetSize = sizes >> 12;
    const std::size_t lengthSize = sizes >> 8 & 15;
    const std::size_t baseSize = sizes >> 4 & 15;
    const std::size_t indexSize = version >= 1 ? sizes & 15 : 0;
    if (offsetSize > 8 || lengthSize > 8 || baseSize > 8 || indexSize > 8 || version > 2) {
        return {};
    }
    for (std::uint32_t n = TakeNumber(iloc, version == 2); n > 0 && !iloc.empty(); --n) {
        const std::uint32_t item = TakeNumber(iloc, version == 2);
        const std::uint32_t method = version >= 1 ? TakeNumber(iloc, false) & 15 : 0;
        TakeNumber(iloc, false);  // data reference
        const std::uint64_t base = TakeSized(iloc, baseSize);
        const std::uint32_t extents = TakeNumber(iloc, false);
        for (std::uint32_t e = 0; e < extents && !iloc.empty(); ++e) {
            TakeSized(iloc, indexSize);
            const std::uint64_t offset = base + TakeSized(iloc, offsetSize);
            TakeSized(iloc, lengthSize);
            if (item != id || e > 0) {
                continue;
            }
            if (method == 1) {  // in the metadata's data box
                const std::string_view idat = Child(meta, "idat");
                return offset < idat.size() ? std::string(idat.substr(offset, wanted))
                                            : std::string();
            }
            std::string bytes(wanted, '\0');
            if (method != 0 || offset >= fileSize || offset > INT64_MAX ||
                !SeekTo(file, static_cast<std::int64_t>(offset))) {
                return {};
            }
            bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
            return bytes;
        }
    }
    return {};
}

// The largest stored size (width, height) among `items`, from their properties in `meta`;
// 0 x 0 when one of them has none.
std::pair<std::uint64_t, std::uint64_t> LargestSize(std::string_view meta,
                                                    const std::vector<std::uint32_t>& items) {
    const std::string_view iprp = Child(meta, "iprp");
    std::string_view ipco = Child(iprp, "ipco");
    std::string_view ipma = Child(iprp, "ipma");
    std::vector<std::string_view> properties;  // the content of each size box; others empty
    std::string_view type;
    std::string_view content;
    while (NextBox(ipco, type, content)) {
        properties.push_back(type == "ispe" ? content : std::string_view());
    }
    const auto version = ipma.empty() ? 0 : static_cast<std::uint8_t>(ipma[0]);
    const bool wideIndex = ipma.size() >= 4 && (ipma[3] & 1) != 0;
    TakeVersion(ipma);
    std::map<std::uint32_t, std::pair<std::uint64_t, std::uint64_t>> sizes;
    for (std::uint64_t n = TakeSized(ipma, 4); n > 0 && !ipma.empty(); --n) {
        const std::uint32_t item = TakeNumber(ipma, version >= 1);
        for (std::uint64_t k = TakeSized(ipma, 1); k > 0 && !ipma.empty(); --k) {
            const std::uint64_t index =
                TakeSized(ipma, wideIndex ? 2 : 1) & (wideIndex ? 0x7FFF : 0x7F);
            if (index >= 1 && index <= properties.size() && properties[index - 1].size() >= 12) {
                std::string_view ispe = properties[index - 1];
                TakeVersion(ispe);
                const std::uint64_t width = TakeSized(ispe, 4);
                sizes[item] = {width, TakeSized(ispe, 4)};
            }
        }
    }
    std::pair<std::uint64_t, std::uint64_t> largest{0, 0};
    for (const std::uint32_t item : items) {
        const auto size = sizes.find(item);
        if (size == sizes.end()) {
            return {0, 0};
        }
        largest = {std::max(largest.first, size->second.first),
                   std::max(largest.second, size->second.second)};
    }
    return largest;
}

// Why a grid picture is refused before any tile is decoded, or nothing. libheif decodes every
// tile a grid refers to, the same one as often as it is named: a grid may name no more tiles
// than it has cells, and its tiles may hold no more pixels than whole tiles covering the
// picture need, nor more than kMaxGridPixels.
std::string GridProblem(std::string_view meta, const CPrimaryItem& grid, std::FILE* file,
                        std::uint64_t fileSize) {
    TakeVersion(meta);
    const std::string start = ItemStart(meta, grid.id, file, fileSize, 12);
    std::string_view layout = start;
    if (layout.size() < 8) {
        return "the picture is damaged: its grid cannot be read";
    }
    const bool wide = (layout[1] & 1) != 0;
    const std::uint64_t cells =
        (static_cast<std::uint64_t>(static_cast<std::uint8_t>(layout[2])) + 1) *
        (static_cast<std::uint8_t>(layout[3]) + 1);
    layout.remove_prefix(4);
    // Sides beyond any picture's are cut down so that the products below stay in range;
    // libheif refuses such sides itself.
    const auto side = [](std::uint64_t value) { return std::min<std::uint64_t>(value, 1 << 20); };
    const std::uint64_t width = side(TakeSized(layout, wide ? 4 : 2));
    const std::uint64_t height = side(TakeSized(layout, wide ? 4 : 2));
    if (grid.parts.size() > cells) {
        return "the picture is damaged: its grid names " + std::to_string(grid.parts.size()) +
               " tiles for " + std::to_string(cells) + " cells";
    }
    const auto [storedWidth, storedHeight] = LargestSize(meta, grid.parts);
    const std::uint64_t tileWidth = side(storedWidth);
    const std::uint64_t tileHeight = side(storedHeight);
    const std::uint64_t pixels = grid.parts.size() * tileWidth * tileHeight;
    if (tileWidth == 0 || tileHeight == 0 || pixels > kMaxGridPixels ||
        pixels > (width + tileWidth) * (height + tileHeight)) {
        return "the picture is damaged: its grid's tiles hold " + std::to_string(pixels) +
               " pixels for a picture of " + std::to_string(width) + " x " + std::to_string(height);
    }
    return {};
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
    if (!LibraryReady(error)) {
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
    const std::string meta = ReadMeta(file, fileSize);
    CPrimaryItem item;
    const Coding coding = PrimaryCoding(meta, item);
    if (coding != Coding::Hevc) {
        error = std::string("the picture is ") +
                (coding == Coding::Av1 ? "AVIF" : "HEIF not coded with HEVC") + "; " +
                FormatsRead();
        return false;
    }
    if (item.type == "grid") {
        error = GridProblem(meta, item, file, fileSize);
        if (!error.empty()) {
            return false;
        }
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
