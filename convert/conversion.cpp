#include "convert/conversion.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "convert/color_palette.h"
#include "convert/depth_converter.h"
#include "convert/octree_quantizer.h"

namespace {

// The single-precision value of 1/127: contrast position 127 gives a factor of exactly 1.
constexpr float kContrastUnit = 0.007874016f;
constexpr std::int16_t kMaxBrightnessOffset = 128;
constexpr std::int16_t kMaxContrast = 255;

// The adaptive palette leaves room for the handheld's own colours.
constexpr std::int32_t kAdaptiveColorBudget = 240;
// The sample grid takes every fourth pixel, and never fewer than 160 a side.
constexpr std::int32_t kGridDivisor = 4;
constexpr std::int32_t kMinGridSide = 160;

std::uint8_t ClampToByte(std::int32_t v) {
    return static_cast<std::uint8_t>(v <= 0 ? 0 : (v >= 255 ? 255 : v));
}

bool SameSize(const CDib& a, const CDib& b) {
    return a.Width() == b.Width() && a.Height() == b.Height();
}

// Zeroes the bytes after a row's last pixel, so that a picture always gives the same bytes.
void ClearPadding(std::uint8_t* row, std::size_t used, std::int32_t stride) {
    std::fill(row + used, row + stride, std::uint8_t{0});
}

void WriteGreyRamp(CDib& destination) {
    const std::uint32_t n = destination.ColorCount();
    const std::uint32_t step = n > 1 ? 255 / (n - 1) : 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const auto level = static_cast<std::uint8_t>(step * i);  // modulo 256
        destination.SetColor(static_cast<std::uint16_t>(i), level, level, level);
    }
}

std::int32_t GridSide(std::int32_t side) {
    const std::int32_t quarter = side / kGridDivisor;
    return quarter > kMinGridSide ? quarter : kMinGridSide;
}

// Feeds the sample grid to the quantiser: grid rows outer, counted in storage order, with
// single-precision steps and counters.
bool SampleGrid(const CDib& source, COctreeQuantizer& quantizer) {
    const std::int32_t width = source.Width();
    const std::int32_t height = source.Height();
    const std::int32_t columns = GridSide(width);
    const std::int32_t rows = GridSide(height);
    const float columnStep = static_cast<float>(width) / static_cast<float>(columns);
    const float rowStep = static_cast<float>(height) / static_cast<float>(rows);
    const float columnEnd = static_cast<float>(columns);
    const float rowEnd = static_cast<float>(rows);
    for (float j = 0.0f; j < rowEnd; j += 1.0f) {
        const auto y = std::clamp(static_cast<std::int32_t>(j * rowStep), 0, height - 1);
        const std::uint8_t* row = source.Row(y);
        for (float i = 0.0f; i < columnEnd; i += 1.0f) {
            const auto x = std::clamp(static_cast<std::int32_t>(i * columnStep), 0, width - 1);
            const std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
            if (!quantizer.AddColor(p[2], p[1], p[0])) {
                return false;
            }
        }
    }
    return true;
}

// Palette indices are below the budget, so a byte-wide copy of the map is enough.
void NarrowMap(const COctreeQuantizer& quantizer, std::uint8_t* map) {
    const std::uint16_t* wide = quantizer.Map();
    for (std::int32_t key = 0; key < COctreeQuantizer::kMapSize; ++key) {
        map[key] = static_cast<std::uint8_t>(wide[key]);
    }
}

void MapPixels(const CDib& source, CDib& destination, const std::uint8_t* map) {
    const std::int32_t width = source.Width();
    for (std::int32_t y = 0; y < source.Height(); ++y) {
        const std::uint8_t* in = source.Row(y);
        std::uint8_t* out = destination.Row(y);
        for (std::int32_t x = 0; x < width; ++x, in += 3) {
            out[x] = map[COctreeQuantizer::MapKey(in[2], in[1], in[0])];
        }
        ClearPadding(out, static_cast<std::size_t>(width), destination.RowStride());
    }
}

