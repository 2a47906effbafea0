#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "convert/color_palette.h"
#include "convert/octree_quantizer.h"
#include "support/core_allocation_failure.h"

namespace {

struct Rgb {
    std::uint8_t r;
    std::uint8_t g;
    std::uint8_t b;
    bool operator==(const Rgb&) const = default;
};

Rgb Entry(const CColorPalette& palette, std::uint16_t index) {
    Rgb c{};
    palette.GetEntry(index, c.r, c.g, c.b);
    return c;
}

void Add(COctreeQuantizer& q, Rgb c) {
    ASSERT_TRUE(q.AddColor(c.r, c.g, c.b));
}

std::uint16_t Map(const COctreeQuantizer& q, Rgb c) {
    return q.MapColor(c.r, c.g, c.b);
}

// A colour alone in its level-4 node number k (distinct top four bits per channel), with bit 3
// of every channel clear; its sibling leaf under the same node sets bit 3 of red.
Rgb InNode(int k) {
    return {static_cast<std::uint8_t>((k & 15) << 4),
            static_cast<std::uint8_t>(((k >> 4) & 15) << 4),
            static_cast<std::uint8_t>(((k >> 8) & 15) << 4)};
}
Rgb Sibling(Rgb c) {
    return {static_cast<std::uint8_t>(c.r | 8), c.g, c.b};
}

}  // namespace

TEST(OctreeQuantizer, TheSameColourAddedManyTimesIsOneLeafOfThatColour) {
    COctreeQuantizer q;
    for (int i = 0; i < 1000; ++i) {
        Add(q, {200, 100, 7});
    }
    EXPECT_EQ(q.LeafCount(), 1);
    CColorPalette palette;
    ASSERT_TRUE(q.BuildPalette(palette));
    EXPECT_EQ(palette.Count(), 256);  // the default budget
    EXPECT_EQ(Entry(palette, 0), (Rgb{200, 100, 7}));
    EXPECT_EQ(Entry(palette, 1), (Rgb{0, 0, 0}));
    EXPECT_EQ(Map(q, {200, 100, 7}), 0);
}

TEST(OctreeQuantizer, ColoursDifferingInTheLowThreeBitsShareALeafWithTheirTruncatedMean) {
    COctreeQuantizer q;
    Add(q, {0x80, 0x41, 0x10});
    Add(q, {0x87, 0x46, 0x17});
    EXPECT_EQ(q.LeafCount(), 1);
    CColorPalette palette;
    ASSERT_TRUE(q.BuildPalette(palette));
    // (0x80 + 0x87) / 2 = 131.5, (0x41 + 0x46) / 2 = 67.5, (0x10 + 0x17) / 2 = 19.5
    EXPECT_EQ(Entry(palette, 0), (Rgb{131, 67, 19}));
}

TEST(OctreeQuantizer, LeavesAreNumberedDepthFirstNotInInsertionOrder) {
    COctreeQuantizer q;
    Add(q, {255, 255, 255});
    Add(q, {0, 0, 255});   // root child 1
    Add(q, {0, 0, 0});     // root child 0
    Add(q, {0, 0, 0x08});  // same top four bits as black: the next leaf of the same node
    CColorPalette palette;
    ASSERT_TRUE(q.BuildPalette(palette));
    EXPECT_EQ(Map(q, {0, 0, 0}), 0);
    EXPECT_EQ(Map(q, {0, 0, 0x08}), 1);
    EXPECT_EQ(Map(q, {0, 0, 255}), 2);
    EXPECT_EQ(Map(q, {255, 255, 255}), 3);
    EXPECT_EQ(Entry(palette, 1), (Rgb{0, 0, 8}));
    EXPECT_EQ(Entry(palette, 3), (Rgb{255, 255, 255}));
}

