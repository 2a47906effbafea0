#include "album/album_rules.h"

#include "imaging/picture_formats.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "album/ansi_text.h"

namespace {

// Where the file name begins: after the last folder separator.
std::size_t FileNameStart(std::string_view path) {
#ifdef _WIN32
    const std::size_t separator = path.find_last_of("/\\:");
#else
    const std::size_t separator = path.rfind('/');
#endif
    return separator == std::string_view::npos ? 0 : separator + 1;
}

// Where the extension begins, or the path's end when it has none.
std::size_t ExtensionStart(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    return dot != std::string_view::npos && dot >= FileNameStart(path) ? dot : path.size();
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string_view PathExtension(std::string_view path) {
    return path.substr(ExtensionStart(path));
}

bool HasPictureExtension(std::string_view path) {
    const std::string_view extension = PathExtension(path);
    const auto matches = [extension](std::string_view accepted) {
        return !accepted.empty() && extension.size() == accepted.size() &&
               std::equal(extension.begin(), extension.end(), accepted.begin(),
                          [](char a, char b) { return AsciiLower(a) == b; });
    };
    return std::any_of(
        kPictureFormats.begin(), kPictureFormats.end(), [&matches](const CPictureFormat& format) {
            return std::any_of(format.extensions.begin(), format.extensions.end(), matches);
        });
}

std::string PictureTitle(std::string_view path) {
    const std::size_t start = FileNameStart(path);
    const std::string_view stem = path.substr(start, ExtensionStart(path) - start);
    std::string title = IsValidUtf8(stem) ? std::string(stem) : Cp1252ToUtf8(stem);
    // A title is at most so many characters, however long the name; a character is never cut.
    std::size_t characters = 0;
    for (std::size_t at = 0; at < title.size(); ++at) {
        const bool starts = (static_cast<unsigned char>(title[at]) & 0xC0) != 0x80;
        if (starts && ++characters > kLongestTitleText) {
            title.resize(at);
            break;
        }
    }
    return title;
}

bool NaturalLess(std::string_view a, std::string_view b) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            // Compare the two numbers by value: skip leading zeros, then the longer is larger.
            std::size_t startA = i;
            std::size_t startB = j;
            while (startA < a.size() && a[startA] == '0') {
                ++startA;
            }
            while (startB < b.size() && b[startB] == '0') {
                ++startB;
            }
            std::size_t endA = startA;
            std::size_t endB = startB;
            while (endA < a.size() && digit(a[endA])) {
                ++endA;
            }
            while (endB < b.size() && digit(b[endB])) {
                ++endB;
            }
            const std::string_view numberA = a.substr(startA, endA - startA);
            const std::string_view numberB = b.substr(startB, endB - startB);
            if (numberA.size() != numberB.size()) {
                return numberA.size() < numberB.size();
            }
            if (numberA != numberB) {
                return numberA < numberB;
            }
            i = endA;
            j = endB;
            continue;
        }
        const char ca = AsciiLower(a[i]);
        const char cb = AsciiLower(b[j]);
        if (ca != cb) {
            return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
        }
        ++i;
        ++j;
    }
    if ((i < a.size()) != (j < b.size())) {
        return j < b.size();
    }
    return a < b;
}

CFolderPictures ListFolderPictures(const std::string& folder, bool recursive) {
    namespace fs = std::filesystem;
    CFolderPictures found;
    std::error_code ec;
    const auto take = [&found](const fs::directory_entry& entry) {
        std::error_code typeError;
        if (!entry.is_regular_file(typeError)) {
            return;
        }
        if (HasPictureExtension(entry.path().filename().string())) {
            found.pictures.push_back(entry.path().string());
        } else {
            ++found.otherFiles;
        }
    };
    if (recursive) {
        for (fs::recursive_directory_iterator
                 it(folder, fs::directory_options::skip_permission_denied, ec),
             end;
             !ec && it != end; it.increment(ec)) {
            take(*it);
        }
    } else {
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            take(*it);
        }
    }
    std::sort(found.pictures.begin(), found.pictures.end(),
              [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
    return found;
}
