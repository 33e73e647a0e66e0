#pragma once
// Windows metafiles (WMF and EMF) are played through the Windows graphics
// interface, which this platform does not have: both operations fail with a
// text that says so.

#include "image/codecs/CodecImage.h"

class CCodecStream;

class CCodecImageWMF final : public CCodecImage {
public:
  CCodecImageWMF() : CCodecImage(CodecFormat::Wmf) {}

  [[nodiscard]] bool Decode(CCodecStream& stream);
  [[nodiscard]] bool Encode(CCodecStream& stream);
};
