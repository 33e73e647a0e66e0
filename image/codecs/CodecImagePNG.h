#pragma once
// The PNG codec, through libpng 1.6 with callbacks on the codec stream.
//
// Decoding maps every PNG layout onto the codec image: palette and grey files
// of up to 8 bits per sample stay palette images (2-bit samples widened to 4
// bits), everything else becomes 24-bit B, G, R. Files with an alpha channel
// (grey or RGB, 8 or 16 bits) become 24-bit with their alpha in the alpha
// plane; a tRNS colour of other grey and RGB files is composited over their
// bKGD colour, or over grey 192 (black for grey files). A palette's tRNS
// entries go to the palette's fourth bytes.
//
// Encoding writes palette images as palette files (the transparent index
// moved to 0 in the file, one tRNS entry), images with an alpha plane or a
// transparent colour as 8-bit RGBA, and the rest as RGB. The caller's image is
// never changed. No gamma, resolution or text chunks are read or written.

#include <cstdint>
#include <span>

#include "image/codecs/CodecImage.h"

class CCodecStream;

class CCodecImagePNG final : public CCodecImage {
public:
  CCodecImagePNG() : CCodecImage(CodecFormat::Png) {}

  // False with the reason in lastError (libpng's own text for damaged files).
  [[nodiscard]] bool Decode(CCodecStream& stream);
  // False with "Error saving PNG file" when libpng or the stream fails.
  [[nodiscard]] bool Encode(CCodecStream& stream);

  // Widens the first width 2-bit samples of row to 4-bit samples in place,
  // last pixel first; values are unchanged. row must hold (width + 1) / 2
  // bytes.
  static void ExpandTwoBitRow(std::span<std::uint8_t> row, std::uint32_t width);
};
