#pragma once

#include <cstddef>
#include <cstdint>

// The orientation a camera recorded in a JPEG file's EXIF block (the APP1 segment's data,
// starting with "Exif"): 1 to 8 as the EXIF orientation tag counts them, 1 (as stored) when
// the block is not EXIF, holds no orientation or is damaged.
int ExifOrientation(const std::uint8_t* data, std::size_t size);
