#pragma once

// HEVC decoding for libheif, through libde265 like libheif's own, but stricter. libde265
// decodes a damaged stream as far as it can, reading on from parts it never decoded, and only
// warns: such pixels would be whatever the memory held before, different from one run to the
// next. Here every warning about the data refuses the picture, and frames start cleared.
//
// Registers it with libheif, ahead of the built-in one. Call after heif_init(); false when
// libheif refuses it.
[[nodiscard]] bool RegisterClearedHevcDecoder();

// What a failure's message says, within libheif's words, when the decoder met damaged data.
inline constexpr char kDamaged[] = "the picture is damaged: ";
