#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "app/main_window_fixture.h"

namespace {

// A picture whose every pixel tells where it is: red grows to the right, green downwards.
QString WriteGradient(const TempDir& dir, const std::string& name, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(
                x, y,
                qRgb(x * 255 / std::max(1, width - 1), y * 255 / std::max(1, height - 1), 77));
        }
    }
    const QString path = QString::fromStdString(dir.File(name));
    EXPECT_TRUE(image.save(path, "BMP"));
    return path;
}

// What the icon must hold: the square of the loaded picture resampled to 24 x 24.
std::vector<std::uint8_t> ResampledSquare(const QString& path, std::int32_t x, std::int32_t y,
                                          std::int32_t side) {
    CPictureLoader loader;
    CDib picture;
    CDib icon;
    EXPECT_TRUE(loader.Open(path.toStdString()) && loader.RenderToDib(picture));
    EXPECT_TRUE(icon.Create(24, 24, 24));
    EXPECT_TRUE(ResampleDib(picture, x, y, side, side, icon, 24, 24));
    return PixelRows(icon);
}

QRgb IconPixel(const CAlbumInfoPane& pane, int x, int yFromTop) {
    const std::uint32_t bgr = pane.Icon().ReadPixel(x, 23 - yFromTop);
    return qRgb((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
}

using AlbumInfoPaneTest = MainWindowTest;

TEST_F(AlbumInfoPaneTest, IconOfATallPictureIsItsCentralSquare) {
    const QString path = WriteGradient(dir_, "tall.bmp", 100, 400);
    const CIconSquare square = IconSquare(100, 400);
    EXPECT_EQ(square.side, 75);
    EXPECT_EQ(square.x, 12);
    EXPECT_EQ(square.y, 162);
    ASSERT_TRUE(Info().SetIconFromFile(path.toStdString()));
    EXPECT_EQ(PixelRows(Info().Icon()), ResampledSquare(path, 12, 162, 75));
    // The icon's top row comes from the square's top, not from the picture's bottom.
    EXPECT_NEAR(qGreen(IconPixel(Info(), 0, 0)), 163 * 255 / 399, 2);
    EXPECT_NEAR(qGreen(IconPixel(Info(), 0, 23)), (162 + 72) * 255 / 399, 3);
    EXPECT_NEAR(qRed(IconPixel(Info(), 0, 0)), 13 * 255 / 99, 3);
}

TEST_F(AlbumInfoPaneTest, IconOfATinyPictureEnlargesItsTopLeftSquare) {
    QImage image(3, 3, QImage::Format_RGB32);
    const QRgb colours[3][3] = {{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(9, 9, 9)},
                                {qRgb(0, 0, 255), qRgb(255, 255, 0), qRgb(9, 9, 9)},
                                {qRgb(9, 9, 9), qRgb(9, 9, 9), qRgb(9, 9, 9)}};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            image.setPixel(x, y, colours[y][x]);
        }
    }
    const QString path = QString::fromStdString(dir_.File("tiny.bmp"));
    ASSERT_TRUE(image.save(path, "BMP"));
    const CIconSquare square = IconSquare(3, 3);
    EXPECT_EQ(square.side, 2);
    EXPECT_EQ(square.x, 0);
    EXPECT_EQ(square.y, 0);
    ASSERT_TRUE(Info().SetIconFromFile(path.toStdString()));
    EXPECT_EQ(PixelRows(Info().Icon()), ResampledSquare(path, 0, 0, 2));
    // Its top row enlarges the picture's top left pair; lower rows are sampled as the
    // resampling steps down from there.
    EXPECT_EQ(IconPixel(Info(), 0, 0), colours[0][0]);
    EXPECT_EQ(IconPixel(Info(), 23, 0), colours[0][1]);
    EXPECT_EQ(IconPixel(Info(), 0, 1), colours[1][0]);
    EXPECT_EQ(IconPixel(Info(), 23, 1), colours[1][1]);
}

TEST_F(AlbumInfoPaneTest, IconIsDrawnCentredInItsFrameAndBlackAfterAReset) {
    const QString path = WriteGradient(dir_, "wide.bmp", 64, 64);
    ASSERT_TRUE(Info().SetIconFromFile(path.toStdString()));
    const QRect frame = Info().IconFrame()->geometry();
    const QRect icon = Info().IconRect();
    EXPECT_EQ(icon.size(), QSize(24, 24));
    EXPECT_EQ(icon.left() - frame.left(), (frame.width() - 24) / 2);
    EXPECT_EQ(icon.top() - frame.top(), (frame.height() - 24) / 2);

    Dialog().show();
    QImage shown = Info().grab().toImage();
    EXPECT_EQ(shown.pixel(icon.topLeft()), IconPixel(Info(), 0, 0));
    EXPECT_EQ(shown.pixel(icon.bottomRight()), IconPixel(Info(), 23, 23));
    EXPECT_NE(shown.pixel(icon.topLeft() - QPoint(1, 0)), IconPixel(Info(), 0, 0));

    Info().ResetAlbumInfo();
    shown = Info().grab().toImage();
    for (const QPoint corner :
         {icon.topLeft(), icon.topRight(), icon.bottomLeft(), icon.bottomRight(), icon.center()}) {
        EXPECT_EQ(shown.pixel(corner), qRgb(0, 0, 0));
    }
    EXPECT_NE(shown.pixel(icon.topLeft() - QPoint(1, 1)), qRgb(0, 0, 0));
}

TEST_F(AlbumInfoPaneTest, PictureThatCannotBeLoadedLeavesTheIcon) {
    ASSERT_TRUE(Info().SetIconFromFile(Sample(0).toStdString()));
    const auto before = PixelRows(Info().Icon());
    WriteAll(dir_.File("broken.jpg"), "not a picture at all");
    EXPECT_FALSE(Info().SetIconFromFile(dir_.File("broken.jpg")));
    EXPECT_FALSE(Info().SetIconFromFile(dir_.File("missing.jpg")));
    EXPECT_EQ(PixelRows(Info().Icon()), before);
}

TEST_F(AlbumInfoPaneTest, ResetGivesTheUntitledAlbumWithoutNote) {
    Info().TitleBox()->setText("Summer");
    Info().NoteBox()->setPlainText("Two weeks\nby the sea");
    Info().ResetAlbumInfo();
    EXPECT_EQ(Info().TitleBox()->text(), "untitled");
    EXPECT_EQ(Info().NoteBox()->toPlainText(), "");
}

}  // namespace
