#pragma once

#include <cstdint>

#include <QImage>

#include "album/album_file_reader.h"
#include "imaging/dib.h"

// Bitmaps reach the screen 1:1: a rectangle of a bitmap of any depth the program makes
// (4- and 8-bit through their colour tables, 16-bit in the 5-5-5 layout the desktop shows,
// 24-bit) is copied into a 24-bit surface, and the surface is painted as one image.

// Copies the `width` x `height` rectangle at (sx, sy) of `bitmap` (y counted from the top)
// to (x, y) of the 24-bit `target`, without scaling; the parts outside either bitmap are left
// out.
void DrawDib(const CDib& bitmap, std::int32_t sx, std::int32_t sy, std::int32_t width,
             std::int32_t height, CDib& target, std::int32_t x, std::int32_t y);

// A 24-bit bitmap as an image to paint 1:1, top row first; a null image for bitmaps of other
// depths or none.
QImage DibToImage(const CDib& dib);

// An image read from an album file (red, green, blue, top row first) as a Qt image; a null
// image when it cannot be made.
QImage RgbImageToQImage(const CRgbImage& image);
