#include "decode/bmp_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "imaging/byte_order.h"

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;  // OS/2 1.x: 16-bit sizes, 3-byte colours
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kV2HeaderSize = 52;  // colour masks in the header
constexpr std::uint32_t kV3HeaderSize = 56;  // and the alpha mask
constexpr std::uint32_t kV4HeaderSize = 108;
constexpr std::uint32_t kV5HeaderSize = 124;
constexpr std::uint32_t kOs2MinHeaderSize = 16;  // OS/2 2.x: any length up to 64 bytes
constexpr std::uint32_t kOs2MaxHeaderSize = 64;
constexpr std::size_t kMaxMaskBytes = 16;
constexpr std::size_t kRleChunk = 64 * 1024;

enum Compression : std::uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kAlphaBitFields = 6,
};

const char* const kCutShort = "the file is cut short";
const char* const kUnknownColour =
    "the picture is damaged: a pixel has a colour the picture does not have";

// One channel of a 16- or 32-bit pixel, widened to 8 bits by repeating its bits, so that a
// channel's largest value becomes 255.
class CChannel {
public:
    // False for a mask whose bits are not contiguous.
    bool Set(std::uint32_t mask) {
        m_mask = mask;
        if (mask == 0) {
            return true;
        }
        m_shift = std::countr_zero(mask);
        m_bits = std::popcount(mask);
        if (std::countr_one(mask >> m_shift) != m_bits) {
            return false;
        }
        for (unsigned v = 0; m_bits <= 8 && v < (1u << m_bits); ++v) {
            unsigned out = 0;
            for (int at = 8 - m_bits; at > -m_bits; at -= m_bits) {
                out |= at >= 0 ? v << at : v >> -at;
            }
            m_wide[v] = static_cast<std::uint8_t>(out);
        }
        return true;
    }
    bool Empty() const { return m_mask == 0; }
    std::uint8_t Of(std::uint32_t pixel) const {
        if (m_mask == 0) {
            return 0;
        }
        const std::uint32_t v = (pixel & m_mask) >> m_shift;
        return m_bits <= 8 ? m_wide[v] : static_cast<std::uint8_t>(v >> (m_bits - 8));
    }

private:
    std::uint32_t m_mask = 0;
    int m_shift = 0;
    int m_bits = 0;
    std::array<std::uint8_t, 256> m_wide{};
};

// What the headers say about the pixel data.
struct CBmpLayout {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool topDown = false;
    int bits = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t masks[4] = {};  // red, green, blue, alpha
    std::uint64_t paletteStart = 0;
    std::uint32_t paletteEntries = 0;
    std::uint32_t paletteEntrySize = 4;
    std::uint64_t pixelOffset = 0;

    std::size_t RowBytes() const { return (static_cast<std::size_t>(bits) * width + 7) / 8; }
    std::size_t FileStride() const {
        return (static_cast<std::size_t>(bits) * width + 31) / 32 * 4;
    }
    // The picture's row (top first) stored as the file's row r.
    std::int32_t RowOf(std::int32_t r) const { return topDown ? r : height - 1 - r; }
};

bool SeekTo(std::FILE* file, std::uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
    return offset <= static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) &&
           fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool ReadExactly(std::FILE* file, std::uint8_t* to, std::size_t count) {
    return std::fread(to, 1, count, file) == count;
}

bool KnownHeaderSize(std::uint32_t size) {
    return size == kCoreHeaderSize || (size >= kOs2MinHeaderSize && size <= kOs2MaxHeaderSize) ||
           size == kV4HeaderSize || size == kV5HeaderSize;
}

bool IsWindowsHeader(std::uint32_t size) {
    return size == kInfoHeaderSize || size == kV2HeaderSize || size == kV3HeaderSize ||
           size == kV4HeaderSize || size == kV5HeaderSize;
}

