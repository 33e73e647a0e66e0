#pragma once
// The TIFF codec, through libtiff 4 over the codec stream (TiffStream.h).
//
// Decoding reads the page of frameIndex and reports the number of pages in
// frameCount. RGB files of 8 or more bits per sample, CMYK, YCbCr and
// LogL/LogLuv files go through libtiff's RGBA reader to 24 bits (with the
// alpha of four-sample files); grey and palette files of up to 8 bits per
// sample, and 16-bit grey (its high bytes), stay palette images, with the
// Orientation tag applied by the codec.
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
  bool Decode(CCodecStream& stream);
  // False when libtiff or the stream fails anywhere, the directory included.
  bool Encode(CCodecStream& stream);
};
