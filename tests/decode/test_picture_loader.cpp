#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QTransform>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "album/picture_preparation.h"
#include "decode/picture_loader.h"
#include "support/temp_dir.h"

namespace {

const std::string kSamples = TAVELO_SAMPLES_DIR;
const std::string kData = TAVELO_TEST_DATA_DIR;

std::string Bytes(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadAll(path);
    return std::string(bytes.begin(), bytes.end());
}

// The header of an uncompressed 24-bit BMP of the given size with no pixel data after it.
std::string BmpHeaderOnly(std::int32_t width, std::int32_t height) {
    std::string b(54, '\0');
    auto put32 = [&](int at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            b[at + i] = static_cast<char>(v >> (8 * i));
        }
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    b[26] = 1;
    b[28] = 24;
    return b;
}

// A 2 x 1 GIF89a: pixel 0 transparent, pixel 1 red.
std::string TransparentGif() {
    const unsigned char bytes[] = {
        'G',  'I',  'F',  '8',  '9', 'a', 2, 0, 1, 0, 0x91, 0, 0,
        0,    0,    0,    0xFF, 0,   0,   0, 0, 0, 0, 0,    0,  // colours: black, red, unused
        0x21, 0xF9, 4,    1,    0,   0,   0, 0,                 // transparent index 0
        0x2C, 0,    0,    0,    0,   2,   0, 1, 0, 0,           // the image: 2 x 1
        2,    2,    0x44, 0x0A, 0,   0x3B};                     // codes clear, 0, 1, end
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

std::string Encoded(const QImage& image, const char* format, int quality = -1) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return buffer.data().toStdString();
}

std::string Big32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

// A PNG chunk with its length and checksum (CRC-32, bit by bit).
std::string PngChunk(const std::string& type, const std::string& data) {
    const std::string body = type + data;
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : body) {
        crc ^= static_cast<unsigned char>(c);
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return Big32(static_cast<std::uint32_t>(data.size())) + body + Big32(~crc);
}

// The dogs sample stored a quarter turn anticlockwise in a PNG whose eXIf chunk (right after
// the 33 bytes of signature and header) says to turn it back: orientation 6, big-endian.
std::string TurnedPng() {
    const QImage dogs(QString::fromStdString(kSamples + "/dogs_at_door_320x480.jpg"));
    const std::string png = Encoded(dogs.transformed(QTransform().rotate(-90)), "png");
    const std::string exif("MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 26);
    return png.substr(0, 33) + PngChunk("eXIf", exif) + png.substr(33);
}

// Pixel (x, y from the top) as 0x00RRGGBB.
std::uint32_t PixelAt(const CDib& dib, std::int32_t x, std::int32_t yFromTop) {
    return dib.ReadPixel(x, dib.Height() - 1 - yFromTop);
}

// The mean difference of two bitmaps of one size, per colour sample.
double MeanDifference(const CDib& a, const CDib& b) {
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) {
            const std::uint32_t p = a.ReadPixel(x, y);
            const std::uint32_t q = b.ReadPixel(x, y);
            for (int shift = 0; shift < 24; shift += 8) {
                sum += std::abs(static_cast<int>((p >> shift) & 0xFF) -
                                static_cast<int>((q >> shift) & 0xFF));
            }
        }
    }
    return sum / (3.0 * a.Width() * a.Height());
}

bool Render(const std::string& path, CDib& dib, std::string& error,
            const std::vector<bool>& rows = {}) {
    CPictureLoader loader;
    const bool ok = loader.Open(path) && loader.RenderToDib(dib, rows);
    error = loader.Error();
    return ok;
}

// Rows the way the album build asks for them: runs of three now and then, and the last row.
std::vector<bool> SomeRows(std::int32_t height) {
    std::vector<bool> rows(static_cast<std::size_t>(height), false);
    for (std::int32_t y = 0; y < height; ++y) {
        rows[static_cast<std::size_t>(y)] = y % 19 < 3 || y == height - 1;
    }
    return rows;
}

// Expects the rows flagged in `rows` to equal those of `full`, and the others black.
void ExpectWantedRowsEqual(const CDib& full, const CDib& part, const std::vector<bool>& rows,
                           const std::string& what) {
    ASSERT_EQ(part.Width(), full.Width()) << what;
    ASSERT_EQ(part.Height(), full.Height()) << what;
    const std::size_t bytes = 3 * static_cast<std::size_t>(full.Width());
    const std::string black(bytes, '\0');
    for (std::int32_t y = 0; y < full.Height(); ++y) {
        const std::int32_t stored = full.Height() - 1 - y;
        const void* expected = rows[static_cast<std::size_t>(y)]
                                   ? full.Row(stored)
                                   : static_cast<const void*>(black.data());
        ASSERT_EQ(std::memcmp(part.Row(stored), expected, bytes), 0) << what << ", row " << y;
    }
}

