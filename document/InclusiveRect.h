#pragma once
// A rectangle whose right column and bottom row belong to it, as the crop
// tools hand it over; Rect (platform/Rect.h) is the exclusive form.

#include <algorithm>
#include <cstdint>

struct InclusiveRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  // Left/right and top/bottom swapped where reversed.
  InclusiveRect Normalised() const {
    return {std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
  }
  std::int64_t Width() const { return std::int64_t{right} - left + 1; }
  std::int64_t Height() const { return std::int64_t{bottom} - top + 1; }
  bool operator==(const InclusiveRect&) const = default;
};
