#include "decode/png_decoder.h"

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <png.h>

#include "decode/exif_orientation.h"
#include "decode/over_white.h"

namespace {

constexpr std::size_t kMessageSize = 200;
constexpr int kMaxPaletteColours = 256;
constexpr png_uint_32 kImageDataChunk = 0x49444154;  // "IDAT"
// The EXIF block's own start, which the eXIf chunk leaves out.
constexpr std::uint8_t kExifStart[] = {'E', 'x', 'i', 'f', 0, 0};

const char* const kCutShort = "the file is cut short";
const char* const kUnknownColour =
    "the picture is damaged: a pixel has a colour the palette does not have";

// libpng reports through these; an error leaves by longjmp to the call that started the work,
// so no C++ object with a destructor may live in the frames in between.
struct CPngSession {
    std::jmp_buf jump;
    std::FILE* file = nullptr;
    bool ranOut = false;
    char message[kMessageSize] = {};
    bool damaged = false;  // a warning said the pixel data is not what was stored
    char damage[kMessageSize] = {};
    png_structp png = nullptr;
    png_infop info = nullptr;

    CPngSession() = default;
    CPngSession(const CPngSession&) = delete;
    CPngSession& operator=(const CPngSession&) = delete;
    ~CPngSession() { png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr); }
};

void OnError(png_structp png, png_const_charp text) {
    auto* s = static_cast<CPngSession*>(png_get_error_ptr(png));
    std::snprintf(s->message, sizeof s->message, "%s", text);
    std::longjmp(s->jump, 1);
}

// Warnings about other chunks come with the chunk left out and the picture whole; those about
// the image data mean pixels were made up or colours are missing.
void OnWarning(png_structp png, png_const_charp text) {
    auto* s = static_cast<CPngSession*>(png_get_error_ptr(png));
    if (!s->damaged && png_get_io_chunk_type(png) == kImageDataChunk) {
        s->damaged = true;
        std::snprintf(s->damage, sizeof s->damage, "%s", text);
    }
}

void ReadData(png_structp png, png_bytep data, std::size_t length) {
    auto* s = static_cast<CPngSession*>(png_get_io_ptr(png));
    if (std::fread(data, 1, length, s->file) != length) {
        s->ranOut = true;
        png_error(png, kCutShort);
    }
}

// The work done under the session's setjmp: only plain data lives in these frames.
struct CPngWork {
    CPictureHeader header;
    bool interlaced = false;
    const std::uint8_t* exif = nullptr;  // the eXIf chunk's data, owned by libpng
    std::uint32_t exifSize = 0;
    // After the transformations: 1 a palette index, 3 blue, green, red, 4 with opacity.
    int channels = 0;
    std::size_t rowBytes = 0;
    // A palette's colours, already on white, blue first; and how many the palette has.
    std::uint8_t palette[kMaxPaletteColours][3] = {};
    int paletteColours = 0;
    bool unknownColour = false;  // a pixel's index lies past the palette
    CPictureRows* rows = nullptr;
    std::uint8_t* line = nullptr;    // one decoded row
    std::uint8_t* image = nullptr;   // an interlaced picture's rows, all of them
    png_bytepp imageRows = nullptr;  // where each of them starts
};

void ReadInfo(CPngSession& s, CPngWork& work) {
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, OnError, OnWarning);
    if (s.png == nullptr) {
        std::snprintf(s.message, sizeof s.message, "out of memory");
        std::longjmp(s.jump, 1);
    }
    s.info = png_create_info_struct(s.png);
    if (s.info == nullptr) {
        png_error(s.png, "out of memory");
    }
    png_set_read_fn(s.png, &s, ReadData);
    // Text chunks say nothing about the pixels, and a compressed one can unpack to megabytes:
    // a few hundred of them would take half a minute. They are passed over unread.
    static const png_byte kTextChunks[] = "tEXt\0zTXt\0iTXt";
    png_set_keep_unknown_chunks(s.png, PNG_HANDLE_CHUNK_NEVER, kTextChunks, 3);
    png_read_info(s.png, s.info);
    work.header.width = static_cast<std::int32_t>(png_get_image_width(s.png, s.info));
    work.header.height = static_cast<std::int32_t>(png_get_image_height(s.png, s.info));
    work.interlaced = png_get_interlace_type(s.png, s.info) != PNG_INTERLACE_NONE;
    png_bytep exif = nullptr;
    png_uint_32 exifSize = 0;
    if (png_get_eXIf_1(s.png, s.info, &exifSize, &exif) != 0) {
        work.exif = exif;
        work.exifSize = exifSize;
    }
}

// Every kind of pixel becomes 8-bit blue, green, red and, where the file has any, opacity;
// except palette indices, which stay indices: libpng, expanding them, would draw an index
// past the palette's end black where it should refuse the picture.
void SetUp(CPngSession& s, CPngWork& work) {
    png_colorp colours = nullptr;
    if (png_get_color_type(s.png, s.info) == PNG_COLOR_TYPE_PALETTE &&
        png_get_PLTE(s.png, s.info, &colours, &work.paletteColours) != 0) {
        png_bytep opacity = nullptr;
        int opaqueFrom = 0;  // the colours from here on have no opacity of their own
        png_get_tRNS(s.png, s.info, &opacity, &opaqueFrom, nullptr);
        for (int i = 0; i < work.paletteColours && i < kMaxPaletteColours; ++i) {
            const std::uint32_t a = i < opaqueFrom ? opacity[i] : 255u;
            work.palette[i][0] = OverWhite(colours[i].blue, a);
            work.palette[i][1] = OverWhite(colours[i].green, a);
            work.palette[i][2] = OverWhite(colours[i].red, a);
        }
        png_set_packing(s.png);
    } else {
        png_set_expand(s.png);
        png_set_scale_16(s.png);
        png_set_gray_to_rgb(s.png);
        png_set_bgr(s.png);
    }
    png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    work.channels = png_get_channels(s.png, s.info);
    work.rowBytes = png_get_rowbytes(s.png, s.info);
}