// The nearest of the picture's own palette colours to any colour, by the sum of squared channel
// differences, the lowest index among equals. Colour space is cut into cubes, each holding the
// short list of colours that can be nearest to some point inside it: a colour whose closest
// approach to the cube is farther than some other colour's farthest point can never win there.
// Lists are made when a cube is first reached: for a large cube from the whole palette, for a
// middle one from the list of the large cube around it, and for a small one from its middle
// cube's list, so that most lists are cut from a short one. Each distance carries its colour's
// index in its low byte, so the smallest of them is the nearest colour with the lowest index among
// equals, found without a branch. The lists live in stores taken before the first pixel, so
// that no pixel waits on memory; once the small lists' store is full, a cube without a list is
// answered from the list its own would have been cut from.
class CNearestColor {
public:
    // Small cubes are the 8 x 8 x 8 groups of the quantiser's map key; two of them a side
    // make a middle cube, eight a large one.
    static constexpr int kSmallBits = 3;
    static constexpr int kMiddleBits = 4;
    static constexpr int kLargeBits = 6;
    static constexpr int kSmallCubes = 1 << (3 * (8 - kSmallBits));
    static constexpr int kMiddleCubes = 1 << (3 * (8 - kMiddleBits));
    static constexpr int kLargeCubes = 1 << (3 * (8 - kLargeBits));
    static constexpr std::uint32_t kMaxColors = 256;
    static constexpr std::uint32_t kGuesses = 1 << 18;
    // A small list is kept in blocks of four colours, whose four distances are worked out side
    // by side.
    static constexpr std::uint32_t kLanes = 4;
    static constexpr std::uint32_t kBlockWords = 3 * kLanes;
    // Lists are filled up to at least two blocks, which are searched without a loop: most
    // lists need two at most, and a count that changes from pixel to pixel misleads the
    // branch that ends a loop.
    static constexpr std::uint32_t kMinBlocks = 2;
    // Ample for a photograph: its colours reach some ten thousand small cubes of two blocks at
    // most, mostly.
    static constexpr std::size_t kSmallPoolWords = std::size_t{1} << 19;
    // Some thousand middle lists of a few dozen colours; once the store is full, a small list
    // is cut from its large cube's list instead.
    static constexpr std::size_t kMiddlePoolWords = std::size_t{1} << 18;

    // Packs one colour as red, green, blue and index from the low byte up.
    static std::uint32_t Pack(std::uint32_t red, std::uint32_t green, std::uint32_t blue,
                              std::uint32_t index) {
        return red | (green << 8) | (blue << 16) | (index << 24);
    }

    // The first `count` palette entries are the candidates; at least one is kept, so that an
    // empty palette answers with its black entry 0.
    bool Prepare(const CColorPalette& palette, std::int32_t count) {
        m_count = static_cast<std::uint32_t>(std::clamp<std::int32_t>(count, 1, kMaxColors));
        for (std::uint32_t i = 0; i < m_count; ++i) {
            std::uint8_t red = 0;
            std::uint8_t green = 0;
            std::uint8_t blue = 0;
            palette.GetEntry(static_cast<std::uint16_t>(i), red, green, blue);
            m_colors[i] = Pack(red, green, blue, i);
        }
        m_small.reset(new (std::nothrow) List[kSmallCubes]);
        m_middle.reset(new (std::nothrow) List[kMiddleCubes]);
        m_large.reset(new (std::nothrow) List[kLargeCubes]);
        m_middlePool.reset(new (std::nothrow) std::uint32_t[kMiddlePoolWords]);
        // Every large list fits: at most the whole palette for each large cube.
        m_largePool.reset(new (std::nothrow) std::uint32_t[kLargeCubes * kMaxColors]);
        m_smallPool.reset(new (std::nothrow) std::uint32_t[kSmallPoolWords]);
        m_guess.reset(new (std::nothrow) std::uint8_t[kGuesses]());
        return m_small && m_middle && m_large && m_largePool && m_middlePool && m_smallPool &&
               m_guess;
    }

    static std::uint32_t Cube(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
        return ((red >> kSmallBits) << (2 * (8 - kSmallBits))) |
               ((green >> kSmallBits) << (8 - kSmallBits)) | (blue >> kSmallBits);
    }

    // The index of the nearest colour to a colour of channels 0..255.
    std::uint32_t Find(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
        const std::uint32_t cube = Cube(red, green, blue);
        const List list = m_small[cube];
        if (list.size == 0) {
            return FindWithoutList(red, green, blue, cube);
        }
        return SearchBlocks(m_smallPool.get() + list.start, list.size,
                            static_cast<std::int32_t>(red), static_cast<std::int32_t>(green),
                            static_cast<std::int32_t>(blue));
    }

