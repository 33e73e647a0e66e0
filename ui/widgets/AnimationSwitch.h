#pragma once
// The global animation switch: the shell sets it from the Program
// "Animation" setting (default off). On, tab frames cross-fade between
// pages.

#include <atomic>
#include <cstdint>

extern std::atomic<std::int32_t> g_AnimationEnabled;
