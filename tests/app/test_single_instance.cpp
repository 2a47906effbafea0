#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include "app/album_app.h"
#include "app/main_window_fixture.h"
#include "app/single_instance.h"
#include "res/resource.h"
#include "res/string_table.h"

namespace {

constexpr int kSecondStartLimitMs = 1000;

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

using SingleInstanceTest = MainWindowTest;

TEST_F(SingleInstanceTest, SecondStartHandsItsFilesToTheFirstAndEndsWithinASecond) {
    CMainDlg& dialog = Dialog();
    CAlbumApp first;
    ASSERT_TRUE(first.ListenForLaterStarts(dialog));
    dialog.show();
    dialog.showMinimized();
    ASSERT_TRUE(dialog.isMinimized());

    QProcess second;
    QElapsedTimer clock;
    clock.start();
    StartProgram(second, {"-style", "fusion", QString::fromLatin1(kSamples[0]), "notes.txt",
                          QString::fromLatin1(kSamples[4])});
    ASSERT_TRUE(WaitUntil([&] { return second.state() == QProcess::NotRunning; }, 10000));
    EXPECT_LT(clock.elapsed(), kSecondStartLimitMs);
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();

    ASSERT_TRUE(WaitUntil([&] { return dialog.Album().Count() == 2; }));
    EXPECT_EQ(AlbumPaths(),
              (std::vector<std::string>{Sample(0).toStdString(), Sample(4).toStdString()}));
    EXPECT_EQ(List().GetSelectedRow(), 0);
    EXPECT_EQ(PixelRows(Info().Icon()), IconOf(Sample(0)));
    EXPECT_FALSE(dialog.isMinimized());
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(SingleInstanceTest, SecondProgramEndsWhileTheFirstGoesOn) {
    QProcess first;
    StartProgram(first, {});
    ASSERT_TRUE(WaitUntil([] { return QFileInfo::exists(ServerName()); }, 20000))
        << first.readAllStandardError().toStdString();

    QProcess second;
    QElapsedTimer clock;
    clock.start();
    StartProgram(second, {QString::fromLatin1(kSamples[1])});
    ASSERT_TRUE(WaitUntil([&] { return second.state() == QProcess::NotRunning; }, 10000));
    EXPECT_LT(clock.elapsed(), kSecondStartLimitMs);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}

TEST_F(SingleInstanceTest, WithoutARunningCopyNothingIsHandedOver) {
    EXPECT_FALSE(HandFilesToRunningCopy(ServerName(), {Sample(0)}, 200));
}

TEST_F(SingleInstanceTest, SocketLeftByAnEndedCopyIsTakenOverButALiveOneIsNot) {
    WriteAll(ServerName().toStdString(), "");  // what a crashed copy leaves behind
    CInstanceServer server;
    ASSERT_TRUE(server.Listen(ServerName()));
    CInstanceServer another;
    EXPECT_FALSE(another.Listen(ServerName()));
}

TEST_F(SingleInstanceTest, NameDependsOnCaptionAndLivesInTheRuntimeFolder) {
    EXPECT_NE(InstanceServerName("one"), InstanceServerName("two"));
    EXPECT_EQ(QFileInfo(ServerName()).absolutePath(),
              QFileInfo(qEnvironmentVariable("XDG_RUNTIME_DIR")).absoluteFilePath());
}

TEST(FileArgumentsTest, OptionsAreSkippedAndNamesBecomeAbsolute) {
    std::string program = "tavelo";
    std::string style = "-style";
    std::string fusion = "fusion";
    std::string reverse = "-reverse";
    std::string relative = "a.jpg";
    std::string absolute = "/pics/b.gif";
    std::string end = "--";
    std::string dashed = "-odd name.bmp";
    char* argv[] = {program.data(),  style.data(),    fusion.data(), reverse.data(),
                    relative.data(), absolute.data(), end.data(),    dashed.data()};
    EXPECT_EQ(CAlbumApp::FileArguments(8, argv),
              (QStringList{QDir::current().absoluteFilePath("a.jpg"), "/pics/b.gif",
                           QDir::current().absoluteFilePath("-odd name.bmp")}));
}

}  // namespace
