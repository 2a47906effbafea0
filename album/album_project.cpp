#include "album/album_project.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Arrays and objects inside each other deeper than this are refused: no album needs more than
// three levels, and the reader must not run out of stack on a hostile file.
constexpr int kDeepestNesting = 32;

struct CJsonMember;

// One JSON value, with where it began in the text for messages.
struct CJsonValue {
    enum class Kind { Null, Boolean, Number, String, Array, Object } kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<CJsonValue> items;
    std::vector<CJsonMember> members;

    // The member of that name (the last one, when a key repeats); none when absent.
    const CJsonValue* Member(std::string_view name) const;
};

// An object's member. Not a std::pair: some compilers refuse a pair holding the type that
// holds the pairs.
struct CJsonMember {
    std::string key;
    CJsonValue value;
    std::string where;  // where the key stands: "line L, column C"
};

const CJsonValue* CJsonValue::Member(std::string_view name) const {
    const CJsonValue* found = nullptr;
    for (const auto& [key, value, where] : members) {
        if (key == name) {
            found = &value;
        }
    }
    return found;
}

class CJsonReader {
public:
    explicit CJsonReader(std::string_view text) : m_text(text) {}

    // The whole text as one value; false with `error` ("line L, column C: what").
    bool Read(CJsonValue& value, std::string& error) {
        SkipBlanks();
        if (!ReadValue(value, 0)) {
            error = Where() + ": " + m_problem;
            return false;
        }
        SkipBlanks();
        if (m_at != m_text.size()) {
            error = Where() + ": garbage after the album";
            return false;
        }
        return true;
    }

private:
    bool Fail(std::string problem) {
        m_problem = std::move(problem);
        return false;
    }

    // Line and column (from 1, in characters) of the reading position.
    std::string Where() const {
        int line = 1;
        int column = 1;
        for (std::size_t i = 0; i < m_at && i < m_text.size(); ++i) {
            if (m_text[i] == '\n') {
                ++line;
                column = 1;
            } else if ((static_cast<unsigned char>(m_text[i]) & 0xC0) != 0x80) {
                ++column;
            }
        }
        return "line " + std::to_string(line) + ", column " + std::to_string(column);
    }

