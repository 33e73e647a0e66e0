#pragma once
// The BMP codec. Encoding writes a 14-byte file header followed by the codec
// image's packed bitmap, which already has the file's layout.
//
// Decoding reads a file with its 14-byte header, or a bare device-independent
// bitmap that starts with its information header (its pixels then follow the
// palette). Information headers of 40 bytes and longer (the later versions'
// extra fields are skipped) and the 12-byte OS/2 core header are read; 1-, 4-
// and 8-bit files keep their palette (uncompressed, RLE8 for 8 bits, RLE4 for
// 4 bits), 16-, 24- and 32-bit files become 24 bits. 16- and 32-bit files
// with bit-field compression use their red, green and blue masks; without it
// 16 bits are 5-5-5 and 32 bits are B, G, R and an ignored byte. Top-down
// files (negative height) are turned bottom-up. Other bit counts and
// compressions, sides of 0 or less, pictures above the size limits
// (attributes.maxSide and kMaxImagePixels; "Image too large"), uncompressed
// rows that the data does not hold in full (checked before pixel memory is
// taken) and RLE data that runs past its row or the picture are refused; RLE
// data that ends early keeps what was decoded.

#include "image/codecs/BitmapInfoHeader.h"
#include "image/codecs/CodecImage.h"

class CCodecStream;

class CCodecImageBMP final : public CCodecImage {
public:
  CCodecImageBMP() : CCodecImage(CodecFormat::Bmp) {}

  // False with the reason in lastError.
  [[nodiscard]] bool Decode(CCodecStream& stream);
  // False for an empty image or when the stream takes fewer bytes than given.
  [[nodiscard]] bool Encode(CCodecStream& stream);
};

// Reads a 40-byte information header (the size field may announce a longer
// one; only its first 40 bytes are read), or a 12-byte OS/2 core header
// converted to one: width, height, planes and bit count from its 16-bit
// fields, the rest 0, biSize 12. False on a short read.
[[nodiscard]] bool ReadBmpInfoHeader(CCodecStream& stream, BitmapInfoHeader& header);
