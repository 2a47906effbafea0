#include <functional>

#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "app/about_dlg.h"
#include "app/main_window_fixture.h"
#include "app/picture_path.h"
#include "app/tool_tip_button.h"
#include "platform/registry.h"
#include "res/resource.h"
#include "res/resources.h"
#include "res/string_table.h"

namespace {

QPushButton* Button(CMainDlg& dialog, int id) {
    return qobject_cast<QPushButton*>(dialog.GetDlgItem(id));
}

std::uint32_t StoredRunCount(std::uint32_t* size = nullptr) {
    CRegistryKey key(kRootCurrentUser, kProgramKeyPath, false);
    unsigned char bytes[4] = {};
    std::uint32_t length = sizeof bytes;
    EXPECT_TRUE(key.ReadValueDirect(bytes, length, "run count"));
    if (size != nullptr) {
        *size = length;
    }
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

using MainDlgTest = MainWindowTest;

TEST_F(MainDlgTest, StartsEmptyWithTheEditingControlsOff) {
    CMainDlg& dialog = Dialog();
    EXPECT_EQ(dialog.windowTitle(), "Lumivale, Inc. - Tavelo Desktop 2.0");
    EXPECT_FALSE(dialog.SaveButton()->isEnabled());
    EXPECT_FALSE(dialog.SendButton()->isEnabled());
    EXPECT_FALSE(List().List()->isEnabled());
    EXPECT_FALSE(List().DeleteButton()->isEnabled());
    EXPECT_FALSE(List().IconButton()->isEnabled());
    EXPECT_TRUE(List().AddButton()->isEnabled());
    for (const int id : {IDC_RESET, IDC_USER_GUIDE, IDC_FAQ, IDC_FREE_REGISTRATION}) {
        EXPECT_TRUE(Button(dialog, id)->isEnabled()) << id;
    }
    EXPECT_EQ(Info().TitleBox()->text(), "untitled");
    EXPECT_TRUE(Info().NoteBox()->toPlainText().isEmpty());
    EXPECT_TRUE(IconIsBlack());
    EXPECT_EQ(Shown(), nullptr);
}

TEST_F(MainDlgTest, BannerTakesTurnsOneStartAfterAnother) {
    const int expected[] = {IDB_BANNER_0, IDB_BANNER_1, IDB_BANNER_2,
                            IDB_BANNER_3, IDB_BANNER_4, IDB_BANNER_0};
    const int links[] = {113, 118, 119, 120, 114, 113};
    ASSERT_EQ(expected[1], 143);
    for (int run = 0; run < 6; ++run) {
        CMainDlg dialog(library_, shell_);
        ASSERT_TRUE(dialog.Create());
        EXPECT_EQ(dialog.Banner()->pixmap().toImage(), LoadBitmapResource(expected[run]).toImage())
            << "start " << run + 1;
        EXPECT_EQ(StoredRunCount(), static_cast<std::uint32_t>(run)) << "start " << run + 1;
        // Each banner opens its own campaign's address.
        dialog.show();
        QTest::mouseClick(dialog.Banner(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 30));
        ASSERT_EQ(shell_.opened.size(), static_cast<std::size_t>(run + 1));
        EXPECT_EQ(shell_.opened.back(), QUrl(LoadResString(links[run]))) << "start " << run + 1;
    }
    EXPECT_NE(shell_.opened[1], shell_.opened[2]);
}

TEST_F(MainDlgTest, RunCountOfMoreThanFourBytesStartsAgainAtOne) {
    {
        CRegistryKey key(kRootCurrentUser, kProgramKeyPath, true);
        const unsigned char eight[8] = {4, 0, 0, 0, 0, 0, 0, 0};
        ASSERT_TRUE(key.SetBinary(eight, sizeof eight, "run count"));
    }
    EXPECT_EQ(Dialog().BannerIndex(), 1);
    std::uint32_t size = 0;
    EXPECT_EQ(StoredRunCount(&size), 1u);
    EXPECT_EQ(size, 4u);
}

TEST_F(MainDlgTest, PicturesAreTakenByExtensionWhateverItsCase) {
    for (const char* accepted : {"/p/a.JPG", "/p/b.jpeg", "/p/c.Bmp", "/p/d.gif", "/p/e.jpg"}) {
        EXPECT_TRUE(Dialog().AddImage(QString::fromLatin1(accepted))) << accepted;
    }
    for (const char* refused :
         {"/p/f.jpe", "/p/g.tif", "/p/noextension", "/p/dot.jpg/noextension", "/p/h.jpg.txt"}) {
        EXPECT_FALSE(Dialog().AddImage(QString::fromLatin1(refused))) << refused;
    }
    EXPECT_EQ(Dialog().Album().Count(), 5u);
    EXPECT_EQ(List().GetItemCount(), 5);
    EXPECT_EQ(Entry(4)->m_sourcePath, "/p/e.jpg");
}

TEST_F(MainDlgTest, NewPictureIsTitledByItsNameAndListedByTheFolderRule) {
    const QString path = "/home/user/Pictures/Vacation 2001/Beach.Day.jpg";
    ASSERT_TRUE(Dialog().AddImage(path));
    const CAlbumImage* entry = Entry(0);
    EXPECT_EQ(entry->m_sourcePath, path.toStdString());
    EXPECT_EQ(entry->m_title, "Beach.Day");
    EXPECT_EQ(entry->m_sizeLimitWidth, 160);
    EXPECT_EQ(entry->m_sizeLimitHeight, 160);
    EXPECT_EQ(entry->m_colorDepth, 8);
    EXPECT_EQ(List().GetItemText(0), "/...tures/Vacation 2001/Beach.Day.jpg");
    // Adding neither selects nor changes the icon.
    EXPECT_EQ(List().GetSelectedRow(), -1);
    EXPECT_EQ(Shown(), nullptr);
    EXPECT_TRUE(IconIsBlack());
}

TEST_F(MainDlgTest, DropOfThreeWithTheSecondRefusedAddsTwoAndShowsTheFirst) {
    const QString notes = dir_.File("notes.txt").c_str();
    WriteAll(notes.toStdString(), "not a picture");
    Drop({Sample(0), notes, Sample(1)});
    EXPECT_EQ(AlbumPaths(),
              (std::vector<std::string>{Sample(0).toStdString(), Sample(1).toStdString()}));
    EXPECT_EQ(List().GetItemCount(), 2);
    EXPECT_EQ(List().GetSelectedRow(), 0);
    EXPECT_EQ(Shown(), Entry(0));
    EXPECT_EQ(PixelRows(Info().Icon()), IconOf(Sample(0)));
    EXPECT_NE(PixelRows(Info().Icon()), IconOf(Sample(1)));
    EXPECT_TRUE(Dialog().SaveButton()->isEnabled());
    EXPECT_TRUE(List().DeleteButton()->isEnabled());
}

TEST_F(MainDlgTest, DropOntoAnAlbumWithASelectionShowsTheFirstNewAndKeepsTheIcon) {
    Drop({Sample(0), Sample(1)});
    List().List()->setCurrentRow(1);
    QTest::mouseClick(List().IconButton(), Qt::LeftButton);
    List().List()->setCurrentRow(0);
    Drop({Sample(2), Sample(3)});
    EXPECT_EQ(List().GetItemCount(), 4);
    EXPECT_EQ(List().GetSelectedRow(), 2);
    EXPECT_EQ(Shown(), Entry(2));
    EXPECT_EQ(PixelRows(Info().Icon()), IconOf(Sample(1)));
}

TEST_F(MainDlgTest, DropOfNothingAcceptableChangesNothing) {
    Drop({dir_.File("a.txt").c_str(), dir_.File("b.tif").c_str()});
    EXPECT_EQ(Dialog().Album().Count(), 0u);
    EXPECT_FALSE(Dialog().SaveButton()->isEnabled());
    EXPECT_EQ(Shown(), nullptr);
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

TEST_F(MainDlgTest, DeleteSelectsTheRowThatMovedUpOrTheNewLastRow) {
    Drop({Sample(0), Sample(1), Sample(2), Sample(3)});
    List().List()->setCurrentRow(2);
    EXPECT_EQ(Shown(), Entry(2));
    QTest::mouseClick(List().DeleteButton(), Qt::LeftButton);
    EXPECT_EQ(AlbumPaths(),
              (std::vector<std::string>{Sample(0).toStdString(), Sample(1).toStdString(),
                                        Sample(3).toStdString()}));
    EXPECT_EQ(List().GetItemText(2), ListDisplayText(Sample(3)));
    EXPECT_EQ(List().GetSelectedRow(), 2);
    EXPECT_EQ(Shown(), Entry(2));

    // Row 2 is now the last one: deleting it selects the new last row.
    QTest::mouseClick(List().DeleteButton(), Qt::LeftButton);
    EXPECT_EQ(AlbumPaths(),
              (std::vector<std::string>{Sample(0).toStdString(), Sample(1).toStdString()}));
    EXPECT_EQ(List().GetSelectedRow(), 1);
    EXPECT_EQ(Shown(), Entry(1));
}

TEST_F(MainDlgTest, DeletingTheOnlyPictureResetsEverything) {
    AddHandheldUser("Alice");
    Drop({Sample(0)});
    Info().TitleBox()->setText("Trip");
    Info().NoteBox()->setPlainText("Summer");
    ASSERT_TRUE(Dialog().SendButton()->isEnabled());
    QTest::mouseClick(List().DeleteButton(), Qt::LeftButton);
    EXPECT_EQ(Dialog().Album().Count(), 0u);
    EXPECT_EQ(List().GetItemCount(), 0);
    EXPECT_EQ(Info().TitleBox()->text(), "untitled");
    EXPECT_TRUE(Info().NoteBox()->toPlainText().isEmpty());
    EXPECT_TRUE(IconIsBlack());
    EXPECT_EQ(Shown(), nullptr);
    EXPECT_FALSE(Dialog().SaveButton()->isEnabled());
    EXPECT_FALSE(Dialog().SendButton()->isEnabled());
    EXPECT_FALSE(List().List()->isEnabled());
    EXPECT_FALSE(List().DeleteButton()->isEnabled());
    EXPECT_FALSE(List().IconButton()->isEnabled());
}

TEST_F(MainDlgTest, SendToHotSyncNeedsAHandheldUser) {
    ASSERT_TRUE(Dialog().AddImage(Sample(0)));
    EXPECT_TRUE(Dialog().SaveButton()->isEnabled());
    EXPECT_FALSE(Dialog().SendButton()->isEnabled());
    AddHandheldUser("Alice");
    ASSERT_TRUE(Dialog().AddImage(Sample(1)));
    EXPECT_TRUE(Dialog().SendButton()->isEnabled());
    Dialog().ResetAll();
    EXPECT_FALSE(Dialog().SendButton()->isEnabled());
    EXPECT_FALSE(Dialog().SaveButton()->isEnabled());
}

TEST_F(MainDlgTest, ResetEmptiesEverythingAtOnceWithoutAQuestion) {
    Drop({Sample(0), Sample(1), Sample(2)});
    Info().TitleBox()->setText("Trip");
    Dialog().show();
    QTest::mouseClick(Button(Dialog(), IDC_RESET), Qt::LeftButton);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(Dialog().Album().Count(), 0u);
    EXPECT_EQ(List().GetItemCount(), 0);
    EXPECT_EQ(Info().TitleBox()->text(), "untitled");
    EXPECT_TRUE(IconIsBlack());
    EXPECT_EQ(Shown(), nullptr);
    EXPECT_EQ(Dialog().PreviewPane().StoreControls(nullptr), false);
    // The album takes pictures again after a reset.
    Drop({Sample(1)});
    EXPECT_EQ(List().GetSelectedRow(), 0);
    EXPECT_EQ(PixelRows(Info().Icon()), IconOf(Sample(1)));
}

TEST_F(MainDlgTest, ApplyToAllWritesEveryEntry) {
    Drop({Sample(0), Sample(1), Sample(2)});
    Dialog().ApplySizeLimitToAll(320, 240);
    Dialog().ApplyCropToAll(0);
    Dialog().ApplyColorToAll(16, 100, 150, 1);
    for (std::size_t i = 0; i < 3; ++i) {
        const CAlbumImage* entry = Entry(i);
        EXPECT_EQ(entry->m_sizeLimitWidth, 320);
        EXPECT_EQ(entry->m_sizeLimitHeight, 240);
        EXPECT_EQ(entry->m_crop, 0);
        EXPECT_EQ(entry->m_colorDepth, 16);
        EXPECT_EQ(entry->m_brightness, 100);
        EXPECT_EQ(entry->m_contrast, 150);
        EXPECT_EQ(entry->m_dither, 1);
    }
}

TEST_F(MainDlgTest, BannerClickOpensTheBannersLinkUnderAHandCursor) {
    CMainDlg& dialog = Dialog();
    dialog.show();
    QLabel* banner = dialog.Banner();
    EXPECT_EQ(banner->size(), QSize(400, 60));
    QTest::mouseClick(banner, Qt::LeftButton, Qt::NoModifier, QPoint(200, 30));
    ASSERT_EQ(shell_.opened.size(), 1u);
    EXPECT_EQ(shell_.opened[0], QUrl(LoadResString(IDS_BANNER_LINK_0)));
    EXPECT_TRUE(shell_.opened[0].toString().contains("/cgi-bin/promo.pl?promo="));
    // Beside the banner nothing opens.
    QTest::mouseClick(&dialog, Qt::LeftButton, Qt::NoModifier,
                      banner->geometry().bottomRight() + QPoint(4, 4));
    EXPECT_EQ(shell_.opened.size(), 1u);

    EXPECT_NE(banner->cursor().shape(), Qt::BitmapCursor);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(banner, &enter);
    EXPECT_EQ(banner->cursor().shape(), Qt::BitmapCursor);
    EXPECT_NE(dialog.cursor().shape(), Qt::BitmapCursor);
}

TEST_F(MainDlgTest, PageButtonsOpenTheirHelpPages) {
    Dialog().show();
    const std::pair<int, const char*> pages[] = {{IDC_USER_GUIDE, "user_guide.html"},
                                                 {IDC_FAQ, "faq.html"},
                                                 {IDC_FREE_REGISTRATION, "register_for_free.html"}};
    for (const auto& [id, page] : pages) {
        QTest::mouseClick(Button(Dialog(), id), Qt::LeftButton);
        ASSERT_FALSE(shell_.opened.empty());
        EXPECT_EQ(shell_.opened.back(),
                  QUrl::fromLocalFile(QString::fromStdString(GetHelpFolder()) +
                                      QString::fromLatin1(page)));
    }
    EXPECT_EQ(shell_.opened.size(), 3u);
}

TEST_F(MainDlgTest, HelpPagesLieInTheHelpFolderBesideTheBuiltProgram) {
    const QString program = QFileInfo(QStringLiteral(TAVELO_BINARY_PATH)).absolutePath();
    const QString folder = QString::fromStdString(HelpFolderFor(program.toStdString()));
    EXPECT_EQ(folder, program + "/help/");
    for (const int id : {IDS_HELP_USER_GUIDE, IDS_HELP_FAQ, IDS_HELP_REGISTER}) {
        const QFileInfo page(folder + LoadResString(id));
        EXPECT_TRUE(page.isFile()) << page.filePath().toStdString();
        EXPECT_GT(page.size(), 1000) << page.filePath().toStdString();
    }
}

TEST_F(MainDlgTest, EnterAndEscapeNeitherCloseTheWindowNorAPane) {
    Dialog().show();
    Drop({Sample(0)});
    QTest::keyClick(&Dialog(), Qt::Key_Escape);
    QTest::keyClick(Info().TitleBox(), Qt::Key_Escape);
    QTest::keyClick(Info().TitleBox(), Qt::Key_Return);
    QTest::keyClick(List().List(), Qt::Key_Return);
    EXPECT_TRUE(Dialog().isVisible());
    EXPECT_TRUE(Info().isVisible());
    EXPECT_TRUE(List().isVisible());
    EXPECT_EQ(Dialog().Album().Count(), 1u);
}

TEST_F(MainDlgTest, AboutBoxIsOfferedByTheWindowsContextMenu) {
    CMainDlg& dialog = Dialog();
    dialog.show();
    QString menuText;
    QString aboutCaption;
    QStringList aboutLines;
    std::function<void()> closeAbout = [&] {
        auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        if (about == nullptr) {
            QTimer::singleShot(20, closeAbout);  // the menu is still closing
            return;
        }
        aboutCaption = about->windowTitle();
        for (const QLabel* label : about->findChildren<QLabel*>()) {
            aboutLines << label->text();
        }
        QTest::mouseClick(qobject_cast<QPushButton*>(about->GetDlgItem(IDOK)), Qt::LeftButton);
    };
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->actions().size(), 1);
        menuText = menu->actions().first()->text();
        QTimer::singleShot(20, closeAbout);
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 500),
                            dialog.mapToGlobal(QPoint(5, 500)));
    QApplication::sendEvent(&dialog, &event);
    EXPECT_EQ(menuText, "&About Tavelo Desktop...");
    EXPECT_EQ(aboutCaption, "About Tavelo Desktop 2.0");
    EXPECT_TRUE(aboutLines.contains("Tavelo Desktop v2.0"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(MainDlgTest, ContextMenuIsOfferedOverThePanesToo) {
    CMainDlg& dialog = Dialog();
    dialog.show();
    QWidget* const panes[] = {&List(), &Info(), List().List()};
    for (QWidget* pane : panes) {
        QString menuText;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu != nullptr && !menu->actions().isEmpty()) {
                menuText = menu->actions().first()->text();
                menu->close();
            }
        });
        const QPoint inside(pane->width() / 2, pane->height() / 2);
        QContextMenuEvent event(QContextMenuEvent::Mouse, inside, pane->mapToGlobal(inside));
        QApplication::sendEvent(pane, &event);
        EXPECT_EQ(menuText, "&About Tavelo Desktop...") << pane->metaObject()->className();
    }
}

}  // namespace
