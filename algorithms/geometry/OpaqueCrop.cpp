#include "algorithms/geometry/OpaqueCrop.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

// The centred rectangle of half-size e; one pixel at the least each way.
Rect RectOfHalfSize(std::int64_t w, std::int64_t h, double e, double d) {
  const auto side = [e, d](std::int64_t n) {
    const double reach = static_cast<double>(n) * e / d;
    const double middle = static_cast<double>(n / 2);
    std::int64_t lo = std::max<std::int64_t>(0, static_cast<std::int64_t>(middle - reach + 0.5));
    std::int64_t hi = std::min<std::int64_t>(n, static_cast<std::int64_t>(middle + 0.5 + reach));
    lo = std::min(lo, n - 1);
    hi = std::max(hi, lo + 1);
    return std::pair{static_cast<std::int32_t>(lo), static_cast<std::int32_t>(hi)};
  };
  const auto [left, right] = side(w);
  const auto [top, bottom] = side(h);
  return {left, top, right, bottom};
}

bool Opaque(const CBgraImage16& image, std::int32_t x, std::int32_t y) {
  return image.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y))[3] != 0;
}

bool Passes(const CBgraImage16& image, const Rect& r, OpaqueTest test) {
  const std::int32_t lastX = r.right - 1, lastY = r.bottom - 1;
  if (!Opaque(image, r.left, r.top) || !Opaque(image, lastX, r.top) || !Opaque(image, r.left, lastY) ||
      !Opaque(image, lastX, lastY)) {
    return false;
  }
  if (test == OpaqueTest::kCorners) return true;
  const std::int32_t midX = (r.left + r.right) / 2, midY = (r.top + r.bottom) / 2;
  return Opaque(image, r.left, midY) && Opaque(image, lastX, midY) && Opaque(image, midX, r.top) &&
         Opaque(image, midX, lastY);
}

}  // namespace

Rect OpaqueCropRect(const CBgraImage16& image, OpaqueTest test) {
  if (image.IsEmpty()) return {};
  const std::int64_t w = image.width, h = image.height;
  const double d = std::sqrt(static_cast<double>(h * h + w * w));
  double lo = 0.0, hi = d, e = d / 2;
  Rect rect;
  do {
    rect = RectOfHalfSize(w, h, e, d);
    if (Passes(image, rect, test)) {
      lo = e;
      e = (e + hi) / 2;
    } else {
      hi = e;
      e = (e + lo) / 2;
    }
  } while (hi - lo > 1);
  return rect;
}

int CropImage(CBgraImage16& image, const Rect& rect) {
  if (image.IsEmpty() || rect.IsEmpty() || rect.left < 0 || rect.top < 0 ||
      static_cast<std::uint32_t>(rect.right) > image.width ||
      static_cast<std::uint32_t>(rect.bottom) > image.height) {
    return 0;
  }
  if (rect == Rect{0, 0, static_cast<std::int32_t>(image.width), static_cast<std::int32_t>(image.height)})
    return 1;
  CBgraImage16 cropped;
  if (!cropped.Create(static_cast<std::uint32_t>(rect.Width()), static_cast<std::uint32_t>(rect.Height())))
    return 0;
  const std::size_t rowBytes = cropped.Stride() * sizeof(std::uint16_t);
  for (std::int32_t y = rect.top; y < rect.bottom; ++y) {
    std::memcpy(cropped.Row(static_cast<std::uint32_t>(y - rect.top)),
                image.At(static_cast<std::uint32_t>(rect.left), static_cast<std::uint32_t>(y)), rowBytes);
  }
  image = std::move(cropped);
  return 1;
}
