// Bitmap blocks of the clipboard: what ReadDibBlock accepts has the sides
// its header gives, and the block the program makes of the picture reads
// back pixel for pixel.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "image/BgraImage.h"
#include "platform/LittleEndian.h"
#include "tests/fuzz/FuzzSupport.h"
#include "ui/ClipboardBlocks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CBgraImage picture;
  if (!ReadDibBlock(std::span<const std::uint8_t>(data, size), picture)) return 0;
  const auto height = static_cast<std::int32_t>(LoadLE32(data + 8));
  FuzzCheck(picture.width == LoadLE32(data + 4) &&
                picture.height == (height < 0 ? 0u - static_cast<std::uint32_t>(height)
                                              : static_cast<std::uint32_t>(height)),
            "the picture has the header's sides");
  const std::vector<std::uint8_t> block = MakeDibBlock(picture);
  CBgraImage back;
  FuzzCheck(ReadDibBlock(block, back) && back.width == picture.width && back.height == picture.height &&
                std::equal(back.Samples().begin(), back.Samples().end(), picture.Samples().begin()),
            "the program's block reads back");
  return 0;
}
