#include <QImage>
#include <QLabel>

#include "app/main_window_fixture.h"
#include "panes/annotation_page.h"
#include "ui/unshown_characters_note.h"

namespace {

// A picture whose every pixel tells where it is: red grows to the right, green downwards.
QImage Gradient(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb(x * 255 / (width - 1), y * 255 / (height - 1), 77));
        }
    }
    return image;
}

QRgb IconPixel(const CAlbumInfoPane& pane, int x, int yFromTop) {
    const std::uint32_t bgr = pane.Icon().ReadPixel(x, 23 - yFromTop);
    return qRgb((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
}

using AlbumInfoPaneTest = MainWindowTest;

// The icon holds exactly what ResampleDib makes of the central square, its top row from the
// square's top (bitmaps are stored bottom row first).
TEST_F(AlbumInfoPaneTest, IconIsTheResampledCentralSquareOfThePicture) {
    struct Case {
        int width, height, side, x, y;
        QPoint icon[3];
        int red[3], green[3];  // where in the gradient those icon pixels lie
    };
    const Case cases[] = {
        {100, 400, 75, 12, 162, {{0, 0}, {0, 23}, {23, 0}}, {33, 33, 216}, {104, 149, 104}},
        {3, 3, 2, 0, 0, {{0, 0}, {0, 1}, {23, 0}}, {0, 0, 127}, {0, 127, 0}}};
    for (const Case& c : cases) {
        const QImage image = Gradient(c.width, c.height);
        const QString path = QString::fromStdString(dir_.File("picture.bmp"));
        ASSERT_TRUE(image.save(path, "BMP"));
        const CIconSquare square = IconSquare(c.width, c.height);
        EXPECT_EQ(std::vector<int>({square.side, square.x, square.y}),
                  std::vector<int>({c.side, c.x, c.y}));
        CPictureLoader loader;
        CDib picture;
        CDib expected;
        ASSERT_TRUE(loader.Open(path.toStdString()) && loader.RenderToDib(picture));
        ASSERT_TRUE(expected.Create(24, 24, 24));
        ASSERT_TRUE(ResampleDib(picture, c.x, c.y, c.side, c.side, expected, 24, 24));
        Dialog().ResetAll();
        ASSERT_TRUE(Dialog().AddImage(path));
        ASSERT_TRUE(Dialog().SetAlbumIcon(0));
        WaitForIcon();
        EXPECT_EQ(Icon(), PixelRows(expected)) << c.width << " x " << c.height;
        for (int i = 0; i < 3; ++i) {
            const QRgb shown = IconPixel(Info(), c.icon[i].x(), c.icon[i].y());
            EXPECT_NEAR(qRed(shown), c.red[i], 3) << c.width << " x " << c.height << " " << i;
            EXPECT_NEAR(qGreen(shown), c.green[i], 3) << c.width << " x " << c.height << " " << i;
        }
    }
}

TEST_F(AlbumInfoPaneTest, IconIsDrawnCentredInItsFrameAndBlackAfterAReset) {
    const QString path = QString::fromStdString(dir_.File("square.bmp"));
    ASSERT_TRUE(Gradient(64, 64).save(path, "BMP"));
    ASSERT_TRUE(Dialog().AddImage(path));
    ASSERT_TRUE(Dialog().SetAlbumIcon(0));
    WaitForIcon();
    // A file that cannot be loaded leaves the icon as it was.
    const auto before = Icon();
    WriteAll(dir_.File("broken.jpg"), "not a picture at all");
    ASSERT_TRUE(Dialog().AddImage(QString::fromStdString(dir_.File("broken.jpg"))));
    ASSERT_TRUE(Dialog().AddImage(QString::fromStdString(dir_.File("missing.jpg"))));
    EXPECT_TRUE(Dialog().SetAlbumIcon(1));
    EXPECT_TRUE(Dialog().SetAlbumIcon(2));
    WaitForIcon();
    EXPECT_EQ(Icon(), before);
    EXPECT_EQ(Dialog().Album().IconSource(), path.toStdString());

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

    Dialog().ResetAll();
    shown = Info().grab().toImage();
    for (const QPoint corner : {icon.topLeft(), icon.bottomRight(), icon.center()}) {
        EXPECT_EQ(shown.pixel(corner), qRgb(0, 0, 0));
    }
    EXPECT_NE(shown.pixel(icon.topLeft() - QPoint(1, 1)), qRgb(0, 0, 0));
}

// The album's and the picture's title and note boxes each name, just under themselves, the
// characters of their text the handheld cannot show, and only while there are such.
TEST_F(AlbumInfoPaneTest, ANoteUnderEachTextBoxNamesTheCharactersTheHandheldCannotShow) {
    Drop({Sample(3)});
    Dialog().show();
    CAnnotationPage& page = Preview().AnnotationPage();
    QWidget* const boxes[] = {Info().TitleBox(), Info().NoteBox(), page.TitleBox(), page.NoteBox()};
    for (QWidget* box : boxes) {
        const auto* note = box->findChild<CUnshownCharactersNote*>();
        ASSERT_NE(note, nullptr);
        const auto type = [box](const QString& text) {
            if (auto* line = qobject_cast<QLineEdit*>(box)) {
                line->setText(text);
            } else {
                qobject_cast<QPlainTextEdit*>(box)->setPlainText(text);
            }
        };
        type(QStringLiteral("Caf\u00e9 \u20ac ? \u65e5\u672c in \u65e5 Ky\u014dto"));
        EXPECT_TRUE(note->Label()->isVisible());
        EXPECT_EQ(note->Label()->text(),
                  QStringLiteral("The handheld shows \u65e5 \u672c \u014d as \"?\""));
        EXPECT_EQ(note->Label()->geometry().topLeft(), box->geometry().bottomLeft() + QPoint(0, 1));
        type(QStringLiteral("Caf\u00e9 \u20ac na\u00efve?"));
        EXPECT_FALSE(note->Label()->isVisible());
    }
}

}  // namespace
