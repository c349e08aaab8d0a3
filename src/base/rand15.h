// The program's 15-bit pseudo-random generator, shared by the slide order and
// the font fallback.
#pragma once

#include <cstdint>

struct RandomState {
    uint32_t state = 1;
};
extern RandomState random_state;

void rand15_seed(uint32_t seed);
// The generator's state, which rand15_seed puts back.
uint32_t rand15_save();
int32_t rand15();  // 0 to 32767
