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
  [[nodiscard]] int Create(std::uint32_t newWidth, std::uint32_t newHeight) {
    return CreateImage(newWidth, newHeight);
  }
  [[nodiscard]] int CopyFrom(const CBgraImage16& source) { return CopyImage(source); }
  int Free() {
    ZeroFields();
    return 0;
  }

  // Colour model (ColorModel.cpp; the formulas are in ColorModel.h).
  // FromBgraImage sizes this image to the source: colourSpace 2 (Adobe RGB)
  // only linearises each channel; every other value is read as sRGB and
  // converted through the matrix. 0 for an empty source or exhausted memory.
  [[nodiscard]] int FromBgraImage(const CBgraImage& source, int colourSpace);
  // The plain conversion, for display and previews.
  [[nodiscard]] int ToBgraImage(CBgraImage& target) const;
  // The error-diffused conversion, for saving, printing and export.
  [[nodiscard]] int ToBgraImageDithered(CBgraImage& target) const;
  // YCbCr in place with offset 32768: Y in the R slot, Cb in G, Cr in B.
  void RgbToYcc();
  void YccToRgb();
  // One sRGB byte per pixel of the grey (6 G + 3 R + B) / 10.
  [[nodiscard]] int ToGrayPlane(CPlane8& target) const;

  // Box resampling into an 8-bit image (Resample.cpp), as
  // CBgraImage::ResampleTo over 16-bit sums, then converted as ToBgraImage.
  [[nodiscard]] int ResampleToBgra(CBgraImage& target, std::uint32_t targetWidth, std::uint32_t targetHeight,
                                   std::uint32_t samples, Rect& rectangle) const;
};
