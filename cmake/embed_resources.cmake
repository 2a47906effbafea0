# Turns res/ data files into a header of byte arrays for the core (no resource system there).
# Run as a script: cmake -DOUT=<header> -DINPUTS="name=file;..." -P embed_resources.cmake
set(content "#pragma once\n// Generated from files in res/; do not edit.\n#include <cstdint>\n\n")
foreach(pair IN LISTS INPUTS)
  string(REPLACE "=" ";" parts "${pair}")
  list(GET parts 0 name)
  list(GET parts 1 file)
  file(READ "${file}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND content "inline constexpr std::uint8_t ${name}[] = {${bytes}};\n")
endforeach()
file(WRITE "${OUT}.tmp" "${content}")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
