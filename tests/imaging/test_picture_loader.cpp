#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <cstring>

#include "imaging/picture_loader.h"
#include "support/temp_dir.h"

namespace {

const std::string kSamples = TAVELO_SAMPLES_DIR;

void WriteBytes(const std::string& path, const QByteArray& bytes) {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The header of an uncompressed 24-bit BMP of the given size with no pixel data after it.
QByteArray BmpHeaderOnly(std::int32_t width, std::int32_t height) {
    QByteArray b(54, '\0');
    auto put32 = [&](int at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            b[at + i] = static_cast<char>(v >> (8 * i));
        }
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, 54);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    b[26] = 1;
    b[28] = 24;
    return b;
}

// A 2 x 1 GIF89a: pixel 0 transparent, pixel 1 red.
QByteArray TransparentGif() {
    const unsigned char bytes[] = {
        'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x91, 0, 0,
        0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0,           // colours: black, red, unused
        0x21, 0xF9, 4, 1, 0, 0, 0, 0,                     // transparent index 0
        0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0,                  // the image: 2 x 1
        2, 2, 0x44, 0x0A, 0, 0x3B};                       // codes clear, 0, 1, end
    return QByteArray(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

}  // namespace

TEST(PictureLoader, OpensJpegGifAndBmpAtTheirDecodedSize) {
    const struct {
        const char* file;
        int width;
        int height;
    } samples[] = {{"meadow_autumn_640x426.jpg", 640, 426},
                   {"mountain_path_640x480.jpg", 640, 480},  // progressive
                   {"dogs_at_door_320x480.jpg", 320, 480},
                   {"paint_brushes_400x315.gif", 400, 315},
                   {"dandelions_320x180.bmp", 320, 180}};
    for (const auto& s : samples) {
        CPictureLoader loader;
        ASSERT_TRUE(loader.Open(kSamples + "/" + s.file)) << s.file << ": " << loader.Error();
        EXPECT_EQ(loader.Width(), s.width);
        EXPECT_EQ(loader.Height(), s.height);
        CDib dib;
        ASSERT_TRUE(loader.RenderToDib(dib));
        EXPECT_EQ(dib.Width(), s.width);
        EXPECT_EQ(dib.Height(), s.height);
        EXPECT_EQ(dib.BitsPerPixel(), 24);
        EXPECT_FALSE(loader.RenderToDib(dib));  // the pixels moved into the bitmap
    }
}

TEST(PictureLoader, BmpPixelsArriveExactlyAsStored) {
    QFile file(QString::fromStdString(kSamples + "/dandelions_320x180.bmp"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    std::uint32_t offset = 0;
    std::memcpy(&offset, bytes.constData() + 10, 4);
    CPictureLoader loader;
    ASSERT_TRUE(loader.Open(kSamples + "/dandelions_320x180.bmp"));
    CDib dib;
    ASSERT_TRUE(loader.RenderToDib(dib));
    ASSERT_EQ(dib.RowStride(), 960);
    for (int y = 0; y < 180; ++y) {  // the file's rows are bottom-up, as the bitmap's
        ASSERT_EQ(0, std::memcmp(dib.Row(y), bytes.constData() + offset + 960 * y, 960)) << y;
    }
}

TEST(PictureLoader, TransparentPartsComeOutWhite) {
    const TempDir dir;
    const std::string path = dir.File("dot.gif");
    WriteBytes(path, TransparentGif());
    CPictureLoader loader;
    ASSERT_TRUE(loader.Open(path)) << loader.Error();
    CDib dib;
    ASSERT_TRUE(loader.RenderToDib(dib));
    EXPECT_EQ(dib.ReadPixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(dib.ReadPixel(1, 0), 0xFF0000u);
}

TEST(PictureLoader, AppliesTheCamerasOrientation) {
    // Left half red, right half blue, stored with "rotate 90 degrees clockwise to view".
    QImage image(40, 20, QImage::Format_RGB32);
    for (int x = 0; x < 40; ++x) {
        for (int y = 0; y < 20; ++y) {
            image.setPixel(x, y, x < 20 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
        }
    }
    const TempDir dir;
    const std::string path = dir.File("turned.jpg");
    QImageWriter writer(QString::fromStdString(path), "jpeg");
    writer.setQuality(95);
    writer.setTransformation(QImageIOHandler::TransformationRotate90);
    ASSERT_TRUE(writer.write(image)) << writer.errorString().toStdString();

    CPictureLoader loader;
    ASSERT_TRUE(loader.Open(path)) << loader.Error();
    EXPECT_EQ(loader.Width(), 20);
    EXPECT_EQ(loader.Height(), 40);
    CDib dib;
    ASSERT_TRUE(loader.RenderToDib(dib));
    const std::uint32_t top = dib.ReadPixel(10, 35);    // storage row 35: near the top
    const std::uint32_t bottom = dib.ReadPixel(10, 4);  // near the bottom
    EXPECT_GT((top >> 16) & 0xFF, 200u);
    EXPECT_LT(top & 0xFF, 60u);
    EXPECT_GT(bottom & 0xFF, 200u);
    EXPECT_LT((bottom >> 16) & 0xFF, 60u);
}

TEST(PictureLoader, RefusesFilesItCannotUseWithAReason) {
    const TempDir dir;
    WriteBytes(dir.File("empty.jpg"), QByteArray());
    WriteBytes(dir.File("text.jpg"), QByteArray("this is not a photograph\n"));
    WriteBytes(dir.File("cut.jpg"), QByteArray("\xFF\xD8\xFF\xE0", 4));
    const std::string cases[] = {dir.File("empty.jpg"), dir.File("text.jpg"), dir.File("cut.jpg"),
                                 dir.File("missing.jpg"), dir.path().string()};
    for (const std::string& path : cases) {
        CPictureLoader loader;
        EXPECT_FALSE(loader.Open(path)) << path;
        EXPECT_FALSE(loader.Error().empty()) << path;
        CDib dib;
        EXPECT_FALSE(loader.RenderToDib(dib));
        EXPECT_FALSE(dib.IsCreated());
    }
}

TEST(PictureLoader, RefusesOversizedPicturesFromTheHeaderAlone) {
    const TempDir dir;
    WriteBytes(dir.File("wide.bmp"), BmpHeaderOnly(40000, 2));
    // 120 megapixels: over the 100 the decoder is allowed.
    WriteBytes(dir.File("huge.bmp"), BmpHeaderOnly(12000, 10000));
    CPictureLoader wide;
    EXPECT_FALSE(wide.Open(dir.File("wide.bmp")));
    EXPECT_NE(wide.Error().find("32767"), std::string::npos) << wide.Error();
    CPictureLoader huge;
    EXPECT_FALSE(huge.Open(dir.File("huge.bmp")));
    EXPECT_NE(huge.Error().find("memory limit"), std::string::npos) << huge.Error();
}

TEST(PictureLoader, LoadsPhotographsAboveTheReadersDefaultLimit) {
    // 40 megapixels of colour: 160 MB decoded, past the reader's default of 128 MB.
    const TempDir dir;
    const std::string path = dir.File("large.jpg");
    {
        QImage image(8000, 5000, QImage::Format_RGB32);
        image.fill(qRgb(30, 120, 200));
        ASSERT_TRUE(image.save(QString::fromStdString(path), "jpeg", 50));
    }
    CPictureLoader loader;
    ASSERT_TRUE(loader.Open(path)) << loader.Error();
    CDib dib;
    ASSERT_TRUE(loader.RenderToDib(dib));
    EXPECT_EQ(dib.Width(), 8000);
    const std::uint32_t pixel = dib.ReadPixel(4000, 2500);
    EXPECT_NEAR(static_cast<int>(pixel >> 16), 30, 3);
    EXPECT_NEAR(static_cast<int>(pixel & 0xFF), 200, 3);
}