    void SkipBlanks() {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t' ||
                                        m_text[m_at] == '\n' || m_text[m_at] == '\r')) {
            ++m_at;
        }
    }

    bool Take(std::string_view word) {
        if (m_text.substr(m_at, word.size()) != word) {
            return false;
        }
        m_at += word.size();
        return true;
    }

    bool ReadValue(CJsonValue& value, int depth) {
        if (m_at >= m_text.size()) {
            return Fail("the text ends too early");
        }
        const char c = m_text[m_at];
        if (c == '{' || c == '[') {
            if (depth >= kDeepestNesting) {
                return Fail("nested too deeply");
            }
            return c == '{' ? ReadObject(value, depth + 1) : ReadArray(value, depth + 1);
        }
        if (c == '"') {
            value.kind = CJsonValue::Kind::String;
            return ReadString(value.text);
        }
        if (c == '-' || (c >= '0' && c <= '9')) {
            value.kind = CJsonValue::Kind::Number;
            return ReadNumber(value.number);
        }
        if (Take("true")) {
            value.kind = CJsonValue::Kind::Boolean;
            value.boolean = true;
            return true;
        }
        if (Take("false")) {
            value.kind = CJsonValue::Kind::Boolean;
            return true;
        }
        if (Take("null")) {
            value.kind = CJsonValue::Kind::Null;
            return true;
        }
        return Fail("unexpected character");
    }

    bool ReadObject(CJsonValue& value, int depth) {
        value.kind = CJsonValue::Kind::Object;
        ++m_at;  // {
        SkipBlanks();
        if (m_at < m_text.size() && m_text[m_at] == '}') {
            ++m_at;
            return true;
        }
        for (;;) {
            SkipBlanks();
            if (m_at >= m_text.size() || m_text[m_at] != '"') {
                return Fail(m_at >= m_text.size() ? "the text ends too early"
                                                  : "a name in quotes expected");
            }
            std::string key;
            const std::string where = Where();
            if (!ReadString(key)) {
                return false;
            }
            SkipBlanks();
            if (!Take(":")) {
                return Fail("':' expected");
            }
            SkipBlanks();
            CJsonValue member;
            if (!ReadValue(member, depth)) {
                return false;
            }
            value.members.push_back({std::move(key), std::move(member), where});
            SkipBlanks();
            if (Take("}")) {
                return true;
            }
            if (!Take(",")) {
                return Fail(m_at >= m_text.size() ? "the text ends too early"
                                                  : "',' or '}' expected");
            }
        }
    }

    bool ReadArray(CJsonValue& value, int depth) {
        value.kind = CJsonValue::Kind::Array;
        ++m_at;  // [
        SkipBlanks();
        if (Take("]")) {
            return true;
        }
        for (;;) {
            SkipBlanks();
            CJsonValue item;
            if (!ReadValue(item, depth)) {
                return false;
            }
            value.items.push_back(std::move(item));
            SkipBlanks();
            if (Take("]")) {
                return true;
            }
            if (!Take(",")) {
                return Fail(m_at >= m_text.size() ? "the text ends too early"
                                                  : "',' or ']' expected");
            }
        }
    }

    bool ReadHex4(std::uint32_t& unit) {
        if (m_at + 4 > m_text.size()) {
            return Fail("the text ends too early");
        }
        const char* first = m_text.data() + m_at;
        const auto [end, problem] = std::from_chars(first, first + 4, unit, 16);
        if (problem != std::errc() || end != first + 4) {
            return Fail("four hexadecimal digits expected");
        }
        m_at += 4;
        return true;
    }

    static void AppendUtf8(std::string& out, std::uint32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }

    bool ReadString(std::string& out) {
        ++m_at;  // "
        for (;;) {
            if (m_at >= m_text.size()) {
                return Fail("the text ends inside a string");
            }
            const char c = m_text[m_at];
            if (c == '"') {
                ++m_at;
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return Fail("a control character in a string");
            }
            if (c != '\\') {
                out += c;
                ++m_at;
                continue;
            }
            ++m_at;
            if (m_at >= m_text.size()) {
                return Fail("the text ends inside a string");
            }
            const char escape = m_text[m_at++];
            switch (escape) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    std::uint32_t unit = 0;
                    if (!ReadHex4(unit)) {
                        return false;
                    }
                    if (unit >= 0xD800 && unit <= 0xDBFF && Take("\\u")) {
                        std::uint32_t low = 0;
                        if (!ReadHex4(low)) {
                            return false;
                        }
                        unit = low >= 0xDC00 && low <= 0xDFFF
                                   ? 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)
                                   : 0xFFFD;
                    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
                        unit = 0xFFFD;  // half a pair
                    }
                    AppendUtf8(out, unit);
                    break;
                }
                default:
                    --m_at;
                    return Fail("an unknown escape in a string");
            }
        }
    }

    bool ReadNumber(double& out) {
        const std::size_t start = m_at;
        const auto digits = [&] {
            const std::size_t from = m_at;
            while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9') {
                ++m_at;
            }
            return m_at > from;
        };
        Take("-");
        if (!Take("0") && !digits()) {
            return Fail("a number expected");
        }
        if (Take(".") && !digits()) {
            return Fail("digits expected after the decimal point");
        }
        if (Take("e") || Take("E")) {
            if (!Take("+")) {
                Take("-");
            }
            if (!digits()) {
                return Fail("digits expected in the exponent");
            }
        }
        const char* first = m_text.data() + start;
        const auto [end, problem] = std::from_chars(first, m_text.data() + m_at, out);
        if (problem != std::errc() || !std::isfinite(out)) {
            m_at = start;
            return Fail("a number out of range");
        }
        return true;
    }

    std::string_view m_text;
    std::size_t m_at = 0;
    std::string m_problem;
};

// A key as messages name it: in quotes.
std::string KeyName(const char* key) {
    std::string name = "\"";
    name += key;
    name += '"';
    return name;
}

