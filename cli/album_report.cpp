#include "cli/album_report.h"

#include <QBuffer>
#include <QDateTime>
#include <QImage>
#include <QJsonArray>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <set>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "album/album_database.h"
#include "album/ansi_text.h"
#include "album/file_output.h"
#include "album/palm_database.h"
#include "decode/drawing.h"
#include "platform/album_file_input.h"
#include "platform/system_path.h"

namespace fs = std::filesystem;

namespace {

constexpr char kOutOfMemory[] = "not enough memory";

QString FourChars(std::uint32_t code) {
    QString s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((code >> shift) & 0xFF);
        s += (c >= 0x20 && c < 0x7F) ? QChar::fromLatin1(c) : QChar(u'?');
    }
    return s;
}

QString PalmDate(std::uint32_t secondsSince1904) {
    const qint64 unix =
        static_cast<qint64>(secondsSince1904) - CPalmDatabase::kSecondsFrom1904To1970;
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

QString Hex(unsigned value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0'));
}

// The files and folders one extract made, removed again unless it finishes.
class CMadeFiles {
public:
    CMadeFiles() = default;
    CMadeFiles(const CMadeFiles&) = delete;
    CMadeFiles& operator=(const CMadeFiles&) = delete;
    ~CMadeFiles() {
        if (m_kept) {
            return;
        }
        for (auto file = m_files.rbegin(); file != m_files.rend(); ++file) {
            ::unlink(file->c_str());
        }
        for (auto folder = m_folders.rbegin(); folder != m_folders.rend(); ++folder) {
            ::rmdir(folder->c_str());
        }
    }

    void AddFile(std::string path) { m_files.push_back(std::move(path)); }
    void AddFolder(std::string path) { m_folders.push_back(std::move(path)); }
    void Keep() { m_kept = true; }

private:
    std::vector<std::string> m_files;
    std::vector<std::string> m_folders;
    bool m_kept = false;
};

// Makes `folder` and the folders above it that are missing.
bool MakeFolder(const std::string& folder, CMadeFiles& made, std::string& reason) {
    std::error_code ec;
    const fs::file_status status = fs::status(folder, ec);
    if (fs::is_directory(status)) {
        return true;
    }
    if (fs::exists(status)) {
        reason = "not a folder";
        return false;
    }
    fs::path partial;
    for (const fs::path& part : fs::path(folder)) {
        partial /= part;
        if (fs::is_directory(partial, ec)) {
            continue;
        }
        if (::mkdir(partial.c_str(), 0777) != 0 &&
            !(errno == EEXIST && fs::is_directory(partial, ec))) {
            reason = "the folder cannot be made: " + SystemErrorText(errno);
            return false;
        }
        made.AddFolder(partial.native());
    }
    return true;
}

bool IsWholeImage(const CRgbImage& image) {
    return image.width > 0 && image.height > 0 &&
           image.rgb.size() == static_cast<std::size_t>(image.width) * image.height * 3;
}

// A family's members as the reader gives them: whole pictures, each deeper than the one
// before, so that no two share a file name.
bool IsWholeFamily(const std::vector<CPalmBitmapInfo>& family) {
    for (std::size_t i = 0; i < family.size(); ++i) {
        if (!IsWholeImage(family[i].image) ||
            (i > 0 && family[i].pixelSize <= family[i - 1].pixelSize)) {
            return false;
        }
    }
    return true;
}

// Whether `name` is one an extract writes: icon_<bits>bit.png, picture_<number>.png or .bmp,
// picture_<number>_thumbnail_<bits>bit.png (the number of three digits or more).
bool IsExtractName(std::string_view name) {
    const auto eat = [&name](std::string_view text) {
        if (name.substr(0, text.size()) != text) {
            return false;
        }
        name.remove_prefix(text.size());
        return true;
    };
    const auto digits = [&name](std::size_t least) {
        std::size_t n = 0;
        while (n < name.size() && name[n] >= '0' && name[n] <= '9') {
            ++n;
        }
        name.remove_prefix(n);
        return n >= least;
    };
    if (eat("icon_")) {
        return digits(1) && name == "bit.png";
    }
    if (!eat("picture_") || !digits(3)) {
        return false;
    }
    return name == ".png" || name == ".bmp" ||
           (eat("_thumbnail_") && digits(1) && name == "bit.png");
}

bool EncodePng(const CRgbImage& image, QByteArray& png) {
    const QImage picture = RgbImageToQImage(image);
    if (picture.isNull()) {
        return false;
    }
    QBuffer buffer(&png);
    return buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "PNG");
}

// One extract: the files go into `m_folder`, all of them whole or none. Each is written in
// full beside its name first, and only when every one is complete do they take their names,
// so a failed extract leaves the files of an earlier one as they were. (Only a rename the
// system refuses at the very end, which it all but never does in one folder, can leave some
// of them replaced.)
class CExtraction {
public:
    CExtraction(std::string folder, QString folderName)
        : m_folder(std::move(folder)), m_folderName(std::move(folderName)) {}

