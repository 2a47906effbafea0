#include <QComboBox>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <thread>

#include "album/album_file_reader.h"
#include "album/file_output.h"
#include "app/main_window_fixture.h"
#include "app/save_progress_dlg.h"
#include "panes/color_page.h"
#include "platform/registry.h"

namespace {

std::string Text(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadAll(path);
    return {bytes.begin(), bytes.end()};
}

class SaveTest : public MainWindowTest {
protected:
    SaveTest() { env_.Set("SOURCE_DATE_EPOCH", "978307200"); }

    // Save..., with `name` typed into the file dialog in `folder`.
    void Save(const QString& folder, const QString& name) {
        WhenShown<QFileDialog>([=](QFileDialog* dialog) {
            dialog->setDirectory(folder);
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(name);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        Click(Dialog().SaveButton());
    }

    // The album as the batch tool reads it: every setting of every picture.
    std::string AlbumJson() {
        const CAlbum& album = Dialog().Album();
        QJsonArray pictures;
        int icon = -1;
        for (std::size_t i = 0; i < album.Count(); ++i) {
            const CAlbumImage& e = *album.At(i);
            if (icon < 0 && e.m_sourcePath == album.IconSource()) {
                icon = static_cast<int>(i);
            }
            pictures.append(
                QJsonObject{{"path", QString::fromStdString(e.m_sourcePath)},
                            {"title", QString::fromStdString(e.m_title)},
                            {"note", QString::fromStdString(e.m_note)},
                            {"depth", e.m_colorDepth},
                            {"brightness", e.m_brightness},
                            {"contrast", e.m_contrast},
                            {"dither", e.m_dither != 0},
                            {"crop", e.m_crop != 0},
                            {"limit", QJsonArray{e.m_sizeLimitWidth, e.m_sizeLimitHeight}},
                            {"offset", QJsonArray{e.m_horizontalOffset, e.m_verticalOffset}}});
        }
        const QJsonObject json{{"title", QString::fromStdString(album.Title())},
                               {"note", QString::fromStdString(album.Note())},
                               {"icon", icon < 0 ? QJsonValue() : QJsonValue(icon)},
                               {"pictures", pictures}};
        const std::string path = dir_.File("album.json");
        WriteAll(path, QJsonDocument(json).toJson().toStdString());
        return path;
    }
    std::vector<std::uint8_t> BuiltByTheBatchTool() {
        QProcess cli;
        cli.start(QStringLiteral(TAVELO_CLI_PATH),
                  {"build", "--album", QString::fromStdString(AlbumJson()), "-o",
                   QString::fromStdString(dir_.File("cli.pdb"))});
        EXPECT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        return ReadAll(dir_.File("cli.pdb"));
    }

    std::size_t TemporaryFiles(const std::string& folder) {
        std::size_t count = 0;
        for (const auto& file : std::filesystem::directory_iterator(folder)) {
            count += file.path().extension() == ".tmp";
        }
        return count;
    }
};

}  // namespace

TEST_F(SaveTest, SaveWritesWhatTheBatchToolWritesForTheSameAlbum) {
    Drop({Sample(3), Sample(1), Sample(5)});
    WaitForPicture();
    Info().TitleBox()->setText("Trip");
    Info().NoteBox()->setPlainText("Day 1\nthe hills");
    Preview().HorizontalBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    Dialog().SelectImage(1);
    Click(List().IconButton());
    Dialog().SelectImage(2);
    WaitForPicture();
    // Each control's change is in the album at once.
    Preview().ColorPage().DepthList()->setCurrentIndex(2);
    Preview().ColorPage().BrightnessSlider()->setValue(160);
    std::filesystem::create_directories(dir_.path() / "albums");
    Save(QString::fromStdString(dir_.File("albums")), "trip");
    // A name typed without extension gets the one the dialog lists.
    const std::string saved = dir_.File("albums/trip.pdb");
    EXPECT_EQ(Entry(2)->m_colorDepth, 16);
    EXPECT_EQ(Entry(2)->m_brightness, 160);

    EXPECT_EQ(ReadAll(saved), BuiltByTheBatchTool());
}

TEST_F(SaveTest, APictureThatCannotBeReadIsNamedAndEitherRetriedOrTheSaveCancelled) {
    const std::string copy = dir_.File("beach.jpg");
    ASSERT_TRUE(std::filesystem::copy_file(Sample(2).toStdString(), copy));
    Drop({Sample(3), QString::fromStdString(copy)});
    const std::string path = dir_.File("album.pdb");
    std::filesystem::rename(copy, dir_.File("moved.jpg"));

    QString text;
    Answer(QMessageBox::Cancel, nullptr, &text);
    EXPECT_FALSE(Dialog().SaveAlbum(QString::fromStdString(path)));
    EXPECT_TRUE(text.contains(QString::fromStdString(copy) + "\ncannot be read: file not found"))
        << text.toStdString();
    EXPECT_FALSE(std::filesystem::exists(path));

    WhenShown<QMessageBox>([&](QMessageBox* box) {
        std::filesystem::rename(dir_.File("moved.jpg"), copy);  // put back, then Retry
        box->button(QMessageBox::Retry)->click();
    });
    EXPECT_TRUE(Dialog().SaveAlbum(QString::fromStdString(path)));
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(SaveTest, DamagedPicturesAreMarkedWhenAddedAndSaveCanSkipThem) {
    const std::filesystem::path folder = dir_.path() / "pictures";
    std::filesystem::create_directories(folder);
    for (const int sample : {0, 1, 3}) {
        std::filesystem::copy_file(Sample(sample).toStdString(), folder / kSamples[sample]);
    }
    const std::vector<std::uint8_t> whole = ReadAll(Sample(2).toStdString());
    WriteAll((folder / "cut_short.jpg").string(),
             std::string(whole.begin(), whole.begin() + whole.size() / 2));
    WriteAll((folder / "not_a_picture.png").string(), "words, not pixels");
    QString text;
    Answer(QMessageBox::Ok, nullptr, &text);
    Dialog().show();  // the message stands over the window
    Dialog().AddFolder(QString::fromStdString(folder.string()), false);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !Dialog().IsCheckingPictures() && !text.isEmpty(); }, 20000));
    EXPECT_TRUE(text.contains("Added 5 pictures") && text.contains("2 of them cannot be read"))
        << text.toStdString();
    std::vector<std::string> marked;
    for (int row = 0; row < List().GetItemCount(); ++row) {
        if (List().IsMarkedMissing(row)) {
            marked.push_back(Entry(static_cast<std::size_t>(row))->m_sourcePath);
            EXPECT_GT(List().List()->item(row)->toolTip().count(u'\n'), 0) << row;  // the reason
        }
    }
    std::sort(marked.begin(), marked.end());
    EXPECT_EQ(marked, (std::vector<std::string>{(folder / "cut_short.jpg").string(),
                                                (folder / "not_a_picture.png").string()}));