std::size_t Characters(const std::string& text) {
    std::size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

// The readers of the album's values: each refuses with a message naming the key.
class CProjectReader {
public:
    CProjectReader(const fs::path& folder, std::string& error) : m_folder(folder), m_error(error) {}

    bool Fail(const std::string& where, std::string what) {
        m_error = where + std::move(what);
        return false;
    }

    static bool WholeNumber(const CJsonValue& value, int& out) {
        if (value.kind != CJsonValue::Kind::Number || value.number != std::floor(value.number) ||
            value.number < -2147483648.0 || value.number > 2147483647.0) {
            return false;
        }
        out = static_cast<int>(value.number);
        return true;
    }

    static bool Pair(const CJsonValue* value, int& a, int& b) {
        return value->kind == CJsonValue::Kind::Array && value->items.size() == 2 &&
               WholeNumber(value->items[0], a) && WholeNumber(value->items[1], b);
    }

    bool Text(const CJsonValue& object, const char* key, std::string& out,
              const std::string& where) {
        const CJsonValue* value = object.Member(key);
        if (value == nullptr) {
            return true;
        }
        if (value->kind != CJsonValue::Kind::String) {
            return Fail(where, KeyName(key) + " must be a string");
        }
        const std::size_t longest =
            std::string_view(key) == "note" ? kLongestNoteText : kLongestTitleText;
        if (Characters(value->text) > longest) {
            return Fail(
                where, KeyName(key) + " is longer than " + std::to_string(longest) + " characters");
        }
        out = value->text;
        return true;
    }

    // A misspelt key would be passed over and its value lost: any key not known is refused.
    bool KnownKeys(const CJsonValue& object, std::initializer_list<std::string_view> known,
                   const std::string& where) {
        for (const CJsonMember& member : object.members) {
            if (std::find(known.begin(), known.end(), member.key) == known.end()) {
                return Fail(where,
                            "unknown key " + KeyName(member.key.c_str()) + " at " + member.where);
            }
        }
        return true;
    }

    bool Flag(const CJsonValue& object, const char* key, std::uint8_t& out,
              const std::string& where) {
        const CJsonValue* value = object.Member(key);
        if (value == nullptr) {
            return true;
        }
        if (value->kind != CJsonValue::Kind::Boolean) {
            return Fail(where, KeyName(key) + " must be true or false");
        }
        out = value->boolean ? 1 : 0;
        return true;
    }

    bool Slider(const CJsonValue& object, const char* key, std::int16_t& out,
                const std::string& where) {
        const CJsonValue* value = object.Member(key);
        int number = 0;
        if (value == nullptr) {
            return true;
        }
        if (!WholeNumber(*value, number) || number < kSliderMin || number > kSliderMax) {
            return Fail(where, KeyName(key) + " is out of range (" + std::to_string(kSliderMin) +
                                   " to " + std::to_string(kSliderMax) + ")");
        }
        out = static_cast<std::int16_t>(number);
        return true;
    }

    std::string Resolve(const std::string& path) const {
        return (m_folder / fs::path(path)).lexically_normal().string();
    }

    bool Picture(const CJsonValue& value, const std::string& where, CAlbumImage& entry) {
        if (value.kind != CJsonValue::Kind::Object) {
            return Fail(where, "must be a JSON object");
        }
        if (!KnownKeys(value,
                       {"path", "title", "note", "depth", "brightness", "contrast", "dither",
                        "crop", "limit", "offset"},
                       where)) {
            return false;
        }
        const CJsonValue* path = value.Member("path");
        if (path == nullptr || path->kind != CJsonValue::Kind::String || path->text.empty()) {
            return Fail(where, "\"path\" must be a file name");
        }
        entry.m_sourcePath = Resolve(path->text);
        entry.m_title = PictureTitle(entry.m_sourcePath);
        if (!Text(value, "title", entry.m_title, where) ||
            !Text(value, "note", entry.m_note, where) ||
            !Slider(value, "brightness", entry.m_brightness, where) ||
            !Slider(value, "contrast", entry.m_contrast, where) ||
            !Flag(value, "dither", entry.m_dither, where) ||
            !Flag(value, "crop", entry.m_crop, where)) {
            return false;
        }
        int a = 0;
        int b = 0;
        if (const CJsonValue* depth = value.Member("depth")) {
            if (!WholeNumber(*depth, a) || !IsStoredDepth(a)) {
                return Fail(where, "\"depth\" is out of range (4, 8 or 16)");
            }
            entry.m_colorDepth = static_cast<std::uint8_t>(a);
        }
        if (const CJsonValue* limit = value.Member("limit")) {
            if (!Pair(limit, a, b) || !IsValidSizeLimit(a, b)) {
                return Fail(where, "\"limit\" is out of range (" + std::to_string(kMinLimitWidth) +
                                       ".." + std::to_string(kMaxLimitWidth) + " x " +
                                       std::to_string(kMinLimitHeight) + ".." +
                                       std::to_string(kMaxLimitHeight) + ")");
            }
            entry.m_sizeLimitWidth = static_cast<std::int16_t>(a);
            entry.m_sizeLimitHeight = static_cast<std::int16_t>(b);
        }
        if (const CJsonValue* offset = value.Member("offset")) {
            if (!Pair(offset, a, b) || a < 0 || b < 0) {
                return Fail(where, "\"offset\" must be two numbers of 0 or more");
            }
            entry.m_horizontalOffset = a;
            entry.m_verticalOffset = b;
        }
        return true;
    }

    bool Album(const CJsonValue& document, CAlbum& album) {
        if (document.kind != CJsonValue::Kind::Object) {
            return Fail({}, "the album must be a JSON object");
        }
        if (!KnownKeys(document, {"title", "note", "pictures", "icon"}, {})) {
            return false;
        }
        std::string title = album.Title();
        std::string note;
        if (!Text(document, "title", title, {}) || !Text(document, "note", note, {})) {
            return false;
        }
        album.SetTitle(title);
        album.SetNote(note);
        const CJsonValue* pictures = document.Member("pictures");
        if (pictures != nullptr && pictures->kind != CJsonValue::Kind::Array) {
            return Fail({}, "\"pictures\" must be an array");
        }
        const std::size_t count = pictures != nullptr ? pictures->items.size() : 0;
        if (count > kMaxPictures) {
            return Fail({}, std::to_string(count) + " pictures; an album holds at most " +
                                std::to_string(kMaxPictures));
        }
        for (std::size_t i = 0; i < count; ++i) {
            auto entry = std::make_unique<CAlbumImage>();
            if (!Picture(pictures->items[i], "picture " + std::to_string(i + 1) + ": ", *entry)) {
                return false;
            }
            (void)album.Append(std::move(entry));
        }
        return Icon(document.Member("icon"), album);
    }

    bool Icon(const CJsonValue* icon, CAlbum& album) {
        int index = 0;
        if (icon != nullptr && icon->kind == CJsonValue::Kind::Null) {
            return true;  // a black icon
        }
        if (icon != nullptr && icon->kind == CJsonValue::Kind::String && !icon->text.empty()) {
            album.SetIconSource(Resolve(icon->text));
            return true;
        }
        if (icon != nullptr && !WholeNumber(*icon, index)) {
            return Fail({}, "\"icon\" must be a picture index, a picture file or null");
        }
        if (album.IsEmpty()) {
            return true;
        }
        if (index < 0 || static_cast<std::size_t>(index) >= album.Count()) {
            return Fail({}, "\"icon\" " + std::to_string(index) + " names no picture (0 to " +
                                std::to_string(album.Count() - 1) + ")");
        }
        album.SetIconSource(album.At(static_cast<std::size_t>(index))->m_sourcePath);
        return true;
    }

private:
    fs::path m_folder;
    std::string& m_error;
};

// Text as a JSON string, quotes included.
std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x",
                                  static_cast<unsigned char>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + '"';
}

