#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>

#include "document/BFDoc.h"
#include "document/FormatFileTitle.h"
#include "document/SmoothJpegChroma.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/CameraRaw.h"
#include "image/ImageCodec.h"
#include "platform/Utf16.h"
#include "tests/common/PixelBlockFailure.h"
#include "tests/common/TestData.h"
#include "tests/document/DocumentTestSupport.h"
#include "tests/image/DngFixture.h"

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
template <typename Cb, typename Cr>
CBgraImage FromYcc(std::uint32_t width, std::uint32_t height, Cb cb, Cr cr) {
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

// ---- Opening files ---------------------------------------------------------

// The colour space the tests' information reader reports for every file,
// and how often it was asked.
std::uint16_t g_reportedColourSpace = CBFDoc::kColourSpaceNone;
int g_colourSpaceQuestions = 0;
std::uint16_t ReportColourSpace(const std::filesystem::path&) {
  ++g_colourSpaceQuestions;
  return g_reportedColourSpace;
}

class OpenImageFile : public testing::Test {
protected:
  void SetUp() override {
    g_reportedColourSpace = CBFDoc::kColourSpaceNone;
    CBFDoc::SetColourSpaceReader(ReportColourSpace);
  }
  void TearDown() override { CBFDoc::SetColourSpaceReader(nullptr); }

  std::filesystem::path Save(const CBgraImage& picture, const std::string& name, bool withAlpha = true) {
    const std::filesystem::path path = ScratchDir() / name;
    if (GetImageType(path) == ImageFileType::Jpeg) {
      EXPECT_TRUE(SaveJpegFile(JpegSaveOptions{}, path, picture, 200));  // 100, full-resolution chroma
    } else {
      EXPECT_TRUE(picture.SaveFile(path, withAlpha)) << name;
    }
    return path;
  }

  // The layer image the open road makes from a picture, without smoothing.
  static CBgraImage16 Converted(const std::filesystem::path& path, int colourSpace, bool opaque) {
    CBgraImage picture;
    EXPECT_TRUE(LoadImageAsBgra(path, picture));
    if (opaque) {
      for (std::uint32_t i = 0; i < picture.pixelCount; ++i) picture.pixels[4 * i + 3] = 255;
    }
    CBgraImage16 image;
    EXPECT_TRUE(image.FromBgraImage(picture, colourSpace));
    return image;
  }
};

// A picture with half-transparent pixels and smooth colours.
CBgraImage TranslucentPicture(std::uint32_t width, std::uint32_t height) {
  CBgraImage picture;
  EXPECT_TRUE(picture.Create(width, height));
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      std::uint8_t* p = picture.At(x, y);
      p[0] = static_cast<std::uint8_t>(20 + 10 * x);
      p[1] = static_cast<std::uint8_t>(60 + 5 * y);
      p[2] = 180;
      p[3] = 100;
    }
  }
  return picture;
}

bool SameImage(const CBgraImage16& a, const CBgraImage16& b) {
  return a.width == b.width && a.height == b.height &&
         std::equal(a.pixels, a.pixels + a.byteSize / 2, b.pixels);
}

TEST_F(OpenImageFile, MakesOneBaseLayerNamedAfterTheFile) {
  const std::filesystem::path path = Save(TranslucentPicture(12, 9), "holiday.png");
  CBFDoc doc;
  MakeBase(doc, 3, 3);
  ASSERT_TRUE(doc.InsertLayer(FilledImage(1, 1, kOpaqueGrey), u"old", -1));
  doc.m_masks.push_back(std::make_unique<MaskRecord>());
  EXPECT_EQ(doc.OpenImageFile(path), 1);
  ASSERT_EQ(doc.LayerCount(), 1);
  EXPECT_TRUE(doc.m_masks.empty());
  EXPECT_EQ(doc.m_width, 12u);
  EXPECT_EQ(doc.m_height, 9u);
  EXPECT_EQ(doc.m_currentLayer, 0);
  EXPECT_EQ(doc.Path(), PathToUtf16(path));
  const CBFLayer& layer = *doc.m_layers[0];
  EXPECT_EQ(layer.Name(), u"holiday.png");
  EXPECT_EQ(layer.m_floating, 0u);
  EXPECT_EQ(layer.m_x, 0);
}

