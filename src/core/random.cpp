#include "core/random.h"

#include <chrono>

namespace tq {

namespace {
// A 32-bit linear congruential generator; the fixed start seed is 0.
uint32_t state = 0;
}

void seedRandom(uint32_t seed) { state = seed; }

void randomizeFromClock() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    state = static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

uint32_t randomBelow(uint32_t n) {
    state = state * 134775813u + 1u;
    return static_cast<uint32_t>((uint64_t(state) * n) >> 32);
}

} // namespace tq