// Reads the file header, the info header and any colour masks.
bool ReadLayout(std::FILE* file, CBmpLayout& layout, std::string& error) {
    std::uint8_t head[kFileHeaderSize + kV5HeaderSize + kMaxMaskBytes] = {};
    if (!SeekTo(file, 0) || !ReadExactly(file, head, kFileHeaderSize + 4)) {
        error = kCutShort;
        return false;
    }
    if (head[0] != 'B' || head[1] != 'M') {
        error = "not a BMP picture";
        return false;
    }
    const std::uint32_t infoSize = LoadLittleEndian32(head + kFileHeaderSize);
    if (!KnownHeaderSize(infoSize)) {
        error = "a BMP header of " + std::to_string(infoSize) +
                " bytes, which this program does not know";
        return false;
    }
    const std::uint8_t* info = head + kFileHeaderSize;
    if (!ReadExactly(file, head + kFileHeaderSize + 4, infoSize - 4)) {
        error = kCutShort;
        return false;
    }
    layout.pixelOffset = LoadLittleEndian32(head + 10);
    std::int64_t height = 0;
    std::uint32_t colorsUsed = 0;
    if (infoSize == kCoreHeaderSize) {
        layout.width = LoadLittleEndian16(info + 4);
        height = LoadLittleEndian16(info + 6);
        layout.bits = LoadLittleEndian16(info + 10);
        layout.paletteEntrySize = 3;
    } else {
        layout.width = static_cast<std::int32_t>(LoadLittleEndian32(info + 4));
        height = static_cast<std::int32_t>(LoadLittleEndian32(info + 8));
        layout.bits = LoadLittleEndian16(info + 14);
        layout.compression = infoSize >= 20 ? LoadLittleEndian32(info + 16) : kRgb;
        colorsUsed = infoSize >= 36 ? LoadLittleEndian32(info + 32) : 0;
    }
    const bool windows = IsWindowsHeader(infoSize);
    const bool bitFields =
        windows && (layout.compression == kBitFields || layout.compression == kAlphaBitFields);
    const bool supported = layout.compression == kRgb || bitFields ||
                           (layout.compression == kRle8 && layout.bits == 8) ||
                           (layout.compression == kRle4 && layout.bits == 4);
    if (!supported) {
        error = "a BMP compression (" + std::to_string(layout.compression) +
                ") this program does not read";
        return false;
    }
    const int bits = layout.bits;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 &&
        bits != 32) {
        error =
            "a BMP depth of " + std::to_string(bits) + " bits, which this program does not read";
        return false;
    }
    if (bitFields && bits != 16 && bits != 32) {
        error = "the picture is damaged: colour masks on " + std::to_string(bits) + "-bit pixels";
        return false;
    }
    layout.topDown = height < 0;
    height = height < 0 ? -height : height;
    if (layout.width <= 0 || height == 0 || height > std::numeric_limits<std::int32_t>::max()) {
        error = "the picture has no size";
        return false;
    }
    layout.height = static_cast<std::int32_t>(height);
    if (layout.topDown && layout.compression != kRgb && !bitFields) {
        error = "the picture is damaged: compressed rows stored top-down";
        return false;
    }

    layout.paletteStart = kFileHeaderSize + infoSize;
    if (bitFields) {
        const std::uint8_t* masks = info + kInfoHeaderSize;
        const std::size_t maskCount = layout.compression == kAlphaBitFields ? 4 : 3;
        if (infoSize == kInfoHeaderSize) {  // the masks follow the header
            if (!ReadExactly(file, head + kFileHeaderSize + kInfoHeaderSize, 4 * maskCount)) {
                error = kCutShort;
                return false;
            }
            layout.paletteStart += 4 * maskCount;
        }
        const bool hasAlpha = maskCount == 4 || infoSize >= kV3HeaderSize;
        for (std::size_t i = 0; i < (hasAlpha ? 4u : 3u); ++i) {
            layout.masks[i] = LoadLittleEndian32(masks + 4 * i);
        }
    } else if (bits == 16) {
        layout.masks[0] = 0x7C00;
        layout.masks[1] = 0x03E0;
        layout.masks[2] = 0x001F;
    } else if (bits == 32) {
        layout.masks[0] = 0xFF0000;
        layout.masks[1] = 0x00FF00;
        layout.masks[2] = 0x0000FF;
    }
    if (layout.pixelOffset < layout.paletteStart) {
        error = "the picture is damaged: its pixels would start inside its header";
        return false;
    }
    if (bits <= 8) {
        const std::uint32_t most = 1u << bits;
        const std::uint32_t wanted = colorsUsed != 0 ? std::min(colorsUsed, most) : most;
        const std::uint64_t room =
            (layout.pixelOffset - layout.paletteStart) / layout.paletteEntrySize;
        layout.paletteEntries = static_cast<std::uint32_t>(std::min<std::uint64_t>(wanted, room));
        if (layout.paletteEntries == 0) {
            error = "the picture has no colours";
            return false;
        }
    }

    return true;
}

