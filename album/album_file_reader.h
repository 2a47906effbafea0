#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads album files back: the Palm database container, the album's records, and the pictures
// and Palm bitmaps they hold, checking every offset and length against the bytes there are.
// What a read holds stays within a small multiple of the file's size: each record belongs to
// one picture at most, the members of a Palm bitmap family do not overlap, and a picture is
// no larger than the largest size limit. Running out of memory is a failed read, never an
// exception.

struct CPdbRecord {
    std::uint32_t offset = 0;
    std::uint8_t attributes = 0;
    std::uint32_t uniqueId = 0;
    std::uint32_t size = 0;
};

struct CPdbFile {
    std::string name;
    std::uint16_t attributes = 0;
    std::uint16_t version = 0;
    std::uint32_t creationDate = 0;  // seconds since 1904-01-01
    std::uint32_t modificationDate = 0;
    std::uint32_t backupDate = 0;
    std::uint32_t type = 0;
    std::uint32_t creator = 0;
    std::uint32_t uniqueIdSeed = 0;
    std::vector<CPdbRecord> records;
};

// An image of 8-bit red, green, blue triples, rows top first.
struct CRgbImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> rgb;
};

struct CPalmBitmapInfo {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint16_t rowBytes = 0;
    std::uint16_t flags = 0;
    std::uint8_t pixelSize = 0;
    std::uint8_t version = 0;
    std::uint16_t nextDepthOffset = 0;
    CRgbImage image;  // greys for 2 and 4 bits, the system palette for 8
};

struct CAlbumPicture {
    std::uint16_t firstRecord = 0;
    std::uint16_t recordCount = 0;  // header record and data records
    std::string text;               // as stored (Windows-1252)
    std::vector<CPalmBitmapInfo> thumbnails;
    std::vector<std::uint8_t> image;  // the bitmap-file image, pieces joined
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t depth = 0;
};

struct CAlbumFile {
    CPdbFile database;
    std::uint32_t created = 0;  // seconds since 1970
    std::uint32_t random = 0;
    std::string text;  // as stored (Windows-1252)
    std::vector<CPalmBitmapInfo> icon;
    std::vector<CAlbumPicture> pictures;
};

// Where a reader takes an album file's bytes from: all of them in memory, or the file itself,
// read a part at a time.
class CAlbumBytes {
public:
    virtual ~CAlbumBytes() = default;
    virtual std::uint64_t Size() const = 0;
    // Copies `size` bytes from `offset` into `out`; false when they cannot all be read.
    [[nodiscard]] virtual bool Read(std::uint64_t offset, std::size_t size, std::uint8_t* out) = 0;
};

// The most of a title and note read from one record: more than any handheld record holds.
inline constexpr std::size_t kLongestStoredText = 65535;

[[nodiscard]] bool ReadPdbFile(const std::vector<std::uint8_t>& bytes, CPdbFile& out,
                               std::string& error);
// The whole album, every picture's bitmap header checked, so that each picture of an album
// that reads can be decoded; `error` says what is damaged or foreign when it returns false.
[[nodiscard]] bool ReadAlbumFile(const std::vector<std::uint8_t>& bytes, CAlbumFile& out,
                                 std::string& error);
// The same checks, reading all but the pictures' images, which stay empty: what is held is
// the record list, the texts (each cut at kLongestStoredText bytes) and the small pictures.
[[nodiscard]] bool ReadAlbumIndex(CAlbumBytes& bytes, CAlbumFile& out, std::string& error);
// Picture `index` of an album read by ReadAlbumIndex: its bitmap-file image from its data
// records, as far as the image goes (what follows it in the records is no part of it).
[[nodiscard]] bool ReadPictureImage(CAlbumBytes& bytes, const CAlbumFile& album, std::size_t index,
                                    std::vector<std::uint8_t>& image, std::string& error);
// One chain of Palm bitmaps starting at `data` (at most `size` bytes).
[[nodiscard]] bool ReadPalmBitmapFamily(const std::uint8_t* data, std::size_t size,
                                        std::vector<CPalmBitmapInfo>& out, std::string& error);
// A stored picture's bitmap-file image (4, 8 or 16 bits, at most 1280 x 1024) as the handheld
// shows it (16-bit words in its 5-6-5 layout).
[[nodiscard]] bool DecodeStoredImage(const std::vector<std::uint8_t>& image, CRgbImage& out,
                                     std::string& error);
// Checks a stored picture's bitmap-file image as DecodeStoredImage reads it, decoding nothing.
[[nodiscard]] bool CheckStoredImage(const std::vector<std::uint8_t>& image, std::string& error);