TEST_F(OpenImageFile, OnlyPngAndGifKeepTheirAlpha) {
  const CBgraImage picture = TranslucentPicture(8, 6);
  struct Case {
    const char* name;
    bool keepsAlpha;
  };
  for (const Case c : {Case{"a.png", true}, Case{"a.tif", false}}) {
    const std::filesystem::path path = Save(picture, c.name);
    CBgraImage loaded;
    ASSERT_TRUE(LoadImageAsBgra(path, loaded)) << c.name;
    ASSERT_EQ(loaded.At(3, 3)[3], 100) << c.name << ": the file itself must carry the alpha";
    CBFDoc doc;
    ASSERT_EQ(doc.OpenImageFile(path), 1) << c.name;
    EXPECT_EQ(doc.m_layers[0]->m_image.At(3, 3)[3], c.keepsAlpha ? 100 * 256 : 65535) << c.name;
    EXPECT_TRUE(SameImage(doc.m_layers[0]->m_image, Converted(path, 1, !c.keepsAlpha))) << c.name;
  }
}

TEST_F(OpenImageFile, ColourSpaceDecidesConversionAndResult) {
  const std::filesystem::path jpeg = Save(TranslucentPicture(16, 16), "photo.jpg");
  const std::filesystem::path png = Save(TranslucentPicture(16, 16), "picture.png");
  struct Case {
    std::uint16_t colourSpace;
    int jpegResult;
    int convertedAs;
  };
  // An unknown value converts as sRGB.
  for (const Case c : {Case{65535, 2, 1}, Case{1, 1, 1}, Case{2, 1, 2}, Case{3, 1, 1}, Case{0xFFFE, 1, 1}}) {
    g_reportedColourSpace = c.colourSpace;
    CBFDoc doc;
    EXPECT_EQ(doc.OpenImageFile(jpeg), c.jpegResult) << c.colourSpace;
    CBFDoc pngDoc;
    EXPECT_EQ(pngDoc.OpenImageFile(png), 1) << c.colourSpace;
    EXPECT_TRUE(SameImage(pngDoc.m_layers[0]->m_image, Converted(png, c.convertedAs, false)))
        << c.colourSpace;
  }
}

TEST_F(OpenImageFile, SmoothsJpegChromaReplicatedInBlocks) {
  // Luma ramps; chroma is constant over 2 x 2 blocks, as a decoder that
  // replicates subsampled chroma leaves it.
  CBgraImage picture = FromYcc(
      32, 32,
      [](std::uint32_t x, std::uint32_t y) { return 70 + 12 * static_cast<int>((x / 2 + y / 2) % 9); },
      [](std::uint32_t x, std::uint32_t) { return 160 - 9 * static_cast<int>((x / 2) % 7); });
  for (std::uint32_t i = 0; i < picture.pixelCount; ++i) picture.pixels[4 * i + 3] = 255;
  const std::filesystem::path path = Save(picture, "blocky.jpg");

  CBFDoc doc;
  ASSERT_EQ(doc.OpenImageFile(path), 2);
  const CBgraImage16& opened = doc.m_layers[0]->m_image;
  EXPECT_FALSE(SameImage(opened, Converted(path, 1, true)));
  CBgraImage smoothed;
  ASSERT_TRUE(LoadImageAsBgra(path, smoothed));
  SmoothJpegChroma(smoothed);
  CBgraImage16 expected;
  ASSERT_TRUE(expected.FromBgraImage(smoothed, 1));
  EXPECT_TRUE(SameImage(opened, expected));
}