    // The colour at an index Find gave, packed.
    std::uint32_t Color(std::uint32_t index) const { return m_colors[index]; }

    // The answer last given for a colour's 4 x 4 x 4 group, a good guess at the next one there.
    static std::uint32_t GuessKey(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
        return ((red >> 2) << 12) | ((green >> 2) << 6) | (blue >> 2);
    }
    std::uint32_t Guess(std::uint32_t key) const { return m_guess[key]; }
    void SetGuess(std::uint32_t key, std::uint32_t index) {
        m_guess[key] = static_cast<std::uint8_t>(index);
    }

private:
    struct List {
        std::uint32_t start = 0;
        std::uint32_t size = 0;  // colours or blocks; 0 until the list is made, never after
    };

    // The lowest corner of the cube a colour lies in, cubes of 2^bits a side.
    struct Low {
        std::int32_t channel[3];
    };
    static Low Corner(std::uint32_t red, std::uint32_t green, std::uint32_t blue, int bits) {
        return {{static_cast<std::int32_t>(red >> bits << bits),
                 static_cast<std::int32_t>(green >> bits << bits),
                 static_cast<std::int32_t>(blue >> bits << bits)}};
    }

    static std::int32_t Channel(std::uint32_t packed, int c) {
        return static_cast<std::int32_t>((packed >> (8 * c)) & 0xFF);
    }

    static std::uint32_t Search(const std::uint32_t* colors, std::uint32_t count, std::int32_t red,
                                std::int32_t green, std::int32_t blue) {
        std::uint32_t best = 0xFFFFFFFF;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::int32_t dr = red - Channel(colors[i], 0);
            const std::int32_t dg = green - Channel(colors[i], 1);
            const std::int32_t db = blue - Channel(colors[i], 2);
            const auto distance = static_cast<std::uint32_t>(dr * dr + dg * dg + db * db);
            best = std::min(best, (distance << 8) | (colors[i] >> 24));
        }
        return best & 0xFF;
    }

    // A block's layout: red and green of its four colours interleaved, then blue with zeros
    // between, as 16-bit numbers, then the four indexes as 32-bit numbers. Squares and their
    // sums then come from multiply-adds of 16-bit pairs.
    static std::uint32_t SearchBlocks(const std::uint32_t* block, std::uint32_t blocks,
                                      std::int32_t red, std::int32_t green, std::int32_t blue) {
        // Distances stay below 2^18, so the keys are positive as signed numbers too.
#if defined(__SSE2__)
        const __m128i redGreen = _mm_set1_epi32((green << 16) | red);
        const __m128i blueZero = _mm_set1_epi32(blue);
        __m128i best = _mm_set1_epi32(0x7FFFFFFF);
        const auto keys = [&](std::uint32_t b) {
            const __m128i* lanes = reinterpret_cast<const __m128i*>(block + b * kBlockWords);
            const __m128i dRedGreen = _mm_sub_epi16(redGreen, _mm_loadu_si128(lanes));
            const __m128i dBlue = _mm_sub_epi16(blueZero, _mm_loadu_si128(lanes + 1));
            const __m128i distance =
                _mm_add_epi32(_mm_madd_epi16(dRedGreen, dRedGreen), _mm_madd_epi16(dBlue, dBlue));
            return _mm_or_si128(_mm_slli_epi32(distance, 8), _mm_loadu_si128(lanes + 2));
        };
        for (std::uint32_t b = 0; b < kMinBlocks; ++b) {
            best = Min(best, keys(b));
        }
        for (std::uint32_t b = kMinBlocks; b < blocks; ++b) {
            best = Min(best, keys(b));
        }
        best = Min(best, _mm_shuffle_epi32(best, _MM_SHUFFLE(1, 0, 3, 2)));
        best = Min(best, _mm_shuffle_epi32(best, _MM_SHUFFLE(2, 3, 0, 1)));
        return static_cast<std::uint32_t>(_mm_cvtsi128_si32(best)) & 0xFF;
#else
        std::int32_t best = 0x7FFFFFFF;
        for (std::uint32_t b = 0; b < blocks; ++b, block += kBlockWords) {
            const auto* half = reinterpret_cast<const std::int16_t*>(block);
            for (std::uint32_t i = 0; i < kLanes; ++i) {
                const std::int32_t dr = red - half[2 * i];
                const std::int32_t dg = green - half[2 * i + 1];
                const std::int32_t db = blue - half[2 * kLanes + 2 * i];
                const auto index = static_cast<std::int32_t>(block[2 * kLanes + i]);
                best = std::min(best, ((dr * dr + dg * dg + db * db) << 8) | index);
            }
        }
        return static_cast<std::uint32_t>(best) & 0xFF;
#endif
    }

