#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <set>

#include <unistd.h>

#include "album/album_file_reader.h"

// Readable failure messages for Qt strings.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

const QString kSamples = QStringLiteral(TAVELO_SAMPLES_DIR);
const QString kCli = QStringLiteral(TAVELO_CLI_PATH);
const QStringList kSampleFiles = {
    QStringLiteral("meadow_autumn_640x426.jpg"), QStringLiteral("mountain_path_640x480.jpg"),
    QStringLiteral("fig_on_plate_640x433.jpg"),  QStringLiteral("dogs_at_door_320x480.jpg"),
    QStringLiteral("paint_brushes_400x315.gif"), QStringLiteral("dandelions_320x180.bmp")};

struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

CliRun Cli(const QStringList& arguments, const QString& epoch = QStringLiteral("978307200")) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SOURCE_DATE_EPOCH"), epoch);
    process.setProcessEnvironment(env);
    process.start(kCli, arguments);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QString Sample(const QString& name) {
    return kSamples + QLatin1Char('/') + name;
}

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QJsonObject Inspect(const QString& pdb) {
    const CliRun run = Cli({QStringLiteral("inspect"), pdb, QStringLiteral("--json")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    return QJsonDocument::fromJson(run.out.toUtf8()).object();
}

class CliTest : public ::testing::Test {
protected:
    QString File(const QString& name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

}  // namespace

TEST_F(CliTest, BuildsAnAlbumOfTheSamplesThatInspectDescribes) {
    QStringList args = {
        QStringLiteral("build"),   QStringLiteral("-o"),      File(QStringLiteral("trip.pdb")),
        QStringLiteral("--title"), QStringLiteral("Trip"),    QStringLiteral("--note"),
        QStringLiteral("Day 1"),   QStringLiteral("--depth"), QStringLiteral("16")};
    for (const QString& name : kSampleFiles) {
        args << Sample(name);
    }
    const CliRun run = Cli(args);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();

    const QJsonObject json = Inspect(File(QStringLiteral("trip.pdb")));
    const QJsonObject database = json[QStringLiteral("database")].toObject();
    EXPECT_EQ(database[QStringLiteral("name")].toString(), QStringLiteral("tvl_album_978307200"));
    EXPECT_EQ(database[QStringLiteral("type")].toString(), QStringLiteral("TVLI"));
    EXPECT_EQ(database[QStringLiteral("creator")].toString(), QStringLiteral("TVL2"));
    EXPECT_EQ(database[QStringLiteral("created")].toString(),
              QStringLiteral("2001-01-01T00:00:00Z"));
    EXPECT_EQ(database[QStringLiteral("records")].toInt(), 1 + 6 * 3);
    const QJsonObject album = json[QStringLiteral("album")].toObject();
    EXPECT_EQ(album[QStringLiteral("title")].toString(), QStringLiteral("Trip"));
    EXPECT_EQ(album[QStringLiteral("note")].toString(), QStringLiteral("Day 1"));
    EXPECT_EQ(album[QStringLiteral("pictureCount")].toInt(), 6);
    const QJsonArray pictures = json[QStringLiteral("pictures")].toArray();
    ASSERT_EQ(pictures.size(), 6);
    for (int i = 0; i < 6; ++i) {
        const QJsonObject p = pictures[i].toObject();
        EXPECT_EQ(p[QStringLiteral("title")].toString(),
                  kSampleFiles[i].section(QLatin1Char('.'), 0, 0));
        EXPECT_EQ(p[QStringLiteral("depth")].toInt(), 16);
        EXPECT_EQ(p[QStringLiteral("width")].toInt(), 160);
        EXPECT_EQ(p[QStringLiteral("height")].toInt(), 160);
        EXPECT_EQ(p[QStringLiteral("firstRecord")].toInt(), 1 + 3 * i);
        EXPECT_EQ(p[QStringLiteral("recordSizes")].toArray()[2].toInt(), 1078);
    }
    const CliRun text = Cli({QStringLiteral("inspect"), File(QStringLiteral("trip.pdb"))});
    EXPECT_TRUE(text.out.contains(QStringLiteral("\"Trip\", note \"Day 1\"")))
        << text.out.toStdString();
    EXPECT_TRUE(
        text.out.endsWith(QStringLiteral("\nPicture 6: \"dandelions_320x180\", note \"\", 16-bit, "
                                         "160 x 160, records 16-18 (4064, 51200, 1078 bytes)\n")))
        << text.out.toStdString();
}

TEST_F(CliTest, APalmDatabaseReaderOpensTheAlbum) {
    if (QStandardPaths::findExecutable(QStringLiteral("perl")).isEmpty() ||
        QProcess::execute(QStringLiteral("perl"),
                          {QStringLiteral("-MPalm::PDB"), QStringLiteral("-e1")}) != 0) {
        GTEST_SKIP() << "perl with Palm::PDB (Debian's libpalm-perl) is not installed";
    }
    const QString pdb = File(QStringLiteral("two.pdb"));
    ASSERT_EQ(Cli({QStringLiteral("build"), QStringLiteral("-o"), pdb, Sample(kSampleFiles[0]),
                   Sample(kSampleFiles[5])})
                  .status,
              0);
    QProcess perl;
    perl.start(
        QStringLiteral("perl"),
        {QStringLiteral("-MPalm::PDB"), QStringLiteral("-MPalm::Raw"), QStringLiteral("-e"),
         QStringLiteral("my $p = Palm::PDB->new; $p->Load($ARGV[0]); print join('|', $p->{name}, "
                        "$p->{type}, $p->{creator}, map { length $_->{data} } @{$p->{records}});"),
         pdb});
    ASSERT_TRUE(perl.waitForFinished(60000));
    EXPECT_EQ(perl.readAllStandardOutput().toStdString(),
              "tvl_album_978307200|TVLI|TVL2|8254|4067|26678|4064|26678")
        << perl.readAllStandardError().toStdString();
}

TEST_F(CliTest, BuildsAreReproducibleAndIndependentOfThreads) {
    const QString a = File(QStringLiteral("a.pdb"));
    const QString b = File(QStringLiteral("b.pdb"));
    QStringList args = {QStringLiteral("build"), QStringLiteral("--dither"),
                        QStringLiteral("--icon"), QStringLiteral("2")};
    for (const QString& name : kSampleFiles) {
        args << Sample(name);
    }
    ASSERT_EQ(Cli(args + QStringList{QStringLiteral("-o"), a}).status, 0);
    ASSERT_EQ(Cli(args + QStringList{QStringLiteral("-o"), b}).status, 0);
    EXPECT_EQ(Bytes(a), Bytes(b));
    const QByteArray later =
        (Cli(args + QStringList{QStringLiteral("-o"), b}, QStringLiteral("978307201")), Bytes(b));
    EXPECT_NE(Bytes(a), later);  // the time is in the file
}

TEST_F(CliTest, AlbumJsonGivesEveryPictureItsOwnSettings) {
    QDir(dir_.path()).mkdir(QStringLiteral("pictures"));
    ASSERT_TRUE(QFile::copy(Sample(kSampleFiles[0]), File(QStringLiteral("pictures/beach.jpg"))));
    ASSERT_TRUE(QFile::copy(Sample(kSampleFiles[5]), File(QStringLiteral("pictures/Flowers.BMP"))));
    Write(File(QStringLiteral("album.json")), R"({
        "title": "Trip \u00e9t\u00e9", "note": "Day 1", "icon": null,
        "pictures": [
          {"path": "pictures/beach.jpg", "title": "Beach", "note": "Sunset", "depth": 4,
           "dither": true, "crop": false, "limit": [320, 240]},
          {"path": "pictures/Flowers.BMP", "depth": 16, "brightness": 200, "contrast": 20,
           "offset": [999, 5]}
        ]})");
    const QString pdb = File(QStringLiteral("trip.pdb"));
    const CliRun run = Cli({QStringLiteral("build"), QStringLiteral("--album"),
                            File(QStringLiteral("album.json")), QStringLiteral("-o"), pdb});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject json = Inspect(pdb);
    EXPECT_EQ(json[QStringLiteral("album")].toObject()[QStringLiteral("title")].toString(),
              QStringLiteral("Trip été"));
    const QJsonArray pictures = json[QStringLiteral("pictures")].toArray();
    ASSERT_EQ(pictures.size(), 2);
    const QJsonObject beach = pictures[0].toObject();
    EXPECT_EQ(beach[QStringLiteral("title")].toString(), QStringLiteral("Beach"));
    EXPECT_EQ(beach[QStringLiteral("note")].toString(), QStringLiteral("Sunset"));
    EXPECT_EQ(beach[QStringLiteral("depth")].toInt(), 4);
    EXPECT_EQ(beach[QStringLiteral("width")].toInt(), 320);  // 640 x 426 fitted to 320 x 240
    EXPECT_EQ(beach[QStringLiteral("height")].toInt(), 213);
    const QJsonObject flowers = pictures[1].toObject();
    EXPECT_EQ(flowers[QStringLiteral("title")].toString(), QStringLiteral("Flowers"));
    EXPECT_EQ(flowers[QStringLiteral("depth")].toInt(), 16);
    EXPECT_EQ(flowers[QStringLiteral("width")].toInt(), 160);

    // The album text is stored in the handheld's code page, the icon black.
    CAlbumFile album;
    std::string error;
    const QByteArray bytes = Bytes(pdb);
    ASSERT_TRUE(ReadAlbumFile(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), album, error));
    EXPECT_EQ(album.text, "Trip \xE9t\xE9\nDay 1");
    EXPECT_EQ(album.icon[2].image.rgb[0], 0);
}

TEST_F(CliTest, ExtractWritesWhatTheHandheldShows) {
    const QString pdb = File(QStringLiteral("x.pdb"));
    ASSERT_EQ(Cli({QStringLiteral("build"), QStringLiteral("-o"), pdb, QStringLiteral("--depth"),
                   QStringLiteral("16"), QStringLiteral("--no-crop"), Sample(kSampleFiles[4])})
                  .status,
              0);
    const QString out = File(QStringLiteral("out"));
    const CliRun run = Cli({QStringLiteral("extract"), pdb, QStringLiteral("-d"), out});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList files = QDir(out).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files,
              (QStringList{QStringLiteral("icon_2bit.png"), QStringLiteral("icon_4bit.png"),
                           QStringLiteral("icon_8bit.png"), QStringLiteral("picture_001.bmp"),
                           QStringLiteral("picture_001.png"),
                           QStringLiteral("picture_001_thumbnail_2bit.png"),
                           QStringLiteral("picture_001_thumbnail_4bit.png"),
                           QStringLiteral("picture_001_thumbnail_8bit.png")}));
    const QImage picture(out + QStringLiteral("/picture_001.png"));
    EXPECT_EQ(picture.size(), QSize(160, 126));  // 400 x 315 fitted without crop
    EXPECT_EQ(QImage(out + QStringLiteral("/icon_8bit.png")).size(), QSize(24, 24));
    EXPECT_EQ(QImage(out + QStringLiteral("/picture_001_thumbnail_2bit.png")).size(),
              QSize(32, 32));

    // Green from dark to light at 16 bits: it keeps five bits (the sixth is always 0), so the
    // picture shows exactly the 32 greens 2k * 255 / 63 of the 64 the pixels could hold.
    QImage ramp(320, 8, QImage::Format_RGB32);
    for (int x = 0; x < 320; ++x) {
        for (int y = 0; y < 8; ++y) {
            ramp.setPixel(x, y, qRgb(0, x * 255 / 319, 0));
        }
    }
    ASSERT_TRUE(ramp.save(File(QStringLiteral("ramp.png"))));
    ASSERT_EQ(
        Cli({QStringLiteral("build"), QStringLiteral("-o"), pdb, QStringLiteral("--depth"),
             QStringLiteral("16"), QStringLiteral("--no-crop"), File(QStringLiteral("ramp.png"))})
            .status,
        0);
    const QString rampOut = File(QStringLiteral("ramp"));
    ASSERT_EQ(Cli({QStringLiteral("extract"), pdb, QStringLiteral("-d"), rampOut}).status, 0);
    const QImage shown(rampOut + QStringLiteral("/picture_001.png"));
    ASSERT_EQ(shown.width(), 160);
    std::set<int> greens;
    std::set<int> expected;
    for (int k = 0; k < 32; ++k) {
        expected.insert(2 * k * 255 / 63);
    }
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            greens.insert(qGreen(shown.pixel(x, y)));
            ASSERT_EQ(shown.pixel(x, y) & 0xFF00FFu, 0u) << x << ", " << y;
        }
    }
    EXPECT_EQ(greens, expected);
}

