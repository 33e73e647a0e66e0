#include "document/RotateImage.h"

#include <utility>

#include "document/TransformPixels.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

namespace {

template <typename Image>
int RotateRight(Image& image) {
  const std::uint32_t h = image.height;
  return TransformPixels(image, image.height, image.width,
                         [h](std::uint32_t x, std::uint32_t y) { return std::pair{y, h - 1 - x}; });
}

template <typename Image>
int RotateLeft(Image& image) {
  const std::uint32_t w = image.width;
  return TransformPixels(image, image.height, image.width,
                         [w](std::uint32_t x, std::uint32_t y) { return std::pair{w - 1 - y, x}; });
}

}  // namespace

int RotateImageRight(CBgraImage16& image) { return RotateRight(image); }
int RotateImageLeft(CBgraImage16& image) { return RotateLeft(image); }
int RotatePlaneRight(CPlane8& plane) { return RotateRight(plane); }
int RotatePlaneLeft(CPlane8& plane) { return RotateLeft(plane); }
