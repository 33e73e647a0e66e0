#pragma once
// The wireless bitmap codec (WBMP type 0): a header of type 0, a fixed header
// byte 0, width and height as multi-byte integers (seven bits per byte, high
// bit set on all but the last), then rows from the top of (width + 7) / 8
// bytes, most significant bit first, 1 white and 0 black.
//
// Decoding gives a 1-bit image with palette black, white. Encoding takes
// 1-bit images of at most 255 x 255 pixels and writes the lighter palette
// colour as 1.

#include "image/codecs/CodecImage.h"

class CCodecStream;

class CCodecImageWBMP final : public CCodecImage {
public:
  CCodecImageWBMP() : CCodecImage(CodecFormat::Wbmp) {}

  [[nodiscard]] bool Decode(CCodecStream& stream);
  [[nodiscard]] bool Encode(CCodecStream& stream);
};
