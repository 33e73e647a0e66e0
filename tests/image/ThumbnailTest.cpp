// Thumbnails: which source each route takes (EXIF thumbnail, DC-only
// decode, full decode, RAW preview), the fitting rule, and the trimming of
// letterboxed camera thumbnails.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>

#include "image/BgraImage.h"
#include "image/CameraRaw.h"
#include "image/MetadataImage.h"
#include "image/Thumbnail.h"
#include "platform/LittleEndian.h"
#include "tests/common/TestData.h"
#include "tests/image/DngFixture.h"
#include "tests/image/MetadataFiles.h"

namespace {

// A flat picture of one colour, encoded in the format.
Bytes Flat(std::uint32_t width, std::uint32_t height, RgbQuad colour, CodecFormat format) {
  CCodecImage image;
  EXPECT_TRUE(image.Create(width, height, 24, CodecFormat::Bmp));
  for (std::uint32_t y = 0; y < height; ++y) {
    std::uint8_t* row = image.GetBits() + std::size_t{y} * image.GetRowStride();
    for (std::uint32_t x = 0; x < width; ++x) {
      row[3 * x] = colour.blue;
      row[3 * x + 1] = colour.green;
      row[3 * x + 2] = colour.red;
    }
  }
  image.attributes.quality = 90;
  return EncodeAs(image, format);
}

// A 160 x 120 camera thumbnail in a colour, with black bars of `bar` rows
// at the top and the bottom; encoded without chroma subsampling at quality
// 100, so that bars of whole blocks stay exactly black.
Bytes CameraThumbnail(RgbQuad colour, std::uint32_t bar) {
  CCodecImage image;
  EXPECT_TRUE(image.Create(160, 120, 24, CodecFormat::Bmp));
  for (std::uint32_t y = bar; y < 120 - bar; ++y) {
    for (std::uint32_t x = 0; x < 160; ++x)
      image.SetPixelColor(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), colour);
  }
  image.attributes.quality = 100;
  image.attributes.jpegSubsampling = false;
  return EncodeAs(image, CodecFormat::Jpeg);
}

Bytes WithThumbnail(const Bytes& jpeg, const Bytes& thumbnail) {
  CMetadataImage image;
  EXPECT_EQ(image.Load(jpeg), 1);
  image.SetPropertyItem({271, 2, 6, {'M', 'a', 'k', 'e', 'r', 0}});
  image.SetPropertyItem({0x501B, 1, static_cast<std::uint32_t>(thumbnail.size()), thumbnail});
  Bytes out;
  EXPECT_EQ(image.Save(out), 1);
  return out;
}

// The mean of each of B, G, R over the image.
std::array<double, 3> Mean(const CBgraImage& image) {
  std::array<double, 3> sum{};
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
    for (int c = 0; c < 3; ++c)
      sum[static_cast<std::size_t>(c)] += image.pixels[4 * i + static_cast<std::uint32_t>(c)];
  }
  for (double& s : sum) s /= image.pixelCount;
  return sum;
}

constexpr RgbQuad kBlue{200, 40, 20, 0};
constexpr RgbQuad kRed{30, 30, 220, 0};

void ExpectColour(const CBgraImage& image, RgbQuad colour) {
  const auto mean = Mean(image);
  EXPECT_NEAR(mean[0], colour.blue, 8);
  EXPECT_NEAR(mean[1], colour.green, 8);
  EXPECT_NEAR(mean[2], colour.red, 8);
}

