#include <gtest/gtest.h>

#include "app/picture_path.h"

namespace {

TEST(PicturePathTest, JpegGifAndBitmapExtensionsInAnyCaseAreTaken) {
    for (const char* path :
         {"/a/b.jpg", "/a/b.JPG", "/a/b.Jpeg", "/a/b.bmp", "/a/b.GIF", "/a/.jpg"}) {
        EXPECT_TRUE(IsAcceptedPicture(QString::fromLatin1(path))) << path;
    }
    for (const char* path :
         {"/a/b.jpe", "/a/b.tif", "/a/b", "/a.jpg/b", "/a/b.jpg.bak", "/a/b.png", "/a/b."}) {
        EXPECT_FALSE(IsAcceptedPicture(QString::fromLatin1(path))) << path;
    }
}

TEST(PicturePathTest, TitleIsTheFileNameWithoutItsLastExtension) {
    EXPECT_EQ(PictureTitle("/home/user/Beach.Day.JPG"), "Beach.Day");
    EXPECT_EQ(PictureTitle("/home/user.d/photo"), "photo");
    EXPECT_EQ(PictureTitle("relative.gif"), "relative");
    EXPECT_EQ(PathExtension("/home/user.d/photo"), "");
}

TEST(PicturePathTest, FolderPartOfMoreThanTwentyCharactersIsShortenedFromTheLeft) {
    EXPECT_EQ(ListDisplayText("/home/user/Pictures/Vacation 2001/beach.jpg"),
              "/...tures/Vacation 2001/beach.jpg");
    // The folder part "/abcdefghi/jklmnopq/" has exactly 20 characters.
    EXPECT_EQ(ListDisplayText("/abcdefghi/jklmnopq/x.jpg"), "/abcdefghi/jklmnopq/x.jpg");
    EXPECT_EQ(ListDisplayText("/abcdefghij/jklmnopq/x.jpg"), "/...abcdefghij/jklmnopq/x.jpg");
    EXPECT_EQ(ListDisplayText("/x.jpg"), "/x.jpg");
}

TEST(PicturePathTest, FolderIsCountedInCharactersAndNoCharacterIsCut) {
    // 18 characters, two of them accented: listed in full.
    const QString accented = QString::fromUtf8("/Fotos \xc3\xa9t\xc3\xa9 2001/");
    EXPECT_EQ(ListDisplayText(accented + "a.jpg"), accented + "a.jpg");
    // 23 characters whose last 20 begin with a character outside the basic plane.
    const QString sun = QString::fromUtf8("\xf0\x9f\x8c\x9e");
    const QString tail = sun + QString(18, u'x') + "/";
    EXPECT_EQ(ListDisplayText("/ab" + tail + "a.jpg"), "/..." + tail + "a.jpg");
}

}  // namespace
