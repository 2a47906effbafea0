#include "app/add_pictures.h"

#include <string>
#include <utility>
#include <vector>

#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMimeData>
#include <QUrl>

#include "album/album_rules.h"
#include "album/picture_preparation.h"
#include "app/album_file_commands.h"
#include "app/picture_check.h"
#include "app/project_commands.h"
#include "edit/album_document.h"
#include "panes/album_editor.h"
#include "panes/image_list_pane.h"
#include "platform/registry.h"
#include "platform/system_path.h"
#include "ui/file_dialogs.h"
#include "ui/messages.h"

namespace {

constexpr char kProjectExtension[] = ".json";

bool IsAlbumFileName(const QString& path) {
    return path.endsWith(QLatin1String(".pdb"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".prc"), Qt::CaseInsensitive);
}

}  // namespace

QStringList CPictureAdder::DroppedFiles(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            paths << url.toLocalFile();
        }
    }
    return paths;
}

CPictureAdder::CPictureAdder(CAlbumEditor& editor, CProjectCommands& projects,
                             CAlbumFileCommands& files, CPictureCheck& check,
                             const CImageListPane& list, QWidget* window)
    : m_editor(editor),
      m_projects(projects),
      m_files(files),
      m_check(check),
      m_list(list),
      m_window(window) {}

void CPictureAdder::AskForFolder() {
    QFileDialog dialog(m_window);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    PrepareFileDialog(dialog, nullptr, kPictureFolderSetting);
    auto* subfolders = new QCheckBox(QStringLiteral("Include subfolders"), &dialog);
    subfolders->setObjectName(QStringLiteral("subfolders"));
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        grid->addWidget(subfolders, grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    AddFolder(dialog.selectedFiles().constFirst(), subfolders->isChecked());
}

void CPictureAdder::AddFolder(const QString& folder, bool recursive) {
    const auto first = static_cast<std::int16_t>(m_editor.Document().Count());
    m_editor.BeginEditGroup(QStringLiteral("Add Folder"));
    const bool added = AddFolderPictures(folder, recursive);
    m_editor.EndEditGroup();
    if (added) {
        ShowFirstAdded(first);
    }
}

bool CPictureAdder::AddFolderPictures(const QString& folder, bool recursive) {
    const CAlbumDocument& document = m_editor.Document();
    const CFolderPictures found = ListFolderPictures(PathToSystem(folder), recursive);
    std::size_t added = 0;
    std::size_t overLimit = 0;
    std::vector<std::string> addedFiles;
    for (const std::string& picture : found.pictures) {
        if (document.Album().IsFull()) {
            ++overLimit;
        } else if (m_editor.AddPictureFile(picture)) {
            ++added;
            addedFiles.push_back(picture);
        }
    }
    KeepFolder(folder, kPictureFolderSetting);
    QString text = QStringLiteral("Added %1 %2 from %3.")
                       .arg(added)
                       .arg(added == 1 ? QStringLiteral("picture") : QStringLiteral("pictures"),
                            QDir::toNativeSeparators(folder));
    QStringList leftOut;
    if (found.otherFiles > 0) {
        leftOut << QStringLiteral("%1 %2 not a picture this program reads")
                       .arg(found.otherFiles)
                       .arg(found.otherFiles == 1 ? QStringLiteral("file is")
                                                  : QStringLiteral("files are"));
    }
    if (overLimit > 0) {
        leftOut << QStringLiteral("%1 %2 over the album's limit of %3 pictures")
                       .arg(overLimit)
                       .arg(overLimit == 1 ? QStringLiteral("picture is")
                                           : QStringLiteral("pictures are"))
                       .arg(kMaxPictures);
    }
    if (!leftOut.isEmpty()) {
        text += QStringLiteral("\nLeft out: ") + leftOut.join(QStringLiteral("; ")) + u'.';
    }
    // The message waits for the pictures to be read, off the window's thread, to say how many
    // cannot be; the list marks them meanwhile. It stands over the window, so during start-up
    // it waits for the window to show.
    m_check.AfterReading(std::move(addedFiles), [window = m_window, text](int unreadable) {
        QString said = text;
        if (unreadable > 0) {
            said +=
                QStringLiteral(
                    "\n%1 of them cannot be read; %2 marked in the list, with "
                    "why in the row's tip. Save can leave them out.")
                    .arg(unreadable)
                    .arg(unreadable == 1 ? QStringLiteral("it is") : QStringLiteral("they are"));
        }
        WhenOnScreen(window,
                     [window, said] { ShowMessage(window, QMessageBox::Information, said); });
    });
    return added > 0;
}

void CPictureAdder::ShowFirstAdded(std::int16_t first) {
    if (m_list.GetSelectionMark() < 0) {
        m_editor.SetAlbumIcon(first);
    }
    m_editor.SelectImage(first);
}

void CPictureAdder::TakeFiles(const QStringList& paths, bool recursive) {
    // Album files and projects first: a project replaces the album, which the pictures then
    // join. Pictures and folders follow in the order given, each folder's pictures in its place.
    QStringList pictures;
    for (const QString& path : paths) {
        if (QFileInfo(path).isDir()) {
            pictures << path;
        } else if (IsAlbumFileName(path)) {
            (void)m_files.Show(path);
        } else if (path.endsWith(QLatin1String(kProjectExtension), Qt::CaseInsensitive)) {
            if (m_projects.KeepChangesFirst()) {
                (void)m_projects.Open(path);
            }
        } else {
            pictures << path;
        }
    }
    const auto first = static_cast<std::int16_t>(m_editor.Document().Count());
    bool added = false;
    m_editor.BeginEditGroup(QStringLiteral("Add Pictures"));
    for (const QString& path : pictures) {
        if (QFileInfo(path).isDir()) {
            added = AddFolderPictures(path, recursive) || added;
        } else if (m_editor.AddImage(path)) {
            added = true;
        }
    }
    m_editor.EndEditGroup();
    if (added) {
        ShowFirstAdded(first);
    }
}
