#include "cli/album_report.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QSaveFile>

#include "album/album_database.h"
#include "album/ansi_text.h"
#include "album/palm_database.h"

namespace {

constexpr qint64 kMaxAlbumFileBytes = 1ll << 31;

QString FourChars(std::uint32_t code) {
    QString s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((code >> shift) & 0xFF);
        s += (c >= 0x20 && c < 0x7F) ? QChar::fromLatin1(c) : QChar(u'?');
    }
    return s;
}

QString PalmDate(std::uint32_t secondsSince1904) {
    const qint64 unix = static_cast<qint64>(secondsSince1904) - CPalmDatabase::kSecondsFrom1904To1970;
    return QDateTime::fromSecsSinceEpoch(unix, Qt::UTC).toString(Qt::ISODate);
}

QString UnixDate(std::uint32_t seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(Qt::ISODate);
}

// Title and note of a stored text (title, line feed, note).
std::pair<QString, QString> SplitText(const std::string& stored) {
    const QString text = QString::fromStdString(Cp1252ToUtf8(stored));
    const qsizetype lf = text.indexOf(QLatin1Char('\n'));
    if (lf < 0) {
        return {text, QString()};
    }
    return {text.left(lf), text.mid(lf + 1)};
}

QImage ToQImage(const CRgbImage& image) {
    QImage out(image.width, image.height, QImage::Format_RGB888);
    if (out.isNull()) {
        return out;
    }
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(out.scanLine(y), image.rgb.data() + static_cast<std::size_t>(y) * image.width * 3,
                    static_cast<std::size_t>(image.width) * 3);
    }
    return out;
}

bool SavePng(const CRgbImage& image, const QString& path) {
    if (image.width <= 0 || image.height <= 0) {
        return false;
    }
    const QImage picture = ToQImage(image);
    return !picture.isNull() && picture.save(path, "PNG");
}

}  // namespace

bool LoadAlbumFile(const QString& path, CAlbumFile& album, CInputError& error) {
    QFile file(path);
    if (!file.exists()) {
        error = {path, QStringLiteral("file not found")};
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error = {path, QStringLiteral("cannot be read")};
        return false;
    }
    if (file.size() > kMaxAlbumFileBytes) {
        error = {path, QStringLiteral("too large for an album file")};
        return false;
    }
    const QByteArray data = file.readAll();
    const std::vector<std::uint8_t> bytes(data.begin(), data.end());
    std::string why;
    if (!ReadAlbumFile(bytes, album, why)) {
        error = {path, QString::fromStdString(why)};
        return false;
    }
    return true;
}

QJsonObject AlbumToJson(const QString& path, const CAlbumFile& album) {
    const CPdbFile& db = album.database;
    QJsonObject database{
        {QStringLiteral("name"), QString::fromLatin1(db.name.c_str())},
        {QStringLiteral("type"), FourChars(db.type)},
        {QStringLiteral("creator"), FourChars(db.creator)},
        {QStringLiteral("created"), PalmDate(db.creationDate)},
        {QStringLiteral("modified"), PalmDate(db.modificationDate)},
        {QStringLiteral("backedUp"), PalmDate(db.backupDate)},
        {QStringLiteral("records"), static_cast<int>(db.records.size())},
    };
    const auto [title, note] = SplitText(album.text);
    QJsonArray index;
    QJsonArray pictures;
    for (const CAlbumPicture& p : album.pictures) {
        index.append(QJsonArray{p.firstRecord, p.recordCount});
        const auto [pictureTitle, pictureNote] = SplitText(p.text);
        QJsonArray records;
        for (int k = 0; k < p.recordCount; ++k) {
            records.append(static_cast<qint64>(db.records[p.firstRecord + k].size));
        }
        pictures.append(QJsonObject{
            {QStringLiteral("title"), pictureTitle},
            {QStringLiteral("note"), pictureNote},
            {QStringLiteral("depth"), p.depth},
            {QStringLiteral("width"), p.width},
            {QStringLiteral("height"), p.height},
            {QStringLiteral("firstRecord"), p.firstRecord},
            {QStringLiteral("recordSizes"), records},
        });
    }
    return QJsonObject{
        {QStringLiteral("file"), path},
        {QStringLiteral("database"), database},
        {QStringLiteral("album"),
         QJsonObject{{QStringLiteral("title"), title},
                     {QStringLiteral("note"), note},
                     {QStringLiteral("created"), UnixDate(album.created)},
                     {QStringLiteral("pictureCount"), static_cast<int>(album.pictures.size())},
                     {QStringLiteral("index"), index}}},
        {QStringLiteral("pictures"), pictures},
    };
}

