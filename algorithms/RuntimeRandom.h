#pragma once
// The runtime generator: a linear congruential generator with the classic
// runtime's constants and 15-bit results, one state per thread (a new thread
// starts from seed 1). Algorithms that draw grain or noise use it; results
// depend on which thread ran a stripe, as they always have.

#include <cstdint>

inline constexpr int kRuntimeRandomMax = 0x7FFF;

// Seeds the calling thread's generator (tests make sequences repeatable).
void SeedRuntimeRandom(std::uint32_t seed);
// The next value of the calling thread's generator, 0..kRuntimeRandomMax.
int RuntimeRandom();
