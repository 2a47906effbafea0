#include "app/project_commands.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "album/album_project.h"
#include "album/file_input.h"
#include "album/file_output.h"
#include "album/project_pictures.h"
#include "app/album_file_commands.h"
#include "app/album_icons.h"
#include "edit/album_document.h"
#include "panes/album_editor.h"
#include "platform/install_target.h"
#include "platform/registry.h"
#include "platform/system_path.h"
#include "res/resource.h"
#include "res/string_table.h"
#include "ui/file_dialogs.h"
#include "ui/messages.h"

namespace {

// Album projects: the batch tool's ALBUM.json.
constexpr char kProjectExtension[] = ".json";
constexpr char kProjectFilter[] = "Album Projects (*.json)|*.json|All Files|*.*||";

// The project's text; false with why when it cannot be read. Only a regular file is read: a
// pipe or a device would keep the window waiting.
bool ReadProjectText(const std::string& file, std::string& text, std::string& problem) {
    OpenProblem why = OpenProblem::None;
    std::uint64_t size = 0;
    std::FILE* in = OpenRegularFileStream(file, why, size);
    if (in == nullptr) {
        problem = why == OpenProblem::NotFound     ? "the file does not exist"
                  : why == OpenProblem::NotRegular ? "not a regular file"
                                                   : "the file cannot be read";
        return false;
    }
    if (size > kLargestAlbumProject) {
        std::fclose(in);
        problem = "too large for an album project";
        return false;
    }
    text.resize(static_cast<std::size_t>(size));
    const bool read = std::fread(text.data(), 1, text.size(), in) == text.size();
    std::fclose(in);
    if (!read) {
        problem = "the file cannot be read";
    }
    return read;
}

}  // namespace

CProjectCommands::CProjectCommands(CAlbumDocument& document, CAlbumEditor& editor,
                                   CAlbumIcons& icons, const CAlbumFileCommands& files,
                                   QWidget* window)
    : m_document(document), m_editor(editor), m_icons(icons), m_files(files), m_window(window) {}

QString CProjectCommands::Path() const {
    return PathFromSystem(m_document.ProjectPath());
}

bool CProjectCommands::Open(const QString& path) {
    const std::string file = PathToSystem(path);
    std::string text;
    std::string problem;
    CAlbum opened;
    const std::string folder = std::filesystem::absolute(file).parent_path().string();
    std::string refused;
    const bool read = ReadProjectText(file, text, problem);
    bool opens = read && ReadAlbumProject(text, folder, opened, problem);
    QString why = QString::fromStdString(problem);
    if (opens && !CheckPictureNames(opened, refused, problem)) {
        // The batch tool's words; a zero byte is shown rather than ending the text.
        opens = false;
        why = QDir::toNativeSeparators(PathFromSystem(refused))
                  .replace(QChar(u'\0'), QStringLiteral("\\x00")) +
              QStringLiteral(": ") + QString::fromStdString(problem);
    }
    if (!opens) {
        const QString said =
            read ? QStringLiteral(
                       "%1 cannot be opened as an album project: %2.\nOpen a project "
                       "that Save Album Project... wrote, or mend the place named.")
                 : QStringLiteral(
                       "%1 cannot be opened: %2.\nCheck its name and folder and "
                       "open it again.");
        ShowMessage(m_window, QMessageBox::Warning,
                    said.arg(QFileInfo(path).fileName(), why) + QStringLiteral("\n\n") +
                        QDir::toNativeSeparators(path));
        return false;
    }
    KeepFolder(QFileInfo(path).absolutePath(), kProjectFolderSetting);
    QStringList missing;
    for (std::size_t i = 0; i < opened.Count(); ++i) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(opened.At(i)->m_sourcePath, ec)) {
            missing << QDir::toNativeSeparators(PathFromSystem(opened.At(i)->m_sourcePath));
        }
    }
    // The album opens once its icon is made; an icon whose picture is missing is kept as it
    // was written, black until the picture is back.
    const auto open = [this, opened, file, missing](std::optional<CIconPixels> pixels) {
        m_document.OpenProject(opened, pixels.value_or(CIconPixels(kIconSide * kIconSide * 3, 0)),
                               file);
        if (m_document.Count() > 0) {
            m_editor.SelectImage(0);
        }
        if (!missing.isEmpty()) {
            ShowMessage(m_window, QMessageBox::Warning,
                        QStringLiteral("These pictures of the album were not found; they are "
                                       "marked in the list. Put them back where they were, or "
                                       "delete their rows, before saving the album.\n\n%1")
                            .arg(missing.join(u'\n')));
        }
    };
    if (opened.IconSource().empty()) {
        open(CIconPixels());
    } else {
        m_icons.Make(opened.IconSource(), open);
    }
    return true;
}

bool CProjectCommands::SaveAs(const QString& path) {
    m_icons.Finish();
    const std::string file = PathToSystem(path);
    const std::string folder = std::filesystem::absolute(file).parent_path().string();
    const std::string text = WriteAlbumProject(m_document.Album(), folder);
    std::string problem;
    std::unique_ptr<CFileOutput> output = OpenFileOutput(file, problem);
    if (output &&
        (!output->Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) ||
         !output->Commit())) {
        problem = output->Error();
        output.reset();
    }
    if (!problem.empty() || !output) {
        ShowMessage(m_window, QMessageBox::Warning,
                    QStringLiteral("The album project cannot be saved as\n%1\n%2.\n\nChoose "
                                   "another folder or name and save it again.")
                        .arg(QDir::toNativeSeparators(path), QString::fromStdString(problem)));
        return false;
    }
    KeepFolder(QFileInfo(path).absolutePath(), kProjectFolderSetting);
    m_document.MarkSaved(file);
    return true;
}

void CProjectCommands::AskAndOpen() {
    if (!KeepChangesFirst()) {
        return;
    }
    QFileDialog dialog(m_window);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    PrepareFileDialog(dialog, kProjectFilter, kProjectFolderSetting);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        (void)Open(dialog.selectedFiles().constFirst());
    }
}

void CProjectCommands::AskAndSave() {
    QFileDialog dialog(m_window);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("json"));
    PrepareFileDialog(dialog, kProjectFilter, kProjectFolderSetting);
    // A new project is named after the album, made safe as a file name.
    std::string suggested = AlbumFileName(m_document.Album().Title(), kProjectExtension);
    if (suggested.empty()) {
        suggested = std::string(CAlbum::kUntitled) + kProjectExtension;
    }
    dialog.selectFile(!Path().isEmpty() ? Path() : PathFromSystem(suggested));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        (void)SaveAs(dialog.selectedFiles().constFirst());
    }
}

bool CProjectCommands::HasChanges() const {
    // A new album with nothing in it has nothing to lose.
    return !m_document.IsClean() && !m_document.IsBlank();
}

bool CProjectCommands::KeepChangesFirst() {
    if (!HasChanges()) {
        return true;
    }
    // An album file is an export: it cannot be edited again, so the project is what keeps the
    // work.
    const QString question =
        m_files.WrittenSinceProjectSaved()
            ? QStringLiteral(
                  "The album was written to %1 but not saved as a project.\nSave the project?")
                  .arg(QFileInfo(m_files.LastWritten()).fileName())
            : QStringLiteral(
                  "The album has changes that are not saved.\nSave them as an album project "
                  "first?");
    const auto answer = ShowMessage(m_window, QMessageBox::Question, question,
                                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                    QMessageBox::Save);
    if (answer == QMessageBox::Cancel) {
        return false;
    }
    if (answer == QMessageBox::Save) {
        AskAndSave();
        return !HasChanges();
    }
    return true;
}
