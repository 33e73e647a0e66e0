// Stored skin-clean blocks (history and automation-scheme steps), read as
// the scheme runner reads them and run on a small picture with a skin-
// coloured disc: whatever the block holds, the run succeeds and keeps the
// picture's size.

#include <cstddef>
#include <cstdint>
#include <span>

#include "filters/SkinClean.h"
#include "image/BgraImage16.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

const CBgraImage16& Picture() {
  static const CBgraImage16 picture = [] {
    CBgraImage16 image;
    FuzzCheck(image.Create(40, 30), "the picture is made");
    for (std::uint32_t y = 0; y < image.height; ++y) {
      for (std::uint32_t x = 0; x < image.width; ++x) {
        std::uint16_t* p = image.At(x, y);
        const bool skin = (x - 20) * (x - 20) + (y - 15) * (y - 15) <= 100;
        const auto grain = static_cast<std::uint16_t>((x * 7 + y * 13) % 11 * 150);
        p[0] = static_cast<std::uint16_t>((skin ? 12000 : 40000) + grain);
        p[1] = static_cast<std::uint16_t>((skin ? 18000 : 10000) + grain);
        p[2] = static_cast<std::uint16_t>((skin ? 30000 : 5000) + grain);
        p[3] = 65535;
      }
    }
    return image;
  }();
  return picture;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SkinCleanParams block;
  if (!SkinCleanParamsFromBytes(std::span(data, size), block)) return 0;
  CSkinClean skin;
  skin.PinGrainSeed(1);
  CBgraImage16 target;
  skin.m_source = const_cast<CBgraImage16*>(&Picture());
  skin.m_target = &target;
  skin.m_params = &block;
  FuzzCheck(skin.Process() == 1, "the skin clean runs");
  FuzzCheck(target.width == Picture().width && target.height == Picture().height, "the size is kept");
  return 0;
}
