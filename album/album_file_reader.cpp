#include "album/album_file_reader.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <new>

#include "album/album_database.h"
#include "album/palm_bitmap.h"
#include "album/palm_database.h"
#include "imaging/byte_order.h"
#include "imaging/dib.h"

using namespace album_layout;

namespace {

std::uint16_t Le16(const std::uint8_t* p) { return LoadLittleEndian16(p); }
std::uint32_t Le32(const std::uint8_t* p) { return LoadLittleEndian32(p); }
std::int32_t LeS32(const std::uint8_t* p) { return static_cast<std::int32_t>(LoadLittleEndian32(p)); }

bool Fail(std::string& error, const std::string& why) {
    error = why;
    return false;
}

void Grey(CRgbImage& image, std::size_t pixel, std::uint8_t level) {
    image.rgb[3 * pixel] = image.rgb[3 * pixel + 1] = image.rgb[3 * pixel + 2] = level;
}

}  // namespace

bool ReadPdbFile(const std::vector<std::uint8_t>& bytes, CPdbFile& out, std::string& error) {
    if (bytes.size() < CPalmDatabase::kHeaderSize + 2) {
        return Fail(error, "too short for a Palm database (" + std::to_string(bytes.size()) +
                               " bytes)");
    }
    const std::uint8_t* p = bytes.data();
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
    if (bytes.size() < listEnd) {
        return Fail(error, "the record list runs past the end of the file");
    }
    out.records.clear();
    out.records.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* e = p + CPalmDatabase::kHeaderSize + 8 * i;
        CPdbRecord record;
        record.offset = LoadBigEndian32(e);
        record.attributes = e[4];
        record.uniqueId = (e[5] << 16) | (e[6] << 8) | e[7];
        if (record.offset < listEnd || record.offset > bytes.size()) {
            return Fail(error, "record " + std::to_string(i) + " starts outside the file");
        }
        out.records.push_back(record);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t end =
            i + 1 < count ? out.records[i + 1].offset : static_cast<std::uint32_t>(bytes.size());
        if (end < out.records[i].offset) {
            return Fail(error, "records " + std::to_string(i) + " and " + std::to_string(i + 1) +
                                   " are out of order");
        }
        out.records[i].size = end - out.records[i].offset;
    }
    return true;
}

