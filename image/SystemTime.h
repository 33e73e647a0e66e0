#pragma once
// A calendar date and time as the information record keeps it: year, month
// (1-12), day of the week (0 Sunday), day, hour, minute, second and
// milliseconds. Year 0 means no date.

#include <chrono>
#include <cstdint>

struct SystemTime {
  std::uint16_t year = 0;
  std::uint16_t month = 0;
  std::uint16_t dayOfWeek = 0;
  std::uint16_t day = 0;
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t milliseconds = 0;

  bool IsSet() const { return year != 0; }
  bool operator==(const SystemTime&) const = default;

  // The UTC calendar time of a point in time; no date for years outside
  // 1601..30827, which the fields cannot hold in the same way.
  static SystemTime FromUtc(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = floor<std::chrono::milliseconds>(time);
    const auto days = floor<std::chrono::days>(ms);
    const year_month_day date(days);
    if (!date.ok() || int(date.year()) < 1601 || int(date.year()) > 30827) return {};
    const hh_mm_ss clock(ms - days);
    SystemTime t;
    t.year = static_cast<std::uint16_t>(int(date.year()));
    t.month = static_cast<std::uint16_t>(unsigned(date.month()));
    t.dayOfWeek = static_cast<std::uint16_t>(weekday(days).c_encoding());
    t.day = static_cast<std::uint16_t>(unsigned(date.day()));
    t.hour = static_cast<std::uint16_t>(clock.hours().count());
    t.minute = static_cast<std::uint16_t>(clock.minutes().count());
    t.second = static_cast<std::uint16_t>(clock.seconds().count());
    t.milliseconds = static_cast<std::uint16_t>(clock.subseconds().count());
    return t;
  }
};
