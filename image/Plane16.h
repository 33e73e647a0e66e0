#pragma once
// CPlane16: one u16 per pixel; matting and mask tools.

#include <cstdint>

#include "image/PixelRecord.h"

struct CBgraImage16;

struct CPlane16 : PixelRecord<std::uint16_t, 1> {
  // Unlike the other containers a zero side is kept: the plane then has no
  // pixels and the call still succeeds.
  int Create(std::uint32_t newWidth, std::uint32_t newHeight);
  void Free();

  int CopyChannel(const CBgraImage16& source, int channel);
};
