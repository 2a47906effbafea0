#pragma once

#include <string>

#include "imaging/dib.h"

// Reads an uncompressed 24-bit BMP file (rows bottom-up or top-down) into a fresh 24-bit
// bitmap. False for any other kind of file.
[[nodiscard]] bool ReadBmp24(const std::string& path, CDib& dib);
