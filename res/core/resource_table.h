#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Resources the core reads by type and id, compiled into the program from files in res/.
struct CResourceData {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

// The handheld's 8-bit system palette: resource "PALETTE" of this id (res/palette_130.bin).
inline constexpr int kSystemPaletteResourceId = 130;

// The resource of that type and id; empty (no data, size 0) when there is none.
CResourceData FindResource(std::string_view type, int id);