// Collects what is written to the process's standard error meanwhile.
class CStderrCapture {
public:
    CStderrCapture() : m_file(std::tmpfile()), m_saved(dup(2)) {
        std::fflush(stderr);
        dup2(fileno(m_file), 2);
    }
    ~CStderrCapture() {
        Stop();
        std::fclose(m_file);
    }
    std::string Stop() {
        if (m_saved >= 0) {
            std::fflush(stderr);
            dup2(m_saved, 2);
            close(m_saved);
            m_saved = -1;
        }
        std::string text(static_cast<std::size_t>(std::ftell(m_file)), '\0');
        std::rewind(m_file);
        text.resize(std::fread(text.data(), 1, text.size(), m_file));
        return text;
    }

private:
    std::FILE* m_file;
    int m_saved;
};

}  // namespace

TEST(PictureLoader, DecodesTheSamplesUprightAtTheirSizeAndSkippedRowsChangeNothingElse) {
    const TempDir dir;
    WriteAll(dir.File("dogs_turned.png"), TurnedPng());
    CDib dogs;
    std::string error;
    ASSERT_TRUE(Render(kSamples + "/dogs_at_door_320x480.jpg", dogs, error)) << error;
    // The dogs stored on their side: the PNG and the WebP with an EXIF orientation, the HEIC
    // with a turn of its own, which its EXIF block repeats. Lossy copies differ from the JPEG
    // by about 2 a sample; turned or mirrored wrongly, by over 50.
    const struct {
        std::string path;
        int width;
        int height;
        double fromDogs = -1;  // the largest mean difference from the dogs allowed
    } samples[] = {{kSamples + "/meadow_autumn_640x426.jpg", 640, 426},
                   {kSamples + "/mountain_path_640x480.jpg", 640, 480},  // progressive
                   {kSamples + "/fig_on_plate_640x433.jpg", 640, 433},   // 4:4:4
                   {kSamples + "/dogs_at_door_320x480.jpg", 320, 480},
                   {kSamples + "/paint_brushes_400x315.gif", 400, 315},
                   {kSamples + "/dandelions_320x180.bmp", 320, 180},
                   {kData + "/png_interlaced_alpha_on_white.png", 16, 12},
                   {dir.File("dogs_turned.png"), 320, 480, 1},
                   {kData + "/webp_exif_orientation_6.webp", 320, 480, 4},
                   {kData + "/heic_turned_by_irot_exif_orientation_6_too.heic", 320, 480, 4}};
    for (const auto& s : samples) {
        CPictureLoader loader;
        ASSERT_TRUE(loader.Open(s.path)) << s.path << ": " << loader.Error();
        EXPECT_EQ(loader.Width(), s.width) << s.path;
        EXPECT_EQ(loader.Height(), s.height) << s.path;
        CDib full;
        ASSERT_TRUE(loader.RenderToDib(full)) << s.path << ": " << loader.Error();
        ASSERT_EQ(full.Width(), s.width);
        ASSERT_EQ(full.Height(), s.height);
        EXPECT_EQ(full.BitsPerPixel(), 24);
        if (s.fromDogs >= 0) {
            EXPECT_LE(MeanDifference(full, dogs), s.fromDogs) << s.path;
        }
        CDib part;
        const std::vector<bool> rows = SomeRows(s.height);
        ASSERT_TRUE(loader.RenderToDib(part, rows)) << s.path << ": " << loader.Error();
        ExpectWantedRowsEqual(full, part, rows, s.path);
    }
}

TEST(PictureLoader, TheSamePictureInJpegAndPngGivesTheSameAlbumPixelsWithinTheJpegsLoss) {
    const TempDir dir;
    const QImage original(QString::fromStdString(kSamples + "/dandelions_320x180.bmp"));
    WriteAll(dir.File("dandelions.png"), Encoded(original, "png"));
    WriteAll(dir.File("dandelions.jpg"), Encoded(original, "jpeg", 90));
    CDib bmp;
    CDib png;
    CDib jpeg;
    std::string error;
    ASSERT_TRUE(Render(kSamples + "/dandelions_320x180.bmp", bmp, error)) << error;
    ASSERT_TRUE(Render(dir.File("dandelions.png"), png, error)) << error;
    ASSERT_TRUE(Render(dir.File("dandelions.jpg"), jpeg, error)) << error;
    EXPECT_EQ(MeanDifference(png, bmp), 0);
    const double loss = MeanDifference(jpeg, png);
    EXPECT_GT(loss, 0);
    CAlbumImage entry;  // fitted into the handheld's screen, at 16 bits
    entry.m_colorDepth = 16;
    entry.m_crop = 0;
    const auto fromPng = PreparePicture(entry, png);
    const auto fromJpeg = PreparePicture(entry, jpeg);
    ASSERT_TRUE(fromPng && fromJpeg);
    ASSERT_EQ(fromPng->m_bitmap.Width(), fromJpeg->m_bitmap.Width());
    ASSERT_EQ(fromPng->m_bitmap.Height(), fromJpeg->m_bitmap.Height());
    EXPECT_LE(MeanDifference(fromPng->m_bitmap, fromJpeg->m_bitmap), loss);
}

