#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "convert/color_palette.h"
#include "convert/conversion.h"
#include "convert/octree_quantizer.h"
#include "support/core_pictures.h"

namespace {

constexpr int kPixels = 320 * 180;

class ConvertPhotograph : public ::testing::Test {
protected:
    // The bundled sample sits beside tests/ at the top of the source tree: a plain bottom-up
    // 24-bit file, its pixels right after the 54 bytes of headers.
    static void SetUpTestSuite() {
        const auto path = std::filesystem::path(TAVELO_TEST_DATA_DIR).parent_path().parent_path() /
                          "samples" / "dandelions_320x180.bmp";
        std::ifstream in(path, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        photo_ = NewDib(320, 180, 24);
        if (bytes.size() != 54 + photo_->PixelBytes() || bytes[0] != 'B' || bytes[28] != 24) {
            photo_.reset();
            return;
        }
        std::memcpy(photo_->Pixels(), bytes.data() + 54, photo_->PixelBytes());
    }
    static void TearDownTestSuite() { photo_.reset(); }
    void SetUp() override { ASSERT_TRUE(photo_) << "cannot read the sample photograph"; }

    static std::unique_ptr<CDib> Converted(int depth, bool dither) {
        auto out = NewDib(320, 180, depth, depth < 8 ? 1 << depth : 256);
        EXPECT_TRUE(ConvertDepth(*photo_, *out, 1, dither ? 1 : 0)) << depth;
        return out;
    }

    static inline std::unique_ptr<CDib> photo_;
};

int Level(const CDib& dib, int x, int y) {
    const int depth = dib.BitsPerPixel();
    const int perByte = 8 / depth;
    return (dib.Row(y)[x / perByte] >> (8 - depth * (x % perByte + 1))) & ((1 << depth) - 1);
}

}  // namespace

TEST_F(ConvertPhotograph, GreyDitheringChangesPixelsButKeepsTheMeanThatTruncationLowers) {
    for (int depth : {4, 2}) {
        const int unit = 1 << (8 - depth);  // grey values per level
        const auto plain = Converted(depth, false);
        const auto dithered = Converted(depth, true);
        double wanted = 0, plainSum = 0, ditheredSum = 0;
        int changed = 0, brightest = 0;
        for (int y = 0; y < 180; ++y) {
            for (int x = 0; x < 320; ++x) {
                const Rgb c = Get(*photo_, x, y);
                const int a = Level(*plain, x, y);
                const int b = Level(*dithered, x, y);
                wanted += (c.r >> 2) + (c.g >> 1) + (c.b >> 3);
                plainSum += a * unit;
                ditheredSum += b * unit;
                changed += a != b;
                brightest = std::max(brightest, b);
            }
        }
        // Truncation loses half a level on average; diffusion hands it on.
        EXPECT_LT(plainSum / kPixels, wanted / kPixels - unit / 4.0) << depth;
        EXPECT_NEAR(ditheredSum / kPixels, wanted / kPixels, unit / 16.0) << depth;
        EXPECT_GT(changed, kPixels / 10) << depth;
        if (depth == 4) {
            EXPECT_LT(brightest, 15);  // greys stop at 221
        }
    }
}

TEST_F(ConvertPhotograph, EightBitMapsPixelsToTheirLeafsMeanAndDitheringSpreadsEachChannelsError) {
    const auto plain = Converted(8, false);
    const auto dithered = Converted(8, true);
    // The quantiser the sample grid builds, and the samples each undithered index was given.
    COctreeQuantizer q;
    q.SetColorBudget(240);
    std::array<ColorSum, 256> sums{};
    for (int y : GridPositions(180)) {
        for (int x : GridPositions(320)) {
            const Rgb c = Get(*photo_, x, y);
            ASSERT_TRUE(q.AddColor(c.r, c.g, c.b));
            sums[plain->Row(y)[x]].Add(c);
        }
    }
    CColorPalette palette;
    ASSERT_TRUE(q.BuildPalette(palette));
    int leaves = 0;
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(TableEntry(*plain, i), TableEntry(*dithered, i));
        if (sums[i].n != 0) {
            ++leaves;
            EXPECT_LT(i, 240);
            EXPECT_EQ(TableEntry(*plain, i), sums[i].Mean()) << i;
        }
    }
    EXPECT_GT(leaves, 200);  // a photograph fills the budget nearly to the top
    // Every pixel takes its leaf undithered; dithered, the diffusion written out plainly, with
    // the errors carried into this row and the next and a spare cell on the right.
    std::vector<std::array<int, 3>> current(321), next(321);
    std::array<double, 3> wanted{}, shown{};
    int changed = 0;
    for (int y = 0; y < 180; ++y) {
        for (int x = 0; x < 320; ++x) {
            const Rgb c = Get(*photo_, x, y);
            ASSERT_EQ(plain->Row(y)[x], q.MapColorByDescent(c.r, c.g, c.b)) << x << "," << y;
            const std::array<int, 3> source{c.r, c.g, c.b};
            const std::array<int, 3> v{c.r + current[x][0], c.g + current[x][1],
                                       c.b + current[x][2]};
            auto clamped = [&](int ch) {
                return static_cast<std::uint8_t>(std::clamp(v[ch], 0, 255));
            };
            const int index = dithered->Row(y)[x];
            ASSERT_EQ(index, q.MapColorByDescent(clamped(0), clamped(1), clamped(2)))
                << x << "," << y;
            changed += index != plain->Row(y)[x];
            const Rgb p = TableEntry(*dithered, index);
            const std::array<int, 3> chosen{p.r, p.g, p.b};
            for (int ch = 0; ch < 3; ++ch) {
                const int e = v[ch] - chosen[ch];
                current[x + 1][ch] += e / 2;
                if (x > 0) {
                    next[x - 1][ch] += e / 4;
                }
                next[x][ch] += e - e / 2 - e / 4;
                wanted[ch] += source[ch];
                shown[ch] += chosen[ch];
            }
        }
        current = next;
        next.assign(321, {});
    }
    EXPECT_GT(changed, kPixels / 10);
    for (int ch = 0; ch < 3; ++ch) {
        EXPECT_NEAR(shown[ch] / kPixels, wanted[ch] / kPixels, 1.0) << ch;
    }
}
