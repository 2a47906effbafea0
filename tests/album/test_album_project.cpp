#include <gtest/gtest.h>

#include "album/album_project.h"

namespace {

std::vector<std::string> Fields(const CAlbum& album) {
    std::vector<std::string> fields = {album.Title(), album.Note(), album.IconSource()};
    for (std::size_t i = 0; i < album.Count(); ++i) {
        const CAlbumImage& e = *album.At(i);
        fields.push_back(e.m_sourcePath + "|" + e.m_title + "|" + e.m_note + "|" +
                         std::to_string(e.m_colorDepth) + "|" + std::to_string(e.m_brightness) +
                         "|" + std::to_string(e.m_contrast) + "|" + std::to_string(e.m_dither) +
                         "|" + std::to_string(e.m_crop) + "|" + std::to_string(e.m_sizeLimitWidth) +
                         "x" + std::to_string(e.m_sizeLimitHeight) + "|" +
                         std::to_string(e.m_horizontalOffset) + "," +
                         std::to_string(e.m_verticalOffset));
    }
    return fields;
}

}  // namespace

TEST(AlbumProject, WritesEverySettingAndReadsItBackWithPathsRelativeToTheProject) {
    CAlbum album;
    album.SetTitle("Caf\xC3\xA9 \"Trip\"");
    // Bytes that are not UTF-8 (a Latin-1 file name) come back as they were.
    album.SetNote("Day 1\n\tback\\slash \xFF\xF4\x8F\xBE\x81");
    const char* const paths[] = {"/home/ann/trip/beach.jpg", "/home/ann/trip/day 2/hill.gif",
                                 "/home/ann/other/caf\xE9.bmp"};
    for (int i = 0; i < 3; ++i) {
        auto entry = std::make_unique<CAlbumImage>();
        entry->m_sourcePath = paths[i];
        entry->m_title = std::string("t") + char('0' + i);
        entry->m_note = i == 1 ? "a\x01"
                                 "b"
                               : "";
        entry->m_colorDepth = kStoredDepths[static_cast<std::size_t>(i)];
        entry->m_brightness = static_cast<std::int16_t>(10 * i);
        entry->m_contrast = static_cast<std::int16_t>(255 - i);
        entry->m_dither = static_cast<std::uint8_t>(i % 2);
        entry->m_crop = static_cast<std::uint8_t>(i != 1);
        entry->m_sizeLimitWidth = static_cast<std::int16_t>(160 + 160 * i);
        entry->m_sizeLimitHeight = 240;
        entry->m_horizontalOffset = 5 * i;
        entry->m_verticalOffset = 7;
        album.Append(std::move(entry));
    }
    for (const std::string& icon :
         {std::string(paths[1]), std::string("/home/ann/elsewhere.jpg"), std::string()}) {
        album.SetIconSource(icon);
        const std::string text = WriteAlbumProject(album, "/home/ann/trip");
        EXPECT_NE(text.find("\"path\": \"day 2/hill.gif\""), std::string::npos) << text;
        EXPECT_NE(text.find("\"path\": \"../other/caf\xE9.bmp\""), std::string::npos) << text;
        CAlbum read;
        std::string error;
        ASSERT_TRUE(ReadAlbumProject(text, "/home/ann/trip", read, error)) << error << text;
        EXPECT_EQ(Fields(read), Fields(album));
    }
}