    // Save asks for each; Skip leaves it out of the file and in the album.
    int skipped = 0;
    std::function<void()> skipNext = [&] {
        WhenShown<QMessageBox>([&](QMessageBox* box) {
            ++skipped;
            box->button(QMessageBox::Ignore)->click();
            if (skipped < 2) {
                skipNext();
            }
        });
    };
    skipNext();
    const std::string path = dir_.File("album.pdb");
    ASSERT_TRUE(Dialog().SaveAlbum(QString::fromStdString(path)));
    EXPECT_EQ(skipped, 2);
    CAlbumFile file;
    std::string error;
    ASSERT_TRUE(ReadAlbumFile(ReadAll(path), file, error)) << error;
    EXPECT_EQ(file.pictures.size(), 3u);
    EXPECT_EQ(Dialog().Album().Count(), 5u);
}

TEST_F(SaveTest, TheIconIsSavedAsShownWhenItsPictureHasGoneSince) {
    const std::string copy = dir_.File("beach.jpg");
    ASSERT_TRUE(std::filesystem::copy_file(Sample(2).toStdString(), copy));
    Drop({Sample(3), QString::fromStdString(copy)});
    Dialog().SelectImage(1);
    Click(List().IconButton());
    const auto iconOf = [](const std::string& path) {
        CAlbumFile file;
        std::string error;
        EXPECT_TRUE(ReadAlbumFile(ReadAll(path), file, error)) << error;
        return file.icon.empty() ? std::vector<std::uint8_t>() : file.icon.front().image.rgb;
    };
    ASSERT_TRUE(Dialog().SaveAlbum(QString::fromStdString(dir_.File("before.pdb"))));

    // Its picture leaves the album and the file goes: nothing needs asking.
    Dialog().SelectImage(1);
    Click(List().DeleteButton());
    std::filesystem::remove(copy);
    ASSERT_TRUE(Dialog().SaveAlbum(QString::fromStdString(dir_.File("after.pdb"))));
    EXPECT_FALSE(iconOf(dir_.File("before.pdb")).empty());
    EXPECT_EQ(iconOf(dir_.File("after.pdb")), iconOf(dir_.File("before.pdb")));
}

