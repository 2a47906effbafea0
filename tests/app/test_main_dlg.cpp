#include <functional>

#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "app/about_dlg.h"
#include "app/main_window_fixture.h"
#include "platform/registry.h"
#include "res/resource.h"
#include "res/string_table.h"
#include "ui/resources.h"

namespace {

QPushButton* Button(CMainDlg& dialog, int id) {
    return qobject_cast<QPushButton*>(dialog.GetDlgItem(id));
}

// The stored run count and, through `size`, how many bytes it takes.
std::uint32_t StoredRunCount(std::uint32_t& size) {
    CRegistryKey key(kRootCurrentUser, kProgramKeyPath, false);
    unsigned char bytes[4] = {};
    size = sizeof bytes;
    EXPECT_TRUE(key.ReadValueDirect(bytes, size, "run count"));
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

using MainDlgTest = MainWindowTest;

TEST_F(MainDlgTest, StartsEmptyWithTheEditingControlsOffAndTheTipsBound) {
    EXPECT_EQ(Dialog().windowTitle(), "Lumivale, Inc. - Tavelo Desktop 2.0[*]");
    EXPECT_FALSE(Dialog().isWindowModified());
    ExpectEmptyAlbum();
    EXPECT_EQ(List().AddButton()->TipText(), "Add files");
    EXPECT_EQ(List().IconButton()->TipText(), "Set album icon using the selected image");
    EXPECT_EQ(List().DeleteButton()->TipText(), "Delete the selected image");
    EXPECT_EQ(List().DeleteButton()->ToolRect(), List().DeleteButton()->rect());
}

TEST_F(MainDlgTest, BannerTakesTurnsOneStartAfterAnotherAndOpensItsOwnLink) {
    const int banners[] = {140, 143, 144, 145, 142, 140};
    const int links[] = {113, 118, 119, 120, 114, 113};
    std::uint32_t size = 0;
    for (std::uint32_t run = 0; run < 6; ++run) {
        CMainDlg dialog(library_, shell_);
        ASSERT_TRUE(dialog.Create());
        dialog.show();
        QLabel* banner = dialog.Banner();
        EXPECT_EQ(banner->size(), QSize(400, 60));
        EXPECT_EQ(banner->pixmap().toImage(), LoadBitmapResource(banners[run]).toImage()) << run;
        EXPECT_EQ(StoredRunCount(size), run);
        QTest::mouseClick(banner, Qt::LeftButton, Qt::NoModifier, QPoint(200, 30));
        // Beside the banner nothing opens.
        QTest::mouseClick(&dialog, Qt::LeftButton, Qt::NoModifier,
                          banner->geometry().bottomRight() + QPoint(4, 4));
        ASSERT_EQ(shell_.opened.size(), run + 1);
        EXPECT_EQ(shell_.opened.back(), QUrl(LoadResString(links[run]))) << run;
    }
    EXPECT_TRUE(shell_.opened[0].toString().contains("/cgi-bin/promo.pl?promo="));

    // A run count of more than four bytes is no count: the next start is the first after 0.
    const unsigned char eight[8] = {4, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(CRegistryKey(kRootCurrentUser, kProgramKeyPath, true)
                    .SetBinary(eight, sizeof eight, "run count"));
    EXPECT_EQ(Dialog().BannerIndex(), 1);
    EXPECT_EQ(StoredRunCount(size), 1u);
    EXPECT_EQ(size, 4u);
    // Fewer bytes are the low bytes of the count; a text gives some banner and a count again.
    const unsigned char three[3] = {1, 1, 0};
    ASSERT_TRUE(CRegistryKey(kRootCurrentUser, kProgramKeyPath, true)
                    .SetBinary(three, sizeof three, "run count"));
    dialog_.reset();
    EXPECT_EQ(Dialog().BannerIndex(), 258 % 5);
    EXPECT_EQ(StoredRunCount(size), 258u);
    ASSERT_TRUE(CRegistryKey(kRootCurrentUser, kProgramKeyPath, true).SetString("7", "run count"));
    dialog_.reset();
    EXPECT_GE(Dialog().BannerIndex(), 0);
    EXPECT_LT(Dialog().BannerIndex(), 5);
    EXPECT_FALSE(Dialog().Banner()->pixmap().isNull());
    StoredRunCount(size);
    EXPECT_EQ(size, 4u);

    // The hand shows over the banner only.
    EXPECT_NE(Dialog().Banner()->cursor().shape(), Qt::BitmapCursor);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(Dialog().Banner(), &enter);
    EXPECT_EQ(Dialog().Banner()->cursor().shape(), Qt::BitmapCursor);
    EXPECT_NE(Dialog().cursor().shape(), Qt::BitmapCursor);
}

TEST_F(MainDlgTest, AddImageTakesPicturesByExtensionAndListsWholePathsCutInTheirMiddle) {
    const QString beach = "/home/user/Pictures/Vacation 2001/Beach.Day.jpg";
    EXPECT_TRUE(Dialog().AddImage(beach));
    for (const char* refused : {"/p/f.jpe", "/p/g.tif", "/p/noextension"}) {
        EXPECT_FALSE(Dialog().AddImage(QString::fromLatin1(refused))) << refused;
    }
    EXPECT_TRUE(Dialog().AddImage("/p/a.JPG"));
    EXPECT_EQ(AlbumPaths(), (std::vector<std::string>{beach.toStdString(), "/p/a.JPG"}));
    ASSERT_EQ(List().GetItemCount(), 2);
    // The row holds the whole path, which the list shortens in its middle to its width.
    EXPECT_EQ(List().GetItemText(0), beach);
    EXPECT_TRUE(List().List()->item(0)->toolTip().startsWith(beach));
    // The file is not there: a sign says so, not only a colour.
    EXPECT_TRUE(List().IsMarkedMissing(0));
    EXPECT_FALSE(List().List()->item(0)->icon().isNull());
    EXPECT_EQ(List().List()->textElideMode(), Qt::ElideMiddle);
    const CAlbumImage* entry = Entry(0);
    EXPECT_EQ(entry->m_title, "Beach.Day");
    EXPECT_EQ(entry->m_sizeLimitWidth, 160);
    EXPECT_EQ(entry->m_sizeLimitHeight, 160);
    EXPECT_EQ(entry->m_colorDepth, 8);
    // Adding neither selects nor changes the icon.
    EXPECT_EQ(List().GetSelectedRow(), -1);
    EXPECT_EQ(Shown(), nullptr);
    EXPECT_EQ(Icon(), std::vector<std::uint8_t>(24 * 24 * 3, 0));
    // Pictures make the album savable, but there is no handheld user to send it to.
    EXPECT_TRUE(Dialog().SaveButton()->isEnabled());
    EXPECT_FALSE(Dialog().SendButton()->isEnabled());
}

TEST_F(MainDlgTest, DropOfThreeWithTheSecondRefusedAddsTwoAndShowsTheFirst) {
    Drop({dir_.File("a.txt").c_str(), dir_.File("b.tif").c_str()});
    EXPECT_EQ(Dialog().Album().Count(), 0u);
    EXPECT_FALSE(Dialog().SaveButton()->isEnabled());

    const QString notes = dir_.File("notes.txt").c_str();
    WriteAll(notes.toStdString(), "not a picture");
    Drop({Sample(0), notes, Sample(1)});
    EXPECT_EQ(AlbumPaths(), Samples({0, 1}));
    EXPECT_EQ(List().GetItemCount(), 2);
    EXPECT_EQ(List().GetSelectedRow(), 0);
    EXPECT_EQ(Shown(), Entry(0));
    EXPECT_EQ(Icon(), IconOf(Sample(0)));
    EXPECT_NE(Icon(), IconOf(Sample(1)));
    EXPECT_TRUE(Dialog().SaveButton()->isEnabled());
    EXPECT_TRUE(List().DeleteButton()->isEnabled());

    // Onto an album with a chosen icon: the first new one is shown, the icon stays.
    List().List()->setCurrentRow(1);
    Click(List().IconButton());
    List().List()->setCurrentRow(0);
    Drop({Sample(2), Sample(3)});
    EXPECT_EQ(List().GetItemCount(), 4);
    EXPECT_EQ(List().GetSelectedRow(), 2);
    EXPECT_EQ(Shown(), Entry(2));
    EXPECT_EQ(Icon(), IconOf(Sample(1)));
}

TEST_F(MainDlgTest, ThousandAndFirstPictureIsRefusedAndRowsStayEntries) {
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(Dialog().AddImage(QStringLiteral("/p/picture%1.jpg").arg(i))) << i;
    }
    EXPECT_FALSE(Dialog().AddImage("/p/one_too_many.jpg"));
    ASSERT_EQ(Dialog().Album().Count(), 1000u);
    ASSERT_EQ(List().GetItemCount(), 1000);
    EXPECT_EQ(Entry(999)->m_sourcePath, "/p/picture999.jpg");
    EXPECT_EQ(List().GetItemText(999), "/p/picture999.jpg");
}

TEST_F(MainDlgTest, DeleteSelectsTheRowThatMovedUpOrTheNewLastRowAndTheLastResetsAll) {
    AddHandheldUser("Alice");
    Drop({Sample(0), Sample(1), Sample(2), Sample(3)});
    EXPECT_TRUE(Dialog().SendButton()->isEnabled());
    // Deleting row 2 of 4 selects the row that moved up into its place.
    List().List()->setCurrentRow(2);
    EXPECT_EQ(Shown(), Entry(2));
    Click(List().DeleteButton());
    EXPECT_EQ(AlbumPaths(), Samples({0, 1, 3}));
    EXPECT_EQ(List().GetItemText(2), QDir::toNativeSeparators(Sample(3)));
    EXPECT_EQ(List().GetSelectedRow(), 2);
    EXPECT_EQ(Shown(), Entry(2));
    // So does deleting the first row: the one below it moves up and is selected.
    List().List()->setCurrentRow(0);
    Click(List().DeleteButton());
    EXPECT_EQ(AlbumPaths(), Samples({1, 3}));
    EXPECT_EQ(List().GetSelectedRow(), 0);
    EXPECT_EQ(Shown(), Entry(0));
    // Deleting the last row selects the new last row.
    List().List()->setCurrentRow(1);
    Click(List().DeleteButton());
    EXPECT_EQ(AlbumPaths(), Samples({1}));
    EXPECT_EQ(List().GetSelectedRow(), 0);
    EXPECT_EQ(Shown(), Entry(0));
    Info().TitleBox()->setText("Trip");
    Info().NoteBox()->setPlainText("Summer");
    Click(List().DeleteButton());
    ExpectEmptyAlbum();
}

TEST_F(MainDlgTest, ResetEmptiesEverythingAtOnceWithoutAQuestionButEnterAndEscapeDoNot) {
    AddHandheldUser("Alice");
    Drop({Sample(0), Sample(1), Sample(2)});
    Info().TitleBox()->setText("Trip");
    Info().NoteBox()->setPlainText("Summer");
    Dialog().show();
    // Enter and Escape close neither the window nor a pane.
    QTest::keyClick(&Dialog(), Qt::Key_Escape);
    QTest::keyClick(Info().TitleBox(), Qt::Key_Escape);
    QTest::keyClick(Info().TitleBox(), Qt::Key_Return);
    QTest::keyClick(List().List(), Qt::Key_Return);
    ASSERT_TRUE(Dialog().isVisible() && Info().isVisible() && List().isVisible());
    ASSERT_EQ(Dialog().Album().Count(), 3u);
    Click(Button(Dialog(), IDC_RESET));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    ExpectEmptyAlbum();
    // Ctrl+S saves only what Save... would: nothing while the album is empty.
    Dialog().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Dialog()));
    int saveDialogs = 0;
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        ++saveDialogs;
        dialog->reject();
    });
    QTest::keyClick(&Dialog(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(saveDialogs, 0);
    // The album takes pictures again after a reset.
    Drop({Sample(1)});
    EXPECT_EQ(List().GetSelectedRow(), 0);
    EXPECT_EQ(Icon(), IconOf(Sample(1)));
    QTest::keyClick(&Dialog(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(saveDialogs, 1);
}

TEST_F(MainDlgTest, PageButtonsOpenTheHelpPagesBesideTheBuiltProgram) {
    const QString program = QFileInfo(QStringLiteral(TAVELO_BINARY_PATH)).absolutePath();
    EXPECT_EQ(QString::fromStdString(HelpFolderFor(program.toStdString())), program + "/help/");
    Dialog().show();
    const std::pair<int, const char*> pages[] = {{IDC_USER_GUIDE, "user_guide.html"},
                                                 {IDC_FAQ, "faq.html"},
                                                 {IDC_FREE_REGISTRATION, "register_for_free.html"}};
    for (const auto& [button, page] : pages) {
        Click(Button(Dialog(), button));
        ASSERT_FALSE(shell_.opened.empty());
        EXPECT_EQ(shell_.opened.back(),
                  QUrl::fromLocalFile(QString::fromStdString(GetHelpFolder()) + page));
        EXPECT_GT(QFileInfo(program + "/help/" + page).size(), 1000) << page;
    }
    EXPECT_EQ(shell_.opened.size(), 3u);

    // Without a browser, a message gives the address to copy by hand; the banner's link too.
    shell_.openWorks = false;
    for (QWidget* link : {static_cast<QWidget*>(Button(Dialog(), IDC_FAQ)),
                          static_cast<QWidget*>(Dialog().Banner())}) {
        QString caption;
        QString text;
        Qt::TextInteractionFlags flags;
        WhenShown<QMessageBox>([&](QMessageBox* box) {
            caption = box->windowTitle();
            text = box->text();
            flags = box->textInteractionFlags();
            box->button(QMessageBox::Ok)->click();
        });
        QTest::mouseClick(link, Qt::LeftButton);
        EXPECT_EQ(caption, "Tavelo Desktop");
        EXPECT_TRUE(text.endsWith("\n" + shell_.opened.back().toString())) << text.toStdString();
        EXPECT_TRUE(flags.testFlag(Qt::TextSelectableByKeyboard));
    }
    EXPECT_TRUE(shell_.opened.back().toString().startsWith("http"));
}

TEST_F(MainDlgTest, ContextMenuOverTheWindowAndItsPanesOffersTheAboutBox) {
    Dialog().show();
    QWidget* const targets[] = {&Dialog(), &List(), &Info(), List().List()};
    for (QWidget* target : targets) {
        QStringList menu;
        QStringList about;
        int tries = 100;
        // Chooses the menu's entry, then reads and closes the About box it opens.
        std::function<void()> answer = [&] {
            if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (const QAction* action : popup->actions()) {
                    menu << action->text();
                }
                QTest::keyClick(popup, Qt::Key_Down);
                QTest::keyClick(popup, Qt::Key_Return);
            } else if (auto* box = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
                about << box->windowTitle();
                for (const QLabel* label : box->findChildren<QLabel*>()) {
                    about << label->text();
                }
                Click(box->GetDlgItem(IDOK));
                return;
            }
            if (--tries > 0) {
                QTimer::singleShot(20, answer);
            }
        };
        QTimer::singleShot(0, answer);
        const QPoint inside(target->width() / 2, target->height() / 2);
        QContextMenuEvent event(QContextMenuEvent::Mouse, inside, target->mapToGlobal(inside));
        QApplication::sendEvent(target, &event);
        const char* where = target->metaObject()->className();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !about.isEmpty(); }, 3000)) << where;
        EXPECT_EQ(menu, (QStringList{"&About Tavelo Desktop...", "", "&Undo", "&Redo", "",
                                     "Add &Folder...", "", "&Open Album Project...",
                                     "Save Album &Project...", "", "Open Album &File...",
                                     "&View the Saved Album"}))
            << where;
        EXPECT_EQ(about.first(), "About Tavelo Desktop 2.0") << where;
        EXPECT_TRUE(about.contains("Tavelo Desktop v2.0")) << where;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
    EXPECT_TRUE(Dialog().isVisible());
}

}  // namespace
