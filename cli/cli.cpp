#include "cli/cli.h"

#include <QCommandLineParser>
#include <QFileDevice>
#include <QJsonDocument>
#include <array>
#include <exception>
#include <filesystem>
#include <new>
#include <optional>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "album/album_build.h"
#include "album/clock.h"
#include "album/file_output.h"
#include "album/picture_preparation.h"
#include "cli/album_json.h"
#include "cli/album_report.h"
#include "decode/picture_loader.h"
#include "imaging/picture_formats.h"
#include "platform/system_path.h"
#include "tavelo_version.h"

namespace fs = std::filesystem;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 2;
// Builds shorter than this show no progress line.
constexpr std::size_t kProgressFrom = 8;

const char* const kUsage =
    "Usage:\n"
    "  tavelo-cli build -o OUT.pdb [options] PICTURE...\n"
    "  tavelo-cli build --album ALBUM.json -o OUT.pdb\n"
    "  tavelo-cli inspect FILE.pdb [--json]\n"
    "  tavelo-cli extract FILE.pdb -d DIR\n"
    "Run 'tavelo-cli COMMAND --help' for the options of a command.\n";

int Refused(QTextStream& err, const CInputError& error) {
    // One line, whatever the file name or the reason holds.
    err << "tavelo-cli: ";
    if (!error.file.isEmpty()) {
        err << MessageName(error.file) << ": ";
    }
    err << VisibleText(error.reason) << Qt::endl;
    return kExitRefused;
}

int Refused(QTextStream& err, const QString& reason) {
    return Refused(err, CInputError{{}, reason});
}

// Parses a command's arguments; an exit status when that is all there is to do (a refusal, or
// the help text printed).
std::optional<int> Parse(QCommandLineParser& parser, const QStringList& arguments, QTextStream& out,
                         QTextStream& err) {
    if (!parser.parse(arguments)) {
        return Refused(err, parser.errorText());
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out << parser.helpText();
        return kExitOk;
    }
    // An option with a value takes one: of two, the parser would keep the last without a word.
    for (const QString& name : parser.optionNames()) {
        if (parser.values(name).size() > 1) {
            return Refused(
                err, QStringLiteral("%1%2 is given more than once")
                         .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name));
        }
    }
    return std::nullopt;
}

// The options of `build`.
struct CBuildArguments {
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("The album file to write."),
                              QStringLiteral("OUT.pdb")};
    QCommandLineOption albumJson{QStringLiteral("album"),
                                 QStringLiteral("Every setting per picture, from a JSON file."),
                                 QStringLiteral("ALBUM.json")};
    QCommandLineOption title{QStringLiteral("title"),
                             QStringLiteral("Album title (default untitled)."),
                             QStringLiteral("T")};
    QCommandLineOption note{QStringLiteral("note"), QStringLiteral("Album note."),
                            QStringLiteral("N")};
    QCommandLineOption icon{QStringLiteral("icon"),
                            QStringLiteral("Picture (from 0) whose centre becomes the album icon, "
                                           "or none for black (default 0)."),
                            QStringLiteral("N|none")};
    QCommandLineOption depth{QStringLiteral("depth"),
                             QStringLiteral("Colour depth: 4 (grey), 8 or 16 (default 8)."),
                             QStringLiteral("4|8|16")};
    QCommandLineOption brightness{QStringLiteral("brightness"),
                                  QStringLiteral("Brightness slider, 127 neutral."),
                                  QStringLiteral("0..255")};
    QCommandLineOption contrast{QStringLiteral("contrast"),
                                QStringLiteral("Contrast slider, 127 neutral."),
                                QStringLiteral("0..255")};
    QCommandLineOption dither{QStringLiteral("dither"),
                              QStringLiteral("Dither when reducing colours.")};
    QCommandLineOption noCrop{
        QStringLiteral("no-crop"),
        QStringLiteral("Keep the whole fitted picture, not a 160 x 160 window.")};
    QCommandLineOption limit{
        QStringLiteral("limit"),
        QStringLiteral("Size limit, 160x160 up to 1280x1024 (default 160x160)."),
        QStringLiteral("WxH")};
    QCommandLineOption offset{QStringLiteral("offset"),
                              QStringLiteral("Top-left corner of the crop window."),
                              QStringLiteral("X,Y")};
    QCommandLineOption center{QStringLiteral("center"), QStringLiteral("Centre the crop window.")};

    // The options an album description replaces.
    std::array<const QCommandLineOption*, 11> PerPicture() const {
        return {&title,  &note,   &icon,  &depth,  &brightness, &contrast,
                &dither, &noCrop, &limit, &offset, &center};
    }
};

