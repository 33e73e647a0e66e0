#include "image/Plane8.h"

#include <algorithm>
#include <cstring>

int CPlane8::Create(std::uint32_t newWidth, std::uint32_t newHeight) {
  newWidth = std::max(newWidth, 1u);
  newHeight = std::max(newHeight, 1u);
  if (pixels && width == newWidth && height == newHeight) return 1;
  Free();
  return Allocate(newWidth, newHeight) ? 1 : 0;
}

void CPlane8::Free() {
  block.reset();
  pixels = nullptr;
}

int CPlane8::CopyFrom(const CPlane8& other) {
  if (&other == this) return 1;
  if (!other.pixels) {
    Free();
    width = other.width;
    height = other.height;
    byteSize = other.byteSize;
    pixelCount = other.pixelCount;
    return 1;
  }
  if (!Create(other.width, other.height)) return 0;
  std::memcpy(pixels, other.pixels, byteSize);
  return 1;
}