TEST(PictureLoader, BmpPixelsArriveExactlyAsStored) {
    const std::string bytes = Bytes(kSamples + "/dandelions_320x180.bmp");
    std::uint32_t offset = 0;
    std::memcpy(&offset, bytes.data() + 10, 4);
    CDib dib;
    std::string error;
    ASSERT_TRUE(Render(kSamples + "/dandelions_320x180.bmp", dib, error)) << error;
    ASSERT_EQ(dib.RowStride(), 960);
    for (int y = 0; y < 180; ++y) {  // the file's rows are bottom-up, as the bitmap's
        ASSERT_EQ(0, std::memcmp(dib.Row(y), bytes.data() + offset + 960 * y, 960)) << y;
    }
}

TEST(PictureLoader, CompleteFilesLoadUprightInTheirColours) {
    const TempDir dir;
    WriteAll(dir.File("dot.gif"), TransparentGif());
    const std::string progressive = Bytes(kSamples + "/mountain_path_640x480.jpg");
    WriteAll(dir.File("progressive_without_end_marker.jpg"),
             progressive.substr(0, progressive.size() - 2));
    const std::string dogs = Bytes(kSamples + "/dogs_at_door_320x480.jpg");
    WriteAll(dir.File("padding_before_end.jpg"),
             dogs.substr(0, dogs.size() - 2) + std::string(2, '\0') + "\xFF\xD9");
    WriteAll(dir.File("padding_before_comment.jpg"),
             dogs.substr(0, dogs.size() - 2) + std::string(8, '\0') + "\xFF\xFE\0\x04hi\xFF\xD9");
    QImage grey(2, 1, QImage::Format_Grayscale16);
    reinterpret_cast<quint16*>(grey.scanLine(0))[0] = 0x8080;
    reinterpret_cast<quint16*>(grey.scanLine(0))[1] = 0xFFFF;
    WriteAll(dir.File("grey16.png"), Encoded(grey, "png"));
    // 16 bits a pixel and no masks: five bits each for red, green and blue.
    std::string bmp16 = BmpHeaderOnly(3, 1);
    bmp16[28] = 16;
    WriteAll(dir.File("bmp16_555.bmp"), bmp16 + std::string("\x00\x7C\xE0\x03\x10\x00\0\0", 8));
    const struct {
        std::string path;
        std::int32_t x;
        std::int32_t y;  // from the top
        std::uint32_t rgb;
    } cases[] = {
        {kData + "/bmp_top_down_8bit.bmp", 0, 0, 0xFF0000},
        {kData + "/bmp_top_down_8bit.bmp", 5, 3, 0x0000FF},
        {kData + "/bmp_top_down_24bit.bmp", 4, 0, 0xFF0000},
        {kData + "/bmp_top_down_24bit.bmp", 0, 2, 0x0000FF},
        {kData + "/bmp_16bit_white_is_255.bmp", 0, 1, 0xFFFFFF},
        {kData + "/bmp_16bit_white_is_255.bmp", 1, 1, 0x848284},  // 5 and 6 bits widened
        {kData + "/bmp_16bit_white_is_255.bmp", 2, 0, 0x0000FF},
        {kData + "/bmp_zero_file_size_field.bmp", 3, 0, 0xD2D2D2},
        {dir.File("dot.gif"), 0, 0, 0xFFFFFF},  // transparent: white
        {dir.File("dot.gif"), 1, 0, 0xFF0000},
        {kData + "/png_renamed.jpg", 0, 1, 0x0000FF},  // its content counts, not its name
        {dir.File("grey16.png"), 0, 0, 0x808080},
        {dir.File("grey16.png"), 1, 0, 0xFFFFFF},
        {dir.File("bmp16_555.bmp"), 0, 0, 0xFF0000},
        {dir.File("bmp16_555.bmp"), 1, 0, 0x00FF00},
        {dir.File("bmp16_555.bmp"), 2, 0, 0x000084},
    };
    for (const auto& c : cases) {
        CDib dib;
        std::string error;
        ASSERT_TRUE(Render(c.path, dib, error)) << c.path << ": " << error;
        EXPECT_EQ(PixelAt(dib, c.x, c.y), c.rgb) << c.path << " at " << c.x << ", " << c.y;
    }
    // Rows stored in four passes land where they belong: each row has its own colour.
    CDib interlaced;
    std::string reason;
    ASSERT_TRUE(Render(kData + "/gif_interlaced_colour_per_row.gif", interlaced, reason)) << reason;
    ASSERT_EQ(interlaced.Height(), 10);
    for (std::uint32_t y = 0; y < 10; ++y) {
        EXPECT_EQ(PixelAt(interlaced, 1, static_cast<std::int32_t>(y)),
                  (25 * y) << 16 | (255 - 25 * y) << 8 | (40 + 20 * y))
            << "row " << y;
    }
    // Slightly irregular but whole: they load, the progressive one as its regular self.
    const struct {
        std::string path;
        std::int32_t width;
        std::int32_t height;
    } irregular[] = {{kData + "/jpeg_without_end_marker.jpg", 64, 64},
                     {dir.File("progressive_without_end_marker.jpg"), 640, 480},
                     {kData + "/jpeg_three_scans_without_end_marker.jpg", 48, 32},
                     {kData + "/heic_with_pixel_checksum.heic", 64, 48},
                     {dir.File("padding_before_end.jpg"), 320, 480},
                     {dir.File("padding_before_comment.jpg"), 320, 480},
                     {kData + "/jpeg_arithmetic_coded.jpg", 32, 24}};
    for (const auto& c : irregular) {
        CDib dib;
        std::string error;
        ASSERT_TRUE(Render(c.path, dib, error)) << c.path << ": " << error;
        EXPECT_EQ(dib.Width(), c.width);
        EXPECT_EQ(dib.Height(), c.height);
    }
    CDib cut;
    CDib whole;
    std::string error;
    ASSERT_TRUE(Render(dir.File("progressive_without_end_marker.jpg"), cut, error));
    ASSERT_TRUE(Render(kSamples + "/mountain_path_640x480.jpg", whole, error));
    ExpectWantedRowsEqual(whole, cut, std::vector<bool>(480, true), "progressive without end");
}

