#pragma once
// Makes pixel allocations fail on purpose, for tests of what a failure part
// way through an operation leaves behind, and watches how many and how large
// blocks an operation asks for. Every pixel block of the libraries
// comes from AllocPixelBlock; a test binary that links with
// tessera_wrap_pixel_blocks (tests/CMakeLists.txt) routes those calls through
// here first. One at a time per process.

#include <cstdint>

class PixelBlockFailure {
public:
  // From now on the first `allowed` pixel blocks succeed and every later one
  // fails; a negative count fails none and only counts.
  explicit PixelBlockFailure(std::int64_t allowed);
  ~PixelBlockFailure();  // blocks succeed again
  PixelBlockFailure(const PixelBlockFailure&) = delete;
  PixelBlockFailure& operator=(const PixelBlockFailure&) = delete;

  // Pixel blocks requested since construction, failed ones included.
  std::int64_t Requested() const;
  // The size of the largest of them in bytes; 0 when none was requested.
  std::uint64_t Largest() const;
};