// Uncompressed rows must all be there; compressed data is checked as it is read.
bool PixelsThere(const CBmpLayout& layout, std::uint64_t fileSize, std::string& error) {
    const bool compressed = layout.compression == kRle8 || layout.compression == kRle4;
    const std::uint64_t needed =
        compressed ? 1
                   : static_cast<std::uint64_t>(layout.FileStride()) * (layout.height - 1) +
                         layout.RowBytes();
    if (layout.pixelOffset > fileSize || needed > fileSize - layout.pixelOffset) {
        error = kCutShort;
        return false;
    }
    return true;
}

// Colours and channels, ready to turn stored pixels into blue, green, red.
struct CBmpColours {
    std::vector<std::array<std::uint8_t, 3>> palette;  // blue, green, red
    CChannel channels[4];                              // red, green, blue, alpha
    bool alpha = false;
};

inline std::uint8_t OverWhite(std::uint32_t c, std::uint32_t a) {
    return static_cast<std::uint8_t>((c * a + 255u * (255u - a) + 127u) / 255u);
}

// One stored row of an uncompressed picture into blue, green, red; false for a colour that is
// not in the table.
bool ConvertRow(const CBmpLayout& layout, const CBmpColours& colours, const std::uint8_t* in,
                std::uint8_t* out) {
    const std::int32_t width = layout.width;
    const int bits = layout.bits;
    if (bits <= 8) {
        const unsigned perByte = 8u / static_cast<unsigned>(bits);
        const unsigned mask = (1u << bits) - 1;
        for (std::int32_t x = 0; x < width; ++x, out += 3) {
            const unsigned shift = 8u - static_cast<unsigned>(bits) * (1 + x % perByte);
            const unsigned index = (in[x / perByte] >> shift) & mask;
            if (index >= colours.palette.size()) {
                return false;
            }
            std::memcpy(out, colours.palette[index].data(), 3);
        }
        return true;
    }
    if (bits == 24) {
        std::memcpy(out, in, 3 * static_cast<std::size_t>(width));
        return true;
    }
    const CChannel* c = colours.channels;
    for (std::int32_t x = 0; x < width; ++x, out += 3) {
        const std::uint32_t pixel =
            bits == 16 ? LoadLittleEndian16(in + 2 * x) : LoadLittleEndian32(in + 4 * x);
        std::uint8_t r = c[0].Of(pixel);
        std::uint8_t g = c[1].Of(pixel);
        std::uint8_t b = c[2].Of(pixel);
        if (colours.alpha) {
            const std::uint8_t a = c[3].Of(pixel);
            r = OverWhite(r, a);
            g = OverWhite(g, a);
            b = OverWhite(b, a);
        }
        out[0] = b;
        out[1] = g;
        out[2] = r;
    }
    return true;
}

// Whether any pixel of the picture has an opacity other than 0 (read through the whole file,
// so that the answer does not depend on the rows wanted).
bool AnyOpacity(std::FILE* file, const CBmpLayout& layout, const CChannel& alpha,
                std::vector<std::uint8_t>& row) {
    if (!SeekTo(file, layout.pixelOffset)) {
        return false;
    }
    for (std::int32_t r = 0; r < layout.height; ++r) {
        const std::size_t count = r + 1 < layout.height ? layout.FileStride() : layout.RowBytes();
        if (!ReadExactly(file, row.data(), count)) {
            return false;
        }
        for (std::int32_t x = 0; x < layout.width; ++x) {
            const std::uint32_t pixel = layout.bits == 16 ? LoadLittleEndian16(&row[2 * x])
                                                          : LoadLittleEndian32(&row[4 * x]);
            if (alpha.Of(pixel) != 0) {
                return true;
            }
        }
    }
    return false;
}

