#include <gtest/gtest.h>

#include <vector>

#include "album/palm_bitmap.h"
#include "album/palm_database.h"
#include "res/core/resource_table.h"

namespace {

void Fill(CDib& dib, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    for (int y = 0; y < dib.Height(); ++y) {
        for (int x = 0; x < dib.Width(); ++x) {
            dib.Row(y)[3 * x] = b;
            dib.Row(y)[3 * x + 1] = g;
            dib.Row(y)[3 * x + 2] = r;
        }
    }
}

struct Header {
    int width, height, rowBytes, flags, pixelSize, version, next, transparent, compression;
};

Header ReadHeader(const std::uint8_t* p) {
    return {LoadBigEndian16(p),     LoadBigEndian16(p + 2), LoadBigEndian16(p + 4),
            LoadBigEndian16(p + 6), p[8],                   p[9],
            LoadBigEndian16(p + 10), p[12],                 p[13]};
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

}  // namespace

TEST(SystemPalette, HoldsTheHandheldColoursAtTheNamedEntries) {
    const CResourceData resource = FindResource("PALETTE", 130);
    ASSERT_EQ(resource.size, 768u);
    auto rgb = [&](int i) {
        return (resource.data[3 * i] << 16) | (resource.data[3 * i + 1] << 8) | resource.data[3 * i + 2];
    };
    EXPECT_EQ(rgb(0), 0xFFFFFF);
    EXPECT_EQ(rgb(1), 0xFFCCFF);
    EXPECT_EQ(rgb(6), 0xFFFFCC);
    EXPECT_EQ(rgb(18), 0xCCFFFF);
    EXPECT_EQ(rgb(108), 0xFFFF66);
    EXPECT_EQ(rgb(125), 0xFF0000);
    EXPECT_EQ(rgb(214), 0x003300);
    EXPECT_EQ(rgb(215), 0x111111);
    EXPECT_EQ(rgb(224), 0xEEEEEE);
    EXPECT_EQ(rgb(225), 0xC0C0C0);
    EXPECT_EQ(rgb(226), 0x800000);
    EXPECT_EQ(rgb(229), 0x008080);
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
}

TEST(SystemPalette, LoadsFromTheResourceOnly) {
    CSystemPalette palette;
    ASSERT_TRUE(palette.LoadFromResource(130));
    EXPECT_EQ(palette.Count(), 256);
    EXPECT_EQ(palette.FindNearest(0, 0, 0), 230);  // the first black entry wins
    EXPECT_EQ(palette.FindNearest(255, 0, 0), 125);
    CSystemPalette missing;
    EXPECT_FALSE(missing.LoadFromResource(999));
    EXPECT_FALSE(missing.SetFromLogPalette(CLogPalette{}));
}

TEST(PalmBitmapFamily, AlbumIconOfWhiteIsLightGreyAtEveryDepthWithChainedHeaders) {
    CDib white;
    ASSERT_TRUE(white.Create(24, 24, 24));
    Fill(white, 255, 255, 255);
    const auto bytes = Encoded(white, 8);
    ASSERT_EQ(bytes.size(), 1056u + 8);

    const Header h2 = ReadHeader(&bytes[0]);
    EXPECT_EQ(h2.width, 24);
    EXPECT_EQ(h2.height, 24);
    EXPECT_EQ(h2.rowBytes, 6);
    EXPECT_EQ(h2.flags, 0);
    EXPECT_EQ(h2.pixelSize, 2);
    EXPECT_EQ(h2.version, 1);
    EXPECT_EQ(h2.next, 40);
    const Header h4 = ReadHeader(&bytes[160]);
    EXPECT_EQ(h4.rowBytes, 12);
    EXPECT_EQ(h4.pixelSize, 4);
    EXPECT_EQ(h4.version, 1);
    EXPECT_EQ(h4.next, 76);
    const Header h8 = ReadHeader(&bytes[464]);
    EXPECT_EQ(h8.rowBytes, 24);
    EXPECT_EQ(h8.pixelSize, 8);
    EXPECT_EQ(h8.version, 2);
    EXPECT_EQ(h8.next, 0);
    EXPECT_EQ(h8.transparent, 0);
    EXPECT_EQ(h8.compression, 0);

    for (int i = 16; i < 160; ++i) {
        ASSERT_EQ(bytes[i], 0x00) << i;  // grey 221 at 2 bits: complement of 0xFF
    }
    for (int i = 176; i < 464; ++i) {
        ASSERT_EQ(bytes[i], 0x22) << i;  // complement of 0xDD: the second-lightest grey
    }
    for (int i = 480; i < 1056; ++i) {
        ASSERT_EQ(bytes[i], 0) << i;  // palette entry 0 is white
    }
    EXPECT_EQ(bytes[1056], 0xEE);  // nothing written past the family
}

TEST(PalmBitmapFamily, BlackEncodesAsTheDarkestValues) {
    CDib black;
    ASSERT_TRUE(black.Create(24, 24, 24));
    const auto bytes = Encoded(black, 8);
    EXPECT_EQ(bytes[16], 0xFF);
    EXPECT_EQ(bytes[159], 0xFF);
    EXPECT_EQ(bytes[176], 0xFF);
    EXPECT_EQ(bytes[480], 230);
    EXPECT_EQ(bytes[1055], 230);
}

TEST(PalmBitmapFamily, PacksPixelsLeftmostHighAndRowsTopFirst) {
    // Top row: white, black, white, black ...; other rows black.
    CDib source;
    ASSERT_TRUE(source.Create(32, 32, 24));
    for (int x = 0; x < 32; x += 2) {
        std::uint8_t* p = source.Row(31) + 3 * x;  // storage row 31 is the top row
        p[0] = p[1] = p[2] = 255;
    }
    const auto bytes = Encoded(source, 8);
    // 2 bits: white 221 -> 11 -> complemented 00; black -> 11: 00 11 00 11.
    EXPECT_EQ(bytes[16], 0x33);
    EXPECT_EQ(bytes[16 + 8], 0xFF);  // second row
    // 4 bits: white 0xD -> 2, black -> 0xF.
    EXPECT_EQ(bytes[272 + 16], 0x2F);
    EXPECT_EQ(bytes[272 + 16 + 16], 0xFF);
    EXPECT_EQ(bytes[272 + 528 + 16], 0);
    EXPECT_EQ(bytes[272 + 528 + 17], 230);
}

TEST(PalmBitmapFamily, ThumbnailOfAFourBitPictureHoldsTwoMembers) {
    CDib source;
    ASSERT_TRUE(source.Create(32, 32, 24));
    Fill(source, 10, 200, 30);
    CPalmBitmapFamily family;
    family.m_source = &source;
    family.m_maxDepth = 4;
    ASSERT_TRUE(family.Encode());
    EXPECT_EQ(family.WrittenSize(), 800u);
    EXPECT_EQ(family.TotalSize(), 1840u);  // the 8-bit member is built, not written
    std::vector<std::uint8_t> bytes(800);
    ASSERT_TRUE(family.CopyTo(bytes.data()));
    EXPECT_EQ(ReadHeader(&bytes[0]).next, 68);
    EXPECT_EQ(ReadHeader(&bytes[272]).next, 0);

    CPalmBitmapFamily two;
    two.m_source = &source;
    two.m_maxDepth = 2;
    ASSERT_TRUE(two.Encode());
    EXPECT_EQ(two.WrittenSize(), 272u);
    std::vector<std::uint8_t> only(272);
    ASSERT_TRUE(two.CopyTo(only.data()));
    EXPECT_EQ(ReadHeader(&only[0]).next, 0);
}

TEST(PalmBitmapFamily, PadsEachMemberWithZerosToFourBytes) {
    // 4 x 3 pixels at 2 bits: rowBytes 2, 16 + 6 = 22 bytes, padded to 24.
    CDib source;
    ASSERT_TRUE(source.Create(4, 3, 24));
    const auto bytes = Encoded(source, 8);
    const Header h2 = ReadHeader(&bytes[0]);
    EXPECT_EQ(h2.rowBytes, 2);
    EXPECT_EQ(h2.next, 6);
    EXPECT_EQ(bytes[22], 0);
    EXPECT_EQ(bytes[23], 0);
    EXPECT_EQ(ReadHeader(&bytes[24]).rowBytes, 2);  // 4 bits: 16 bits a row
    // 8 bits: rowBytes 4, 16 + 12 = 28 bytes: no padding needed.
    EXPECT_EQ(ReadHeader(&bytes[24 + 24]).rowBytes, 4);
}

TEST(PalmBitmapFamily, AddsItselfAsOneRecordAndRefusesBadSources) {
    CDib source;
    ASSERT_TRUE(source.Create(24, 24, 24));
    CPalmBitmapFamily family;
    family.m_source = &source;
    ASSERT_TRUE(family.Encode());
    CPalmDatabase db;
    ASSERT_TRUE(family.AddAsRecord(db));
    EXPECT_EQ(db.RecordSize(0), 1056u);

    CDib odd;
    ASSERT_TRUE(odd.Create(6, 4, 24));
    CPalmBitmapFamily refused;
    refused.m_source = &odd;
    EXPECT_FALSE(refused.Encode());
    CPalmBitmapFamily none;
    EXPECT_FALSE(none.Encode());
    std::uint8_t area[4];
    EXPECT_FALSE(none.CopyTo(area));
}
