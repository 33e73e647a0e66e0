// BMP data from outside, through the shared codec body (FuzzCodec.h).

#include "tests/fuzz/FuzzCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzCodecDecode(data, size, CodecFormat::Bmp);
  return 0;
}
