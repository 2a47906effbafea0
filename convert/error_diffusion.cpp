#include "convert/error_diffusion.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// Eight colours at a time where the compiler can build a function for processors that have
// the instructions, chosen when the program runs.
#if defined(__SSE2__) && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define TAVELO_WIDE_SEARCH 1
#endif

#include "convert/color_palette.h"
#include "imaging/dib.h"

namespace {

std::uint8_t ClampToByte(std::int32_t v) {
    return static_cast<std::uint8_t>(v <= 0 ? 0 : (v >= 255 ? 255 : v));
}

// Zeroes the bytes after a row's last pixel, so that a picture always gives the same bytes.
void ClearPadding(CDib& destination, std::int32_t y) {
    std::uint8_t* row = destination.Row(y);
    std::fill(row + destination.Width(), row + destination.RowStride(), std::uint8_t{0});
}

// The nearest of the picture's own palette colours to any colour, by the sum of squared channel
// differences, the lowest index among equals. Colour space is cut into cubes, each holding the
// short list of colours that can be nearest to some point inside it: a colour whose closest
// approach to the cube is farther than some other colour's farthest point can never win there.
// Lists are made when a cube is first reached: for a large cube from the whole palette, for a
// middle one from the list of the large cube around it, and for a small one from its middle
// cube's list, so that most lists are cut from a short one. Each distance carries its colour's
// index in its low byte, so the smallest of them is the nearest colour with the lowest index
// among equals, found without a branch.
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
    // A small list takes room for at least this many colours, the last repeated, and nearly
    // every list of a photograph fits: the search then has the same length for every pixel,
    // and no branch on its length can be mispredicted.
    static constexpr std::uint32_t kSlots = 16;
    static constexpr std::uint32_t kLanes = 4;
    // Room for some forty thousand of the shortest lists, more than a photograph reaches; once
    // the store is full, a cube without a list is searched in the list its own would have been
    // cut from.
    static constexpr std::size_t kSmallPoolWords = std::size_t{1} << 21;
    // Some thousand middle lists of a few dozen colours; once the store is full, a small list
    // is cut from its large cube's list instead.
    static constexpr std::size_t kMiddlePoolWords = std::size_t{1} << 18;

    // Packs one colour as red, green and blue from the low byte up.
    static std::uint32_t Pack(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
        return red | (green << 8) | (blue << 16);
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
            m_colors[i] = Pack(red, green, blue) | (i << 24);
            m_channels[i][0] = red;
            m_channels[i][1] = green;
            m_channels[i][2] = blue;
        }
        m_small.reset(new (std::nothrow) List[kSmallCubes]);
        m_middle.reset(new (std::nothrow) List[kMiddleCubes]);
        m_large.reset(new (std::nothrow) List[kLargeCubes]);
        m_middlePool.reset(new (std::nothrow) std::uint32_t[kMiddlePoolWords]);
        // Every large list fits: at most the whole palette for each large cube.
        m_largePool.reset(new (std::nothrow) std::uint32_t[kLargeCubes * kMaxColors]);
        m_smallPool.reset(new (std::nothrow) std::uint32_t[kSmallPoolWords]);
        return m_small && m_middle && m_large && m_largePool && m_middlePool && m_smallPool;
    }

    // A palette colour's red, green, blue and a zero.
    const std::int32_t* Channels(std::uint32_t index) const { return m_channels[index]; }

    // The index of the nearest colour to a packed colour.
    std::uint32_t Find(std::uint32_t packed) {
        const List list = m_small[Cube(packed)];
        if (list.count == 0) {
            return FindWithoutList(packed);
        }
        return SearchList(m_smallPool.get() + list.start, list.count, packed);
    }

    // The list of a packed colour's cube, when it is made and fits in kSlots: red and green
    // as 16-bit numbers, then blue and a zero, then the indexes, in three rows of kSlots.
    // Null otherwise: FindOutOfLine answers then.
    const std::uint32_t* ShortList(std::uint32_t packed) const {
        const List list = m_small[Cube(packed)];
        return list.count - 1 < kSlots ? m_smallPool.get() + list.start : nullptr;
    }
    // Find, kept out of the loops that call it, whose registers it would otherwise take.
    __attribute__((noinline)) std::uint32_t FindOutOfLine(std::uint32_t packed) {
        return Find(packed);
    }