TEST(AlbumProject, DefaultsAndEscapesAndEveryRefusalWithWhereItIs) {
    CAlbum album;
    std::string error;
    // A byte-order mark first is skipped; texts at the longest are kept, counted in characters.
    const std::string longest = std::string(254, 'a') + "\xC3\xA9";
    ASSERT_TRUE(
        ReadAlbumProject("\xEF\xBB\xBF{\"title\": \"" + longest + "\"}", "/f", album, error))
        << error;
    EXPECT_EQ(album.Title(), longest);
    ASSERT_TRUE(ReadAlbumProject(
        R"({"pictures": [{"path": "a/b.JPG", "note": "\u00e9\ud83d\ude00\u0041"}]})", "/f", album,
        error))
        << error;
    EXPECT_EQ(album.Title(), "untitled");
    EXPECT_EQ(album.IconSource(), "/f/a/b.JPG");
    EXPECT_EQ(album.At(0)->m_title, "b");
    EXPECT_EQ(album.At(0)->m_note,
              "\xC3\xA9\xF0\x9F\x98\x80"
              "A");
    EXPECT_EQ(album.At(0)->m_sizeLimitWidth, 160);

    std::string tooMany = R"({"pictures": [)";
    for (int i = 0; i < 1001; ++i) {
        tooMany += "{},";
    }
    tooMany += "oops";
    const std::pair<std::string, std::string> refused[] = {
        {"{\n  \"title\": \"x\",\n  \"pictures\": [ oops ]\n}",
         "malformed JSON at line 3, column 17"},
        {R"({"title": 5 5})", "malformed JSON at line 1, column 13"},
        {"{\"title\": \"a\nb\"}", "control character"},
        {R"({"title": "\q"})", "unknown escape"},
        {R"({"title": "open)", "ends inside a string"},
        {std::string(100, '[') + std::string(100, ']'), "nested too deeply"},
        {"[]", "the album must be a JSON object"},
        {R"({"pictures": {}})", "\"pictures\" must be an array"},
        {R"({"pictures": [{"path": ""}]})", "picture 1: \"path\" must be a file name"},
        {R"({"pictures": [{"path": "a.jpg", "depth": 5}]})",
         "\"depth\" is out of range (4, 8 or 16)"},
        {R"({"pictures": [{"path": "a.jpg", "contrast": 1.5}]})", "\"contrast\" is out of range"},
        {R"({"pictures": [{"path": "a.jpg", "limit": [160, 1025]}]})", "\"limit\" is out of range"},
        {R"({"pictures": [{"path": "a.jpg", "offset": [-1, 0]}]})",
         "\"offset\" must be two numbers"},
        {R"({"pictures": [{"path": "a.jpg", "offset": [0, -1]}]})",
         "\"offset\" must be two numbers"},
        {R"({"pictures": [{"path": "a.jpg", "dither": 1}]})", "\"dither\" must be true or false"},
        {R"({"icon": 1, "pictures": [{"path": "a.jpg"}]})", "\"icon\" 1 names no picture (0 to 0)"},
        {R"({"note": 1e999})", "number out of range"},
        {R"({"title": "x"} {})", "malformed JSON at line 1, column 16: garbage after the album"},
        {R"({"pictures": [{"path": "a.jpg", "crop": true, "crop": false}]})",
         "picture 1: duplicate key \"crop\" at line 1, column 47"},
        {"{\"title\": \"Trip\",\n \"Pictures\": []}",
         "unknown key \"Pictures\" at line 2, column 2"},
        {R"({"pictures": [{"path": "a.jpg", "dpeth": 4}]})",
         "picture 1: unknown key \"dpeth\" at line 1"},
        {"{\"title\": \"" + std::string(256, 'a') + "\"}",
         "\"title\" is longer than 255 characters"},
        {R"({"pictures": [{"path": "a.jpg", "note": ")" + std::string(4097, 'n') + "\"}]}",
         "picture 1: \"note\" is longer than 4096 characters"},
        {"{\"note\": \"" + std::string(17u << 20, ' ') + "\"}",
         "larger than an album project may be (16 MB)"},
        // Refused at the picture past the most, before the broken rest is read.
        {tooMany, "1001 pictures or more; an album holds at most 1000"},
    };
    for (const auto& [text, message] : refused) {
        EXPECT_FALSE(ReadAlbumProject(text, "/f", album, error)) << text;
        EXPECT_NE(error.find(message), std::string::npos) << text << " gave " << error;
        EXPECT_TRUE(album.IsEmpty());
    }
}
