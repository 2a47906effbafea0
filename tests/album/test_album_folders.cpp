#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "album/album.h"
#include "support/temp_dir.h"

TEST(AlbumOrder, MovingAnEntryClosesUpTheOthersEitherWay) {
    CAlbum album;
    for (const char* name : {"a", "b", "c", "d"}) {
        album.Append(std::make_unique<CAlbumImage>())->m_title = name;
    }
    const auto order = [&album] {
        std::string titles;
        for (std::size_t i = 0; i < album.Count(); ++i) {
            titles += album.At(i)->m_title;
        }
        return titles;
    };
    const CAlbumImage* moved = album.At(2);
    EXPECT_TRUE(album.Move(2, 0));
    EXPECT_EQ(order(), "cabd");
    EXPECT_EQ(album.At(0), moved);  // the entry itself moves, so whoever shows it still does
    EXPECT_TRUE(album.Move(0, 3));
    EXPECT_EQ(order(), "abdc");
    EXPECT_FALSE(album.Move(1, 4));
    EXPECT_EQ(order(), "abdc");
}

TEST(AlbumOrder, NamesSortAsPeopleCount) {
    std::vector<std::string> names = {
        "img10.jpg", "IMG2.jpg", "img1.jpg", "img02b.jpg", "img2a.jpg",
        "b.jpg",     "A.jpg",    "a1.jpg",   "a01.jpg",    "img999999999999999999999.jpg"};
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
    EXPECT_EQ(names, (std::vector<std::string>{"A.jpg", "a01.jpg", "a1.jpg", "b.jpg", "img1.jpg",
                                               "IMG2.jpg", "img2a.jpg", "img02b.jpg", "img10.jpg",
                                               "img999999999999999999999.jpg"}));
}

TEST(AlbumOrder, AFolderGivesItsPicturesInOrderAndCountsTheRest) {
    TempDir dir;
    for (const char* name : {"p10.jpg", "p9.GIF", "p1.bmp", "notes.txt", "p2.jpeg", "raw.tif"}) {
        WriteAll(dir.File(name), "x");
    }
    std::filesystem::create_directories(dir.path() / "deeper");
    WriteAll(dir.File("deeper/p3.jpg"), "x");
    const CFolderPictures flat = ListFolderPictures(dir.path().string(), false);
    std::vector<std::string> names;
    for (const std::string& path : flat.pictures) {
        names.push_back(std::filesystem::path(path).lexically_relative(dir.path()).string());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"p1.bmp", "p2.jpeg", "p9.GIF", "p10.jpg"}));
    EXPECT_EQ(flat.otherFiles, 2u);
    const CFolderPictures deep = ListFolderPictures(dir.path().string(), true);
    EXPECT_EQ(deep.pictures.size(), 5u);
    EXPECT_EQ(deep.pictures.front(), dir.File("deeper/p3.jpg"));
}
