#pragma once

#include <cstdio>
#include <string>

#include "decode/picture_rows.h"

// GIF files through giflib: the first frame on its logical screen, transparent pixels and the
// parts of the screen the frame leaves uncovered white. Nothing is printed; giflib's error
// codes become `error`.

// Reads the logical screen's size from the start of `file`.
[[nodiscard]] bool ReadGifHeader(std::FILE* file, CPictureHeader& header, std::string& error);

// Decodes the first frame of the file into `rows`, which must have the screen's size. False
// for a file cut short, damaged image data, a frame outside the screen or a pixel whose
// colour the picture does not have.
[[nodiscard]] bool DecodeGif(std::FILE* file, CPictureRows& rows, std::string& error);
