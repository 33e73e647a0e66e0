#include "platform/LargeAllocation.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

void* AllocLargeBlock(std::uint64_t size) {
  if (size == 0 || size > SIZE_MAX) return nullptr;
  if (size < kHugePageBytes) return std::malloc(static_cast<std::size_t>(size));
  // posix_memalign, not aligned_alloc: the sanitizers' aligned_alloc refuses
  // a size that is not a multiple of the alignment.
  void* block = nullptr;
  if (posix_memalign(&block, kHugePageBytes, static_cast<std::size_t>(size)) != 0) return nullptr;
  // Only whole huge pages inside the block: the advice then never reaches
  // memory that belongs to other allocations. It is advice; a kernel that
  // refuses it (huge pages not built in) leaves ordinary pages.
  const std::uint64_t advised = size / kHugePageBytes * kHugePageBytes;
  (void)madvise(block, static_cast<std::size_t>(advised), MADV_HUGEPAGE);
  return block;
}
