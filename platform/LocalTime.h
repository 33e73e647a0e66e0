#pragma once
// Calendar time in the local time zone (TZ, else the system's zone).

#include <ctime>

// Fills local with the local calendar time of time. False when the calendar
// cannot place it (the year does not fit).
[[nodiscard]] bool ToLocalTime(std::time_t time, std::tm& local);