TEST(PictureLoader, AGridPictureIsPutTogetherFromItsTiles) {
    // A 1 x 2 grid whose cells both show the one tile of the 64 x 48 picture beside it.
    CDib single;
    CDib grid;
    std::string error;
    ASSERT_TRUE(Render(kData + "/heic_with_pixel_checksum.heic", single, error)) << error;
    ASSERT_TRUE(Render(kData + "/heic_grid_one_tile_in_both_cells.heic", grid, error)) << error;
    ASSERT_EQ(grid.Width(), 128);
    ASSERT_EQ(grid.Height(), 48);
    for (std::int32_t y = 0; y < 48; ++y) {
        for (std::int32_t x = 0; x < 64; ++x) {
            ASSERT_EQ(PixelAt(grid, x, y), PixelAt(single, x, y)) << x << ", " << y;
            ASSERT_EQ(PixelAt(grid, 64 + x, y), PixelAt(single, x, y)) << x << ", " << y;
        }
    }
}

TEST(PictureLoader, TransparencyLiesOnWhiteInEveryFormatThatHasIt) {
    // 16 x 12: the left half dark red, more opaque row by row (23 a row), the right half blue;
    // as colours, and as a palette with opacities.
    QImage pattern(16, 12, QImage::Format_ARGB32);
    QImage indexed(16, 12, QImage::Format_Indexed8);
    indexed.setColorCount(13);
    indexed.setColor(12, qRgb(0, 0, 255));
    for (int y = 0; y < 12; ++y) {
        indexed.setColor(y, qRgba(130, 0, 0, 23 * y));
        for (int x = 0; x < 16; ++x) {
            pattern.setPixel(x, y, x < 8 ? qRgba(130, 0, 0, 23 * y) : qRgb(0, 0, 255));
            indexed.setPixel(x, y, x < 8 ? y : 12);
        }
    }
    const TempDir dir;
    WriteAll(dir.File("rgba8.png"), Encoded(pattern, "png"));
    WriteAll(dir.File("rgba16.png"),
             Encoded(pattern.convertToFormat(QImage::Format_RGBA64), "png"));
    WriteAll(dir.File("palette.png"), Encoded(indexed, "png"));  // opacity in a tRNS chunk
    const std::string files[] = {dir.File("rgba8.png"),
                                 dir.File("rgba16.png"),
                                 dir.File("palette.png"),
                                 kData + "/png_interlaced_alpha_on_white.png",
                                 kData + "/webp_lossless_alpha_on_white.webp",
                                 kData + "/webp_animation_first_frame.webp",
                                 kData + "/heic_alpha_on_white.heic",
                                 kData + "/heic_premultiplied_alpha_on_white.heic"};
    const struct {
        std::int32_t x;
        std::int32_t y;
        std::uint32_t rgb;
    } points[] = {{0, 0, 0xFFFFFF},
                  {3, 1, 0xF4E8E8},  // red 243.7 rounds up, as in 32-bit BMPs
                  {7, 11, 0x830202},
                  {12, 7, 0x0000FF}};
    for (const std::string& file : files) {
        CDib dib;
        std::string error;
        ASSERT_TRUE(Render(file, dib, error)) << file << ": " << error;
        for (const auto& p : points) {
            EXPECT_EQ(PixelAt(dib, p.x, p.y), p.rgb) << file << " at " << p.x << ", " << p.y;
        }
    }
}

