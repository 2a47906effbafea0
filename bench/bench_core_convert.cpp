// The preview re-runs brightness/contrast and depth conversion on every slider move, on
// pictures up to 1280 x 1024; these measure them, and the resampling that precedes them, on
// photograph-like pictures made from a bundled sample.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "convert/conversion.h"
#include "imaging/dib.h"

namespace {

constexpr int kPreviewWidth = 1280;
constexpr int kPreviewHeight = 1024;
constexpr int kCameraWidth = 4000;
constexpr int kCameraHeight = 3000;

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// The sample is a plain bottom-up 24-bit BMP.
std::unique_ptr<CDib> ReadSample(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M' || bytes[28] != 24) {
        return nullptr;
    }
    const auto width = static_cast<std::int32_t>(Le32(bytes, 18));
    const auto height = static_cast<std::int32_t>(Le32(bytes, 22));
    const std::size_t offset = Le32(bytes, 10);
    const std::int32_t stride = CDib::Stride(24, width);
    auto dib = std::make_unique<CDib>();
    if (width <= 0 || height <= 0 ||
        offset + static_cast<std::size_t>(stride) * height > bytes.size() ||
        !dib->Create(width, height, 24)) {
        return nullptr;
    }
    for (std::int32_t y = 0; y < height; ++y) {
        std::memcpy(dib->Row(y), bytes.data() + offset + static_cast<std::size_t>(stride) * y,
                    static_cast<std::size_t>(stride));
    }
    return dib;
}

// The sample enlarged to the given size, with smooth gradients and fine grain added so that
// it holds as many colours as a photograph of that size.
std::unique_ptr<CDib> Photograph(int width, int height) {
    static const std::unique_ptr<CDib> sample =
        ReadSample(std::string(TAVELO_SAMPLES_DIR) + "/dandelions_320x180.bmp");
    auto dib = std::make_unique<CDib>();
    if (!sample || !dib->Create(width, height, 24) ||
        !ResampleDib(*sample, 0, 0, sample->Width(), sample->Height(), *dib, width, height)) {
        return nullptr;
    }
    std::uint32_t state = 12345;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = dib->Row(y);
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c, ++p) {
                state = state * 214013 + 2531011;
                const int grain = static_cast<int>((state >> 16) & 15) - 8;
                const int gradient = (c == 0 ? x * 24 / width : c == 1 ? y * 24 / height : 0) - 12;
                const int v = *p + grain + gradient;
                *p = static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
            }
        }
    }
    return dib;
}

void ConvertPreview(benchmark::State& state, int depth, std::uint8_t dither) {
    const auto source = Photograph(kPreviewWidth, kPreviewHeight);
    CDib destination;
    if (!source ||
        !destination.Create(kPreviewWidth, kPreviewHeight, static_cast<std::uint8_t>(depth),
                            depth < 8 ? static_cast<std::uint16_t>(1 << depth) : 256)) {
        state.SkipWithError("cannot make the pictures");
        return;
    }
    for (auto _ : state) {
        if (!ConvertDepth(*source, destination, 0, dither)) {
            state.SkipWithError("conversion failed");
            return;
        }
        benchmark::DoNotOptimize(destination.Pixels());
        benchmark::ClobberMemory();
    }
}

void BM_ConvertDepth8Dithered(benchmark::State& state) {
    ConvertPreview(state, 8, 1);
}
void BM_ConvertDepth8Undithered(benchmark::State& state) {
    ConvertPreview(state, 8, 0);
}
void BM_ConvertDepth4Dithered(benchmark::State& state) {
    ConvertPreview(state, 4, 1);
}
void BM_ConvertDepth16(benchmark::State& state) {
    ConvertPreview(state, 16, 0);
}

void BM_AdjustBrightnessContrast(benchmark::State& state) {
    const auto source = Photograph(kPreviewWidth, kPreviewHeight);
    CDib destination;
    if (!source || !destination.Create(kPreviewWidth, kPreviewHeight, 24)) {
        state.SkipWithError("cannot make the pictures");
        return;
    }
    for (auto _ : state) {
        AdjustBrightnessContrast(*source, destination, 20, 180);
        benchmark::DoNotOptimize(destination.Pixels());
        benchmark::ClobberMemory();
    }
}

void BM_ResampleDib(benchmark::State& state) {
    const auto source = Photograph(kCameraWidth, kCameraHeight);
    CDib destination;
    if (!source || !destination.Create(kPreviewWidth, kPreviewHeight, 24)) {
        state.SkipWithError("cannot make the pictures");
        return;
    }
    for (auto _ : state) {
        if (!ResampleDib(*source, 0, 0, kCameraWidth, kCameraHeight, destination, kPreviewWidth,
                         kPreviewHeight)) {
            state.SkipWithError("resampling failed");
            return;
        }
        benchmark::DoNotOptimize(destination.Pixels());
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_ConvertDepth8Dithered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertDepth8Undithered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertDepth4Dithered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertDepth16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AdjustBrightnessContrast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResampleDib)->Unit(benchmark::kMillisecond);
