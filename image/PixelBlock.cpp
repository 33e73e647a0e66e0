#include "image/PixelBlock.h"

#include "platform/LargeAllocation.h"

PixelBlock AllocPixelBlock(std::uint64_t size) {
  return PixelBlock(static_cast<std::uint8_t*>(AllocLargeBlock(size)));
}

std::uint64_t PixelByteCount(std::uint64_t width, std::uint64_t height, std::uint32_t bytesPerPixel) {
  if (width == 0 || height == 0 || width > kMaxImagePixels || height > kMaxImagePixels) return 0;
  const std::uint64_t count = width * height;  // both at most 4e8: no overflow
  return count > kMaxImagePixels ? 0 : count * bytesPerPixel;
}
