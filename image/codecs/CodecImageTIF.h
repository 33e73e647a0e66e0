#pragma once
// The TIFF codec, through libtiff 4 over the codec stream (TiffStream.h).
//
// Decoding reads the page of frameIndex and reports the number of pages in
// frameCount. Grey and palette files with the samples of a pixel together,
// in strips or tiles, of up to 8 bits per sample or 16-bit grey (its high
// bytes), stay palette images, with the Orientation tag applied by the codec.
// All other files (RGB, CMYK, YCbCr, LogL/LogLuv, and grey or palette files
// in separate planes or of other sample sizes) go through libtiff's RGBA
// reader to 24 bits, with the alpha of four-sample files and of 8-bit grey
// with alpha; a layout that reader refuses is unsupported.
//
// Encoding writes one big-endian page: 1-bit images min-is-white with CCITT
// Group 4, 4- and 8-bit images as grey or palette (with their alpha as a
// second sample for 8 bits), 24-bit images as RGB or RGBA in strips of 8
// rows; LZW except PackBits for 8 bits per pixel. The caller's image is never
// changed.

#include "image/codecs/CodecImage.h"

class CCodecStream;

class CCodecImageTIF final : public CCodecImage {
public:
  CCodecImageTIF() : CCodecImage(CodecFormat::Tiff) {}

  // False with the reason in lastError; frameCount is set once the file
  // could be opened.
  [[nodiscard]] bool Decode(CCodecStream& stream);
  // False when libtiff or the stream fails anywhere, the directory included.
  [[nodiscard]] bool Encode(CCodecStream& stream);
};
