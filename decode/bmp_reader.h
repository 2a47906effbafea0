#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "decode/picture_rows.h"

// BMP files, read here rather than by a library: the format is small, and the readers at hand
// accept pixel data shorter than the header promises and leave the missing pixels as whatever
// the memory held. This one knows every pixel's bytes are there before it uses them, refuses
// what it cannot place, and reads only the rows that are wanted.
//
// Headers: OS/2 1.x and 2.x, Windows 3 (40 bytes) and its later versions up to 5. Depths 1, 2,
// 4, 8, 16, 24 and 32; uncompressed, RLE4, RLE8 and bit fields; rows bottom-up or top-down.
// The fourth byte of 32-bit pixels is read as opacity only when the header names an alpha
// mask and some pixel uses it: many writers leave it zero.

// Reads the stored size from the headers at the start of `file`.
[[nodiscard]] bool ReadBmpHeader(std::FILE* file, CPictureHeader& header, std::string& error);

// Decodes the picture into `rows`, which must have the header's size. False for pixel data
// that falls short of the picture (`fileSize` bytes long) or names colours it does not have.
[[nodiscard]] bool DecodeBmp(std::FILE* file, std::uint64_t fileSize, CPictureRows& rows,
                             std::string& error);
