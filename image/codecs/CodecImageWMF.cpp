#include "image/codecs/CodecImageWMF.h"

bool CCodecImageWMF::Decode(CCodecStream&) {
  SetLastError("Load WMF not supported");
  return false;
}

bool CCodecImageWMF::Encode(CCodecStream&) {
  SetLastError("Save WMF not supported");
  return false;
}
