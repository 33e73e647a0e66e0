#pragma once
// Memory for large buffers: whole images, planes and the like. The first
// write to fresh memory costs a page fault per page; on a virtual machine
// that is tens of microseconds per 4 KiB page, most of the time an
// operation spends filling a new image. A block of kHugePageBytes or more
// therefore starts on a huge-page boundary and asks the kernel for
// transparent huge pages, one fault per 2 MiB. Smaller blocks come from
// malloc. Every block, however it was made, is released with std::free.

#include <cstdint>

// The size of a transparent huge page on x86-64, and the block size from
// which AllocLargeBlock asks for them.
inline constexpr std::uint64_t kHugePageBytes = std::uint64_t{2} << 20;

// A new block of size bytes, aligned to at least 16 bytes, or null when size
// is 0 or memory is exhausted. Never throws.
[[nodiscard]] void* AllocLargeBlock(std::uint64_t size);