    bool Begin(CInputError& error) {
        std::string reason;
        if (!MakeFolder(m_folder, m_made, reason)) {
            error = {m_folderName, QString::fromStdString(reason)};
            return false;
        }
        return true;
    }

    bool Write(const QString& name, const char* data, std::size_t size, CInputError& error) {
        const std::string path = (fs::path(m_folder) / name.toStdString()).native();
        std::string reason;
        std::unique_ptr<CFileOutput> output = OpenFileOutput(path, reason);
        const bool written = output != nullptr &&
                             output->Write(reinterpret_cast<const std::uint8_t*>(data), size) &&
                             output->Prepare();
        if (!written) {
            error = CannotWrite(path, output != nullptr ? output->Error() : reason);
            return false;
        }
        struct stat existing {};
        const bool isNew = ::lstat(path.c_str(), &existing) != 0;
        m_staged.push_back({path, isNew, std::move(output)});
        return true;
    }

    bool WritePng(const QString& name, const CRgbImage& image, CInputError& error) {
        QByteArray png;
        if (!EncodePng(image, png)) {
            error = {PathFromSystem((fs::path(m_folder) / name.toStdString()).native()),
                     QStringLiteral("cannot be written: the picture cannot be encoded")};
            return false;
        }
        return Write(name, png.constData(), static_cast<std::size_t>(png.size()), error);
    }

    // Gives every file its name; the count of files, or -1 with `error`.
    int Finish(CInputError& error) {
        for (CStaged& file : m_staged) {
            if (!file.output->Commit()) {
                error = CannotWrite(file.path, file.output->Error());
                return -1;
            }
            if (file.isNew) {
                m_made.AddFile(file.path);
            }
        }
        m_made.Keep();
        RemoveEarlierFiles();
        return static_cast<int>(m_staged.size());
    }

private:
    struct CStaged {
        std::string path;
        bool isNew;  // nothing had the name before: a failed extract removes it again
        std::unique_ptr<CFileOutput> output;
    };

    // The files of an earlier extract this one did not replace (one of more pictures, or
    // deeper thumbnails), so that the folder does not mix two albums. Only our own names, and
    // only plain files: anything else there is the user's.
    void RemoveEarlierFiles() const {
        std::set<std::string> ours;
        for (const CStaged& file : m_staged) {
            ours.insert(fs::path(file.path).filename().native());
        }
        std::error_code ec;
        std::vector<fs::path> earlier;
        for (fs::directory_iterator it(m_folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().native();
            if (IsExtractName(name) && ours.count(name) == 0 &&
                it->symlink_status(ec).type() == fs::file_type::regular) {
                earlier.push_back(it->path());
            }
        }
        for (const fs::path& file : earlier) {
            ::unlink(file.c_str());
        }
    }

    static CInputError CannotWrite(const std::string& path, const std::string& reason) {
        return {PathFromSystem(path),
                QStringLiteral("cannot be written: %1").arg(QString::fromStdString(reason))};
    }

    std::string m_folder;
    QString m_folderName;
    CMadeFiles m_made;  // destroyed after the staged files, whose leftovers go first
    std::vector<CStaged> m_staged;
};

bool ExtractChecked(CAlbumFileInput& input, const QString& folder, int& written,
                    CInputError& error) {
    const CAlbumFile& album = input.Album();
    CExtraction extraction(PathToSystem(folder), folder);
    if (!extraction.Begin(error)) {
        return false;
    }
    for (const CPalmBitmapInfo& member : album.icon) {
        if (!extraction.WritePng(QStringLiteral("icon_%1bit.png").arg(member.pixelSize),
                                 member.image, error)) {
            return false;
        }
    }
    int number = 0;
    for (const CAlbumPicture& p : album.pictures) {
        const QString stem = QStringLiteral("picture_%1").arg(++number, 3, 10, QLatin1Char('0'));
        // One picture in memory at a time, as read, decoded and written.
        std::vector<std::uint8_t> stored;
        CRgbImage image;
        std::string why;
        if (!input.ReadImage(static_cast<std::size_t>(number - 1), stored, why) ||
            !DecodeStoredImage(stored, image, why)) {
            error = {{},
                     QStringLiteral("picture %1: %2").arg(number).arg(QString::fromStdString(why))};
            return false;
        }
        if (!extraction.WritePng(stem + QStringLiteral(".png"), image, error) ||
            !extraction.Write(stem + QStringLiteral(".bmp"),
                              reinterpret_cast<const char*>(stored.data()), stored.size(), error)) {
            return false;
        }
        for (const CPalmBitmapInfo& member : p.thumbnails) {
            const QString name =
                stem + QStringLiteral("_thumbnail_%1bit.png").arg(member.pixelSize);
            if (!extraction.WritePng(name, member.image, error)) {
                return false;
            }
        }
    }
    written = extraction.Finish(error);
    return written >= 0;
}

}  // namespace

