// PNG data from outside: the codec image's decoder over a memory stream.
// A decoded image is encoded again and must decode to the same size.

#include <cstddef>
#include <cstdint>
#include <span>

#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecMemStream.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CCodecMemStream stream(std::span<const std::uint8_t>(data, size));
  CCodecImage image;
  if (!image.Decode(stream, CodecFormat::Png)) return 0;
  FuzzCheck(!image.IsEmpty(), "a decoded image has pixels");

  CCodecMemStream encoded;
  FuzzCheck(image.Encode(encoded, CodecFormat::Png), "a decoded image encodes again");
  CCodecMemStream again(encoded.Bytes());
  CCodecImage back;
  FuzzCheck(back.Decode(again, CodecFormat::Png), "an encoded image decodes");
  FuzzCheck(back.GetWidth() == image.GetWidth() && back.GetHeight() == image.GetHeight(),
            "a round trip keeps the size");
  return 0;
}
