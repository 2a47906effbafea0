// The main window's album file commands: Save... and the handheld view of album files.
#include <memory>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "app/album_viewer_dlg.h"
#include "app/main_dlg.h"
#include "app/save_progress_dlg.h"
#include "imaging/picture_loader.h"
#include "platform/registry.h"
#include "platform/system_path.h"
#include "res/resource.h"
#include "res/string_table.h"
#include "ui/file_dialogs.h"

namespace {

// The save dialog's filter, written as description|patterns pairs.
constexpr char kSaveFilter[] = "PalmPilot Files (*.pdb)|*.pdb|All Files|*.*||";
// Album files the viewer opens: what Save writes, under either extension.
constexpr char kAlbumFileFilter[] = "PalmPilot Files (*.pdb; *.prc)|*.pdb;*.prc|All Files|*.*||";

}  // namespace

void CMainDlg::OnSave() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdb"));
    PrepareFileDialog(dialog, kSaveFilter, kAlbumFolderSetting);
    dialog.selectFile(LoadResString(IDS_UNTITLED));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    KeepFolder(dialog.directory().absolutePath(), kAlbumFolderSetting);
    (void)SaveAlbum(dialog.selectedFiles().constFirst());
}

bool CMainDlg::SaveAlbum(const QString& path) {
    FinishIcons();
    // The icon goes into the file as the window shows it, even if its picture has gone since.
    std::shared_ptr<CDib> icon;
    const CIconPixels pixels = m_document.IconPixels();
    if (!pixels.empty()) {
        icon = std::make_shared<CDib>();
        if (!icon->Create(kIconSide, kIconSide, 24) || icon->PixelBytes() != pixels.size()) {
            icon.reset();  // made again from its picture by the build
        } else {
            std::copy(pixels.begin(), pixels.end(), icon->Pixels());
        }
    }
    CSaveProgressDlg progress(this);
    progress.SetJob(m_document.Album(), PathToSystem(path), PictureReading(), std::move(icon));
    progress.DoModal();
    const CBuildResult& result = progress.Result();
    switch (result.outcome) {
        case BuildOutcome::Written:
            // An export: the album is saved only as a project, but closing will name this file.
            m_savedAlbum = path;
            m_savedAlbumSinceClean = true;
            return true;
        case BuildOutcome::Cancelled:
        case BuildOutcome::PictureFailed:
            return false;  // the user chose to stop
        case BuildOutcome::Refused:
        case BuildOutcome::WriteFailed:
            break;
    }
    QMessageBox::warning(this, LoadResString(IDS_CAPTION),
                         QStringLiteral("The album cannot be saved as\n%1\n\n%2")
                             .arg(QDir::toNativeSeparators(path), QString::fromStdString(result.reason)));
    return false;
}

bool CMainDlg::OpenAlbumFile(const QString& path) {
    auto* viewer = new CAlbumViewerDlg(this);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    if (!viewer->Open(path)) {
        QMessageBox::warning(this, LoadResString(IDS_CAPTION),
                             QStringLiteral("The album file\n%1\ncannot be shown: %2")
                                 .arg(QDir::toNativeSeparators(path), viewer->Error()));
        delete viewer;
        return false;
    }
    viewer->show();
    return true;
}

void CMainDlg::OnOpenAlbumFile() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    PrepareFileDialog(dialog, kAlbumFileFilter, kAlbumFolderSetting);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        (void)OpenAlbumFile(dialog.selectedFiles().constFirst());
    }
}

void CMainDlg::OnViewSavedAlbum() {
    if (!m_savedAlbum.isEmpty()) {
        (void)OpenAlbumFile(m_savedAlbum);
    }
}
