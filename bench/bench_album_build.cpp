// Building an album of 100 photographs of 12 megapixels with default settings, against what
// decoding the same files in full costs on one core; and the peak memory of `tavelo-cli build`
// for 200 such photographs, and for 200 pictures of 1280 x 1024 kept at that size in 16 bits.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "album/album_build.h"
#include "decode/picture_loader.h"

namespace {

constexpr int kPhotoWidth = 4000;
constexpr int kPhotoHeight = 3000;
constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;
constexpr int kAlbumPictures = 100;
constexpr int kMemoryPictures = 200;
constexpr int kDistinctFiles = 4;  // decoding costs the same for every copy of a file
constexpr double kMb = 1024.0 * 1024.0;

QTemporaryDir* g_dir = nullptr;

// A photograph-like picture: smooth light, a few shapes and fine noise, so that the JPEG
// decoder does the work of a real photograph.
QImage MakePhotograph(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    std::uint32_t noise = 0x9E3779B9u * static_cast<std::uint32_t>(seed + 1);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int n = static_cast<int>(noise >> 27) - 16;
            const double wave = std::sin((x + seed * 300) * 0.004) * std::cos(y * 0.006);
            const int r = std::clamp(static_cast<int>(120 + 90 * wave) + n, 0, 255);
            const int g =
                std::clamp(static_cast<int>(100 + 60 * std::sin(y * 0.002 + seed)) + n, 0, 255);
            const int b = std::clamp(
                static_cast<int>(140 - 80 * wave) + ((x / 200 + y / 150) % 2) * 30 + n, 0, 255);
            row[x] = qRgb(r, g, b);
        }
    }
    return image;
}

// `count` paths cycling through a few distinct JPEG files of that size, made once.
std::vector<std::string> Pictures(int width, int height, int count) {
    if (g_dir == nullptr) {
        g_dir = new QTemporaryDir();
    }
    std::vector<std::string> distinct;
    for (int i = 0; i < kDistinctFiles; ++i) {
        const QString path =
            g_dir->filePath(QStringLiteral("photo_%1x%2_%3.jpg").arg(width).arg(height).arg(i));
        if (!QFileInfo::exists(path)) {
            MakePhotograph(width, height, i).save(path, "jpeg", 90);
        }
        distinct.push_back(path.toStdString());
    }
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        files.push_back(distinct[static_cast<std::size_t>(i % kDistinctFiles)]);
    }
    return files;
}

CAlbum Album(const std::vector<std::string>& files) {
    CAlbum album;
    for (const std::string& file : files) {
        auto entry = std::make_unique<CAlbumImage>();
        entry->m_sourcePath = file;
        entry->m_title = "photo";
        album.Append(std::move(entry));
    }
    album.SetIconSource(album.At(0)->m_sourcePath);
    return album;
}

// The loader decoding every row, whatever the build wants: the reading before row skipping.
CPictureReading FullReading() {
    CPictureReading reading = PictureReading();
    reading.load = [](const std::string& path, const RowsWanted&, CDib& picture,
                      std::string& reason) {
        CPictureLoader loader;
        if (!loader.Open(path) || !loader.RenderToDib(picture)) {
            reason = loader.Error();
            return false;
        }
        return true;
    };
    return reading;
}

// (a) Decoding the album's photographs in full, one after another: the yardstick.
void FullDecode(benchmark::State& state) {
    const std::vector<std::string> files = Pictures(kPhotoWidth, kPhotoHeight, kAlbumPictures);
    for (auto _ : state) {
        for (const std::string& file : files) {
            CPictureLoader loader;
            CDib picture;
            if (!loader.Open(file) || !loader.RenderToDib(picture)) {
                state.SkipWithError(loader.Error().c_str());
                return;
            }
            benchmark::DoNotOptimize(picture.Row(0));
        }
    }
    state.counters["pictures"] = kAlbumPictures;
}

// (b) The album build on 1 or 2 threads, with rows skipped (1) or every row decoded (0).
void BuildAlbum(benchmark::State& state) {
    const CAlbum album = Album(Pictures(kPhotoWidth, kPhotoHeight, kAlbumPictures));
    CAlbumBuildOptions options;
    options.threads = static_cast<int>(state.range(0));
    const bool skipRows = state.range(1) != 0;
    const CPictureReading reading = skipRows ? PictureReading() : FullReading();
    const std::string output = g_dir->filePath(QStringLiteral("album.pdb")).toStdString();
    for (auto _ : state) {
        const CBuildResult result = BuildAlbumFile(album, output, reading, options);
        if (result.outcome != BuildOutcome::Written) {
            state.SkipWithError((result.reason + result.picture.reason).c_str());
            return;
        }
    }
}

// (c) Peak resident memory of `tavelo-cli build` (one worker per core), beside its budget: the
// decoded pictures the workers hold at once, 1.2 times the album file, and 64 MB.
void PeakMemory(benchmark::State& state, int width, int height, std::vector<std::string> options) {
    const std::vector<std::string> files = Pictures(width, height, kMemoryPictures);
    const std::string output = g_dir->filePath(QStringLiteral("memory.pdb")).toStdString();
    std::vector<std::string> text = {TAVELO_CLI_PATH, "build", "-o", output};
    text.insert(text.end(), options.begin(), options.end());
    text.insert(text.end(), files.begin(), files.end());
    long peakKb = 0;
    for (auto _ : state) {
        std::vector<char*> argv;
        for (auto& t : text) {
            argv.push_back(t.data());
        }
        argv.push_back(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            execv(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        peakKb = usage.ru_maxrss;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("tavelo-cli build failed");
            return;
        }
    }
    const int workers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const double decodedMb = workers * 3.0 * width * height / kMb;
    const double albumMb =
        static_cast<double>(QFileInfo(QString::fromStdString(output)).size()) / kMb;
    state.counters["peak_MB"] = peakKb / 1024.0;
    state.counters["album_MB"] = albumMb;
    state.counters["budget_MB"] = decodedMb + 1.2 * albumMb + 64;
}

}  // namespace

// CPU time of the whole process (every worker), which a busy machine disturbs less than the
// wall clock.
BENCHMARK(FullDecode)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);
BENCHMARK(BuildAlbum)
    ->ArgNames({"threads", "skip_rows"})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({2, 0})
    ->Args({2, 1})
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);
BENCHMARK_CAPTURE(PeakMemory, photographs_12mp, kPhotoWidth, kPhotoHeight,
                  std::vector<std::string>{})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(PeakMemory, screens_16bit_full_size, kScreenWidth, kScreenHeight,
                  std::vector<std::string>{"--depth", "16", "--no-crop", "--limit", "1280x1024"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    delete g_dir;
    return 0;
}