#if defined(TAVELO_WIDE_SEARCH)
    // The same built for the processors the wide search runs on, where making a list compares
    // eight colours at a time too.
    __attribute__((noinline, target("avx2"), flatten)) std::uint32_t FindOutOfLineWide(
        std::uint32_t packed) {
        return Find(packed);
    }
#endif

#if defined(__SSE2__)
    // The keys (distance, then index in the low byte) of four colours of a list whose rows
    // are `row` words long. Distances stay below 2^18, so the keys are positive as signed
    // numbers too.
    static __m128i Keys(const std::uint32_t* slots, std::uint32_t row, __m128i redGreen,
                        __m128i blueZero) {
        const __m128i* lanes = reinterpret_cast<const __m128i*>(slots);
        const __m128i dRedGreen = _mm_sub_epi16(redGreen, _mm_loadu_si128(lanes));
        const __m128i dBlue = _mm_sub_epi16(blueZero, _mm_loadu_si128(lanes + row / kLanes));
        const __m128i distance =
            _mm_add_epi32(_mm_madd_epi16(dRedGreen, dRedGreen), _mm_madd_epi16(dBlue, dBlue));
        return _mm_or_si128(_mm_slli_epi32(distance, 8), _mm_loadu_si128(lanes + 2 * row / kLanes));
    }
    static __m128i Min(__m128i a, __m128i b) {
        const __m128i aIsGreater = _mm_cmpgt_epi32(a, b);
        return _mm_xor_si128(a, _mm_and_si128(aIsGreater, _mm_xor_si128(a, b)));
    }
    // The smallest of the four keys, in every lane.
    static __m128i MinAcross(__m128i key) {
        key = Min(key, _mm_shuffle_epi32(key, _MM_SHUFFLE(1, 0, 3, 2)));
        return Min(key, _mm_shuffle_epi32(key, _MM_SHUFFLE(2, 3, 0, 1)));
    }
    // Red and green, and blue and a zero, of a colour given as 16-bit red, green, blue and
    // zero in its low half, in every lane.
    static __m128i RedGreen(__m128i channels) {
        return _mm_shuffle_epi32(channels, _MM_SHUFFLE(0, 0, 0, 0));
    }
    static __m128i BlueZero(__m128i channels) {
        return _mm_shuffle_epi32(channels, _MM_SHUFFLE(1, 1, 1, 1));
    }
#endif