TEST(Thumbnail, LargeJpegsUseTheirExifThumbnailUnlessFast) {
  const auto folder = ScratchDir();
  const Bytes photo = Flat(4000, 3000, kBlue, CodecFormat::Jpeg);
  WriteFileBytes(folder / "plain.jpg", photo);
  WriteFileBytes(folder / "thumb.jpg", WithThumbnail(photo, CameraThumbnail(kRed, 0)));
  WriteFileBytes(folder / "letterbox.jpg", WithThumbnail(photo, CameraThumbnail(kRed, 16)));
  struct Case {
    const char* file;
    ThumbnailSpeed speed;
    std::uint32_t width, height;
    RgbQuad colour;
    int result;  // 2: the quick picture of the EXIF thumbnail
  };
  const Case cases[] = {
      {"thumb.jpg", ThumbnailSpeed::Normal, 200, 150, kRed, 2},
      {"plain.jpg", ThumbnailSpeed::Normal, 200, 150, kBlue, 1},  // DC-only
      {"thumb.jpg", ThumbnailSpeed::Fast, 200, 150, kBlue, 1},
      // 160 x 88 once the bars are cut.
      {"letterbox.jpg", ThumbnailSpeed::Normal, 200, 110, kRed, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    CBgraImage image;
    ASSERT_EQ(LoadThumbnail(folder / c.file, 200, image, c.speed), c.result);
    EXPECT_EQ(image.width, c.width);
    EXPECT_EQ(image.height, c.height);
    ExpectColour(image, c.colour);
  }
  CBgraImage image;
  EXPECT_EQ(LoadEmbeddedThumbnail(folder / "plain.jpg", 200, image, ImageFileType::Jpeg),
            EmbeddedThumbnail::Missing);
  EXPECT_EQ(LoadEmbeddedThumbnail(folder / "thumb.jpg", 200, image, ImageFileType::Jpeg),
            EmbeddedThumbnail::Embedded);
  // At a side of 120 or less a large JPEG is not "large": the thumbnail is
  // only fitted, bars and all.
  EXPECT_EQ(LoadEmbeddedThumbnail(folder / "letterbox.jpg", 120, image, ImageFileType::Jpeg),
            EmbeddedThumbnail::Fitted);
  EXPECT_EQ(image.width, 120u);
  EXPECT_EQ(image.height, 90u);
}

// Columns alternate black and white: DC-only decoding gives the grey of
// each block's mean, a full decode sampled 2 x 2 keeps the contrast.
TEST(Thumbnail, FastJpegsAreDecodedDcOnlyFromEightTimesTheSide) {
  struct Case {
    std::uint32_t width;
    std::int32_t side;
    bool dcOnly;
  };
  const auto folder = ScratchDir();
  for (const Case c :
       {Case{1600, 200, true}, Case{1601, 200, true}, Case{1599, 200, false}, Case{1600, 201, false}}) {
    SCOPED_TRACE(c.width);
    SCOPED_TRACE(c.side);
    CCodecImage stripes;
    ASSERT_TRUE(stripes.Create(c.width, 1200, 24, CodecFormat::Bmp));
    for (std::uint32_t y = 0; y < 1200; ++y) {
      std::uint8_t* row = stripes.GetBits() + std::size_t{y} * stripes.GetRowStride();
      for (std::uint32_t x = 0; x < c.width; ++x) std::memset(row + 3 * x, x % 2 ? 255 : 0, 3);
    }
    stripes.attributes.quality = 100;
    stripes.attributes.jpegSubsampling = false;
    const auto path = folder / "stripes.jpg";
    WriteFileBytes(path, EncodeAs(stripes, CodecFormat::Jpeg));
    CBgraImage image;
    ASSERT_EQ(LoadThumbnail(path, c.side, image, ThumbnailSpeed::Fast), 1);
    // DC-only: the (width / 8) x 150 whole blocks, fitted.
    const std::uint32_t fittedFrom = c.dcOnly ? c.width / 8 : c.width;
    const std::uint32_t rows = c.dcOnly ? 150 : 1200;
    EXPECT_EQ(image.width, static_cast<std::uint32_t>(c.side));
    EXPECT_EQ(image.height, static_cast<std::uint32_t>(c.side) * rows / fittedFrom);
    std::uint8_t low = 255;
    std::uint8_t high = 0;
    for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
      low = std::min(low, image.pixels[4 * i + 1]);
      high = std::max(high, image.pixels[4 * i + 1]);
    }
    if (c.dcOnly) {
      EXPECT_LE(high - low, 4);
    } else {
      EXPECT_GE(high - low, 100);
    }
  }
}

TEST(Thumbnail, EveryTypeIsFittedIntoTheSide) {
  const auto folder = ScratchDir();
  struct Case {
    const char* name;
    std::uint32_t width, height;
    CodecFormat format;
    std::uint32_t fittedWidth, fittedHeight;
  };
  const Case cases[] = {
      {"small.png", 100, 50, CodecFormat::Png, 200, 100},  // enlarged
      {"tall.bmp", 30, 90, CodecFormat::Bmp, 66, 200},
      {"square.tga", 300, 300, CodecFormat::Tga, 200, 200},
      {"wide.tif", 1000, 10, CodecFormat::Tiff, 200, 2},
      {"small.jpg", 100, 50, CodecFormat::Jpeg, 200, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(folder / c.name, Flat(c.width, c.height, kBlue, c.format));
    for (const ThumbnailSpeed speed : {ThumbnailSpeed::Normal, ThumbnailSpeed::Fast}) {
      CBgraImage image;
      ASSERT_EQ(LoadThumbnail(folder / c.name, 200, image, speed), 1);
      EXPECT_EQ(image.width, c.fittedWidth);
      EXPECT_EQ(image.height, c.fittedHeight);
      ExpectColour(image, kBlue);
    }
  }
  CBgraImage image;
  EXPECT_EQ(LoadThumbnail(folder / "missing.png", 200, image, ThumbnailSpeed::Normal), 0);
  EXPECT_EQ(LoadThumbnail(folder / "missing.jpg", 200, image, ThumbnailSpeed::Fast), 0);
  EXPECT_EQ(LoadThumbnail(folder / "small.png", 0, image, ThumbnailSpeed::Normal), 0);
  WriteFileBytes(folder / "junk.jpg", Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 2, 0xFF});
  EXPECT_EQ(LoadThumbnail(folder / "junk.jpg", 200, image, ThumbnailSpeed::Normal), 0);
  EXPECT_EQ(LoadThumbnail(folder / "junk.jpg", 200, image, ThumbnailSpeed::Fast), 0);
}

