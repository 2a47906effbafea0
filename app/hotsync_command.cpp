#include "app/hotsync_command.h"

#include <string>

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include "app/album_file_commands.h"
#include "edit/album_document.h"
#include "platform/install_library.h"
#include "platform/system_path.h"
#include "res/resource.h"
#include "res/string_table.h"

namespace {

// The users' menu commands, and the room for names and folders.
constexpr int kFirstUserCommand = 1000;
constexpr std::size_t kMenuNameSize = 50;
constexpr std::size_t kUserNameSize = 256;
constexpr std::size_t kInstallFolderSize = 260;
// The longest file name the file systems take, and the longest path.
constexpr std::size_t kLongestFileName = 255;
constexpr std::size_t kLongestPath = 4095;
constexpr char kAlbumFileExtension[] = ".pdb";

// The install file's name: the album title and ".pdb". The title may name no folder, so its
// separators become dashes and control characters go; empty when nothing of the title is left.
std::string InstallFileName(const std::string& title) {
    std::string fileName;
    for (const char c : title) {
        const bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        if (c == '/' || c == '\\') {
            fileName += '-';
        } else if (!control) {
            fileName += c;
        }
    }
    return fileName.empty() ? fileName : fileName + kAlbumFileExtension;
}

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
            QAction* item = menu.addAction(QString::fromStdString(m_installLibrary.GetUserName(i, kMenuNameSize)));
            item->setData(kFirstUserCommand + i);
        }
        const QAction* chosen =
            menu.exec(anchor->mapToGlobal(QPoint(2, anchor->height())));  // just below the button
        if (chosen == nullptr) {
            return;
        }
        index = static_cast<std::int16_t>(chosen->data().toInt() - kFirstUserCommand);
    }
    const std::string user = m_installLibrary.GetUserName(index, kUserNameSize);
    const std::string folder = m_installLibrary.GetUserInstallDir(user, kInstallFolderSize);

    const std::string fileName =
        InstallFileName(QString::fromStdString(m_document.Album().Title()).trimmed().toStdString());
    if (fileName.empty()) {
        QMessageBox::critical(nullptr, QStringLiteral("error"), LoadResString(IDS_NO_ALBUM_TITLE));
        return;
    }
    if (fileName.size() > kLongestFileName || folder.size() + 1 + fileName.size() > kLongestPath) {
        QMessageBox::critical(nullptr, QStringLiteral("error"),
                              QStringLiteral("The album title is too long for a file name."));
        return;
    }
    const std::string path = folder + '/' + fileName;
    m_installLibrary.PrepareInstall(user, fileName);
    if (!m_files.Write(PathFromSystem(path))) {
        return;
    }
    if (m_installLibrary.InstallFile(user, path) != kInstallQueued) {
        // The file is there, but the next HotSync would not take it: say so, not "Success".
        QMessageBox::warning(m_window, LoadResString(IDS_CAPTION),
                             QStringLiteral("The album was written to\n%1\nbut could not be queued for %2's "
                                            "next HotSync.")
                                 .arg(QDir::toNativeSeparators(PathFromSystem(path)), QString::fromStdString(user)));
        return;
    }
    QMessageBox done(QMessageBox::NoIcon, LoadResString(IDS_SUCCESS), LoadResString(IDS_PERFORM_HOTSYNC),
                     QMessageBox::Ok, m_window);
    done.exec();
}
