#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/CameraRaw.h"
#include "image/ImageCodec.h"
#include "image/codecs/CodecImage.h"
#include "platform/LittleEndian.h"
#include "tests/common/TestData.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kRawWidth = 64;
constexpr std::uint32_t kRawHeight = 48;
constexpr std::uint32_t kPreviewWidth = 16;
constexpr std::uint32_t kPreviewHeight = 12;

// The preview picture: a horizontal red ramp over constant green and blue.
CBgraImage MakePreview() {
  CBgraImage preview;
  preview.Create(kPreviewWidth, kPreviewHeight);
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

Bytes PreviewJpeg() {
  CCodecImage codec;
  EXPECT_EQ(MakePreview().ToCodecImageRgb(codec), 1);
  PixelBlock block;
  std::uint32_t size = 0;
  EXPECT_TRUE(codec.Encode(block, size));
  return Bytes(block.get(), block.get() + size);
}

enum class PreviewForm { Jpeg, Rgb };

// A tiny DNG the way cameras lay it out: IFD0 holds the preview and the
// whole-file DNG tags, a SubIFD the raw RGGB mosaic (16 bits, uncompressed).
// The scene is red on the left half and blue on the right.
void WriteDng(const std::filesystem::path& path, PreviewForm form) {
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
  if (form == PreviewForm::Jpeg) {
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    Bytes jpeg = PreviewJpeg();
    ASSERT_GT(TIFFWriteRawStrip(tiff, 0, jpeg.data(), static_cast<tmsize_t>(jpeg.size())), 0);
  } else {
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    const CBgraImage preview = MakePreview();
    Bytes rgb;
    for (std::size_t i = 0; i < std::size_t{kPreviewWidth} * kPreviewHeight; ++i) {
      const std::uint8_t* p = preview.pixels + 4 * i;
      rgb.insert(rgb.end(), {p[2], p[1], p[0]});
    }
    ASSERT_GT(TIFFWriteRawStrip(tiff, 0, rgb.data(), static_cast<tmsize_t>(rgb.size())), 0);
  }
  ASSERT_TRUE(TIFFWriteDirectory(tiff));

  TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, 0);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kRawWidth);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kRawHeight);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, 32803);  // colour filter array
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kRawHeight);
  const std::uint16_t repeat[2] = {2, 2};
  TIFFSetField(tiff, TIFFTAG_CFAREPEATPATTERNDIM, repeat);
  const std::uint8_t pattern[4] = {0, 1, 1, 2};  // R G / G B
  TIFFSetField(tiff, TIFFTAG_CFAPATTERN, 4, pattern);
  const std::uint32_t white = 65535;
  TIFFSetField(tiff, TIFFTAG_WHITELEVEL, 1, &white);
  std::vector<std::uint16_t> mosaic(std::size_t{kRawWidth} * kRawHeight);
  for (std::uint32_t y = 0; y < kRawHeight; ++y) {
    for (std::uint32_t x = 0; x < kRawWidth; ++x) {
      const std::uint32_t site = (y % 2) * 2 + x % 2;  // 0 red, 3 blue, else green
      const bool left = x < kRawWidth / 2;
      const std::uint16_t red = left ? 30000 : 3000;
      const std::uint16_t blue = left ? 3000 : 30000;
      mosaic[std::size_t{y} * kRawWidth + x] = site == 0 ? red : site == 3 ? blue : 8000;
    }
  }
  ASSERT_GT(TIFFWriteRawStrip(tiff, 0, mosaic.data(), static_cast<tmsize_t>(mosaic.size() * 2)), 0);
  ASSERT_TRUE(TIFFWriteDirectory(tiff));
  TIFFClose(tiff);
}

TEST(CameraRaw, RawNames) {
  struct Case {
    const char* name;
    int raw;
  };
  for (const Case c : {Case{"photo.NEF", 1}, Case{"/a/b/photo.dng", 1}, Case{"x.Rw2", 1}, Case{"x.srw", 1},
                       Case{"photo.nrw", 0}, Case{"photo.bay", 0}, Case{"photo", 0}, Case{"photo.jpg", 0},
                       Case{"photo.dngdngdng", 0}, Case{"", 0}}) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsRawFileName(c.name), c.raw);
  }
}