#if defined(__SSE2__)
    static __m128i Min(__m128i a, __m128i b) {
        const __m128i aIsGreater = _mm_cmpgt_epi32(a, b);
        return _mm_or_si128(_mm_and_si128(aIsGreater, b), _mm_andnot_si128(aIsGreater, a));
    }
#endif

    // The colours among `from` that can be nearest somewhere in the cube, in palette order.
    static std::uint32_t Candidates(const std::uint32_t* from, std::uint32_t count,
                                    const Low& corner, std::int32_t side, std::uint32_t* kept) {
        std::int32_t nearest[kMaxColors];
        std::int32_t bound = 0x7FFFFFFF;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::int32_t near = 0;
            std::int32_t far = 0;
            for (int c = 0; c < 3; ++c) {
                const std::int32_t v = Channel(from[i], c);
                const std::int32_t low = corner.channel[c];
                const std::int32_t high = low + side - 1;
                const std::int32_t outside = v < low ? low - v : (v > high ? v - high : 0);
                const std::int32_t across = std::max(v - low, high - v);
                near += outside * outside;
                far += across * across;
            }
            nearest[i] = near;
            bound = std::min(bound, far);
        }
        std::uint32_t n = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            if (nearest[i] <= bound) {
                kept[n++] = from[i];
            }
        }
        return n;
    }

    // Makes the lists a colour's cubes lack and answers from the shortest one there is.
    std::uint32_t FindWithoutList(std::uint32_t red, std::uint32_t green, std::uint32_t blue,
                                  std::uint32_t cube) {
        constexpr int kLargeSide = 8 - kLargeBits;
        const std::uint32_t large = ((red >> kLargeBits) << (2 * kLargeSide)) |
                                    ((green >> kLargeBits) << kLargeSide) | (blue >> kLargeBits);
        List& outer = m_large[large];
        if (outer.size == 0) {
            outer.start = large * kMaxColors;
            outer.size = Candidates(m_colors, m_count, Corner(red, green, blue, kLargeBits),
                                    1 << kLargeBits, m_largePool.get() + outer.start);
        }
        const std::uint32_t* from = m_largePool.get() + outer.start;
        std::uint32_t fromSize = outer.size;
        constexpr int kMiddleSide = 8 - kMiddleBits;
        List& middle = m_middle[((red >> kMiddleBits) << (2 * kMiddleSide)) |
                                ((green >> kMiddleBits) << kMiddleSide) | (blue >> kMiddleBits)];
        if (middle.size == 0 && kMiddlePoolWords - m_middleUsed >= outer.size) {
            middle.start = static_cast<std::uint32_t>(m_middleUsed);
            middle.size = Candidates(from, outer.size, Corner(red, green, blue, kMiddleBits),
                                     1 << kMiddleBits, m_middlePool.get() + middle.start);
            m_middleUsed += middle.size;
        }
        if (middle.size != 0) {
            from = m_middlePool.get() + middle.start;
            fromSize = middle.size;
        }
        std::uint32_t kept[kMaxColors];
        const std::uint32_t n =
            Candidates(from, fromSize, Corner(red, green, blue, kSmallBits), 1 << kSmallBits, kept);
        const std::uint32_t blocks = std::max((n + kLanes - 1) / kLanes, kMinBlocks);
        if (kSmallPoolWords - m_smallUsed < blocks * kBlockWords) {
            return Search(from, fromSize, static_cast<std::int32_t>(red),
                          static_cast<std::int32_t>(green), static_cast<std::int32_t>(blue));
        }
        List& list = m_small[cube];
        list.start = static_cast<std::uint32_t>(m_smallUsed);
        list.size = blocks;
        std::uint32_t* block = m_smallPool.get() + m_smallUsed;
        m_smallUsed += blocks * kBlockWords;
        for (std::uint32_t b = 0; b < blocks; ++b, block += kBlockWords) {
            auto* half = reinterpret_cast<std::int16_t*>(block);
            for (std::uint32_t i = 0; i < kLanes; ++i) {
                // The last blocks are filled up with the list's last colour, which changes nothing.
                const std::uint32_t color = kept[std::min(b * kLanes + i, n - 1)];
                half[2 * i] = static_cast<std::int16_t>(Channel(color, 0));
                half[2 * i + 1] = static_cast<std::int16_t>(Channel(color, 1));
                half[2 * kLanes + 2 * i] = static_cast<std::int16_t>(Channel(color, 2));
                half[2 * kLanes + 2 * i + 1] = 0;
                block[2 * kLanes + i] = color >> 24;
            }
        }
        return Find(red, green, blue);
    }

    std::uint32_t m_colors[kMaxColors] = {};
    std::uint32_t m_count = 0;
    std::unique_ptr<List[]> m_small;
    std::unique_ptr<std::uint8_t[]> m_guess;
    std::unique_ptr<List[]> m_middle;
    std::unique_ptr<List[]> m_large;
    std::unique_ptr<std::uint32_t[]> m_largePool;
    std::unique_ptr<std::uint32_t[]> m_middlePool;
    std::size_t m_middleUsed = 0;
    std::unique_ptr<std::uint32_t[]> m_smallPool;
    std::size_t m_smallUsed = 0;
};

