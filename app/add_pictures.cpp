// Adding pictures: Add Folder, and files dropped on the window or named on the command line.
#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>

#include "album/album_rules.h"
#include "album/picture_preparation.h"
#include "app/main_dlg.h"
#include "panes/image_list_pane.h"
#include "platform/registry.h"
#include "platform/system_path.h"
#include "res/resource.h"
#include "res/string_table.h"
#include "ui/file_dialogs.h"

namespace {

constexpr char kProjectExtension[] = ".json";

bool IsAlbumFileName(const QString& path) {
    return path.endsWith(QLatin1String(".pdb"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".prc"), Qt::CaseInsensitive);
}

QStringList DroppedFiles(const QMimeData* data) {
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

}  // namespace

void CMainDlg::OnAddFolder() {
    QFileDialog dialog(this);
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

void CMainDlg::AddFolder(const QString& folder, bool recursive) {
    const CFolderPictures found = ListFolderPictures(PathToSystem(folder), recursive);
    const auto first = static_cast<std::int16_t>(m_document.Count());
    std::size_t added = 0;
    std::size_t overLimit = 0;
    BeginEditGroup(QStringLiteral("Add Folder"));
    for (const std::string& picture : found.pictures) {
        if (m_document.Album().IsFull()) {
            ++overLimit;
        } else if (AddImage(PathFromSystem(picture))) {
            ++added;
        }
    }
    EndEditGroup();
    KeepFolder(folder, kPictureFolderSetting);
    QString text = QStringLiteral("Added %1 %2 from %3.")
                       .arg(added)
                       .arg(added == 1 ? QStringLiteral("picture") : QStringLiteral("pictures"),
                            QDir::toNativeSeparators(folder));
    QStringList leftOut;
    if (found.otherFiles > 0) {
        leftOut << QStringLiteral("%1 %2 not a picture this program reads")
                       .arg(found.otherFiles)
                       .arg(found.otherFiles == 1 ? QStringLiteral("file is") : QStringLiteral("files are"));
    }
    if (overLimit > 0) {
        leftOut << QStringLiteral("%1 %2 over the album's limit of %3 pictures")
                       .arg(overLimit)
                       .arg(overLimit == 1 ? QStringLiteral("picture is") : QStringLiteral("pictures are"))
                       .arg(kMaxPictures);
    }
    if (!leftOut.isEmpty()) {
        text += QStringLiteral("\nLeft out: ") + leftOut.join(QStringLiteral("; ")) + u'.';
    }
    if (added > 0) {
        if (m_imageList->GetSelectionMark() < 0) {
            SetAlbumIcon(first);
        }
        SelectImage(first);
    }
    QMessageBox::information(this, LoadResString(IDS_CAPTION), text);
}

void CMainDlg::OnDropFiles(const QStringList& paths) {
    TakeDroppedFiles(paths, false);
}

void CMainDlg::TakeDroppedFiles(const QStringList& paths, bool recursive) {
    QStringList pictures;
    for (const QString& path : paths) {
        if (QFileInfo(path).isDir()) {
            AddFolder(path, recursive);
        } else if (IsAlbumFileName(path)) {
            (void)OpenAlbumFile(path);
        } else if (path.endsWith(QLatin1String(kProjectExtension), Qt::CaseInsensitive)) {
            if (AskToKeepChanges()) {
                (void)OpenAlbumProject(path);
            }
        } else {
            pictures << path;
        }
    }
    const auto first = static_cast<std::int16_t>(m_document.Count());
    int added = 0;
    BeginEditGroup(QStringLiteral("Add Pictures"));
    for (const QString& path : pictures) {
        if (AddImage(path)) {
            ++added;
        }
    }
    EndEditGroup();
    if (added == 0) {
        return;
    }
    if (m_imageList->GetSelectionMark() < 0) {
        SetAlbumIcon(first);
    }
    SelectImage(first);
}

void CMainDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CMainDlg::dropEvent(QDropEvent* event) {
    const QStringList paths = DroppedFiles(event->mimeData());
    if (paths.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    // Shift takes a dropped folder's subfolders too.
    TakeDroppedFiles(paths, (event->modifiers() & Qt::ShiftModifier) != 0);
}
