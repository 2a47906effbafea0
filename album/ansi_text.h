#pragma once

#include <string>
#include <string_view>

// The handheld reads its texts in the Windows-1252 code page; the program keeps UTF-8.
// Characters that code page cannot hold, and malformed UTF-8, become '?'.
std::string Utf8ToCp1252(std::string_view utf8);
std::string Cp1252ToUtf8(std::string_view cp1252);
// Whether the bytes are well-formed UTF-8 (no stray bytes, overlong forms or surrogates).
bool IsValidUtf8(std::string_view text);
