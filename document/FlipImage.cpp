#include "document/FlipImage.h"

#include <utility>

#include "document/TransformPixels.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

namespace {

template <typename Image>
int FlipHorizontal(Image& image) {
  const std::uint32_t w = image.width;
  return TransformPixels(image, image.width, image.height,
                         [w](std::uint32_t x, std::uint32_t y) { return std::pair{w - 1 - x, y}; });
}

template <typename Image>
int FlipVertical(Image& image) {
  const std::uint32_t h = image.height;
  return TransformPixels(image, image.width, image.height,
                         [h](std::uint32_t x, std::uint32_t y) { return std::pair{x, h - 1 - y}; });
}

}  // namespace

int FlipImageHorizontal(CBgraImage16& image) { return FlipHorizontal(image); }
int FlipImageVertical(CBgraImage16& image) { return FlipVertical(image); }
int FlipPlaneHorizontal(CPlane8& plane) { return FlipHorizontal(plane); }
int FlipPlaneVertical(CPlane8& plane) { return FlipVertical(plane); }
