#include "album/album_file_reader.h"

#include <algorithm>
#include <new>

#include "album/album_database.h"
#include "album/album_rules.h"
#include "album/palm_bitmap.h"
#include "album/palm_database.h"
#include "imaging/byte_order.h"
#include "imaging/dib.h"

using namespace album_layout;

namespace {

// 2, 4 and 8 bits per pixel, in that order.
constexpr int kMaxFamilyMembers = 3;
constexpr char kOutOfMemory[] = "not enough memory to read it";

std::uint16_t Le16(const std::uint8_t* p) {
    return LoadLittleEndian16(p);
}
std::uint32_t Le32(const std::uint8_t* p) {
    return LoadLittleEndian32(p);
}
std::int32_t LeS32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(LoadLittleEndian32(p));
}

bool Fail(std::string& error, const std::string& why) {
    error = why;
    return false;
}

void Grey(CRgbImage& image, std::size_t pixel, std::uint8_t level) {
    image.rgb[3 * pixel] = image.rgb[3 * pixel + 1] = image.rgb[3 * pixel + 2] = level;
}

// The header of a stored picture's bitmap-file image, checked against the bytes there are.
struct CStoredImageHeader {
    std::uint32_t pixelOffset = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t depth = 0;
    std::uint32_t colors = 0;
    std::uint64_t stride = 0;
};

// Only what the build can write is accepted: a stored depth and a picture within the largest
// size limit, so that decoding one never takes more than a few megabytes.
bool ReadStoredImageHeader(const std::uint8_t* p, std::size_t size, CStoredImageHeader& header,
                           std::string& error) {
    if (size < kBitmapFileHeader || p[0] != 'B' || p[1] != 'M') {
        return Fail(error, "the picture data is not a bitmap-file image");
    }
    header.pixelOffset = Le32(p + 10);
    header.width = LeS32(p + 18);
    header.height = LeS32(p + 22);
    header.depth = Le16(p + 28);
    header.colors = Le32(p + 46);
    // The pixels follow the colour table: an image never needs more than its rows and 256
    // colours, however many bytes its records hold.
    if (header.width <= 0 || header.height <= 0 || header.width > kMaxLimitWidth ||
        header.height > kMaxLimitHeight || !IsStoredDepth(header.depth) || header.colors > 256 ||
        header.pixelOffset > kBitmapFileHeader + 4 * 256) {
        return Fail(error, "the picture data has an unusable bitmap header");
    }
    header.stride = static_cast<std::uint64_t>((header.depth * header.width + 31) / 32) * 4;
    if (header.pixelOffset < kBitmapFileHeader + 4ull * header.colors ||
        size < header.pixelOffset + header.stride * static_cast<std::uint64_t>(header.height)) {
        return Fail(error, "the picture data is cut short");
    }
    return true;
}

// The whole file in memory.
class CMemoryBytes : public CAlbumBytes {
public:
    explicit CMemoryBytes(const std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}
    std::uint64_t Size() const override { return m_bytes.size(); }
    bool Read(std::uint64_t offset, std::size_t size, std::uint8_t* out) override {
        if (offset > m_bytes.size() || size > m_bytes.size() - offset) {
            return false;
        }
        std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset), size, out);
        return true;
    }

private:
    const std::vector<std::uint8_t>& m_bytes;
};

constexpr char kUnreadable[] = "the file cannot be read (it changed while being read?)";

bool ReadPart(CAlbumBytes& bytes, std::uint64_t offset, std::size_t size,
              std::vector<std::uint8_t>& out, std::string& error) {
    out.resize(size);
    return bytes.Read(offset, size, out.data()) || Fail(error, kUnreadable);
}

