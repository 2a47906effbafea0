#pragma once

#include <QJsonObject>
#include <QString>

#include "album/album_file_reader.h"
#include "cli/album_json.h"
#include "platform/album_file_input.h"

// Opens an album file for `inspect` and `extract` (a path as PathFromSystem gives it); a
// missing, foreign or damaged file, anything but a regular file, and a file larger than any
// album are input errors. The pictures are read later, one at a time.
[[nodiscard]] bool OpenAlbumFile(const QString& path, CAlbumFileInput& album, CInputError& error);

// What `inspect` shows, as text and as JSON. The text shows control characters as escapes.
QString DescribeAlbum(const QString& path, const CAlbumFile& album);
QJsonObject AlbumToJson(const QString& path, const CAlbumFile& album);

// Writes each picture as PNG and as the stored bitmap file, every thumbnail and icon member
// as PNG, into `folder` (made when missing), reading and writing one picture at a time. When
// any picture cannot be read or any file cannot be written, the files and folders this call
// made are removed again, what was there stays as it was, and `error` says why. Once every
// file is written, the files of an earlier extract into the folder that this one did not
// write (icon_*bit.png, picture_NNN*) are removed, so that the folder shows this album only.
// `written`: the number of files written.
[[nodiscard]] bool ExtractAlbum(CAlbumFileInput& album, const QString& folder, int& written,
                                CInputError& error);

// Text as a terminal shows it safely on one line: control characters, and the bytes of a
// file name that are not UTF-8, become escapes (\n, \r, \t, else \xHH).
QString VisibleText(const QString& text);
// A file name for a one-line message: as it is, or quoted and made visible when it holds
// anything VisibleText changes.
QString MessageName(const QString& path);
