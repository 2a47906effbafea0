#pragma once

#include <cstdint>

#include "imaging/dib.h"

// Brightness and contrast of a 24-bit bitmap, into `destination` (same size) or in place when
// both are the same bitmap. `brightness` is the slider position - 127, `contrast` the slider
// position (127 leaves the picture unchanged).
void AdjustBrightnessContrast(const CDib& source, CDib& destination, std::int16_t brightness,
                              std::int16_t contrast);

// Converts a 24-bit bitmap into `destination`, already created at the same size with depth 2
// or 4 (colour count 4 or 16: a grey ramp), 8 (an adaptive palette of at most 240 colours) or
// 16 (direct colour; `deviceLayout` nonzero gives the handheld's 5-6-5 word with green's low
// bit clear, zero the 5-5-5 word a desktop shows). False, with the destination untouched, for
// any other depth; false when memory runs out. Dithered 8-bit pixels take the nearest of the
// palette colours made from the picture, never the unused black entries after them.
[[nodiscard]] bool ConvertDepth(const CDib& source, CDib& destination, std::uint8_t deviceLayout,
                                std::uint8_t dither);
