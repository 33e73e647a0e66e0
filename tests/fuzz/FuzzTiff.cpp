// TIFF data from outside: the codec image's decoder over a memory stream,
// for the page the first input byte names (0 to 3) of a multi-page file.

#include <cstddef>
#include <cstdint>

#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecMemStream.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzBytes input(data, size);
  const std::int32_t page = input.U8() & 3;
  CCodecMemStream stream(input.Rest());
  CCodecImage image;
  image.attributes.frameIndex = page;
  if (image.Decode(stream, CodecFormat::Tiff)) {
    FuzzCheck(!image.IsEmpty(), "a decoded image has pixels");
    FuzzCheck(page < image.attributes.frameCount, "the page read is one of the file's pages");
  }
  return 0;
}