// Notes an index past the palette in a row of indices. Every row is checked, wanted or not,
// so that whether the picture loads does not depend on the rows asked for.
void CheckIndices(CPngWork& work, const std::uint8_t* in, std::size_t count) {
    for (std::size_t x = 0; work.channels == 1 && x < count; ++x) {
        work.unknownColour = work.unknownColour || in[x] >= work.paletteColours;
    }
}

// Puts decoded row y in its place; an opaque row may have been decoded there already.
void Place(const CPngWork& work, const std::uint8_t* in, std::int32_t y) {
    CPictureRows& rows = *work.rows;
    std::uint8_t* out = rows.Row(y);
    if (work.channels == 1) {
        for (std::int32_t x = 0; x < rows.Width(); ++x) {
            std::memcpy(out + 3 * static_cast<std::ptrdiff_t>(x), work.palette[in[x]], 3);
        }
    } else if (work.channels == 4) {
        RowOverWhite(in, PixelOrder::Bgra, false, out, rows.Width());
    } else if (in != out) {
        std::memcpy(out, in, 3 * static_cast<std::size_t>(rows.Width()));
    }
    rows.RowDone(y);
}

void ReadRows(CPngSession& s, CPngWork& work) {
    CPictureRows& rows = *work.rows;
    const std::int32_t height = rows.Height();
    if (work.interlaced) {
        // Each pass adds pixels to every row, so the whole picture waits for the last one.
        png_read_image(s.png, work.imageRows);
        CheckIndices(work, work.image, work.rowBytes * static_cast<std::size_t>(height));
        for (std::int32_t y = 0; !work.unknownColour && y < height; ++y) {
            if (rows.Wants(y)) {
                Place(work, work.image + work.rowBytes * static_cast<std::size_t>(y), y);
            }
        }
    } else {
        // Every row is inflated, wanted or not: the data is one compressed stream.
        for (std::int32_t y = 0; y < height; ++y) {
            const bool wanted = rows.Wants(y);
            std::uint8_t* target = wanted && work.channels == 3 ? rows.Row(y) : work.line;
            png_read_row(s.png, target, nullptr);
            CheckIndices(work, target, work.rowBytes);
            if (work.unknownColour) {
                return;
            }
            if (wanted) {
                Place(work, target, y);
            }
        }
    }
    png_read_end(s.png, nullptr);
}

bool Guarded(CPngSession& s, void (*step)(CPngSession&, CPngWork&), CPngWork& work) {
    if (setjmp(s.jump)) {
        return false;
    }
    step(s, work);
    return true;
}

std::string Failure(const CPngSession& s) {
    return s.ranOut ? kCutShort : std::string("the picture cannot be decoded: ") + s.message;
}

std::unique_ptr<CPngSession> NewSession(std::FILE* file) {
    std::unique_ptr<CPngSession> session(new (std::nothrow) CPngSession);
    if (session) {
        session->file = file;
    }
    return session;
}

int OrientationOf(const CPngWork& work) {
    if (work.exif == nullptr) {
        return 1;
    }
    std::vector<std::uint8_t> block(kExifStart, kExifStart + sizeof kExifStart);
    block.insert(block.end(), work.exif, work.exif + work.exifSize);
    return ExifOrientation(block.data(), block.size());
}

}  // namespace

bool ReadPngHeader(std::FILE* file, CPictureHeader& header, std::string& error) {
    const std::unique_ptr<CPngSession> session = NewSession(file);
    if (!session) {
        error = "out of memory";
        return false;
    }
    CPngWork work;
    if (!Guarded(*session, ReadInfo, work)) {
        error = Failure(*session);
        return false;
    }
    header = work.header;
    try {
        header.orientation = OrientationOf(work);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
    return true;
}

bool DecodePng(std::FILE* file, CPictureRows& rows, std::string& error) {
    const std::unique_ptr<CPngSession> session = NewSession(file);
    if (!session) {
        error = "out of memory";
        return false;
    }
    CPngWork work;
    if (!Guarded(*session, ReadInfo, work) || !Guarded(*session, SetUp, work)) {
        error = Failure(*session);
        return false;
    }
    if (work.header.width != rows.Width() || work.header.height != rows.Height() ||
        (work.channels != 1 && work.channels != 3 && work.channels != 4)) {
        error = "the file changed while it was read";
        return false;
    }
    const std::size_t height = static_cast<std::size_t>(rows.Height());
    const std::unique_ptr<std::uint8_t[]> line(new (std::nothrow) std::uint8_t[work.rowBytes]);
    std::unique_ptr<std::uint8_t[]> image;
    std::unique_ptr<png_bytep[]> pointers;
    if (work.interlaced) {
        image.reset(new (std::nothrow) std::uint8_t[work.rowBytes * height]);
        pointers.reset(new (std::nothrow) png_bytep[height]);
    }
    if (!line || (work.interlaced && (!image || !pointers))) {
        error = "out of memory";
        return false;
    }
    for (std::size_t y = 0; work.interlaced && y < height; ++y) {
        pointers[y] = image.get() + work.rowBytes * y;
    }
    work.rows = &rows;
    work.line = line.get();
    work.image = image.get();
    work.imageRows = pointers.get();
    if (!Guarded(*session, ReadRows, work)) {
        error = Failure(*session);
        return false;
    }
    if (work.unknownColour) {
        error = kUnknownColour;
        return false;
    }
    if (session->damaged) {
        error = std::string("the picture is damaged: ") + session->damage;
        return false;
    }
    return true;
}