bool ReadPdbFileUnguarded(CAlbumBytes& bytes, CPdbFile& out, std::string& error) {
    const std::uint64_t fileSize = bytes.Size();
    if (fileSize < CPalmDatabase::kHeaderSize + 2) {
        return Fail(error,
                    "too short for a Palm database (" + std::to_string(fileSize) + " bytes)");
    }
    if (fileSize > kMaxAlbumFileSize) {
        return Fail(error, "larger than any album file");
    }
    std::vector<std::uint8_t> header;
    if (!ReadPart(bytes, 0, CPalmDatabase::kHeaderSize, header, error)) {
        return false;
    }
    const std::uint8_t* p = header.data();
    const auto nameEnd = std::find(p, p + CPalmDatabase::kNameSize, std::uint8_t{0});
    if (nameEnd == p + CPalmDatabase::kNameSize) {
        return Fail(error, "the database name is not terminated: not a Palm database");
    }
    out.name.assign(p, nameEnd);
    out.attributes = LoadBigEndian16(p + 32);
    out.version = LoadBigEndian16(p + 34);
    out.creationDate = LoadBigEndian32(p + 36);
    out.modificationDate = LoadBigEndian32(p + 40);
    out.backupDate = LoadBigEndian32(p + 44);
    out.type = LoadBigEndian32(p + 60);
    out.creator = LoadBigEndian32(p + 64);
    out.uniqueIdSeed = LoadBigEndian32(p + 68);
    const std::uint16_t count = LoadBigEndian16(p + 76);
    const std::size_t listEnd = CPalmDatabase::kHeaderSize + 8u * count;
    std::vector<std::uint8_t> list;
    if (fileSize < listEnd) {
        return Fail(error, "the record list runs past the end of the file");
    }
    if (!ReadPart(bytes, CPalmDatabase::kHeaderSize, 8u * count, list, error)) {
        return false;
    }
    out.records.clear();
    out.records.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* e = list.data() + 8 * i;
        CPdbRecord record;
        record.offset = LoadBigEndian32(e);
        record.attributes = e[4];
        record.uniqueId = (e[5] << 16) | (e[6] << 8) | e[7];
        if (record.offset < listEnd || record.offset > fileSize) {
            return Fail(error, "record " + std::to_string(i) + " starts outside the file");
        }
        out.records.push_back(record);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t end =
            i + 1 < count ? out.records[i + 1].offset : static_cast<std::uint32_t>(fileSize);
        if (end < out.records[i].offset) {
            return Fail(error, "records " + std::to_string(i) + " and " + std::to_string(i + 1) +
                                   " are out of order");
        }
        out.records[i].size = end - out.records[i].offset;
    }
    return true;
}

