#include "app/album_file_commands.h"

#include <memory>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "app/album_icons.h"
#include "app/album_viewer_dlg.h"
#include "app/save_progress_dlg.h"
#include "decode/picture_loader.h"
#include "edit/album_document.h"
#include "platform/registry.h"
#include "platform/system_path.h"
#include "res/resource.h"
#include "res/string_table.h"
#include "ui/file_dialogs.h"
#include "ui/messages.h"

namespace {

// The save dialog's filter, written as description|patterns pairs.
constexpr char kSaveFilter[] = "PalmPilot Files (*.pdb)|*.pdb|All Files|*.*||";
// Album files the viewer opens: what Save writes, under either extension.
constexpr char kAlbumFileFilter[] = "PalmPilot Files (*.pdb; *.prc)|*.pdb;*.prc|All Files|*.*||";

// Where a Palm database names its type and creator, and what an album's are.
constexpr qint64 kTypeAndCreatorAt = 60;
constexpr char kAlbumTypeAndCreator[] = "TVLITVL2";

// Why an album file cannot be shown, in plain words: a file that is not there or cannot be
// read, a file of another kind, or an album file that is damaged; the reader's own words follow.
QString ShowProblem(const QString& path, const QString& detail) {
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        return QStringLiteral(
                   "%1 cannot be read (%2).\nCheck its name and folder and open it "
                   "again.\n\n%3")
            .arg(name, detail, QDir::toNativeSeparators(path));
    }
    file.seek(kTypeAndCreatorAt);
    if (file.read(sizeof kAlbumTypeAndCreator - 1) != kAlbumTypeAndCreator) {
        return QStringLiteral(
                   "%1 is not a Palm album file (%2).\nOpen an album file that "
                   "Save... or Send To HotSync wrote.\n\n%3")
            .arg(name, detail, QDir::toNativeSeparators(path));
    }
    return QStringLiteral(
               "%1 is a damaged album file (%2).\nSave the album again from its "
               "pictures or its album project.\n\n%3")
        .arg(name, detail, QDir::toNativeSeparators(path));
}

}  // namespace

CAlbumFileCommands::CAlbumFileCommands(CAlbumDocument& document, CAlbumIcons& icons,
                                       QWidget* window)
    : m_document(document), m_icons(icons), m_window(window) {
    connect(&document, &CAlbumDocument::cleanChanged, this, [this](bool clean) {
        if (clean) {
            m_writtenSinceSaved = false;
        }
    });
}

void CAlbumFileCommands::AskAndWrite() {
    QFileDialog dialog(m_window);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdb"));
    PrepareFileDialog(dialog, kSaveFilter, kAlbumFolderSetting);
    dialog.selectFile(LoadResString(IDS_UNTITLED));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    // The next Save opens where this one wrote, wherever the dialog was left showing.
    const QString path = dialog.selectedFiles().constFirst();
    KeepFolder(QFileInfo(path).absolutePath(), kAlbumFolderSetting);
    (void)Write(path);
}

bool CAlbumFileCommands::Write(const QString& path) {
    m_icons.Finish();
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
    CSaveProgressDlg progress(m_window);
    progress.SetJob(m_document.Album(), PathToSystem(path), PictureReading(), std::move(icon));
    progress.DoModal();
    const CBuildResult& result = progress.Result();
    switch (result.outcome) {
        case BuildOutcome::Written:
            // An export: the album is saved only as a project, but closing will name this file.
            m_lastWritten = path;
            m_writtenSinceSaved = true;
            return true;
        case BuildOutcome::Cancelled:
        case BuildOutcome::PictureFailed:
            return false;  // the user chose to stop
        case BuildOutcome::Refused:
        case BuildOutcome::WriteFailed:
            break;
    }
    ShowMessage(m_window, QMessageBox::Warning,
                QStringLiteral("The album cannot be saved as\n%1\n%2.\n\nChoose another folder "
                               "or name and save it again.")
                    .arg(QDir::toNativeSeparators(path), QString::fromStdString(result.reason)));
    return false;
}

bool CAlbumFileCommands::Show(const QString& path) {
    auto* viewer = new CAlbumViewerDlg(m_window);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    if (!viewer->Open(path)) {
        ShowMessage(m_window, QMessageBox::Warning, ShowProblem(path, viewer->Error()));
        delete viewer;
        return false;
    }
    viewer->show();
    return true;
}

void CAlbumFileCommands::AskAndShow() {
    QFileDialog dialog(m_window);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    PrepareFileDialog(dialog, kAlbumFileFilter, kAlbumFolderSetting);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        (void)Show(dialog.selectedFiles().constFirst());
    }
}

void CAlbumFileCommands::ShowLastWritten() {
    if (!m_lastWritten.isEmpty()) {
        (void)Show(m_lastWritten);
    }
}
