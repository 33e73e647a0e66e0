#include "tests/common/PixelBlockFailure.h"

#include <atomic>

#include "image/PixelBlock.h"

namespace {

std::atomic<std::int64_t> g_allowed{-1};
std::atomic<std::int64_t> g_requested{0};
std::atomic<std::uint64_t> g_largest{0};

}  // namespace

// The linker's --wrap names for AllocPixelBlock(std::uint64_t): C names of a
// C++ function, so the C++ return type is what the callers expect.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wreturn-type-c-linkage"
#endif
extern "C" PixelBlock __real__Z15AllocPixelBlockm(std::uint64_t size);

extern "C" PixelBlock __wrap__Z15AllocPixelBlockm(std::uint64_t size) {
  const std::int64_t index = g_requested.fetch_add(1);
  std::uint64_t largest = g_largest.load();
  while (size > largest && !g_largest.compare_exchange_weak(largest, size)) {
  }
  const std::int64_t allowed = g_allowed.load();
  if (allowed >= 0 && index >= allowed) return nullptr;
  return __real__Z15AllocPixelBlockm(size);
}

PixelBlockFailure::PixelBlockFailure(std::int64_t allowed) {
  g_requested = 0;
  g_largest = 0;
  g_allowed = allowed;
}

PixelBlockFailure::~PixelBlockFailure() { g_allowed = -1; }

std::int64_t PixelBlockFailure::Requested() const { return g_requested.load(); }

std::uint64_t PixelBlockFailure::Largest() const { return g_largest.load(); }
