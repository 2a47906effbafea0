// Building an album of 100 photographs of 12 megapixels with default settings, compared with
// what Qt's reader alone needs to decode the same files on one core; and the peak memory of
// such a build in the batch tool.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <vector>

#include "album/album_build.h"
#include "imaging/picture_loader.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kPictures = 100;
constexpr int kDistinctFiles = 4;  // decoding costs the same for every copy of a file

QTemporaryDir* g_dir = nullptr;
QStringList g_files;

// A photograph-like picture: smooth light, a few shapes and fine noise, so that the JPEG
// decoder does the work of a real photograph.
QImage MakePhotograph(int seed) {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    std::uint32_t noise = 0x9E3779B9u * static_cast<std::uint32_t>(seed + 1);
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int n = static_cast<int>(noise >> 27) - 16;
            const double wave = std::sin((x + seed * 300) * 0.004) * std::cos(y * 0.006);
            const int r = std::clamp(static_cast<int>(120 + 90 * wave) + n, 0, 255);
            const int g = std::clamp(static_cast<int>(100 + 60 * std::sin(y * 0.002 + seed)) + n, 0, 255);
            const int b = std::clamp(static_cast<int>(140 - 80 * wave) + ((x / 200 + y / 150) % 2) * 30 + n,
                                     0, 255);
            row[x] = qRgb(r, g, b);
        }
    }
    return image;
}

void PrepareFiles() {
    if (g_dir != nullptr) {
        return;
    }
    g_dir = new QTemporaryDir();
    QStringList distinct;
    for (int i = 0; i < kDistinctFiles; ++i) {
        const QString path = g_dir->filePath(QStringLiteral("photo_%1.jpg").arg(i));
        MakePhotograph(i).save(path, "jpeg", 90);
        distinct << path;
    }
    for (int i = 0; i < kPictures; ++i) {
        g_files << distinct[i % kDistinctFiles];
    }
}

CAlbum Album() {
    CAlbum album;
    for (const QString& file : g_files) {
        auto entry = std::make_unique<CAlbumImage>();
        entry->m_sourcePath = file.toStdString();
        entry->m_title = "photo";
        album.Append(std::move(entry));
    }
    album.SetIconSource(album.At(0)->m_sourcePath);
    return album;
}

void DecodeOnly(benchmark::State& state) {
    PrepareFiles();
    QImageReader::setAllocationLimit(400);
    for (auto _ : state) {
        for (const QString& file : g_files) {
            QImageReader reader(file);
            QImage image = reader.read();
            benchmark::DoNotOptimize(image.constBits());
        }
    }
    state.counters["pictures"] = kPictures;
}

void BuildAlbum(benchmark::State& state) {
    PrepareFiles();
    const CAlbum album = Album();
    CAlbumBuildOptions options;
    options.threads = static_cast<int>(state.range(0));
    const std::string output = g_dir->filePath(QStringLiteral("album.pdb")).toStdString();
    for (auto _ : state) {
        const CBuildResult result = BuildAlbumFile(album, output, PictureReading(), options);
        if (result.outcome != BuildOutcome::Written) {
            state.SkipWithError((result.reason + result.picture.reason).c_str());
            return;
        }
    }
    state.counters["threads"] = static_cast<double>(options.threads);
}

// Peak resident memory of `tavelo-cli build` over the 100 pictures with two workers.
void PeakMemory(benchmark::State& state) {
    PrepareFiles();
    QStringList args = {QStringLiteral("build"), QStringLiteral("-o"), g_dir->filePath(QStringLiteral("m.pdb"))};
    args += g_files;
    long peakKb = 0;
    for (auto _ : state) {
        const pid_t child = fork();
        if (child == 0) {
            std::vector<std::string> text = {TAVELO_CLI_PATH};
            for (const QString& a : args) {
                text.push_back(a.toStdString());
            }
            std::vector<char*> argv;
            for (auto& t : text) {
                argv.push_back(t.data());
            }
            argv.push_back(nullptr);
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
    const double decodedMb = kWidth * kHeight * 4.0 / (1024 * 1024);
    const double finalMb = kPictures * 160.0 * 160.0 * 3 / (1024 * 1024);
    state.counters["peak_MB"] = peakKb / 1024.0;
    state.counters["budget_MB"] = 2 * decodedMb + finalMb + 64;  // two workers
}

}  // namespace

BENCHMARK(DecodeOnly)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BuildAlbum)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(PeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    delete g_dir;
    return 0;
}
