#pragma once
// The Truevision TGA codec.
//
// Decoding reads colour-mapped (8-bit indices), true-colour (15, 16, 24 and
// 32 bits) and grey (8 bits, or 16 bits of grey and alpha) files, raw or
// run-length coded. Index and grey files become 8-bit palette images, the
// rest 24-bit; 32-bit pixels and grey-and-alpha pixels carry their alpha into
// the alpha plane, and so do 16-bit pixels (bit 15) when the descriptor
// declares an attribute bit. A colour map of any length and entry size is
// consumed whole; its first 256 entries become the palette. Run-length
// packets may run on into the next row.
//
// Encoding writes 8-bit images as 256-entry colour-mapped files and 24-bit
// images as true colour, 32 bits when there is an alpha plane (scaled by
// alphaMax), rows bottom-up, uncompressed.

#include "image/codecs/CodecImage.h"

class CCodecStream;

class CCodecImageTGA final : public CCodecImage {
public:
  CCodecImageTGA() : CCodecImage(CodecFormat::Tga) {}

  [[nodiscard]] bool Decode(CCodecStream& stream);
  [[nodiscard]] bool Encode(CCodecStream& stream);
};
