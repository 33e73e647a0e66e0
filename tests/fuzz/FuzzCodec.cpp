#include "tests/fuzz/FuzzCodec.h"

#include <span>

#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecMemStream.h"
#include "tests/fuzz/FuzzSupport.h"

void FuzzCodecDecode(const std::uint8_t* data, std::size_t size, CodecFormat format) {
  CCodecMemStream stream(std::span<const std::uint8_t>(data, size));
  CCodecImage image;
  if (!image.Decode(stream, format)) return;
  FuzzCheck(!image.IsEmpty(), "a decoded image has pixels");

  CCodecMemStream encoded;
  if (!image.Encode(encoded, format)) return;
  CCodecMemStream again(encoded.Bytes());
  CCodecImage back;
  FuzzCheck(back.Decode(again, format), "an encoded image decodes");
  FuzzCheck(back.GetWidth() == image.GetWidth() && back.GetHeight() == image.GetHeight(),
            "a round trip keeps the size");
}
