#pragma once

#include <QString>

// What the album makes of a picture file's path.

// The text of the path in the picture list: the whole path, but a folder part (with its
// separators) longer than 20 characters is shown as "/..." and its last 20 characters.
QString ListDisplayText(const QString& path);