// "W x H" pair written as WxH or X,Y.
bool ParsePair(const QString& text, const QString& separator, int& a, int& b) {
    const QStringList parts = text.split(separator);
    bool okA = false;
    bool okB = false;
    if (parts.size() != 2) {
        return false;
    }
    a = parts[0].trimmed().toInt(&okA);
    b = parts[1].trimmed().toInt(&okB);
    return okA && okB;
}

bool ParseSlider(const QString& text, std::int16_t& value) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 0 || v > 255) {
        return false;
    }
    value = static_cast<std::int16_t>(v);
    return true;
}

// The output must be a new name or a regular file the build may replace, and none of the files
// the build reads.
bool CheckOutput(const QString& output, const CAlbum& album, const QString& albumJson,
                 CInputError& error) {
    const std::string path = PathToSystem(output);
    std::string resolved;
    std::string reason;
    if (!ResolveOutputPath(path, resolved, reason)) {
        error = {output,
                 QStringLiteral("cannot be written: %1").arg(QString::fromStdString(reason))};
        return false;
    }
    const fs::path folder =
        fs::path(resolved).parent_path().empty() ? fs::path(".") : fs::path(resolved).parent_path();
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        error = {output, QStringLiteral("cannot be written: the folder does not take new files")};
        return false;
    }
    if (::access(resolved.c_str(), F_OK) == 0 && ::access(resolved.c_str(), W_OK) != 0) {
        error = {output, QStringLiteral("cannot be written: the file is read-only")};
        return false;
    }
    // The same file by device and inode, whatever names or links lead to it.
    std::error_code ec;
    const auto sameFile = [&](const std::string& other) {
        return fs::exists(resolved, ec) && fs::equivalent(resolved, other, ec);
    };
    if (!albumJson.isEmpty() && sameFile(PathToSystem(albumJson))) {
        error = {output, QStringLiteral("is the album description")};
        return false;
    }
    for (std::size_t i = 0; i < album.Count(); ++i) {
        if (sameFile(album.At(i)->m_sourcePath)) {
            error = {output, QStringLiteral("is one of the album's pictures")};
            return false;
        }
    }
    if (!album.IconSource().empty() && sameFile(album.IconSource())) {
        error = {output, QStringLiteral("is the picture of the album's icon")};
        return false;
    }
    return true;
}

