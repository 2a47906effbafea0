#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "decode/picture_rows.h"

// HEIF files (the HEIC pictures phones take) through libheif: the primary picture, with the
// turns, mirroring and cropping the file asks for, transparency on white, more than 8 bits a
// sample rounded to 8. The file's own turns are what stand it upright, so the orientation an
// EXIF block may repeat is not applied again. Nothing is printed; libheif's errors and
// decoding warnings become `error`. Pictures coded other than with HEVC (AVIF among them) are
// refused, whatever brand the file names.

// Reads the primary picture's upright size from `file` (`fileSize` bytes long).
[[nodiscard]] bool ReadHeifHeader(std::FILE* file, std::uint64_t fileSize, CPictureHeader& header,
                                  std::string& error);

// Decodes the whole primary picture and puts it into `rows`, which must have its size.
[[nodiscard]] bool DecodeHeif(std::FILE* file, std::uint64_t fileSize, CPictureRows& rows,
                              std::string& error);
