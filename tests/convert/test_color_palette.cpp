#include <gtest/gtest.h>

#include "convert/color_palette.h"
#include "support/core_allocation_failure.h"

TEST(ColorPalette, AllocateRefusesACountOfZero) {
    CColorPalette palette;
    EXPECT_FALSE(palette.Allocate());
    EXPECT_FALSE(palette.IsAllocated());
    EXPECT_EQ(palette.FindNearest(10, 20, 30), 0);  // an empty palette answers 0
}

TEST(ColorPalette, FindNearestTakesTheSmallestSquaredDistanceAndTheLowestIndexOnATie) {
    CColorPalette palette;
    palette.SetCount(8);
    ASSERT_TRUE(palette.Allocate());
    for (std::uint16_t i = 0; i < 8; ++i) {
        palette.SetEntry(i, 255, 255, 255);
    }
    palette.SetEntry(3, 100, 50, 25);
    palette.SetEntry(7, 100, 50, 25);
    EXPECT_EQ(palette.FindNearest(100, 50, 25), 3);
    EXPECT_EQ(palette.FindNearest(90, 60, 20), 3);
    // Equally far from (0, 0, 0) and (20, 0, 0): the lower index wins.
    palette.SetEntry(1, 20, 0, 0);
    palette.SetEntry(2, 0, 0, 0);
    EXPECT_EQ(palette.FindNearest(10, 0, 0), 1);
    // Squared, not absolute, distance: 6^2 + 6^2 = 72 beats 10^2 = 100 although 12 > 10.
    palette.SetEntry(4, 50, 56, 56);
    palette.SetEntry(5, 60, 50, 50);
    EXPECT_EQ(palette.FindNearest(50, 50, 50), 4);
}

TEST(ColorPalette, ARefusedAllocationKeepsThePaletteEmpty) {
    const int refusals = ForEachFailingAllocation([](const FailingAllocation& failing) {
        CColorPalette palette;
        palette.SetCount(16);
        const bool allocated = palette.Allocate();
        EXPECT_EQ(allocated, !failing.Failed());
        EXPECT_EQ(palette.IsAllocated(), !failing.Failed());
    });
    EXPECT_EQ(refusals, 1);

    // A palette allocated once and then refused holds no entries of the first table.
    CColorPalette palette;
    palette.SetCount(8);
    ASSERT_TRUE(palette.Allocate());
    palette.SetEntry(6, 10, 20, 30);
    palette.SetCount(0);
    EXPECT_FALSE(palette.Allocate());
    EXPECT_FALSE(palette.IsAllocated());
    EXPECT_EQ(palette.FindNearest(10, 20, 30), 0);
}

TEST(ColorPalette, SearchesOnlyTheCountedEntries) {
    CColorPalette palette;
    palette.SetCount(8);
    ASSERT_TRUE(palette.Allocate());
    palette.SetEntry(0, 255, 255, 255);
    palette.SetEntry(6, 10, 20, 30);
    palette.SetCount(4);
    EXPECT_EQ(palette.FindNearest(10, 20, 30), 1);  // entries 1..3 are black, nearer than white
}
