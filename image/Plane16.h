#pragma once
// CPlane16: one u16 per pixel; matting and mask tools.

#include <cstdint>

#include "image/PixelRecord.h"

struct CBgraImage16;

struct CPlane16 : PixelRecord<std::uint16_t, 1> {
  // Unlike the other containers a zero side is kept: the plane then has no
  // pixels and the call still succeeds.
  [[nodiscard]] int Create(std::uint32_t newWidth, std::uint32_t newHeight);
  void Free();

  // Sizes the plane to the source and copies channel 0 (B), 1 (G), 2 (R) or
  // 3 (A) (PlaneOps.cpp); 0 for an empty source or another channel.
  [[nodiscard]] int CopyChannel(const CBgraImage16& source, int channel);
};
