#pragma once

#include <memory>

#include <QString>
#include <QStringList>

class CInstanceServer;
class CMainDlg;

// The application: one running copy per user, whose main window lives as long as the program.
class CAlbumApp {
public:
    // How long a later start waits for the running copy, per step: seconds, since the running
    // copy may be busy for a moment (a dialog opening, a folder being listed).
    static constexpr int kHandOverTimeoutMs = 5000;

    // The files named on the command line (every argument that is neither an option nor an
    // option's value, and everything after "--"), as absolute paths.
    static QStringList FileArguments(int argc, char** argv);
    // Hands the files to a copy that runs already; true when it took them and this start
    // should end. Needs no display.
    static bool HandToRunningCopy(int argc, char** argv, const QStringList& files);

    explicit CAlbumApp(QStringList files = {});
    ~CAlbumApp();
    CAlbumApp(const CAlbumApp&) = delete;
    CAlbumApp& operator=(const CAlbumApp&) = delete;

    // Start-up: shows the main window with the command line's files added and runs it until
    // it is closed. False, as nothing is left to do then.
    bool InitInstance();
    // Makes `dialog` the window that later starts bring forward and give their files to;
    // false when another copy listens already.
    [[nodiscard]] bool ListenForLaterStarts(CMainDlg& dialog);

private:
    // Brings `dialog` forward with the files of every later start.
    void Serve(std::unique_ptr<CInstanceServer> server, CMainDlg& dialog);
    // The files of a later start: added at once, or when a dialog of the window closes.
    static void TakeFiles(CMainDlg& dialog, const QStringList& files);

    QStringList m_files;
    std::unique_ptr<CInstanceServer> m_server;
};
