#include "cli/album_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

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

// Line and column (from 1) of a byte offset in UTF-8 text.
QString Position(const QByteArray& text, qsizetype offset) {
    int line = 1;
    int column = 1;
    for (qsizetype i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return QStringLiteral("line %1, column %2").arg(line).arg(column);
}

bool ReadInt(const QJsonValue& value, int& out) {
    if (!value.isDouble()) {
        return false;
    }
    const double d = value.toDouble();
    if (d != static_cast<double>(static_cast<long long>(d)) || d < -2147483648.0 || d > 2147483647.0) {
        return false;
    }
    out = static_cast<int>(d);
    return true;
}

bool ReadPair(const QJsonValue& value, int& a, int& b) {
    const QJsonArray array = value.toArray();
    return value.isArray() && array.size() == 2 && ReadInt(array[0], a) && ReadInt(array[1], b);
}

bool ReadText(const QJsonObject& object, const char* key, std::string& out, const QString& where,
              const QString& file, CInputError& error) {
    const QJsonValue value = object[QLatin1String(key)];
    if (value.isUndefined()) {
        return true;
    }
    if (!value.isString()) {
        return Refuse(error, file, where + QStringLiteral("\"%1\" must be a string").arg(QLatin1String(key)));
    }
    out = value.toString().toStdString();
    return true;
}

bool ReadFlag(const QJsonObject& object, const char* key, std::uint8_t& out, const QString& where,
              const QString& file, CInputError& error) {
    const QJsonValue value = object[QLatin1String(key)];
    if (value.isUndefined()) {
        return true;
    }
    if (!value.isBool()) {
        return Refuse(error, file,
                      where + QStringLiteral("\"%1\" must be true or false").arg(QLatin1String(key)));
    }
    out = value.toBool() ? 1 : 0;
    return true;
}

bool ReadSlider(const QJsonObject& object, const char* key, std::int16_t& out, const QString& where,
                const QString& file, CInputError& error) {
    const QJsonValue value = object[QLatin1String(key)];
    int number = 0;
    if (value.isUndefined()) {
        return true;
    }
    if (!ReadInt(value, number) || number < kSliderMin || number > kSliderMax) {
        return Refuse(error, file,
                      where + QStringLiteral("\"%1\" is out of range (%2 to %3)")
                                  .arg(QLatin1String(key))
                                  .arg(kSliderMin)
                                  .arg(kSliderMax));
    }
    out = static_cast<std::int16_t>(number);
    return true;
}

bool ReadPicture(const QJsonValue& value, const fs::path& base, const QString& where,
                 const QString& file, CAlbumImage& entry, CInputError& error) {
    if (!value.isObject()) {
        return Refuse(error, file, where + QStringLiteral("must be a JSON object"));
    }
    const QJsonObject p = value.toObject();
    const QJsonValue pathValue = p[QLatin1String("path")];
    if (!pathValue.isString() || pathValue.toString().isEmpty()) {
        return Refuse(error, file, where + QStringLiteral("\"path\" must be a file name"));
    }
    entry.m_sourcePath = (base / fs::path(pathValue.toString().toStdString())).lexically_normal().string();
    entry.m_title = PictureTitle(entry.m_sourcePath);
    if (!ReadText(p, "title", entry.m_title, where, file, error) ||
        !ReadText(p, "note", entry.m_note, where, file, error) ||
        !ReadSlider(p, "brightness", entry.m_brightness, where, file, error) ||
        !ReadSlider(p, "contrast", entry.m_contrast, where, file, error) ||
        !ReadFlag(p, "dither", entry.m_dither, where, file, error) ||
        !ReadFlag(p, "crop", entry.m_crop, where, file, error)) {
        return false;
    }
    int a = 0;
    int b = 0;
    if (p.contains(QLatin1String("depth"))) {
        if (!ReadInt(p[QLatin1String("depth")], a) || !IsStoredDepth(a)) {
            return Refuse(error, file, where + QStringLiteral("\"depth\" is out of range (4, 8 or 16)"));
        }
        entry.m_colorDepth = static_cast<std::uint8_t>(a);
    }
    if (p.contains(QLatin1String("limit"))) {
        if (!ReadPair(p[QLatin1String("limit")], a, b) || !IsValidSizeLimit(a, b)) {
            return Refuse(error, file,
                          where + QStringLiteral("\"limit\" is out of range (%1..%2 x %3..%4)")
                                      .arg(kMinLimitWidth)
                                      .arg(kMaxLimitWidth)
                                      .arg(kMinLimitHeight)
                                      .arg(kMaxLimitHeight));
        }
        entry.m_sizeLimitWidth = static_cast<std::int16_t>(a);
        entry.m_sizeLimitHeight = static_cast<std::int16_t>(b);
    }
    if (p.contains(QLatin1String("offset"))) {
        if (!ReadPair(p[QLatin1String("offset")], a, b) || a < 0 || b < 0) {
            return Refuse(error, file, where + QStringLiteral("\"offset\" must be two numbers of 0 or more"));
        }
        entry.m_horizontalOffset = a;
        entry.m_verticalOffset = b;
    }
    return true;
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
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        // The reader stops just past the character it could not take (or, for a bad number,
        // at the blank before it): name that character.
        qsizetype at = std::max(0, parseError.offset - 1);
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' ||
                                    text[at] == '\n')) {
            ++at;
        }
        return Refuse(error, jsonPath,
                      QStringLiteral("malformed JSON at %1: %2")
                          .arg(Position(text, at), parseError.errorString()));
    }
    if (!document.isObject()) {
        return Refuse(error, jsonPath, QStringLiteral("the album must be a JSON object"));
    }
    const QJsonObject object = document.object();
    const fs::path base = fs::absolute(fs::path(path)).parent_path();

    album.Clear();
    std::string title = album.Title();
    std::string note;
    if (!ReadText(object, "title", title, {}, jsonPath, error) ||
        !ReadText(object, "note", note, {}, jsonPath, error)) {
        return false;
    }
    album.SetTitle(title);
    album.SetNote(note);
    int iconIndex = 0;
    bool blackIcon = false;
    if (object.contains(QLatin1String("icon"))) {
        const QJsonValue icon = object[QLatin1String("icon")];
        int index = 0;
        if (icon.isNull()) {
            blackIcon = true;
        } else if (ReadInt(icon, index)) {
            iconIndex = index;
        } else {
            return Refuse(error, jsonPath, QStringLiteral("\"icon\" must be a picture index or null"));
        }
    }
    const QJsonValue pictures = object[QLatin1String("pictures")];
    if (!pictures.isUndefined() && !pictures.isArray()) {
        return Refuse(error, jsonPath, QStringLiteral("\"pictures\" must be an array"));
    }
    const QJsonArray list = pictures.toArray();
    if (static_cast<std::size_t>(list.size()) > kMaxPictures) {
        return Refuse(error, jsonPath,
                      QStringLiteral("%1 pictures; an album holds at most %2").arg(list.size()).arg(kMaxPictures));
    }
    for (qsizetype i = 0; i < list.size(); ++i) {
        auto entry = std::make_unique<CAlbumImage>();
        if (!ReadPicture(list[i], base, QStringLiteral("picture %1: ").arg(i + 1), jsonPath, *entry, error)) {
            return false;
        }
        if (album.Append(std::move(entry)) == nullptr) {
            return Refuse(error, jsonPath, QStringLiteral("out of memory"));
        }
    }
    if (!blackIcon && !album.IsEmpty()) {
        if (iconIndex < 0 || static_cast<std::size_t>(iconIndex) >= album.Count()) {
            return Refuse(error, jsonPath,
                          QStringLiteral("\"icon\" %1 names no picture (0 to %2)")
                              .arg(iconIndex)
                              .arg(album.Count() - 1));
        }
        album.SetIconSource(album.At(static_cast<std::size_t>(iconIndex))->m_sourcePath);
    }
    return true;
}

bool CheckPictureFiles(const CAlbum& album, CInputError& error) {
    for (std::size_t i = 0; i < album.Count(); ++i) {
        const std::string& path = album.At(i)->m_sourcePath;
        const QString name = PathFromSystem(path);
        if (!HasPictureExtension(path)) {
            return Refuse(error, name, QStringLiteral("not a .jpg, .jpeg, .bmp or .gif file"));
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
