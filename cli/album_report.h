#pragma once

#include <QJsonObject>
#include <QString>

#include "album/album_file_reader.h"
#include "cli/album_json.h"

// Reads an album file for `inspect` and `extract` (a path as PathFromSystem gives it); a
// missing, foreign or damaged file, anything but a regular file, and a file larger than any
// album are input errors. Never holds more than a small multiple of the file's size.
[[nodiscard]] bool LoadAlbumFile(const QString& path, CAlbumFile& album, CInputError& error);

// What `inspect` shows, as text and as JSON. The text shows control characters as escapes.
QString DescribeAlbum(const QString& path, const CAlbumFile& album);
QJsonObject AlbumToJson(const QString& path, const CAlbumFile& album);

// Writes each picture as PNG and as the stored bitmap file, every thumbnail and icon member
// as PNG, into `folder` (made when missing). The whole album is checked before the first
// file is written; when any file cannot be written, the files and folders this call made
// are removed again and `error` names the file. `written`: the number of files written.
[[nodiscard]] bool ExtractAlbum(const CAlbumFile& album, const QString& folder, int& written,
                                CInputError& error);

// Text as a terminal shows it safely on one line: control characters, and the bytes of a
// file name that are not UTF-8, become escapes (\n, \r, \t, else \xHH).
QString VisibleText(const QString& text);
// A file name for a one-line message: as it is, or quoted and made visible when it holds
// anything VisibleText changes.
QString MessageName(const QString& path);
