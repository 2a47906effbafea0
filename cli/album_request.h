#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "album/album_image.h"

// What the batch tool is asked to build: album texts, the icon's source and every picture
// with its settings.
struct CPictureRequest {
    QString path;
    CAlbumImage entry;    // settings, title and note; m_sourcePath is the UTF-8 path
    bool center = false;  // put the crop window in the middle once the size is known
};

struct CAlbumRequest {
    QString title = QStringLiteral("untitled");
    QString note;
    std::optional<int> iconIndex = 0;  // none: a black icon
    std::vector<CPictureRequest> pictures;
};

// A refusal of the input: which file it is about and why, for a one-line message.
struct CInputError {
    QString file;
    QString reason;
};

inline constexpr int kMaxAlbumPictures = 1000;

// Reads ALBUM.json; relative picture paths resolve against its folder.
[[nodiscard]] bool ReadAlbumJson(const QString& jsonPath, CAlbumRequest& request, CInputError& error);

// Checks the settings of every picture, the icon index, the picture count and each picture's
// extension and file, without decoding anything.
[[nodiscard]] bool ValidateAlbumRequest(const CAlbumRequest& request, CInputError& error);

// The title the desktop program gives a new picture: its file name without extension.
QString TitleFromPath(const QString& path);
// Accepted picture files: .jpg, .jpeg, .bmp, .gif in any case.
bool HasPictureExtension(const QString& path);
// A size limit the handheld program offers: 160..1280 wide, 160..1024 high.
bool IsValidSizeLimit(int width, int height);
