#pragma once
// The process's peak resident memory so far, in MiB. It only grows, so a
// benchmark that reports it runs its cases from small to large.

#include <sys/resource.h>

inline double PeakResidentMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}