TEST_F(SaveTest, AFailedSaveSaysWhereAndWhyAndAReadOnlyAlbumIsNotReplaced) {
    Drop({Sample(3)});
    const std::string readOnly = dir_.File("kept.pdb");
    WriteAll(readOnly, "an album to keep");
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
    const std::pair<std::string, QString> cases[] = {
        {readOnly, "the file is read-only"},
        {dir_.File("gone/album.pdb"), "the folder does not exist"},
    };
    for (const auto& [path, reason] : cases) {
        QString text;
        Answer(QMessageBox::Ok, nullptr, &text);
        EXPECT_FALSE(Dialog().SaveAlbum(QString::fromStdString(path)));
        EXPECT_TRUE(text.contains(QString::fromStdString(path)) && text.contains(reason))
            << text.toStdString();
    }
    EXPECT_EQ(Text(readOnly), "an album to keep");
}

namespace {
std::atomic<bool> g_released{false};

// Writes through the built-in output, but holds the first record back until the test has
// pressed Escape on the progress dialog, so that the cancel comes during the write.
class CHeldOutput : public CFileOutput {
public:
    explicit CHeldOutput(std::unique_ptr<CFileOutput> inner) : m_inner(std::move(inner)) {}
    bool Write(const std::uint8_t* data, std::size_t size) override {
        for (int waited = 0; !g_released && waited < 1000; ++waited) {
            QThread::msleep(10);
        }
        return m_inner->Write(data, size);
    }
    bool Prepare() override { return m_inner->Prepare(); }
    bool Commit() override { return m_inner->Commit(); }

private:
    std::unique_ptr<CFileOutput> m_inner;
};

// The next save's write waits until its progress dialog has been cancelled with Escape or
// with the window's close box.
void CancelDuringTheNextWrite(bool closeBox = false) {
    g_released = false;
    SetFileOutputFactory(
        [](const std::string& target, std::string& error) -> std::unique_ptr<CFileOutput> {
            SetFileOutputFactory(nullptr);
            auto inner = OpenFileOutput(target, error);
            return inner ? std::make_unique<CHeldOutput>(std::move(inner)) : nullptr;
        });
    WhenShown<CSaveProgressDlg>([closeBox](CSaveProgressDlg* progress) {
        if (closeBox) {
            progress->close();
        } else {
            QTest::keyClick(progress, Qt::Key_Escape);
        }
        EXPECT_TRUE(progress->IsCancelling());
        g_released = true;
    });
}
}  // namespace

TEST_F(SaveTest, CancelDuringTheWriteLeavesTheOldFileAndNoTemporaryFile) {
    Drop({Sample(3), Sample(1), Sample(2), Sample(0), Sample(4), Sample(5)});
    Dialog().ApplySizeLimitToAll(1280, 1024);
    Dialog().ApplyCropToAll(0);
    Dialog().ApplyColorToAll(16, 127, 127, 0);
    const std::string path = dir_.File("album.pdb");
    WriteAll(path, "the old album");
    CancelDuringTheNextWrite();
    EXPECT_FALSE(Dialog().SaveAlbum(QString::fromStdString(path)));
    EXPECT_TRUE(g_released.load());
    EXPECT_EQ(Text(path), "the old album");
    EXPECT_EQ(TemporaryFiles(dir_.path().string()), 0u);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // and no message
}

