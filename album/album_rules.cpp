#include "album/album_rules.h"

#include <algorithm>

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

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string_view PathExtension(std::string_view path) { return path.substr(ExtensionStart(path)); }

bool HasPictureExtension(std::string_view path) {
    const std::string_view extension = PathExtension(path);
    return std::any_of(kPictureExtensions.begin(), kPictureExtensions.end(),
                       [extension](std::string_view accepted) {
                           return extension.size() == accepted.size() &&
                                  std::equal(extension.begin(), extension.end(), accepted.begin(),
                                             [](char a, char b) { return AsciiLower(a) == b; });
                       });
}

std::string PictureTitle(std::string_view path) {
    const std::size_t start = FileNameStart(path);
    return std::string(path.substr(start, ExtensionStart(path) - start));
}
