#include <sys/stat.h>

#include <fstream>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QProcess>
#include <QScrollBar>

#include "album/album_file_reader.h"
#include "app/main_window_fixture.h"
#include "panes/color_page.h"
#include "panes/size_page.h"
#include "res/resource.h"

namespace {

class AlbumProjectTest : public MainWindowTest {
protected:
    AlbumProjectTest() { env_.Set("SOURCE_DATE_EPOCH", "978307200"); }

    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(List().List(), &press);
    }
    std::vector<std::string> Titles() {
        std::vector<std::string> titles;
        for (std::size_t i = 0; i < Dialog().Album().Count(); ++i) {
            titles.push_back(Entry(i)->m_title);
        }
        return titles;
    }
    // The titles of the pictures in a saved album file, in file order.
    std::vector<std::string> SavedTitles(const std::string& path) {
        CAlbumFile file;
        std::string error;
        EXPECT_TRUE(ReadAlbumFile(ReadAll(path), file, error)) << error;
        std::vector<std::string> titles;
        for (const CAlbumPicture& picture : file.pictures) {
            titles.push_back(picture.text.substr(0, picture.text.find('\n')));
        }
        return titles;
    }
    std::string SaveAlbumFile(const std::string& name) {
        const std::string path = dir_.File(name);
        EXPECT_TRUE(Dialog().SaveAlbum(QString::fromStdString(path)));
        return path;
    }
};

}  // namespace

TEST_F(AlbumProjectTest, RowsDraggedOrMovedWithTheKeyboardReorderTheAlbumAndItsFile) {
    Drop({Sample(3), Sample(1), Sample(2), Sample(5)});
    WaitForPicture();
    // Row 3 dragged above row 1, as the list's drop does it.
    ASSERT_TRUE(List().List()->model()->moveRow(QModelIndex(), 2, QModelIndex(), 0));
    EXPECT_EQ(Titles(), (std::vector<std::string>{"meadow_autumn_640x426", "mountain_path_640x480",
                                                  "fig_on_plate_640x433", "dandelions_320x180"}));
    EXPECT_EQ(List().GetItemText(0).right(25), "meadow_autumn_640x426.jpg");
    // The shown picture and the icon stay with their pictures.
    EXPECT_EQ(Shown(), Entry(1));
    EXPECT_EQ(Dialog().Album().IconSource(), Entry(1)->m_sourcePath);
    EXPECT_EQ(SavedTitles(SaveAlbumFile("dragged.pdb")), Titles());

    List().SelectRow(3);
    Key(Qt::Key_Down, Qt::AltModifier);  // already last: nothing moves
    EXPECT_EQ(Titles()[3], "dandelions_320x180");
    Key(Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(Titles()[2], "dandelions_320x180");
    EXPECT_EQ(List().GetSelectedRow(), 2);
    Key(Qt::Key_Delete);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"meadow_autumn_640x426", "mountain_path_640x480",
                                                  "fig_on_plate_640x433"}));
}

TEST_F(AlbumProjectTest, ADroppedFolderAddsItsPicturesInPlaceInNaturalOrderAndSaysWhatItLeftOut) {
    const std::filesystem::path folder = dir_.path() / "trip";
    std::filesystem::create_directories(folder / "more");
    for (int i = 1; i <= 12; ++i) {
        std::filesystem::copy_file(
            Sample(i % 2 == 0 ? 3 : 5).toStdString(),
            folder / ("img" + std::to_string(i) + (i % 2 == 0 ? ".jpg" : ".bmp")));
    }
    for (const char* other : {"notes.txt", "raw.tif", "index.html"}) {
        WriteAll((folder / other).string(), "x");
    }
    std::filesystem::copy_file(Sample(2).toStdString(), folder / "more" / "deep.jpg");
    // Dropped before the window shows, as the command line's files are: the message waits to
    // stand over the window.
    QString text;
    bool overTheWindow = false;
    WhenShown<QMessageBox>([&](QMessageBox* box) {
        text = box->text();
        overTheWindow = box->parentWidget() == &Dialog() && Dialog().isVisible();
        box->button(QMessageBox::Ok)->click();
    });
    Drop({Sample(1), QString::fromStdString(folder.string()), Sample(0)});
    ASSERT_EQ(Dialog().Album().Count(), 14u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Dialog().IsCheckingPictures(); }, 30000));
    QTest::qWait(100);
    EXPECT_TRUE(text.isEmpty()) << text.toStdString();
    Dialog().show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !text.isEmpty(); }, 30000));
    EXPECT_TRUE(overTheWindow);
    std::vector<std::string> titles = {"fig_on_plate_640x433"};
    for (int i = 1; i <= 12; ++i) {
        titles.push_back("img" + std::to_string(i));
    }
    titles.push_back("dogs_at_door_320x480");
    EXPECT_EQ(Titles(), titles);
    EXPECT_EQ(text,
              QStringLiteral("Added 12 pictures from %1.\nLeft out: 3 files are not a picture this "
                             "program reads.")
                  .arg(QString::fromStdString(folder.string())));
    EXPECT_EQ(Shown(), Entry(0));
    EXPECT_EQ(Icon(), IconOf(Sample(1)));

    // With subfolders, from the menu's folder dialog, up to the album's limit.
    Dialog().ResetAll();
    for (int i = 0; i < 998; ++i) {
        ASSERT_TRUE(Dialog().AddImage(Sample(3)));
    }
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        dialog->setDirectory(QString::fromStdString(folder.string()));
        dialog->findChild<QCheckBox*>("subfolders")->setChecked(true);
        dialog->selectFile(QString::fromStdString(folder.string()));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    text.clear();
    Answer(QMessageBox::Ok, nullptr, &text);
    QMetaObject::invokeMethod(&Dialog(), "OnAddFolder");
    EXPECT_EQ(Dialog().Album().Count(), 1000u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !text.isEmpty(); }, 60000));
    EXPECT_TRUE(text.contains("Added 2 pictures") &&
                text.contains("11 pictures are over the album's limit of "
                              "1000 pictures"))
        << text.toStdString();
}

