// The raw 24-bit picture file (u32 width, u32 height, rows of B, G, R). A
// picture that was read is saved and must read back with the same colours
// (rows missing from a short file are cleared, alpha included, so alpha is
// not compared).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "image/BgraImage.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto path = FuzzScratchFile("picture.raw");
  WriteFuzzFile(path, std::span<const std::uint8_t>(data, size));
  CBgraImage image;
  if (!image.LoadRawBgr(path)) {
    FuzzCheck(image.IsEmpty(), "a refused file leaves the image as it was");
    return 0;
  }
  const auto copy = FuzzScratchFile("copy.raw");
  FuzzCheck(image.SaveRawBgr(copy), "a picture that was read can be saved");
  CBgraImage back;
  FuzzCheck(back.LoadRawBgr(copy) && back.width == image.width && back.height == image.height,
            "a saved picture reads back at its size");
  bool same = true;
  for (std::size_t i = 0; i < 4 * std::size_t{image.pixelCount}; i += 4) {
    same = same && std::memcmp(back.pixels + i, image.pixels + i, 3) == 0;
  }
  FuzzCheck(same, "a saved picture reads back with its colours");
  return 0;
}