// The pictures of the command line, all with the same settings.
std::optional<int> ReadPictureArguments(const QCommandLineParser& parser,
                                        const CBuildArguments& options, CAlbum& album,
                                        QTextStream& err) {
    CAlbumImage settings;
    if (parser.isSet(options.depth)) {
        const QString d = parser.value(options.depth);
        if (d != QLatin1String("4") && d != QLatin1String("8") && d != QLatin1String("16")) {
            return Refused(err, QStringLiteral("--depth %1 is out of range (4, 8 or 16)").arg(d));
        }
        settings.m_colorDepth = static_cast<std::uint8_t>(d.toInt());
    }
    if (parser.isSet(options.brightness) &&
        !ParseSlider(parser.value(options.brightness), settings.m_brightness)) {
        return Refused(err, QStringLiteral("--brightness %1 is out of range (0 to 255)")
                                .arg(parser.value(options.brightness)));
    }
    if (parser.isSet(options.contrast) &&
        !ParseSlider(parser.value(options.contrast), settings.m_contrast)) {
        return Refused(err, QStringLiteral("--contrast %1 is out of range (0 to 255)")
                                .arg(parser.value(options.contrast)));
    }
    settings.m_dither = parser.isSet(options.dither) ? 1 : 0;
    settings.m_crop = parser.isSet(options.noCrop) ? 0 : 1;
    int a = 0;
    int b = 0;
    if (parser.isSet(options.limit)) {
        if (!ParsePair(parser.value(options.limit).toLower(), QStringLiteral("x"), a, b) ||
            !IsValidSizeLimit(a, b)) {
            return Refused(err,
                           QStringLiteral("--limit %1 is out of range (160x160 up to 1280x1024)")
                               .arg(parser.value(options.limit)));
        }
        settings.m_sizeLimitWidth = static_cast<std::int16_t>(a);
        settings.m_sizeLimitHeight = static_cast<std::int16_t>(b);
    }
    if (parser.isSet(options.offset) && parser.isSet(options.center)) {
        return Refused(err, QStringLiteral("--offset and --center exclude each other"));
    }
    if (parser.isSet(options.offset)) {
        if (!ParsePair(parser.value(options.offset), QStringLiteral(","), a, b) || a < 0 || b < 0) {
            return Refused(err,
                           QStringLiteral("--offset %1 must be two numbers of 0 or more, as X,Y")
                               .arg(parser.value(options.offset)));
        }
        settings.m_horizontalOffset = a;
        settings.m_verticalOffset = b;
    }
    if (parser.isSet(options.title)) {
        album.SetTitle(parser.value(options.title).toStdString());
    }
    album.SetNote(parser.value(options.note).toStdString());
    const QStringList pictures = parser.positionalArguments();
    if (static_cast<std::size_t>(pictures.size()) > kMaxPictures) {
        return Refused(err, QStringLiteral("%1 pictures; an album holds at most %2")
                                .arg(pictures.size())
                                .arg(kMaxPictures));
    }
    for (const QString& path : pictures) {
        auto entry = std::make_unique<CAlbumImage>(settings);
        entry->m_sourcePath = PathToSystem(path);
        entry->m_title = PictureTitle(entry->m_sourcePath);
        (void)album.Append(std::move(entry));
    }
    int iconIndex = 0;
    bool blackIcon = false;
    if (parser.isSet(options.icon)) {
        const QString value = parser.value(options.icon);
        bool ok = false;
        const int index = value.toInt(&ok);
        if (value == QLatin1String("none")) {
            blackIcon = true;
        } else if (ok && index >= 0) {
            iconIndex = index;
        } else {
            return Refused(err,
                           QStringLiteral("--icon %1 must be a picture number or none").arg(value));
        }
    }
    if (!blackIcon && !album.IsEmpty()) {
        if (static_cast<std::size_t>(iconIndex) >= album.Count()) {
            return Refused(err, QStringLiteral("--icon %1 names no picture (0 to %2)")
                                    .arg(iconIndex)
                                    .arg(album.Count() - 1));
        }
        album.SetIconSource(album.At(static_cast<std::size_t>(iconIndex))->m_sourcePath);
    }
    return std::nullopt;
}

int Build(const QStringList& arguments, QTextStream& out, QTextStream& err, bool terminal) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Builds an album file from pictures."));
    parser.addHelpOption();
    const CBuildArguments options;
    parser.addOptions({options.output, options.albumJson, options.title, options.note, options.icon,
                       options.depth, options.brightness, options.contrast, options.dither,
                       options.noCrop, options.limit, options.offset, options.center});
    parser.addPositionalArgument(
        QStringLiteral("PICTURE"),
        QString::fromStdString("Picture files: " + PictureFormatNames("or") + "."),
        QStringLiteral("PICTURE..."));
    if (const auto finished = Parse(parser, arguments, out, err)) {
        return *finished;
    }
    if (!parser.isSet(options.output)) {
        return Refused(err, QStringLiteral("build needs -o OUT.pdb"));
    }

    CAlbum album;
    CInputError error;
    QString albumJson;
    if (parser.isSet(options.albumJson)) {
        for (const auto* option : options.PerPicture()) {
            if (parser.isSet(*option)) {
                return Refused(err,
                               QStringLiteral("--%1 cannot be combined with --album: the JSON file "
                                              "holds every setting")
                                   .arg(option->names().constLast()));
            }
        }
        if (!parser.positionalArguments().isEmpty()) {
            return Refused(err,
                           QStringLiteral("pictures are listed in the JSON file with --album"));
        }
        albumJson = parser.value(options.albumJson);
        if (!ReadAlbumJson(albumJson, album, error)) {
            return Refused(err, error);
        }
    } else if (const auto refused = ReadPictureArguments(parser, options, album, err)) {
        return *refused;
    }
    const QString output = parser.value(options.output);
    if (!CheckPictureFiles(album, error) || !CheckOutput(output, album, albumJson, error)) {
        return Refused(err, error);
    }
    CAlbumBuildOptions build;
    build.centerCropWindows = parser.isSet(options.center);
    bool progressShown = false;
    if (terminal && album.Count() >= kProgressFrom) {
        build.progress = [&err, &progressShown](std::size_t done, std::size_t total) {
            err << "\rPreparing pictures: " << done << " of " << total;
            if (done == total) {
                err << '\n';
            }
            progressShown = done != total;
            err.flush();
        };
    }
    const CBuildResult result =
        BuildAlbumFile(album, PathToSystem(output), PictureReading(), build);
    if (progressShown) {
        err << '\n';  // a message never shares the progress line
    }
    switch (result.outcome) {
        case BuildOutcome::Written:
            // Said once the album is written: a refusal stays the one line it is.
            for (const QString& change : TextChanges(album)) {
                err << "tavelo-cli: " << change << Qt::endl;
            }
            return kExitOk;
        case BuildOutcome::PictureFailed:
            return Refused(err, CInputError{PathFromSystem(result.picture.path),
                                            QString::fromStdString(result.picture.reason)});
        case BuildOutcome::WriteFailed:
            return Refused(err,
                           CInputError{output, QStringLiteral("cannot be written: %1")
                                                   .arg(QString::fromStdString(result.reason))});
        case BuildOutcome::Refused:
        case BuildOutcome::Cancelled:
            break;
    }
    return Refused(err, QString::fromStdString(result.reason));
}

