#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "album/palm_bitmap.h"
#include "album/palm_database.h"
#include "res/core/resource_table.h"
#include "support/core_pictures.h"

namespace {

struct Header {
    int width, height, rowBytes, flags, pixelSize, version, next, transparent, compression;
    bool operator==(const Header&) const = default;
};

Header ReadHeader(const std::uint8_t* p) {
    return {LoadBigEndian16(p),
            LoadBigEndian16(p + 2),
            LoadBigEndian16(p + 4),
            LoadBigEndian16(p + 6),
            p[8],
            p[9],
            LoadBigEndian16(p + 10),
            p[12],
            p[13]};
}

// A 24-bit source of one grey value.
std::unique_ptr<CDib> Grey(int width, int height, std::uint8_t value) {
    auto dib = NewDib(width, height, 24);
    std::fill(dib->Pixels(), dib->Pixels() + dib->PixelBytes(), value);
    return dib;
}

std::vector<std::uint8_t> Encoded(const CDib& source, std::uint8_t maxDepth) {
    CPalmBitmapFamily family;
    family.m_source = &source;
    family.m_maxDepth = maxDepth;
    EXPECT_TRUE(family.Encode());
    std::vector<std::uint8_t> out(family.WrittenSize() + 8, 0xEE);  // guard bytes after it
    EXPECT_TRUE(family.CopyTo(out.data()));
    return out;
}

bool Filled(const std::vector<std::uint8_t>& bytes, int from, int to, std::uint8_t value) {
    return std::all_of(bytes.begin() + from, bytes.begin() + to,
                       [=](std::uint8_t b) { return b == value; });
}

}  // namespace

TEST(SystemPalette, HoldsTheHandheldColoursAtTheNamedEntriesAndLoadsFromTheResourceOnly) {
    const CResourceData resource = FindResource("PALETTE", 130);
    ASSERT_EQ(resource.size, 768u);
    auto rgb = [&](int i) {
        return (resource.data[3 * i] << 16) | (resource.data[3 * i + 1] << 8) |
               resource.data[3 * i + 2];
    };
    // The greys and colours after the cube, then black.
    const std::pair<int, int> named[] = {
        {215, 0x111111}, {224, 0xEEEEEE}, {225, 0xC0C0C0}, {226, 0x800000}, {229, 0x008080}};
    for (const auto& [index, colour] : named) {
        EXPECT_EQ(rgb(index), colour) << index;
    }
    for (int i = 230; i < 256; ++i) {
        EXPECT_EQ(rgb(i), 0) << i;
    }
    // The cube: red outermost, then blue, then green, in steps of 0x33 downwards.
    for (int i = 0; i < 215; ++i) {
        const int block = i < 108 ? 0 : 1;
        const int k = i - 108 * block;
        const int red = 0xFF - 0x33 * (k / 18);
        const int blue = 0xFF - 0x33 * (3 * block + (k % 18) / 6);
        const int green = 0xFF - 0x33 * (k % 6);
        ASSERT_EQ(rgb(i), (red << 16) | (green << 8) | blue) << i;
    }
    EXPECT_EQ(FindResource("PALETTE", 131).size, 0u);

    CSystemPalette palette;
    ASSERT_TRUE(palette.LoadFromResource(130));
    EXPECT_EQ(palette.Count(), 256);
    EXPECT_EQ(palette.FindNearest(0, 0, 0), 230);  // the first black entry wins
    EXPECT_EQ(palette.FindNearest(255, 0, 0), 125);
    CSystemPalette missing;
    EXPECT_FALSE(missing.LoadFromResource(999));
    EXPECT_FALSE(missing.SetFromLogPalette(CLogPalette{}));
}