TEST(OctreeQuantizer, TheLeafOverTheBudgetMergesTheNewestDeepestNodesUntilItFits) {
    COctreeQuantizer q;
    q.SetColorBudget(240);
    // Two older level-4 nodes with two leaves each, then single leaves in newer nodes up to
    // leaf 241. Merging the newest level-4 nodes first frees nothing until the second pair
    // is reached; the oldest pair must survive.
    const Rgb q1 = InNode(1);
    const Rgb p1 = InNode(2);
    Add(q, q1);
    Add(q, Sibling(q1));
    Add(q, p1);
    Add(q, Sibling(p1));
    int k = 3;
    while (q.LeafCount() < 240) {
        Add(q, InNode(k++));
    }
    const Rgb newest = InNode(k);
    Add(q, newest);  // leaf 241
    EXPECT_EQ(q.LeafCount(), 240);

    // The newest node is a leaf now: a colour in its sibling leaf joins it.
    const Rgb joining = Sibling(newest);
    Add(q, joining);
    EXPECT_EQ(q.LeafCount(), 240);

    CColorPalette palette;
    ASSERT_TRUE(q.BuildPalette(palette));
    EXPECT_EQ(palette.Count(), 240);
    EXPECT_NE(Map(q, q1), Map(q, Sibling(q1)));
    EXPECT_EQ(Map(q, p1), Map(q, Sibling(p1)));
    EXPECT_EQ(Entry(palette, Map(q, p1)), (Rgb{static_cast<std::uint8_t>(p1.r + 4), p1.g, p1.b}));
    EXPECT_EQ(Map(q, newest), Map(q, joining));
    EXPECT_EQ(Entry(palette, Map(q, newest)),
              (Rgb{static_cast<std::uint8_t>(newest.r + 4), newest.g, newest.b}));
}

TEST(OctreeQuantizer, AfterMergesEachLeafIsTheTruncatedMeanOfTheColoursThatReachedIt) {
    for (int budget : {1, 8, 64, 240}) {
        COctreeQuantizer q;
        q.SetColorBudget(budget);
        std::mt19937 random(7);
        std::vector<Rgb> colours(5000);
        for (Rgb& c : colours) {
            c = {static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                 static_cast<std::uint8_t>(random())};
            Add(q, c);
            ASSERT_LE(q.LeafCount(), budget);
        }
        CColorPalette palette;
        ASSERT_TRUE(q.BuildPalette(palette));
        // A sampled colour reaches its own leaf or the one it was merged into.
        std::vector<std::array<std::uint32_t, 4>> sums(budget);  // red, green, blue, count
        for (const Rgb& c : colours) {
            const std::uint16_t index = Map(q, c);
            ASSERT_LT(index, q.LeafCount());
            sums[index][0] += c.r;
            sums[index][1] += c.g;
            sums[index][2] += c.b;
            ++sums[index][3];
        }
        int used = 0;
        for (int i = 0; i < budget; ++i) {
            const Rgb entry = Entry(palette, static_cast<std::uint16_t>(i));
            const std::uint32_t n = sums[i][3];
            if (n == 0) {
                EXPECT_EQ(entry, (Rgb{0, 0, 0})) << budget << " entry " << i;
                continue;
            }
            ++used;
            EXPECT_EQ(entry, (Rgb{static_cast<std::uint8_t>(sums[i][0] / n),
                                  static_cast<std::uint8_t>(sums[i][1] / n),
                                  static_cast<std::uint8_t>(sums[i][2] / n)}))
                << budget << " entry " << i;
        }
        // Leaves are numbered without gaps.
        EXPECT_EQ(used, q.LeafCount());
    }
}

