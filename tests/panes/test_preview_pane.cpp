#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <cstring>

#include "app/main_window_fixture.h"
#include "convert/conversion.h"
#include "panes/annotation_page.h"
#include "panes/color_page.h"
#include "panes/size_page.h"
#include "res/resource.h"

namespace {

constexpr int kView = 160;

// The view's pixels as red, green, blue, top row first.
std::vector<std::uint8_t> ShownView(const CPreviewPane& preview) {
    std::vector<std::uint8_t> view;
    const CDib& surface = preview.Surface();
    for (int y = kView - 1; y >= 0; --y) {
        for (int x = 0; x < kView; ++x) {
            const std::uint32_t rgb = surface.ReadPixel(x, y);
            view.insert(view.end(),
                        {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                         static_cast<std::uint8_t>(rgb)});
        }
    }
    return view;
}

class PreviewPaneTest : public MainWindowTest {
protected:
    void Mouse(QEvent::Type type, QPoint at) {
        QMouseEvent event(type, at, Preview().mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&Preview(), &event);
    }
    void Drag(QPoint from, int dx, int dy) {
        Mouse(QEvent::MouseButtonPress, from);
        Mouse(QEvent::MouseMove, from + QPoint(dx, dy));
        Mouse(QEvent::MouseButtonRelease, from + QPoint(dx, dy));
    }
    QPoint InsideView() { return Preview().PictureArea()->geometry().center(); }
    // The view, with "Show as saved", holds the pixels the batch tool extracts from the saved
    // album, 1:1 inside its frame and centred on black.
    void ExpectShownAsStored() {
        QCheckBox* asSaved = Preview().ColorPage().ShowAsSavedBox();
        const bool wasOn = asSaved->isChecked();
        if (!wasOn) {
            asSaved->click();
        }
        const std::vector<std::uint8_t> view = ShownView(Preview());
        if (!wasOn) {
            asSaved->click();
        }
        const QImage stored = SavedPicture(Preview().CurrentIndex());
        ASSERT_FALSE(stored.isNull());
        // A cropped picture is stored as its window; an uncropped one whole, the bars choosing
        // the part the view shows.
        const bool cropped = Shown()->m_crop != 0;
        const int x0 = cropped ? 0 : Preview().HorizontalBar()->value();
        const int y0 = cropped ? 0 : Preview().VerticalBar()->value();
        const int shownW = std::min(kView - 2, stored.width());
        const int shownH = std::min(kView - 2, stored.height());
        const int left = (kView - shownW) / 2;
        const int top = (kView - shownH) / 2;
        std::vector<std::uint8_t> expected(kView * kView * 3, 0);
        for (int y = 0; y < shownH; ++y) {
            std::memcpy(&expected[3 * ((top + y) * kView + left)],
                        stored.constScanLine(y0 + y) + 3 * x0,
                        3 * static_cast<std::size_t>(shownW));
        }
        // At 16 bits the file keeps six bits of green where the screen shows five: the two
        // widen a channel a few steps apart.
        const int slack = Shown()->m_colorDepth == 16 ? 8 : 0;
        std::size_t differ = 0;
        for (std::size_t i = 0; i < view.size(); ++i) {
            differ += std::abs(view[i] - expected[i]) > slack ? 1 : 0;
        }
        EXPECT_EQ(differ, 0u) << Shown()->m_sourcePath << " at " << int(Shown()->m_colorDepth)
                              << " bits";
    }
    void ChooseDepth(int item) {
        Preview().ColorPage().DepthList()->setCurrentIndex(item);
        emit Preview().ColorPage().DepthList()->activated(item);
    }
    QPushButton* PageButton(CPaneDialog& page, int id) {
        return qobject_cast<QPushButton*>(page.GetDlgItem(id));
    }
};

}  // namespace

TEST_F(PreviewPaneTest, ShowsThePictureAsStoredAtEveryDepthWithOrWithoutCrop) {
    Drop({Sample(3)});  // 640 x 480
    WaitForPicture();
    // Crop at the full-screen limit: 213 x 160, scrolled across, not down.
    EXPECT_TRUE(Preview().HorizontalBar()->isEnabled());
    EXPECT_EQ(Preview().HorizontalBar()->maximum(), 53);
    EXPECT_FALSE(Preview().VerticalBar()->isEnabled());
    EXPECT_EQ(Preview().SizePage().DimensionText()->text(), "213 x 160");
    for (const int item : {0, 1, 2}) {
        ChooseDepth(item);
        ExpectShownAsStored();
    }
    EXPECT_FALSE(Preview().ColorPage().DitherBox()->isEnabled());  // 16 bits never dither
    Preview().SizePage().CropBox()->click();  // off: 160 x 120, centred on black
    EXPECT_EQ(Shown()->m_crop, 0);
    EXPECT_FALSE(Preview().HorizontalBar()->isEnabled());
    EXPECT_EQ(Preview().SizePage().DimensionText()->text(), "160 x 120");
    ExpectShownAsStored();
    ChooseDepth(0);
    Preview().ColorPage().DitherBox()->click();
    EXPECT_EQ(Shown()->m_dither, 1);
    ExpectShownAsStored();
}

