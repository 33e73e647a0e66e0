// Linked into every fuzz target with tessera_wrap_pixel_blocks: pixel blocks
// above kFuzzMaxPixelBlock fail as on exhausted memory.

#include "image/PixelBlock.h"
#include "tests/fuzz/FuzzSupport.h"

// The linker's --wrap names for AllocPixelBlock(std::uint64_t); both sides
// are C++ functions, so the C linkage of a C++ return type is harmless.
#pragma clang diagnostic ignored "-Wreturn-type-c-linkage"
extern "C" PixelBlock __real__Z15AllocPixelBlockm(std::uint64_t size);

extern "C" PixelBlock __wrap__Z15AllocPixelBlockm(std::uint64_t size) {
  if (size > kFuzzMaxPixelBlock) return nullptr;
  return __real__Z15AllocPixelBlockm(size);
}
