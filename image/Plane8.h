#pragma once
// CPlane8: one byte per pixel; selections, masks, marks and alpha planes.
// As a mask, 0 is outside and 255 fully inside.

#include <cstdint>

#include "image/PixelRecord.h"

struct CBgraImage;

struct CPlane8 : PixelRecord<std::uint8_t, 1> {
  // A zero side counts as 1. On failure pixels stays null and the old
  // width, height and byteSize stay in the record.
  [[nodiscard]] int Create(std::uint32_t newWidth, std::uint32_t newHeight);
  // Releases the block; the size fields are left as they were.
  void Free();

  // Plane operations (PlaneOps.cpp). CopyChannel sizes the plane to the
  // source and copies channel 0 (B), 1 (G), 2 (R) or 3 (A); 0 for an empty
  // source, another channel or exhausted memory.
  [[nodiscard]] int CopyChannel(const CBgraImage& source, int channel);
  // Union (p + (255 - p) q / 255) and difference (p - p q / 255) of two masks,
  // byte by byte where q is non-zero. When this plane is empty or of another
  // size it becomes a copy of other; 0 only when that copy fails.
  [[nodiscard]] int AddPlane(const CPlane8& other);
  [[nodiscard]] int SubtractPlane(const CPlane8& other);
  // Bilinear resize (Resample.cpp), weights complements to 255 as in
  // ResizeBgraBilinear; sizes the target (a zero side counts as 1).
  [[nodiscard]] int ResizeTo(CPlane8& target, std::uint32_t targetWidth, std::uint32_t targetHeight) const;
  // A copy of other (same size and bytes); 0 when memory is exhausted.
  [[nodiscard]] int CopyFrom(const CPlane8& other);
};
