// Album files from anywhere, as `inspect` and `extract` read them: the reader, the decoding of
// each picture, both reports and the extract.
#include <QJsonDocument>
#include <filesystem>

#include "album/album_file_reader.h"
#include "cli/album_report.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartFuzzApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path = InputFile(data, size, "album.pdb");
    CAlbumFile album;
    CInputError error;
    if (!LoadAlbumFile(path, album, error)) {
        FUZZ_CHECK(!error.reason.isEmpty());
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

    const std::filesystem::path folder = FuzzFolder() / "extract";
    int written = 0;
    const bool extracted = ExtractAlbum(album, PathFromSystem(folder.string()), written, error);
    FUZZ_CHECK(extracted);
    FUZZ_CHECK(written ==
               static_cast<int>(std::distance(std::filesystem::directory_iterator(folder),
                                              std::filesystem::directory_iterator())));
    std::filesystem::remove_all(folder);
    return 0;
}
