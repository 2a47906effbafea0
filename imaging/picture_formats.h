#pragma once

// What a refusal of a foreign picture adds, wherever the format is found out.
inline constexpr char kFormatsRead[] =
    "only JPEG, PNG, GIF, BMP, WebP and HEIC pictures can be read";
