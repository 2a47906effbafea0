#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "album/album_database.h"
#include "cli/album_report.h"
#include "cli/cli.h"
#include "platform/environment_scope.h"
#include "platform/system_path.h"

#if defined(__SANITIZE_ADDRESS__)
#define TAVELO_HEAP_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVELO_HEAP_HOOKS 1
#endif
#endif
#ifdef TAVELO_HEAP_HOOKS
// The sanitizer runtime's own (its header is not always installed).
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                              void (*)(const volatile void*));
std::size_t __sanitizer_get_allocated_size(const volatile void* block);
}
#endif

using namespace Qt::StringLiterals;

namespace {

const QString kData = QStringLiteral(TAVELO_TEST_DATA_DIR "/");
const QString kSamples = QStringLiteral(TAVELO_SAMPLES_DIR "/");

struct CRun {
    int status = -1;  // also when killed, crashed or not done within ten seconds
    QString out;
    QString err;
};

// Runs tavelo-cli; `fileSizeLimit` makes a full file system without mounting one.
CRun RunTool(const QStringList& arguments, std::optional<rlim_t> fileSizeLimit = std::nullopt,
             const QString& outputFile = {}) {
    QProcess process;
    if (fileSizeLimit) {
        process.setChildProcessModifier([limit = *fileSizeLimit] {
            const rlimit files{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &files);
        });
    }
    if (!outputFile.isEmpty()) {
        process.setStandardOutputFile(outputFile);
    }
    process.start(QStringLiteral(TAVELO_CLI_PATH), arguments);
    const bool done =
        process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit;
    return {done ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// The command in this process, for names a child process cannot be given (bytes not UTF-8).
CRun RunInProcess(const QStringList& arguments) {
    CRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = RunCli(QStringList{u"tavelo-cli"_s} + arguments, out, err, false);
    return run;
}

// How far this process's peak resident memory rises while `work` runs, in kilobytes; none
// where the kernel's high-water mark cannot be reset.
std::optional<long> PeakGrowthKb(const std::function<void()>& work) {
    const auto statusKb = [](const std::string& field) {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line) && line.rfind(field, 0) != 0) {
        }
        return std::stol(line.substr(field.size()));
    };
    std::ofstream reset("/proc/self/clear_refs");
    reset << "5";
    reset.close();
    if (!reset) {
        return std::nullopt;
    }
    const long before = statusKb("VmRSS:");
    work();
    return statusKb("VmHWM:") - before;
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

#ifdef TAVELO_HEAP_HOOKS
std::atomic<bool> g_counting{false};
std::atomic<std::int64_t> g_live{0};
std::atomic<std::int64_t> g_peak{0};

void CountMalloc(const volatile void*, std::size_t size) {
    if (g_counting) {
        const std::int64_t live = g_live += static_cast<std::int64_t>(size);
        std::int64_t peak = g_peak;
        while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
        }
    }
}

void CountFree(const volatile void* block) {
    if (g_counting) {
        g_live -= static_cast<std::int64_t>(__sanitizer_get_allocated_size(block));
    }
}
#endif

// How far the heap grows at most while `work` runs, in kilobytes: counted by the sanitizer's
// hooks where it holds freed blocks back (its resident size keeps them all), else the rise of
// the peak resident memory; none where neither can be known.
std::optional<long> PeakHeapGrowthKb(const std::function<void()>& work) {
#ifdef TAVELO_HEAP_HOOKS
    static const bool installed =
        __sanitizer_install_malloc_and_free_hooks(&CountMalloc, &CountFree) != 0;
    if (!installed) {
        return std::nullopt;
    }
    g_live = 0;
    g_peak = 0;
    g_counting = true;
    work();
    g_counting = false;
    return static_cast<long>(g_peak / 1024);
#else
    return PeakGrowthKb(work);
#endif
}

// An album of `count` pictures of the largest size at 16 bits (2.5 MB each), built here.
void WriteLargeAlbum(const QString& path, int count) {
    CDib source;
    CDib icon;
    ASSERT_TRUE(source.Create(1280, 1024, 24) && icon.Create(24, 24, 24));
    CPreparedAlbum album;
    album.m_icon = &icon;
    album.m_text = "Large\n";
    for (int i = 0; i < count; ++i) {
        auto picture = std::make_unique<CPreparedPicture>();
        picture->m_colorDepth = 16;
        picture->m_text = "p\n";
        ASSERT_TRUE(picture->SetImage(source));
        album.AddPicture(std::move(picture));
    }
    CPalmDatabase db;
    ASSERT_TRUE(BuildAlbumDatabase(album, db));
    std::vector<std::uint8_t> bytes(db.GetFileSize());
    db.BuildImage(bytes.data());
    std::ofstream(path.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

TEST(AlbumReport, HostileInputIsRefusedQuicklyOnOneLineWithNothingWritten) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(u"pipe.pdb"_s);
    const QString huge = dir.filePath(u"huge.pdb"_s);
    ASSERT_EQ(::mkfifo(fifo.toUtf8().constData(), 0600), 0);
    ASSERT_TRUE(QFile(huge).open(QIODevice::WriteOnly));
    ASSERT_EQ(::truncate(huge.toUtf8().constData(), album_layout::kMaxAlbumFileSize + 1), 0);
    const std::pair<QString, QString> cases[] = {
        {kData + u"album_index_entries_sharing_one_record.pdb"_s,
         u"picture 2: its records are those of picture 1"_s},
        {kData + u"album_third_picture_damaged.pdb"_s,
         u"picture 3: the picture data has an unusable bitmap header"_s},
        {fifo, u"pipe.pdb: not a regular file"_s},
        {u"/dev/zero"_s, u"/dev/zero: not a regular file"_s},
        {dir.path(), u": not a regular file"_s},
        {huge, u"huge.pdb: larger than any album file"_s},
        {dir.filePath(u"a\nb\x1b.pdb"_s), u"/a\\nb\\x1b.pdb': file not found"_s},
    };
    const QString out = dir.filePath(u"out"_s);
    for (const auto& [file, mention] : cases) {
        for (const QStringList& command :
             {QStringList{u"inspect"_s, file}, QStringList{u"extract"_s, file, u"-d"_s, out}}) {
            const CRun run = RunTool(command);
            EXPECT_EQ(run.status, 2) << command.join(u' ').toStdString();
            EXPECT_TRUE(run.err.contains(mention)) << run.err.toStdString();
            EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
            EXPECT_FALSE(QFile::exists(out)) << mention.toStdString();
        }
    }
    // A pipe as a picture or as the album description is refused, not waited on.
    const QString pipePicture = dir.filePath(u"pipe.jpg"_s);
    const QString pipeProject = dir.filePath(u"pipe.json"_s);
    ASSERT_EQ(::mkfifo(pipePicture.toUtf8().constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(pipeProject.toUtf8().constData(), 0600), 0);
    for (const QStringList& input :
         {QStringList{pipePicture}, QStringList{u"--album"_s, pipeProject}}) {
        const CRun run = RunTool(QStringList{u"build"_s, u"-o"_s, out} + input);
        EXPECT_EQ(run.status, 2) << input.join(u' ').toStdString();
        EXPECT_TRUE(run.err.endsWith(u": not a regular file\n"_s)) << run.err.toStdString();
        EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
}

TEST(AlbumReport, ReadingAnAlbumWhoseEntriesShareOneRecordTakesUnderFiftyMegabytes) {
    const QString file = kData + u"album_index_entries_sharing_one_record.pdb"_s;
    CAlbumFileInput album;
    CInputError error;
    const auto growth = PeakGrowthKb([&] {
        if (OpenAlbumFile(file, album, error)) {
            (void)DescribeAlbum(file, album.Album());
        }
    });
    if (!growth) {
        GTEST_SKIP() << "the peak resident memory cannot be reset here";
    }
    EXPECT_LT(*growth, 50 * 1024);
}

// Each picture is read, decoded and written in turn: the album is never held whole.
TEST(AlbumReport, ExtractHoldsOnePictureNotTheAlbum) {
    QTemporaryDir dir;
    const QString pdb = dir.filePath(u"large.pdb"_s);
    WriteLargeAlbum(pdb, 12);
    ASSERT_GT(QFileInfo(pdb).size(), 30'000'000);
    CAlbumFileInput album;
    CInputError error;
    bool extracted = false;
    const auto growth = PeakHeapGrowthKb([&] {
        int written = 0;
        extracted = OpenAlbumFile(pdb, album, error) &&
                    ExtractAlbum(album, dir.filePath(u"out"_s), written, error);
    });
    EXPECT_TRUE(extracted) << error.reason.toStdString();
    if (!growth) {
        GTEST_SKIP() << "the heap's growth cannot be measured here";
    }
    EXPECT_LT(*growth, 20 * 1024);  // one picture's bytes, pixels and PNG: about 11 MB
}

// A second extract into the same folder leaves only its own files and the user's: those of an
// earlier, larger album go, and so do the temporary files of one killed part-way.
TEST(AlbumReport, AnExtractOverAnEarlierOrKilledOneLeavesItsOwnFilesOnly) {
    QTemporaryDir dir;
    const QString large = dir.filePath(u"large.pdb"_s);
    const QString small = dir.filePath(u"small.pdb"_s);
    WriteLargeAlbum(large, 6);
    ASSERT_EQ(RunTool({u"build"_s, u"-o"_s, small, kSamples + u"dandelions_320x180.bmp"_s}).status,
              0);
    const QString out = dir.filePath(u"out"_s);
    ASSERT_EQ(RunTool({u"extract"_s, small, u"-d"_s, out}).status, 0);
    const QStringList own = Entries(out);
    ASSERT_EQ(own.size(), 8);
    const QStringList users = {u"notes.txt"_s, u"picture_01.png"_s, u"picture_002.jpg"_s,
                               u"picture_003_thumbnail_8bit.png.bak"_s};
    for (const QString& name : users) {
        QFile(out + u'/' + name).open(QIODevice::WriteOnly);
    }
    ASSERT_TRUE(QFile::link(out + u"/notes.txt"_s, out + u"/picture_099.png"_s));
    QStringList expected = own + users + QStringList{u"picture_099.png"_s};
    expected.sort();

    ASSERT_EQ(RunTool({u"extract"_s, large, u"-d"_s, out}).status, 0);
    ASSERT_EQ(Entries(out).size(), expected.size() + 5 * 5);
    // Killed while its files stand under temporary names.
    QProcess killed;
    killed.start(QStringLiteral(TAVELO_CLI_PATH), {u"extract"_s, large, u"-d"_s, out});
    ASSERT_TRUE(killed.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    while (Entries(out).filter(u".tmp"_s).size() < 3 && waited.elapsed() < 20000) {
        QThread::usleep(200);
    }
    ::kill(static_cast<pid_t>(killed.processId()), SIGKILL);
    killed.waitForFinished();
    ASSERT_FALSE(Entries(out).filter(u".tmp"_s).isEmpty()) << "the extract ended before the kill";

    const CRun again = RunTool({u"extract"_s, small, u"-d"_s, out});
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_EQ(Entries(out).join(u' ').toStdString(), expected.join(u' ').toStdString());
}

TEST(AlbumReport, ExtractThatCannotWriteEveryFileLeavesNothing) {
    QTemporaryDir dir;
    const QString pdb = dir.filePath(u"a.pdb"_s);
    ASSERT_EQ(
        RunTool({u"build"_s, u"-o"_s, pdb, u"--depth"_s, u"16"_s,
                 kSamples + u"dandelions_320x180.bmp"_s, kSamples + u"paint_brushes_400x315.gif"_s})
            .status,
        0);
    const QString whole = dir.filePath(u"whole"_s);
    EXPECT_EQ(RunTool({u"extract"_s, pdb, u"-d"_s, whole}).out,
              u"Wrote 13 files to %1\n"_s.arg(whole));
    ASSERT_EQ(Entries(whole).size(), 13);  // 3 icon members; per picture 2 files, 3 thumbnails
    qint64 largest = 0;
    for (const QString& name : Entries(whole)) {
        largest = std::max(largest, QFileInfo(whole + u'/' + name).size());
    }
    // Out of room at the first file, part-way, and at the largest file alone; into a new
    // folder, and over an earlier extract beside a file of the user's, which stay as they were.
    const QString existing = dir.filePath(u"existing"_s);
    ASSERT_TRUE(QDir().mkpath(existing));
    QStringList earlier = Entries(whole);
    earlier.append(u"notes.txt"_s);
    earlier.sort();
    for (const QString& name : earlier) {
        QFile file(existing + u'/' + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("earlier") == 7);
    }
    for (const rlim_t limit : {rlim_t{0}, rlim_t{2000}, static_cast<rlim_t>(largest - 1)}) {
        for (const QString& folder : {dir.filePath(u"new/deeper"_s), existing}) {
            const CRun run = RunTool({u"extract"_s, pdb, u"-d"_s, folder}, limit);
            EXPECT_EQ(run.status, 2) << limit;
            EXPECT_TRUE(run.err.contains(u": cannot be written: "_s)) << run.err.toStdString();
            EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
        }
        EXPECT_FALSE(QFile::exists(dir.filePath(u"new"_s))) << limit;
        ASSERT_EQ(Entries(existing), earlier) << limit;
        for (const QString& name : earlier) {
            QFile file(existing + u'/' + name);
            EXPECT_TRUE(file.open(QIODevice::ReadOnly) && file.readAll() == "earlier")
                << name.toStdString();
        }
    }
    // A picture that cannot be read when its turn comes (the file cut short since it was
    // opened) stops the extract, and what it wrote goes again.
    CAlbumFileInput album;
    CInputError error;
    ASSERT_TRUE(OpenAlbumFile(pdb, album, error));
    ASSERT_EQ(::truncate(pdb.toUtf8().constData(), QFileInfo(pdb).size() - 1), 0);
    int written = -1;
    EXPECT_FALSE(ExtractAlbum(album, dir.filePath(u"late"_s), written, error));
    EXPECT_TRUE(error.reason.startsWith(u"picture 2: the file cannot be read"_s))
        << error.reason.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(u"late"_s)));
}

TEST(AlbumReport, ControlCharactersAreShownAsEscapesAndFailedOutputIsAFailure) {
    // A title that would recolour the terminal and retitle its window, a two-line note, a
    // database name with a C1 control, and a file name that is not UTF-8.
    QTemporaryDir dir;
    const std::string name = PathToSystem(dir.path()) + "/odd\xff.pdb";
    std::filesystem::copy_file(TAVELO_TEST_DATA_DIR "/album_title_with_terminal_escapes.pdb", name);
    const CRun run = RunInProcess({u"inspect"_s, PathFromSystem(name)});
    // In JSON such a name is given byte by byte, each as \u00XX, and marked so.
    const CRun named = RunInProcess({u"inspect"_s, PathFromSystem(name), u"--json"_s});
    std::filesystem::remove(name);  // beyond what QTemporaryDir can name
    EXPECT_TRUE(named.out.contains(u"/odd\\u00ff.pdb\",\n"_s)) << named.out.toStdString();
    const QJsonObject report = QJsonDocument::fromJson(named.out.toUtf8()).object();
    EXPECT_EQ(report[u"file"_s].toString().toLatin1().toStdString(), name);
    EXPECT_TRUE(report[u"fileNotUtf8"_s].toBool());
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(u"/odd\\xff.pdb\nDatabase:  tvl\\x9balbum_"_s))
        << run.out.toStdString();
    EXPECT_TRUE(
        run.out.contains(u"\"\\x1b[31mRed\\x1b]0;x\\x07        \", note \"line 1\\nline 2 \""_s))
        << run.out.toStdString();
    EXPECT_EQ(run.out.count(u'\n'), 7);  // one per line of the report: none from the texts
    EXPECT_EQ(RunInProcess({u"inspect"_s, PathFromSystem("no\nsuch\xff.pdb")}).err,
              u"tavelo-cli: 'no\\nsuch\\xff.pdb': file not found\n"_s);

    const QString pdb = kData + u"album_title_with_terminal_escapes.pdb"_s;
    const CRun json = RunInProcess({u"inspect"_s, pdb, u"--json"_s});
    EXPECT_TRUE(json.out.contains(u"tvl\\u009balbum_"_s)) << json.out.toStdString();
    EXPECT_TRUE(QJsonDocument::fromJson(json.out.toUtf8()).isObject());
    EXPECT_FALSE(json.out.contains(u"fileNotUtf8"_s));
    // DEL and both ends of the C1 range, in the database name.
    std::string c1Name;
    {
        std::ifstream in(pdb.toStdString(), std::ios::binary);
        c1Name.assign(std::istreambuf_iterator<char>(in), {});
    }
    c1Name.replace(0, 3, "\x7F\x80\x9F");
    const QString c1 = dir.filePath(u"c1.pdb"_s);
    std::ofstream(c1.toStdString(), std::ios::binary) << c1Name;
    const CRun escaped = RunInProcess({u"inspect"_s, c1, u"--json"_s});
    EXPECT_TRUE(escaped.out.contains(u"\"\\u007f\\u0080\\u009f\\u009balbum_"_s))
        << escaped.out.toStdString();
    for (const QStringList& command :
         {QStringList{u"inspect"_s, pdb}, QStringList{u"inspect"_s, pdb, u"--json"_s},
          QStringList{u"extract"_s, pdb, u"-d"_s, dir.filePath(u"x"_s)},
          QStringList{u"--version"_s}}) {
        const CRun full = RunTool(command, std::nullopt, u"/dev/full"_s);
        EXPECT_EQ(full.status, 2) << command.join(u' ').toStdString();
        EXPECT_TRUE(full.err.startsWith(u"tavelo-cli: standard output cannot be written"_s))
            << full.err.toStdString();
        EXPECT_EQ(full.err.count(u'\n'), 1) << full.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(u"x"_s)));  // asked before the first file
}

TEST(AlbumReport, AMalformedSourceDateEpochIsSaidOnceAndTheBuildTakesTheRealTime) {
    EnvironmentScope environment;
    for (const char* malformed :
         {"abc", "12x", " 1", "-1", "+5", "1.5", "99999999999999999999", "2212122496", ""}) {
        environment.Set("SOURCE_DATE_EPOCH", malformed);
        const int mentions = *malformed != '\0' ? 1 : 0;  // an empty value counts as none
        EXPECT_EQ(RunInProcess({u"build"_s}).err.count(u"SOURCE_DATE_EPOCH"_s), mentions)
            << malformed;
    }
    for (const char* usable : {"0", "2212122495", "0002212122495"}) {
        environment.Set("SOURCE_DATE_EPOCH", usable);
        EXPECT_FALSE(RunInProcess({u"build"_s}).err.contains(u"SOURCE_DATE_EPOCH"_s)) << usable;
    }
    const std::pair<const char*, QString> words[] = {
        {"4294967296", u"'4294967296' is later than"_s}, {"-1", u"'-1' is before 1970;"_s},
        {"-99999999999999999999", u"is before 1970;"_s}, {"-0", u"'-0' is not a whole number"_s},
        {"-", u"'-' is not a whole number"_s},           {"-1x", u"'-1x' is not a whole number"_s}};
    for (const auto& [value, mention] : words) {
        environment.Set("SOURCE_DATE_EPOCH", value);
        const QString err = RunInProcess({u"build"_s}).err;
        EXPECT_TRUE(err.contains(mention)) << err.toStdString();
    }

    environment.Set("SOURCE_DATE_EPOCH", "1e9");
    QTemporaryDir dir;
    const QString pdb = dir.filePath(u"a.pdb"_s);
    const CRun run = RunTool({u"build"_s, u"-o"_s, pdb, kSamples + u"dandelions_320x180.bmp"_s});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err,
              u"tavelo-cli: SOURCE_DATE_EPOCH '1e9' is not a whole number of seconds; "
              "the album takes the current time\n"_s);
    CAlbumFileInput album;
    CInputError error;
    ASSERT_TRUE(OpenAlbumFile(pdb, album, error));
    EXPECT_NEAR(album.Album().created, QDateTime::currentSecsSinceEpoch(), 600);
}
