#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// Damaged pictures given to the batch tool: whatever the memory held before, the same file
// gives the same album or the same refusal.

namespace {

const QString kData = QStringLiteral(TAVELO_TEST_DATA_DIR);
const QString kCli = QStringLiteral(TAVELO_CLI_PATH);

struct CBuild {
    int status = -1;
    QString err;
    QByteArray album;
};

// Builds an album of `picture` with fresh memory filled with `fill`, by the C library's
// allocator or, in a sanitized build, by the sanitizer's.
CBuild BuildWithMemoryFilled(const QString& picture, const QString& output, int fill) {
    QFile::remove(output);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SOURCE_DATE_EPOCH"), QStringLiteral("978307200"));
    env.insert(QStringLiteral("MALLOC_PERTURB_"), QString::number(fill));
    const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               asan + (asan.isEmpty() ? "" : ":") +
                   QStringLiteral("malloc_fill_byte=%1:max_malloc_fill_size=1073741824").arg(fill));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(kCli, {QStringLiteral("build"), QStringLiteral("-o"), output, picture});
    process.waitForFinished(120000);
    CBuild build;
    build.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    build.err = QString::fromUtf8(process.readAllStandardError());
    QFile album(output);
    if (album.open(QIODevice::ReadOnly)) {
        build.album = album.readAll();
    }
    return build;
}

}  // namespace

TEST(CliPictures, ADamagedPictureGivesTheSameResultWhateverTheMemoryHeld) {
    const struct {
        const char* file;
        bool refused;
    } cases[] = {
        {"bmp_rle8_only_end_of_bitmap.bmp", true},
        {"bmp_rle8_cut_short.bmp", true},
        {"bmp_cut_short.bmp", true},
        {"bmp_pixels_past_end.bmp", true},
        {"jpeg_cut_in_half.jpg", true},
        {"gif_cut_in_image_data.gif", true},
        {"heic_damaged_slice_reads_unset_memory.heic", true},
        {"bmp_zero_file_size_field.bmp", false},
        {"jpeg_without_end_marker.jpg", false},
    };
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("album.pdb"));
    for (const auto& c : cases) {
        const QString picture = kData + QLatin1Char('/') + QLatin1String(c.file);
        const CBuild zero = BuildWithMemoryFilled(picture, output, 0);
        const CBuild filled = BuildWithMemoryFilled(picture, output, 85);
        EXPECT_EQ(zero.status, c.refused ? 2 : 0) << c.file << ": " << zero.err.toStdString();
        EXPECT_EQ(filled.status, zero.status) << c.file;
        EXPECT_EQ(filled.err, zero.err) << c.file;
        EXPECT_EQ(filled.album, zero.album) << c.file;
        if (c.refused) {
            EXPECT_TRUE(zero.err.contains(QLatin1String(c.file))) << zero.err.toStdString();
            EXPECT_EQ(zero.err.count(QLatin1Char('\n')), 1) << zero.err.toStdString();
            EXPECT_TRUE(zero.album.isEmpty()) << c.file;
        }
    }
}