TEST(PictureLoader, TurnsJpegsUprightAsTheirOrientationSaysWithRowsSkippedToo) {
    // Three colours in three corners, so that every turn and mirror shows.
    QImage image(40, 24, QImage::Format_RGB32);
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 40; ++x) {
            image.setPixel(x, y,
                           y >= 12  ? qRgb(0, 0, 255)
                           : x < 20 ? qRgb(255, 0, 0)
                                    : qRgb(0, 200, 0));
        }
    }
    QBuffer encoded;
    ASSERT_TRUE(encoded.open(QIODevice::WriteOnly));
    ASSERT_TRUE(image.save(&encoded, "jpeg", 95));
    const std::string stored = encoded.data().toStdString();
    const TempDir dir;
    for (char orientation = 1; orientation <= 8; ++orientation) {
        // An EXIF block holding only the orientation, big-endian, right after the start marker.
        const std::string exif = std::string(
                                     "\xFF\xE1\0\x22"
                                     "Exif\0\0MM\0*\0\0\0\x08\0\x01",
                                     20) +
                                 std::string("\x01\x12\0\x03\0\0\0\x01\0", 9) + orientation +
                                 std::string(6, '\0');
        const std::string path = dir.File("turned" + std::to_string(orientation) + ".jpg");
        WriteAll(path, stored.substr(0, 2) + exif + stored.substr(2));
        // Qt's reader, turning the picture itself, is the reference.
        QImageReader reader(QString::fromStdString(path));
        reader.setAutoTransform(true);
        const QImage upright = reader.read().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(upright.width(), orientation >= 5 ? 24 : 40);

        CPictureLoader loader;
        ASSERT_TRUE(loader.Open(path)) << loader.Error();
        ASSERT_EQ(loader.Width(), upright.width()) << int{orientation};
        ASSERT_EQ(loader.Height(), upright.height()) << int{orientation};
        CDib dib;
        ASSERT_TRUE(loader.RenderToDib(dib));
        for (int y = 0; y < upright.height(); ++y) {
            for (int x = 0; x < upright.width(); ++x) {
                ASSERT_EQ(PixelAt(dib, x, y), upright.pixel(x, y) & 0xFFFFFFu)
                    << "orientation " << int{orientation} << " at " << x << ", " << y;
            }
        }
        CDib part;
        const std::vector<bool> rows = SomeRows(loader.Height());
        ASSERT_TRUE(loader.RenderToDib(part, rows));
        ExpectWantedRowsEqual(dib, part, rows, "orientation " + std::to_string(orientation));
    }
}