TEST_F(AlbumProjectTest, AProjectSavedAndOpenedAgainSavesTheSameAlbumAndTheBatchToolAgrees) {
    Drop({Sample(3), Sample(0), Sample(4)});
    WaitForPicture();
    Info().TitleBox()->setText("Trip");
    Info().NoteBox()->setPlainText("Day 1");
    Preview().HorizontalBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    Dialog().SelectImage(2);
    Preview().ColorPage().DitherBox()->click();
    Dialog().SetAlbumIcon(1);
    const std::string first = SaveAlbumFile("first.pdb");
    // Writing the album file is an export: the album is still not saved as a project.
    EXPECT_TRUE(Dialog().isWindowModified());
    const std::string project = dir_.File("trip.json");
    ASSERT_TRUE(Dialog().SaveAlbumProject(QString::fromStdString(project)));
    EXPECT_EQ(Dialog().windowTitle(), "trip.json[*] - Lumivale, Inc. - Tavelo Desktop 2.0");
    EXPECT_FALSE(Dialog().isWindowModified());

    // A new window opens the project as `tavelo trip.json` does, and saves the same bytes.
    dialog_.reset();
    Dialog().OnDropFiles({QString::fromStdString(project)});
    WaitForIcon();
    EXPECT_EQ(Dialog().ProjectPath(), QString::fromStdString(project));
    EXPECT_EQ(Info().TitleBox()->text(), "Trip");
    EXPECT_EQ(ReadAll(SaveAlbumFile("again.pdb")), ReadAll(first));
    QProcess cli;
    cli.start(QStringLiteral(TAVELO_CLI_PATH),
              {"build", "--album", QString::fromStdString(project), "-o",
               QString::fromStdString(dir_.File("cli.pdb"))});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(ReadAll(dir_.File("cli.pdb")), ReadAll(first))
        << cli.readAllStandardError().toStdString();
}

TEST_F(AlbumProjectTest, MovedPicturesAreMarkedAndNamedAndUnsavedChangesAskOnceOnClosing) {
    const std::string copy = dir_.File("beach.jpg");
    ASSERT_TRUE(std::filesystem::copy_file(Sample(2).toStdString(), copy));
    Drop({Sample(3), QString::fromStdString(copy)});
    const std::string project = dir_.File("trip.json");
    ASSERT_TRUE(Dialog().SaveAlbumProject(QString::fromStdString(project)));
    std::filesystem::remove(copy);
    dialog_.reset();

    QString text;
    Answer(QMessageBox::Ok, nullptr, &text);
    ASSERT_TRUE(Dialog().OpenAlbumProject(QString::fromStdString(project)));
    WaitForIcon();
    EXPECT_EQ(Dialog().Album().Count(), 2u);
    EXPECT_FALSE(List().IsMarkedMissing(0));
    EXPECT_TRUE(List().IsMarkedMissing(1));
    EXPECT_TRUE(text.contains(QString::fromStdString(copy))) << text.toStdString();
    EXPECT_TRUE(List().List()->item(1)->toolTip().startsWith(QString::fromStdString(copy)));
    // Put back and shown, it loses its mark.
    ASSERT_TRUE(std::filesystem::copy_file(Sample(2).toStdString(), copy));
    Dialog().SelectImage(1);
    WaitForPicture();
    EXPECT_FALSE(List().IsMarkedMissing(1));

    // A change, then closing: one question; Cancel keeps the window, Discard closes it.
    Info().NoteBox()->setPlainText("changed");
    int asked = 0;
    WhenShown<QMessageBox>([&](QMessageBox* box) {
        ++asked;
        box->button(QMessageBox::Cancel)->click();
    });
    Dialog().show();
    EXPECT_FALSE(Dialog().close());
    EXPECT_TRUE(Dialog().isVisible());
    WhenShown<QMessageBox>([&](QMessageBox* box) {
        ++asked;
        box->button(QMessageBox::Discard)->click();
    });
    EXPECT_TRUE(Dialog().close());
    EXPECT_EQ(asked, 2);
}

