#include "cli/album_json.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include <unistd.h>

#include "album/album_project.h"
#include "album/file_input.h"
#include "album/file_output.h"
#include "album/picture_preparation.h"
#include "album/project_pictures.h"
#include "imaging/picture_formats.h"
#include "platform/system_path.h"

namespace fs = std::filesystem;

namespace {

// The largest album description read: far more than 1000 pictures need.
constexpr std::uintmax_t kMaxJsonBytes = kLargestAlbumProject;

bool Refuse(CInputError& error, const QString& file, const QString& reason) {
    error = {file, reason};
    return false;
}

QString OpenReason(OpenProblem problem) {
    switch (problem) {
        case OpenProblem::NotFound:
            return QStringLiteral("file not found");
        case OpenProblem::NotRegular:
            return QStringLiteral("not a regular file");
        default:
            return QStringLiteral("cannot be read: ") +
                   QString::fromStdString(SystemErrorText(errno));
    }
}

// Reads a whole regular file of at most `limit` bytes.
bool ReadFileBytes(const std::string& path, std::uintmax_t limit, QByteArray& out,
                   QString& reason) {
    OpenProblem problem = OpenProblem::None;
    std::uint64_t size = 0;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        OpenRegularFileStream(path, problem, size), &std::fclose);
    if (!file) {
        reason = OpenReason(problem);
        return false;
    }
    if (size > limit) {
        reason = QStringLiteral("too large for an album description");
        return false;
    }
    out.resize(static_cast<qsizetype>(size));
    const std::size_t got = std::fread(out.data(), 1, out.size(), file.get());
    if (std::ferror(file.get())) {
        reason = QStringLiteral("cannot be read");
        return false;
    }
    out.resize(static_cast<qsizetype>(got));  // a file that shrank since holds what is there
    return true;
}

void NoteChange(QStringList& changes, const QString& what, const std::string& text, bool isTitle) {
    const std::string clean = isTitle ? CleanTitle(text) : CleanNote(text);
    if (clean == text) {
        return;
    }
    changes << (isTitle ? QStringLiteral("%1: line breaks and control characters become spaces, "
                                         "zero bytes are dropped")
                        : QStringLiteral("%1: zero bytes are dropped"))
                   .arg(what);
}

}  // namespace

bool ReadAlbumJson(const QString& jsonPath, CAlbum& album, CInputError& error) {
    const std::string path = PathToSystem(jsonPath);
    QByteArray text;
    QString reason;
    if (!ReadFileBytes(path, kMaxJsonBytes, text, reason)) {
        return Refuse(error, jsonPath, reason);
    }
    std::string problem;
    const std::string folder = fs::absolute(fs::path(path)).parent_path().string();
    if (!ReadAlbumProject(std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                          folder, album, problem)) {
        return Refuse(error, jsonPath, QString::fromStdString(problem));
    }
    return true;
}

bool CheckPictureFiles(const CAlbum& album, CInputError& error) {
    std::string refused;
    std::string reason;
    if (!CheckPictureNames(album, refused, reason)) {
        return Refuse(error, PathFromSystem(refused), QString::fromStdString(reason));
    }
    for (std::size_t i = 0; i < album.Count(); ++i) {
        const std::string& path = album.At(i)->m_sourcePath;
        const QString name = PathFromSystem(path);
        OpenProblem problem = OpenProblem::None;
        std::uint64_t size = 0;
        const int fd = OpenRegularFile(path, problem, size);
        if (fd < 0) {
            return Refuse(error, name, OpenReason(problem));
        }
        ::close(fd);
    }
    return true;
}

QStringList TextChanges(const CAlbum& album) {
    QStringList changes;
    NoteChange(changes, QStringLiteral("album title"), album.Title(), true);
    NoteChange(changes, QStringLiteral("album note"), album.Note(), false);
    for (std::size_t i = 0; i < album.Count(); ++i) {
        const QString picture = QStringLiteral("picture %1 ").arg(i + 1);
        NoteChange(changes, picture + QStringLiteral("title"), album.At(i)->m_title, true);
        NoteChange(changes, picture + QStringLiteral("note"), album.At(i)->m_note, false);
    }
    return changes;
}
