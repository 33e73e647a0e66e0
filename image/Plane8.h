#pragma once
// CPlane8: one byte per pixel; selections, masks, marks and alpha planes.
// As a mask, 0 is outside and 255 fully inside.

#include <cstdint>

#include "image/PixelRecord.h"

struct CBgraImage;

struct CPlane8 : PixelRecord<std::uint8_t, 1> {
  // A zero side counts as 1. On failure pixels stays null and the old
  // width, height and byteSize stay in the record.
  int Create(std::uint32_t newWidth, std::uint32_t newHeight);
  // Releases the block; the size fields are left as they were.
  void Free();

  // Plane operations (PlaneOps.cpp).
  int CopyChannel(const CBgraImage& source, int channel);
  void AddPlane(const CPlane8& other);
  void SubtractPlane(const CPlane8& other);
  int ResizeTo(CPlane8& target, std::uint32_t targetWidth, std::uint32_t targetHeight) const;
  // A copy of other (same size and bytes); 0 when memory is exhausted.
  int CopyFrom(const CPlane8& other);
};
