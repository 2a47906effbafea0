#pragma once

#include <QString>

// What the album makes of a picture file's path.

// The path's extension: from the last dot of the file name on; empty when there is none.
QString PathExtension(const QString& path);
// True for the picture files an album takes: .jpg, .jpeg, .bmp and .gif in any case.
bool IsAcceptedPicture(const QString& path);
// The file name without folder and extension, in its own case.
QString PictureTitle(const QString& path);
// The text of the path in the picture list: the whole path, but a folder part (with its
// separators) longer than 20 characters is shown as "/..." and its last 20 characters.
QString ListDisplayText(const QString& path);