private:
    struct List {
        std::uint32_t start = 0;
        std::uint32_t count = 0;  // 0 until the list is made, never after
    };

    // The lowest corner of the cube a colour lies in, cubes of 2^bits a side.
    struct Low {
        std::int32_t channel[3];
    };
    static Low Corner(std::uint32_t packed, int bits) {
        const std::uint32_t mask = 0xFFu >> bits << bits;
        return {{static_cast<std::int32_t>(packed & mask),
                 static_cast<std::int32_t>((packed >> 8) & mask),
                 static_cast<std::int32_t>((packed >> 16) & mask)}};
    }

    static std::uint32_t Cube(std::uint32_t packed) {
        return ((packed >> kSmallBits) & 0x1F) | ((packed >> (2 * kSmallBits)) & (0x1F << 5)) |
               ((packed >> (3 * kSmallBits)) & (0x1F << 10));
    }

    static std::int32_t Channel(std::uint32_t packed, int c) {
        return static_cast<std::int32_t>((packed >> (8 * c)) & 0xFF);
    }

    // The room a list of `count` colours takes in each of its three rows.
    static std::uint32_t RowLength(std::uint32_t count) {
        return std::max(kSlots, (count + kLanes - 1) / kLanes * kLanes);
    }

    // Searches colours packed with their indexes in the top byte.
    static std::uint32_t Search(const std::uint32_t* colors, std::uint32_t count,
                                std::uint32_t packed) {
        std::uint32_t best = 0xFFFFFFFF;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::int32_t dr = Channel(packed, 0) - Channel(colors[i], 0);
            const std::int32_t dg = Channel(packed, 1) - Channel(colors[i], 1);
            const std::int32_t db = Channel(packed, 2) - Channel(colors[i], 2);
            const auto distance = static_cast<std::uint32_t>(dr * dr + dg * dg + db * db);
            best = std::min(best, (distance << 8) | (colors[i] >> 24));
        }
        return best & 0xFF;
    }

    static std::uint32_t SearchList(const std::uint32_t* slots, std::uint32_t count,
                                    std::uint32_t packed) {
        const std::uint32_t row = RowLength(count);
#if defined(__SSE2__)
        const __m128i channels =
            _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(packed)), _mm_setzero_si128());
        const __m128i redGreen = RedGreen(channels);
        const __m128i blueZero = BlueZero(channels);
        __m128i key = Keys(slots, row, redGreen, blueZero);
        for (std::uint32_t s = kLanes; s < row; s += kLanes) {
            key = Min(key, Keys(slots + s, row, redGreen, blueZero));
        }
        return static_cast<std::uint32_t>(_mm_cvtsi128_si32(MinAcross(key))) & 0xFF;
#else
        std::uint32_t best = 0xFFFFFFFF;
        for (std::uint32_t s = 0; s < count; ++s) {
            const std::int32_t dr = Channel(packed, 0) - static_cast<std::int32_t>(slots[s] & 0xFF);
            const std::int32_t dg = Channel(packed, 1) - static_cast<std::int32_t>(slots[s] >> 16);
            const std::int32_t db = Channel(packed, 2) - static_cast<std::int32_t>(slots[row + s]);
            const auto distance = static_cast<std::uint32_t>(dr * dr + dg * dg + db * db);
            best = std::min(best, (distance << 8) | slots[2 * row + s]);
        }
        return best & 0xFF;
