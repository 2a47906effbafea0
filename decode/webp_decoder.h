#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "decode/picture_rows.h"

// WebP files through libwebp: lossy and lossless, transparency on white, and of an animation
// the first frame on its canvas. Nothing is printed; libwebp's status codes become `error`.

// Reads the canvas size from the start of `file` (`fileSize` bytes long) and, from an EXIF
// chunk, the orientation.
[[nodiscard]] bool ReadWebpHeader(std::FILE* file, std::uint64_t fileSize, CPictureHeader& header,
                                  std::string& error);

// Decodes the whole picture and puts it into `rows`, which must have the canvas size. False
// for a file shorter than it says it is or damaged data.
[[nodiscard]] bool DecodeWebp(std::FILE* file, std::uint64_t fileSize, CPictureRows& rows,
                              std::string& error);
