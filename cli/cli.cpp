#include "cli/cli.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonDocument>
#include <optional>

#include "cli/album_builder.h"
#include "cli/album_report.h"
#include "cli/album_request.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 2;
// Builds shorter than this show no progress line.
constexpr int kProgressFrom = 8;

const char* const kUsage =
    "Usage:\n"
    "  tavelo-cli build -o OUT.pdb [options] PICTURE...\n"
    "  tavelo-cli build --album ALBUM.json -o OUT.pdb\n"
    "  tavelo-cli inspect FILE.pdb [--json]\n"
    "  tavelo-cli extract FILE.pdb -d DIR\n"
    "Run 'tavelo-cli COMMAND --help' for the options of a command.\n";

int Refused(QTextStream& err, const CInputError& error) {
    err << "tavelo-cli: ";
    if (!error.file.isEmpty()) {
        err << error.file << ": ";
    }
    err << error.reason << Qt::endl;
    return kExitRefused;
}

int Refused(QTextStream& err, const QString& reason) { return Refused(err, CInputError{{}, reason}); }

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
    return std::nullopt;
}

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

int Build(const QStringList& arguments, QTextStream& out, QTextStream& err, bool terminal) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Builds an album file from pictures."));
    parser.addHelpOption();
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The album file to write."), QStringLiteral("OUT.pdb"));
    const QCommandLineOption albumJson(QStringLiteral("album"),
                                       QStringLiteral("Every setting per picture, from a JSON file."),
                                       QStringLiteral("ALBUM.json"));
    const QCommandLineOption title(QStringLiteral("title"), QStringLiteral("Album title (default untitled)."),
                                   QStringLiteral("T"));
    const QCommandLineOption note(QStringLiteral("note"), QStringLiteral("Album note."), QStringLiteral("N"));
    const QCommandLineOption icon(QStringLiteral("icon"),
                                  QStringLiteral("Picture (from 0) whose centre becomes the album icon, "
                                                 "or none for black (default 0)."),
                                  QStringLiteral("N|none"));
    const QCommandLineOption depth(QStringLiteral("depth"),
                                   QStringLiteral("Colour depth: 4 (grey), 8 or 16 (default 8)."),
                                   QStringLiteral("4|8|16"));
    const QCommandLineOption brightness(QStringLiteral("brightness"),
                                        QStringLiteral("Brightness slider, 127 neutral."),
                                        QStringLiteral("0..255"));
    const QCommandLineOption contrast(QStringLiteral("contrast"), QStringLiteral("Contrast slider, 127 neutral."),
                                      QStringLiteral("0..255"));
    const QCommandLineOption dither(QStringLiteral("dither"), QStringLiteral("Dither when reducing colours."));
    const QCommandLineOption noCrop(QStringLiteral("no-crop"),
                                    QStringLiteral("Keep the whole fitted picture, not a 160 x 160 window."));
    const QCommandLineOption limit(QStringLiteral("limit"),
                                   QStringLiteral("Size limit, 160x160 up to 1280x1024 (default 160x160)."),
                                   QStringLiteral("WxH"));
    const QCommandLineOption offset(QStringLiteral("offset"),
                                    QStringLiteral("Top-left corner of the crop window."), QStringLiteral("X,Y"));
    const QCommandLineOption center(QStringLiteral("center"), QStringLiteral("Centre the crop window."));
    parser.addOptions({output, albumJson, title, note, icon, depth, brightness, contrast, dither, noCrop,
                       limit, offset, center});
    parser.addPositionalArgument(QStringLiteral("PICTURE"), QStringLiteral("JPEG, GIF or BMP files."),
                                 QStringLiteral("PICTURE..."));
    if (const auto finished = Parse(parser, arguments, out, err)) {
        return *finished;
    }
    if (!parser.isSet(output)) {
        return Refused(err, QStringLiteral("build needs -o OUT.pdb"));
    }

    CAlbumRequest request;
    CInputError error;
    if (parser.isSet(albumJson)) {
        const QList<QCommandLineOption> perPicture = {title, note, icon, depth, brightness, contrast,
                                                      dither, noCrop, limit, offset, center};
        for (const auto& option : perPicture) {
            if (parser.isSet(option)) {
                return Refused(err, QStringLiteral("--%1 cannot be combined with --album: the JSON file "
                                                   "holds every setting")
                                        .arg(option.names().constLast()));
            }
        }
        if (!parser.positionalArguments().isEmpty()) {
            return Refused(err, QStringLiteral("pictures are listed in the JSON file with --album"));
        }
        if (!ReadAlbumJson(parser.value(albumJson), request, error)) {
            return Refused(err, error);
        }
    } else {
        CAlbumImage settings;
        if (parser.isSet(depth)) {
            const QString d = parser.value(depth);
            if (d != QLatin1String("4") && d != QLatin1String("8") && d != QLatin1String("16")) {
                return Refused(err, QStringLiteral("--depth %1 is out of range (4, 8 or 16)").arg(d));
            }
            settings.m_colorDepth = static_cast<std::uint8_t>(d.toInt());
        }
        if (parser.isSet(brightness) && !ParseSlider(parser.value(brightness), settings.m_brightness)) {
            return Refused(err, QStringLiteral("--brightness %1 is out of range (0 to 255)")
                                    .arg(parser.value(brightness)));
        }
        if (parser.isSet(contrast) && !ParseSlider(parser.value(contrast), settings.m_contrast)) {
            return Refused(err, QStringLiteral("--contrast %1 is out of range (0 to 255)")
                                    .arg(parser.value(contrast)));
        }
        settings.m_dither = parser.isSet(dither) ? 1 : 0;
        settings.m_crop = parser.isSet(noCrop) ? 0 : 1;
        int a = 0;
        int b = 0;
        if (parser.isSet(limit)) {
            if (!ParsePair(parser.value(limit).toLower(), QStringLiteral("x"), a, b) ||
                !IsValidSizeLimit(a, b)) {
                return Refused(err, QStringLiteral("--limit %1 is out of range (160x160 up to 1280x1024)")
                                        .arg(parser.value(limit)));
            }
            settings.m_sizeLimitWidth = static_cast<std::int16_t>(a);
            settings.m_sizeLimitHeight = static_cast<std::int16_t>(b);
        }
        if (parser.isSet(offset) && parser.isSet(center)) {
            return Refused(err, QStringLiteral("--offset and --center exclude each other"));
        }
        if (parser.isSet(offset)) {
            if (!ParsePair(parser.value(offset), QStringLiteral(","), a, b) || a < 0 || b < 0) {
                return Refused(err, QStringLiteral("--offset %1 must be two numbers of 0 or more, as X,Y")
                                        .arg(parser.value(offset)));
            }
            settings.m_horizontalOffset = a;
            settings.m_verticalOffset = b;
        }
        if (parser.isSet(title)) {
            request.title = parser.value(title);
        }
        request.note = parser.value(note);
        if (parser.isSet(icon)) {
            const QString value = parser.value(icon);
            bool ok = false;
            const int index = value.toInt(&ok);
            if (value == QLatin1String("none")) {
                request.iconIndex.reset();
            } else if (ok && index >= 0) {
                request.iconIndex = index;
            } else {
                return Refused(err, QStringLiteral("--icon %1 must be a picture number or none").arg(value));
            }
        }
        const QStringList pictures = parser.positionalArguments();
        if (pictures.size() > kMaxAlbumPictures) {
            return Refused(err, QStringLiteral("%1 pictures; an album holds at most %2")
                                    .arg(pictures.size())
                                    .arg(kMaxAlbumPictures));
        }
        for (const QString& path : pictures) {
            CPictureRequest picture;
            picture.path = path;
            picture.entry = settings;
            picture.entry.m_sourcePath = path.toStdString();
            picture.entry.m_title = TitleFromPath(path).toStdString();
            picture.center = parser.isSet(center);
            request.pictures.push_back(std::move(picture));
        }
    }

    CBuildOptions options;
    if (terminal && static_cast<int>(request.pictures.size()) >= kProgressFrom) {
        options.progress = [&err](int done, int total) {
            err << "\rPreparing pictures: " << done << " of " << total;
            if (done == total) {
                err << '\n';
            }
            err.flush();
        };
    }
    if (!BuildAlbumFile(request, parser.value(output), options, error)) {
        return Refused(err, error);
    }
    return kExitOk;
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
    CAlbumFile album;
    CInputError error;
    if (!LoadAlbumFile(path, album, error)) {
        return Refused(err, error);
    }
    if (parser.isSet(json)) {
        out << QJsonDocument(AlbumToJson(path, album)).toJson(QJsonDocument::Indented);
    } else {
        out << DescribeAlbum(path, album);
    }
    return kExitOk;
}

int Extract(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes what the handheld would show of an album."));
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
    CAlbumFile album;
    CInputError error;
    if (!LoadAlbumFile(parser.positionalArguments().constFirst(), album, error)) {
        return Refused(err, error);
    }
    int written = 0;
    if (!ExtractAlbum(album, parser.value(dir), written, error)) {
        return Refused(err, error);
    }
    out << "Wrote " << written << " files to " << parser.value(dir) << Qt::endl;
    return kExitOk;
}

}  // namespace

int RunCli(const QStringList& arguments, QTextStream& out, QTextStream& err, bool terminal) {
    if (arguments.size() < 2) {
        err << kUsage;
        return kExitRefused;
    }
    const QString command = arguments[1];
    // The command's own parser sees the program name and the command's arguments.
    QStringList rest = arguments.mid(2);
    rest.prepend(arguments[0] + QLatin1Char(' ') + command);
    if (command == QLatin1String("build")) {
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
        out << "tavelo-cli 2.0" << Qt::endl;
        return kExitOk;
    }
    err << "tavelo-cli: unknown command '" << command << "'\n" << kUsage;
    return kExitRefused;
}
