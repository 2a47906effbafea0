#include <chrono>
#include <thread>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include "app/about_dlg.h"
#include "app/album_app.h"
#include "app/main_window_fixture.h"
#include "app/single_instance.h"
#include "res/resource.h"
#include "res/string_table.h"

namespace {

QString ServerName() {
    return InstanceServerName(LoadResString(IDS_CAPTION));
}

// The program as a user starts it: no display needed, the test's own folders.
void StartProgram(QProcess& process, const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("QT_QPA_PLATFORMTHEME", "");
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QStringLiteral(TAVELO_SAMPLES_DIR));
    process.start(QStringLiteral(TAVELO_BINARY_PATH), arguments);
}

// Starts a second copy and tells whether it ended, successfully, within a second.
bool SecondStartEndsWithinASecond(const QStringList& arguments) {
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    StartProgram(process, arguments);
    const bool ended =
        QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000);
    EXPECT_TRUE(ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        << process.readAllStandardError().toStdString();
    return ended && clock.elapsed() < 1000;
}

using SingleInstanceTest = MainWindowTest;

TEST_F(SingleInstanceTest, SecondStartHandsItsFilesToTheFirstAndEnds) {
    CMainDlg& dialog = Dialog();
    CAlbumApp first;
    ASSERT_TRUE(first.ListenForLaterStarts(dialog));
    dialog.show();
    dialog.showMinimized();
    ASSERT_TRUE(dialog.isMinimized());
    EXPECT_TRUE(
        SecondStartEndsWithinASecond({"-style", "fusion", kSamples[0], "notes.txt", kSamples[4]}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Album().Count() == 2; }));
    EXPECT_EQ(AlbumPaths(), Samples({0, 4}));
    EXPECT_EQ(List().GetSelectedRow(), 0);
    EXPECT_EQ(Icon(), IconOf(Sample(0)));
    EXPECT_FALSE(dialog.isMinimized());
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(SingleInstanceTest, AWindowBusyForSecondsStillTakesTheFilesAndNoSecondWindowOpens) {
    CMainDlg& dialog = Dialog();
    CAlbumApp first;
    ASSERT_TRUE(first.ListenForLaterStarts(dialog));
    QProcess second;
    StartProgram(second, {kSamples[1]});
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // the window's thread is busy
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 10000))
        << "the second start did not end";
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Album().Count() == 1; }));
    EXPECT_EQ(AlbumPaths(), Samples({1}));
}

TEST_F(SingleInstanceTest, WhileADialogOfTheWindowIsOpenItComesForwardAndTheFilesWait) {
    CMainDlg& dialog = Dialog();
    CAlbumApp first;
    ASSERT_TRUE(first.ListenForLaterStarts(dialog));
    dialog.show();
    CAboutDlg about(&dialog);
    std::size_t countWhileOpen = 99;
    QTimer::singleShot(0, &about, [&] {
        EXPECT_TRUE(SecondStartEndsWithinASecond({kSamples[1]}));
        QTest::qWait(200);
        countWhileOpen = dialog.Album().Count();
        EXPECT_EQ(QApplication::activeModalWidget(), &about);
        EXPECT_TRUE(about.isVisible());
        about.accept();
    });
    about.DoModal();
    EXPECT_EQ(countWhileOpen, 0u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Album().Count() == 1; }));
    QTest::qWait(100);
    EXPECT_EQ(AlbumPaths(), Samples({1}));  // once, not once per way the dialog ended
}

TEST_F(SingleInstanceTest, SecondProgramEndsWhileTheFirstGoesOn) {
    QProcess first;
    StartProgram(first, {});
    ASSERT_TRUE(QTest::qWaitFor([] { return QFileInfo::exists(ServerName()); }, 20000))
        << first.readAllStandardError().toStdString();
    EXPECT_TRUE(SecondStartEndsWithinASecond({kSamples[1]}));
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}

TEST_F(SingleInstanceTest, SocketLeftByAnEndedCopyIsTakenOverButALiveOneIsNot) {
    EXPECT_EQ(QFileInfo(ServerName()).absolutePath(),
              QFileInfo(qEnvironmentVariable("XDG_RUNTIME_DIR")).absoluteFilePath());
    WriteAll(ServerName().toStdString(), "");  // what a crashed copy leaves behind
    CInstanceServer server;
    ASSERT_TRUE(server.Listen(ServerName()));
    CInstanceServer another;
    EXPECT_FALSE(another.Listen(ServerName()));
}

TEST(FileArgumentsTest, OptionsAreSkippedAndNamesBecomeAbsolute) {
    std::vector<std::string> words = {"tavelo", "-style",      "fusion", "-reverse",
                                      "a.jpg",  "/pics/b.gif", "--",     "-odd name.bmp"};
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    EXPECT_EQ(CAlbumApp::FileArguments(static_cast<int>(argv.size()), argv.data()),
              (QStringList{QDir::current().absoluteFilePath("a.jpg"), "/pics/b.gif",
                           QDir::current().absoluteFilePath("-odd name.bmp")}));
}

}  // namespace
