// The developed size of camera RAW files: non-square pixels are stretched to
// the size LibRaw reports after processing, and a header claiming a picture
// above the limits is refused before LibRaw unpacks it.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <mutex>

#include "image/BgraImage16.h"
#include "image/CameraRaw.h"
#include "image/ImageLoadError.h"
#include "tests/common/PixelBlockFailure.h"
#include "tests/common/TestData.h"
#include "tests/image/DngFixture.h"

namespace {

int Develop(const std::filesystem::path& path, CBgraImage16& image) {
  const std::lock_guard<std::mutex> lock(RawDecodeLock);
  return LoadRawImage(path, image);
}

// Whether every pixel of the rectangle equals the reference pixel.
bool Uniform(const CBgraImage16& image, std::uint32_t left, std::uint32_t top, std::uint32_t right,
             std::uint32_t bottom, const std::uint16_t* reference) {
  for (std::uint32_t y = top; y < bottom; ++y) {
    for (std::uint32_t x = left; x < right; ++x) {
      const std::uint16_t* p = image.At(x, y);
      if (p[0] != reference[0] || p[1] != reference[1] || p[2] != reference[2] || p[3] != 65535) {
        ADD_FAILURE() << "pixel " << x << ", " << y << " differs";
        return false;
      }
    }
  }
  return true;
}

TEST(CameraRawSize, NonSquarePixelsAreStretched) {
  const std::filesystem::path plainPath = ScratchDir() / "square.dng";
  WriteDng(plainPath, PreviewForm::Jpeg);
  CBgraImage16 plain;
  ASSERT_EQ(Develop(plainPath, plain), 1);
  // Away from the borders and the colour edge at x = 32, each half of the
  // scene is one colour.
  const std::uint16_t* red = plain.At(12, 24);
  const std::uint16_t* blue = plain.At(52, 24);
  ASSERT_TRUE(Uniform(plain, 4, 4, 28, kRawHeight - 4, red));
  ASSERT_TRUE(Uniform(plain, 36, 4, kRawWidth - 4, kRawHeight - 4, blue));

  struct Case {
    float scaleH, scaleV;
    std::uint32_t xFactor, yFactor;
  };
  for (const Case c : {Case{1, 2, 1, 2}, Case{2, 1, 2, 1}}) {
    SCOPED_TRACE(testing::Message() << "DefaultScale " << c.scaleH << ", " << c.scaleV);
    const std::filesystem::path path = ScratchDir() / "stretched.dng";
    WriteDng(path, PreviewForm::Jpeg, DngShape{.scaleH = c.scaleH, .scaleV = c.scaleV});
    CBgraImage16 image;
    ASSERT_EQ(Develop(path, image), 1) << ImageLoadError();
    ASSERT_EQ(image.width, kRawWidth * c.xFactor);
    ASSERT_EQ(image.height, kRawHeight * c.yFactor);
    const std::uint32_t x = c.xFactor, y = c.yFactor;
    EXPECT_TRUE(Uniform(image, 4 * x, 4 * y, 28 * x, (kRawHeight - 4) * y, red));
    EXPECT_TRUE(Uniform(image, 36 * x, 4 * y, (kRawWidth - 4) * x, (kRawHeight - 4) * y, blue));
  }
}

TEST(CameraRawSize, PicturesAboveTheLimitsAreRefusedFromTheHeader) {
  struct Case {
    const char* what;
    DngShape shape;
  };
  // Each file stores one row of its mosaic: unpacking would read a sensor of
  // the claimed size.
  const Case cases[] = {
      {"sensor above the pixel limit", DngShape{.width = 20002, .height = 20002, .cutShort = true}},
      {"side above the limit", DngShape{.width = 20002, .height = 64, .cutShort = true}},
      {"stretched above the limit",
       DngShape{.width = 19000, .height = 19000, .scaleH = 1, .scaleV = 2, .cutShort = true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::filesystem::path path = ScratchDir() / "claim.dng";
    WriteDng(path, PreviewForm::Jpeg, c.shape);
    CBgraImage16 image;
    ASSERT_EQ(image.Create(2, 2), 1);
    const PixelBlockFailure watch(-1);
    EXPECT_EQ(Develop(path, image), 0);
    EXPECT_EQ(ImageLoadError(), kImageTooLarge);
    EXPECT_EQ(image.width, 2u);
    EXPECT_EQ(watch.Requested(), 0);
  }
}

}  // namespace
