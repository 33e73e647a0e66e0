#include "document/CropImage.h"

#include <algorithm>
#include <utility>

#include "document/TransformPixels.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

namespace {

template <typename Image>
[[nodiscard]] int Crop(const Image& image, const InclusiveRect& rectangle, Image& result) {
  if (image.IsEmpty()) return 0;
  const InclusiveRect r = rectangle.Normalised();
  const std::int64_t left = std::max<std::int64_t>(r.left, 0);
  const std::int64_t top = std::max<std::int64_t>(r.top, 0);
  const std::int64_t right = std::min<std::int64_t>(r.right, std::int64_t{image.width} - 1);
  const std::int64_t bottom = std::min<std::int64_t>(r.bottom, std::int64_t{image.height} - 1);
  if (right < left || bottom < top) return 0;
  const auto x0 = static_cast<std::uint32_t>(left), y0 = static_cast<std::uint32_t>(top);
  return TransformPixels(image, result, static_cast<std::uint32_t>(right - left + 1),
                         static_cast<std::uint32_t>(bottom - top + 1),
                         [x0, y0](std::uint32_t x, std::uint32_t y) {
                           return std::pair{x0 + x, y0 + y};
                         });
}

}  // namespace

int CropImage(CBgraImage16& image, const InclusiveRect& rectangle) { return Crop(image, rectangle, image); }
int CropPlane(CPlane8& plane, const InclusiveRect& rectangle) { return Crop(plane, rectangle, plane); }
int CropImage(const CBgraImage16& source, const InclusiveRect& rectangle, CBgraImage16& result) {
  return Crop(source, rectangle, result);
}
int CropPlane(const CPlane8& source, const InclusiveRect& rectangle, CPlane8& result) {
  return Crop(source, rectangle, result);
}