TEST(PalmBitmapFamily, AlbumIconHasChainedHeadersAndWhiteIsLightGreyAndBlackTheDarkest) {
    // {grey, 2-bit bytes, 4-bit bytes, 8-bit indices}: white is grey 221, the second-lightest
    // grey complemented, and palette entry 0; black the darkest values and entry 230.
    for (const auto& [grey, two, four, eight] :
         {std::array{255, 0x00, 0x22, 0}, std::array{0, 0xFF, 0xFF, 230}}) {
        const auto bytes = Encoded(*Grey(24, 24, static_cast<std::uint8_t>(grey)), 8);
        ASSERT_EQ(bytes.size(), 1056u + 8);
        EXPECT_EQ(ReadHeader(&bytes[0]), (Header{24, 24, 6, 0, 2, 1, 40, 0, 0}));
        EXPECT_EQ(ReadHeader(&bytes[160]), (Header{24, 24, 12, 0, 4, 1, 76, 0, 0}));
        EXPECT_EQ(ReadHeader(&bytes[464]), (Header{24, 24, 24, 0, 8, 2, 0, 0, 0}));
        EXPECT_TRUE(Filled(bytes, 16, 160, static_cast<std::uint8_t>(two))) << grey;
        EXPECT_TRUE(Filled(bytes, 176, 464, static_cast<std::uint8_t>(four))) << grey;
        EXPECT_TRUE(Filled(bytes, 480, 1056, static_cast<std::uint8_t>(eight))) << grey;
        EXPECT_EQ(bytes[1056], 0xEE);  // nothing written past the family
    }
}

TEST(PalmBitmapFamily, PacksPixelsLeftmostHighAndRowsTopFirst) {
    // Top row: white, black, white, black ...; other rows black.
    const auto source = Grey(32, 32, 0);
    for (int x = 0; x < 32; x += 2) {
        std::fill_n(source->Row(31) + 3 * x, 3, 255);  // storage row 31 is the top row
    }
    const auto bytes = Encoded(*source, 8);
    // 2 bits: white 221 -> 11 -> complemented 00; black -> 11: 00 11 00 11.
    EXPECT_EQ(bytes[16], 0x33);
    EXPECT_EQ(bytes[16 + 8], 0xFF);  // second row
    // 4 bits: white 0xD -> 2, black -> 0xF.
    EXPECT_EQ(bytes[272 + 16], 0x2F);
    EXPECT_EQ(bytes[272 + 16 + 16], 0xFF);
    EXPECT_EQ(bytes[272 + 528 + 16], 0);
    EXPECT_EQ(bytes[272 + 528 + 17], 230);
}

TEST(PalmBitmapFamily, AThumbnailWritesItsMembersUpToThePicturesDepthPaddedToFourBytes) {
    const auto source = Grey(32, 32, 90);
    CPalmBitmapFamily family;
    family.m_source = source.get();
    family.m_maxDepth = 4;
    ASSERT_TRUE(family.Encode());
    EXPECT_EQ(family.TotalSize(), 1840u);  // the 8-bit member is built, not written
    auto bytes = Encoded(*source, 4);
    ASSERT_EQ(bytes.size(), 800u + 8);
    EXPECT_EQ(ReadHeader(&bytes[0]).next, 68);
    EXPECT_EQ(ReadHeader(&bytes[272]).next, 0);
    bytes = Encoded(*source, 2);
    ASSERT_EQ(bytes.size(), 272u + 8);
    EXPECT_EQ(ReadHeader(&bytes[0]).next, 0);

    // 4 x 3 pixels at 2 bits: rowBytes 2, 16 + 6 = 22 bytes, padded with zeros to 24.
    bytes = Encoded(*Grey(4, 3, 0), 8);
    EXPECT_EQ(ReadHeader(&bytes[0]).rowBytes, 2);
    EXPECT_EQ(ReadHeader(&bytes[0]).next, 6);
    EXPECT_EQ(bytes[22], 0);
    EXPECT_EQ(bytes[23], 0);
    EXPECT_EQ(ReadHeader(&bytes[24]).rowBytes, 2);  // 4 bits: 16 bits a row
    // 8 bits: rowBytes 4, 16 + 12 = 28 bytes: no padding needed.
    EXPECT_EQ(ReadHeader(&bytes[24 + 24]).rowBytes, 4);
}

TEST(PalmBitmapFamily, AddsItselfAsOneRecordAndRefusesBadSources) {
    const auto source = Grey(24, 24, 0);
    CPalmBitmapFamily family;
    family.m_source = source.get();
    ASSERT_TRUE(family.Encode());
    CPalmDatabase db;
    ASSERT_TRUE(family.AddAsRecord(db));
    EXPECT_EQ(db.RecordSize(0), 1056u);

    const auto odd = Grey(6, 4, 0);
    CPalmBitmapFamily refused;
    refused.m_source = odd.get();
    EXPECT_FALSE(refused.Encode());
    CPalmBitmapFamily none;
    EXPECT_FALSE(none.Encode());
    std::uint8_t area[4];
    EXPECT_FALSE(none.CopyTo(area));
}