// Keeps the compiler from seeing that a value equals one it was compared with, which would let
// it take the compared value instead, and so wait for it.
inline void HideFromOptimizer(std::uint32_t& value) {
#if defined(__GNUC__)
    asm("" : "+r"(value));
#else
    (void)value;
#endif
}

// Error diffusion over the palette's first `leaves` entries, the colours made from the
// picture: each pixel takes the nearest of them, then half of each channel's error goes to the
// right, a quarter below-left and the rest below, rows in storage order, no serpentine.
bool DiffusePixels(const CDib& source, CDib& destination, const CColorPalette& palette,
                   std::int32_t leaves) {
    const std::int32_t width = source.Width();
    // Current and next row for each of red, green and blue, each of width + 2 cells: a spare
    // cell in front takes the below-left share of the first pixel, and one behind reads as
    // zero where the last pixel's right share is dropped. One array per channel keeps the
    // compiler from packing the channels into vector registers, which lengthens the chain
    // from one pixel to the next.
    const std::size_t cells = static_cast<std::size_t>(width) + 2;
    std::unique_ptr<std::int32_t[]> buffer(new (std::nothrow) std::int32_t[6 * cells]());
    if (!buffer) {
        return false;
    }
    std::int32_t* current[3];
    std::int32_t* next[3];
    for (int channel = 0; channel < 3; ++channel) {
        current[channel] = buffer.get() + channel * cells + 1;  // C[0]
        next[channel] = buffer.get() + (3 + channel) * cells + 1;
    }
    CNearestColor nearest;
    if (!nearest.Prepare(palette, leaves)) {
        return false;
    }
    for (std::int32_t y = 0; y < source.Height(); ++y) {
        const std::uint8_t* in = source.Row(y);
        std::uint8_t* out = destination.Row(y);
        const std::int32_t* cr = current[0];
        const std::int32_t* cg = current[1];
        const std::int32_t* cb = current[2];
        std::int32_t* nr = next[0];
        std::int32_t* ng = next[1];
        std::int32_t* nb = next[2];
        // What this pixel has been handed so far: from the row before, and from the left.
        std::int32_t carryR = cr[0];
        std::int32_t carryG = cg[0];
        std::int32_t carryB = cb[0];
        // The next row's cell below this pixel so far; it is final once the pixel to the
        // right has given its below-left share.
        std::int32_t belowR = 0;
        std::int32_t belowG = 0;
        std::int32_t belowB = 0;
        for (std::int32_t x = 0; x < width; ++x, in += 3) {
            // The errors are taken from the unclamped values.
            const std::int32_t r = in[2] + carryR;
            const std::int32_t g = in[1] + carryG;
            const std::int32_t b = in[0] + carryB;
            const std::uint32_t red = ClampToByte(r);
            const std::uint32_t green = ClampToByte(g);
            const std::uint32_t blue = ClampToByte(b);
            // The next pixel waits on this one's error, and so on its colour. The guess gives
            // that colour at once; the search, which nothing waits on, only confirms it, and
            // a wrong guess is mended before anything is written.
            const std::uint32_t cube = CNearestColor::GuessKey(red, green, blue);
            const std::uint32_t guess = nearest.Guess(cube);
            std::uint32_t index = guess;
            HideFromOptimizer(index);
            const std::uint32_t found = nearest.Find(red, green, blue);
            if (found != guess) [[unlikely]] {
                nearest.SetGuess(cube, found);
                index = found;
            }
            const std::uint32_t choice = nearest.Color(index);
            out[x] = static_cast<std::uint8_t>(index);
            const std::int32_t er = r - static_cast<std::int32_t>(choice & 0xFF);
            const std::int32_t eg = g - static_cast<std::int32_t>((choice >> 8) & 0xFF);
            const std::int32_t eb = b - static_cast<std::int32_t>((choice >> 16) & 0xFF);
            nr[x - 1] = belowR + er / 4;
            ng[x - 1] = belowG + eg / 4;
            nb[x - 1] = belowB + eb / 4;
            belowR = er - er / 2 - er / 4;
            belowG = eg - eg / 2 - eg / 4;
            belowB = eb - eb / 2 - eb / 4;
            carryR = cr[x + 1] + er / 2;
            carryG = cg[x + 1] + eg / 2;
            carryB = cb[x + 1] + eb / 2;
        }
        if (width > 0) {
            nr[width - 1] = belowR;
            ng[width - 1] = belowG;
            nb[width - 1] = belowB;
        }
        ClearPadding(out, static_cast<std::size_t>(width), destination.RowStride());
        // Every cell of the next row has been written, so it needs no clearing to take turns.
        std::swap(current, next);
    }
    return true;
}