#endif
    }

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
                const std::int32_t outside = std::max(low - v, 0) + std::max(v - high, 0);
                const std::int32_t across = std::max(v - low, high - v);
                near += outside * outside;
                far += across * across;
            }
            nearest[i] = near;
            bound = std::min(bound, far);
        }
        // Kept without a branch, which would go either way at random.
        std::uint32_t n = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            kept[n] = from[i];
            n += nearest[i] <= bound ? 1 : 0;
        }
        return n;
    }

    // Makes the lists a colour's cubes lack and answers from the shortest one there is.
    std::uint32_t FindWithoutList(std::uint32_t packed) {
        const std::uint32_t red = packed & 0xFF;
        const std::uint32_t green = (packed >> 8) & 0xFF;
        const std::uint32_t blue = (packed >> 16) & 0xFF;
        constexpr int kLargeSide = 8 - kLargeBits;
        const std::uint32_t large = ((red >> kLargeBits) << (2 * kLargeSide)) |
                                    ((green >> kLargeBits) << kLargeSide) | (blue >> kLargeBits);
        List& outer = m_large[large];
        if (outer.count == 0) {
            outer.start = large * kMaxColors;
            outer.count = Candidates(m_colors, m_count, Corner(packed, kLargeBits), 1 << kLargeBits,
                                     m_largePool.get() + outer.start);
        }
        const std::uint32_t* from = m_largePool.get() + outer.start;
        std::uint32_t fromCount = outer.count;
        constexpr int kMiddleSide = 8 - kMiddleBits;
        List& middle = m_middle[((red >> kMiddleBits) << (2 * kMiddleSide)) |
                                ((green >> kMiddleBits) << kMiddleSide) | (blue >> kMiddleBits)];
        if (middle.count == 0 && kMiddlePoolWords - m_middleUsed >= outer.count) {
            middle.start = static_cast<std::uint32_t>(m_middleUsed);
            middle.count = Candidates(from, outer.count, Corner(packed, kMiddleBits),
                                      1 << kMiddleBits, m_middlePool.get() + middle.start);
            m_middleUsed += middle.count;
        }
        if (middle.count != 0) {
            from = m_middlePool.get() + middle.start;
            fromCount = middle.count;
        }
        std::uint32_t kept[kMaxColors];
        const std::uint32_t n =
            Candidates(from, fromCount, Corner(packed, kSmallBits), 1 << kSmallBits, kept);
        const std::uint32_t row = RowLength(n);
        if (kSmallPoolWords - m_smallUsed < 3 * row) {
            return Search(from, fromCount, packed);
        }
        List& list = m_small[Cube(packed)];
        list.start = static_cast<std::uint32_t>(m_smallUsed);
        list.count = n;
        std::uint32_t* slots = m_smallPool.get() + m_smallUsed;
        m_smallUsed += 3 * row;
        for (std::uint32_t s = 0; s < row; ++s) {
            // The room after the list takes its last colour again, which changes nothing.
            const std::uint32_t color = kept[std::min(s, n - 1)];
            slots[s] = (color & 0xFF) | ((color >> 8) & 0xFF) << 16;
            slots[row + s] = (color >> 16) & 0xFF;
            slots[2 * row + s] = color >> 24;
        }
        return SearchList(slots, n, packed);
    }

    std::uint32_t m_colors[kMaxColors] = {};  // packed, with the index in the top byte
    alignas(16) std::int32_t m_channels[kMaxColors][4] = {};
    std::uint32_t m_count = 0;
    std::unique_ptr<List[]> m_small;
    std::unique_ptr<List[]> m_middle;
    std::unique_ptr<List[]> m_large;
    std::unique_ptr<std::uint32_t[]> m_largePool;
    std::unique_ptr<std::uint32_t[]> m_middlePool;
    std::size_t m_middleUsed = 0;
    std::unique_ptr<std::uint32_t[]> m_smallPool;
    std::size_t m_smallUsed = 0;
};

// One row at a time, one colour at a time. Current and next row's errors, red, green and blue
// side by side, with a spare pixel in front for the below-left share of the first pixel and
// one behind that reads as zero where the last pixel's right share is dropped.
bool DiffuseRows(const CDib& source, CDib& destination, CNearestColor& nearest) {
    const std::int32_t width = source.Width();
    const std::size_t cells = 3 * (static_cast<std::size_t>(width) + 2);
    std::unique_ptr<std::int32_t[]> buffer(new (std::nothrow) std::int32_t[2 * cells]());
    if (!buffer) {
        return false;
    }
    std::int32_t* current = buffer.get() + 3;
    std::int32_t* next = buffer.get() + cells + 3;
    for (std::int32_t y = 0; y < source.Height(); ++y) {
        const std::uint8_t* in = source.Row(y);
        std::uint8_t* out = destination.Row(y);
        std::int32_t below[3] = {};
        for (std::int32_t x = 0; x < width; ++x, in += 3) {
            const std::int32_t value[3] = {in[2] + current[3 * x], in[1] + current[3 * x + 1],
                                           in[0] + current[3 * x + 2]};
            const std::uint32_t index = nearest.Find(CNearestColor::Pack(
                ClampToByte(value[0]), ClampToByte(value[1]), ClampToByte(value[2])));
            out[x] = static_cast<std::uint8_t>(index);
            for (int c = 0; c < 3; ++c) {
                const std::int32_t error = value[c] - nearest.Channels(index)[c];
                current[3 * (x + 1) + c] += error / 2;
                next[3 * (x - 1) + c] = below[c] + error / 4;
                below[c] = error - error / 2 - error / 4;
            }
        }
        if (width > 0) {
            std::copy(below, below + 3, next + 3 * (width - 1));
        }
        ClearPadding(destination, y);
        // Every cell of the next row has been written; the spare behind is never read.
        std::swap(current, next);
    }
    return true;
}