namespace {

class HotSyncTest : public SaveTest {
protected:
    // Handheld users, each with a J-Pilot home of their own.
    void AddUsers(const std::vector<std::string>& names) {
        std::string further;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::filesystem::path home =
                i == 0 ? dir_.path() / "jpilot" : dir_.path() / ("home" + std::to_string(i));
            std::filesystem::create_directories(home / ".jpilot");
            WriteAll((home / ".jpilot" / "jpilot.rc").string(),
                     "char_set 1\nuser_id 1000\nuser " + names[i] + "\npc_id 123\nfont 0\n");
            if (i > 0) {
                further += (further.empty() ? "" : ":") + home.string();
            }
        }
        ASSERT_TRUE(WriteProgramSetting("jpilot homes", further));
    }
    std::string InstallFolder(const std::string& user) {
        return dir_.File("data/tavelo/install/" + user);
    }
    std::string QueuePath(int home) {
        const auto folder =
            home == 0 ? dir_.path() / "jpilot" : dir_.path() / ("home" + std::to_string(home));
        return (folder / ".jpilot" / "jpilot.install").string();
    }
    std::string Queue(int home) { return Text(QueuePath(home)); }
};

}  // namespace

TEST_F(HotSyncTest, OneUserGetsTheAlbumUnderItsTrimmedTitleWithoutAMenu) {
    AddUsers({"Ann"});
    Drop({Sample(3)});
    Info().TitleBox()->setText("  Trip ");
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Information;
    Answer(QMessageBox::Ok, &caption, &text, &icon);
    Click(Dialog().SendButton());
    const std::string album = InstallFolder("Ann") + "/Trip.pdb";
    EXPECT_EQ(Queue(0), album + "\n");
    EXPECT_EQ(Text(dir_.File("jpilot/.jpilot/jpilot_to_install")), album + "\n");
    EXPECT_EQ(ReadAll(album), BuiltByTheBatchTool());
    EXPECT_EQ(caption, "Tavelo Desktop");
    // Who gets it and where it was written.
    EXPECT_TRUE(text.startsWith("The album is queued for Ann's next HotSync:\n" +
                                QString::fromStdString(album) + "\n"))
        << text.toStdString();
    EXPECT_EQ(icon, QMessageBox::Information);
}

TEST_F(HotSyncTest, AGreySendToHotSyncSaysWhyInItsTip) {
    QPushButton* send = Dialog().SendButton();
    EXPECT_EQ(send->toolTip(), "Add pictures to the album first.");
    Drop({Sample(3)});
    const std::string settings = dir_.File("jpilot/.jpilot/jpilot.rc");
    EXPECT_FALSE(send->isEnabled());
    EXPECT_TRUE(send->toolTip().startsWith(QString::fromStdString(
        "No handheld user: J-Pilot is not set up (there is no " + settings + ").")))
        << send->toolTip().toStdString();
    std::filesystem::create_directories(dir_.path() / "jpilot" / ".jpilot");
    WriteAll(settings, "user_id 1\nuser \n");
    // In the home folder, the place is written as the user would type it.
    env_.Set("HOME", dir_.File("jpilot"));
    env_.Set("JPILOT_HOME", "");
    Dialog().EnableEditing(true);
    EXPECT_FALSE(send->isEnabled());
    EXPECT_TRUE(send->toolTip().startsWith(
        "No handheld user: J-Pilot has no user in ~/.jpilot/jpilot.rc. "))
        << send->toolTip().toStdString();
    AddUsers({"Ann"});
    Dialog().EnableEditing(true);
    EXPECT_TRUE(send->isEnabled());
}

TEST_F(HotSyncTest, TheAlbumSentHoldsTheLatestEditAndAQueueThatCannotBeWrittenIsNoSuccess) {
    AddUsers({"Ann"});
    Drop({Sample(3)});
    Info().TitleBox()->setText("Trip");
    const std::string before = dir_.File("before.pdb");
    ASSERT_TRUE(Dialog().SaveAlbum(QString::fromStdString(before)));
    Preview().ColorPage().BrightnessSlider()->setValue(200);
    // The queue's place is taken by a folder: the album is written but cannot be queued.
    std::filesystem::create_directories(QueuePath(0));
    QString text;
    Answer(QMessageBox::Ok, nullptr, &text);
    Click(Dialog().SendButton());
    const std::string album = InstallFolder("Ann") + "/Trip.pdb";
    EXPECT_FALSE(text.contains("is queued"));
    EXPECT_TRUE(text.contains("could not be queued") &&
                text.contains(QString::fromStdString(album)))
        << text.toStdString();
    ASSERT_TRUE(std::filesystem::exists(album));
    EXPECT_NE(ReadAll(album), ReadAll(before));
}

