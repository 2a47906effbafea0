#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <cstring>

#include "app/main_window_fixture.h"
#include "panes/annotation_page.h"
#include "panes/color_page.h"
#include "panes/size_page.h"
#include "res/resource.h"
#include "ui/tab_ctrl.h"

namespace {

class AlbumEditingTest : public MainWindowTest {
protected:
    AlbumEditingTest() { env_.Set("SOURCE_DATE_EPOCH", "978307200"); }

    std::vector<std::uint8_t> SaveBytes(const std::string& name) {
        const std::string path = dir_.File(name);
        EXPECT_TRUE(Dialog().SaveAlbum(QString::fromStdString(path)));
        return ReadAll(path);
    }
    void Key(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
    }
    QPushButton* PageButton(CPaneDialog& page, int id) {
        return qobject_cast<QPushButton*>(page.GetDlgItem(id));
    }
};

// Counts the paints that reach the preview's view.
class CViewPaints : public QObject {
public:
    explicit CViewPaints(CPreviewPane& preview) : m_preview(preview) {
        preview.installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && static_cast<QPaintEvent*>(event)->rect().intersects(
                                                  m_preview.PictureArea()->geometry())) {
            ++count;
        }
        return false;
    }
    int count = 0;

private:
    CPreviewPane& m_preview;
};

}  // namespace

TEST_F(AlbumEditingTest, UndoAndRedoFromTheKeysWalkTheEditsBackOneStepAtATime) {
    Drop({Sample(3), Sample(1)});
    WaitForPicture();
    Dialog().show();
    Dialog().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Dialog()));

    // A slider drag is one step, named in the menu.
    QSlider* brightness = Preview().ColorPage().BrightnessSlider();
    brightness->setSliderDown(true);
    for (const int position : {140, 160, 190}) {
        brightness->setSliderPosition(position);
    }
    brightness->setSliderDown(false);
    EXPECT_EQ(Entry(0)->m_brightness, 190);
    EXPECT_EQ(Dialog().UndoAction()->text(), "&Undo Change Brightness");
    Key(&Dialog(), Qt::Key_Z);
    EXPECT_EQ(Entry(0)->m_brightness, 127);
    EXPECT_EQ(brightness->value(), 127);

    // A run of typing is one step, and Ctrl+Z in the box undoes the album's step, not the box's.
    QLineEdit* title = Preview().AnnotationPage().TitleBox();
    title->setFocus();
    title->selectAll();
    QTest::keyClicks(title, "Peak");
    EXPECT_EQ(Entry(0)->m_title, "Peak");
    QPlainTextEdit* note = Preview().AnnotationPage().NoteBox();
    note->setFocus();
    QTest::keyClicks(note, "Windy");
    EXPECT_EQ(Entry(0)->m_note, "Windy");
    Key(note, Qt::Key_Z);
    EXPECT_TRUE(Entry(0)->m_note.empty());
    EXPECT_TRUE(note->toPlainText().isEmpty());
    Key(title, Qt::Key_Z);
    EXPECT_EQ(Entry(0)->m_title, "mountain_path_640x480");
    EXPECT_EQ(title->text(), "mountain_path_640x480");

    // Both redo keys go forward again.
    Key(title, Qt::Key_Y);
    EXPECT_EQ(Entry(0)->m_title, "Peak");
    Key(&Dialog(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Entry(0)->m_note, "Windy");
    EXPECT_EQ(note->toPlainText(), "Windy");
}

TEST_F(AlbumEditingTest, ResetIsOneStepThatForgetsTheProjectAndUndoGivesTheSameFileBack) {
    Drop({Sample(3), Sample(4)});
    WaitForPicture();
    Info().TitleBox()->setText("Trip");
    Info().NoteBox()->setPlainText("Day 1");
    Preview().HorizontalBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    Preview().AnnotationPage().TitleBox()->setText("Peak");
    Preview().ColorPage().ContrastSlider()->setValue(40);
    const std::string project = dir_.File("trip.json");
    ASSERT_TRUE(Dialog().SaveAlbumProject(QString::fromStdString(project)));
    const std::vector<std::uint8_t> before = SaveBytes("before.pdb");

    Click(Dialog().GetDlgItem(IDC_RESET));
    ExpectEmptyAlbum();
    EXPECT_TRUE(Dialog().ProjectPath().isEmpty());
    EXPECT_EQ(Dialog().windowTitle(), "Lumivale, Inc. - Tavelo Desktop 2.0[*]");
    // The pages show a new picture's values, not the last picture's.
    EXPECT_TRUE(Preview().AnnotationPage().TitleBox()->text().isEmpty());
    EXPECT_EQ(Preview().ColorPage().ContrastSlider()->value(), 127);
    // Saving the project now offers a new name, not the old project.
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_FALSE(dialog->selectedFiles().value(0).endsWith("trip.json"));
        dialog->reject();
    });
    QMetaObject::invokeMethod(&Dialog(), "OnSaveAlbumProject");

    Dialog().UndoAction()->trigger();
    WaitForPicture();
    EXPECT_EQ(Dialog().ProjectPath(), QString::fromStdString(project));
    EXPECT_FALSE(Dialog().isWindowModified());
    EXPECT_EQ(SaveBytes("after.pdb"), before);
}