#if defined(__SSE2__)
// Four colours a step, the list's sixteen in four steps.
struct CNarrowSearch {
    // A pixel's red, green, blue and a zero, from its blue, green and red bytes.
    template <bool kLastInRow>
    static __m128i Pixel(const std::uint8_t* in) {
        return _mm_setr_epi32(in[2], in[1], in[0], 0);
    }
    static __m128i Find(CNearestColor& nearest, __m128i channels, std::uint32_t packed) {
        const std::uint32_t* slots = nearest.ShortList(packed);
        if (slots == nullptr) [[unlikely]] {
            return _mm_cvtsi32_si128(static_cast<int>(nearest.FindOutOfLine(packed)));
        }
        constexpr std::uint32_t kRow = CNearestColor::kSlots;
        const __m128i redGreen = CNearestColor::RedGreen(channels);
        const __m128i blueZero = CNearestColor::BlueZero(channels);
        __m128i key = CNearestColor::Keys(slots, kRow, redGreen, blueZero);
        for (std::uint32_t s = CNearestColor::kLanes; s < kRow; s += CNearestColor::kLanes) {
            key = CNearestColor::Min(key, CNearestColor::Keys(slots + s, kRow, redGreen, blueZero));
        }
        return CNearestColor::MinAcross(key);
    }
};

// One row's error diffusion, a pixel at a time. A row's cells hold, per pixel, the red, green
// and blue error the row above hands down, and a zero, as 32-bit numbers; the row writes its
// own shares into the next row's cells. Each cell is written once, when both its shares are
// known, so the cells need no clearing.
template <class Search>
class CDiffusedRow {
public:
    CDiffusedRow() = default;
    CDiffusedRow(const std::uint8_t* in, const std::int32_t* cells, std::int32_t* nextCells,
                 std::uint8_t* out)
        : m_in(in), m_cells(cells), m_next(nextCells), m_out(out) {}

    template <bool kLastInRow = false>
    void Step(CNearestColor& nearest, std::int32_t x) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i value = _mm_add_epi32(
            _mm_add_epi32(Load(m_cells + 4 * x), m_carry),
            Search::template Pixel<kLastInRow>(m_in + 3 * static_cast<std::ptrdiff_t>(x)));
        // Limited to bytes by two saturating packs; the errors are taken from the value.
        const __m128i words = _mm_packs_epi32(value, value);
        const __m128i bytes = _mm_packus_epi16(words, words);
        const __m128i key = Search::Find(nearest, _mm_unpacklo_epi8(bytes, zero),
                                         static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes)));
        const auto index = static_cast<std::uint32_t>(_mm_cvtsi128_si32(key)) & 0xFF;
        m_out[x] = static_cast<std::uint8_t>(index);
        const __m128i error = _mm_sub_epi32(value, Load(nearest.Channels(index)));
        // Halves and quarters rounded toward zero, as integer division does.
        const __m128i sign = _mm_srai_epi32(error, 31);
        const __m128i half = _mm_srai_epi32(_mm_sub_epi32(error, sign), 1);
        const __m128i quarter = _mm_srai_epi32(_mm_add_epi32(error, _mm_srli_epi32(sign, 30)), 2);
        std::int32_t* belowLeft = m_next + 4 * (x - 1);
        Store(belowLeft, _mm_add_epi32(m_below, quarter));
        m_below = _mm_sub_epi32(_mm_sub_epi32(error, half), quarter);
        m_carry = half;
    }
    // The last pixel's share below, once the row is done.
    void Finish(std::int32_t width) { Store(m_next + 4 * (width - 1), m_below); }

