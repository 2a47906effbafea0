#pragma once

#include <QJsonObject>
#include <QString>

#include "album/album_file_reader.h"
#include "cli/album_json.h"

// Reads an album file for `inspect` and `extract`; a damaged or foreign file is an input error.
[[nodiscard]] bool LoadAlbumFile(const QString& path, CAlbumFile& album, CInputError& error);

// What `inspect` shows, as text and as JSON.
QString DescribeAlbum(const QString& path, const CAlbumFile& album);
QJsonObject AlbumToJson(const QString& path, const CAlbumFile& album);

// Writes each picture as PNG and as the stored bitmap file, every thumbnail and icon member
// as PNG, into `folder` (made when missing). Returns the number of files written.
[[nodiscard]] bool ExtractAlbum(const CAlbumFile& album, const QString& folder, int& written,
                                CInputError& error);
