#pragma once

#include <QString>
#include <functional>

#include "cli/album_request.h"

// Loads every picture (on up to `threads` threads; the bytes do not depend on the count),
// prepares it on the shared save path, and writes the album file. On any failure nothing is
// written and an existing file stays as it was.
struct CBuildOptions {
    int threads = 0;                                 // 0: one per core
    std::function<void(int done, int total)> progress;  // called on the calling thread
};

[[nodiscard]] bool BuildAlbumFile(const CAlbumRequest& request, const QString& output,
                                  const CBuildOptions& options, CInputError& error);
