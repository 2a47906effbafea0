#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "imaging/picture_formats.h"

namespace {

// The types a desktop entry's MimeType line lists.
std::set<std::string> EntryTypes(const std::string& path) {
    std::ifstream file(path);
    std::set<std::string> types;
    for (std::string line; std::getline(file, line);) {
        if (line.rfind("MimeType=", 0) == 0) {
            std::istringstream list(line.substr(9));
            for (std::string type; std::getline(list, type, ';');) {
                EXPECT_TRUE(types.insert(type).second) << type << " listed twice";
            }
        }
    }
    return types;
}

}  // namespace

TEST(PictureFormats, TheDesktopEntryOffersExactlyThePicturesTheProgramsReadAndAlbumFiles) {
    std::set<std::string> expected = {"application/vnd.palm"};
    for (const CPictureFormat& format : kPictureFormats) {
        for (const std::string_view type : format.mimeTypes) {
            if (!type.empty()) {
                expected.emplace(type);
            }
        }
    }
    EXPECT_EQ(EntryTypes(std::string(TAVELO_SAMPLES_DIR) + "/../res/com.lumivale.Tavelo.desktop"),
              expected);
}
