#include "cli/album_json.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "album/album_project.h"
#include "album/picture_preparation.h"
#include "platform/system_path.h"

namespace fs = std::filesystem;

namespace {

// The largest album description read: far more than 1000 pictures need.
constexpr std::uintmax_t kMaxJsonBytes = 64u << 20;

bool Refuse(CInputError& error, const QString& file, const QString& reason) {
    error = {file, reason};
    return false;
}

// Reads a whole file of at most `limit` bytes.
bool ReadFileBytes(const std::string& path, std::uintmax_t limit, QByteArray& out, QString& reason) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) {
        reason = QStringLiteral("file not found");
        return false;
    }
    if (status.type() != fs::file_type::regular) {
        reason = QStringLiteral("not a regular file");
        return false;
    }
    if (fs::file_size(path, ec) > limit) {
        reason = QStringLiteral("too large for an album description");
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        reason = QStringLiteral("cannot be read");
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        reason = QStringLiteral("cannot be read");
        return false;
    }
    out = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
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
    for (std::size_t i = 0; i < album.Count(); ++i) {
        const std::string& path = album.At(i)->m_sourcePath;
        const QString name = PathFromSystem(path);
        if (!HasPictureExtension(path)) {
            return Refuse(error, name, QStringLiteral("not a .jpg, .jpeg, .bmp, .gif, .png, .webp, .heic or .heif file"));
        }
        std::error_code ec;
        const fs::file_status status = fs::status(path, ec);
        if (status.type() == fs::file_type::not_found) {
            return Refuse(error, name, QStringLiteral("file not found"));
        }
        if (status.type() != fs::file_type::regular) {
            return Refuse(error, name, QStringLiteral("not a regular file"));
        }
        std::ifstream probe(path, std::ios::binary);
        if (!probe) {
            return Refuse(error, name, QStringLiteral("cannot be read"));
        }
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