TEST(PictureLoader, RefusesDamagedAndForeignFilesWithAReasonAndPrintsNothing) {
    const TempDir dir;
    WriteAll(dir.File("empty.jpg"), "");
    WriteAll(dir.File("text.jpg"), "this is not a photograph\n");
    WriteAll(dir.File("start.jpg"), "\xFF\xD8\xFF\xE0");
    const std::string progressive = Bytes(kSamples + "/mountain_path_640x480.jpg");
    WriteAll(dir.File("progressive_cut.jpg"), progressive.substr(0, progressive.size() * 3 / 5));
    // Codes gone astray half way: the decoder stops using the data well before its end.
    std::string garbled = Bytes(kSamples + "/dogs_at_door_320x480.jpg");
    for (std::size_t i = garbled.size() / 2; i < garbled.size() / 2 + 40; ++i) {
        garbled[i] = static_cast<char>(garbled[i] ^ 0x5A);
    }
    WriteAll(dir.File("garbled.jpg"), garbled);
    const std::string scans = Bytes(kData + "/jpeg_three_scans_without_end_marker.jpg");
    WriteAll(dir.File("three_scans_cut.jpg"), scans.substr(0, scans.rfind("\xFF\xDA") + 20));
    // Cut inside the header of the second scan, which libjpeg has only begun to read.
    WriteAll(
        dir.File("progressive_cut_in_scan_header.jpg"),
        progressive.substr(0, progressive.find("\xFF\xDA", progressive.find("\xFF\xDA") + 2) + 6));
    // The shortest of its scans repeated 600 times: each scan is a pass over the whole picture.
    std::vector<std::size_t> starts;
    for (std::size_t at = progressive.find("\xFF\xDA"); at != std::string::npos;
         at = progressive.find("\xFF\xDA", at + 2)) {
        starts.push_back(at);
    }
    std::size_t shortest = 0;
    for (std::size_t i = 1; i + 1 < starts.size(); ++i) {
        shortest =
            starts[i + 1] - starts[i] < starts[shortest + 1] - starts[shortest] ? i : shortest;
    }
    std::string manyScans = progressive.substr(0, starts[shortest + 1]);
    for (int i = 0; i < 600; ++i) {
        manyScans += progressive.substr(starts[shortest], starts[shortest + 1] - starts[shortest]);
    }
    WriteAll(dir.File("many_scans.jpg"), manyScans + progressive.substr(starts[shortest + 1]));
    const std::string gif = Bytes(kData + "/gif_lzw_code_size_12.gif");
    WriteAll(dir.File("gif_lzw_code_size_1.gif"), gif.substr(0, 35) + '\x01' + gif.substr(36));
    WriteAll(dir.File("scan.jpg"), std::string("II*\0\x08\0\0\0", 8));
    // An icon holding one picture; a TGA, whose first bytes look alike but count nothing.
    WriteAll(dir.File("icon.bmp"), std::string("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0", 14));
    WriteAll(dir.File("targa.bmp"), std::string("\0\0\2\0\0\0\0\0\0\0\0\0\x10\0\x10\0\x18\0", 18));
    const std::string png = TurnedPng();
    WriteAll(dir.File("png_cut.png"), png.substr(0, png.size() * 3 / 5));
    std::string flipped = png;
    flipped[png.size() / 2] = static_cast<char>(flipped[png.size() / 2] ^ 0x10);
    WriteAll(dir.File("png_checksum_wrong.png"), flipped);
    // Bytes after the compressed pixels, in the last pixel chunk, just before the end chunk.
    const std::size_t last = png.rfind("IDAT") - 4;
    const std::size_t end = png.size() - 12;
    WriteAll(dir.File("png_data_after_the_pixels.png"),
             png.substr(0, last) +
                 PngChunk("IDAT", png.substr(last + 8, end - last - 12) + "junk") +
                 png.substr(end));
    const std::string webp = Bytes(kData + "/webp_exif_orientation_6.webp");
    WriteAll(dir.File("webp_cut.webp"), webp.substr(0, webp.size() / 2));
    std::string noFrame = webp;
    noFrame.replace(noFrame.find("\x9D\x01\x2A"), 3, "xyz");  // a lossy frame's start code
    WriteAll(dir.File("webp_frame_start_lost.webp"), noFrame);
    const std::string heic = Bytes(kData + "/heic_turned_by_irot_exif_orientation_6_too.heic");
    WriteAll(dir.File("heic_cut.heic"), heic.substr(0, heic.size() * 3 / 5));
    // One bit of coded picture changed: it decodes, but not to the pixels its checksum gives.
    std::string summed = Bytes(kData + "/heic_with_pixel_checksum.heic");
    summed[summed.size() - 40] = static_cast<char>(summed[summed.size() - 40] ^ 0x01);
    WriteAll(dir.File("heic_checksum_wrong.heic"), summed);
    const struct {
        std::string path;
        const char* reason;
    } cases[] = {
        {dir.File("empty.jpg"), "empty"},
        {dir.File("text.jpg"), "not a picture"},
        {dir.File("start.jpg"), "cut short"},
        {dir.File("missing.jpg"), "not found"},
        {dir.path().string(), "not a file"},
        {dir.File("scan.jpg"), "TIFF"},
        {dir.File("icon.bmp"), "the picture is ICO"},
        {dir.File("targa.bmp"), "not a picture"},
        {kData + "/jpeg_cut_in_half.jpg", "cut short"},
        {dir.File("progressive_cut.jpg"), "cut short"},
        {dir.File("garbled.jpg"), "damaged"},
        {dir.File("three_scans_cut.jpg"), "cut short"},
        {dir.File("progressive_cut_in_scan_header.jpg"), "cut short"},
        {dir.File("many_scans.jpg"), "more than 500 scans"},
        {kData + "/gif_cut_in_image_data.gif", "cut short"},
        {kData + "/gif_image_outside_screen.gif", "outside its screen"},
        {kData + "/gif_lzw_code_size_12.gif", "LZW code size"},
        {dir.File("gif_lzw_code_size_1.gif"), "LZW code size"},
        {kData + "/bmp_cut_short.bmp", "cut short"},
        {kData + "/bmp_pixels_past_end.bmp", "cut short"},
        {kData + "/bmp_rle8_cut_short.bmp", "cut short"},
        {kData + "/bmp_rle8_only_end_of_bitmap.bmp", "end before the last row"},
        {kData + "/bmp_16bit_masks_all_zero.bmp", "masks"},
        {dir.File("png_cut.png"), "cut short"},
        {dir.File("png_checksum_wrong.png"), "CRC"},
        {dir.File("png_data_after_the_pixels.png"), "damaged"},
        {kData + "/png_colour_not_in_palette.png", "palette"},
        {dir.File("webp_cut.webp"), "cut short"},
        {dir.File("webp_frame_start_lost.webp"), "damaged"},
        {dir.File("heic_cut.heic"), "cut short"},
        {kData + "/avif_with_heif_brand.heic", "AVIF"},
        {kData + "/heic_damaged_slice_reads_unset_memory.heic", "damaged"},
        {kData + "/heic_sps_width_not_whole_coding_blocks.heic", "damaged"},
        {kData + "/heic_grid_961_tiles_for_2_cells.heic", "names 961 tiles for 2 cells"},
        {kData + "/heic_grid_961_tiles_for_a_64x48_picture.heic", "tiles hold 3936256 pixels"},
        {dir.File("heic_checksum_wrong.heic"), "damaged: image checksum mismatch"},
    };
    CStderrCapture capture;
    for (const auto& c : cases) {
        CDib dib;
        std::string error;
        EXPECT_FALSE(Render(c.path, dib, error)) << c.path;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.path << ": " << error;
        EXPECT_FALSE(dib.IsCreated()) << c.path;
    }
    EXPECT_EQ(capture.Stop(), "");
}

