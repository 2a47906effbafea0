// Album files from anywhere, as `extract` writes them, a picture at a time, into a folder that
// holds an earlier extract's files and one of the user's.
#include <filesystem>
#include <fstream>

#include "cli/album_report.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartFuzzApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace fs = std::filesystem;
    const QString path = InputFile(data, size, "extract.pdb");
    const fs::path folder = FuzzFolder() / "extract";
    fs::create_directory(folder);
    // Of more pictures than an album holds, so no extract writes it again.
    for (const char* earlier :
         {"picture_9999.png", "picture_9999_thumbnail_8bit.png", "notes.txt"}) {
        std::ofstream(folder / earlier) << "earlier";
    }
    const auto entries = [&folder] {
        return static_cast<int>(
            std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    };
    CAlbumFileInput album;
    CInputError error;
    if (!OpenAlbumFile(path, album, error)) {
        FUZZ_CHECK(!error.reason.isEmpty());
        FUZZ_CHECK(entries() == 3);
    } else {
        // A file whose index reads is extracted whole, and the folder then shows that album
        // and the user's file only.
        int written = 0;
        FUZZ_CHECK(ExtractAlbum(album, PathFromSystem(folder.string()), written, error));
        FUZZ_CHECK(entries() == written + 1);
        FUZZ_CHECK(fs::exists(folder / "notes.txt"));
    }
    fs::remove_all(folder);
    return 0;
}
