#include "album/project_pictures.h"

#include "album/album_rules.h"
#include "imaging/picture_formats.h"

std::string PictureNameProblem(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) {
        return "a file name cannot hold a zero byte";
    }
    if (!HasPictureExtension(path)) {
        return "not a " + PictureExtensionList("or") + " file";
    }
    return {};
}

bool CheckPictureNames(const CAlbum& album, std::string& path, std::string& reason) {
    for (std::size_t i = 0; i <= album.Count(); ++i) {
        const std::string& name =
            i < album.Count() ? album.At(i)->m_sourcePath : album.IconSource();
        if (name.empty() && i == album.Count()) {
            break;  // a black icon, or one from a picture of the album
        }
        reason = PictureNameProblem(name);
        if (!reason.empty()) {
            path = name;
            return false;
        }
    }
    return true;
}