QString DescribeAlbum(const QString& path, const CAlbumFile& album) {
    const CPdbFile& db = album.database;
    QString out;
    out += QStringLiteral("File:      %1\n").arg(path);
    out += QStringLiteral("Database:  %1 (type %2, creator %3), %4 records\n")
               .arg(QString::fromLatin1(db.name.c_str()), FourChars(db.type), FourChars(db.creator))
               .arg(db.records.size());
    out += QStringLiteral("Dates:     created %1, modified %2, backed up %3\n")
               .arg(PalmDate(db.creationDate), PalmDate(db.modificationDate), PalmDate(db.backupDate));
    const auto [title, note] = SplitText(album.text);
    out += QStringLiteral("Album:     \"%1\", note \"%2\"\n").arg(title, note);
    out += QStringLiteral("Pictures:  %1\n").arg(album.pictures.size());
    QStringList index;
    for (const CAlbumPicture& p : album.pictures) {
        index << QStringLiteral("%1+%2").arg(p.firstRecord).arg(p.recordCount);
    }
    out += QStringLiteral("Index:     %1\n").arg(index.isEmpty() ? QStringLiteral("(empty)") : index.join(u' '));
    int number = 1;
    for (const CAlbumPicture& p : album.pictures) {
        const auto [pictureTitle, pictureNote] = SplitText(p.text);
        QStringList sizes;
        for (int k = 0; k < p.recordCount; ++k) {
            sizes << QString::number(db.records[p.firstRecord + k].size);
        }
        out += QStringLiteral("Picture %1: \"%2\", note \"%3\", %4-bit, %5 x %6, records %7-%8 (%9 bytes)\n")
                   .arg(number++)
                   .arg(pictureTitle, pictureNote)
                   .arg(p.depth)
                   .arg(p.width)
                   .arg(p.height)
                   .arg(p.firstRecord)
                   .arg(p.firstRecord + p.recordCount - 1)
                   .arg(sizes.join(QStringLiteral(", ")));
    }
    return out;
}

bool ExtractAlbum(const CAlbumFile& album, const QString& folder, int& written, CInputError& error) {
    written = 0;
    QDir dir(folder);
    if (!dir.exists() && !QDir().mkpath(folder)) {
        error = {folder, QStringLiteral("the folder cannot be made")};
        return false;
    }
    auto fail = [&](const QString& file) {
        error = {dir.filePath(file), QStringLiteral("cannot be written")};
        return false;
    };
    for (const CPalmBitmapInfo& member : album.icon) {
        const QString name = QStringLiteral("icon_%1bit.png").arg(member.pixelSize);
        if (!SavePng(member.image, dir.filePath(name))) {
            return fail(name);
        }
        ++written;
    }
    int number = 1;
    for (const CAlbumPicture& p : album.pictures) {
        const QString stem = QStringLiteral("picture_%1").arg(number++, 3, 10, QLatin1Char('0'));
        CRgbImage image;
        std::string why;
        if (!DecodeStoredImage(p.image, image, why)) {
            error = {stem, QString::fromStdString(why)};
            return false;
        }
        if (!SavePng(image, dir.filePath(stem + QStringLiteral(".png")))) {
            return fail(stem + QStringLiteral(".png"));
        }
        QSaveFile bmp(dir.filePath(stem + QStringLiteral(".bmp")));
        if (!bmp.open(QIODevice::WriteOnly) ||
            bmp.write(reinterpret_cast<const char*>(p.image.data()),
                      static_cast<qint64>(p.image.size())) != static_cast<qint64>(p.image.size()) ||
            !bmp.commit()) {
            return fail(stem + QStringLiteral(".bmp"));
        }
        written += 2;
        for (const CPalmBitmapInfo& member : p.thumbnails) {
            const QString name = stem + QStringLiteral("_thumbnail_%1bit.png").arg(member.pixelSize);
            if (!SavePng(member.image, dir.filePath(name))) {
                return fail(name);
            }
            ++written;
        }
    }
    return true;
}