TEST(CameraRaw, DevelopsADng) {
  const auto path = ScratchDir() / "tiny.dng";
  WriteDng(path, PreviewForm::Jpeg);
  CBgraImage16 image;
  {
    const std::lock_guard<std::mutex> lock(RawDecodeLock);
    ASSERT_EQ(LoadRawImage(path, image), 1);
  }
  ASSERT_EQ(image.width, kRawWidth);
  ASSERT_EQ(image.height, kRawHeight);
  bool opaque = true;
  for (std::size_t i = 3; i < image.Samples().size(); i += 4) opaque = opaque && image.Samples()[i] == 65535;
  EXPECT_TRUE(opaque);
  // B, G, R order: the red half has more red than blue, the blue half the
  // other way round (LibRaw scales the values, so only ratios count).
  const std::uint16_t* left = image.At(8, 24);
  const std::uint16_t* right = image.At(56, 24);
  EXPECT_GT(left[2], 2 * left[0]);
  EXPECT_GT(right[0], 2 * right[2]);
}

TEST(CameraRaw, RefusedNamesAndFilesLeaveTheImage) {
  const auto folder = ScratchDir();
  WriteDng(folder / "tiny.dng", PreviewForm::Jpeg);
  std::filesystem::copy_file(folder / "tiny.dng", folder / "tiny.nrw");
  const Bytes junk = {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0};
  WriteFileBytes(folder / "junk.dng", junk);

  const std::lock_guard<std::mutex> lock(RawDecodeLock);
  for (const char* name : {"tiny.nrw", "junk.dng", "missing.dng"}) {
    SCOPED_TRACE(name);
    CBgraImage16 image;
    image.Create(2, 2);
    EXPECT_EQ(LoadRawImage(folder / name, image), 0);
    EXPECT_EQ(image.width, 2u);
    std::uint32_t length = 7;
    RawPreviewKind kind = RawPreviewKind::Bitmap;
    EXPECT_EQ(ExtractRawThumbnail(folder / name, length, kind), nullptr);
    EXPECT_EQ(length, 7u);
  }
}

TEST(CameraRaw, JpegPreviewComesOutWhole) {
  const auto path = ScratchDir() / "tiny.dng";
  WriteDng(path, PreviewForm::Jpeg);
  std::uint32_t length = 0;
  RawPreviewKind kind = RawPreviewKind::Other;
  PixelBlock preview;
  {
    const std::lock_guard<std::mutex> lock(RawDecodeLock);
    preview = ExtractRawThumbnail(path, length, kind);
  }
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(kind, RawPreviewKind::Jpeg);
  EXPECT_EQ(Bytes(preview.get(), preview.get() + length), PreviewJpeg());

  CBgraImage image;
  ASSERT_EQ(LoadImageAsBgra(path, image), 1);
  EXPECT_EQ(image.width, kPreviewWidth);
  EXPECT_EQ(image.height, kPreviewHeight);
  EXPECT_NEAR(image.At(10, 5)[2], 150, 8);
  EXPECT_EQ(image.At(10, 5)[3], 255);
}

// LibRaw hands out a bitmap preview as bare pixels; the block gets the
// width and height prefix its users check.
TEST(CameraRaw, BitmapPreviewGetsItsSizePrefix) {
  const auto path = ScratchDir() / "tiny.dng";
  WriteDng(path, PreviewForm::Rgb);
  std::uint32_t length = 0;
  RawPreviewKind kind = RawPreviewKind::Other;
  PixelBlock preview;
  {
    const std::lock_guard<std::mutex> lock(RawDecodeLock);
    preview = ExtractRawThumbnail(path, length, kind);
  }
  ASSERT_NE(preview, nullptr);
  ASSERT_EQ(kind, RawPreviewKind::Bitmap);
  ASSERT_EQ(length, 4 + 3 * kPreviewWidth * kPreviewHeight);
  EXPECT_EQ(LoadLE16(preview.get()), kPreviewWidth);
  EXPECT_EQ(LoadLE16(preview.get() + 2), kPreviewHeight);

  CBgraImage image;
  ASSERT_EQ(LoadImageAsBgra(path, image), 1);
  const CBgraImage expected = MakePreview();
  ASSERT_EQ(image.width, kPreviewWidth);
  ASSERT_EQ(image.height, kPreviewHeight);
  EXPECT_TRUE(std::equal(image.Samples().begin(), image.Samples().end(), expected.Samples().begin()));
}

}  // namespace
