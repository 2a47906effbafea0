#pragma once

#include <QString>
#include <QStringList>

#include "album/album.h"

// A refusal of the input: which file it is about and why, for a one-line message.
struct CInputError {
    QString file;
    QString reason;
};

// Reads ALBUM.json (a path as PathFromSystem gives it) into `album`: texts, icon and every
// picture with its settings. Relative picture paths resolve against the JSON file's folder.
[[nodiscard]] bool ReadAlbumJson(const QString& jsonPath, CAlbum& album, CInputError& error);

// Checks each picture's name as the window does (CheckPictureNames) and that its file exists
// and can be read, without decoding anything.
[[nodiscard]] bool CheckPictureFiles(const CAlbum& album, CInputError& error);

// The texts the album file cannot carry as they are (a title with a line break, a zero
// byte), one line each saying which value changes and how.
QStringList TextChanges(const CAlbum& album);
