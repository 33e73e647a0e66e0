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
#include "tests/image/DngFixture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

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
    ASSERT_TRUE(image.Create(2, 2));
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