template <int kRedShift, int kGreenShift>
std::uint32_t DirectColorWord(std::uint32_t blue, std::uint32_t green, std::uint32_t red) {
    return ((red & 0xF8) << kRedShift) | ((green & 0xF8) << kGreenShift) | ((blue & 0xFF) >> 3);
}

template <int kRedShift, int kGreenShift>
void PackDirectColorRows(const CDib& source, CDib& destination) {
    constexpr auto Word = DirectColorWord<kRedShift, kGreenShift>;
    const std::int32_t width = source.Width();
    for (std::int32_t y = 0; y < source.Height(); ++y) {
        const std::uint8_t* in = source.Row(y);
        std::uint8_t* out = destination.Row(y);
        std::int32_t x = 0;
        if constexpr (std::endian::native == std::endian::little) {
            // Four pixels at a time: twelve bytes in as three words, four words out as one.
            for (; x + 4 <= width; x += 4) {
                std::uint32_t a = 0;  // blue 0, green 0, red 0, blue 1
                std::uint32_t b = 0;  // green 1, red 1, blue 2, green 2
                std::uint32_t c = 0;  // red 2, blue 3, green 3, red 3
                std::memcpy(&a, in + 3 * x, 4);
                std::memcpy(&b, in + 3 * x + 4, 4);
                std::memcpy(&c, in + 3 * x + 8, 4);
                const std::uint64_t words = std::uint64_t{Word(a, a >> 8, a >> 16)} |
                                            std::uint64_t{Word(a >> 24, b, b >> 8)} << 16 |
                                            std::uint64_t{Word(b >> 16, b >> 24, c)} << 32 |
                                            std::uint64_t{Word(c >> 8, c >> 16, c >> 24)} << 48;
                std::memcpy(out + 2 * x, &words, 8);
            }
        }
        for (; x < width; ++x) {
            const std::uint32_t word = Word(in[3 * x], in[3 * x + 1], in[3 * x + 2]);
            out[2 * x] = static_cast<std::uint8_t>(word);  // low byte first
            out[2 * x + 1] = static_cast<std::uint8_t>(word >> 8);
        }
        ClearPadding(out, 2 * static_cast<std::size_t>(width), destination.RowStride());
    }
}

