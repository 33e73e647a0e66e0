// Pasted clipboard bitmaps: the first byte chooses Dib (even) or DibV5
// (odd), the rest is the block. A picture read has the header's sides and
// nothing is read outside the block.

#include <cstddef>
#include <cstdint>
#include <span>

#include "image/BgraImage.h"
#include "platform/LittleEndian.h"
#include "tests/fuzz/FuzzSupport.h"
#include "ui/ClipboardPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::span<const std::uint8_t> block(data + 1, size - 1);
  CBgraImage picture;
  if (DecodeClipboardDib(block, (data[0] & 1) != 0, picture) != ClipboardPictureResult::Read) {
    FuzzCheck(picture.IsEmpty(), "a refused block leaves the picture alone");
    return 0;
  }
  const auto width = static_cast<std::int64_t>(static_cast<std::int32_t>(LoadLE32(block.data() + 4)));
  const auto height = static_cast<std::int64_t>(static_cast<std::int32_t>(LoadLE32(block.data() + 8)));
  FuzzCheck(picture.width == static_cast<std::uint64_t>(width < 0 ? -width : width) &&
                picture.height == static_cast<std::uint64_t>(height < 0 ? -height : height),
            "the picture has the header's sides");
  return 0;
}