// ---- The JPEG road: one decode, the pixels of the steps ---------------------

// Anchors (even x <= width - 3 of even rows <= height - 3) of a YCbCr
// picture whose Cb differs by more than 2 from the pixel's to the right or
// below.
std::int64_t DifferingAnchors(const CBgraImage& ycc) {
  std::int64_t differing = 0;
  for (std::uint32_t y = 0; y + 2 < ycc.height; y += 2) {
    for (std::uint32_t x = 0; x + 2 < ycc.width; x += 2) {
      const int cb = ycc.At(x, y)[1];
      differing += std::abs(cb - ycc.At(x + 1, y)[1]) > 2 || std::abs(cb - ycc.At(x, y + 1)[1]) > 2;
    }
  }
  return differing;
}

// The chroma smoothing as its formulas read, position by position from an
// unchanged copy: the reference that both forms of it are held to. Returns
// whether the chroma was interpolated.
bool ReferenceSmoothJpegChroma(CBgraImage& image) {
  if (image.IsEmpty()) return false;
  image.RgbToYcc();
  CBgraImage ycc;
  EXPECT_TRUE(ycc.CopyFrom(image));
  const bool smooth = DifferingAnchors(ycc) < image.pixelCount / 10;
  for (std::uint32_t y = 0; smooth && y + 2 < image.height; y += 2) {
    for (std::uint32_t x = 0; x + 2 < image.width; x += 2) {
      for (int c : {0, 1}) {
        const int p = ycc.At(x, y)[c], right = ycc.At(x + 2, y)[c], down = ycc.At(x, y + 2)[c];
        image.At(x + 1, y)[c] = static_cast<std::uint8_t>((p + right) >> 1);
        image.At(x, y + 1)[c] = static_cast<std::uint8_t>((p + down) >> 1);
        image.At(x + 1, y + 1)[c] =
            static_cast<std::uint8_t>((p + right + down + ycc.At(x + 2, y + 2)[c]) >> 2);
      }
    }
  }
  image.YccToRgb();
  return smooth;
}

// The layer image of the steps the JPEG road stands for: LoadImageAsBgra
// (opaque already), the smoothing, then FromBgraImage. On the way the
// whole-image SmoothJpegChroma must match the reference.
CBgraImage16 Stepwise(const std::filesystem::path& path, int colourSpace) {
  CBgraImage picture, smoothed;
  EXPECT_TRUE(LoadImageAsBgra(path, picture)) << path;
  EXPECT_TRUE(smoothed.CopyFrom(picture));
  SmoothJpegChroma(smoothed);
  ReferenceSmoothJpegChroma(picture);
  EXPECT_TRUE(SamePixels(smoothed, picture)) << path;
  CBgraImage16 image;
  EXPECT_TRUE(image.FromBgraImage(picture, colourSpace));
  return image;
}

TEST_F(OpenImageFile, RealJpegsOpenAsTheStepsMakeThem) {
  const char* const files[] = {
      "usr/share/go-1.19/src/image/testdata/video-001.jpeg",                      // 4:2:0
      "usr/share/go-1.19/src/image/testdata/video-001.q50.444.jpeg",              // full chroma
      "usr/share/go-1.19/src/image/testdata/video-001.q50.410.progressive.jpeg",  // 4:1:0, progressive
      "usr/share/go-1.19/src/image/testdata/video-001.cmyk.jpeg",
      "usr/share/go-1.19/src/image/testdata/video-005.gray.jpeg",
      "usr/share/gocode/src/github.com/rwcarlsen/goexif/exif/sample1.jpg",  // chroma not replicated
      "usr/lib/python3/dist-packages/skimage/data/rocket.jpg",              // Adobe RGB, odd height
  };
  for (const char* file : files) {
    const std::filesystem::path path = TestDataPath(file);
    for (const std::uint16_t colourSpace : {std::uint16_t{1}, std::uint16_t{2}, CBFDoc::kColourSpaceNone}) {
      SCOPED_TRACE(std::string(file) + ", colour space " + std::to_string(colourSpace));
      g_reportedColourSpace = colourSpace;
      CBFDoc doc;
      ASSERT_EQ(doc.OpenImageFile(path), colourSpace == CBFDoc::kColourSpaceNone ? 2 : 1);
      EXPECT_TRUE(SameImage(doc.m_layers[0]->m_image, Stepwise(path, colourSpace == 2 ? 2 : 1)));
    }
  }
}