TEST(OctreeQuantizer, AnUnseenColourFollowsTheMostRecentInsertionWhereItsBranchIsMissing) {
    const Rgb red{255, 0, 0};     // root child 4
    const Rgb black{0, 0, 0};     // root child 0
    const Rgb unseen{0, 255, 0};  // root child 2, never added
    {
        COctreeQuantizer q;
        Add(q, red);
        Add(q, black);
        CColorPalette palette;
        ASSERT_TRUE(q.BuildPalette(palette));
        EXPECT_EQ(Map(q, unseen), Map(q, black));
    }
    {
        COctreeQuantizer q;
        Add(q, red);
        Add(q, black);
        Add(q, red);
        CColorPalette palette;
        ASSERT_TRUE(q.BuildPalette(palette));
        EXPECT_EQ(Map(q, unseen), Map(q, red));
    }
    {
        // Deeper down, below a node with branches for 0x00 and 0x20: green 0x20 has no branch
        // there and follows whichever of the two was inserted last.
        COctreeQuantizer q;
        Add(q, {0x00, 0, 0});
        Add(q, {0x10, 0, 0});
        Add(q, {0x20, 0, 0});
        CColorPalette palette;
        ASSERT_TRUE(q.BuildPalette(palette));
        EXPECT_EQ(Map(q, {0, 0x20, 0}), Map(q, {0x20, 0, 0}));
    }
    {
        COctreeQuantizer q;
        Add(q, {0x20, 0, 0});
        Add(q, {0x10, 0, 0});
        Add(q, {0x00, 0, 0});
        CColorPalette palette;
        ASSERT_TRUE(q.BuildPalette(palette));
        EXPECT_EQ(Map(q, {0, 0x20, 0}), Map(q, {0x00, 0, 0}));
    }
}

TEST(OctreeQuantizer, TheMappingTableGivesTheDescentsAnswerForEveryFifteenBitColour) {
    std::mt19937 random(11);
    struct Case {
        std::int32_t budget;
        int colours;
        int spread;  // how many values each channel may take
    };
    // Small and large trees; the budgets below the number of colours force merges.
    for (const Case& c : {Case{256, 3, 256}, Case{240, 200, 256}, Case{240, 20000, 256},
                          Case{16, 3000, 256}, Case{3, 500, 64}, Case{240, 5000, 40}}) {
        COctreeQuantizer q;
        q.SetColorBudget(c.budget);
        std::uniform_int_distribution<int> channel(0, c.spread - 1);
        for (int i = 0; i < c.colours; ++i) {
            Add(q, {static_cast<std::uint8_t>(channel(random)),
                    static_cast<std::uint8_t>(channel(random)),
                    static_cast<std::uint8_t>(channel(random))});
        }
        CColorPalette palette;
        ASSERT_TRUE(q.BuildPalette(palette));
        for (std::uint32_t key = 0; key < 32768; ++key) {
            const auto r = static_cast<std::uint8_t>((key >> 10) << 3 | (random() & 7));
            const auto g = static_cast<std::uint8_t>(((key >> 5) & 31) << 3 | (random() & 7));
            const auto b = static_cast<std::uint8_t>((key & 31) << 3 | (random() & 7));
            ASSERT_EQ(q.MapColor(r, g, b), q.MapColorByDescent(r, g, b))
                << "budget " << c.budget << " colour " << int(r) << "," << int(g) << "," << int(b);
        }
    }
}

TEST(OctreeQuantizer, ABudgetOfZeroStopsMergingAtTheRootAndBuildsNoPalette) {
    COctreeQuantizer q;
    q.SetColorBudget(0);
    Add(q, {1, 2, 3});
    Add(q, {200, 2, 3});
    EXPECT_EQ(q.LeafCount(), 1);
    CColorPalette palette;
    EXPECT_FALSE(q.BuildPalette(palette));
}

TEST(OctreeQuantizer, ARefusedAllocationFailsCleanly) {
    // Sanitizer builds report any node left behind.
    const int refusals = ForEachFailingAllocation([](const FailingAllocation& failing) {
        COctreeQuantizer q;
        q.SetColorBudget(4);
        bool ok = true;
        for (int i = 0; ok && i < 64; ++i) {
            ok = q.AddColor(static_cast<std::uint8_t>(i * 4), static_cast<std::uint8_t>(i * 9),
                            static_cast<std::uint8_t>(255 - i));
        }
        CColorPalette palette;
        ok = ok && q.BuildPalette(palette);
        EXPECT_EQ(ok, !failing.Failed());
    });
    EXPECT_GT(refusals, 10);
}
