#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "document/FormatFileTitle.h"
#include "document/SmoothJpegChroma.h"
#include "image/BgraImage.h"

namespace {

TEST(FormatFileTitle, KeepsTheExtensionAndCutsLongNames) {
  struct Case {
    std::string path;
    std::u16string expected;
  };
  const std::u16string name238(238, u'a'), name239(239, u'b');
  const Case cases[] = {
      {"/photos/2024/beach.JPG", u"beach.JPG"},
      {"relative.tar.gz", u"relative.tar.gz"},
      {"/photos/no-extension", u"no-extension"},
      {"/photos/.hidden", u".hidden"},
      {"/photos/name.averyveryverylongextension", u"name.averyveryveryl"},
      {"/photos/" + std::string(238, 'a') + ".png", name238 + u".png"},
      {"/photos/" + std::string(239, 'b') + ".png", std::u16string(237, u'b') + u"...png"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatFileTitle(c.path, 256), c.expected) << c.path;
  EXPECT_EQ(FormatFileTitle("/x/" + std::string(300, 'c') + ".jpg", 256),
            std::u16string(237, u'c') + u"...jpg");
}

// An image whose Y, Cb and Cr are given per pixel, converted to RGB.
CBgraImage FromYcc(std::uint32_t width, std::uint32_t height, int (*cb)(std::uint32_t, std::uint32_t),
                   int (*cr)(std::uint32_t, std::uint32_t)) {
  CBgraImage image;
  EXPECT_TRUE(image.Create(width, height));
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      std::uint8_t* p = image.At(x, y);
      p[2] = 120;
      p[1] = static_cast<std::uint8_t>(cb(x, y));
      p[0] = static_cast<std::uint8_t>(cr(x, y));
      p[3] = static_cast<std::uint8_t>(x + y);
    }
  }
  image.YccToRgb();
  return image;
}

CBgraImage RoundTripOnly(const CBgraImage& image) {
  CBgraImage copy;
  EXPECT_TRUE(copy.CopyFrom(image));
  copy.RgbToYcc();
  copy.YccToRgb();
  return copy;
}

bool SamePixels(const CBgraImage& a, const CBgraImage& b) {
  return a.byteSize == b.byteSize && std::equal(a.pixels, a.pixels + a.byteSize, b.pixels);
}

TEST(SmoothJpegChroma, InterpolatesChromaReplicatedInBlocks) {
  // Chroma constant over 2 x 2 blocks, stepping by 40 from block to block.
  CBgraImage image = FromYcc(
      8, 8, [](std::uint32_t x, std::uint32_t) { return 80 + 40 * static_cast<int>(x / 2); },
      [](std::uint32_t, std::uint32_t y) { return 90 + 30 * static_cast<int>(y / 2); });
  const CBgraImage plain = RoundTripOnly(image);
  SmoothJpegChroma(image);
  EXPECT_FALSE(SamePixels(image, plain));
  image.RgbToYcc();
  // Column 1 lies between the blocks at columns 0 and 2; row 3 between the
  // blocks at rows 2 and 4.
  EXPECT_NEAR(image.At(1, 0)[1], 100, 3);
  EXPECT_NEAR(image.At(3, 2)[1], 140, 3);
  EXPECT_NEAR(image.At(0, 1)[0], 105, 3);
  EXPECT_NEAR(image.At(1, 1)[1], 100, 3);
  EXPECT_NEAR(image.At(1, 1)[0], 105, 3);
  EXPECT_NEAR(image.At(0, 0)[1], 80, 3) << "even positions keep their chroma";
  EXPECT_EQ(image.At(5, 2)[3], 7) << "alpha untouched";
}

TEST(SmoothJpegChroma, LeavesFullResolutionChromaToTheRoundTrip) {
  // Chroma that changes at every pixel: nothing is interpolated.
  CBgraImage image = FromYcc(
      9, 7, [](std::uint32_t x, std::uint32_t y) { return 60 + 13 * static_cast<int>((x * 7 + y * 3) % 11); },
      [](std::uint32_t x, std::uint32_t) { return 100 + 5 * static_cast<int>(x); });
  const CBgraImage plain = RoundTripOnly(image);
  SmoothJpegChroma(image);
  EXPECT_TRUE(SamePixels(image, plain));

  for (std::uint32_t side : {1u, 2u}) {
    CBgraImage tiny = FromYcc(
        side, 5, [](std::uint32_t, std::uint32_t) { return 128; },
        [](std::uint32_t, std::uint32_t) { return 128; });
    const CBgraImage tinyPlain = RoundTripOnly(tiny);
    SmoothJpegChroma(tiny);
    EXPECT_TRUE(SamePixels(tiny, tinyPlain)) << side;
  }
  CBgraImage empty;
  SmoothJpegChroma(empty);
  EXPECT_TRUE(empty.IsEmpty());
}

}  // namespace
