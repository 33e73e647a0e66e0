#include "document/FlipImage.h"

#include <utility>

#include "document/TransformPixels.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

namespace {

template <typename Image>
[[nodiscard]] int FlipHorizontal(const Image& image, Image& result) {
  const std::uint32_t w = image.width;
  return TransformPixels(image, result, image.width, image.height, [w](std::uint32_t x, std::uint32_t y) {
    return std::pair{w - 1 - x, y};
  });
}

template <typename Image>
[[nodiscard]] int FlipVertical(const Image& image, Image& result) {
  const std::uint32_t h = image.height;
  return TransformPixels(image, result, image.width, image.height, [h](std::uint32_t x, std::uint32_t y) {
    return std::pair{x, h - 1 - y};
  });
}

}  // namespace

int FlipImageHorizontal(CBgraImage16& image) { return FlipHorizontal(image, image); }
int FlipImageVertical(CBgraImage16& image) { return FlipVertical(image, image); }
int FlipPlaneHorizontal(CPlane8& plane) { return FlipHorizontal(plane, plane); }
int FlipPlaneVertical(CPlane8& plane) { return FlipVertical(plane, plane); }
int FlipImageHorizontal(const CBgraImage16& source, CBgraImage16& result) {
  return FlipHorizontal(source, result);
}
int FlipImageVertical(const CBgraImage16& source, CBgraImage16& result) {
  return FlipVertical(source, result);
}
int FlipPlaneHorizontal(const CPlane8& source, CPlane8& result) { return FlipHorizontal(source, result); }
int FlipPlaneVertical(const CPlane8& source, CPlane8& result) { return FlipVertical(source, result); }