// Run by the test below in a process of its own: writes the pixels of the picture named in
// TAVELO_DECODE_IN, or why it is refused, to the file named in TAVELO_DECODE_OUT.
TEST(PictureLoaderChild, DecodeToFile) {
    const char* in = std::getenv("TAVELO_DECODE_IN");
    const char* out = std::getenv("TAVELO_DECODE_OUT");
    if (in == nullptr || out == nullptr) {
        GTEST_SKIP() << "run by ADamagedHeicGivesTheSameBytesWhateverTheHeapHeld";
    }
    CDib dib;
    std::string error;
    std::string pixels = Render(in, dib, error) ? "" : "refused: " + error;
    for (std::int32_t y = 0; y < dib.Height(); ++y) {
        pixels.append(reinterpret_cast<const char*>(dib.Row(y)), 3 * std::size_t(dib.Width()));
    }
    WriteAll(out, pixels);
}

TEST(PictureLoader, ADamagedHeicGivesTheSameBytesWhateverTheHeapHeld) {
    // libde265 decodes this file without a warning, though parts of the picture are never
    // written: what comes of it must be the same in every run, not what the memory held.
    const std::string damaged =
        kData + "/../../fuzz/known/heic_libde265_reads_unset_memory_without_warning.heic";
    const TempDir dir;
    std::string decoded[2];
    for (int run = 0; run < 2; ++run) {
        // Fresh memory filled with another byte each run, by glibc or by AddressSanitizer.
        const std::string fill = std::to_string(run == 0 ? 0x5A : 0xA5);
        std::vector<std::string> settings = {
            "TAVELO_DECODE_IN=" + damaged, "TAVELO_DECODE_OUT=" + dir.File("decoded"),
            "MALLOC_PERTURB_=" + fill,
            "ASAN_OPTIONS=malloc_fill_byte=" + fill + ":max_malloc_fill_size=1000000000"};
        std::vector<char*> environment;
        for (std::string& setting : settings) {
            environment.push_back(setting.data());
        }
        environment.push_back(nullptr);
        char filter[] = "--gtest_filter=PictureLoaderChild.DecodeToFile";
        char* arguments[] = {filter, filter, nullptr};
        const pid_t child = fork();
        if (child == 0) {
            execve("/proc/self/exe", arguments, environment.data());
            _exit(127);
        }
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        decoded[run] = Bytes(dir.File("decoded"));
    }
    EXPECT_EQ(decoded[0].substr(0, 100),
              "refused: the picture is damaged: parts of it are never decoded");
    EXPECT_TRUE(decoded[0] == decoded[1]);
}

