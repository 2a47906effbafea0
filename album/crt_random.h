#pragma once

#include <cstdint>

// The generator of the Microsoft C runtime, which the handheld's file format was made with:
// state = state x 214013 + 2531011 (mod 2^32), value = (state >> 16) & 0x7FFF, so that every
// platform gives the same 0..32767 sequence for the same seed. The state is per thread, as
// the runtime's own is.
void CrtSrand(std::uint32_t seed);
int CrtRand();
