#pragma once
// The JPEG codec, over libjpeg (the 6.2 API of libjpeg-turbo) and any codec
// stream. Besides the ordinary decoder it offers a DC-only decode for fast
// thumbnails and a decode straight into an 8-bit BGRA image (or a caller's
// rows, batch by batch) for the image-file layer.
//
// Every operation sets up its own library object, stream adapter and error
// return point; a library error ends the call with the library's message in
// lastError and false. A stream that ends early after its first chunk is no
// error: the decoder gets an end-of-image marker and fills the missing rows
// as the library does.

#include "image/codecs/CodecImage.h"

class CBgraRowSink;
class CCodecStream;
struct CBgraImage;

class CCodecImageJPG final : public CCodecImage {
public:
  CCodecImageJPG() : CCodecImage(CodecFormat::Jpeg) {}

  // Grey files give 8 bits with the grey palette; colour files 24-bit
  // B, G, R; four-component (CMYK, 255 = no ink) files 24 bits weighted by K.
  // JFIF density unit 2 (dots per cm) is turned into dots per inch.
  [[nodiscard]] bool Decode(CCodecStream& stream);

  // The same decode at 1/8 scale: every 8 x 8 luminance block becomes one
  // pixel from its DC coefficient alone (the library skips the AC
  // coefficients), so the image is ceil(W / 8) x ceil(H / 8) pixels of block
  // means. The full picture must still be within the image limit, because a
  // progressive file keeps its coefficients for the whole picture.
  [[nodiscard]] bool DecodeJpegDcOnly(CCodecStream& stream);

  // Writes a 24-bit image as YCbCr (chroma at half resolution when
  // jpegSubsampling is set, else full) or an 8-bit image with the identity
  // grey palette as one-component grey; Huffman tables optimised, fast
  // integer DCT, baseline tables from quality and jpegLumaTable, JFIF density
  // in dots per inch. Other palette images are refused before anything is
  // written.
  [[nodiscard]] bool Encode(CCodecStream& stream);

  // Decodes into image: rows top-down, B, G, R, A with A = 255. A picture
  // wider or taller than kMaxImageSide is refused from its header, before
  // pixel memory is taken. On failure image is left as it was.
  [[nodiscard]] bool DecodeBgra(CCodecStream& stream, CBgraImage& image);

  // The same decode into the memory the sink gives, handing it the rows in
  // batches as they are complete. On failure the sink's memory may hold a
  // partial picture.
  [[nodiscard]] bool DecodeBgraRows(CCodecStream& stream, CBgraRowSink& sink);
};
