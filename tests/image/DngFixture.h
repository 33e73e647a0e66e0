#pragma once
// A tiny camera RAW file for tests: Debian ships none, so a DNG is written
// with libtiff (the test binary links TIFF::TIFF).

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "image/BgraImage.h"
#include "image/PixelBlock.h"
#include "image/codecs/CodecImage.h"

inline constexpr std::uint32_t kRawWidth = 64;
inline constexpr std::uint32_t kRawHeight = 48;
inline constexpr std::uint32_t kPreviewWidth = 16;
inline constexpr std::uint32_t kPreviewHeight = 12;

// The preview picture: a horizontal red ramp over constant green and blue.
inline CBgraImage MakePreview() {
  CBgraImage preview;
  EXPECT_TRUE(preview.Create(kPreviewWidth, kPreviewHeight));
  for (std::uint32_t y = 0; y < kPreviewHeight; ++y) {
    for (std::uint32_t x = 0; x < kPreviewWidth; ++x) {
      std::uint8_t* p = preview.At(x, y);
      p[0] = 40;
      p[1] = 120;
      p[2] = static_cast<std::uint8_t>(15 * x);
      p[3] = 255;
    }
  }
  return preview;
}

inline std::vector<std::uint8_t> PreviewJpeg() {
  CCodecImage codec;
  EXPECT_EQ(MakePreview().ToCodecImageRgb(codec), 1);
  PixelBlock block;
  std::uint32_t size = 0;
  EXPECT_TRUE(codec.Encode(block, size));
  return std::vector<std::uint8_t>(block.get(), block.get() + size);
}

enum class PreviewForm { Jpeg, Rgb };

// The mosaic's size and the DefaultScale tag (horizontal, vertical), whose
// ratio asks for non-square pixels. With cutShort the file stores only the
// mosaic's first row: its header claims a picture the file does not hold.
struct DngShape {
  std::uint32_t width = kRawWidth;
  std::uint32_t height = kRawHeight;
  float scaleH = 1;
  float scaleV = 1;
  bool cutShort = false;
};

// A tiny DNG the way cameras lay it out: IFD0 holds the preview and the
// whole-file DNG tags, a SubIFD the raw RGGB mosaic (16 bits, uncompressed).
// The scene is red on the left half and blue on the right.
inline void WriteDng(const std::filesystem::path& path, PreviewForm form, const DngShape& shape = {}) {
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tiff, nullptr);
  std::uint64_t subIfd[1] = {0};
  TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kPreviewWidth);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kPreviewHeight);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kPreviewHeight);
  TIFFSetField(tiff, TIFFTAG_MAKE, "Tessera");
  TIFFSetField(tiff, TIFFTAG_MODEL, "Test Camera");
  const std::uint8_t dngVersion[4] = {1, 4, 0, 0};
  TIFFSetField(tiff, TIFFTAG_DNGVERSION, dngVersion);
  TIFFSetField(tiff, TIFFTAG_DNGBACKWARDVERSION, dngVersion);
  TIFFSetField(tiff, TIFFTAG_UNIQUECAMERAMODEL, "Tessera Test Camera");
  const float colorMatrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  TIFFSetField(tiff, TIFFTAG_COLORMATRIX1, 9, colorMatrix);
  const float neutral[3] = {1, 1, 1};
  TIFFSetField(tiff, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
  TIFFSetField(tiff, TIFFTAG_SUBIFD, 1, subIfd);
  if (shape.scaleH != 1 || shape.scaleV != 1) {
    const float scale[2] = {shape.scaleH, shape.scaleV};
    TIFFSetField(tiff, TIFFTAG_DEFAULTSCALE, scale);
  }
  if (form == PreviewForm::Jpeg) {
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    std::vector<std::uint8_t> jpeg = PreviewJpeg();
    ASSERT_GT(TIFFWriteRawStrip(tiff, 0, jpeg.data(), static_cast<tmsize_t>(jpeg.size())), 0);
  } else {
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    const CBgraImage preview = MakePreview();
    std::vector<std::uint8_t> rgb;
    for (std::size_t i = 0; i < std::size_t{kPreviewWidth} * kPreviewHeight; ++i) {
      const std::uint8_t* p = preview.pixels + 4 * i;
      rgb.insert(rgb.end(), {p[2], p[1], p[0]});
    }
    ASSERT_GT(TIFFWriteRawStrip(tiff, 0, rgb.data(), static_cast<tmsize_t>(rgb.size())), 0);
  }
  ASSERT_TRUE(TIFFWriteDirectory(tiff));

  TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, 0);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, shape.width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, shape.height);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, 32803);  // colour filter array
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, shape.height);
  const std::uint16_t repeat[2] = {2, 2};
  TIFFSetField(tiff, TIFFTAG_CFAREPEATPATTERNDIM, repeat);
  const std::uint8_t pattern[4] = {0, 1, 1, 2};  // R G / G B
  TIFFSetField(tiff, TIFFTAG_CFAPATTERN, 4, pattern);
  const std::uint32_t white = 65535;
  TIFFSetField(tiff, TIFFTAG_WHITELEVEL, 1, &white);
  const std::uint32_t rows = shape.cutShort ? 1 : shape.height;
  std::vector<std::uint16_t> mosaic(std::size_t{shape.width} * rows);
  for (std::uint32_t y = 0; y < rows; ++y) {
    for (std::uint32_t x = 0; x < shape.width; ++x) {
      const std::uint32_t site = (y % 2) * 2 + x % 2;  // 0 red, 3 blue, else green
      const bool left = x < shape.width / 2;
      const std::uint16_t red = left ? 30000 : 3000;
      const std::uint16_t blue = left ? 3000 : 30000;
      mosaic[std::size_t{y} * shape.width + x] = site == 0 ? red : site == 3 ? blue : 8000;
    }
  }
  ASSERT_GT(TIFFWriteRawStrip(tiff, 0, mosaic.data(), static_cast<tmsize_t>(mosaic.size() * 2)), 0);
  ASSERT_TRUE(TIFFWriteDirectory(tiff));
  TIFFClose(tiff);
}
