#pragma once
// A benchmark whose input cannot be made has nothing worth timing: the run
// stops with the reason.

#include <cstdio>
#include <cstdlib>

inline void RequireSetup(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "benchmark set-up failed: %s\n", what);
  std::exit(1);
}
