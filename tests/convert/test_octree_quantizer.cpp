#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <tuple>
#include <vector>

#include "convert/color_palette.h"
#include "convert/octree_quantizer.h"
#include "support/core_pictures.h"

namespace {

Rgb Entry(const CColorPalette& palette, std::uint16_t index) {
    Rgb c{};
    palette.GetEntry(index, c.r, c.g, c.b);
    return c;
}

void Add(COctreeQuantizer& q, Rgb c) {
    ASSERT_TRUE(q.AddColor(c.r, c.g, c.b));
}

void Build(COctreeQuantizer& q, CColorPalette& palette, const std::vector<Rgb>& colours) {
    std::for_each(colours.begin(), colours.end(), [&](Rgb c) { Add(q, c); });
    ASSERT_TRUE(q.BuildPalette(palette));
}

std::uint16_t Map(const COctreeQuantizer& q, Rgb c) {
    return q.MapColor(c.r, c.g, c.b);
}

// A colour alone in its level-4 node number k (distinct top four bits per channel), with bit 3
// of every channel clear; its sibling leaf under the same node sets bit 3 of red.
Rgb InNode(int k) {
    return Unpack((k & 15) << 20 | (k >> 4 & 15) << 12 | (k >> 8 & 15) << 4);
}
Rgb Sibling(Rgb c) {
    return {static_cast<std::uint8_t>(c.r | 8), c.g, c.b};
}

}  // namespace

TEST(OctreeQuantizer, ColoursSharingTheTopFiveBitsShareOneLeafHoldingTheirTruncatedMean) {
    const std::vector<Rgb> same(1000, Rgb{200, 100, 7});
    const std::vector<Rgb> lowBitsApart{{0x80, 0x41, 0x10}, {0x87, 0x46, 0x17}};
    // The second mean is 131.5, 67.5, 19.5.
    for (const auto& [colours, mean] :
         {std::pair{same, Rgb{200, 100, 7}}, std::pair{lowBitsApart, Rgb{131, 67, 19}}}) {
        COctreeQuantizer q;
        CColorPalette palette;
        Build(q, palette, colours);
        EXPECT_EQ(q.LeafCount(), 1);
        EXPECT_EQ(Entry(palette, 0), mean);
        EXPECT_EQ(Entry(palette, 1), (Rgb{0, 0, 0}));
        EXPECT_EQ(Map(q, colours.back()), 0);
    }
}

TEST(OctreeQuantizer, TheLeafOverTheBudgetMergesTheNewestDeepestNodesUntilItFits) {
    COctreeQuantizer q;
    q.SetColorBudget(240);
    // Two older level-4 nodes with two leaves each, then single leaves in newer nodes up to
    // leaf 241. Merging the newest level-4 nodes first frees nothing until the second pair
    // is reached; the oldest pair must survive.
    const Rgb q1 = InNode(1);
    const Rgb p1 = InNode(2);
    for (const Rgb& c : {q1, Sibling(q1), p1, Sibling(p1)}) {
        Add(q, c);
    }
    int k = 3;
    while (q.LeafCount() < 240) {
        Add(q, InNode(k++));
    }
    const Rgb newest = InNode(k);
    Add(q, newest);  // leaf 241
    EXPECT_EQ(q.LeafCount(), 240);
    // The newest node is a leaf now: a colour in its sibling leaf joins it.
    Add(q, Sibling(newest));
    EXPECT_EQ(q.LeafCount(), 240);

    CColorPalette palette;
    ASSERT_TRUE(q.BuildPalette(palette));
    EXPECT_EQ(palette.Count(), 240);
    EXPECT_NE(Map(q, q1), Map(q, Sibling(q1)));
    for (const Rgb& merged : {p1, newest}) {
        EXPECT_EQ(Map(q, merged), Map(q, Sibling(merged)));
        EXPECT_EQ(Entry(palette, Map(q, merged)),
                  (Rgb{static_cast<std::uint8_t>(merged.r + 4), merged.g, merged.b}));
    }
}

TEST(OctreeQuantizer, AnUnseenColourFollowsTheMostRecentInsertionWhereItsBranchIsMissing) {
    const Rgb red{255, 0, 0}, green{0, 255, 0};  // root children 4 and 2; black takes 0
    const Rgb r00{0x00, 0, 0}, r10{0x10, 0, 0}, r20{0x20, 0, 0}, g20{0, 0x20, 0};  // part lower
    for (const auto& [added, unseen, follows] :
         {std::tuple{std::vector{red, r00}, green, r00},
          std::tuple{std::vector{red, r00, red}, green, red},
          std::tuple{std::vector{r00, r10, r20}, g20, r20},
          std::tuple{std::vector{r20, r10, r00}, g20, r00}}) {
        COctreeQuantizer q;
        CColorPalette palette;
        Build(q, palette, added);
        EXPECT_EQ(Map(q, unseen), Map(q, follows)) << added.size() << " " << int(follows.r);
    }
}

TEST(OctreeQuantizer, TheMappingTableGivesTheDescentsAnswerForEveryFifteenBitColour) {
    std::mt19937 random(11);
    // {budget, colours, values a channel may take}: small and large trees; budgets below the
    // number of colours force merges.
    for (const auto& [budget, colours, spread] : std::vector<std::array<int, 3>>{{256, 3, 256},
                                                                                 {240, 200, 256},
                                                                                 {240, 20000, 256},
                                                                                 {16, 3000, 256},
                                                                                 {3, 500, 64},
                                                                                 {240, 5000, 40}}) {
        COctreeQuantizer q;
        q.SetColorBudget(budget);
        auto channel = [&, spread = spread] {
            return static_cast<std::uint8_t>(random() % spread);
        };
        for (int i = 0; i < colours; ++i) {
            Add(q, {channel(), channel(), channel()});
        }
        CColorPalette palette;
        ASSERT_TRUE(q.BuildPalette(palette));
        for (std::uint32_t key = 0; key < 32768; ++key) {
            const auto r = static_cast<std::uint8_t>((key >> 10) << 3 | (random() & 7));
            const auto g = static_cast<std::uint8_t>(((key >> 5) & 31) << 3 | (random() & 7));
            const auto b = static_cast<std::uint8_t>((key & 31) << 3 | (random() & 7));
            ASSERT_EQ(q.MapColor(r, g, b), q.MapColorByDescent(r, g, b))
                << "budget " << budget << " colour " << int(r) << "," << int(g) << "," << int(b);
        }
    }
}
