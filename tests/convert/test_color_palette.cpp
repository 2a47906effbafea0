#include <gtest/gtest.h>

#include "convert/color_palette.h"
#include "support/core_allocation_failure.h"

namespace {

// Reads the fourth byte of each entry, which no operation exposes.
class InspectedPalette : public CColorPalette {
public:
    std::uint8_t OwnIndexByte(std::uint16_t index) const { return m_entries[4u * index + 3]; }
};

}  // namespace

TEST(ColorPalette, AllocateRefusesACountOfZero) {
    CColorPalette palette;
    EXPECT_FALSE(palette.Allocate());
    EXPECT_FALSE(palette.IsAllocated());
    EXPECT_EQ(palette.FindNearest(10, 20, 30), 0);  // an empty palette answers 0
}

TEST(ColorPalette, AllocateMakesBlackEntriesCarryingTheirIndexModulo256) {
    InspectedPalette palette;
    palette.SetCount(300);
    ASSERT_TRUE(palette.Allocate());
    for (std::uint16_t i = 0; i < 300; ++i) {
        std::uint8_t r = 1;
        std::uint8_t g = 1;
        std::uint8_t b = 1;
        palette.GetEntry(i, r, g, b);
        ASSERT_EQ(r | g | b, 0) << i;
        ASSERT_EQ(palette.OwnIndexByte(i), i % 256) << i;
    }
}

TEST(ColorPalette, EntriesRoundTripAndIndicesPastTheTableAreIgnored) {
    CColorPalette palette;
    palette.SetCount(4);
    ASSERT_TRUE(palette.Allocate());
    palette.SetEntry(3, 10, 20, 30);
    palette.SetEntry(4, 99, 99, 99);
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    palette.GetEntry(3, r, g, b);
    EXPECT_EQ(r, 10);
    EXPECT_EQ(g, 20);
    EXPECT_EQ(b, 30);
    palette.GetEntry(4, r, g, b);
    EXPECT_EQ(r | g | b, 0);
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
}
