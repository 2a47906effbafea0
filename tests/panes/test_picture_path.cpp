#include <gtest/gtest.h>

#include "panes/picture_path.h"

namespace {

TEST(PicturePathTest, FolderPartOfMoreThanTwentyCharactersIsShortenedFromTheLeft) {
    const QString sun = QString::fromUtf8("\xf0\x9f\x8c\x9e");  // outside the basic plane
    const std::pair<QString, QString> cases[] = {
        {"/home/user/Pictures/Vacation 2001/beach.jpg", "/...tures/Vacation 2001/beach.jpg"},
        {"/abcdefghi/jklmnopq/x.jpg", "/abcdefghi/jklmnopq/x.jpg"},       // 20 characters
        {"/abcdefghij/jklmnopq/x.jpg", "/...abcdefghij/jklmnopq/x.jpg"},  // 21
        {"/x.jpg", "/x.jpg"},
        // Counted in characters, and no character is cut in two.
        {QString::fromUtf8("/Fotos \xc3\xa9t\xc3\xa9 2001/a.jpg"),
         QString::fromUtf8("/Fotos \xc3\xa9t\xc3\xa9 2001/a.jpg")},
        {"/ab" + sun + QString(18, u'x') + "/a.jpg", "/..." + sun + QString(18, u'x') + "/a.jpg"},
    };
    for (const auto& [path, shown] : cases) {
        EXPECT_EQ(ListDisplayText(path), shown) << path.toStdString();
    }
}

}  // namespace
