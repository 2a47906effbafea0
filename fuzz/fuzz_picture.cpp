// Picture files from anywhere, as a build takes them: loading, then preparation at a few
// settings, conversion to every depth and the records the album file gets.
#include <array>
#include <cstring>
#include <vector>

#include "album/album_image.h"
#include "album/palm_database.h"
#include "album/picture_preparation.h"
#include "convert/conversion.h"
#include "decode/picture_loader.h"
#include "fuzz/fuzz_input.h"

namespace {

// Larger pictures add nothing but time per input (the loader's own size limits are checked
// from the header, before this): decoded up to this many pixels, converted whole up to the
// second.
constexpr std::int64_t kMaxRenderedPixels = 2048 * 1024;
constexpr std::int64_t kMaxConvertedPixels = 512 * 512;

CAlbumImage Settings(std::uint8_t depth, std::uint8_t dither, std::uint8_t crop, std::int16_t width,
                     std::int16_t height, std::int16_t brightness, std::int16_t contrast,
                     std::int32_t x, std::int32_t y) {
    CAlbumImage entry;
    entry.m_colorDepth = depth;
    entry.m_dither = dither;
    entry.m_crop = crop;
    entry.m_sizeLimitWidth = width;
    entry.m_sizeLimitHeight = height;
    entry.m_brightness = brightness;
    entry.m_contrast = contrast;
    entry.m_horizontalOffset = x;
    entry.m_verticalOffset = y;
    entry.m_title = "t";
    return entry;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartFuzzApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path = InputFile(data, size, "picture");
    CPictureLoader loader;
    if (!loader.Open(PathToSystem(path))) {
        FUZZ_CHECK(!loader.Error().empty());
        return 0;
    }
    if (static_cast<std::int64_t>(loader.Width()) * loader.Height() > kMaxRenderedPixels) {
        return 0;
    }
    CDib loaded;
    if (!loader.RenderToDib(loaded)) {
        FUZZ_CHECK(!loader.Error().empty());
        return 0;
    }
    FUZZ_CHECK(loaded.Width() == loader.Width() && loaded.Height() == loader.Height());
    FUZZ_CHECK(loaded.BitsPerPixel() == 24);

    // The same file with rows left out, as a build reads it: the rows read are those of the
    // whole picture.
    std::vector<bool> rows(static_cast<std::size_t>(loaded.Height()));
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = y % 19 < 3 || y + 1 == rows.size();
    }
    CPictureLoader again;
    CDib part;
    FUZZ_CHECK(again.Open(PathToSystem(path)) && again.RenderToDib(part, rows));
    for (std::int32_t y = 0; y < loaded.Height(); ++y) {
        const std::int32_t stored = loaded.Height() - 1 - y;  // rows are kept bottom-up
        FUZZ_CHECK(!rows[static_cast<std::size_t>(y)] ||
                   std::memcmp(part.Row(stored), loaded.Row(stored),
                               3 * static_cast<std::size_t>(loaded.Width())) == 0);
    }

    const std::array<CAlbumImage, 3> settings = {
        Settings(4, 1, 1, 160, 160, 200, 60, 7, 3),
        Settings(8, 1, 0, 320, 240, 127, 127, 0, 0),
        Settings(16, 0, 1, 1280, 1024, 10, 250, 1 << 30, 5),
    };
    for (const CAlbumImage& entry : settings) {
        const auto prepared = PreparePicture(entry, loaded);
        FUZZ_CHECK(prepared != nullptr);
        CPalmDatabase database;
        FUZZ_CHECK(prepared->WriteRecords(database));
    }
    CDib icon;
    FUZZ_CHECK(icon.Create(24, 24, 24));
    FUZZ_CHECK(MakeIconFromPicture(loaded, icon));

    if (static_cast<std::int64_t>(loaded.Width()) * loaded.Height() <= kMaxConvertedPixels) {
        for (const auto& [depth, colors] :
             {std::pair{2, 4}, std::pair{4, 16}, std::pair{8, 256}, std::pair{16, 256}}) {
            CDib converted;
            FUZZ_CHECK(converted.Create(loaded.Width(), loaded.Height(),
                                        static_cast<std::uint8_t>(depth),
                                        static_cast<std::uint16_t>(colors)));
            FUZZ_CHECK(
                ConvertDepth(loaded, converted, 1, static_cast<std::uint8_t>(depth % 3 == 1)));
        }
    }
    return 0;
}