// Small sides meet the last rows and columns that the smoothing leaves and
// the rows the one-pass conversion reads last.
TEST_F(OpenImageFile, SmallJpegsOpenAsTheStepsMakeThem) {
  const std::pair<std::uint32_t, std::uint32_t> sides[] = {{1, 1}, {1, 6},  {2, 2},   {3, 3},  {4, 7},
                                                           {7, 4}, {9, 10}, {33, 17}, {18, 35}};
  int smoothed = 0, leftAlone = 0;
  for (const auto& [width, height] : sides) {
    // Chroma in 2 x 2 blocks (smoothed) and chroma that changes at every pixel (not).
    const CBgraImage pictures[] = {
        FromYcc(
            width, height,
            [](std::uint32_t x, std::uint32_t y) { return 60 + 40 * static_cast<int>((x / 2 + y / 2) % 4); },
            [](std::uint32_t x, std::uint32_t) { return 150 - 30 * static_cast<int>((x / 2) % 3); }),
        FromYcc(
            width, height,
            [](std::uint32_t x, std::uint32_t y) { return 50 + 37 * static_cast<int>((x * 5 + y * 3) % 5); },
            [](std::uint32_t x, std::uint32_t y) { return 90 + 29 * static_cast<int>((x + 2 * y) % 4); }),
    };
    for (const CBgraImage& picture : pictures) {
      SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
      const std::filesystem::path path = Save(picture, "small.jpg");
      CBFDoc doc;
      ASSERT_EQ(doc.OpenImageFile(path), 2);
      EXPECT_TRUE(SameImage(doc.m_layers[0]->m_image, Stepwise(path, 1)));
      CBgraImage loaded;
      ASSERT_TRUE(LoadImageAsBgra(path, loaded));
      const CBgraImage plain = RoundTripOnly(loaded);
      SmoothJpegChroma(loaded);
      ++(SamePixels(loaded, plain) ? leftAlone : smoothed);
    }
  }
  EXPECT_GT(smoothed, 0);
  EXPECT_GT(leftAlone, 0);
}

TEST_F(OpenImageFile, DamagedJpegsFailCleanlyOrOpenAsTheStepsMakeThem) {
  const char* const files[] = {
      "usr/lib/python3/dist-packages/skimage/data/truncated.jpg",
      "usr/libexec/installed-tests/gdk-pixbuf/bug775218.jpg",
      "usr/libexec/installed-tests/gdk-pixbuf/test-images/fail/CVE-2017-2862.jpg",
      "usr/libexec/installed-tests/gdk-pixbuf/test-images/randomly-modified/bug775697.jpg",
      "usr/libexec/installed-tests/gdk-pixbuf/test-images/randomly-modified/valid.1.jpeg",
      "usr/libexec/installed-tests/gdk-pixbuf/premature-end.jpg",  // CMYK, cut short
      "usr/share/go-1.19/src/image/testdata/video-001.progressive.truncated.jpeg",
      "usr/share/gocode/src/github.com/rwcarlsen/goexif/exif/corrupt/huge_tag_exif.jpg",
      "usr/share/gocode/src/github.com/rwcarlsen/goexif/exif/corrupt/infinite_loop_exif.jpg",
  };
  int failures = 0;
  for (const char* file : files) {
    SCOPED_TRACE(file);
    const std::filesystem::path path = TestDataPath(file);
    CBgraImage picture;
    const bool loads = LoadImageAsBgra(path, picture) != 0;
    CBFDoc doc;
    MakeBase(doc, 5, 5);
    doc.SetPath(u"/kept.png");
    const int result = doc.OpenImageFile(path);
    ASSERT_EQ(result != 0, loads);
    if (loads) {
      EXPECT_TRUE(SameImage(doc.m_layers[0]->m_image, Stepwise(path, 1)));
    } else {
      ++failures;
      EXPECT_EQ(doc.LayerCount(), 1);
      EXPECT_EQ(doc.m_width, 5u);
      EXPECT_EQ(doc.Path(), u"/kept.png");
    }
  }
  EXPECT_GE(failures, 4);
}