TEST_F(PreviewPaneTest, DraggingAndScrollingMoveTheCropWindowWithinThePicture) {
    Drop({Sample(3)});
    WaitForPicture();
    QScrollBar* bar = Preview().HorizontalBar();
    Drag(InsideView(), -30, 5);  // to the left: more of the right side
    EXPECT_EQ(bar->value(), 30);
    EXPECT_EQ(Shown()->m_horizontalOffset, 30);
    EXPECT_EQ(Shown()->m_verticalOffset, 0);
    ExpectShownAsStored();
    Drag(InsideView(), -500, 0);
    EXPECT_EQ(Shown()->m_horizontalOffset, 53);
    Drag(InsideView(), 500, 0);
    EXPECT_EQ(Shown()->m_horizontalOffset, 0);
    // A drag that starts beside the view moves nothing.
    Drag(Preview().PictureArea()->geometry().bottomLeft() + QPoint(0, 40), -30, 0);
    EXPECT_EQ(Shown()->m_horizontalOffset, 0);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(Shown()->m_horizontalOffset, 53);
    ExpectShownAsStored();
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(Shown()->m_horizontalOffset, 52);
}

TEST_F(PreviewPaneTest, TheArrowKeysMoveTheCropWindowAndTheFileFollows) {
    Drop({Sample(0)});  // 320 x 480: 160 x 240, down only
    WaitForPicture();
    QWidget* view = Preview().PictureArea();
    const auto press = [view](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(view, key, modifiers);
    };
    press(Qt::Key_Down);
    EXPECT_EQ(Shown()->m_verticalOffset, 1);
    press(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(Shown()->m_verticalOffset, 11);
    press(Qt::Key_Up);
    EXPECT_EQ(Shown()->m_verticalOffset, 10);
    press(Qt::Key_Right);  // no room across
    EXPECT_EQ(Shown()->m_horizontalOffset, 0);
    press(Qt::Key_End);  // the picture only moves down: End goes to the bottom
    const int bottom = Preview().VerticalBar()->maximum();
    EXPECT_GE(bottom, 80);
    EXPECT_EQ(Shown()->m_verticalOffset, bottom);
    ExpectShownAsStored();
    press(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(Shown()->m_verticalOffset, bottom);
    press(Qt::Key_Home);
    EXPECT_EQ(Shown()->m_verticalOffset, 0);

    Drop({Sample(3)});  // 213 x 160, across only
    WaitForPicture();
    press(Qt::Key_End);
    EXPECT_EQ(Shown()->m_horizontalOffset, 53);
    press(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(Shown()->m_horizontalOffset, 43);
    press(Qt::Key_Down);
    EXPECT_EQ(Shown()->m_verticalOffset, 0);
    ExpectShownAsStored();
    press(Qt::Key_Home);
    EXPECT_EQ(Shown()->m_horizontalOffset, 0);
    // The keys pressed in a row are one step back.
    press(Qt::Key_Right);
    press(Qt::Key_Right);
    Document().UndoStack().undo();
    EXPECT_EQ(Shown()->m_horizontalOffset, 0);
}

TEST_F(PreviewPaneTest, EachPictureKeepsItsOwnValuesAndOffsets) {
    Drop({Sample(3), Sample(0)});  // 640 x 480 and 320 x 480
    WaitForPicture();
    Preview().AnnotationPage().TitleBox()->setText("Mountains");
    Preview().HorizontalBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    Dialog().SelectImage(1);
    WaitForPicture();
    EXPECT_EQ(Entry(0)->m_title, "Mountains");
    EXPECT_EQ(Preview().AnnotationPage().TitleBox()->text(), "dogs_at_door_320x480");
    EXPECT_EQ(Preview().VerticalBar()->maximum(), 81);  // 160 x 241
    Preview().VerticalBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(Entry(1)->m_verticalOffset, 81);

    // Back to a recent picture: at once, at its own offset; one past the end is shown at the
    // end and kept until the next scroll.
    CAlbumImage far;
    far.m_horizontalOffset = 500;
    ASSERT_TRUE(Document().EditPicture(0, kFieldOffset, far));
    Dialog().SelectImage(0);
    EXPECT_FALSE(Preview().IsLoading());
    EXPECT_EQ(Preview().HorizontalBar()->value(), 53);
    EXPECT_EQ(Entry(0)->m_horizontalOffset, 500);
    EXPECT_EQ(Preview().AnnotationPage().TitleBox()->text(), "Mountains");
    Dialog().SelectImage(1);
    EXPECT_EQ(Preview().VerticalBar()->value(), 81);

    // Paging a slider already at its end changes nothing, and must not make the next picture
    // take this one's values when its own are set on the pages.
    QSlider* brightness = Preview().ColorPage().BrightnessSlider();
    brightness->triggerAction(QAbstractSlider::SliderToMaximum);
    brightness->triggerAction(QAbstractSlider::SliderPageStepAdd);
    CAlbumImage other;
    other.m_brightness = 40;
    other.m_contrast = 200;
    other.m_colorDepth = 4;
    ASSERT_TRUE(Document().EditPicture(0, kFieldsColor, other));
    Dialog().SelectImage(0);
    EXPECT_EQ(
        std::vector<int>({Entry(0)->m_brightness, Entry(0)->m_contrast, Entry(0)->m_colorDepth}),
        std::vector<int>({40, 200, 4}));
    EXPECT_EQ(Entry(1)->m_brightness, 255);
}

TEST_F(PreviewPaneTest, PageHandlersStoreAndRedrawAndApplyToAllChangesOnlyItsGroup) {
    Drop({Sample(3), Sample(1), Sample(5)});
    WaitForPicture();
    CColorPage& color = Preview().ColorPage();
    const auto changed = [&](const std::function<void()>& action) {
        const std::vector<std::uint8_t> before = ShownView(Preview());
        action();
        ExpectShownAsStored();
        return ShownView(Preview()) != before;
    };
    EXPECT_TRUE(changed(
        [&] { color.BrightnessSlider()->triggerAction(QAbstractSlider::SliderPageStepAdd); }));
    EXPECT_EQ(Shown()->m_brightness, 127 + 51);
    EXPECT_TRUE(changed([&] {
        color.ContrastSlider()->setSliderDown(true);
        color.ContrastSlider()->setSliderPosition(200);
        color.ContrastSlider()->setSliderDown(false);
    }));
    EXPECT_EQ(Shown()->m_contrast, 200);
    // An arrow key moves the picture's value at once, as any other way of moving the slider.
    color.ContrastSlider()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(Shown()->m_contrast, 201);
    EXPECT_TRUE(changed([&] { Click(PageButton(color, IDC_RESET_CONTRAST)); }));
    EXPECT_EQ(Shown()->m_contrast, 127);
    EXPECT_TRUE(changed([&] { Click(PageButton(color, IDC_RESET_BRIGHTNESS)); }));
    EXPECT_EQ(Shown()->m_brightness, 127);
    EXPECT_TRUE(changed([&] { color.DitherBox()->click(); }));
    EXPECT_TRUE(changed([&] { ChooseDepth(2); }));

    // Choosing a size changes nothing until Update; then the shown picture and every picture
    // added later take it.
    CSizePage& size = Preview().SizePage();
    size.CropBox()->click();
    size.SizeList()->setCurrentIndex(3);  // VGA(640x480)
    EXPECT_EQ(Shown()->m_sizeLimitWidth, 160);
    Click(PageButton(size, IDC_UPDATE_SIZE));
    EXPECT_EQ(Shown()->m_sizeLimitWidth, 640);
    EXPECT_EQ(Shown()->m_sizeLimitHeight, 480);
    EXPECT_EQ(size.DimensionText()->text(), "640 x 480");
    ExpectShownAsStored();

    Click(PageButton(color, IDC_APPLY_TO_ALL));
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(std::vector<int>({Entry(i)->m_colorDepth, Entry(i)->m_dither, Entry(i)->m_crop}),
                  std::vector<int>({16, 1, i == 0 ? 0 : 1}))
            << i;
        EXPECT_EQ(Entry(i)->m_sizeLimitWidth, i == 0 ? 640 : 160) << i;
    }
    Dialog().SelectImage(1);
    WaitForPicture();
    Preview().AnnotationPage().TitleBox()->setText("Fig");
    Preview().HorizontalBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    size.SizeList()->setCurrentIndex(2);  // QuarterVGA(320x240)
    Click(PageButton(size, IDC_APPLY_TO_ALL));
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(std::vector<int>({Entry(i)->m_sizeLimitWidth, Entry(i)->m_sizeLimitHeight,
                                    Entry(i)->m_crop, Entry(i)->m_colorDepth, Entry(i)->m_dither}),
                  std::vector<int>({320, 240, 1, 16, 1}))
            << i;
    }
    EXPECT_EQ(Entry(1)->m_title, "Fig");
    EXPECT_EQ(Entry(0)->m_title, "mountain_path_640x480");
    Drop({Sample(4)});
    EXPECT_EQ(Entry(3)->m_sizeLimitWidth, 320);
}

TEST_F(PreviewPaneTest, APictureThatCannotBeReadSaysWhyAndKeepsItsOwnValues) {
    const std::string copy = dir_.File("gone.jpg");
    ASSERT_TRUE(std::filesystem::copy_file(Sample(2).toStdString(), copy));
    Drop({Sample(3), QString::fromStdString(copy)});
    WaitForPicture();
    Preview().ColorPage().BrightnessSlider()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    std::filesystem::remove(copy);
    Dialog().SelectImage(1);
    WaitForPicture();
    EXPECT_EQ(Preview().StatusText(), "cannot read gone.jpg: file not found");
    EXPECT_EQ(ShownView(Preview()), std::vector<std::uint8_t>(kView * kView * 3, 0));
    EXPECT_EQ(Preview().AnnotationPage().TitleBox()->text(), "gone");
    EXPECT_EQ(Preview().ColorPage().BrightnessSlider()->value(), 127);
    EXPECT_FALSE(Preview().HorizontalBar()->isEnabled());
    // The next picture, while it loads, shows a plain view, not the last one's message.
    ASSERT_TRUE(Dialog().AddImage(Sample(4)));
    Dialog().SelectImage(2);
    EXPECT_TRUE(Preview().StatusText().isEmpty() || Preview().StatusText().startsWith("Loading"));
    WaitForPicture();
    Dialog().SelectImage(1);
    Preview().AnnotationPage().TitleBox()->setText("Lost");
    Dialog().SelectImage(0);
    EXPECT_EQ(Entry(1)->m_title, "Lost");
    EXPECT_EQ(Entry(1)->m_brightness, 127);
    EXPECT_EQ(Entry(0)->m_brightness, 178);
    EXPECT_TRUE(Preview().StatusText().isEmpty());
}

TEST_F(PreviewPaneTest, ANewerSelectionWinsAndTheLastPictureLeavesABlackViewWithItsBarsOff) {
    Drop({Sample(3), Sample(2)});
    WaitForPicture();
    // Picture 1 is being decoded when picture 0, decoded before, is chosen again.
    Dialog().SelectImage(1);
    Dialog().SelectImage(0);
    WaitForPicture();
    QTest::qWait(100);
    EXPECT_EQ(Shown(), Entry(0));
    ExpectShownAsStored();

    Preview().HorizontalBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    Click(List().DeleteButton());
    Click(List().DeleteButton());
    ExpectEmptyAlbum();
    EXPECT_FALSE(Preview().HorizontalBar()->isEnabled());
    EXPECT_EQ(Preview().HorizontalBar()->value(), 0);
    EXPECT_EQ(ShownView(Preview()), std::vector<std::uint8_t>(kView * kView * 3, 0));
    // The empty album's view says how to fill it, until a picture comes.
    EXPECT_EQ(Preview().StatusText(), "Add Files... or drop pictures here");
    ASSERT_TRUE(Dialog().AddImage(Sample(4)));
    EXPECT_TRUE(Preview().StatusText().isEmpty());
}

TEST_F(PreviewPaneTest, ShowAsSavedShowsTheCropWindowAsTheBatchToolExtractsItFromTheFile) {
    Drop({Sample(3)});
    WaitForPicture();
    ChooseDepth(1);
    Preview().ColorPage().DitherBox()->click();
    Drag(InsideView(), -30, 0);
    const std::vector<std::uint8_t> asSaved = ShownView(Preview());
    Preview().ColorPage().ShowAsSavedBox()->click();  // off: the whole picture converted
    // The crop window's own palette gives other colours than the whole picture's.
    EXPECT_NE(ShownView(Preview()), asSaved);
    Preview().ColorPage().ShowAsSavedBox()->click();

    const QString album = QString::fromStdString(dir_.File("album.pdb"));
    const QString folder = QString::fromStdString(dir_.File("extracted"));
    ASSERT_TRUE(Dialog().SaveAlbum(album));
    QProcess cli;
    cli.start(QStringLiteral(TAVELO_CLI_PATH), {"extract", album, "-d", folder});
    ASSERT_TRUE(cli.waitForFinished(60000));
    const QImage stored =
        QImage(folder + "/picture_001.png").convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(stored.size(), QSize(160, 160));
    const std::vector<std::uint8_t> view = ShownView(Preview());
    for (int y = 0; y < kView - 2; ++y) {
        ASSERT_EQ(
            std::memcmp(&view[3 * ((y + 1) * kView + 1)], stored.constScanLine(y), 3 * (kView - 2)),
            0)
            << y;
    }
    // Moving the window converts it again, as the save would.
    Drag(InsideView(), 20, 0);
    EXPECT_EQ(Shown()->m_horizontalOffset, 10);
    EXPECT_NE(ShownView(Preview()), view);
}