TEST(PictureLoader, AProblemIsFoundOnlyByDecodingTheWholePicture) {
    // A JPEG cut in half has a whole header; only decoding its rows finds the damage.
    CPictureLoader header;
    ASSERT_TRUE(header.Open(kData + "/jpeg_cut_in_half.jpg"));
    for (const std::string name : {"jpeg_cut_in_half.jpg", "bmp_cut_short.bmp", "missing.png"}) {
        CDib decoded;
        EXPECT_NE(PictureProblem(kData + "/" + name, &decoded), "") << name;
        EXPECT_FALSE(decoded.IsCreated()) << name;
    }
    CDib decoded;
    EXPECT_EQ(PictureProblem(kSamples + "/mountain_path_640x480.jpg", &decoded), "");
    EXPECT_EQ(decoded.Width(), 640);
    EXPECT_EQ(decoded.Height(), 480);
    EXPECT_EQ(PictureProblem(kSamples + "/mountain_path_640x480.jpg"), "");
}

TEST(PictureLoader, RefusesOversizedPicturesFromTheHeaderAlone) {
    const TempDir dir;
    WriteAll(dir.File("wide.bmp"), BmpHeaderOnly(40000, 2));
    WriteAll(dir.File("tall.bmp"), BmpHeaderOnly(2, 40000));
    // 120 megapixels: over the 100 the decoder is allowed.
    WriteAll(dir.File("huge.bmp"), BmpHeaderOnly(12000, 10000));
    // A PNG's header chunk, then where its pixel data would start.
    WriteAll(dir.File("huge.png"),
             std::string("\x89PNG\r\n\x1A\n") +
                 PngChunk("IHDR", Big32(12000) + Big32(10000) + std::string("\x08\x02\0\0\0", 5)) +
                 PngChunk("IDAT", ""));
    // An extended WebP's canvas chunk alone: the sides less one, 24 bits each.
    WriteAll(dir.File("wide.webp"),
             std::string("RIFF\x16\0\0\0WEBPVP8X\x0A\0\0\0\0\0\0\0\x3F\x9C\0\x01\0\0", 30));
    // A 2 x 2 WebP whose form fills 401 MB (with nothing in it, so the file costs no disk).
    WriteAll(dir.File("big.webp"),
             std::string("RIFF\xF8\xFF\x0F\x19WEBPVP8X\x0A\0\0\0\0\0\0\0\x01\0\0\x01\0\0", 30));
    std::filesystem::resize_file(dir.File("big.webp"), std::uintmax_t{401} << 20);
    // A real HEIC's stored size, on its side as before: 40000 wide once upright.
    std::string heic = Bytes(kData + "/heic_turned_by_irot_exif_orientation_6_too.heic");
    WriteAll(dir.File("wide.heic"),
             heic.replace(heic.find("ispe") + 8, 8, Big32(2) + Big32(40000)));
    const struct {
        const char* file;
        const char* reason;
    } cases[] = {{"wide.bmp", "40000 x 2 pixels; at most 32767"},
                 {"tall.bmp", "2 x 40000 pixels; at most 32767"},
                 {"huge.bmp", "memory limit"},
                 {"huge.png", "memory limit"},
                 {"wide.webp", "40000 x 2 pixels; at most 32767"},
                 {"big.webp", "401 MB, more than the decoder's memory limit"},
                 {"wide.heic", "40000 x 2 pixels; at most 32767"}};
    for (const auto& c : cases) {
        CPictureLoader loader;
        EXPECT_FALSE(loader.Open(dir.File(c.file))) << c.file;
        EXPECT_NE(loader.Error().find(c.reason), std::string::npos)
            << c.file << ": " << loader.Error();
    }
}

TEST(PictureLoader, TextChunksAreSkippedUnpacked) {
    // 200 compressed text chunks of 8 KB, each unpacking to 8 MB: unpacked, they take seconds.
    const QByteArray stream = qCompress(QByteArray(7900000, '\0')).mid(4);  // the zlib stream alone
    const std::string packed(stream.constData(), static_cast<std::size_t>(stream.size()));
    QImage red(4, 4, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    const std::string png = Encoded(red, "png");
    std::string before;
    std::string after;
    for (int i = 0; i < 100; ++i) {
        before += PngChunk("zTXt", std::string("Comment\0\0", 9) + packed);
        after += PngChunk("iTXt", std::string("Comment\0\1\0\0\0", 12) + packed);  // compressed
    }
    const TempDir dir;
    const std::size_t end = png.size() - 12;
    WriteAll(dir.File("texts.png"),
             png.substr(0, 33) + before + png.substr(33, end - 33) + after + png.substr(end));
    const auto start = std::chrono::steady_clock::now();
    CDib dib;
    std::string error;
    ASSERT_TRUE(Render(dir.File("texts.png"), dib, error)) << error;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(PixelAt(dib, 3, 3), 0xFF0000u);
}
