#pragma once
#include <cstdint>

namespace tq {

// The program's single pseudo-random generator. It starts from a fixed seed, so the
// draws of a run repeat from one start to the next until randomizeFromClock() is called
// (the map editor does so whenever it is shown).
void seedRandom(uint32_t seed);
void randomizeFromClock();
// Uniform integer 0 <= r < n (n >= 1).
uint32_t randomBelow(uint32_t n);

} // namespace tq
