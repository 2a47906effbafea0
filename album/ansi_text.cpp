#include "album/ansi_text.h"

#include <cstdint>

namespace {

// Code points of bytes 0x80..0x9F; 0 where the code page leaves the byte undefined.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char ToCp1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<char>(c);
    }
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] != 0 && kHighControls[i] == c) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The length of the well-formed UTF-8 character at utf8[i], with its code point; 0 when the
// bytes there are not one (a stray byte, a cut sequence, an overlong form or a surrogate).
int NextUtf8(std::string_view utf8, std::size_t i, char32_t& c) {
    const auto lead = static_cast<std::uint8_t>(utf8[i]);
    int length = 0;
    if (lead < 0x80) {
        length = 1;
        c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        c = lead & 0x07;
    }
    bool valid = length > 0 && i + length <= utf8.size();
    for (int k = 1; valid && k < length; ++k) {
        const auto next = static_cast<std::uint8_t>(utf8[i + k]);
        valid = (next & 0xC0) == 0x80;
        c = (c << 6) | (next & 0x3F);
    }
    constexpr char32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (valid && (c < kMinimum[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)) {
        valid = false;
    }
    return valid ? length : 0;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    char32_t c = 0;
    for (std::size_t i = 0; i < text.size();) {
        const int length = NextUtf8(text, i, c);
        if (length == 0) {
            return false;
        }
        i += static_cast<std::size_t>(length);
    }
    return true;
}

std::string Utf8ToCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t c = 0;
        const int length = NextUtf8(utf8, i, c);
        if (length == 0) {
            out += '?';
            ++i;
            continue;
        }
        out += ToCp1252(c);
        i += static_cast<std::size_t>(length);
    }
    return out;
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
    std::string out;
    out.reserve(cp1252.size());
    for (const char ch : cp1252) {
        const auto b = static_cast<std::uint8_t>(ch);
        if (b >= 0x80 && b < 0xA0) {
            const char32_t c = kHighControls[b - 0x80];
            AppendUtf8(out, c != 0 ? c : char32_t{0xFFFD});
        } else {
            AppendUtf8(out, b);
        }
    }
    return out;
}
