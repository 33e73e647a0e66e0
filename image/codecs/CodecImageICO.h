#pragma once
// The Windows icon codec.
//
// Decoding reads the image of frameIndex from the icon directory and reports
// the number of images in frameCount. The image's own information header
// gives its width, height (half the header's) and bit count (1, 4, 8, 24 or
// 32; uncompressed); then come the palette, the pixel rows bottom-up (32-bit
// pixels B, G, R, alpha, kept in the alpha plane) and the AND mask, whose set
// bits make their pixels transparent. An image without its own alpha whose
// mask has no set bit gets no alpha plane. Pixel rows that the file does not
// hold in full and images stored as PNG are refused; a short mask is
// applied as far as it goes. Images above the size limits (attributes.maxSide
// and kMaxImagePixels) fail with "Image too large".
//
// Encoding writes a one-image icon: the image's own bit count, or 32 bits
// for a 24-bit image with an alpha plane, and an AND mask marking the pixels
// that are transparent by the alpha plane, by the palette's alpha or by the
// transparent colour. Sides above 255 are refused.

#include "image/codecs/CodecImage.h"

class CCodecStream;

class CCodecImageICO final : public CCodecImage {
public:
  CCodecImageICO() : CCodecImage(CodecFormat::Ico) {}

  // False with the reason in lastError; frameCount is set once the
  // directory was read.
  [[nodiscard]] bool Decode(CCodecStream& stream);
  // False with the reason in lastError.
  [[nodiscard]] bool Encode(CCodecStream& stream);
};