TEST_F(HotSyncTest, AUserNameThatGivesNoFolderIsNamedAndNothingIsWrittenAnywhere) {
    Drop({Sample(3)});
    Info().TitleBox()->setText("Trip");
    for (const std::string& name : {std::string(300, 'u'), std::string(".."), std::string("a/b")}) {
        AddUsers({name});
        Dialog().EnableEditing(true);
        QString text;
        Answer(QMessageBox::Ok, nullptr, &text);
        Click(Dialog().SendButton());
        EXPECT_TRUE(text.contains("cannot be used")) << name << ": " << text.toStdString();
        EXPECT_EQ(Queue(0), "") << name;
    }
    std::size_t albums = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path())) {
        albums += entry.path().extension() == ".pdb" ? 1 : 0;
    }
    EXPECT_EQ(albums, 0u);
}

TEST_F(HotSyncTest, AMenuOfUsersInOrderChoosesWhoGetsIt) {
    AddUsers({"Ann", "Bob", "Cy"});
    Drop({Sample(3)});
    Info().TitleBox()->setText("../../Trip/x");  // names no folder
    QStringList listed;
    QPoint shownAt;
    WhenShown<QMenu>([&](QMenu* menu) {
        shownAt = menu->pos();
        for (const QAction* action : menu->actions()) {
            listed << action->text();
        }
        menu->setActiveAction(menu->actions().at(2));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    Answer(QMessageBox::Ok);
    Click(Dialog().SendButton());
    EXPECT_EQ(listed, (QStringList{"Ann", "Bob", "Cy"}));
    EXPECT_EQ(shownAt,
              Dialog().SendButton()->mapToGlobal(QPoint(2, Dialog().SendButton()->height())));
    const std::string album = InstallFolder("Cy") + "/-..-Trip-x.pdb";
    EXPECT_EQ(Queue(2), album + "\n");
    EXPECT_EQ(Queue(0), "");

    // A menu dismissed sends nothing.
    WhenShown<QMenu>([](QMenu* menu) { QTest::keyClick(menu, Qt::Key_Escape); });
    Click(Dialog().SendButton());
    EXPECT_EQ(Queue(0) + Queue(1), "");
}

TEST_F(HotSyncTest, NoTitleATooLongTitleOrACancelSendNothing) {
    AddUsers({"Ann"});
    Drop({Sample(3)});
    // Plain words with what to do, the limit given (two bytes a letter here).
    const std::pair<QString, QString> refused[] = {
        {"   ",
         "The album has no title, and the album's file is named after it.\nType a title "
         "under Album Info and send the album again."},
        {QString(200, u'\u00e9'),
         "The album title is too long to name the album's file: a file name holds at most 251 "
         "bytes, the first 125 characters of this title.\nShorten the title under Album Info "
         "and send the album again."},
    };
    for (const auto& [title, message] : refused) {
        Info().TitleBox()->setText(title);
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        Answer(QMessageBox::Ok, &caption, &text, &icon);
        Click(Dialog().SendButton());
        EXPECT_EQ(caption, "Tavelo Desktop");
        EXPECT_EQ(text, message);
        EXPECT_EQ(icon, QMessageBox::Warning);
    }
    EXPECT_FALSE(std::filesystem::exists(InstallFolder("Ann")));
    Info().TitleBox()->setText("Trip");
    CancelDuringTheNextWrite(true);
    Click(Dialog().SendButton());
    EXPECT_TRUE(g_released.load());
    EXPECT_FALSE(std::filesystem::exists(InstallFolder("Ann") + "/Trip.pdb"));
    EXPECT_EQ(Queue(0), "");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
