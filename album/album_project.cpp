#include "album/album_project.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

// Arrays and objects inside each other deeper than this are refused: no album needs more than
// three levels, and a hostile file must not make a document that deep.
constexpr std::size_t kDeepestNesting = 32;

constexpr std::string_view kAlbumKeys[] = {"title", "note", "pictures", "icon"};
constexpr std::string_view kPictureKeys[] = {"path",     "title",  "note", "depth", "brightness",
                                             "contrast", "dither", "crop", "limit", "offset"};

// The library reads UTF-8 only, but paths are the system's bytes and projects hold them as they
// are. Each byte that is not part of UTF-8 goes through the library as one character of the last
// private-use range (U+10FF80 + the byte's low seven bits) and is put back in the strings read;
// a character of that range already in such a text goes through as its four bytes the same way.

// The length of the UTF-8 sequence `text` starts with; 0 when it starts with none.
std::size_t SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    std::size_t length = 0;
    unsigned char low = 0x80;  // the range of the second byte
    unsigned char high = 0xBF;
    if (byte(0) < 0x80) {
        return 1;
    } else if (byte(0) >= 0xC2 && byte(0) <= 0xDF) {
        length = 2;
    } else if (byte(0) >= 0xE0 && byte(0) <= 0xEF) {
        length = 3;
        low = byte(0) == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = byte(0) == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (byte(0) >= 0xF0 && byte(0) <= 0xF4) {
        length = 4;
        low = byte(0) == 0xF0 ? 0x90 : 0x80;
        high = byte(0) == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
    }
    if (length == 0 || text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

bool IsByteCharacter(std::string_view text) {
    return text.size() >= 4 && text[0] == '\xF4' && text[1] == '\x8F' &&
           static_cast<unsigned char>(text[2]) >= 0xBE;
}

// The text with its stray bytes as characters; false, leaving `out` alone, when it has none.
bool EncodeStrayBytes(std::string_view text, std::string& out) {
    std::size_t copied = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = SequenceLength(text.substr(at));
        if (length != 0 && !IsByteCharacter(text.substr(at))) {
            at += length;
            continue;
        }
        out.append(text.substr(copied, at - copied));
        for (const char c : text.substr(at, std::max<std::size_t>(length, 1))) {
            const auto b = static_cast<unsigned char>(c);
            out += "\xF4\x8F";
            out += static_cast<char>(0xBC | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
        at += std::max<std::size_t>(length, 1);
        copied = at;
    }
    if (copied == 0) {
        return false;
    }
    out.append(text.substr(copied));
    return true;
}

void DecodeStrayBytes(std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (IsByteCharacter(std::string_view(text).substr(at))) {
            out += static_cast<char>(0x80 | ((text[at + 2] & 1) << 6) | (text[at + 3] & 0x3F));
            at += 3;
        } else {
            out += text[at];
        }
    }
    text = std::move(out);
}

// "line L, column C" (from 1, columns in characters) of the byte at `offset`.
std::string Where(std::string_view text, std::size_t offset) {
    int line = 1;
    int column = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// A key as messages name it: in quotes.
std::string KeyName(std::string_view key) {
    return '"' + std::string(key) + '"';
}

// Hands the text to the library byte by byte and keeps how far it got: the library's events
// say nothing of where they happen.
class CTrackedByte {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CTrackedByte(const char* at, const char** read) : m_at(at), m_read(read) {}
    reference operator*() const { return *m_at; }
    CTrackedByte& operator++() {
        *m_read = ++m_at;
        return *this;
    }
    bool operator==(const CTrackedByte& other) const { return m_at == other.m_at; }

private:
    const char* m_at;
    const char** m_read;
};

// Builds the document from the library's events, and refuses on the way what the library lets
// by: a key twice in one object, a key that neither the album nor a picture has, and nesting
// too deep. Malformed JSON is said in this program's words, with where it is.
class CProjectSax {
public:
    CProjectSax(std::string_view text, bool strayBytes)
        : m_text(text), m_read(text.data()), m_strayBytes(strayBytes) {}

    CTrackedByte Begin() { return {m_text.data(), &m_read}; }
    CTrackedByte End() { return {m_text.data() + m_text.size(), &m_read}; }
    Json& Document() { return m_document; }
    const std::string& Problem() const { return m_problem; }

    // A zero byte ends the library's reading as the end of the text would.
    bool ReadToTheEnd() {
        return Read() == 0 || m_text[Read() - 1] != '\0' ||
               Malformed(Read() - 1, "garbage after the album");
    }

    bool null() { return Put(nullptr); }
    bool boolean(bool value) { return Put(value); }
    bool number_integer(Json::number_integer_t value) { return Put(value); }
    bool number_unsigned(Json::number_unsigned_t value) { return Put(value); }
    bool number_float(Json::number_float_t value, const std::string&) { return Put(value); }
    bool string(std::string& value) {
        if (m_strayBytes) {
            DecodeStrayBytes(value);
        }
        return Put(std::move(value));
    }
    bool binary(Json::binary_t&) { return false; }  // only binary formats have these
    bool start_object(std::size_t) { return Open(Json::object()); }
    bool start_array(std::size_t) { return Open(Json::array()); }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }

    bool key(std::string& name) {
        if (m_strayBytes) {
            DecodeStrayBytes(name);
        }
        Json& object = *m_open.back();
        const bool album = m_open.size() == 1;
        const bool picture = m_open.size() == 3 && m_open[1] == m_pictures;
        const std::string whose =
            picture ? "picture " + std::to_string(m_pictures->size()) + ": " : std::string();
        // A misspelt key would be passed over and its value lost: any key not known is refused.
        const auto unknown = [&name](const auto& known) {
            return std::find(std::begin(known), std::end(known), name) == std::end(known);
        };
        if (object.contains(name) || (album && unknown(kAlbumKeys)) ||
            (picture && unknown(kPictureKeys))) {
            m_problem = whose + (object.contains(name) ? "duplicate key " : "unknown key ") +
                        KeyName(name) + " at " + Where(m_text, KeyStart());
            return false;
        }
        m_member = &object[name];
        m_memberIsPictures = album && name == "pictures";
        return true;
    }

    bool parse_error(std::size_t position, const std::string& token,
                     const nlohmann::detail::exception& failure) {
        std::string_view what = failure.what();
        const std::size_t lastRead = what.find("; last read:");
        what = what.substr(0, lastRead);
        // The library's words in ours; those of the text's own bytes are cut off above.
        constexpr std::pair<std::string_view, std::string_view> kReasons[] = {
            {"control character", "a control character in a string"},
            {"after backslash", "an unknown escape in a string"},
            {"4 hex digits", "four hexadecimal digits expected"},
            {"surrogate", "half a surrogate pair in a string"},
            {"missing closing quote", "the text ends inside a string"},
            {"invalid number", "a malformed number"},
            {"unexpected end of input", "the text ends too early"},
            {"; expected string literal", "a name in quotes expected"},
            {"; expected ':'", "':' expected"},
            {"; expected '}'", "',' or '}' expected"},
            {"; expected ']'", "',' or ']' expected"},
        };
        std::string_view reason = m_complete ? "garbage after the album" : "unexpected character";
        for (const auto& [phrase, words] : kReasons) {
            if (!m_complete && what.find(phrase) != std::string_view::npos) {
                reason = words;
                break;
            }
        }
        // A number too large for any type stops the reading.
        constexpr int kNumberOverflow = 406;
        if (failure.id == kNumberOverflow) {
            reason = "a number out of range";
        }
        // Where the reading stopped. The library reports past the byte it stopped at: the
        // offending byte of a token it could not read, the end of one it did not expect.
        std::size_t at = position == 0 ? 0 : position - 1;
        const bool wholeToken = lastRead == std::string_view::npos;
        if (wholeToken && at < m_text.size() &&
            std::string_view("[]{}:,\0", 7).find(m_text[at]) == std::string_view::npos &&
            token.size() <= position) {
            at = position - token.size();  // its first byte
        }
        return Malformed(at, reason);
    }

private:
    std::size_t Read() const { return static_cast<std::size_t>(m_read - m_text.data()); }

    bool Malformed(std::size_t at, std::string_view reason) {
        m_problem = "malformed JSON at " + Where(m_text, at) + ": " + std::string(reason);
        return false;
    }

    // Where the key just read begins: the library stops right after its closing quote.
    std::size_t KeyStart() const {
        std::size_t at = Read() - 1;
        while (at > 0) {
            --at;
            if (m_text[at] != '"') {
                continue;
            }
            std::size_t backslashes = 0;
            while (backslashes < at && m_text[at - backslashes - 1] == '\\') {
                ++backslashes;
            }
            if (backslashes % 2 == 0) {
                break;
            }
        }
        return at;
    }

    Json* Place(Json value) {
        if (m_open.empty()) {
            m_document = std::move(value);
            m_complete = !m_document.is_structured();
            return &m_document;
        }
        Json& parent = *m_open.back();
        if (parent.is_array()) {
            parent.push_back(std::move(value));
            return &parent.back();
        }
        *m_member = std::move(value);
        return m_member;
    }

    bool Put(Json value) {
        if (!RoomForAnother()) {
            return false;
        }
        Place(std::move(value));
        return true;
    }

    // Pictures past the most an album holds are refused as they come, not once a long list
    // has been read into memory.
    bool RoomForAnother() {
        if (m_pictures == nullptr || m_open.back() != m_pictures ||
            m_pictures->size() < kMaxPictures) {
            return true;
        }
        m_problem = std::to_string(kMaxPictures + 1) +
                    " pictures or more; an album holds at most " + std::to_string(kMaxPictures);
        return false;
    }

    bool Open(Json container) {
        if (m_open.size() >= kDeepestNesting) {
            return Malformed(Read() - 1, "nested too deeply");
        }
        if (!RoomForAnother()) {
            return false;
        }
        const bool pictures = m_open.size() == 1 && m_memberIsPictures && container.is_array();
        m_open.push_back(Place(std::move(container)));
        if (pictures) {
            m_pictures = m_open.back();
        }
        return true;
    }

    bool Close() {
        m_open.pop_back();
        m_complete = m_open.empty();
        return true;
    }

    std::string_view m_text;
    const char* m_read;
    bool m_strayBytes;
    Json m_document;
    std::vector<Json*> m_open;  // the arrays and objects being read, outermost first
    Json* m_member = nullptr;   // where the value of the key just read goes
    bool m_memberIsPictures = false;
    const Json* m_pictures = nullptr;  // the album's "pictures" array
    bool m_complete = false;           // the album's closing brace has been read
    std::string m_problem;
};

std::size_t Characters(const std::string& text) {
    std::size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

const Json* Member(const Json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() ? &*found : nullptr;
}

// The readers of the album's values: each refuses with a message naming the key.
class CProjectReader {
public:
    CProjectReader(const fs::path& folder, std::string& error) : m_folder(folder), m_error(error) {}

    bool Fail(const std::string& where, std::string what) {
        m_error = where + std::move(what);
        return false;
    }

    static bool WholeNumber(const Json& value, int& out) {
        if (!value.is_number()) {
            return false;
        }
        const double number = value.get<double>();
        if (number != std::floor(number) || number < -2147483648.0 || number > 2147483647.0) {
            return false;
        }
        out = static_cast<int>(number);
        return true;
    }

    static bool Pair(const Json& value, int& a, int& b) {
        return value.is_array() && value.size() == 2 && WholeNumber(value[0], a) &&
               WholeNumber(value[1], b);
    }

    bool Text(const Json& object, const char* key, std::string& out, const std::string& where) {
        const Json* value = Member(object, key);
        if (value == nullptr) {
            return true;
        }
        if (!value->is_string()) {
            return Fail(where, KeyName(key) + " must be a string");
        }
        const std::size_t longest =
            std::string_view(key) == "note" ? kLongestNoteText : kLongestTitleText;
        const auto& text = value->get_ref<const std::string&>();
        if (Characters(text) > longest) {
            return Fail(
                where, KeyName(key) + " is longer than " + std::to_string(longest) + " characters");
        }
        out = text;
        return true;
    }

    bool Flag(const Json& object, const char* key, std::uint8_t& out, const std::string& where) {
        const Json* value = Member(object, key);
        if (value == nullptr) {
            return true;
        }
        if (!value->is_boolean()) {
            return Fail(where, KeyName(key) + " must be true or false");
        }
        out = value->get<bool>() ? 1 : 0;
        return true;
    }

    bool Slider(const Json& object, const char* key, std::int16_t& out, const std::string& where) {
        const Json* value = Member(object, key);
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

    bool Picture(const Json& value, const std::string& where, CAlbumImage& entry) {
        if (!value.is_object()) {
            return Fail(where, "must be a JSON object");
        }
        const Json* path = Member(value, "path");
        if (path == nullptr || !path->is_string() || path->get_ref<const std::string&>().empty()) {
            return Fail(where, "\"path\" must be a file name");
        }
        entry.m_sourcePath = Resolve(path->get<std::string>());
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
        if (const Json* depth = Member(value, "depth")) {
            if (!WholeNumber(*depth, a) || !IsStoredDepth(a)) {
                return Fail(where, "\"depth\" is out of range (4, 8 or 16)");
            }
            entry.m_colorDepth = static_cast<std::uint8_t>(a);
        }
        if (const Json* limit = Member(value, "limit")) {
            if (!Pair(*limit, a, b) || !IsValidSizeLimit(a, b)) {
                return Fail(where, "\"limit\" is out of range (" + std::to_string(kMinLimitWidth) +
                                       ".." + std::to_string(kMaxLimitWidth) + " x " +
                                       std::to_string(kMinLimitHeight) + ".." +
                                       std::to_string(kMaxLimitHeight) + ")");
            }
            entry.m_sizeLimitWidth = static_cast<std::int16_t>(a);
            entry.m_sizeLimitHeight = static_cast<std::int16_t>(b);
        }
        if (const Json* offset = Member(value, "offset")) {
            if (!Pair(*offset, a, b) || a < 0 || b < 0) {
                return Fail(where, "\"offset\" must be two numbers of 0 or more");
            }
            entry.m_horizontalOffset = a;
            entry.m_verticalOffset = b;
        }
        return true;
    }

    bool Album(const Json& document, CAlbum& album) {
        if (!document.is_object()) {
            return Fail({}, "the album must be a JSON object");
        }
        std::string title = album.Title();
        std::string note;
        if (!Text(document, "title", title, {}) || !Text(document, "note", note, {})) {
            return false;
        }
        album.SetTitle(title);
        album.SetNote(note);
        const Json* pictures = Member(document, "pictures");
        if (pictures != nullptr && !pictures->is_array()) {
            return Fail({}, "\"pictures\" must be an array");
        }
        const std::size_t count = pictures != nullptr ? pictures->size() : 0;
        if (count > kMaxPictures) {
            return Fail({}, std::to_string(count) + " pictures; an album holds at most " +
                                std::to_string(kMaxPictures));
        }
        for (std::size_t i = 0; i < count; ++i) {
            auto entry = std::make_unique<CAlbumImage>();
            if (!Picture((*pictures)[i], "picture " + std::to_string(i + 1) + ": ", *entry)) {
                return false;
            }
            (void)album.Append(std::move(entry));
        }
        return Icon(Member(document, "icon"), album);
    }

    bool Icon(const Json* icon, CAlbum& album) {
        int index = 0;
        if (icon != nullptr && icon->is_null()) {
            return true;  // a black icon
        }
        if (icon != nullptr && icon->is_string() && !icon->get_ref<const std::string&>().empty()) {
            album.SetIconSource(Resolve(icon->get<std::string>()));
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
    std::string encoded;
    const bool strayBytes = EncodeStrayBytes(text, encoded);
    if (strayBytes) {
        text = encoded;
    }
    CProjectSax sax(text, strayBytes);
    if (!Json::sax_parse(sax.Begin(), sax.End(), &sax) || !sax.ReadToTheEnd()) {
        error = sax.Problem();
        return false;
    }
    CProjectReader project(fs::path(folder), error);
    if (!project.Album(sax.Document(), album)) {
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