bool DecodeRows(std::FILE* file, const CBmpLayout& layout, const CBmpColours& colours,
                CPictureRows& rows, std::string& error) {
    // With a short colour table every row is read, wanted or not, so that whether the picture
    // loads does not depend on the rows asked for.
    const bool checkEveryRow = layout.bits <= 8 && colours.palette.size() < (1u << layout.bits);
    std::vector<std::uint8_t> stored(layout.FileStride());
    std::vector<std::uint8_t> unwanted(checkEveryRow ? 3 * static_cast<std::size_t>(layout.width)
                                                     : 0);
    std::uint64_t at = std::numeric_limits<std::uint64_t>::max();  // where the file stands
    for (std::int32_t r = 0; r < layout.height; ++r) {
        const std::int32_t y = layout.RowOf(r);
        const bool wanted = rows.Wants(y);
        if (!wanted && !checkEveryRow) {
            continue;
        }
        const std::uint64_t offset =
            layout.pixelOffset + static_cast<std::uint64_t>(r) * layout.FileStride();
        if (offset != at && !SeekTo(file, offset)) {
            error = kCutShort;
            return false;
        }
        if (!ReadExactly(file, stored.data(), layout.RowBytes())) {
            error = kCutShort;
            return false;
        }
        at = offset + layout.RowBytes();
        if (!ConvertRow(layout, colours, stored.data(), wanted ? rows.Row(y) : unwanted.data())) {
            error = kUnknownColour;
            return false;
        }
        if (wanted) {
            rows.RowDone(y);
        }
    }
    return true;
}

// The bytes of compressed pixel data, read in chunks up to the end of the file.
class CByteStream {
public:
    CByteStream(std::FILE* file) : m_file(file), m_chunk(kRleChunk) {}
    bool Next(std::uint8_t& byte) {
        if (m_at == m_end) {
            m_end = std::fread(m_chunk.data(), 1, m_chunk.size(), m_file);
            m_at = 0;
            if (m_end == 0) {
                return false;
            }
        }
        byte = m_chunk[m_at++];
        return true;
    }

private:
    std::FILE* m_file;
    std::vector<std::uint8_t> m_chunk;
    std::size_t m_at = 0;
    std::size_t m_end = 0;
};

