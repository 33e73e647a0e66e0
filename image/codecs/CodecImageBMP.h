#pragma once
// The BMP codec: a 14-byte file header followed by the codec image's packed
// bitmap, which already has the file's layout.

#include "image/codecs/CodecImage.h"

class CCodecStream;

class CCodecImageBMP final : public CCodecImage {
public:
  CCodecImageBMP() : CCodecImage(CodecFormat::Bmp) {}

  // False for an empty image or when the stream takes fewer bytes than given.
  bool Encode(CCodecStream& stream);
};
