#pragma once

#include <cstdio>
#include <string>

#include "decode/picture_rows.h"

// JPEG files through libjpeg-turbo: baseline, progressive and arithmetic-coded; grey, colour
// and CMYK. Nothing is printed; every complaint of the library becomes `error`.

// Reads the header from the start of `file`: the stored size and the EXIF orientation.
[[nodiscard]] bool ReadJpegHeader(std::FILE* file, CPictureHeader& header, std::string& error);

// Decodes the picture at the start of `file` into `rows`, which must have the header's stored
// size; rows that `rows` does not want are skipped where the format allows it. False for a
// file cut short or damaged data, even where the library would make up the missing pixels.
[[nodiscard]] bool DecodeJpeg(std::FILE* file, CPictureRows& rows, std::string& error);