bool ReadPalmBitmapFamilyUnguarded(const std::uint8_t* data, std::size_t size,
                                   std::vector<CPalmBitmapInfo>& out, std::string& error) {
    out.clear();
    CSystemPalette palette;
    std::size_t at = 0;
    for (int member = 0; member < kMaxFamilyMembers; ++member) {
        if (size - at < CPalmBitmapFamily::kHeaderSize) {
            return Fail(error, "a Palm bitmap header runs past its area");
        }
        const std::uint8_t* h = data + at;
        CPalmBitmapInfo info;
        info.width = LoadBigEndian16(h);
        info.height = LoadBigEndian16(h + 2);
        info.rowBytes = LoadBigEndian16(h + 4);
        info.flags = LoadBigEndian16(h + 6);
        info.pixelSize = h[8];
        info.version = h[9];
        info.nextDepthOffset = LoadBigEndian16(h + 10);
        const int depth = info.pixelSize;
        if (info.width == 0 || info.height == 0) {
            return Fail(error, "a Palm bitmap with no pixels");
        }
        if (depth != 2 && depth != 4 && depth != 8) {
            return Fail(error, "a Palm bitmap of " + std::to_string(depth) + " bits per pixel");
        }
        // Each member is deeper than the one before, so no depth comes twice.
        if (!out.empty() && depth <= out.back().pixelSize) {
            return Fail(error, "a Palm bitmap family whose depths do not increase");
        }
        const std::size_t memberBytes =
            CPalmBitmapFamily::kHeaderSize + static_cast<std::size_t>(info.rowBytes) * info.height;
        if (info.rowBytes * 8u < static_cast<unsigned>(depth) * info.width ||
            size - at < memberBytes) {
            return Fail(error, "a Palm bitmap's rows run past its area");
        }
        // Members follow one another; overlapping ones would let a small area decode to many
        // large pictures.
        if (info.nextDepthOffset != 0 && 4u * info.nextDepthOffset < memberBytes) {
            return Fail(error, "a Palm bitmap's next-depth offset points into its own rows");
        }
        if (depth == 8 && !palette.IsAllocated() &&
            !palette.LoadFromResource(CSystemPalette::kResourceId)) {
            return Fail(error, "the system palette is missing");
        }
        info.image.width = info.width;
        info.image.height = info.height;
        info.image.rgb.assign(static_cast<std::size_t>(info.width) * info.height * 3, 0);
        const std::uint8_t* rows = h + CPalmBitmapFamily::kHeaderSize;
        for (int y = 0; y < info.height; ++y) {
            const std::uint8_t* row = rows + static_cast<std::size_t>(y) * info.rowBytes;
            for (int x = 0; x < info.width; ++x) {
                const std::size_t pixel = static_cast<std::size_t>(y) * info.width + x;
                if (depth == 8) {
                    std::uint8_t r, g, b;
                    palette.GetEntry(row[x], r, g, b);
                    info.image.rgb[3 * pixel] = r;
                    info.image.rgb[3 * pixel + 1] = g;
                    info.image.rgb[3 * pixel + 2] = b;
                } else {
                    const int perByte = 8 / depth;
                    const int shift = 8 - depth * (1 + x % perByte);
                    const int value = (row[x / perByte] >> shift) & ((1 << depth) - 1);
                    // 0 is the lightest grey on the handheld.
                    const int levels = (1 << depth) - 1;
                    Grey(info.image, pixel, static_cast<std::uint8_t>(255 - value * 255 / levels));
                }
            }
        }
        const std::uint16_t next = info.nextDepthOffset;
        out.push_back(std::move(info));
        if (next == 0) {
            return true;
        }
        if (size - at < 4u * next) {
            return Fail(error, "a Palm bitmap's next-depth offset points past its area");
        }
        at += 4u * next;
    }
    return Fail(error, "a Palm bitmap family with more than three members");
}

bool DecodeStoredImageUnguarded(const std::vector<std::uint8_t>& image, CRgbImage& out,
                                std::string& error) {
    CStoredImageHeader header;
    if (!ReadStoredImageHeader(image.data(), image.size(), header, error)) {
        return false;
    }
    const std::uint8_t* p = image.data();
    const std::uint8_t* table = p + kBitmapFileHeader;
    const std::int32_t width = header.width;
    const std::int32_t height = header.height;
    const std::uint16_t depth = header.depth;
    out.width = width;
    out.height = height;
    out.rgb.assign(static_cast<std::size_t>(width) * height * 3, 0);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* row =
            p + header.pixelOffset + header.stride * (height - 1 - y);  // bottom-up
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint8_t r = 0, g = 0, b = 0;
            if (depth == 16) {
                const std::uint16_t w = Le16(row + 2 * x);
                r = static_cast<std::uint8_t>(((w >> 11) & 0x1F) * 255 / 31);
                g = static_cast<std::uint8_t>(((w >> 5) & 0x3F) * 255 / 63);
                b = static_cast<std::uint8_t>((w & 0x1F) * 255 / 31);
            } else {
                const int perByte = 8 / depth;
                const int shift = 8 - depth * (1 + x % perByte);
                const unsigned index = (row[x / perByte] >> shift) & ((1u << depth) - 1);
                if (index < header.colors) {
                    b = table[4 * index];
                    g = table[4 * index + 1];
                    r = table[4 * index + 2];
                }
            }
            const std::size_t at = 3 * (static_cast<std::size_t>(y) * width + x);
            out.rgb[at] = r;
            out.rgb[at + 1] = g;
            out.rgb[at + 2] = b;
        }
    }
    return true;
}

// The first `size` bytes of a picture's data records joined (all of them when they hold fewer).
bool ReadJoined(CAlbumBytes& bytes, const CPdbFile& db, const CAlbumPicture& picture,
                std::size_t size, std::vector<std::uint8_t>& out, std::string& error) {
    out.clear();
    out.reserve(size);
    for (std::uint32_t k = 1; k < picture.recordCount && out.size() < size; ++k) {
        const CPdbRecord& data = db.records[picture.firstRecord + k];
        const std::size_t take = std::min<std::size_t>(data.size, size - out.size());
        const std::size_t at = out.size();
        out.resize(at + take);
        if (!bytes.Read(data.offset, take, out.data() + at)) {
            return Fail(error, kUnreadable);
        }
    }
    return true;
}

