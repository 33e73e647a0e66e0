#pragma once
// CBgraImage: 8 bits per channel in the order B, G, R, A, sRGB-encoded; the
// display, file and thumbnail image. Alpha 255 is opaque.

#include <cstdint>
#include <filesystem>
#include <span>

#include "image/PixelRecord.h"
#include "platform/Rect.h"

class CCodecImage;
struct AffineTransform;

struct CBgraImage : PixelRecord<std::uint8_t, 4> {
  // 1 on success, 0 when memory is exhausted or the size is above the limit
  // (the record is then empty). A zero side counts as 1. The same size keeps
  // the block and its contents; new pixels are not initialised.
  [[nodiscard]] int Create(std::uint32_t newWidth, std::uint32_t newHeight) {
    return CreateImage(newWidth, newHeight);
  }
  // 0 for an empty source (this record untouched). A block of equal byte
  // size is reused and takes the source's shape.
  [[nodiscard]] int CopyFrom(const CBgraImage& source) { return CopyImage(source); }
  // Releases the pixels and zeroes every field; returns 0.
  int Free() {
    ZeroFields();
    return 0;
  }

  // Colour model (ColorModel.cpp). AdobeRgbToSrgb re-encodes Adobe RGB
  // (1998) codes as sRGB in place. RgbToYcc leaves Y in the R slot, Cb in G
  // and Cr in B (integer, offset 128); YccToRgb inverts it up to rounding.
  // GrayToAlpha sets A to (6 G + 3 R + B) / 10. Alpha is otherwise untouched;
  // an empty image is left alone.
  void AdobeRgbToSrgb();
  void RgbToYcc();
  void YccToRgb();
  void GrayToAlpha();

  // Box resampling (Resample.cpp): each target pixel averages samples x
  // samples source pixels spread evenly over the rectangle (1: point
  // sampling). A zero side counts as 1. An empty rectangle (right equal to
  // left) stands for the whole image and is written back; any other must lie
  // inside the image. The same size as this image copies the whole image. 0
  // when a table or the target cannot be allocated or the rectangle is bad.
  [[nodiscard]] int ResampleTo(CBgraImage& target, std::uint32_t targetWidth, std::uint32_t targetHeight,
                               std::uint32_t samples, Rect& rectangle) const;
  // B, G, R, A packed little-endian into a u32 (B in the low byte): B, G, R
  // interpolated with 8-bit fractions, A of the top-left pixel; 0 outside
  // 0 <= x < width, 0 <= y < height.
  std::uint32_t SampleBilinear(double x, double y) const;
  // This image at the position transform carries pixel (x, y) to: B, G, R
  // interpolated with 8-bit fractions and A = 255 written to out, and 1.
  // 0 (out untouched) when the position is not in [0, width - 1) x
  // [0, height - 1), so the last column and row are never sampled.
  [[nodiscard]] int SampleAffineBilinear(std::int32_t x, std::int32_t y, const AffineTransform& transform,
                                         std::span<std::uint8_t, 4> out) const;

  // Image files (ImageCodec.cpp). LoadFile decodes by the codec format of
  // the extension and refuses a picture wider or taller than kMaxImageSide
  // from the file's header; ImageLoadError tells why a load failed.
  // SaveFile fails for an image without pixels; the codec of the extension
  // decides whether the format keeps the alpha. A failed save leaves any old
  // file as it was.
  [[nodiscard]] int LoadFile(const std::filesystem::path& path);
  [[nodiscard]] int SaveFile(const std::filesystem::path& path, bool withAlpha) const;
  // Top-down copy of a codec image (whose rows run bottom-up). A palette
  // image takes its colours from the palette and A = 0 exactly at
  // transparentIndex; a 24-bit image takes A from the alpha plane, or 255.
  [[nodiscard]] int FromCodecImage(const CCodecImage& codecImage);
  // Into a new 24-bit codec image at 72 dpi, with the alpha plane when asked.
  [[nodiscard]] int ToCodecImage(CCodecImage& codecImage, bool withAlpha) const;
  [[nodiscard]] int ToCodecImageRgb(CCodecImage& codecImage) const;

  // The raw 24-bit picture file (PackedRecords.cpp): u32 width, u32 height,
  // then rows of B, G, R. SaveRawBgr replaces the file only when every byte
  // was written (sides at most 65535). LoadRawBgr returns 0, leaving the
  // image unchanged, for a file that cannot be opened or read, a header whose
  // sides are not 1..65535, or a file too short for the picture its header
  // announces (checked before the picture is made).
  [[nodiscard]] int SaveRawBgr(const std::filesystem::path& path) const;
  [[nodiscard]] int LoadRawBgr(const std::filesystem::path& path);
};