std::string RelativePath(const std::string& path, const fs::path& folder) {
    const fs::path relative = fs::path(path).lexically_relative(folder);
    return relative.empty() ? path : relative.generic_string();
}

}  // namespace

bool ReadAlbumProject(std::string_view text, const std::string& folder, CAlbum& album,
                      std::string& error) {
    album.Clear();
    // A byte-order mark some editors put first is no part of the JSON.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        text.remove_prefix(kByteOrderMark.size());
    }
    if (text.size() > kLargestAlbumProject) {
        error = "larger than an album project may be (" +
                std::to_string(kLargestAlbumProject >> 20) + " MB)";
        return false;
    }
    CJsonValue document;
    CJsonReader reader(text);
    std::string where;
    if (!reader.Read(document, where)) {
        error = "malformed JSON at " + where;
        return false;
    }
    CProjectReader project(fs::path(folder), error);
    if (!project.Album(document, album)) {
        album.Clear();
        return false;
    }
    return true;
}

std::string WriteAlbumProject(const CAlbum& album, const std::string& folder) {
    const fs::path base(folder);
    std::string icon = "null";
    if (!album.IconSource().empty()) {
        icon = Quoted(RelativePath(album.IconSource(), base));
        for (std::size_t i = 0; i < album.Count(); ++i) {
            if (album.At(i)->m_sourcePath == album.IconSource()) {
                icon = std::to_string(i);
                break;
            }
        }
    }
    std::string out = "{\n  \"title\": " + Quoted(album.Title()) +
                      ",\n  \"note\": " + Quoted(album.Note()) + ",\n  \"icon\": " + icon +
                      ",\n  \"pictures\": [";
    for (std::size_t i = 0; i < album.Count(); ++i) {
        const CAlbumImage& e = *album.At(i);
        const auto number = [](int value) { return std::to_string(value); };
        out += (i == 0 ? "\n" : ",\n");
        out += "    {\"path\": " + Quoted(RelativePath(e.m_sourcePath, base)) +
               ", \"title\": " + Quoted(e.m_title) + ", \"note\": " + Quoted(e.m_note) +
               ",\n     \"depth\": " + number(e.m_colorDepth) +
               ", \"brightness\": " + number(e.m_brightness) +
               ", \"contrast\": " + number(e.m_contrast) +
               ", \"dither\": " + (e.m_dither != 0 ? "true" : "false") +
               ", \"crop\": " + (e.m_crop != 0 ? "true" : "false") + ",\n     \"limit\": [" +
               number(e.m_sizeLimitWidth) + ", " + number(e.m_sizeLimitHeight) +
               "], \"offset\": [" + number(e.m_horizontalOffset) + ", " +
               number(e.m_verticalOffset) + "]}";
    }
    out += album.IsEmpty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}