// The JSON writer escapes the controls below 0x20 only; the others (DEL, and U+0080 to
// U+009F, which some terminals obey as escape sequences) are escaped here. They can only
// stand inside strings, so the text stays valid JSON.
QByteArray EscapeC1Controls(const QByteArray& json) {
    QByteArray out;
    out.reserve(json.size());
    for (qsizetype i = 0; i < json.size(); ++i) {
        const auto c = static_cast<unsigned char>(json[i]);
        const auto next = i + 1 < json.size() ? static_cast<unsigned char>(json[i + 1]) : 0;
        if (c == 0x7F) {
            out += "\\u007f";
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            out += "\\u00" + QByteArray::number(next, 16).rightJustified(2, '0');
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// A file name that is not UTF-8 stands in the report byte by byte (AlbumToJson); those bytes
// are written as \u00XX escapes, plain to see as bytes rather than as letters.
QByteArray EscapeFileBytes(const QByteArray& json) {
    const QByteArray key = "\n    \"file\": \"";
    const qsizetype start = json.indexOf(key);
    if (start < 0) {
        return json;
    }
    const qsizetype from = start + key.size();
    const qsizetype end = json.indexOf('\n', from);  // the value is on its own line
    QByteArray out = json.left(from);
    for (qsizetype i = from; i < end; ++i) {
        const auto c = static_cast<unsigned char>(json[i]);
        if ((c == 0xC2 || c == 0xC3) && i + 1 < end) {
            const unsigned value =
                ((c & 0x03u) << 6) | (static_cast<unsigned char>(json[++i]) & 0x3Fu);
            out += "\\u00" + QByteArray::number(value, 16).rightJustified(2, '0');
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + json.mid(end);
}

int Inspect(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shows what an album file holds."));
    parser.addHelpOption();
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print JSON."));
    parser.addOption(json);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The album file."));
    if (const auto finished = Parse(parser, arguments, out, err)) {
        return *finished;
    }
    if (parser.positionalArguments().size() != 1) {
        return Refused(err, QStringLiteral("inspect takes one album file"));
    }
    const QString path = parser.positionalArguments().constFirst();
    CAlbumFileInput input;
    CInputError error;
    if (!OpenAlbumFile(path, input, error)) {
        return Refused(err, error);
    }
    const CAlbumFile& album = input.Album();
    if (parser.isSet(json)) {
        const QJsonObject report = AlbumToJson(path, album);
        QByteArray text = QJsonDocument(report).toJson(QJsonDocument::Indented);
        if (report.contains(QStringLiteral("fileNotUtf8"))) {
            text = EscapeFileBytes(text);
        }
        out << EscapeC1Controls(text);
    } else {
        out << DescribeAlbum(path, album);
    }
    return kExitOk;
}

// Whether standard output can take the closing line, asked before an extract writes any file:
// a closed or read-only descriptor, a device that takes no bytes (/dev/full) or a pipe whose
// reader has gone would otherwise fail only once every file is written. Output to a string
// (the tests') always can.
bool OutputCanBeWritten(const QTextStream& out, QString& reason) {
    const auto* file = qobject_cast<const QFileDevice*>(out.device());
    const int fd = file != nullptr ? file->handle() : -1;
    if (fd < 0) {
        return true;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    int problem = flags < 0 ? errno : (flags & O_ACCMODE) == O_RDONLY ? EBADF : 0;
    pollfd ready{fd, POLLOUT, 0};
    if (problem == 0 && ::poll(&ready, 1, 0) == 1 && (ready.revents & (POLLERR | POLLNVAL)) != 0) {
        problem = EPIPE;
    }
    if (problem == 0 && ::write(fd, "", 0) < 0) {  // what a device says to any write
        problem = errno;
    }
    reason = QString::fromStdString(SystemErrorText(problem));
    return problem == 0;
}

int Extract(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes what the handheld would show of an album."));
    parser.addHelpOption();
    const QCommandLineOption dir({QStringLiteral("d"), QStringLiteral("dir")},
                                 QStringLiteral("Folder for the pictures."), QStringLiteral("DIR"));
    parser.addOption(dir);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The album file."));
    if (const auto finished = Parse(parser, arguments, out, err)) {
        return *finished;
    }
    if (parser.positionalArguments().size() != 1 || !parser.isSet(dir)) {
        return Refused(err, QStringLiteral("extract takes one album file and -d DIR"));
    }
    if (QString reason; !OutputCanBeWritten(out, reason)) {
        return Refused(err, QStringLiteral("standard output cannot be written: ") + reason);
    }
    const QString path = parser.positionalArguments().constFirst();
    CAlbumFileInput album;
    CInputError error;
    if (!OpenAlbumFile(path, album, error)) {
        return Refused(err, error);
    }
    int written = 0;
    if (!ExtractAlbum(album, parser.value(dir), written, error)) {
        if (error.file.isEmpty()) {
            error.file = path;  // a damaged part of the album
        }
        return Refused(err, error);
    }
    out << "Wrote " << written << " files to " << MessageName(parser.value(dir)) << Qt::endl;
    return kExitOk;
}

}  // namespace

int RunCli(const QStringList& arguments, QTextStream& out, QTextStream& err, bool terminal) {
    const auto run = [&]() -> int {
        if (arguments.size() < 2) {
            err << kUsage;
            return kExitRefused;
        }
        const QString command = arguments[1];
        // The command's own parser sees the program name and the command's arguments.
        QStringList rest = arguments.mid(2);
        rest.prepend(arguments[0] + QLatin1Char(' ') + command);
        if (command == QLatin1String("build")) {
            if (const EpochProblem problem = SourceDateEpochProblem();
                problem != EpochProblem::None) {
                err << "tavelo-cli: SOURCE_DATE_EPOCH '"
                    << VisibleText(PathFromSystem(qgetenv("SOURCE_DATE_EPOCH").toStdString()))
                    << (problem == EpochProblem::NotANumber ? "' is not a whole number of seconds"
                        : problem == EpochProblem::TooEarly
                            ? "' is before 1970"
                            : "' is later than an album's dates go (2040-02-06)")
                    << "; the album takes the current time" << Qt::endl;
            }
            return Build(rest, out, err, terminal);
        }
        if (command == QLatin1String("inspect")) {
            return Inspect(rest, out, err);
        }
        if (command == QLatin1String("extract")) {
            return Extract(rest, out, err);
        }
        if (command == QLatin1String("--help") || command == QLatin1String("-h") ||
            command == QLatin1String("help")) {
            out << kUsage;
            return kExitOk;
        }
        if (command == QLatin1String("--version")) {
            out << "tavelo-cli " << kTaveloVersion << Qt::endl;
            return kExitOk;
        }
        err << "tavelo-cli: unknown command '" << VisibleText(command) << "'\n" << kUsage;
        return kExitRefused;
    };
    int status = kExitRefused;
    try {
        status = run();
    } catch (const std::bad_alloc&) {
        status = Refused(err, QStringLiteral("out of memory"));
    } catch (const std::exception& e) {
        status = Refused(err, QString::fromLocal8Bit(e.what()));
    }
    // Output that never arrived (a full disk, a closed pipe) is a failure too.
    out.flush();
    if (out.status() != QTextStream::Ok) {
        const auto* file = qobject_cast<const QFileDevice*>(out.device());
        return Refused(err, QStringLiteral("standard output cannot be written%1")
                                .arg(file != nullptr ? QStringLiteral(": ") + file->errorString()
                                                     : QString()));
    }
    return status;
}
