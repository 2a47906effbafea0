#include "cli/album_request.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int kSliderMax = 255;
constexpr int kMinLimit = 160;
constexpr int kMaxLimitWidth = 1280;
constexpr int kMaxLimitHeight = 1024;

bool Refuse(CInputError& error, const QString& file, const QString& reason) {
    error = {file, reason};
    return false;
}

// Line and column (from 1) of a byte offset in UTF-8 text.
QString Position(const QByteArray& text, int offset) {
    int line = 1;
    int column = 1;
    for (int i = 0; i < offset && i < text.size(); ++i) {
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

}  // namespace

QString TitleFromPath(const QString& path) { return QFileInfo(path).completeBaseName(); }

bool HasPictureExtension(const QString& path) {
    const QString name = QFileInfo(path).fileName().toLower();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) {
        return false;
    }
    const QString extension = name.mid(dot);
    return extension == QLatin1String(".jpg") || extension == QLatin1String(".jpeg") ||
           extension == QLatin1String(".bmp") || extension == QLatin1String(".gif");
}

bool IsValidSizeLimit(int width, int height) {
    return width >= kMinLimit && width <= kMaxLimitWidth && height >= kMinLimit &&
           height <= kMaxLimitHeight;
}

bool ReadAlbumJson(const QString& jsonPath, CAlbumRequest& request, CInputError& error) {
    QFile file(jsonPath);
    if (!file.exists()) {
        return Refuse(error, jsonPath, QStringLiteral("file not found"));
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return Refuse(error, jsonPath, QStringLiteral("cannot be read"));
    }
    const QByteArray text = file.readAll();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        // The reader stops just past the character it could not take (or, for a bad number,
        // at the blank before it): name that character.
        int at = std::max(0, parseError.offset - 1);
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
    const QJsonObject album = document.object();
    const QDir base = QFileInfo(jsonPath).absoluteDir();

    request = CAlbumRequest();
    if (album.contains(QLatin1String("title"))) {
        if (!album[QLatin1String("title")].isString()) {
            return Refuse(error, jsonPath, QStringLiteral("\"title\" must be a string"));
        }
        request.title = album[QLatin1String("title")].toString();
    }
    if (album.contains(QLatin1String("note"))) {
        if (!album[QLatin1String("note")].isString()) {
            return Refuse(error, jsonPath, QStringLiteral("\"note\" must be a string"));
        }
        request.note = album[QLatin1String("note")].toString();
    }
    if (album.contains(QLatin1String("icon"))) {
        const QJsonValue icon = album[QLatin1String("icon")];
        int index = 0;
        if (icon.isNull()) {
            request.iconIndex.reset();
        } else if (ReadInt(icon, index)) {
            request.iconIndex = index;
        } else {
            return Refuse(error, jsonPath,
                          QStringLiteral("\"icon\" must be a picture index or null"));
        }
    }
    const QJsonValue pictures = album[QLatin1String("pictures")];
    if (!pictures.isUndefined() && !pictures.isArray()) {
        return Refuse(error, jsonPath, QStringLiteral("\"pictures\" must be an array"));
    }
    const QJsonArray list = pictures.toArray();
    if (list.size() > kMaxAlbumPictures) {
        return Refuse(error, jsonPath,
                      QStringLiteral("%1 pictures; an album holds at most %2")
                          .arg(list.size())
                          .arg(kMaxAlbumPictures));
    }
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString where = QStringLiteral("picture %1: ").arg(i + 1);
        if (!list[i].isObject()) {
            return Refuse(error, jsonPath, where + QStringLiteral("must be a JSON object"));
        }
        const QJsonObject p = list[i].toObject();
        if (!p[QLatin1String("path")].isString() || p[QLatin1String("path")].toString().isEmpty()) {
            return Refuse(error, jsonPath, where + QStringLiteral("\"path\" must be a file name"));
        }
        CPictureRequest picture;
        picture.path = QDir::cleanPath(base.absoluteFilePath(p[QLatin1String("path")].toString()));
        CAlbumImage& e = picture.entry;
        e.m_title = TitleFromPath(picture.path).toStdString();
        for (const char* key : {"title", "note"}) {
            const QJsonValue v = p[QLatin1String(key)];
            if (v.isUndefined()) {
                continue;
            }
            if (!v.isString()) {
                return Refuse(error, jsonPath,
                              where + QStringLiteral("\"%1\" must be a string").arg(QLatin1String(key)));
            }
            (std::string(key) == "title" ? e.m_title : e.m_note) = v.toString().toStdString();
        }
        int a = 0;
        int b = 0;
        struct IntField {
            const char* key;
            int low;
            int high;
        };
        const IntField fields[] = {{"depth", 4, 16}, {"brightness", 0, kSliderMax},
                                   {"contrast", 0, kSliderMax}};
        for (const auto& f : fields) {
            const QJsonValue v = p[QLatin1String(f.key)];
            if (v.isUndefined()) {
                continue;
            }
            if (!ReadInt(v, a) || a < f.low || a > f.high ||
                (std::string(f.key) == "depth" && a != 4 && a != 8 && a != 16)) {
                return Refuse(error, jsonPath,
                              where + QStringLiteral("\"%1\" is out of range (%2)")
                                          .arg(QLatin1String(f.key),
                                               std::string(f.key) == "depth"
                                                   ? QStringLiteral("4, 8 or 16")
                                                   : QStringLiteral("0 to 255")));
            }
            if (std::string(f.key) == "depth") {
                e.m_colorDepth = static_cast<std::uint8_t>(a);
            } else if (std::string(f.key) == "brightness") {
                e.m_brightness = static_cast<std::int16_t>(a);
            } else {
                e.m_contrast = static_cast<std::int16_t>(a);
            }
        }
        for (const char* key : {"dither", "crop"}) {
            const QJsonValue v = p[QLatin1String(key)];
            if (v.isUndefined()) {
                continue;
            }
            if (!v.isBool()) {
                return Refuse(error, jsonPath,
                              where + QStringLiteral("\"%1\" must be true or false").arg(QLatin1String(key)));
            }
            (std::string(key) == "dither" ? e.m_dither : e.m_crop) = v.toBool() ? 1 : 0;
        }
        if (p.contains(QLatin1String("limit"))) {
            if (!ReadPair(p[QLatin1String("limit")], a, b) || !IsValidSizeLimit(a, b)) {
                return Refuse(error, jsonPath,
                              where + QStringLiteral("\"limit\" is out of range (160..1280 x 160..1024)"));
            }
            e.m_sizeLimitWidth = static_cast<std::int16_t>(a);
            e.m_sizeLimitHeight = static_cast<std::int16_t>(b);
        }
        if (p.contains(QLatin1String("offset"))) {
            if (!ReadPair(p[QLatin1String("offset")], a, b) || a < 0 || b < 0) {
                return Refuse(error, jsonPath,
                              where + QStringLiteral("\"offset\" must be two numbers of 0 or more"));
            }
            e.m_horizontalOffset = a;
            e.m_verticalOffset = b;
        }
        e.m_sourcePath = picture.path.toStdString();
        request.pictures.push_back(std::move(picture));
    }
    return true;
}

