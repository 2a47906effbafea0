#include "app/album_app.h"

#include <memory>

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QPointer>
#include <QTimer>

#include "app/main_dlg.h"
#include "app/single_instance.h"
#include "platform/system_path.h"
#include "res/resource.h"
#include "res/string_table.h"
#include "ui/messages.h"

namespace {

// Options of the toolkit that take the next argument as their value.
constexpr const char* kOptionsWithValue[] = {
    "-style",         "-stylesheet",      "-platform",    "-platformpluginpath",
    "-platformtheme", "-plugin",          "-display",     "-geometry",
    "-session",       "-qwindowgeometry", "-qwindowicon", "-qwindowtitle",
};

bool TakesValue(const QString& option) {
    for (const char* known : kOptionsWithValue) {
        if (option == QLatin1String(known)) {
            return true;
        }
    }
    return false;
}

QString ServerName() {
    return InstanceServerName(LoadResString(IDS_CAPTION));
}

}  // namespace

QStringList CAlbumApp::FileArguments(int argc, char** argv) {
    QStringList files;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QString argument = PathFromSystem(argv[i]);
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument.startsWith(u'-')) {
            if (TakesValue(argument)) {
                ++i;
            }
            continue;
        }
        files << QDir::current().absoluteFilePath(argument);
    }
    return files;
}

bool CAlbumApp::HandToRunningCopy(int argc, char** argv, const QStringList& files) {
    // Sockets need an application object; the window's one is made only when this start
    // goes on, so that a start that only hands over needs no display.
    std::unique_ptr<QCoreApplication> core;
    if (QCoreApplication::instance() == nullptr) {
        core = std::make_unique<QCoreApplication>(argc, argv);
    }
    return HandFilesToRunningCopy(ServerName(), files, kHandOverTimeoutMs);
}

CAlbumApp::CAlbumApp(QStringList files) : m_files(std::move(files)) {}

CAlbumApp::~CAlbumApp() = default;

bool CAlbumApp::ListenForLaterStarts(CMainDlg& dialog) {
    auto server = std::make_unique<CInstanceServer>();
    if (!server->Listen(ServerName())) {
        return false;
    }
    Serve(std::move(server), dialog);
    return true;
}

void CAlbumApp::Serve(std::unique_ptr<CInstanceServer> server, CMainDlg& dialog) {
    QObject::connect(server.get(), &CInstanceServer::filesArrived, &dialog,
                     [&dialog](const QStringList& files) { TakeFiles(dialog, files); });
    m_server = std::move(server);
}

void CAlbumApp::TakeFiles(CMainDlg& dialog, const QStringList& files) {
    // While one of the window's own dialogs is open, that dialog comes forward (the window
    // would otherwise cover it and ignore every click), and the files wait for it to close.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal != &dialog) {
        modal->show();
        modal->raise();
        modal->activateWindow();
        QPointer<CMainDlg> window(&dialog);
        auto delivered = std::make_shared<bool>(false);
        const auto deliver = [window, files, delivered] {
            if (*delivered) {
                return;
            }
            *delivered = true;
            // Let the closing dialog's own caller finish first.
            QTimer::singleShot(0, window, [window, files] {
                if (window) {
                    TakeFiles(*window, files);
                }
            });
        };
        QObject::connect(modal, &QObject::destroyed, &dialog, deliver);
        if (auto* modalDialog = qobject_cast<QDialog*>(modal)) {
            QObject::connect(modalDialog, &QDialog::finished, &dialog, deliver);
        }
        return;
    }
    dialog.BringToFront();
    dialog.OnDropFiles(files);
}

bool CAlbumApp::InitInstance() {
    // Decide which copy runs before the window exists: a copy that ends here must not count
    // as a start.
    auto server = std::make_unique<CInstanceServer>();
    const bool listening = server->Listen(ServerName());
    if (!listening) {
        if (HandFilesToRunningCopy(ServerName(), m_files, kHandOverTimeoutMs)) {
            return false;  // another copy started at the same moment and took the files
        }
        // Another copy holds the place but did not answer: a second window would split the
        // album's files between two windows.
        ShowMessage(nullptr, QMessageBox::Warning,
                    QStringLiteral("Tavelo Desktop is already running but does not answer.\n"
                                   "Try again in a moment."));
        return false;
    }
    CMainDlg dialog;
    if (!dialog.Create()) {
        return false;
    }
    Serve(std::move(server), dialog);
    dialog.OnDropFiles(m_files);
    dialog.exec();
    m_server.reset();
    return false;
}
