#include "rand15.h"

namespace {
uint32_t rand15_state = 1;
}

void rand15_seed(uint32_t seed) { rand15_state = seed; }
uint32_t rand15_save() { return rand15_state; }

// The classic linear congruential generator of the C runtimes, upper bits.
int32_t rand15() {
    rand15_state = rand15_state * 214013u + 2531011u;
    return static_cast<int32_t>((rand15_state >> 16) & 0x7FFF);
}
