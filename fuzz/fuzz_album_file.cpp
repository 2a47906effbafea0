// Album files from anywhere, as `inspect` and the window's handheld view read them: the reader,
// the decoding of each picture and both reports. (The extract has a target of its own.)
#include <QJsonDocument>

#include "album/album_file_reader.h"
#include "cli/album_report.h"
#include "fuzz/fuzz_input.h"
#include "platform/album_file_input.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartFuzzApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path = InputFile(data, size, "album.pdb");
    CAlbumFile album;
    std::string error;
    if (!LoadAlbumFile(PathToSystem(path), album, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    // What holds a file that reads is no larger than a small multiple of the file.
    std::size_t held = 0;
    for (const CAlbumPicture& picture : album.pictures) {
        held += picture.image.size();
        for (const CPalmBitmapInfo& member : picture.thumbnails) {
            held += member.image.rgb.size();
        }
        // Every picture of a file that reads can be shown.
        CRgbImage image;
        std::string why;
        FUZZ_CHECK(DecodeStoredImage(picture.image, image, why));
        FUZZ_CHECK(image.rgb.size() == static_cast<std::size_t>(image.width) * image.height * 3);
    }
    FUZZ_CHECK(held <= 16 * size);
    const QString text = DescribeAlbum(path, album);
    FUZZ_CHECK(!text.contains(QChar(0x1B)));
    (void)QJsonDocument(AlbumToJson(path, album)).toJson();
    return 0;
}
