#pragma once

#include <cstdio>
#include <string>

#include "decode/picture_rows.h"

// PNG files through libpng: every colour type and depth, interlaced or not; transparency (an
// alpha channel or a transparent colour) on white, 16-bit samples rounded to 8 bits. Nothing
// is printed; libpng's errors, and its warnings about the pixel data, become `error`.

// Reads the header from the start of `file`: the stored size and the orientation of an eXIf
// chunk before the pixel data.
[[nodiscard]] bool ReadPngHeader(std::FILE* file, CPictureHeader& header, std::string& error);

// Decodes the picture at the start of `file` into `rows`, which must have the header's stored
// size. False for a file cut short before its end chunk, damaged pixel data or a pixel whose
// colour the palette does not have.
[[nodiscard]] bool DecodePng(std::FILE* file, CPictureRows& rows, std::string& error);
