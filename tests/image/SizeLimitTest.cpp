// The size limits on every road that makes a picture from a file: a header
// above them is refused before any pixel memory is asked for, with the same
// "Image too large" text everywhere, and a small file cannot make a loader
// take memory for a picture it does not hold.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "image/BgraImage.h"
#include "image/ImageCodec.h"
#include "image/ImageLoadError.h"
#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecMemStream.h"
#include "platform/LittleEndian.h"
#include "tests/common/PixelBlockFailure.h"
#include "tests/common/TestData.h"
#include "tests/image/ClaimingFiles.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void MakeMarked(CBgraImage& image) {
  ASSERT_EQ(image.Create(4, 4), 1);
  std::memset(image.pixels, 0x5A, image.byteSize);
}

bool StillMarked(const CBgraImage& image) {
  return image.width == 4 && image.height == 4 && image.pixels[0] == 0x5A;
}

struct Claim {
  const char* name;  // the file name gives the format
  std::uint32_t width, height;
  bool abovePixelLimit;  // refused by the codec layer too, not only by the side limit
};

void WriteClaim(const Claim& c, const std::filesystem::path& path) {
  const std::string_view name = c.name;
  if (name.ends_with(".jpg")) {
    WriteFileBytes(path,
                   claiming::Jpeg(static_cast<std::uint16_t>(c.width), static_cast<std::uint16_t>(c.height)));
  } else if (name.ends_with(".png")) {
    WriteFileBytes(path, claiming::GreyPng(c.width, c.height, 1));
  } else {
    claiming::WriteTiff(path, c.width, c.height);
  }
}

// 30000 x 13000 is within the pixel limit; only its side is too large for a
// loaded picture.
const Claim kClaims[] = {
    {"wide.jpg", 30000, 13000, false},  {"many.jpg", 20000, 20001, true},
    {"libjpeg.jpg", 65535, 100, false},  // beyond libjpeg's own maximum side
    {"wide.png", 30000, 13000, false},  {"many.png", 20000, 20001, true},
    {"libpng.png", 1000001, 1, false},  // beyond libpng's own maximum side
    {"wide.tif", 30000, 13000, false},  {"many.tif", 20001, 20000, true},
};

TEST(SizeLimits, HeadersAboveTheLimitsAreRefusedBeforeAnyPixelMemory) {
  for (const Claim& c : kClaims) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path path = ScratchDir() / c.name;
    WriteClaim(c, path);
    CBgraImage image;
    MakeMarked(image);
    const PixelBlockFailure watch(-1);
    SetImageLoadError("stale");
    EXPECT_EQ(image.LoadFile(path), 0);
    EXPECT_EQ(ImageLoadError(), kImageTooLarge);
    SetImageLoadError("stale");
    EXPECT_EQ(LoadImageAsBgra(path, image), 0);
    EXPECT_EQ(ImageLoadError(), kImageTooLarge);
    if (std::string_view(c.name).ends_with(".jpg")) {
      SetImageLoadError("stale");
      EXPECT_EQ(DecodeJpegFromMemory(ReadFileBytes(path), image), 0);
      EXPECT_EQ(ImageLoadError(), kImageTooLarge);
    }
    EXPECT_TRUE(StillMarked(image));
    // The codec layer holds every picture to the pixel limit.
    CCodecImage codec;
    if (c.abovePixelLimit) {
      EXPECT_FALSE(codec.Load(path, static_cast<CodecFormat>(GetCodecFormat(path))));
      EXPECT_STREQ(codec.GetLastError(), kImageTooLarge);
    }
    EXPECT_EQ(watch.Requested(), 0) << "largest block asked for: " << watch.Largest();
  }
}

TEST(SizeLimits, PicturesAtTheLimitsStillLoad) {
  const std::filesystem::path path = ScratchDir() / "edge.png";
  for (const auto& [width, height] : {std::pair{20000u, 4u}, std::pair{4u, 20000u}}) {
    WriteFileBytes(path, claiming::GreyPng(width, height, height));
    CBgraImage image;
    ASSERT_EQ(image.LoadFile(path), 1) << ImageLoadError();
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(ImageLoadError(), "");
  }
}

// Deflate makes at most 1032 bytes of each compressed byte, so a PNG's rows
// need a stream of at least 1/1032 of their size: a header claiming more is
// refused before the picture is allocated, while zlib's best compression of
// a uniform picture still loads.
TEST(SizeLimits, APngCannotClaimMoreRowsThanItsFileHolds) {
  {
    const Bytes tiny = claiming::GreyPng(16000, 16000, 1);  // 256 MB of rows in under 1 KB
    ASSERT_LT(tiny.size(), 1000u);
    const PixelBlockFailure watch(-1);
    CCodecImage codec;
    CCodecMemStream stream(tiny);
    EXPECT_FALSE(codec.Decode(stream, CodecFormat::Png));
    EXPECT_STREQ(codec.GetLastError(), "Not enough image data");
    EXPECT_EQ(watch.Requested(), 0) << "largest block asked for: " << watch.Largest();
  }
  {
    const Bytes dense = claiming::GreyPng(6000, 6000, 6000);
    CCodecImage codec;
    CCodecMemStream stream(dense);
    ASSERT_TRUE(codec.Decode(stream, CodecFormat::Png)) << codec.GetLastError();
    EXPECT_EQ(codec.GetHeight(), 6000u);
    // zlib comes within 0.5 % of deflate's limit here.
    EXPECT_GT(36000000.0 / static_cast<double>(dense.size()), 1025.0);
  }
}

TEST(SizeLimits, RawBgrHeaderMustFitTheFile) {
  const std::filesystem::path path = ScratchDir() / "claim.raw";
  CBgraImage image;
  MakeMarked(image);
  {
    // 21 bytes asking for 31271 x 12544: refused before the picture is made.
    Bytes claim(21, 7);
    StoreLE32(&claim[0], 31271);
    StoreLE32(&claim[4], 12544);
    WriteFileBytes(path, claim);
    const PixelBlockFailure watch(-1);
    EXPECT_EQ(image.LoadRawBgr(path), 0);
    EXPECT_EQ(watch.Requested(), 0) << "largest block asked for: " << watch.Largest();
    EXPECT_TRUE(StillMarked(image));
  }
  // A file exactly the size its header needs loads; one byte less does not.
  Bytes exact(8 + 3 * 5 * 3, 9);
  StoreLE32(&exact[0], 5);
  StoreLE32(&exact[4], 3);
  WriteFileBytes(path, std::span(exact).first(exact.size() - 1));
  EXPECT_EQ(image.LoadRawBgr(path), 0);
  EXPECT_TRUE(StillMarked(image));
  WriteFileBytes(path, exact);
  ASSERT_EQ(image.LoadRawBgr(path), 1);
  EXPECT_EQ(image.width, 5u);
  EXPECT_EQ(image.height, 3u);
  EXPECT_EQ(image.pixels[0], 9);
  EXPECT_EQ(image.pixels[3], 255);
}

}  // namespace