bool ReadAlbumIndexUnguarded(CAlbumBytes& bytes, CAlbumFile& out, std::string& error) {
    if (!ReadPdbFileUnguarded(bytes, out.database, error)) {
        return false;
    }
    const CPdbFile& db = out.database;
    if (db.type != kType || db.creator != kCreator) {
        return Fail(error, "not an album file (type and creator are not TVLI/TVL2)");
    }
    if (db.records.empty() || db.records[0].size < kAlbumHeaderFixed) {
        return Fail(error, "the album header record is missing or too short");
    }
    std::vector<std::uint8_t> record;
    const std::size_t r0size =
        std::min<std::size_t>(db.records[0].size, kAlbumHeaderFixed + kLongestStoredText);
    if (!ReadPart(bytes, db.records[0].offset, r0size, record, error)) {
        return false;
    }
    const std::uint8_t* r0 = record.data();
    if (LoadBigEndian32(r0) != kAlbumRecordTag) {
        return Fail(error, "record 0 is not an album header record");
    }
    out.created = LoadBigEndian32(r0 + 4);
    out.random = LoadBigEndian32(r0 + 8);
    const std::uint32_t count = LoadBigEndian32(r0 + 12);
    if (count > kIndexEntries) {
        return Fail(error, "the album claims " + std::to_string(count) + " pictures");
    }
    const std::size_t textLength =
        std::min<std::size_t>(db.records[0].size - kAlbumHeaderFixed, kLongestStoredText);
    out.text.assign(reinterpret_cast<const char*>(r0 + kAlbumTextOffset), textLength);
    if (!ReadPalmBitmapFamilyUnguarded(r0 + kIconOffset, kIconArea, out.icon, error)) {
        error = "album icon: " + error;
        return false;
    }
    std::vector<std::uint16_t> entries(2 * count);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i] = LoadBigEndian16(r0 + kIndexOffset + 2 * i);
    }
    // Which picture each record belongs to (0: none yet). Every record is read for one
    // picture at most, so what the pictures hold is never more than the file itself.
    std::vector<std::uint16_t> owner(db.records.size(), 0);
    out.pictures.clear();
    out.pictures.reserve(count);
    std::vector<std::uint8_t> start;
    for (std::uint32_t i = 0; i < count; ++i) {
        CAlbumPicture picture;
        picture.firstRecord = entries[2 * i];
        picture.recordCount = entries[2 * i + 1];
        const std::string which = "picture " + std::to_string(i + 1);
        if (picture.firstRecord == 0 || picture.recordCount < 2 ||
            picture.firstRecord + std::size_t{picture.recordCount} > db.records.size()) {
            return Fail(error, which + ": its records are not in the file");
        }
        std::uint64_t imageSize = 0;
        for (std::size_t k = 0; k < picture.recordCount; ++k) {
            std::uint16_t& claimed = owner[picture.firstRecord + k];
            if (claimed != 0) {
                return Fail(
                    error, which + ": its records are those of picture " + std::to_string(claimed));
            }
            claimed = static_cast<std::uint16_t>(i + 1);
            imageSize += k == 0 ? 0 : db.records[picture.firstRecord + k].size;
        }
        const CPdbRecord& header = db.records[picture.firstRecord];
        if (header.size < kPictureHeaderFixed) {
            return Fail(error, which + ": its header record is damaged");
        }
        if (!ReadPart(bytes, header.offset,
                      std::min<std::size_t>(header.size, kPictureHeaderFixed + kLongestStoredText),
                      record, error)) {
            return false;
        }
        const std::uint8_t* h = record.data();
        if (LoadBigEndian32(h) != kPictureRecordTag) {
            return Fail(error, which + ": its header record is damaged");
        }
        picture.text.assign(reinterpret_cast<const char*>(h + kPictureTextOffset),
                            record.size() - kPictureHeaderFixed);
        if (!ReadPalmBitmapFamilyUnguarded(h + kThumbnailOffset, kIconArea, picture.thumbnails,
                                           error)) {
            error = which + " thumbnail: " + error;
            return false;
        }
        // Checked here, so that a file that reads can be shown whole.
        CStoredImageHeader stored;
        if (!ReadJoined(bytes, db, picture, kBitmapFileHeader, start, error) ||
            !ReadStoredImageHeader(start.data(), static_cast<std::size_t>(imageSize), stored,
                                   error)) {
            error = which + ": " + error;
            return false;
        }
        picture.width = stored.width;
        picture.height = stored.height;
        picture.depth = stored.depth;
        out.pictures.push_back(std::move(picture));
    }
    return true;
}

