// Album descriptions from anywhere, as `build --album` reads them, up to the checks that come
// before any picture is opened.
#include "album/album.h"
#include "album/album_project.h"
#include "cli/album_json.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartFuzzApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path = InputFile(data, size, "album.json");
    CAlbum album;
    CInputError error;
    if (!ReadAlbumJson(path, album, error)) {
        FUZZ_CHECK(!error.reason.isEmpty());
        return 0;
    }
    FUZZ_CHECK(album.Count() <= kMaxPictures);
    // What was read is written as a project and read back the same, whatever bytes its texts
    // and paths hold.
    const std::string folder = FuzzFolder().string();
    const std::string written = WriteAlbumProject(album, folder);
    CAlbum again;
    std::string problem;
    FUZZ_CHECK(ReadAlbumProject(written, folder, again, problem));
    FUZZ_CHECK(WriteAlbumProject(again, folder) == written);
    for (std::size_t i = 0; i < album.Count(); ++i) {
        const CAlbumImage& entry = *album.At(i);
        FUZZ_CHECK(IsStoredDepth(entry.m_colorDepth));
        FUZZ_CHECK(IsValidSizeLimit(entry.m_sizeLimitWidth, entry.m_sizeLimitHeight));
    }
    (void)CheckPictureFiles(album, error);
    (void)TextChanges(album);
    return 0;
}