private:
    static __m128i Load(const std::int32_t* cell) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(cell));
    }
    static void Store(std::int32_t* cell, __m128i value) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(cell), value);
    }

    const std::uint8_t* m_in = nullptr;
    const std::int32_t* m_cells = nullptr;
    std::int32_t* m_next = nullptr;
    std::uint8_t* m_out = nullptr;
    __m128i m_carry = _mm_setzero_si128();  // the share from the left
    __m128i m_below = _mm_setzero_si128();  // the share below this pixel so far
};

// Each pixel waits on the one before it, through its error, so the search for one pixel can
// hardly overlap the next. Six rows are worked side by side instead, each two pixels behind
// the one above, by which time that row has handed it all it will. Fewer rows leave the
// processor waiting; more gain nothing.
template <class Search>
bool DiffuseBands(const CDib& source, CDib& destination, CNearestColor& nearest) {
    constexpr std::int32_t kBand = 6;
    constexpr std::int32_t kLag = 2;
    const std::int32_t width = source.Width();
    const std::int32_t height = source.Height();
    const std::size_t cells = 4 * (static_cast<std::size_t>(width) + 1);
    std::unique_ptr<std::int32_t[]> buffer(new (std::nothrow) std::int32_t[(kBand + 1) * cells]);
    if (!buffer) {
        return false;
    }
    // Each row's cells have one in front, where the first pixel's below-left share goes,
    // unread.
    std::int32_t* rows[kBand + 1];
    for (std::int32_t k = 0; k <= kBand; ++k) {
        rows[k] = buffer.get() + k * cells + 4;
    }
    // Nothing is handed down to the first row.
    std::fill(rows[0], rows[0] + 4 * static_cast<std::size_t>(width), 0);
    using Row = CDiffusedRow<Search>;
    for (std::int32_t y = 0; y < height; y += kBand) {
        // rows[k] holds what row y + k - 1 hands down to row y + k.
        const std::int32_t band = std::min(kBand, height - y);
        Row row[kBand];
        for (std::int32_t k = 0; k < band; ++k) {
            row[k] = Row(source.Row(y + k), rows[k], rows[k + 1], destination.Row(y + k));
        }
        // The first and last steps, where some rows have not started or are done.
        const auto edge = [&](std::int32_t t) {
            for (std::int32_t k = 0; k < band; ++k) {
                const std::int32_t x = t - k * kLag;
                if (x >= 0 && x < width - 1) {
                    row[k].Step(nearest, x);
                } else if (x == width - 1) {
                    row[k].template Step<true>(nearest, x);
                    row[k].Finish(width);
                }
            }
        };
        std::int32_t t = 0;
        if (band == kBand && width > (kBand - 1) * kLag) {
            for (; t < (kBand - 1) * kLag; ++t) {
                edge(t);
            }
            for (; t < width - 1; ++t) {
                for (std::int32_t k = 0; k < kBand; ++k) {
                    row[k].Step(nearest, t - k * kLag);
                }
            }
        }
        for (; t < width + (band - 1) * kLag; ++t) {
            edge(t);
        }
        for (std::int32_t k = 0; k < band; ++k) {
            ClearPadding(destination, y + k);
        }
        std::rotate(rows, rows + band, rows + kBand + 1);
    }
    return true;
}
#endif