void PackDirectColor(const CDib& source, CDib& destination, bool deviceLayout) {
    // The handheld's layout keeps green at five significant bits in a 5-6-5 word; the desktop's
    // is 5-5-5 with the top bit clear.
    if (deviceLayout) {
        PackDirectColorRows<8, 3>(source, destination);
    } else {
        PackDirectColorRows<7, 2>(source, destination);
    }
}

bool ConvertToGrey(const CDib& source, CDib& destination, std::uint8_t dither) {
    WriteGreyRamp(destination);
    CDepthConverter converter;
    converter.m_sourceDepth = 24;
    converter.m_destinationDepth = destination.BitsPerPixel();
    converter.m_width = source.Width();
    converter.m_dither = dither;
    if (!converter.Prepare()) {
        return false;
    }
    // Row by row, as a bitmap's rows need not be contiguous; the accumulator carries over.
    for (std::int32_t y = 0; y < source.Height(); ++y) {
        converter.Convert(source.Row(y), destination.Row(y), 1);
    }
    return true;
}

bool ConvertToColor(const CDib& source, CDib& destination, std::uint8_t deviceLayout,
                    std::uint8_t dither) {
    COctreeQuantizer quantizer;
    quantizer.SetColorBudget(kAdaptiveColorBudget);
    if (!SampleGrid(source, quantizer)) {
        return false;
    }
    CColorPalette palette;
    if (!quantizer.BuildPalette(palette)) {
        return false;
    }
    for (std::uint16_t i = 0; i < kAdaptiveColorBudget; ++i) {
        std::uint8_t red = 0;
        std::uint8_t green = 0;
        std::uint8_t blue = 0;
        palette.GetEntry(i, red, green, blue);
        destination.SetColor(i, red, green, blue);
    }
    if (destination.BitsPerPixel() == 16) {
        PackDirectColor(source, destination, deviceLayout != 0);
        return true;
    }
    if (dither) {
        return DiffusePixels(source, destination, palette, quantizer.LeafCount());
    }
    std::unique_ptr<std::uint8_t[]> map(new (std::nothrow)
                                            std::uint8_t[COctreeQuantizer::kMapSize]);
    if (!map) {
        return false;
    }
    NarrowMap(quantizer, map.get());
    MapPixels(source, destination, map.get());
    return true;
}

}  // namespace

void AdjustBrightnessContrast(const CDib& source, CDib& destination, std::int16_t brightness,
                              std::int16_t contrast) {
    if (!source.IsCreated() || !destination.IsCreated() || source.BitsPerPixel() != 24 ||
        destination.BitsPerPixel() != 24 || !SameSize(source, destination)) {
        return;
    }
    const std::int32_t offset =
        brightness <= kMaxBrightnessOffset ? brightness : kMaxBrightnessOffset;
    const std::int32_t c = contrast <= kMaxContrast ? contrast : kMaxContrast;
    const float factor = static_cast<float>(c) * kContrastUnit;
    // Each channel value always gives the same result, so the picture is mapped through a table.
    std::uint8_t table[256];
    for (std::int32_t channel = 0; channel < 256; ++channel) {
        const auto scaled = static_cast<std::int32_t>(static_cast<float>(channel - 127) * factor);
        // Held in 16 bits before it is limited to a byte.
        const auto v = static_cast<std::int16_t>(scaled + offset + 127);
        table[channel] = ClampToByte(v);
    }
    const std::size_t rowBytes = 3 * static_cast<std::size_t>(source.Width());
    for (std::int32_t y = 0; y < source.Height(); ++y) {
        const std::uint8_t* in = source.Row(y);
        std::uint8_t* out = destination.Row(y);
        for (std::size_t i = 0; i < rowBytes; ++i) {
            out[i] = table[in[i]];
        }
    }
}

bool ConvertDepth(const CDib& source, CDib& destination, std::uint8_t deviceLayout,
                  std::uint8_t dither) {
    const std::uint8_t depth = destination.BitsPerPixel();
    if (depth != 2 && depth != 4 && depth != 8 && depth != 16) {
        return false;
    }
    if (!source.IsCreated() || !destination.IsCreated() || source.BitsPerPixel() != 24 ||
        !SameSize(source, destination)) {
        return false;
    }
    if (depth < 8) {
        return ConvertToGrey(source, destination, dither);
    }
    return ConvertToColor(source, destination, deviceLayout, dither);
}
