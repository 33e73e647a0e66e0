// JPEG data from outside: the BGRA decoder of the image-file layer, the codec
// image's full and DC-only decoders over a memory stream, and the lossless
// rotation of a file (by 90, 180 or 270 degrees after the input's length).

#include <cstddef>
#include <cstdint>
#include <span>

#include "image/BgraImage.h"
#include "image/ImageCodec.h"
#include "image/PixelBlock.h"
#include "image/codecs/CodecImageJPG.h"
#include "image/codecs/CodecMemStream.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);

  CBgraImage image;
  if (DecodeJpegFromMemory(input, image)) {
    FuzzCheck(!image.IsEmpty() && image.width <= kMaxImageSide && image.height <= kMaxImageSide,
              "a decoded picture has pixels within the side limit");
  } else {
    FuzzCheck(image.IsEmpty(), "a failed decode leaves the image as it was");
  }

  {
    CCodecMemStream stream(input);
    CCodecImageJPG codec;
    if (codec.Decode(stream)) FuzzCheck(!codec.IsEmpty(), "a decoded picture has pixels");
  }
  {
    CCodecMemStream stream(input);
    CCodecImageJPG codec;
    if (codec.DecodeJpegDcOnly(stream)) FuzzCheck(!codec.IsEmpty(), "a decoded picture has pixels");
  }

  const auto path = FuzzScratchFile("turn.jpg");
  WriteFuzzFile(path, input);
  // Turned or refused, either is right for damaged input.
  static_cast<void>(RotateJpegLossless(path, static_cast<int>(size % 3) + 1));
  return 0;
}