bool ReadPalmBitmapFamily(const std::uint8_t* data, std::size_t size,
                          std::vector<CPalmBitmapInfo>& out, std::string& error) {
    out.clear();
    CSystemPalette palette;
    std::size_t at = 0;
    for (int member = 0; member < 8; ++member) {
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
        if (info.rowBytes * 8u < static_cast<unsigned>(depth) * info.width ||
            size - at - CPalmBitmapFamily::kHeaderSize <
                static_cast<std::size_t>(info.rowBytes) * info.height) {
            return Fail(error, "a Palm bitmap's rows run past its area");
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
    return Fail(error, "a Palm bitmap family with more than eight members");
}

bool DecodeStoredImage(const std::vector<std::uint8_t>& image, CRgbImage& out,
                       std::string& error) {
    if (image.size() < kBitmapFileHeader || image[0] != 'B' || image[1] != 'M') {
        return Fail(error, "the picture data is not a bitmap-file image");
    }
    const std::uint8_t* p = image.data();
    const std::uint32_t pixelOffset = Le32(p + 10);
    const std::int32_t width = LeS32(p + 18);
    const std::int32_t height = LeS32(p + 22);
    const std::uint16_t depth = Le16(p + 28);
    const std::uint32_t colors = Le32(p + 46);
    if (width <= 0 || height <= 0 || width > CDib::kMaxSide || height > CDib::kMaxSide ||
        (depth != 2 && depth != 4 && depth != 8 && depth != 16) || colors > 256) {
        return Fail(error, "the picture data has an unusable bitmap header");
    }
    const std::uint64_t stride = static_cast<std::uint64_t>((depth * width + 31) / 32) * 4;
    if (pixelOffset < kBitmapFileHeader + 4ull * colors ||
        image.size() < pixelOffset + stride * height) {
        return Fail(error, "the picture data is shorter than its header says");
    }
    const std::uint8_t* table = p + kBitmapFileHeader;
    out.width = width;
    out.height = height;
    out.rgb.assign(static_cast<std::size_t>(width) * height * 3, 0);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = p + pixelOffset + stride * (height - 1 - y);  // bottom-up
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
                if (index < colors) {
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

bool ReadAlbumFile(const std::vector<std::uint8_t>& bytes, CAlbumFile& out, std::string& error) {
    try {
        if (!ReadPdbFile(bytes, out.database, error)) {
            return false;
        }
        const CPdbFile& db = out.database;
        if (db.type != kType || db.creator != kCreator) {
            return Fail(error, "not an album file (type and creator are not TVLI/TVL2)");
        }
        if (db.records.empty() || db.records[0].size < kAlbumHeaderFixed) {
            return Fail(error, "the album header record is missing or too short");
        }
        const std::uint8_t* r0 = bytes.data() + db.records[0].offset;
        const std::size_t r0size = db.records[0].size;
        if (LoadBigEndian32(r0) != kAlbumRecordTag) {
            return Fail(error, "record 0 is not an album header record");
        }
        out.created = LoadBigEndian32(r0 + 4);
        out.random = LoadBigEndian32(r0 + 8);
        const std::uint32_t count = LoadBigEndian32(r0 + 12);
        if (count > kIndexEntries) {
            return Fail(error, "the album claims " + std::to_string(count) + " pictures");
        }
        const std::size_t textLength = r0size - kAlbumHeaderFixed;
        out.text.assign(reinterpret_cast<const char*>(r0 + kAlbumTextOffset), textLength);
        if (!ReadPalmBitmapFamily(r0 + kIconOffset, kIconArea, out.icon, error)) {
            error = "album icon: " + error;
            return false;
        }
        out.pictures.clear();
        for (std::uint32_t i = 0; i < count; ++i) {
            CAlbumPicture picture;
            picture.firstRecord = LoadBigEndian16(r0 + kIndexOffset + 4 * i);
            picture.recordCount = LoadBigEndian16(r0 + kIndexOffset + 4 * i + 2);
            const std::string which = "picture " + std::to_string(i + 1);
            if (picture.recordCount < 2 ||
                picture.firstRecord + std::size_t{picture.recordCount} > db.records.size()) {
                return Fail(error, which + ": its records are not in the file");
            }
            const CPdbRecord& header = db.records[picture.firstRecord];
            const std::uint8_t* h = bytes.data() + header.offset;
            if (header.size < kPictureHeaderFixed || LoadBigEndian32(h) != kPictureRecordTag) {
                return Fail(error, which + ": its header record is damaged");
            }
            picture.text.assign(reinterpret_cast<const char*>(h + kPictureTextOffset),
                                header.size - kPictureHeaderFixed);
            if (!ReadPalmBitmapFamily(h + kThumbnailOffset, kIconArea, picture.thumbnails, error)) {
                error = which + " thumbnail: " + error;
                return false;
            }
            for (std::uint32_t k = 1; k < picture.recordCount; ++k) {
                const CPdbRecord& data = db.records[picture.firstRecord + k];
                picture.image.insert(picture.image.end(), bytes.begin() + data.offset,
                                     bytes.begin() + data.offset + data.size);
            }
            if (picture.image.size() < kBitmapFileHeader || picture.image[0] != 'B' ||
                picture.image[1] != 'M') {
                return Fail(error, which + ": its data is not a bitmap-file image");
            }
            picture.width = LeS32(&picture.image[18]);
            picture.height = LeS32(&picture.image[22]);
            picture.depth = Le16(&picture.image[28]);
            const std::uint64_t stride =
                (static_cast<std::uint64_t>(picture.depth) * std::max(picture.width, 0) + 31) / 32 * 4;
            const std::uint64_t expected = std::uint64_t{Le32(&picture.image[10])} +
                                           stride * static_cast<std::uint64_t>(std::max(picture.height, 0));
            if (picture.image.size() < expected) {
                return Fail(error, which + ": its data is cut short");
            }
            out.pictures.push_back(std::move(picture));
        }
        return true;
    } catch (const std::bad_alloc&) {
        return Fail(error, "out of memory");
    }
}

bool LoadAlbumFile(const std::string& path, CAlbumFile& out, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) {
        error = "file not found";
        return false;
    }
    if (status.type() != fs::file_type::regular) {
        error = "not a regular file";
        return false;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > album_layout::kMaxAlbumFileSize) {
        error = ec ? "cannot be read" : "too large for an album file";
        return false;
    }
    try {
        std::ifstream in(path, std::ios::binary);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
        if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
            error = "cannot be read";
            return false;
        }
        return ReadAlbumFile(bytes, out, error);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
}