// The window refuses what the batch tool refuses, in its words: a pipe (without waiting for a
// writer), a picture or icon that is no picture file by its name, a zero byte in a name.
TEST_F(AlbumProjectTest, AProjectIsRefusedAsTheBatchToolRefusesIt) {
    const std::string pipe = dir_.File("pipe.json");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::pair<const char*, const char*> projects[] = {
        {"text.json", R"({"pictures": [{"path": "notes.txt"}]})"},
        {"zero.json", R"({"pictures": [{"path": "a\u0000b.jpg"}]})"},
        {"icon.json", R"({"icon": "cover.txt", "pictures": []})"}};
    std::vector<std::string> files = {pipe};
    for (const auto& [name, json] : projects) {
        files.push_back(dir_.File(name));
        std::ofstream(files.back()) << json;
    }
    for (const std::string& file : files) {
        QProcess cli;
        cli.start(QStringLiteral(TAVELO_CLI_PATH),
                  {"build", "--album", QString::fromStdString(file), "-o",
                   QString::fromStdString(dir_.File("x.pdb"))});
        ASSERT_TRUE(cli.waitForFinished(60000));
        const QString said = QString::fromUtf8(cli.readAllStandardError()).trimmed();
        const QString reason = said.mid(said.lastIndexOf(": ") + 2);
        QString text;
        Answer(QMessageBox::Ok, nullptr, &text);
        Dialog().OnDropFiles({QString::fromStdString(file)});
        EXPECT_TRUE(!reason.isEmpty() && text.contains(": " + reason + ".\n"))
            << text.toStdString() << " / " << said.toStdString();
        EXPECT_TRUE(Dialog().ProjectPath().isEmpty());
        EXPECT_EQ(Dialog().Album().Count(), 0u);
    }
}

TEST_F(AlbumProjectTest, ADepthOrCropChosenForOnePictureNeverCarriesOverAndTheWindowGrows) {
    const auto settings = [this](std::size_t i) {
        return std::vector<int>({Entry(i)->m_sizeLimitWidth, Entry(i)->m_sizeLimitHeight,
                                 Entry(i)->m_crop, Entry(i)->m_colorDepth});
    };
    Drop({Sample(3)});
    Preview().SizePage().SizeList()->setCurrentIndex(3);  // VGA(640x480)
    Preview().SizePage().CropBox()->click();              // off
    qobject_cast<QPushButton*>(Preview().SizePage().GetDlgItem(IDC_UPDATE_SIZE))->click();
    Preview().ColorPage().DepthList()->setCurrentIndex(0);
    ASSERT_EQ(settings(0), std::vector<int>({640, 480, 0, 4}));
    // The next picture of this run takes the limit chosen with Update, and nothing else.
    Drop({Sample(1)});
    EXPECT_EQ(settings(1), std::vector<int>({640, 480, 1, 8}));
    Dialog().ResetAll();
    Drop({Sample(2)});
    EXPECT_EQ(settings(0), std::vector<int>({640, 480, 1, 8}));
    // The next run starts afresh.
    dialog_.reset();
    Drop({Sample(1)});
    EXPECT_EQ(settings(0), std::vector<int>({160, 160, 1, 8}));
    EXPECT_EQ(Preview().SizePage().SizeList()->currentIndex(), 0);
    EXPECT_EQ(List().List()->item(0)->toolTip(), Sample(1));

    Dialog().show();
    const QRect list = List().List()->geometry();
    const QRect save = Dialog().SaveButton()->geometry();
    const QRect preview = Preview().geometry();
    Dialog().resize(Dialog().size() + QSize(200, 100));
    EXPECT_EQ(List().List()->size(), list.size() + QSize(200, 100));
    EXPECT_EQ(Dialog().SaveButton()->geometry(), save.translated(200, 100));
    EXPECT_EQ(Preview().geometry(), preview);
    EXPECT_EQ(Dialog().minimumSize(), Dialog().size() - QSize(200, 100));
}