QString VisibleText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if (c.isSurrogate()) {
            // A byte of a file name that is not UTF-8, as PathFromSystem carries it.
            const std::string bytes = PathToSystem(QString(c));
            out += bytes.size() == 1
                       ? QStringLiteral("\\x") + Hex(static_cast<unsigned char>(bytes[0]), 2)
                       : QStringLiteral("\\u") + Hex(u, 4);
        } else if (u == u'\n') {
            out += QStringLiteral("\\n");
        } else if (u == u'\r') {
            out += QStringLiteral("\\r");
        } else if (u == u'\t') {
            out += QStringLiteral("\\t");
        } else if (u < 0x20 || (u >= 0x7F && u <= 0x9F)) {
            out += QStringLiteral("\\x") + Hex(u, 2);
        } else {
            out += c;
        }
    }
    return out;
}

QString MessageName(const QString& path) {
    const QString visible = VisibleText(path);
    return visible == path ? path : QLatin1Char('\'') + visible + QLatin1Char('\'');
}

bool OpenAlbumFile(const QString& path, CAlbumFileInput& album, CInputError& error) {
    std::string why;
    if (!album.Open(PathToSystem(path), why)) {
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
    // A name that is not UTF-8 has no exact text: its bytes go as the characters of their
    // numbers (Latin-1), which a reader turns back into the bytes, and the mark says so.
    const std::string bytes = PathToSystem(path);
    const bool utf8 = IsValidUtf8(bytes);
    QJsonObject report{
        {QStringLiteral("file"),
         utf8 ? path : QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()))},
        {QStringLiteral("database"), database},
        {QStringLiteral("album"),
         QJsonObject{{QStringLiteral("title"), title},
                     {QStringLiteral("note"), note},
                     {QStringLiteral("created"), UnixDate(album.created)},
                     {QStringLiteral("pictureCount"), static_cast<int>(album.pictures.size())},
                     {QStringLiteral("index"), index}}},
        {QStringLiteral("pictures"), pictures},
    };
    if (!utf8) {
        report.insert(QStringLiteral("fileNotUtf8"), true);
    }
    return report;
}

QString DescribeAlbum(const QString& path, const CAlbumFile& album) {
    const CPdbFile& db = album.database;
    QString out;
    out += QStringLiteral("File:      %1\n").arg(VisibleText(path));
    out += QStringLiteral("Database:  %1 (type %2, creator %3), %4 records\n")
               .arg(VisibleText(QString::fromLatin1(db.name.c_str())), FourChars(db.type),
                    FourChars(db.creator))
               .arg(db.records.size());
    out +=
        QStringLiteral("Dates:     created %1, modified %2, backed up %3\n")
            .arg(PalmDate(db.creationDate), PalmDate(db.modificationDate), PalmDate(db.backupDate));
    const auto [title, note] = SplitText(album.text);
    out += QStringLiteral("Album:     \"%1\", note \"%2\"\n")
               .arg(VisibleText(title), VisibleText(note));
    out += QStringLiteral("Pictures:  %1\n").arg(album.pictures.size());
    QStringList index;
    for (const CAlbumPicture& p : album.pictures) {
        index << QStringLiteral("%1+%2").arg(p.firstRecord).arg(p.recordCount);
    }
    out += QStringLiteral("Index:     %1\n")
               .arg(index.isEmpty() ? QStringLiteral("(empty)") : index.join(u' '));
    int number = 1;
    for (const CAlbumPicture& p : album.pictures) {
        const auto [pictureTitle, pictureNote] = SplitText(p.text);
        QStringList sizes;
        for (int k = 0; k < p.recordCount; ++k) {
            sizes << QString::number(db.records[p.firstRecord + k].size);
        }
        out += QStringLiteral(
                   "Picture %1: \"%2\", note \"%3\", %4-bit, %5 x %6, records %7-%8 (%9 bytes)\n")
                   .arg(number++)
                   .arg(VisibleText(pictureTitle), VisibleText(pictureNote))
                   .arg(p.depth)
                   .arg(p.width)
                   .arg(p.height)
                   .arg(p.firstRecord)
                   .arg(p.firstRecord + p.recordCount - 1)
                   .arg(sizes.join(QStringLiteral(", ")));
    }
    return out;
}

bool ExtractAlbum(CAlbumFileInput& input, const QString& folder, int& written, CInputError& error) {
    written = 0;
    const CAlbumFile& album = input.Album();
    // What the index holds is checked first: a damaged picture must not leave half an
    // extract behind.
    if (!IsWholeFamily(album.icon)) {
        error = {{}, QStringLiteral("the album icon is damaged")};
        return false;
    }
    int number = 1;
    for (const CAlbumPicture& p : album.pictures) {
        if (!IsWholeFamily(p.thumbnails)) {
            error = {{}, QStringLiteral("picture %1: its thumbnail is damaged").arg(number)};
            return false;
        }
        ++number;
    }
    try {
        return ExtractChecked(input, folder, written, error);
    } catch (const std::bad_alloc&) {
        error = {{}, QLatin1String(kOutOfMemory)};
        return false;
    }
}
