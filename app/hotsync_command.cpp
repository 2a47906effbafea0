#include "app/hotsync_command.h"

#include <string>

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QPushButton>

#include "app/album_file_commands.h"
#include "edit/album_document.h"
#include "platform/install_library.h"
#include "platform/install_target.h"
#include "platform/system_path.h"
#include "res/resource.h"
#include "res/string_table.h"
#include "ui/messages.h"

namespace {

// The users' menu commands, and the room for names and folders.
constexpr int kFirstUserCommand = 1000;
constexpr std::size_t kMenuNameSize = 50;
// The longest file name the file systems take.
constexpr std::size_t kLongestFileName = 255;
constexpr char kAlbumFileExtension[] = ".pdb";

}  // namespace

CHotSyncCommand::CHotSyncCommand(CAlbumDocument& document, CInstallLibrary& installLibrary,
                                 CAlbumFileCommands& files, QWidget* window)
    : m_document(document), m_installLibrary(installLibrary), m_files(files), m_window(window) {}

void CHotSyncCommand::Send(QWidget* anchor) {
    const std::int16_t count = m_installLibrary.GetUserCount();
    if (count < 1) {
        return;
    }
    std::int16_t index = 0;
    if (count > 1) {
        QMenu menu(m_window);
        for (std::int16_t i = 0; i < count; ++i) {
            QAction* item = menu.addAction(
                QString::fromStdString(m_installLibrary.GetUserName(i, kMenuNameSize)));
            item->setData(kFirstUserCommand + i);
        }
        const QAction* chosen =
            menu.exec(anchor->mapToGlobal(QPoint(2, anchor->height())));  // just below the button
        if (chosen == nullptr) {
            return;
        }
        index = static_cast<std::int16_t>(chosen->data().toInt() - kFirstUserCommand);
    }
    const std::string title =
        QString::fromStdString(m_document.Album().Title()).trimmed().toStdString();
    const std::string fileName = AlbumFileName(title, kAlbumFileExtension);
    if (fileName.empty()) {
        ShowMessage(m_window, QMessageBox::Warning, LoadResString(IDS_NO_ALBUM_TITLE));
        return;
    }
    // A title that had to be cut to make a file name is refused rather than written under
    // another name: with a shorter extension, a cut name would keep more of the title.
    if (!TitleFitsFileName(title)) {
        const std::size_t kept = fileName.size() - (sizeof kAlbumFileExtension - 1);
        ShowMessage(m_window, QMessageBox::Warning,
                    QStringLiteral("The album title is too long to name the album's file: a "
                                   "file name holds at most %1 bytes, the first %2 characters "
                                   "of this title.\nShorten the title under Album Info and "
                                   "send the album again.")
                        .arg(kLongestFileName - (sizeof kAlbumFileExtension - 1))
                        .arg(QString::fromStdString(fileName.substr(0, kept)).size()));
        return;
    }
    // The user's name and folder may give no folder, or one outside where the library keeps
    // its files: then nothing is written.
    const CInstallTarget target = FindInstallTarget(m_installLibrary, index, title);
    if (target.path.empty()) {
        const QString what =
            target.problem == EInstallTargetProblem::UnusableUser
                ? QStringLiteral(
                      "Give the handheld a shorter user name without \"/\" in J-Pilot "
                      "and sync once, then send the album again.")
            : target.problem == EInstallTargetProblem::NoTitle
                ? QStringLiteral("Type a title under Album Info and send the album again.")
                : QStringLiteral(
                      "Check that the install folders in ~/.local/share/tavelo (or "
                      "$XDG_DATA_HOME/tavelo) can be written to, then send the "
                      "album again.");
        ShowMessage(m_window, QMessageBox::Warning,
                    QString::fromStdString(target.message) + u'\n' + what);
        return;
    }
    const std::string& user = target.user;
    const QString file = QDir::toNativeSeparators(PathFromSystem(target.path));
    m_installLibrary.PrepareInstall(user, fileName);
    if (!m_files.Write(PathFromSystem(target.path))) {
        return;
    }
    const std::int32_t queued = m_installLibrary.InstallFile(user, target.path);
    if (queued != kInstallQueued) {
        // The file is there, but the next HotSync would not take it: say so, not success.
        const QString why =
            queued == kInstallPathNotQueueable
                ? QStringLiteral("Its path is too long for J-Pilot's list of files to install.")
                : QStringLiteral(
                      "J-Pilot's list of files to install, in %1's .jpilot folder, "
                      "cannot be written: check that the folder can be written to, "
                      "then send the album again.")
                      .arg(QString::fromStdString(user));
        ShowMessage(m_window, QMessageBox::Warning,
                    QStringLiteral("The album was written to\n%1\nbut could not be queued for "
                                   "%2's next HotSync. %3")
                        .arg(file, QString::fromStdString(user), why));
        return;
    }
    ShowMessage(m_window, QMessageBox::Information,
                QStringLiteral("The album is queued for %1's next HotSync:\n%2\n\nSync the "
                               "handheld with J-Pilot to copy it there.")
                    .arg(QString::fromStdString(user), file));
}

QString CHotSyncCommand::WhyUnavailable(bool hasPictures) {
    if (!hasPictures) {
        return QStringLiteral("Add pictures to the album first.");
    }
    return QString::fromStdString(m_installLibrary.NoUserReason());
}
