#include "image/Plane16.h"

int CPlane16::Create(std::uint32_t newWidth, std::uint32_t newHeight) {
  if (pixels && width == newWidth && height == newHeight) return 1;
  Free();
  if (newWidth == 0 || newHeight == 0) {
    // A plane of no pixels: a bare 16-byte block, as callers expect.
    PixelBlock bare = AllocPixelBlock(16);
    if (!bare) return 0;
    pixels = reinterpret_cast<std::uint16_t*>(AlignedPixels(bare.get()));
    block = std::move(bare);
    width = newWidth;
    height = newHeight;
    byteSize = pixelCount = 0;
    return 1;
  }
  return Allocate(newWidth, newHeight) ? 1 : 0;
}

void CPlane16::Free() {
  block.reset();
  pixels = nullptr;
}
