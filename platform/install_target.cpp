#include "platform/install_target.h"

#include <algorithm>
#include <filesystem>

namespace {

// The longest file name the file systems take, and the longest path.
constexpr std::size_t kLongestFileName = 255;
constexpr std::size_t kLongestPath = 4095;
// Room asked of the library for a name or a folder: more than either may hold, so that one
// cut to fit shows as too long instead of naming someone, or somewhere, else.
constexpr std::size_t kNameRoom = kLongestPath + 2;
constexpr char kAlbumFileExtension[] = ".pdb";
// Names in messages are shortened past this many bytes.
constexpr std::size_t kShownNameLength = 60;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Whether `name` can be one file or folder name.
bool IsOneName(const std::string& name) {
    return !name.empty() && name.size() <= kLongestFileName && name != "." && name != ".." &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

std::string Shown(const std::string& user) {
    if (user.size() <= kShownNameLength) {
        return user;
    }
    return FitToBuffer(user, kShownNameLength + 1) + "...";
}

CInstallTarget Refuse(CInstallTarget target, EInstallTargetProblem problem) {
    target.problem = problem;
    switch (problem) {
        case EInstallTargetProblem::NoTitle:
            target.message =
                "The album needs a title to be sent to \"" + Shown(target.user) + "\".";
            break;
        case EInstallTargetProblem::UnusableUser:
            target.message =
                "The handheld user name \"" + Shown(target.user) +
                "\" cannot be used as a folder name, so the album cannot be sent to it.";
            break;
        case EInstallTargetProblem::UnusableFolder:
            target.message = "The handheld user \"" + Shown(target.user) +
                             "\" has no install folder that can be used.";
            break;
        case EInstallTargetProblem::None:
            break;
    }
    return target;
}

}  // namespace

std::string AlbumFileName(const std::string& title, const std::string& extension) {
    std::string name;
    for (const char c : title) {
        const bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        if (c == '/' || c == '\\') {
            name += '-';
        } else if (!control) {
            name += c;
        }
    }
    std::size_t first = 0;
    while (first < name.size() && (IsBlank(name[first]) || name[first] == '.')) {
        ++first;
    }
    name.erase(0, first);
    if (extension.size() >= kLongestFileName) {
        return {};
    }
    name = FitToBuffer(name, kLongestFileName - extension.size() + 1);
    while (!name.empty() && IsBlank(name.back())) {
        name.pop_back();
    }
    return name.empty() ? name : name + extension;
}

bool TitleFitsFileName(const std::string& title) {
    // A cut name would keep more of the title with a shorter extension.
    const std::string name = AlbumFileName(title, kAlbumFileExtension);
    const std::string roomier = AlbumFileName(title, ".p");
    return roomier.substr(0, roomier.size() - 2) ==
           name.substr(0, name.size() - std::min(name.size(), sizeof kAlbumFileExtension - 1));
}

CInstallTarget FindInstallTarget(CInstallLibrary& library, std::int16_t userIndex,
                                 const std::string& albumTitle) {
    CInstallTarget target;
    target.user = library.GetUserName(userIndex, kNameRoom);
    if (!IsOneName(target.user)) {
        return Refuse(target, EInstallTargetProblem::UnusableUser);
    }
    std::string folder = library.GetUserInstallDir(target.user, kNameRoom);
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    const std::filesystem::path folderPath(folder);
    // An absolute folder below the root, written plainly: no "." or ".." steps and not cut.
    if (folder.size() >= kLongestPath || !folderPath.is_absolute() || folder == "/" ||
        folderPath.lexically_normal() != folderPath || folder.find('\0') != std::string::npos) {
        return Refuse(target, EInstallTargetProblem::UnusableFolder);
    }
    const std::string fileName = AlbumFileName(albumTitle, kAlbumFileExtension);
    if (fileName.empty()) {
        return Refuse(target, EInstallTargetProblem::NoTitle);
    }
    const std::string path = folder + '/' + fileName;
    const std::filesystem::path joined(path);
    if (!IsOneName(fileName) || path.size() > kLongestPath ||
        joined.lexically_normal().parent_path() != folderPath || joined.filename() != fileName) {
        return Refuse(target, EInstallTargetProblem::UnusableFolder);
    }
    target.path = path;
    return target;
}