bool ReadPictureImageUnguarded(CAlbumBytes& bytes, const CAlbumFile& album, std::size_t index,
                               std::vector<std::uint8_t>& image, std::string& error) {
    if (index >= album.pictures.size()) {
        return Fail(error, "no such picture");
    }
    const CAlbumPicture& picture = album.pictures[index];
    std::uint64_t imageSize = 0;
    for (std::uint32_t k = 1; k < picture.recordCount; ++k) {
        imageSize += album.database.records[picture.firstRecord + k].size;
    }
    CStoredImageHeader stored;
    if (!ReadJoined(bytes, album.database, picture, kBitmapFileHeader, image, error) ||
        !ReadStoredImageHeader(image.data(), static_cast<std::size_t>(imageSize), stored, error)) {
        return false;
    }
    return ReadJoined(
        bytes, album.database, picture,
        stored.pixelOffset + stored.stride * static_cast<std::uint64_t>(stored.height), image,
        error);
}

}  // namespace

bool ReadPdbFile(const std::vector<std::uint8_t>& bytes, CPdbFile& out, std::string& error) {
    try {
        CMemoryBytes source(bytes);
        return ReadPdbFileUnguarded(source, out, error);
    } catch (const std::bad_alloc&) {
        return Fail(error, kOutOfMemory);
    }
}

bool ReadPalmBitmapFamily(const std::uint8_t* data, std::size_t size,
                          std::vector<CPalmBitmapInfo>& out, std::string& error) {
    try {
        return ReadPalmBitmapFamilyUnguarded(data, size, out, error);
    } catch (const std::bad_alloc&) {
        return Fail(error, kOutOfMemory);
    }
}

bool DecodeStoredImage(const std::vector<std::uint8_t>& image, CRgbImage& out, std::string& error) {
    try {
        return DecodeStoredImageUnguarded(image, out, error);
    } catch (const std::bad_alloc&) {
        return Fail(error, kOutOfMemory);
    }
}

bool CheckStoredImage(const std::vector<std::uint8_t>& image, std::string& error) {
    CStoredImageHeader header;
    return ReadStoredImageHeader(image.data(), image.size(), header, error);
}

bool ReadAlbumFile(const std::vector<std::uint8_t>& bytes, CAlbumFile& out, std::string& error) {
    CMemoryBytes source(bytes);
    if (!ReadAlbumIndex(source, out, error)) {
        return false;
    }
    for (std::size_t i = 0; i < out.pictures.size(); ++i) {
        if (!ReadPictureImage(source, out, i, out.pictures[i].image, error)) {
            error = "picture " + std::to_string(i + 1) + ": " + error;
            return false;
        }
    }
    return true;
}

bool ReadAlbumIndex(CAlbumBytes& bytes, CAlbumFile& out, std::string& error) {
    try {
        return ReadAlbumIndexUnguarded(bytes, out, error);
    } catch (const std::bad_alloc&) {
        return Fail(error, kOutOfMemory);
    }
}

bool ReadPictureImage(CAlbumBytes& bytes, const CAlbumFile& album, std::size_t index,
                      std::vector<std::uint8_t>& image, std::string& error) {
    try {
        return ReadPictureImageUnguarded(bytes, album, index, image, error);
    } catch (const std::bad_alloc&) {
        return Fail(error, kOutOfMemory);
    }
}
