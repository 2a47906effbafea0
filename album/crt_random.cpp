#include "album/crt_random.h"

namespace {
thread_local std::uint32_t t_state = 1;  // the runtime's state before any srand
}

void CrtSrand(std::uint32_t seed) {
    t_state = seed;
}

int CrtRand() {
    t_state = t_state * 214013u + 2531011u;
    return static_cast<int>((t_state >> 16) & 0x7FFF);
}
