#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "image/ImageArray.h"
#include "image/PictureFile.h"
#include "image/codecs/CodecImage.h"
#include "tests/common/TestData.h"

namespace {

// A 24-bit PNG whose pixel (x, y) is B = x, G = y, R = 9, with an alpha plane
// of x + y when withAlpha is set.
void WriteStrip(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
                bool withAlpha) {
  CCodecImage image(CodecFormat::Png);
  ASSERT_TRUE(image.Create(width, height, 24, CodecFormat::Png));
  if (withAlpha) {
    ASSERT_TRUE(image.AlphaCreate());
  }
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint32_t codecY = height - 1 - y;
    std::uint8_t* row = image.GetBits() + std::size_t{codecY} * image.GetRowStride();
    for (std::uint32_t x = 0; x < width; ++x) {
      row[3 * x] = static_cast<std::uint8_t>(x);
      row[3 * x + 1] = static_cast<std::uint8_t>(y);
      row[3 * x + 2] = 9;
      if (withAlpha)
        image.GetAlphaPlane()[std::size_t{codecY} * width + x] = static_cast<std::uint8_t>(x + y);
    }
  }
  ASSERT_TRUE(image.Save(path, CodecFormat::Png));
}

TEST(PictureFileTest, LoadsTopDownWithAlpha) {
  const auto dir = ScratchDir();
  WriteStrip(dir / "alpha.png", 5, 3, true);
  WriteStrip(dir / "opaque.PNG", 5, 3, false);
  CBgraImage image;
  ASSERT_TRUE(LoadPictureFile(dir / "alpha.png", image));
  ASSERT_EQ(image.width, 5u);
  ASSERT_EQ(image.height, 3u);
  const std::uint8_t* p = image.At(4, 2);
  EXPECT_EQ(p[0], 4);
  EXPECT_EQ(p[1], 2);
  EXPECT_EQ(p[2], 9);
  EXPECT_EQ(p[3], 6);
  ASSERT_TRUE(LoadPictureFile(dir / "opaque.PNG", image));
  EXPECT_EQ(image.At(3, 1)[3], 255);

  // A palette picture is transparent exactly at its transparent index.
  CCodecImage palette(CodecFormat::Png);
  ASSERT_TRUE(palette.Create(3, 1, 8, CodecFormat::Png));
  palette.SetPaletteColor(std::uint8_t{0}, 10, 20, 30);
  palette.SetPaletteColor(std::uint8_t{1}, 40, 50, 60);
  palette.SetPixelIndex(0, 0, 0);
  palette.SetPixelIndex(1, 0, 1);
  palette.SetPixelIndex(2, 0, 0);
  palette.attributes.transparentIndex = 1;
  ASSERT_TRUE(palette.Save(dir / "palette.png", CodecFormat::Png));
  ASSERT_TRUE(LoadPictureFile(dir / "palette.png", image));
  EXPECT_EQ(image.At(0, 0)[3], 255);
  EXPECT_EQ(image.At(1, 0)[3], 0);
  EXPECT_EQ(image.At(2, 0)[2], 10);

  // Failures leave the image alone.
  const std::uint32_t before = image.width;
  EXPECT_FALSE(LoadPictureFile(dir / "missing.png", image));
  std::filesystem::copy_file(dir / "alpha.png", dir / "alpha.jpg2");
  EXPECT_FALSE(LoadPictureFile(dir / "alpha.jpg2", image));
  WriteStrip(dir / "wide.png", 20001, 1, false);
  EXPECT_FALSE(LoadPictureFile(dir / "wide.png", image));
  EXPECT_EQ(image.width, before);
}

TEST(ImageArrayTest, StripsAreCutIntoPieces) {
  const auto dir = ScratchDir();
  WriteStrip(dir / "strip.png", 100, 20, true);
  struct Case {
    std::int32_t pieceWidth;
    std::size_t count;
  };
  for (const Case c : {Case{20, 5}, Case{30, 3}, Case{120, 0}}) {
    SCOPED_TRACE(c.pieceWidth);
    CImageArray array;
    ASSERT_TRUE(array.LoadStrip(dir / "strip.png", c.pieceWidth));
    ASSERT_EQ(array.Count(), c.count);
    for (std::size_t j = 0; j < c.count; ++j) {
      const CBgraImage& piece = *array.At(j);
      ASSERT_EQ(piece.width, std::uint32_t(c.pieceWidth));
      ASSERT_EQ(piece.height, 20u);
      EXPECT_EQ(piece.At(0, 0)[0], j * c.pieceWidth);
      EXPECT_EQ(piece.At(piece.width - 1, 7)[0], (j + 1) * c.pieceWidth - 1);
      EXPECT_EQ(piece.At(piece.width - 1, 7)[1], 7);
    }
  }

  CImageArray icons;
  ASSERT_TRUE(icons.LoadStrip(dir / "strip.png", 50));
  ASSERT_TRUE(icons.AppendStrip(dir / "strip.png", 25));
  ASSERT_EQ(icons.Count(), 6u);
  EXPECT_EQ(icons.At(2)->width, 25u);
  EXPECT_EQ(icons.At(5)->At(0, 0)[0], 75);
  EXPECT_EQ(icons.At(6), nullptr);
  // LoadStrip starts over.
  ASSERT_TRUE(icons.LoadStrip(dir / "strip.png", 100));
  EXPECT_EQ(icons.Count(), 1u);

  EXPECT_FALSE(icons.LoadStrip(dir / "strip.png", 0));
  EXPECT_FALSE(icons.AppendStrip(dir / "missing.png", 10));
  EXPECT_FALSE(icons.AppendFile(dir / "missing.png"));
  EXPECT_EQ(icons.Count(), 0u);
  EXPECT_TRUE(icons.AppendFile(dir / "strip.png"));
  EXPECT_EQ(icons.Count(), 1u);
}

TEST(ImageArrayTest, CopiesScalingAndClearing) {
  CImageArray array;
  CBgraImage icon;
  ASSERT_TRUE(icon.Create(20, 10));
  for (std::uint32_t y = 0; y < 10; ++y) {
    for (std::uint32_t x = 0; x < 20; ++x) std::memset(icon.At(x, y), static_cast<int>(x * 10), 4);
  }
  ASSERT_TRUE(array.AppendCopy(icon));
  ASSERT_TRUE(array.AppendCopy(CBgraImage{}));
  EXPECT_TRUE(array.At(1)->IsEmpty());
  ASSERT_TRUE(array.AppendCopies(array));
  EXPECT_EQ(array.Count(), 4u);

  ASSERT_TRUE(array.ScaleToWidth(40, 0, 1));
  EXPECT_EQ(array.At(0)->width, 40u);
  EXPECT_EQ(array.At(0)->height, 20u);
  EXPECT_EQ(array.At(2)->width, 20u);
  // An empty image cannot be scaled: the work stops there.
  EXPECT_FALSE(array.ScaleToWidth(40, 1, -1));
  EXPECT_EQ(array.At(2)->width, 20u);

  array.Clear();
  EXPECT_EQ(array.Count(), 0u);
  array.Clear();
  array.Free();
  EXPECT_TRUE(array.IsEmpty());
}

}  // namespace
