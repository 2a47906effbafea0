#include "imaging/picture_formats.h"

#include <vector>

namespace {

std::string JoinList(const std::vector<std::string_view>& items, std::string_view lastJoin) {
    std::string list;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            list += i + 1 == items.size() ? " " + std::string(lastJoin) + " " : ", ";
        }
        list += items[i];
    }
    return list;
}

// The format's extensions as patterns, between `separator`s: "*.jpg;*.jpeg".
std::string Patterns(const CPictureFormat& format, std::string_view separator) {
    std::string patterns;
    for (const std::string_view extension : format.extensions) {
        if (!extension.empty()) {
            patterns += (patterns.empty() ? "*" : std::string(separator) + "*");
            patterns += extension;
        }
    }
    return patterns;
}

}  // namespace

std::string PictureFormatNames(std::string_view lastJoin) {
    std::vector<std::string_view> names;
    for (const CPictureFormat& format : kPictureFormats) {
        names.push_back(format.name);
    }
    return JoinList(names, lastJoin);
}

std::string PictureExtensionList(std::string_view lastJoin) {
    std::vector<std::string_view> extensions;
    for (const CPictureFormat& format : kPictureFormats) {
        for (const std::string_view extension : format.extensions) {
            if (!extension.empty()) {
                extensions.push_back(extension);
            }
        }
    }
    return JoinList(extensions, lastJoin);
}

std::string PictureDialogFilter() {
    std::string all;
    std::vector<std::string> lines(kPictureFormats.size());
    for (const CPictureFormat& format : kPictureFormats) {
        all += (all.empty() ? "" : ";") + Patterns(format, ";");
        lines[static_cast<std::size_t>(format.dialogLine)] = std::string(format.dialogLabel) +
                                                             " (" + Patterns(format, "; ") + ")|" +
                                                             Patterns(format, ";") + "|";
    }
    std::string filter = "All Readable Image Files|" + all + "|";
    for (const std::string& line : lines) {
        filter += line;
    }
    return filter + "|";
}

std::string FormatsRead() {
    return "only " + PictureFormatNames("and") + " pictures can be read";
}