#if defined(TAVELO_WIDE_SEARCH)
// Eight colours a step, the list's sixteen in two steps.
struct CWideSearch {
    // A pixel's red, green, blue and a zero, from its blue, green and red bytes. Four bytes are
    // read at once, but at a row's last pixel the fourth may lie past the picture.
    template <bool kLastInRow>
    __attribute__((target("avx2"))) static __m128i Pixel(const std::uint8_t* in) {
        std::uint32_t bytes = 0;
        if constexpr (kLastInRow) {
            bytes = in[0] | (in[1] << 8) | (in[2] << 16);
        } else {
            std::memcpy(&bytes, in, sizeof bytes);
        }
        const __m128i order =
            _mm_setr_epi8(2, -1, -1, -1, 1, -1, -1, -1, 0, -1, -1, -1, -1, -1, -1, -1);
        return _mm_shuffle_epi8(_mm_cvtsi32_si128(static_cast<int>(bytes)), order);
    }
    __attribute__((target("avx2"))) static __m128i Find(CNearestColor& nearest, __m128i channels,
                                                        std::uint32_t packed) {
        const std::uint32_t* slots = nearest.ShortList(packed);
        if (slots == nullptr) [[unlikely]] {
            return _mm_cvtsi32_si128(static_cast<int>(nearest.FindOutOfLineWide(packed)));
        }
        const __m256i redGreen = _mm256_broadcastd_epi32(channels);
        const __m256i blueZero = _mm256_broadcastd_epi32(_mm_srli_si128(channels, 4));
        const auto* lanes = reinterpret_cast<const __m256i*>(slots);
        const __m256i both =
            _mm256_min_epi32(Keys(lanes, redGreen, blueZero), Keys(lanes + 1, redGreen, blueZero));
        __m128i key =
            _mm_min_epi32(_mm256_castsi256_si128(both), _mm256_extracti128_si256(both, 1));
        key = _mm_min_epi32(key, _mm_shuffle_epi32(key, _MM_SHUFFLE(1, 0, 3, 2)));
        return _mm_min_epi32(key, _mm_shuffle_epi32(key, _MM_SHUFFLE(2, 3, 0, 1)));
    }

private:
    // The keys of eight colours of a list (rows of two times eight).
    __attribute__((target("avx2"))) static __m256i Keys(const __m256i* lanes, __m256i redGreen,
                                                        __m256i blueZero) {
        const __m256i dRedGreen = _mm256_sub_epi16(redGreen, _mm256_loadu_si256(lanes));
        const __m256i dBlue = _mm256_sub_epi16(blueZero, _mm256_loadu_si256(lanes + 2));
        const __m256i distance = _mm256_add_epi32(_mm256_madd_epi16(dRedGreen, dRedGreen),
                                                  _mm256_madd_epi16(dBlue, dBlue));
        return _mm256_or_si256(_mm256_slli_epi32(distance, 8), _mm256_loadu_si256(lanes + 4));
    }
};

// The rows and the search built together for these processors, so that the search is part of
// the loop.
__attribute__((target("avx2"), flatten)) bool DiffuseBandsWide(const CDib& source,
                                                               CDib& destination,
                                                               CNearestColor& nearest) {
    return DiffuseBands<CWideSearch>(source, destination, nearest);
}
#endif

}  // namespace

bool CanSearchWith(EDiffusionSearch search) {
    switch (search) {
        case EDiffusionSearch::Plain:
            return true;
        case EDiffusionSearch::Sse2:
#if defined(__SSE2__)
            return true;
#else
            return false;
#endif
        case EDiffusionSearch::Avx2:
#if defined(TAVELO_WIDE_SEARCH)
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx2") != 0;
#else
            return false;
#endif
    }
    return false;
}

EDiffusionSearch FastestSearch() {
    static const EDiffusionSearch fastest = [] {
        for (const EDiffusionSearch search : {EDiffusionSearch::Avx2, EDiffusionSearch::Sse2}) {
            if (CanSearchWith(search)) {
                return search;
            }
        }
        return EDiffusionSearch::Plain;
    }();
    return fastest;
}

bool DiffuseToPalette(const CDib& source, CDib& destination, const CColorPalette& palette,
                      std::int32_t leaves, EDiffusionSearch search) {
    CNearestColor nearest;
    if (!nearest.Prepare(palette, leaves)) {
        return false;
    }
    if (!CanSearchWith(search)) {
        search = EDiffusionSearch::Plain;
    }
    switch (search) {
#if defined(TAVELO_WIDE_SEARCH)
        case EDiffusionSearch::Avx2:
            return DiffuseBandsWide(source, destination, nearest);
#endif
#if defined(__SSE2__)
        case EDiffusionSearch::Sse2:
            return DiffuseBands<CNarrowSearch>(source, destination, nearest);
#endif
        default:
            return DiffuseRows(source, destination, nearest);
    }
}
