#pragma once

#include <cstdint>

#include "album/album_rules.h"
#include "album/palm_bitmap.h"
#include "album/palm_database.h"
#include "album/prepared_album.h"

// The album file: a Palm database of type "TVLI" and creator "TVL2" named "tvl_album_<time>"
// whose record 0 indexes the pictures, each picture being a header record followed by data
// records that carry it as a bitmap-file image in pieces of at most 51200 bytes.
namespace album_layout {
inline constexpr std::uint32_t kType = FourCharCode("TVLI");
inline constexpr std::uint32_t kCreator = FourCharCode("TVL2");
inline constexpr std::uint32_t kDataRecordSize = 51200;
inline constexpr std::size_t kIndexEntries = 1056;  // room in record 0's picture index
inline constexpr std::size_t kAlbumHeaderFixed = 8245;
inline constexpr std::size_t kIndexOffset = 16;
inline constexpr std::size_t kIconOffset = 4240;
inline constexpr std::size_t kIconArea = 4000;
inline constexpr std::size_t kAlbumTextOffset = 8240;
inline constexpr std::size_t kPictureHeaderFixed = 4045;
inline constexpr std::size_t kThumbnailOffset = 40;
inline constexpr std::size_t kPictureTextOffset = 4040;
inline constexpr std::uint32_t kAlbumRecordTag = 0x01000000;
inline constexpr std::uint32_t kPictureRecordTag = 0x02000000;
inline constexpr int kThumbnailSide = 32;
inline constexpr std::size_t kBitmapFileHeader = 54;
// The largest album file: record offsets beyond 2 GB are more than a handheld, or a reader
// that takes them for signed numbers, can follow.
inline constexpr std::uint64_t kMaxAlbumFileSize = 0x7FFFFFFF;
}  // namespace album_layout

// Builds the whole database from the prepared album and writes it to `path`. False, with no
// file created or changed, when any record cannot be built or the album holds more pictures
// than the index has room for.
[[nodiscard]] bool WriteAlbumDatabase(const char* path, CPreparedAlbum& album);

// Names and types the database as an album file.
void NameAlbumDatabase(CPalmDatabase& database);
// Builds the database in memory (what WriteAlbumDatabase writes).
[[nodiscard]] bool BuildAlbumDatabase(CPreparedAlbum& album, CPalmDatabase& database);

// The 24 x 24 album icon of `icon`'s central square, encoded into `family`.
[[nodiscard]] bool MakeAlbumIcon(const CDib& icon, CPalmBitmapFamily& family);
