#include <gtest/gtest.h>

#include "convert/color_palette.h"
#include "support/core_allocation_failure.h"

TEST(ColorPalette, AllocateRefusesACountOfZeroAndARefusalLeavesNoEarlierEntries) {
    CColorPalette palette;
    EXPECT_FALSE(palette.Allocate());
    palette.SetCount(8);
    ASSERT_TRUE(palette.Allocate());
    palette.SetEntry(6, 10, 20, 30);
    const int refusals = ForEachFailingAllocation([&] {
        const bool ok = palette.Allocate();
        EXPECT_EQ(palette.IsAllocated(), ok);
        return ok;
    });
    EXPECT_EQ(refusals, 1);
    palette.SetCount(0);
    EXPECT_FALSE(palette.Allocate());
    EXPECT_FALSE(palette.IsAllocated());
    EXPECT_EQ(palette.FindNearest(10, 20, 30), 0);  // an empty palette answers 0
}

TEST(ColorPalette, FindNearestTakesTheSmallestSquaredDistanceLowestIndexFirstAmongCountedEntries) {
    CColorPalette palette;
    palette.SetCount(8);
    ASSERT_TRUE(palette.Allocate());  // all black
    palette.SetEntry(1, 20, 0, 0);
    palette.SetEntry(3, 50, 56, 56);
    palette.SetEntry(4, 60, 50, 50);
    palette.SetEntry(5, 100, 50, 25);
    palette.SetEntry(7, 100, 50, 25);
    EXPECT_EQ(palette.FindNearest(10, 0, 0), 0);    // as far from black (0, 2, 6) as from 1
    EXPECT_EQ(palette.FindNearest(90, 60, 20), 5);  // 7 holds the same colour
    EXPECT_EQ(palette.FindNearest(50, 50, 50), 3);  // 6^2 + 6^2 = 72 beats 10^2 = 100
    palette.SetCount(4);
    EXPECT_EQ(palette.FindNearest(100, 50, 25), 3);  // 5 and 7 lie past the count
}
