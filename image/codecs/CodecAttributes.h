#pragma once
// The attributes of a codec image besides its pixels: what the codecs read
// from a file and what callers set before a save. Copied as a whole when an
// image takes over, borrows or copies the layout of another.

#include <array>
#include <cstdint>
#include <optional>

#include "image/codecs/CodecFormat.h"
#include "image/codecs/RgbQuad.h"

struct CodecAttributes {
  CodecFormat format = CodecFormat::Bmp;
  // NUL-terminated text of the last failure (set through SetLastError).
  char lastError[256] = {};
  // Palette index that is transparent; -1 none.
  std::int32_t transparentIndex = -1;
  // Transparent or background colour of a 24-bit image.
  RgbQuad transparentColor;
  // JPEG quality 0..100.
  std::uint8_t quality = 75;
  // Image to read from a multi-image file (0 the first) and the number of
  // images the decoder found there.
  std::int32_t frameIndex = 0;
  std::int32_t frameCount = 0;
  std::uint16_t frameDelay = 0;
  // Decoders refuse, from the file's header and before allocating, a picture
  // with a side above this (lastError "Image too large"), as they refuse one
  // of more than kMaxImagePixels pixels.
  std::uint32_t maxSide = UINT32_MAX;
  // Resolution in dots per inch; set through SetXDPI and SetYDPI, which keep
  // the bitmap header's pixels per metre in step.
  std::int32_t dpiX = 72;
  std::int32_t dpiY = 72;
  // Scale the PNG encoder applies to the alpha plane.
  std::uint8_t alphaMax = 255;
  // The palette's fourth bytes are alpha values.
  bool paletteAlphaEnabled = false;
  // Position of a GIF frame in its logical screen.
  std::int32_t offsetX = 0;
  std::int32_t offsetY = 0;
  // The JPEG encoder samples chroma at half resolution both ways.
  bool jpegSubsampling = true;
  // Replaces the JPEG encoder's base luminance quantisation table.
  std::optional<std::array<std::uint32_t, 64>> jpegLumaTable;
};