TEST(Thumbnail, RawFilesGiveTheirPreview) {
  // A JPEG preview of 16 x 12 is decoded DC-only to its 2 x 1 whole
  // blocks; a bitmap preview is fitted as it is.
  struct Case {
    PreviewForm form;
    std::uint32_t height;
  };
  for (const Case c : {Case{PreviewForm::Jpeg, 100}, Case{PreviewForm::Rgb, 150}}) {
    const auto path = ScratchDir() / "tiny.dng";
    WriteDng(path, c.form);
    CBgraImage image;
    ASSERT_EQ(LoadThumbnail(path, 200, image, ThumbnailSpeed::Normal), 1);
    EXPECT_EQ(image.width, 200u);
    EXPECT_EQ(image.height, c.height);
    // The preview's red ramp runs left to right over green 120, blue 40.
    const std::uint32_t y = c.height / 2;
    EXPECT_NEAR(image.At(100, y)[1], 120, 10);
    EXPECT_NEAR(image.At(100, y)[0], 40, 10);
    EXPECT_LT(image.At(10, y)[2] + 40, image.At(190, y)[2]);
  }
}

TEST(Thumbnail, RawBitmapPreviewKeepsItsRowsTopDown) {
  // 2 x 2: a red top row over a blue bottom row.
  Bytes block = {2, 0, 2, 0, 255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255};
  CCodecImage codec;
  ASSERT_EQ(RawBitmapPreviewToCodecImage(block, codec), 1);
  CBgraImage image;
  ASSERT_EQ(image.FromCodecImage(codec), 1);
  EXPECT_EQ(image.At(1, 0)[2], 255);
  EXPECT_EQ(image.At(1, 0)[0], 0);
  EXPECT_EQ(image.At(0, 1)[0], 255);
  block.push_back(0);
  EXPECT_EQ(RawBitmapPreviewToCodecImage(block, codec), 0);
  EXPECT_EQ(RawBitmapPreviewToCodecImage(Bytes{2, 0}, codec), 0);
}

TEST(Thumbnail, BlackBordersAreTrimmedByAtMostAQuarter) {
  struct Case {
    const char* name;
    std::uint32_t width, height;
    std::uint32_t top, bottom, left, right;  // black bars
    std::uint32_t trimmedWidth, trimmedHeight, firstX, firstY;
  };
  const Case cases[] = {
      {"letterbox", 160, 120, 12, 12, 0, 0, 160, 96, 0, 12},
      {"pillarbox", 160, 120, 0, 0, 20, 30, 110, 120, 20, 0},
      {"no bars", 160, 120, 0, 0, 0, 0, 160, 120, 0, 0},
      {"all black", 160, 120, 120, 0, 0, 0, 81, 61, 40, 30},  // a quarter of each side at most
      {"3 x 3", 3, 3, 1, 1, 1, 1, 3, 3, 0, 0},                // sides under 4 are not scanned
      {"1 x 1 black", 1, 1, 1, 0, 0, 0, 1, 1, 0, 0},
      {"2 x 8", 2, 8, 2, 2, 0, 0, 2, 5, 0, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CBgraImage image;
    ASSERT_EQ(image.Create(c.width, c.height), 1);
    for (std::uint32_t y = 0; y < c.height; ++y) {
      for (std::uint32_t x = 0; x < c.width; ++x) {
        const bool black = y < c.top || y + c.bottom >= c.height || x < c.left || x + c.right >= c.width;
        std::uint8_t* p = image.At(x, y);
        p[0] = static_cast<std::uint8_t>(x);  // where the pixel came from
        p[1] = black ? 0 : 100;
        p[2] = black ? 0 : 200;
        p[3] = static_cast<std::uint8_t>(y);
      }
    }
    TrimBlackBorders(image);
    EXPECT_EQ(image.width, c.trimmedWidth);
    EXPECT_EQ(image.height, c.trimmedHeight);
    EXPECT_EQ(image.At(0, 0)[0], c.firstX);
    EXPECT_EQ(image.At(0, 0)[3], c.firstY);
    EXPECT_EQ(image.At(image.width - 1, image.height - 1)[0], c.firstX + c.trimmedWidth - 1);
    EXPECT_EQ(image.At(image.width - 1, image.height - 1)[3], c.firstY + c.trimmedHeight - 1);
  }
}

TEST(Thumbnail, ResizeBgraImage) {
  CBgraImage source;
  ASSERT_EQ(source.Create(8, 4), 1);
  std::fill(source.Samples().begin(), source.Samples().end(), std::uint8_t{90});
  CBgraImage target;
  ASSERT_EQ(ResizeBgraImage(source, target, 8, 4), 1);
  EXPECT_TRUE(std::ranges::equal(target.Samples(), source.Samples()));
  ASSERT_EQ(ResizeBgraImage(source, target, 4, 2), 1);
  EXPECT_EQ(target.width, 4u);
  EXPECT_EQ(target.height, 2u);
  EXPECT_EQ(target.At(1, 1)[1], 90);
  EXPECT_EQ(target.At(1, 1)[3], 255);  // the alpha does not survive
  EXPECT_EQ(ResizeBgraImage(CBgraImage{}, target, 4, 2), 0);
  EXPECT_EQ(ResizeBgraImage(source, target, 0, 2), 0);
}

}  // namespace
