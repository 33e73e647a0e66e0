#pragma once
// The one source of pixel memory. Every container asks for its pixel bytes
// plus 16 and starts its pixels at the first 16-byte boundary after the
// block's start. Sizes are computed in 64 bits against one limit, because
// callers pass sides read from files.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>

#include "platform/LargeAllocation.h"

// std::free releases every block: AllocPixelBlock's, small or large (see
// platform/LargeAllocation.h), and the malloc blocks a memory stream hands over.
struct PixelBlockFree {
  void operator()(std::uint8_t* block) const noexcept { std::free(block); }
};
using PixelBlock = std::unique_ptr<std::uint8_t[], PixelBlockFree>;

// The largest image or plane the system makes: 20000 x 20000 pixels. Even a
// 16-bit image of that size keeps its byte count within the u32 size fields.
// Pictures loaded from files are also held to kMaxImageSide on each side.
inline constexpr std::uint32_t kMaxImageSide = 20000;
inline constexpr std::uint64_t kMaxImagePixels = std::uint64_t{kMaxImageSide} * kMaxImageSide;

// A new block of size bytes, or null when memory is exhausted. Never throws.
// A block of 2 MiB or more starts on a huge-page boundary and is backed by
// transparent huge pages where the kernel grants them, so filling a new image
// faults once per 2 MiB instead of once per 4 KiB.
[[nodiscard]] PixelBlock AllocPixelBlock(std::uint64_t size);

// Width x height x bytesPerPixel, or 0 when the pixel count is above
// kMaxImagePixels (a zero side also gives 0).
[[nodiscard]] std::uint64_t PixelByteCount(std::uint64_t width, std::uint64_t height,
                                           std::uint32_t bytesPerPixel);

// The first 16-byte boundary after the start of block (1 to 16 bytes in).
inline std::uint8_t* AlignedPixels(std::uint8_t* block) {
  return reinterpret_cast<std::uint8_t*>((reinterpret_cast<std::uintptr_t>(block) + 16) &
                                         ~std::uintptr_t{15});
}

// A working array of count elements sized per call (tables, row and column
// buffers), or null when memory is exhausted. Never throws.
template <typename T>
[[nodiscard]] std::unique_ptr<T[]> AllocWorkArray(std::uint64_t count) {
  if (count == 0 || count > SIZE_MAX / sizeof(T)) return nullptr;
  return std::unique_ptr<T[]>(new (std::nothrow) T[static_cast<std::size_t>(count)]);
}

struct LargeArrayFree {
  void operator()(const void* block) const noexcept { std::free(const_cast<void*>(block)); }
};
template <typename T>
using LargeArray = std::unique_ptr<T[], LargeArrayFree>;

// A working array of plain values as large as a picture (a plane of
// doubles, compressed pixel data), from the same memory as pixel blocks so
// a large one is backed by huge pages. The values start undefined, as with
// AllocWorkArray. Null when count is 0 or memory is exhausted.
template <typename T>
[[nodiscard]] LargeArray<T> AllocLargeArray(std::uint64_t count) {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
  if (count == 0 || count > SIZE_MAX / sizeof(T)) return nullptr;
  return LargeArray<T>(static_cast<T*>(AllocLargeBlock(count * sizeof(T))));
}
