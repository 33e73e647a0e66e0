#pragma once
// The one millisecond clock of the program. Every tick count (frame times,
// timers, key-repeat filters, fades) comes from here so that a headless test
// can replace it by a clock it advances itself.

#include <cstdint>

// Milliseconds of a monotonic clock; wraps after 49.7 days like the 32-bit
// tick counts the interface code compares by subtraction.
std::uint32_t TickCount();
std::uint64_t TickCount64();

// The fake clock: while it is on, TickCount64 returns its value and time
// advances only through AdvanceFakeClock. Nothing that waits is woken by an
// advance; the headless host wakes the UI queue itself.
void EnableFakeClock(std::uint64_t startMs);
void DisableFakeClock();
bool IsFakeClock();
void AdvanceFakeClock(std::uint64_t ms);

// Sleeps the calling thread. On the fake clock the clock moves on by ms
// instead: the time passes for whoever reads it, without a real wait.
void SleepMilliseconds(std::uint32_t ms);
