#pragma once
// The ZSoft PCX codec.
//
// Decoding reads run-length coded files of one plane of 1, 2, 4 or 8 bits,
// of up to 4 planes of 1 bit (16 colours), and of 3 or 4 planes of 8 bits
// (R, G, B and alpha). The header must describe a picture of at least one
// pixel whose lines hold every pixel (bytes per line at least
// (width x bits + 7) / 8). Runs may cross line ends but not the end of the
// picture.
//
// Encoding writes 1- and 4-bit images as 1-bit planes (for a 1-bit image the
// darker colour becomes index 0), 8-bit images as one plane with the
// 256-colour palette after the data, and 24-bit images as 3 planes, 4 with
// an alpha plane.

#include "image/codecs/CodecImage.h"

class CCodecStream;

class CCodecImagePCX final : public CCodecImage {
public:
  CCodecImagePCX() : CCodecImage(CodecFormat::Pcx) {}

  [[nodiscard]] bool Decode(CCodecStream& stream);
  [[nodiscard]] bool Encode(CCodecStream& stream);
};
