#include "album/album_database.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "album/clock.h"
#include "album/crt_random.h"
#include "convert/conversion.h"
#include "convert/depth_converter.h"
#include "imaging/byte_order.h"

using namespace album_layout;

namespace {

// A zero-filled block, or an empty vector when memory runs out.
std::vector<std::uint8_t> ZeroBlock(std::size_t size) {
    try {
        return std::vector<std::uint8_t>(size, 0);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

// Resamples the central square of `source` (its shorter side) into a new side x side bitmap.
bool CentralSquare(const CDib& source, int side, CDib& out) {
    const std::int32_t w = source.Width();
    const std::int32_t h = source.Height();
    const std::int32_t square = std::min(w, h);
    return out.Create(side, side, 24) &&
           ResampleDib(source, (w - square) / 2, (h - square) / 2, square, square, out, side, side);
}

}  // namespace

bool MakeAlbumIcon(const CDib& icon, CPalmBitmapFamily& family) {
    if (!icon.IsCreated()) {
        return false;
    }
    // A plain copy into 24 bits through the row converter, whatever depth the icon has.
    CDib copy;
    if (!copy.Create(icon.Width(), icon.Height(), 24)) {
        return false;
    }
    CDepthConverter converter;
    converter.m_sourceDepth = icon.BitsPerPixel();
    converter.m_destinationDepth = 24;
    converter.m_width = icon.Width();
    if (!converter.Prepare()) {
        return false;
    }
    // Row by row: a loaded picture's rows need not lie one after another in memory.
    for (std::int32_t y = 0; y < icon.Height(); ++y) {
        converter.Convert(icon.Row(y), copy.Row(y), 1);
    }

    CDib square;
    if (!CentralSquare(copy, kIconSide, square)) {
        return false;
    }
    family.m_source = &square;
    const bool encoded = family.Encode();
    family.m_source = nullptr;  // the square dies here; the family keeps only its bitmaps
    return encoded;
}

std::uint32_t CPreparedPicture::DataRecordCount() const {
    return m_imageSize / kDataRecordSize + 1;
}

bool CPreparedAlbum::WriteAlbum(CPalmDatabase& database) {
    return WriteAlbumHeader(database) && WritePictures(database);
}

bool CPreparedAlbum::WriteAlbumHeader(CPalmDatabase& database) {
    const std::size_t pictures = m_pictures.size();
    if (pictures > kIndexEntries) {
        return false;  // the index has no room for them
    }
    const std::size_t textLength = m_text.size();
    std::vector<std::uint8_t> record = ZeroBlock(kAlbumHeaderFixed + textLength);
    if (record.empty()) {
        return false;
    }
    const auto t = static_cast<std::uint32_t>(CurrentTime());
    CrtSrand(t);
    const auto random = static_cast<std::uint32_t>(CrtRand());
    StoreBigEndian32(&record[0], kAlbumRecordTag);
    StoreBigEndian32(&record[4], t);
    StoreBigEndian32(&record[8], random);
    StoreBigEndian32(&record[12], static_cast<std::uint32_t>(pictures));

    std::uint32_t first = 1;
    for (std::size_t i = 0; i < pictures; ++i) {
        const std::uint32_t records = m_pictures[i]->DataRecordCount() + 1;
        StoreBigEndian16(&record[kIndexOffset + 4 * i], static_cast<std::uint16_t>(first));
        StoreBigEndian16(&record[kIndexOffset + 4 * i + 2], static_cast<std::uint16_t>(records));
        first += records;
    }

    CPalmBitmapFamily family;
    CDib blackIcon;
    const CDib* icon = m_icon;
    if (icon == nullptr) {
        // No icon chosen: the handheld shows a black one.
        if (!blackIcon.Create(kIconSide, kIconSide, 24)) {
            return false;
        }
        icon = &blackIcon;
    }
    if (!MakeAlbumIcon(*icon, family) || family.WrittenSize() > kIconArea ||
        !family.CopyTo(&record[kIconOffset])) {
        return false;
    }
    if (textLength != 0) {
        std::memcpy(&record[kAlbumTextOffset], m_text.data(), textLength);
    }
    // The text's terminating zero and the four zero bytes after it are already there.
    return database.AddRecord(record.data(), static_cast<std::uint32_t>(record.size()));
}

bool CPreparedAlbum::WritePictures(CPalmDatabase& database) {
    for (auto& picture : m_pictures) {
        if (!picture->WriteRecords(database)) {
            return false;
        }
    }
    return true;
}

bool CPreparedPicture::WriteRecords(CPalmDatabase& database) {
    return WritePictureHeader(database) && WritePictureData(database);
}

bool CPreparedPicture::MakeThumbnail(CPalmBitmapFamily& family) {
    CDib thumbnail;
    if (!m_bitmap.IsCreated() || !CentralSquare(m_bitmap, kThumbnailSide, thumbnail)) {
        return false;
    }
    family.m_source = &thumbnail;
    family.m_maxDepth = m_colorDepth;
    const bool encoded = family.Encode();
    family.m_source = nullptr;
    return encoded;
}

bool CPreparedPicture::WritePictureHeader(CPalmDatabase& database) {
    CPalmBitmapFamily family;
    if (!MakeThumbnail(family) || family.WrittenSize() > kIconArea) {
        return false;
    }
    std::vector<std::uint8_t> record = ZeroBlock(kPictureHeaderFixed + m_text.size());
    if (record.empty()) {
        return false;
    }
    StoreBigEndian32(&record[0], kPictureRecordTag);
    if (!family.CopyTo(&record[kThumbnailOffset])) {
        return false;
    }
    if (!m_text.empty()) {
        std::memcpy(&record[kPictureTextOffset], m_text.data(), m_text.size());
    }
    return database.AddRecord(record.data(), static_cast<std::uint32_t>(record.size()));
}

bool CPreparedPicture::WritePictureData(CPalmDatabase& database) {
    const std::int32_t w = m_bitmap.Width();
    const std::int32_t h = m_bitmap.Height();
    const std::uint32_t colors = ColorTableEntries(m_colorDepth);
    // The index in record 0 was counted from m_imageSize: the pieces must match it.
    if (!m_bitmap.IsCreated() || m_imageSize != ImageSize(m_colorDepth, w, h)) {
        return false;
    }
    CDib device;
    if (!device.Create(w, h, m_colorDepth, static_cast<std::uint16_t>(colors)) ||
        !ConvertDepth(m_bitmap, device, 1, m_dither)) {
        return false;
    }
    std::vector<std::uint8_t> image = ZeroBlock(m_imageSize);
    if (image.empty()) {
        return false;
    }
    const std::uint32_t pixelOffset = kBitmapFileHeader + 4 * colors;
    std::uint8_t* p = image.data();
    p[0] = 'B';
    p[1] = 'M';
    // File size and reserved fields stay 0, as the viewer expects. The converted bitmap's own
    // info header and colour table follow as they are.
    StoreLittleEndian32(p + 10, pixelOffset);
    std::memcpy(p + kBitmapFileHeader - CDib::kInfoHeaderSize, device.Info(), device.InfoSize());
    for (std::int32_t y = 0; y < h; ++y) {
        std::memcpy(p + pixelOffset + static_cast<std::size_t>(y) * device.RowStride(),
                    device.Row(y), static_cast<std::size_t>(device.RowStride()));
    }
    for (std::uint32_t offset = 0; offset < m_imageSize; offset += kDataRecordSize) {
        const std::uint32_t size = std::min(kDataRecordSize, m_imageSize - offset);
        if (!database.AddRecord(p + offset, size)) {
            return false;
        }
    }
    return true;
}

void NameAlbumDatabase(CPalmDatabase& database) {
    char name[CPalmDatabase::kNameSize];
    std::snprintf(name, sizeof name, "tvl_album_%lld", static_cast<long long>(CurrentTime()));
    database.SetName(name);
    database.SetType(kType);
    database.SetCreator(kCreator);
}

bool BuildAlbumDatabase(CPreparedAlbum& album, CPalmDatabase& database) {
    NameAlbumDatabase(database);
    return album.WriteAlbum(database);
}

bool WriteAlbumDatabase(const char* path, CPreparedAlbum& album) {
    CPalmDatabase database;
    return BuildAlbumDatabase(album, database) && database.WriteToFile(path);
}
