#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/dib.h"

class CPalmDatabase;
class CPalmBitmapFamily;

// One picture as the database build reads it: at its final size, adjusted and cropped, still
// at 24 bits per pixel. Its text is already in the handheld's code page.
class CPreparedPicture {
public:
    CPreparedPicture() = default;
    virtual ~CPreparedPicture() = default;
    CPreparedPicture(const CPreparedPicture&) = delete;
    CPreparedPicture& operator=(const CPreparedPicture&) = delete;

    // Copies a 24- or 32-bit source into the own 24-bit bitmap and sets the size of the
    // picture's stored bitmap file.
    [[nodiscard]] virtual bool SetImage(const CDib& source);
    // The picture's header record, then its data records.
    [[nodiscard]] virtual bool WriteRecords(CPalmDatabase& database);

    [[nodiscard]] bool WritePictureHeader(CPalmDatabase& database);
    // The 32 x 32 thumbnail of the picture's central square, at the picture's depths.
    [[nodiscard]] bool MakeThumbnail(CPalmBitmapFamily& family);
    // The picture at its colour depth as a bitmap-file image cut into data records.
    [[nodiscard]] bool WritePictureData(CPalmDatabase& database);
    // Data records of the picture: its stored bitmap file in pieces of 51200 bytes, the last
    // never empty.
    std::uint32_t DataRecordCount() const;

    // Size in bytes of the picture's bitmap-file image at colour depth `depth`:
    // stride x height + 4 x colour-table entries + 54.
    static std::uint32_t ImageSize(std::uint8_t depth, std::int32_t width, std::int32_t height);
    // Colour-table entries of a stored picture: 16 at 4 bits, 256 at 8 and at 16 bits.
    static std::uint32_t ColorTableEntries(std::uint8_t depth);

    std::uint8_t m_dither = 0;
    std::uint8_t m_colorDepth = 0;
    std::uint32_t m_imageSize = 0;
    std::string m_text;
    CDib m_bitmap;
};

// The album as the database build reads it.
class CPreparedAlbum {
public:
    CPreparedAlbum() = default;
    virtual ~CPreparedAlbum();
    CPreparedAlbum(const CPreparedAlbum&) = delete;
    CPreparedAlbum& operator=(const CPreparedAlbum&) = delete;

    // Appends the picture at the end and takes ownership of it.
    bool AddPicture(std::unique_ptr<CPreparedPicture> picture);
    std::size_t PictureCount() const { return m_pictures.size(); }
    CPreparedPicture& Picture(std::size_t index) { return *m_pictures[index]; }
    const CPreparedPicture& Picture(std::size_t index) const { return *m_pictures[index]; }

    // Record 0 (album index, icon, text), then every picture's records.
    [[nodiscard]] bool WriteAlbum(CPalmDatabase& database);
    [[nodiscard]] bool WriteAlbumHeader(CPalmDatabase& database);
    [[nodiscard]] bool WritePictures(CPalmDatabase& database);

    const CDib* m_icon = nullptr;  // not owned
    std::string m_text;            // album title, "\n", album note, in the handheld's code page

private:
    std::vector<std::unique_ptr<CPreparedPicture>> m_pictures;
};