TEST_F(CliTest, RefusesBadInputWithOneLineAndNoOutput) {
    Write(File(QStringLiteral("text.jpg")), "not a picture");
    Write(File(QStringLiteral("empty.gif")), "");
    Write(File(QStringLiteral("photo.tif")), "whatever");
    QDir(dir_.path()).mkdir(QStringLiteral("folder.jpg"));
    QByteArray wide(54, '\0');
    wide[0] = 'B';
    wide[1] = 'M';
    wide[10] = 54;
    wide[14] = 40;
    wide[26] = 1;
    wide[28] = 24;
    QByteArray huge = wide;
    const auto put32 = [](QByteArray& b, int at, quint32 v) {
        for (int i = 0; i < 4; ++i) {
            b[at + i] = static_cast<char>(v >> (8 * i));
        }
    };
    put32(wide, 18, 40000);
    put32(wide, 22, 2);
    put32(huge, 18, 12000);
    put32(huge, 22, 10000);
    Write(File(QStringLiteral("wide.bmp")), wide);
    Write(File(QStringLiteral("huge.bmp")), huge);
    Write(File(QStringLiteral("bad.json")),
          "{\n  \"title\": \"x\",\n  \"pictures\": [ oops ]\n}\n");
    Write(File(QStringLiteral("depth.json")), R"({"pictures": [{"path": "x.jpg", "depth": 5}]})");
    Write(File(QStringLiteral("pair.json")), R"({"title": 5 5})");
    // A name that makes a title to mend, on a picture refused: the refusal is all that is said.
    ASSERT_TRUE(QFile::copy(QStringLiteral(TAVELO_TEST_DATA_DIR "/gif_cut_in_image_data.gif"),
                            File(QStringLiteral("cut\nshort.gif"))));

    const QString out = File(QStringLiteral("out.pdb"));
    const QString good = Sample(kSampleFiles[0]);
    QStringList thousandAndOne;
    for (int i = 0; i < 1001; ++i) {
        thousandAndOne << good;
    }
    const struct {
        QStringList args;
        QString mention;
    } cases[] = {
        {{File(QStringLiteral("missing.jpg"))}, QStringLiteral("missing.jpg: file not found")},
        {{File(QStringLiteral("folder.jpg"))}, QStringLiteral("folder.jpg: not a regular file")},
        {{File(QStringLiteral("photo.tif"))}, QStringLiteral("photo.tif: not a .jpg")},
        {{good, File(QStringLiteral("text.jpg"))}, QStringLiteral("text.jpg: not a picture")},
        {{File(QStringLiteral("empty.gif"))}, QStringLiteral("empty.gif: the file is empty")},
        {{File(QStringLiteral("cut\nshort.gif"))},
         QStringLiteral("cut\\nshort.gif': the file is cut")},
        {{File(QStringLiteral("wide.bmp"))}, QStringLiteral("32767")},
        {{File(QStringLiteral("huge.bmp"))}, QStringLiteral("memory limit")},
        {{QStringLiteral("--album"), File(QStringLiteral("bad.json"))},
         QStringLiteral("line 3, column 17")},
        {{QStringLiteral("--album"), File(QStringLiteral("depth.json"))},
         QStringLiteral("\"depth\" is out of range")},
        {{QStringLiteral("--album"), File(QStringLiteral("pair.json"))},
         QStringLiteral("line 1, column 13")},
        {{QStringLiteral("--depth"), QStringLiteral("2"), good},
         QStringLiteral("--depth 2 is out of range")},
        {{QStringLiteral("--limit"), QStringLiteral("100x100"), good},
         QStringLiteral("--limit 100x100")},
        {{QStringLiteral("--limit"), QStringLiteral("1280x1025"), good},
         QStringLiteral("out of range")},
        {{QStringLiteral("--brightness"), QStringLiteral("256"), good},
         QStringLiteral("--brightness 256")},
        {{QStringLiteral("--contrast"), QStringLiteral("-1"), good},
         QStringLiteral("--contrast -1")},
        {{QStringLiteral("--icon"), QStringLiteral("1"), good},
         QStringLiteral("--icon 1 names no picture (0 to 0)")},
        {thousandAndOne, QStringLiteral("1001 pictures")},
        {{QStringLiteral("--output"), File(QStringLiteral("other.pdb")), good},
         QStringLiteral("-o is given more than once")},
    };
    for (const auto& c : cases) {
        const CliRun run =
            Cli(QStringList{QStringLiteral("build"), QStringLiteral("-o"), out} + c.args);
        EXPECT_EQ(run.status, 2) << c.mention.toStdString();
        EXPECT_TRUE(run.err.contains(c.mention)) << run.err.toStdString();
        EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(out)) << c.mention.toStdString();
    }
    EXPECT_FALSE(QFile::exists(File(QStringLiteral("other.pdb"))));
    EXPECT_EQ(QDir(dir_.path())
                  .entryList(QDir::Files | QDir::Hidden)
                  .filter(QStringLiteral(".tmp"))
                  .size(),
              0);

    // An existing album survives a refused build unchanged.
    Write(out, "the old album");
    EXPECT_EQ(Cli({QStringLiteral("build"), QStringLiteral("-o"), out, good,
                   File(QStringLiteral("text.jpg"))})
                  .status,
              2);
    EXPECT_EQ(Bytes(out), QByteArray("the old album"));

    // Writing the album over one of its own pictures would lose the picture.
    ASSERT_TRUE(QFile::copy(good, File(QStringLiteral("mine.jpg"))));
    const CliRun over = Cli({QStringLiteral("build"), QStringLiteral("-o"),
                             File(QStringLiteral("mine.jpg")), File(QStringLiteral("mine.jpg"))});
    EXPECT_EQ(over.status, 2);
    EXPECT_TRUE(over.err.contains(QStringLiteral("is one of the album's pictures")))
        << over.err.toStdString();
    EXPECT_EQ(Bytes(File(QStringLiteral("mine.jpg"))), Bytes(good));
    // Nor over the icon's picture from outside the album, by whatever name reaches it, nor
    // over the album description.
    ASSERT_TRUE(QFile::copy(good, File(QStringLiteral("icon.jpg"))));
    ASSERT_EQ(::link(QFile::encodeName(File(QStringLiteral("icon.jpg"))).constData(),
                     QFile::encodeName(File(QStringLiteral("same.jpg"))).constData()),
              0);
    Write(File(QStringLiteral("iconic.json")),
          R"({"icon": "icon.jpg", "pictures": [{"path": "mine.jpg"}]})");
    const struct {
        QString output;
        QString mention;
    } inputs[] = {
        {File(QStringLiteral("icon.jpg")), QStringLiteral("is the picture of the album's icon")},
        {File(QStringLiteral("same.jpg")), QStringLiteral("is the picture of the album's icon")},
        {File(QStringLiteral("iconic.json")), QStringLiteral("is the album description")}};
    for (const auto& input : inputs) {
        const CliRun run =
            Cli({QStringLiteral("build"), QStringLiteral("--album"),
                 File(QStringLiteral("iconic.json")), QStringLiteral("-o"), input.output});
        EXPECT_EQ(run.status, 2) << input.output.toStdString();
        EXPECT_TRUE(run.err.contains(input.mention)) << run.err.toStdString();
    }
    EXPECT_EQ(Bytes(File(QStringLiteral("icon.jpg"))), Bytes(good));

    const CliRun unwritable = Cli({QStringLiteral("build"), QStringLiteral("-o"),
                                   File(QStringLiteral("no/such/folder/a.pdb")), good});
    EXPECT_EQ(unwritable.status, 2);
    EXPECT_TRUE(unwritable.err.contains(QStringLiteral("cannot be written")))
        << unwritable.err.toStdString();
}