// Every JPEG of the test-data cache, damaged ones included, opens into the
// pixels of the steps or fails as LoadImageAsBgra does.
TEST_F(OpenImageFile, EveryCachedJpegOpensAsTheStepsMakeThem) {
  int opened = 0, smoothed = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(TestDataRoot())) {
    const std::filesystem::path& path = entry.path();
    if (!entry.is_regular_file() || GetImageType(path) != ImageFileType::Jpeg) continue;
    SCOPED_TRACE(path.string());
    CBgraImage picture;
    const bool loads = LoadImageAsBgra(path, picture) != 0;
    CBFDoc doc;
    ASSERT_EQ(doc.OpenImageFile(path), loads ? 2 : 0);
    if (!loads) continue;
    ++opened;
    smoothed += ReferenceSmoothJpegChroma(picture);
    picture.Free();
    EXPECT_TRUE(SameImage(doc.m_layers[0]->m_image, Stepwise(path, 1)));
  }
  EXPECT_GT(opened, 50);
  EXPECT_GT(smoothed, 10);
  EXPECT_LT(smoothed, opened);
}

// Chroma replicated in 2 x 2 blocks but for a run of noisy blocks at the top
// or the bottom, whose length sweeps the count of differing anchors across
// the threshold: the road settles the choice early, late or at the last row,
// each way, and must still give the pixels of the steps.
TEST_F(OpenImageFile, JpegsAroundTheSmoothingThresholdOpenAsTheStepsMakeThem) {
  constexpr std::uint32_t kWidth = 40, kHeight = 36;
  constexpr std::int64_t kThreshold = kWidth * kHeight / 10;
  constexpr std::uint32_t kBlocks = (kWidth / 2) * (kHeight / 2);
  std::int64_t nearestBelow = kThreshold, nearestAbove = kThreshold;
  for (const bool atTop : {true, false}) {
    for (std::uint32_t noisy = 88; noisy <= 128; ++noisy) {
      // Blocks in raster order; the noisy ones are the first or the last.
      auto isNoisy = [&](std::uint32_t x, std::uint32_t y) {
        const std::uint32_t block = (y / 2) * (kWidth / 2) + x / 2;
        return atTop ? block < noisy : block >= kBlocks - noisy;
      };
      const CBgraImage picture = FromYcc(
          kWidth, kHeight,
          [&](std::uint32_t x, std::uint32_t y) {
            const int base = 80 + 20 * static_cast<int>((x / 2 + y / 2) % 5);
            return isNoisy(x, y) ? base + 30 * static_cast<int>((x * 7 + y * 3) % 4) : base;
          },
          [](std::uint32_t x, std::uint32_t) { return 150 - 12 * static_cast<int>((x / 2) % 4); });
      SCOPED_TRACE(std::string(atTop ? "top " : "bottom ") + std::to_string(noisy));
      const std::filesystem::path path = Save(picture, "threshold.jpg");
      CBFDoc doc;
      ASSERT_EQ(doc.OpenImageFile(path), 2);
      EXPECT_TRUE(SameImage(doc.m_layers[0]->m_image, Stepwise(path, 1)));
      CBgraImage ycc;
      ASSERT_TRUE(LoadImageAsBgra(path, ycc));
      ycc.RgbToYcc();
      const std::int64_t differing = DifferingAnchors(ycc);
      if (differing < kThreshold) nearestBelow = std::min(nearestBelow, kThreshold - differing);
      if (differing >= kThreshold) nearestAbove = std::min(nearestAbove, differing - kThreshold);
    }
  }
  EXPECT_LE(nearestBelow, 3) << "a picture just below the threshold";
  EXPECT_LE(nearestAbove, 3) << "a picture at or just above it";
}

