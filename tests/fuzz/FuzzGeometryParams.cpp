// The stored parameter blocks of the geometric warps, read as history steps
// and automation schemes read them, then run on a small picture.
//
// Input: u8 kind (0 rotation, 1 barrel correction, 2 shape transform), u8
// source width and u8 source height (each 1 + value % 16), then the stored
// block. The shape transform's target, which its block sizes, is held to
// 48 x 48 pixels so that a run stays short; its corners, step and every
// angle and amount are taken as stored.

#include <cstddef>
#include <cstdint>

#include "algorithms/geometry/BarrelDistort.h"
#include "algorithms/geometry/Rotate.h"
#include "algorithms/geometry/ShapeTransform.h"
#include "image/BgraImage16.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr std::int32_t kShapeSide = 49;

CBgraImage16 Picture(std::uint32_t w, std::uint32_t h) {
  CBgraImage16 image;
  FuzzCheck(image.Create(w, h) != 0, "the picture is made");
  std::uint32_t state = w * 131 + h;
  for (std::uint16_t& s : image.Samples()) {
    state = state * 1664525u + 1013904223u;
    s = static_cast<std::uint16_t>(state >> 16);
  }
  return image;
}

int Run(CAlgorithm& warp, CBgraImage16& source, CBgraImage16& target, const void* block) {
  warp.m_source = &source;
  warp.m_target = &target;
  warp.m_params = block;
  return warp.Process();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzBytes input(data, size);
  const std::uint8_t kind = input.U8() % 3;
  const std::uint32_t w = input.U8() % 16 + 1, h = input.U8() % 16 + 1;
  CBgraImage16 source = Picture(w, h);
  CBgraImage16 target;
  switch (kind) {
    case 0: {
      RotateParams block;
      if (!RotateParamsFromBytes(input.Rest(), block)) return 0;
      CRotate rotate;
      if (Run(rotate, source, target, &block))
        FuzzCheck(target.width <= w + h && target.height <= w + h, "the canvas holds the turned picture");
      break;
    }
    case 1: {
      BarrelDistortParams block;
      if (!BarrelDistortParamsFromBytes(input.Rest(), block)) return 0;
      CBarrelDistort barrel;
      if (Run(barrel, source, target, &block))
        FuzzCheck(target.width <= w && target.height <= h, "the correction keeps or crops the picture");
      break;
    }
    default: {
      ShapeTransformParams block;
      if (!ShapeTransformParamsFromBytes(input.Rest(), block)) return 0;
      block.targetWidth %= kShapeSide;
      block.targetHeight %= kShapeSide;
      CShapeTransform shape;
      if (Run(shape, source, target, &block))
        FuzzCheck(target.width == static_cast<std::uint32_t>(block.targetWidth) &&
                      target.height == static_cast<std::uint32_t>(block.targetHeight),
                  "the target has the block's size");
      break;
    }
  }
  return 0;
}
