#include "base/rand15.h"

RandomState random_state;

void rand15_seed(uint32_t seed) { random_state.state = seed; }
uint32_t rand15_save() { return random_state.state; }

// The classic linear congruential generator of the C runtimes, upper bits.
int32_t rand15() {
    random_state.state = random_state.state * 214013u + 2531011u;
    return static_cast<int32_t>((random_state.state >> 16) & 0x7FFF);
}