TEST_F(OpenImageFile, JpegTooLargeOrOutOfMemoryLeavesTheDocument) {
  const std::filesystem::path path = Save(TranslucentPicture(16, 16), "photo.jpg");
  CBFDoc doc;
  MakeBase(doc, 5, 5);
  doc.SetPath(u"/kept.png");
  {
    const PixelBlockFailure failure(0);
    EXPECT_EQ(doc.OpenImageFile(path), 0);
  }
  {
    // Refused from the header: no pixel memory is asked for.
    const PixelBlockFailure counter(-1);
    EXPECT_EQ(doc.OpenImageFile(TestDataPath("usr/libexec/installed-tests/gdk-pixbuf/large.jpg")), 0);
    EXPECT_EQ(counter.Requested(), 0);
  }
  EXPECT_EQ(doc.LayerCount(), 1);
  EXPECT_EQ(doc.m_width, 5u);
  EXPECT_EQ(doc.Path(), u"/kept.png");
}

TEST_F(OpenImageFile, TitlesOf31CharactersAreCut) {
  CBFDoc doc;
  const std::string thirty = std::string(26, 't') + ".png";
  ASSERT_TRUE(doc.OpenImageFile(Save(TranslucentPicture(2, 2), thirty)));
  EXPECT_EQ(doc.m_layers[0]->Name(), FromUtf8(thirty));
  ASSERT_TRUE(doc.OpenImageFile(Save(TranslucentPicture(2, 2), "u" + thirty)));
  EXPECT_EQ(doc.m_layers[0]->Name(), u"u" + std::u16string(26, u't') + u".p..");
}

TEST_F(OpenImageFile, FailureLeavesTheDocument) {
  CBFDoc doc;
  MakeBase(doc, 5, 5);
  doc.SetPath(u"/kept.png");
  const std::filesystem::path broken = ScratchDir() / "broken.png";
  std::ofstream(broken) << "not a picture";
  for (const std::filesystem::path& path :
       {ScratchDir() / "missing.jpg", broken, ScratchDir() / "missing.nef"}) {
    EXPECT_EQ(doc.OpenImageFile(path), 0) << path;
    EXPECT_EQ(doc.LayerCount(), 1);
    EXPECT_EQ(doc.Path(), u"/kept.png");
  }
}

TEST_F(OpenImageFile, DevelopsCameraRawIntoTheLayer) {
  const std::filesystem::path path = ScratchDir() / "shot.dng";
  WriteDng(path, PreviewForm::Rgb);
  g_colourSpaceQuestions = 0;
  CBFDoc doc;
  ASSERT_EQ(doc.OpenImageFile(path), 1);
  EXPECT_EQ(g_colourSpaceQuestions, 0) << "RAW is developed into the working space directly";
  EXPECT_EQ(doc.m_width, kRawWidth);
  EXPECT_EQ(doc.m_height, kRawHeight);
  const CBFLayer& layer = *doc.m_layers[0];
  EXPECT_EQ(layer.Name(), u"shot.dng");
  EXPECT_EQ(layer.m_image.At(10, 10)[3], 65535);
  EXPECT_GT(layer.m_image.At(10, 10)[2], layer.m_image.At(10, 10)[0]) << "red on the left";
  ASSERT_TRUE(RawDecodeLock.try_lock()) << "the RAW lock is released";
  RawDecodeLock.unlock();
}

}  // namespace
