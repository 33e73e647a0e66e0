#include "document/RotateImage.h"

#include <utility>

#include "document/TransformPixels.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

namespace {

template <typename Image>
[[nodiscard]] int RotateRight(const Image& image, Image& result) {
  const std::uint32_t h = image.height;
  return TransformPixels(image, result, image.height, image.width, [h](std::uint32_t x, std::uint32_t y) {
    return std::pair{y, h - 1 - x};
  });
}

template <typename Image>
[[nodiscard]] int RotateLeft(const Image& image, Image& result) {
  const std::uint32_t w = image.width;
  return TransformPixels(image, result, image.height, image.width, [w](std::uint32_t x, std::uint32_t y) {
    return std::pair{w - 1 - y, x};
  });
}

}  // namespace

int RotateImageRight(CBgraImage16& image) { return RotateRight(image, image); }
int RotateImageLeft(CBgraImage16& image) { return RotateLeft(image, image); }
int RotatePlaneRight(CPlane8& plane) { return RotateRight(plane, plane); }
int RotatePlaneLeft(CPlane8& plane) { return RotateLeft(plane, plane); }
int RotateImageRight(const CBgraImage16& source, CBgraImage16& result) { return RotateRight(source, result); }
int RotateImageLeft(const CBgraImage16& source, CBgraImage16& result) { return RotateLeft(source, result); }
int RotatePlaneRight(const CPlane8& source, CPlane8& result) { return RotateRight(source, result); }
int RotatePlaneLeft(const CPlane8& source, CPlane8& result) { return RotateLeft(source, result); }