// RLE8 and RLE4. Pixels the data moves past (with a delta or an early end of line) are left
// undrawn, that is white. Data that runs out before the last row is reached is a file cut
// short; an end-of-bitmap code before it is a bitmap that ends early, and said so.
bool DecodeRle(std::FILE* file, const CBmpLayout& layout, const CBmpColours& colours,
               CPictureRows& rows, std::string& error) {
    constexpr int kUndrawn = -1;
    const bool four = layout.compression == kRle4;
    const std::int32_t width = layout.width;
    const std::int32_t height = layout.height;
    std::vector<int> line(static_cast<std::size_t>(width), kUndrawn);
    std::int32_t r = 0;  // the file's row, bottom first
    std::int32_t x = 0;
    bool badColour = false;

    const auto endRow = [&] {
        for (const int index : line) {  // every row, so that the rows asked for do not matter
            badColour = badColour || (index != kUndrawn &&
                                      static_cast<std::size_t>(index) >= colours.palette.size());
        }
        if (r < height && !badColour && rows.Wants(layout.RowOf(r))) {
            std::uint8_t* out = rows.Row(layout.RowOf(r));
            for (const int index : line) {
                if (index == kUndrawn) {
                    std::memset(out, 0xFF, 3);
                } else {
                    std::memcpy(out, colours.palette[static_cast<std::size_t>(index)].data(), 3);
                }
                out += 3;
            }
            rows.RowDone(layout.RowOf(r));
        }
        std::fill(line.begin(), line.end(), kUndrawn);
        ++r;
    };
    const auto put = [&](int index) {
        if (x < width) {
            line[static_cast<std::size_t>(x)] = index;
        }
        ++x;
    };

    if (!SeekTo(file, layout.pixelOffset)) {
        error = kCutShort;
        return false;
    }
    CByteStream data(file);
    bool ended = false;  // by an end-of-bitmap code
    std::uint8_t count = 0;
    std::uint8_t code = 0;
    while (r < height && !badColour && data.Next(count) && data.Next(code)) {
        if (count > 0) {  // a run of one colour, or of two alternating in RLE4
            for (int i = 0; i < count; ++i) {
                put(four ? (i % 2 == 0 ? code >> 4 : code & 0x0F) : code);
            }
        } else if (code == 0) {
            endRow();
            x = 0;
        } else if (code == 1) {
            ended = true;
            break;
        } else if (code == 2) {
            std::uint8_t dx = 0;
            std::uint8_t dy = 0;
            if (!data.Next(dx) || !data.Next(dy)) {
                break;
            }
            for (int i = 0; i < dy && r < height; ++i) {
                endRow();
            }
            x += dx;
        } else {  // `code` pixels as they are, padded to a whole number of 16-bit words
            const int bytes = four ? (code + 1) / 2 : code;
            std::uint8_t b = 0;
            for (int i = 0; i < bytes; ++i) {
                if (!data.Next(b)) {
                    break;
                }
                if (four) {
                    put(b >> 4);
                    if (2 * i + 1 < code) {
                        put(b & 0x0F);
                    }
                } else {
                    put(b);
                }
            }
            if (bytes % 2 == 1 && !data.Next(b)) {
                break;
            }
        }
    }
    const bool reachedLastRow = r >= height - 1;
    const bool complete = ended ? reachedLastRow : (r >= height || (r == height - 1 && x >= width));
    if (r < height) {
        endRow();
    }
    if (badColour) {
        error = kUnknownColour;
        return false;
    }
    if (!complete) {
        error = ended ? "the compressed pixels end before the last row (end-of-bitmap code)"
                      : kCutShort;
        return false;
    }
    return true;
}

}  // namespace

bool ReadBmpHeader(std::FILE* file, CPictureHeader& header, std::string& error) {
    CBmpLayout layout;
    if (!ReadLayout(file, layout, error)) {
        return false;
    }
    header = CPictureHeader{};
    header.width = layout.width;
    header.height = layout.height;
    return true;
}

bool DecodeBmp(std::FILE* file, std::uint64_t fileSize, CPictureRows& rows, std::string& error) {
    CBmpLayout layout;
    if (!ReadLayout(file, layout, error) || !PixelsThere(layout, fileSize, error)) {
        return false;
    }
    if (layout.width != rows.Width() || layout.height != rows.Height()) {
        error = "the file changed while it was read";
        return false;
    }
    try {
        CBmpColours colours;
        if (layout.bits <= 8) {
            std::vector<std::uint8_t> table(static_cast<std::size_t>(layout.paletteEntries) *
                                            layout.paletteEntrySize);
            if (!SeekTo(file, layout.paletteStart) ||
                !ReadExactly(file, table.data(), table.size())) {
                error = kCutShort;
                return false;
            }
            colours.palette.resize(layout.paletteEntries);
            for (std::size_t i = 0; i < colours.palette.size(); ++i) {
                std::memcpy(colours.palette[i].data(), &table[i * layout.paletteEntrySize], 3);
            }
        } else if (layout.bits != 24) {
            for (int i = 0; i < 4; ++i) {
                if (!colours.channels[i].Set(layout.masks[i])) {
                    error = "the picture is damaged: a colour mask with gaps";
                    return false;
                }
            }
            if (colours.channels[0].Empty() && colours.channels[1].Empty() &&
                colours.channels[2].Empty()) {
                error = "the picture is damaged: its colour masks are all zero";
                return false;
            }
            if (!colours.channels[3].Empty()) {
                std::vector<std::uint8_t> row(layout.FileStride());
                colours.alpha = AnyOpacity(file, layout, colours.channels[3], row);
            }
        }
        const bool compressed = layout.compression == kRle8 || layout.compression == kRle4;
        return compressed ? DecodeRle(file, layout, colours, rows, error)
                          : DecodeRows(file, layout, colours, rows, error);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
}
