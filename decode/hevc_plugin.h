#pragma once

#include <string>

// HEVC decoding for libheif, through libde265 like libheif's own, but stricter. libde265
// decodes a damaged stream as far as it can, reading on from parts it never decoded, and only
// warns: such pixels would be whatever the memory held before, different from one run to the
// next. Here every warning about the data refuses the picture, and frames start cleared.
//
// Registers it with libheif, ahead of the built-in one. Call after heif_init(); false, with
// why, when libheif refuses it or is of a series whose plugin interface it was not made for
// (then no HEVC decoder is to be used: libheif's own leaves unset memory in damaged pictures).
[[nodiscard]] bool RegisterClearedHevcDecoder(std::string& error);

// What a failure's message says, within libheif's words, when the decoder met damaged data.
inline constexpr char kDamaged[] = "the picture is damaged: ";
