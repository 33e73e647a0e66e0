#pragma once
// CBgraImage16: four u16 channels B, G, R, A holding linear-light Adobe RGB
// (1998) values; the working image of layers and algorithms. A layer's mask
// is its alpha; 65535 is opaque.

#include <cstdint>

#include "image/PixelRecord.h"
#include "platform/Rect.h"

struct CBgraImage;
struct CPlane8;

struct CBgraImage16 : PixelRecord<std::uint16_t, 4> {
  int Create(std::uint32_t newWidth, std::uint32_t newHeight) { return CreateImage(newWidth, newHeight); }
  int CopyFrom(const CBgraImage16& source) { return CopyImage(source); }
  int Free() {
    ZeroFields();
    return 0;
  }

  // Colour model (ColorModel.cpp). colourSpace 2 is Adobe RGB; every other
  // value is read as sRGB.
  int FromBgraImage(const CBgraImage& source, int colourSpace);
  int ToBgraImage(CBgraImage& target) const;
  int ToBgraImageDithered(CBgraImage& target) const;
  void RgbToYcc();
  void YccToRgb();
  int ToGrayPlane(CPlane8& target) const;

  // Box resampling into an 8-bit image (Resample.cpp).
  int ResampleToBgra(CBgraImage& target, std::uint32_t targetWidth, std::uint32_t targetHeight,
                     std::uint32_t samples, Rect& rectangle) const;
};