bool ValidateAlbumRequest(const CAlbumRequest& request, CInputError& error) {
    if (request.pictures.size() > static_cast<std::size_t>(kMaxAlbumPictures)) {
        return Refuse(error, QString(),
                      QStringLiteral("%1 pictures; an album holds at most %2")
                          .arg(request.pictures.size())
                          .arg(kMaxAlbumPictures));
    }
    if (request.iconIndex && !request.pictures.empty() &&
        (*request.iconIndex < 0 || *request.iconIndex >= static_cast<int>(request.pictures.size()))) {
        return Refuse(error, QString(),
                      QStringLiteral("icon index %1 names no picture (0 to %2)")
                          .arg(*request.iconIndex)
                          .arg(request.pictures.size() - 1));
    }
    for (const CPictureRequest& picture : request.pictures) {
        if (!HasPictureExtension(picture.path)) {
            return Refuse(error, picture.path,
                          QStringLiteral("not a .jpg, .jpeg, .bmp or .gif file"));
        }
        const QFileInfo info(picture.path);
        if (!info.exists()) {
            return Refuse(error, picture.path, QStringLiteral("file not found"));
        }
        if (!info.isFile() || !info.isReadable()) {
            return Refuse(error, picture.path, QStringLiteral("cannot be read"));
        }
    }
    return true;
}