TEST_F(AlbumEditingTest, EveryPageEditReachesTheAlbumAndTheView) {
    Drop({Sample(3), Sample(1), Sample(5)});
    WaitForPicture();
    Dialog().show();
    CViewPaints paints(Preview());

    // The tabs show their own pages.
    CTabCtrl* tabs = Preview().TabControl();
    for (int tab = 0; tab < 3; ++tab) {
        tabs->TabBar()->setCurrentIndex(tab);
        EXPECT_EQ(std::vector<bool>({Preview().AnnotationPage().isVisible(),
                                     Preview().ColorPage().isVisible(),
                                     Preview().SizePage().isVisible()}),
                  std::vector<bool>({tab == 0, tab == 1, tab == 2}));
    }

    QTest::keyClicks(Preview().AnnotationPage().NoteBox(), "By the lake");
    EXPECT_EQ(Entry(0)->m_note, "By the lake");
    // Texts longer than a handheld record takes cannot be typed or pasted.
    Info().TitleBox()->setText(QString(300, u't'));
    Info().NoteBox()->setPlainText(QString(5000, u'n'));
    EXPECT_EQ(Dialog().Album().Title().size(), 255u);
    EXPECT_EQ(Dialog().Album().Note().size(), 4096u);
    // Typed, the album title stops where the album's file name would be cut (251 bytes).
    Info().TitleBox()->clear();
    for (int i = 0; i < 200; ++i) {
        QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(0xE9)));
        QApplication::sendEvent(Info().TitleBox(), &typed);
    }
    EXPECT_EQ(Dialog().Album().Title(), QString(125, QChar(0xE9)).toStdString());

    // Color: every change redraws the view; Apply to All gives each value to its own field.
    CColorPage& color = Preview().ColorPage();
    QTest::qWait(100);  // what showing the window painted
    paints.count = 0;
    color.BrightnessSlider()->setValue(178);
    QCoreApplication::processEvents();
    EXPECT_GT(paints.count, 0);
    color.ContrastSlider()->setValue(200);
    color.DepthList()->setCurrentIndex(2);
    EXPECT_FALSE(color.DitherBox()->isEnabled());
    Click(PageButton(color, IDC_APPLY_TO_ALL));
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(std::vector<int>(
                      {Entry(i)->m_brightness, Entry(i)->m_contrast, Entry(i)->m_colorDepth}),
                  std::vector<int>({178, 200, 16}))
            << i;
    }

    // Size: Crop applies the limit last chosen with Update, not what the list shows since.
    CSizePage& size = Preview().SizePage();
    size.SizeList()->setCurrentIndex(3);  // VGA(640x480)
    Click(PageButton(size, IDC_UPDATE_SIZE));
    size.SizeList()->setCurrentIndex(2);  // QuarterVGA(320x240), not applied
    size.CropBox()->click();
    EXPECT_EQ(std::vector<int>(
                  {Entry(0)->m_sizeLimitWidth, Entry(0)->m_sizeLimitHeight, Entry(0)->m_crop}),
              std::vector<int>({640, 480, 0}));
    EXPECT_EQ(size.SizeList()->currentIndex(), 2);
    EXPECT_EQ(Entry(1)->m_sizeLimitWidth, 160);
}

TEST_F(AlbumEditingTest, CropOffAndOnKeepsTheWindowTheFileWillUse) {
    Drop({Sample(3)});
    WaitForPicture();
    QScrollBar* bar = Preview().HorizontalBar();
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    CSizePage& size = Preview().SizePage();
    size.CropBox()->click();
    size.CropBox()->click();
    EXPECT_EQ(Entry(0)->m_horizontalOffset, 53);
    EXPECT_EQ(bar->value(), 53);
    // "Show as saved", on from the start, shows the file's window as the batch tool extracts it.
    const std::vector<std::uint8_t> shown = PixelRows(Preview().Surface());
    const QImage stored = SavedPicture(0).convertToFormat(QImage::Format_BGR888);
    ASSERT_EQ(stored.size(), QSize(160, 160));
    for (int y = 1; y < 159; ++y) {
        ASSERT_EQ(std::memcmp(&shown[3 * (y * 160 + 1)], stored.constScanLine(y - 1), 3 * 158), 0)
            << y;
    }
}

