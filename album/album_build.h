#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "album/album.h"
#include "imaging/dib.h"

// The one way an album becomes a file, for the desktop program and the batch tool alike:
// every picture is loaded, fitted, adjusted, cropped and converted on worker threads, and the
// file is written record by record once all are ready. The bytes do not depend on the number
// of threads.

// Which rows of a picture the build reads, given the picture's natural size: one flag per
// row, the top row first.
using RowsWanted = std::function<std::vector<bool>(std::int32_t width, std::int32_t height)>;

// How the build reads picture files; each program passes its decoding layer's.
struct CPictureReading {
    // Makes `picture` (empty) a 24-bit bitmap of the file's natural size, upright, with
    // transparent parts on white. Rows that `rows` does not want may be left out of the
    // decoding, but hold set values all the same. False, with `reason`, when the file cannot
    // be read.
    std::function<bool(const std::string& path, const RowsWanted& rows, CDib& picture,
                       std::string& reason)>
        load;
    // Optional: the picture's natural size, upright, from its header alone, so that an album
    // too large for a file is refused before any picture is decoded.
    std::function<bool(const std::string& path, std::int32_t& width, std::int32_t& height)>
        readSize;
};

// A picture that could not be prepared.
struct CPictureFailure {
    std::size_t index = 0;  // its album position; the album's count for the icon's own file
    std::string path;
    std::string reason;
};

struct CAlbumBuildOptions {
    int threads = 0;  // 0: one per core
    // Puts each crop window in the middle of its fitted picture, whatever the offsets say.
    bool centerCropWindows = false;
    // Called after each picture with the number of pictures ready, counted from the first in
    // album order, on the thread that runs the build.
    std::function<void(std::size_t done, std::size_t total)> progress;
    // Asked, on the thread that runs the build, when a picture cannot be prepared: true tries
    // it again, false gives the build up. Without it the build gives up.
    std::function<bool(const CPictureFailure& failure)> retry;
    // Set from any thread to stop the build; the target is then left as it was.
    const std::atomic<bool>* cancel = nullptr;
    // The album icon already made (24 x 24, 24 bits), stored as it is instead of being made
    // again from the icon's picture file, which may have gone since.
    std::shared_ptr<const CDib> icon;
};

enum class BuildOutcome {
    Written,
    Cancelled,
    Refused,        // the album breaks a limit (pictures, depths, size limits, file size)
    PictureFailed,  // a picture could not be prepared and was not retried
    WriteFailed,    // the file could not be written (or memory ran out building it)
};

struct CBuildResult {
    // A result no build has filled in yet tells of no file.
    BuildOutcome outcome = BuildOutcome::WriteFailed;
    CPictureFailure picture;                                // PictureFailed: which picture and why
    std::string reason = "the album file was not written";  // Refused, WriteFailed: why
};

// Builds the album file at `path` (the system's bytes). Nothing is written, and an existing
// file stays as it was, unless the outcome is Written.
CBuildResult BuildAlbumFile(const CAlbum& album, const std::string& path,
                            const CPictureReading& reading, const CAlbumBuildOptions& options = {});

// The size of the album file in bytes, from each picture's natural size; pictures whose size
// is unknown (width or height 0) count as none. What BuildAlbumFile checks against the
// largest album file before it starts.
std::uint64_t EstimateAlbumFileSize(
    const CAlbum& album, const std::vector<std::pair<std::int32_t, std::int32_t>>& sizes);
