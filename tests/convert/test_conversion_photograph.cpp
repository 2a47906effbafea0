#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "convert/conversion.h"
#include "imaging/dib.h"
#include "support/core_bmp_reader.h"
#include "support/core_pictures.h"

namespace {

// The bundled sample pictures sit beside tests/ at the top of the source tree.
const std::string kPhotograph =
    (std::filesystem::path(TAVELO_TEST_DATA_DIR).parent_path().parent_path() / "samples" /
     "dandelions_320x180.bmp")
        .string();

class ConvertPhotograph : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        photo_ = std::make_unique<CDib>();
        if (!ReadBmp24(kPhotograph, *photo_)) {
            photo_.reset();
        }
    }
    static void TearDownTestSuite() { photo_.reset(); }

    void SetUp() override { ASSERT_TRUE(photo_) << "cannot read " << kPhotograph; }

    static std::unique_ptr<CDib> Converted(int depth, bool dither, bool deviceLayout = true) {
        auto out = NewDib(photo_->Width(), photo_->Height(), depth, depth < 8 ? 1 << depth : 256);
        if (!out || !ConvertDepth(*photo_, *out, deviceLayout ? 1 : 0, dither ? 1 : 0)) {
            return nullptr;
        }
        return out;
    }

    static int Grey(Rgb c) { return (c.r >> 2) + (c.g >> 1) + (c.b >> 3); }

    static int Level(const CDib& dib, int x, int y) {
        const int depth = dib.BitsPerPixel();
        const int perByte = 8 / depth;
        const int shift = 8 - depth * (x % perByte + 1);
        return (dib.Row(y)[x / perByte] >> shift) & ((1 << depth) - 1);
    }

    static inline std::unique_ptr<CDib> photo_;
};

}  // namespace

TEST_F(ConvertPhotograph, GreyDitheringKeepsTheMeanThatTruncationLowers) {
    ASSERT_EQ(photo_->Width(), 320);
    ASSERT_EQ(photo_->Height(), 180);
    const int pixels = photo_->Width() * photo_->Height();
    double meanGrey = 0;
    for (int y = 0; y < photo_->Height(); ++y) {
        for (int x = 0; x < photo_->Width(); ++x) {
            meanGrey += Grey(Get(*photo_, x, y));
        }
    }
    meanGrey /= pixels;
    for (int depth : {4, 2}) {
        const int unit = 1 << (8 - depth);  // grey values per level
        auto plain = Converted(depth, false);
        auto dithered = Converted(depth, true);
        ASSERT_TRUE(plain && dithered);
        double plainMean = 0;
        double ditheredMean = 0;
        int changed = 0;
        int brightest = 0;
        for (int y = 0; y < photo_->Height(); ++y) {
            for (int x = 0; x < photo_->Width(); ++x) {
                const int a = Level(*plain, x, y);
                const int b = Level(*dithered, x, y);
                plainMean += a * unit;
                ditheredMean += b * unit;
                changed += a != b;
                brightest = std::max(brightest, b);
            }
        }
        plainMean /= pixels;
        ditheredMean /= pixels;
        // Truncation loses half a level on average; diffusion hands it on.
        EXPECT_LT(plainMean, meanGrey - unit / 4.0) << depth;
        EXPECT_NEAR(ditheredMean, meanGrey, unit / 16.0) << depth;
        EXPECT_GT(changed, pixels / 10) << depth;
        if (depth == 4) {
            EXPECT_LT(brightest, 15);  // greys stop at 221
        }
    }
}

TEST_F(ConvertPhotograph, UnditheredEightBitMapsEverySampleToItsLeafsMean) {
    auto out = Converted(8, false);
    ASSERT_TRUE(out);
    // The samples that reached each leaf, keyed by the index they were given.
    std::array<std::array<std::uint64_t, 4>, 256> sums{};
    for (int y : GridPositions(photo_->Height())) {
        for (int x : GridPositions(photo_->Width())) {
            const Rgb c = Get(*photo_, x, y);
            auto& s = sums[out->Row(y)[x]];
            s[0] += c.r;
            s[1] += c.g;
            s[2] += c.b;
            ++s[3];
        }
    }
    int leaves = 0;
    for (int i = 0; i < 256; ++i) {
        if (sums[i][3] == 0) {
            continue;
        }
        ++leaves;
        ASSERT_LT(i, 240);
        const auto n = sums[i][3];
        EXPECT_EQ(TableEntry(*out, i), (Rgb{static_cast<std::uint8_t>(sums[i][0] / n),
                                            static_cast<std::uint8_t>(sums[i][1] / n),
                                            static_cast<std::uint8_t>(sums[i][2] / n)}))
            << i;
    }
    // A photograph fills the budget nearly to the top.
    EXPECT_GT(leaves, 200);
    // Every pixel, sampled or not, takes one of those leaves.
    for (int y = 0; y < out->Height(); ++y) {
        for (int x = 0; x < out->Width(); ++x) {
            ASSERT_NE(sums[out->Row(y)[x]][3], 0u) << x << "," << y;
        }
    }
}

TEST_F(ConvertPhotograph, DitheredEightBitKeepsRegionsCloserToTheirMeanColour) {
    auto plain = Converted(8, false);
    auto dithered = Converted(8, true);
    ASSERT_TRUE(plain && dithered);
    // Same palette either way.
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(TableEntry(*plain, i), TableEntry(*dithered, i));
    }
    int changed = 0;
    std::array<double, 3> sourceSum{};
    std::array<double, 3> ditheredSum{};
    double plainBlockError = 0;
    double ditheredBlockError = 0;
    constexpr int kBlock = 32;
    for (int by = 0; by + kBlock <= photo_->Height(); by += kBlock) {
        for (int bx = 0; bx + kBlock <= photo_->Width(); bx += kBlock) {
            std::array<int, 3> s{};
            std::array<int, 3> p{};
            std::array<int, 3> d{};
            for (int y = by; y < by + kBlock; ++y) {
                for (int x = bx; x < bx + kBlock; ++x) {
                    const Rgb c = Get(*photo_, x, y);
                    const Rgb a = TableEntry(*plain, plain->Row(y)[x]);
                    const Rgb b = TableEntry(*dithered, dithered->Row(y)[x]);
                    ASSERT_LT(dithered->Row(y)[x], 240);
                    changed += plain->Row(y)[x] != dithered->Row(y)[x];
                    s[0] += c.r, s[1] += c.g, s[2] += c.b;
                    p[0] += a.r, p[1] += a.g, p[2] += a.b;
                    d[0] += b.r, d[1] += b.g, d[2] += b.b;
                }
            }
            for (int ch = 0; ch < 3; ++ch) {
                sourceSum[ch] += s[ch];
                ditheredSum[ch] += d[ch];
                plainBlockError += std::abs(s[ch] - p[ch]);
                ditheredBlockError += std::abs(s[ch] - d[ch]);
            }
        }
    }
    const double blockPixels =
        (photo_->Width() / kBlock) * (photo_->Height() / kBlock) * double{kBlock * kBlock};
    EXPECT_GT(changed, static_cast<int>(blockPixels / 10));
    for (int ch = 0; ch < 3; ++ch) {
        EXPECT_NEAR(ditheredSum[ch] / blockPixels, sourceSum[ch] / blockPixels, 1.0) << ch;
    }
    EXPECT_LT(ditheredBlockError, plainBlockError * 0.8);
}