TEST_F(AlbumEditingTest, ClosingAsksOnlyWhenTheWorkIsNotSavedAsAProjectAndNamesTheAlbumWritten) {
    // A new, empty album closes without a word.
    Dialog().show();
    EXPECT_TRUE(Dialog().close());

    dialog_.reset();
    Drop({Sample(3)});
    // The suggested album file name is "untitled"; a name without extension gets .pdb.
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        EXPECT_EQ(name->text(), "untitled");
        dialog->setDirectory(QString::fromStdString(dir_.path().string()));
        name->setText("trip");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    Click(Dialog().SaveButton());
    ASSERT_TRUE(std::filesystem::exists(dir_.File("trip.pdb")));
    QString question;
    Answer(QMessageBox::Cancel, nullptr, &question);
    Dialog().show();
    EXPECT_FALSE(Dialog().close());
    EXPECT_EQ(question,
              "The album was written to trip.pdb but not saved as a project.\nSave the project?");

    ASSERT_TRUE(Dialog().SaveAlbumProject(QString::fromStdString(dir_.File("trip.json"))));
    EXPECT_TRUE(Dialog().close());  // no question: a box would fail the test
}

TEST_F(AlbumEditingTest, SuggestedNamesSaveAndSaveOpensWhereItLastWrote) {
    Drop({Sample(3)});
    Info().TitleBox()->setText("Summer 2024 / Crete");
    const QString folder = QString::fromStdString(dir_.path().string());
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->findChild<QLineEdit*>("fileNameEdit")->text(),
                  "Summer 2024 - Crete.json");
        dialog->setDirectory(folder);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QMetaObject::invokeMethod(&Dialog(), "OnSaveAlbumProject");
    EXPECT_TRUE(std::filesystem::exists(dir_.File("Summer 2024 - Crete.json")));

    // A path typed whole writes elsewhere than the folder the dialog shows; the next Save
    // opens where the file went.
    std::filesystem::create_directories(dir_.path() / "albums");
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        dialog->setDirectory(folder);
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(folder + "/albums/trip.pdb");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    Click(Dialog().SaveButton());
    ASSERT_TRUE(std::filesystem::exists(dir_.File("albums/trip.pdb")));
    QString opened;
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        opened = dialog->directory().absolutePath();
        dialog->reject();
    });
    Click(Dialog().SaveButton());
    EXPECT_EQ(opened, folder + "/albums");
}

TEST_F(AlbumEditingTest, AListClickOnEmptySpaceThenOnTheSameRowShowsItsPictureAgain) {
    Drop({Sample(3), Sample(1)});
    WaitForPicture();
    Dialog().show();
    QListWidget* list = List().List();
    const QPoint row1 = list->visualItemRect(list->item(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row1);
    EXPECT_EQ(Shown(), Entry(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, list->viewport()->height() - 5));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row1);
    EXPECT_EQ(Shown(), Entry(1));
    EXPECT_EQ(List().GetSelectedRow(), 1);
}

TEST_F(AlbumEditingTest, FocusNeverJumpsIntoTheAlbumTitleByItself) {
    Dialog().show();
    Dialog().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Dialog()));
    // The empty window does not start in a text box, where the first key would replace text.
    EXPECT_FALSE(qobject_cast<QLineEdit*>(QApplication::focusWidget()) != nullptr ||
                 qobject_cast<QPlainTextEdit*>(QApplication::focusWidget()) != nullptr)
        << QApplication::focusWidget()->metaObject()->className();
    Drop({Sample(3)});
    WaitForPicture();
    CTabCtrl* tabs = Preview().TabControl();
    tabs->TabBar()->setCurrentIndex(1);
    Click(PageButton(Preview().ColorPage(), IDC_RESET_BRIGHTNESS));
    tabs->TabBar()->setCurrentIndex(2);
    EXPECT_NE(QApplication::focusWidget(), Info().TitleBox());
    QTest::keyClicks(QApplication::focusWidget(), "x");
    EXPECT_EQ(Dialog().Album().Title(), "untitled");
    // Nor after Apply to All, nor when the focused Dither box is switched off by a 16-bit depth.
    tabs->TabBar()->setCurrentIndex(1);
    Click(PageButton(Preview().ColorPage(), IDC_APPLY_TO_ALL));
    QTest::keyClicks(QApplication::focusWidget(), "y");
    Preview().ColorPage().DitherBox()->setFocus();
    Preview().ColorPage().DepthList()->setCurrentIndex(2);
    QTest::keyClicks(QApplication::focusWidget(), "z");
    EXPECT_EQ(Dialog().Album().Title(), "untitled");
}
