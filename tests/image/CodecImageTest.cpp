#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/codecs/CodecImage.h"
#include "platform/LittleEndian.h"

namespace {

RgbQuad Bgr(int b, int g, int r) {
  return {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r), 0};
}

std::vector<std::uint8_t> PixelBytes(const CCodecImage& image) {
  return {image.GetBits(), image.GetBits() + image.GetHeader().biSizeImage};
}

// ---- Layout -------------------------------------------------------------------

TEST(CodecImage, StrideColourCountAndBlockSize) {
  struct Case {
    std::int64_t width;
    std::int32_t bitCount;
    std::uint32_t bits, stride, colors;
  };
  const Case cases[] = {
      {1, 24, 24, 4, 0}, {3, 24, 24, 12, 0}, {9, 1, 1, 4, 2},   {33, 1, 1, 8, 2},  {3, 4, 4, 4, 16},
      {9, 4, 4, 8, 16},  {5, 8, 8, 8, 256},  {4, 8, 8, 4, 256}, {2, 0, 1, 4, 2},   {2, -3, 1, 4, 2},
      {2, 2, 4, 4, 16},  {2, 5, 8, 4, 256},  {2, 16, 24, 8, 0}, {2, 32, 24, 8, 0},
  };
  for (const Case& c : cases) {
    CCodecImage image;
    const std::uint8_t* block = image.Create(c.width, 3, c.bitCount, CodecFormat::Png);
    ASSERT_NE(block, nullptr) << c.width << "x" << c.bitCount;
    EXPECT_EQ(image.GetBitCount(), c.bits) << c.width << "x" << c.bitCount;
    EXPECT_EQ(image.GetRowStride(), c.stride) << c.width << "x" << c.bitCount;
    EXPECT_EQ(image.GetColorCount(), c.colors) << c.width << "x" << c.bitCount;
    EXPECT_EQ(image.GetPaletteSize(), 4 * c.colors);
    EXPECT_EQ(image.GetHeader().biSizeImage, c.stride * 3);
    EXPECT_EQ(image.GetBlockSize(), 40 + 4 * c.colors + c.stride * 3);
    EXPECT_EQ(image.GetBits(), block + 40 + 4 * c.colors);
    EXPECT_EQ(image.attributes.format, CodecFormat::Png);
  }
}

TEST(CodecImage, BlockStartsWithTheHeaderFieldByField) {
  CCodecImage image;
  image.SetXDPI(300);
  std::uint8_t* block = image.Create(3, 2, 8, CodecFormat::Bmp);
  ASSERT_NE(block, nullptr);
  // clang-format off
  const std::uint8_t expected[40] = {
      40, 0, 0, 0,  3, 0, 0, 0,  2, 0, 0, 0,  1, 0,  8, 0,  0, 0, 0, 0,  8, 0, 0, 0,
      0x23, 0x2E, 0, 0,  0x13, 0x0B, 0, 0,  0, 1, 0, 0,  0, 0, 0, 0,
  };
  // clang-format on

  EXPECT_EQ(std::memcmp(block, expected, 40), 0);
  EXPECT_EQ(image.GetBits(), block + 40 + 1024);
}

TEST(CodecImage, DpiBecomesPixelsPerMetre) {
  CCodecImage image;
  EXPECT_EQ(image.attributes.dpiX, 72);
  EXPECT_EQ(image.GetHeader().biXPelsPerMeter, 2835);
  for (auto [dpi, pels] : {std::pair{72, 2835}, {96, 3780}, {300, 11811}, {0, 0}}) {
    image.SetYDPI(dpi);
    EXPECT_EQ(image.GetHeader().biYPelsPerMeter, pels) << dpi;
    EXPECT_EQ(image.attributes.dpiY, dpi);
  }
}

TEST(CodecImage, RefusedSizesLeaveAnEmptyImage) {
  const std::pair<std::int64_t, std::int64_t> sizes[] = {
      {0, 1},           {1, 0},         {-5, 10},
      {10, -5},         {INT32_MIN, 1}, {20001, 20000},
      {400000001, 1},   {1, 400000001}, {INT64_MAX, INT64_MAX},
      {0x100000000, 1},
  };
  for (auto [width, height] : sizes) {
    CCodecImage image;
    ASSERT_NE(image.Create(4, 4, 24, CodecFormat::Bmp), nullptr);
    ASSERT_NE(image.AlphaCreate(), nullptr);
    EXPECT_EQ(image.Create(width, height, 24, CodecFormat::Bmp), nullptr) << width << "x" << height;
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_EQ(image.GetBits(), nullptr);
    EXPECT_EQ(image.GetAlphaPlane(), nullptr);
    EXPECT_EQ(image.GetWidth(), 0u);
    EXPECT_EQ(image.GetBlockSize(), 0u);
  }
  CCodecImage bySize(-1, 7);
  EXPECT_TRUE(bySize.IsEmpty());
}

TEST(CodecImage, NewRowsAreZero) {
  for (std::int32_t bits : {1, 4, 8, 24}) {
    CCodecImage image;
    ASSERT_NE(image.Create(70, 50, bits, CodecFormat::Bmp), nullptr);
    std::memset(image.GetBits(), 0xAB, image.GetHeader().biSizeImage);
    ASSERT_NE(image.Create(61, 53, bits, CodecFormat::Bmp), nullptr);
    const auto bytes = PixelBytes(image);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0), static_cast<std::ptrdiff_t>(bytes.size())) << bits;
    for (std::uint8_t b : image.GetPalette()) ASSERT_EQ(b, 0);
  }
  CCodecImage work(5, 4);
  ASSERT_FALSE(work.IsEmpty());
  EXPECT_EQ(work.GetBitCount(), 24u);
  EXPECT_EQ(work.attributes.format, CodecFormat::Gif);
  const auto bytes = PixelBytes(work);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0), static_cast<std::ptrdiff_t>(bytes.size()));
}

// ---- Palette --------------------------------------------------------------------

TEST(CodecImage, GreyPalettes) {
  struct Case {
    std::int32_t bits;
    std::uint32_t step;
    bool grey;
  };
  for (const Case c : {Case{8, 1, true}, Case{4, 17, false}, Case{1, 255, false}}) {
    CCodecImage image;
    ASSERT_NE(image.Create(2, 2, c.bits, CodecFormat::Bmp), nullptr);
    image.SetGrayPalette();
    for (std::uint32_t i = 0; i < image.GetColorCount(); ++i) {
      const auto v = static_cast<std::uint8_t>(i * c.step);
      ASSERT_EQ(image.GetPaletteColor(i), Bgr(v, v, v)) << c.bits << " entry " << i;
    }
    EXPECT_EQ(image.IsGrayScale(), c.grey) << c.bits;
  }
  CCodecImage rgb;
  ASSERT_NE(rgb.Create(2, 2, 24, CodecFormat::Bmp), nullptr);
  EXPECT_FALSE(rgb.IsGrayScale());
  EXPECT_TRUE(rgb.GetPalette().empty());
  EXPECT_EQ(rgb.GetPaletteColor(0), RgbQuad{});
  std::uint8_t r = 1, g = 1, b = 1;
  EXPECT_FALSE(rgb.GetPaletteColor(0, r, g, b));
}

TEST(CodecImage, SetPaletteForms) {
  CCodecImage image;
  ASSERT_NE(image.Create(2, 2, 1, CodecFormat::Bmp), nullptr);
  // R, G, B triples; entries past the palette are dropped.
  const std::uint8_t triples[] = {10, 20, 30, 40, 50, 60, 70, 80, 90};
  image.SetPalette(std::span<const std::uint8_t>(triples));
  EXPECT_EQ(image.GetPaletteColor(0), Bgr(30, 20, 10));
  EXPECT_EQ(image.GetPaletteColor(1), Bgr(60, 50, 40));
  EXPECT_EQ(image.GetPaletteColor(2), RgbQuad{});

  // Separate arrays: a missing green takes red, a missing blue takes green.
  const std::uint8_t red[] = {1, 2};
  const std::uint8_t green[] = {3, 4};
  image.SetPalette(red, {}, {});
  EXPECT_EQ(image.GetPaletteColor(1), Bgr(2, 2, 2));
  image.SetPalette(red, green, {});
  EXPECT_EQ(image.GetPaletteColor(1), Bgr(4, 4, 2));

  const RgbQuad quads[] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 9, 9, 9}};
  image.SetPalette(quads);
  EXPECT_EQ(image.GetPaletteColor(1), (RgbQuad{5, 6, 7, 8}));
  EXPECT_TRUE(image.HasPaletteAlpha());
  std::uint8_t r = 0, g = 0, b = 0;
  ASSERT_TRUE(image.GetPaletteColor(1, r, g, b));
  EXPECT_EQ((std::array{r, g, b}), (std::array<std::uint8_t, 3>{7, 6, 5}));

  image.SetPaletteColor(1, 100, 110, 120);  // fourth byte 0
  EXPECT_EQ(image.GetPaletteColor(1), Bgr(120, 110, 100));
  image.SetPaletteColor(2, 1, 1, 1);  // past the 2 entries: ignored
  EXPECT_EQ(image.GetPaletteColor(2), RgbQuad{});
  image.SetPaletteColor(0, RgbQuad{0, 0, 0, 0});
  EXPECT_FALSE(image.HasPaletteAlpha());
}

TEST(CodecImage, NearestIndexPrefersExactThenLowest) {
  CCodecImage image;
  ASSERT_NE(image.Create(1, 1, 4, CodecFormat::Bmp), nullptr);
  image.SetPaletteColor(0, Bgr(0, 0, 0));
  image.SetPaletteColor(1, Bgr(100, 100, 100));
  image.SetPaletteColor(2, Bgr(120, 100, 100));
  image.SetPaletteColor(3, Bgr(80, 100, 100));
  image.SetPaletteColor(4, Bgr(120, 100, 100));
  for (std::uint8_t i = 5; i < 16; ++i) image.SetPaletteColor(i, Bgr(255, 255, 255));
  EXPECT_EQ(image.GetNearestIndex(Bgr(120, 100, 100)), 2);  // exact, first of two
  EXPECT_EQ(image.GetNearestIndex(Bgr(110, 100, 100)), 1);  // ties 1 and 2: lowest
  EXPECT_EQ(image.GetNearestIndex(Bgr(79, 99, 101)), 3);
  EXPECT_EQ(image.GetNearestIndex(Bgr(250, 250, 250)), 5);

  CCodecImage rgb;
  ASSERT_NE(rgb.Create(1, 1, 24, CodecFormat::Bmp), nullptr);
  EXPECT_EQ(rgb.GetNearestIndex(Bgr(9, 9, 9)), 0);
}

TEST(CodecImage, SwapWithIndexZeroSwapsEntriesAndPixels) {
  CCodecImage image;
  ASSERT_NE(image.Create(5, 2, 4, CodecFormat::Png), nullptr);
  image.SetGrayPalette();
  const std::uint8_t before[2][5] = {{0, 3, 5, 3, 0}, {15, 0, 3, 1, 2}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 5; ++x) image.SetPixelIndex(x, y, before[y][x]);
  }
  image.SwapWithIndexZero(3);
  EXPECT_EQ(image.GetPaletteColor(0), Bgr(51, 51, 51));
  EXPECT_EQ(image.GetPaletteColor(3), Bgr(0, 0, 0));
  const std::uint8_t after[2][5] = {{3, 0, 5, 0, 3}, {15, 3, 0, 1, 2}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(image.GetPixelIndex(x, y), after[y][x]) << x << "," << y;
  }
  image.SwapWithIndexZero(16);  // past the palette: nothing
  EXPECT_EQ(image.GetPixelIndex(0, 0), 3);
}

TEST(CodecImage, TransparentColourAndColourType) {
  CCodecImage image;
  ASSERT_NE(image.Create(4, 4, 8, CodecFormat::Gif), nullptr);
  image.SetGrayPalette();
  image.attributes.transparentColor = Bgr(1, 2, 3);
  EXPECT_EQ(image.GetTransparentColor(), Bgr(1, 2, 3));
  image.attributes.transparentIndex = 5;
  EXPECT_EQ(image.GetTransparentColor(), Bgr(5, 5, 5));
  EXPECT_EQ(image.GetColorType(), 1);
  ASSERT_NE(image.AlphaCreate(), nullptr);
  EXPECT_EQ(image.GetColorType(), 4);

  CCodecImage rgb;
  ASSERT_NE(rgb.Create(4, 4, 24, CodecFormat::Bmp), nullptr);
  rgb.attributes.transparentIndex = 5;
  rgb.attributes.transparentColor = Bgr(7, 8, 9);
  EXPECT_EQ(rgb.GetTransparentColor(), Bgr(7, 8, 9));
  EXPECT_EQ(rgb.GetColorType(), 2);
}

// ---- Pixels ---------------------------------------------------------------------

TEST(CodecImage, PackedIndexesLeftPixelFirst) {
  CCodecImage mono;
  ASSERT_NE(mono.Create(9, 1, 1, CodecFormat::Bmp), nullptr);
  mono.SetPixelIndex(0, 0, 1);
  mono.SetPixelIndex(8, 0, 3);  // masked to 1 bit
  mono.SetPixelIndex(9, 0, 1);  // outside: ignored
  EXPECT_EQ(mono.GetBits()[0], 0x80);
  EXPECT_EQ(mono.GetBits()[1], 0x80);
  EXPECT_EQ(mono.GetBits()[2], 0x00);
  EXPECT_EQ(mono.GetPixelIndex(8, 0), 1);
  EXPECT_EQ(mono.GetPixelIndex(7, 0), 0);

  CCodecImage nibbles;
  ASSERT_NE(nibbles.Create(3, 2, 4, CodecFormat::Bmp), nullptr);
  nibbles.SetPixelIndex(0, 1, 0xA);
  nibbles.SetPixelIndex(1, 1, 0x15);  // masked to 4 bits
  nibbles.SetPixelIndex(2, 1, 0xF);
  const std::uint8_t* row1 = nibbles.GetBits() + nibbles.GetRowStride();
  EXPECT_EQ(row1[0], 0xA5);
  EXPECT_EQ(row1[1], 0xF0);
  EXPECT_EQ(nibbles.GetPixelIndex(1, 1), 5);

  CCodecImage bytes;
  ASSERT_NE(bytes.Create(3, 2, 8, CodecFormat::Bmp), nullptr);
  bytes.SetPixelIndex(2, 0, 200);
  EXPECT_EQ(bytes.GetBits()[2], 200);
}

TEST(CodecImage, IndexOutsideTheImageIsTheTransparentIndex) {
  CCodecImage image;
  ASSERT_NE(image.Create(4, 3, 8, CodecFormat::Gif), nullptr);
  EXPECT_EQ(image.GetPixelIndex(4, 0), 0);
  image.attributes.transparentIndex = 5;
  EXPECT_EQ(image.GetPixelIndex(4, 0), 5);
  EXPECT_EQ(image.GetPixelIndex(-1, 0), 5);
  EXPECT_EQ(image.GetPixelIndex(0, 3), 5);
  EXPECT_EQ(image.GetPixelIndex(3, 2), 0);

  CCodecImage rgb;
  ASSERT_NE(rgb.Create(4, 3, 24, CodecFormat::Bmp), nullptr);
  rgb.attributes.transparentIndex = 5;
  EXPECT_EQ(rgb.GetPixelIndex(4, 0), 0);  // no palette
}

TEST(CodecImage, PixelColours) {
  CCodecImage rgb;
  ASSERT_NE(rgb.Create(2, 2, 24, CodecFormat::Bmp), nullptr);
  rgb.attributes.transparentColor = RgbQuad{9, 9, 9, 77};
  rgb.SetPixelColor(1, 1, Bgr(10, 20, 30));
  EXPECT_EQ(rgb.GetPixelColor(1, 1), (RgbQuad{10, 20, 30, 77}));
  const std::uint8_t* p = rgb.GetBits() + rgb.GetRowStride() + 3;
  EXPECT_EQ((std::array{p[0], p[1], p[2]}), (std::array<std::uint8_t, 3>{10, 20, 30}));
  rgb.SetPixelColor(0, 0, std::uint32_t{0x00112233});  // COLORREF: red in the low byte
  EXPECT_EQ(rgb.GetPixelColor(0, 0), (RgbQuad{0x11, 0x22, 0x33, 77}));
  EXPECT_EQ(rgb.GetPixelColor(2, 0), (RgbQuad{9, 9, 9, 77}));  // outside

  CCodecImage grey;
  ASSERT_NE(grey.Create(2, 2, 8, CodecFormat::Bmp), nullptr);
  grey.SetGrayPalette();
  grey.SetPixelColor(0, 1, Bgr(90, 100, 110));
  EXPECT_EQ(grey.GetPixelIndex(0, 1), 100);
  EXPECT_EQ(grey.GetPixelColor(0, 1), Bgr(100, 100, 100));
}

TEST(CodecImage, SwapRedBlueStaysWithinTheBufferAndTheRow) {
  CCodecImage rgb;
  ASSERT_NE(rgb.Create(1, 1, 24, CodecFormat::Jpeg), nullptr);  // stride 4
  std::vector<std::uint8_t> buffer = {1, 2, 3, 4, 5};
  rgb.SwapRedBlue(buffer);
  EXPECT_EQ(buffer, (std::vector<std::uint8_t>{3, 2, 1, 4, 5}));

  CCodecImage wide;
  ASSERT_NE(wide.Create(3, 1, 24, CodecFormat::Jpeg), nullptr);
  std::vector<std::uint8_t> row = {1, 2, 3, 4, 5, 6, 7, 8};
  wide.SwapRedBlue(row);  // 8 bytes: two whole groups
  EXPECT_EQ(row, (std::vector<std::uint8_t>{3, 2, 1, 6, 5, 4, 7, 8}));

  CCodecImage palette;
  ASSERT_NE(palette.Create(3, 1, 8, CodecFormat::Jpeg), nullptr);
  std::vector<std::uint8_t> untouched = {1, 2, 3};
  palette.SwapRedBlue(untouched);
  EXPECT_EQ(untouched, (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(CodecImage, CompareLuminance) {
  EXPECT_EQ(CCodecImage::CompareLuminance(Bgr(0, 0, 255), Bgr(0, 255, 0)), -1);  // red darker than green
  EXPECT_EQ(CCodecImage::CompareLuminance(Bgr(0, 255, 0), Bgr(255, 0, 0)), 1);
  EXPECT_EQ(CCodecImage::CompareLuminance(Bgr(0, 0, 1), Bgr(0, 0, 0)), 0);  // 30 / 100 = 0
}

TEST(CodecImage, BitfieldsToRgb) {
  CCodecImage image;
  ASSERT_NE(image.Create(3, 2, 24, CodecFormat::Bmp), nullptr);
  // 16-bit rows (stride 8) written into the image's own pixel memory.
  const std::uint16_t words[2][4] = {{0xF800, 0x07E0, 0x001F, 0}, {0xFFFF, 0x0821, 0x0000, 0}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) StoreLE16(image.GetBits() + 8 * y + 2 * x, words[y][x]);
  }
  ASSERT_TRUE(image.BitfieldsToRgb({image.GetBits(), 16}, 0xF800, 0x07E0, 0x001F, 16));
  EXPECT_EQ(image.GetPixelColor(0, 0), Bgr(0, 0, 0xF8));
  EXPECT_EQ(image.GetPixelColor(1, 0), Bgr(0, 0xFC, 0));
  EXPECT_EQ(image.GetPixelColor(2, 0), Bgr(0xF8, 0, 0));
  EXPECT_EQ(image.GetPixelColor(0, 1), Bgr(0xF8, 0xFC, 0xF8));
  EXPECT_EQ(image.GetPixelColor(1, 1), Bgr(0x08, 0x04, 0x08));

  // 5-5-5 from a separate buffer.
  std::vector<std::uint8_t> packed(16);
  StoreLE16(&packed[0], 0x7C00);
  StoreLE16(&packed[2], 0x03E0);
  StoreLE16(&packed[4], 0x001F);
  ASSERT_TRUE(image.BitfieldsToRgb(packed, 0x7C00, 0x03E0, 0x001F, 16));
  EXPECT_EQ(image.GetPixelColor(0, 0), Bgr(0, 0, 0xF8));
  EXPECT_EQ(image.GetPixelColor(1, 0), Bgr(0, 0xF8, 0));
  EXPECT_EQ(image.GetPixelColor(2, 0), Bgr(0xF8, 0, 0));

  std::vector<std::uint8_t> quads(3 * 2 * 4);
  for (std::size_t i = 0; i < quads.size(); ++i) quads[i] = static_cast<std::uint8_t>(i);
  ASSERT_TRUE(image.BitfieldsToRgb(quads, 0, 0, 0, 32));
  EXPECT_EQ(image.GetPixelColor(2, 1), Bgr(20, 21, 22));

  EXPECT_FALSE(image.BitfieldsToRgb(std::span(quads).first(23), 0, 0, 0, 32));  // short source
  EXPECT_FALSE(image.BitfieldsToRgb(quads, 0, 0, 0, 24));
  // Odd masks never shift by more than the word holds.
  EXPECT_TRUE(image.BitfieldsToRgb(packed, 0xFFFFFFFF, 0, 1, 16));
}

// ---- Alpha ------------------------------------------------------------------------

TEST(CodecImage, AlphaPlane) {
  CCodecImage image;
  EXPECT_EQ(image.AlphaCreate(), nullptr);  // empty image
  ASSERT_NE(image.Create(3, 2, 24, CodecFormat::Png), nullptr);
  EXPECT_FALSE(image.AlphaFlip());
  ASSERT_NE(image.AlphaCreate(), nullptr);
  EXPECT_EQ(image.AlphaGet(2, 1), 0);
  image.AlphaFillOpaque();
  EXPECT_EQ(image.AlphaGet(2, 1), 255);
  EXPECT_EQ(image.AlphaGet(3, 1), 0);  // outside
  image.AlphaSet(0, 0, 1);
  image.AlphaSet(2, 0, 2);
  image.AlphaSet(5, 5, 9);  // outside: ignored
  ASSERT_TRUE(image.AlphaMirror());
  EXPECT_EQ(image.AlphaGet(2, 0), 1);
  EXPECT_EQ(image.AlphaGet(0, 0), 2);
  ASSERT_TRUE(image.AlphaFlip());
  EXPECT_EQ(image.AlphaGet(2, 1), 1);
  EXPECT_EQ(image.AlphaGet(0, 1), 2);
  EXPECT_EQ(image.AlphaGet(1, 0), 255);
  image.AlphaDelete();
  EXPECT_EQ(image.GetAlphaPlane(), nullptr);
  EXPECT_EQ(image.GetColorType(), 2);
}

// ---- Lifetime ---------------------------------------------------------------------

TEST(CodecImage, TakeFromMovesEverything) {
  CCodecImage source(CodecFormat::Tiff);
  ASSERT_NE(source.Create(4, 3, 8, CodecFormat::Tiff), nullptr);
  ASSERT_NE(source.AlphaCreate(), nullptr);
  source.attributes.quality = 12;
  const std::uint8_t* bits = source.GetBits();
  CCodecImage target;
  ASSERT_NE(target.Create(2, 2, 24, CodecFormat::Bmp), nullptr);
  target.TakeFrom(source);
  EXPECT_EQ(target.GetBits(), bits);
  EXPECT_NE(target.GetAlphaPlane(), nullptr);
  EXPECT_EQ(target.GetWidth(), 4u);
  EXPECT_EQ(target.attributes.quality, 12);
  EXPECT_EQ(target.attributes.format, CodecFormat::Tiff);
  EXPECT_TRUE(source.IsEmpty());
  EXPECT_EQ(source.GetAlphaPlane(), nullptr);
}

TEST(CodecImage, AnAliasBorrowsAndFreesNothing) {
  CCodecImage source;
  ASSERT_NE(source.Create(3, 2, 24, CodecFormat::Bmp), nullptr);
  ASSERT_NE(source.AlphaCreate(), nullptr);
  source.SetPixelColor(0, 0, Bgr(1, 2, 3));
  {
    CCodecImage alias;
    alias.ShareFrom(source);
    EXPECT_EQ(alias.GetBits(), source.GetBits());
    EXPECT_EQ(alias.GetAlphaPlane(), source.GetAlphaPlane());
    EXPECT_EQ(alias.GetPixelColor(0, 0), Bgr(1, 2, 3));
    // A whole-image operation gives the alias its own block.
    ASSERT_TRUE(alias.Flip());
    EXPECT_NE(alias.GetBits(), source.GetBits());
    EXPECT_EQ(alias.GetPixelColor(0, 1), Bgr(1, 2, 3));
    alias.AlphaDelete();
  }
  {
    CCodecImage alias;
    alias.ShareFrom(source);
    alias.AlphaDelete();  // lets go of the borrowed plane only
    alias.Destroy();
  }
  EXPECT_EQ(source.GetPixelColor(0, 0), Bgr(1, 2, 3));
  ASSERT_NE(source.GetAlphaPlane(), nullptr);
  source.AlphaFillOpaque();
}

TEST(CodecImage, CopyLayoutCopiesAllButThePixels) {
  CCodecImage source(CodecFormat::Gif);
  source.SetXDPI(150);
  ASSERT_NE(source.Create(5, 4, 8, CodecFormat::Gif), nullptr);
  source.SetGrayPalette();
  ASSERT_NE(source.AlphaCreate(), nullptr);
  source.AlphaSet(4, 3, 99);
  source.SetPixelIndex(1, 1, 7);
  source.attributes.transparentIndex = 3;

  CCodecImage copy;
  ASSERT_TRUE(copy.CopyLayout(source));
  EXPECT_EQ(copy.GetWidth(), 5u);
  EXPECT_EQ(copy.GetHeight(), 4u);
  EXPECT_EQ(copy.GetBitCount(), 8u);
  EXPECT_EQ(copy.attributes.format, CodecFormat::Gif);
  EXPECT_EQ(copy.attributes.transparentIndex, 3);
  EXPECT_EQ(copy.GetHeader().biXPelsPerMeter, 5906);  // follows the copied dpi
  EXPECT_TRUE(copy.IsGrayScale());
  EXPECT_EQ(copy.AlphaGet(4, 3), 99);
  EXPECT_NE(copy.GetAlphaPlane(), source.GetAlphaPlane());
  EXPECT_EQ(copy.GetPixelIndex(1, 1), 0);

  CCodecImage empty;
  EXPECT_FALSE(copy.CopyLayout(empty));
  EXPECT_TRUE(copy.IsEmpty());
}

// ---- HSL ----------------------------------------------------------------------------

TEST(CodecImage, RgbToHsl) {
  struct Case {
    int r, g, b;
    HslQuad hsl;  // lightness, saturation, hue
  };
  const Case cases[] = {
      {255, 0, 0, {128, 255, 0}},     {0, 255, 0, {128, 255, 85}},    {0, 0, 255, {128, 255, 170}},
      {100, 100, 100, {100, 0, 170}}, {255, 255, 255, {255, 0, 170}}, {0, 0, 0, {0, 0, 170}},
      {255, 0, 255, {128, 255, 214}},  // hue -42 kept modulo 256
      {200, 100, 50, {125, 153, 14}}, {30, 60, 90, {60, 128, 149}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CCodecImage::RGBtoHSL(Bgr(c.b, c.g, c.r)), c.hsl) << c.r << "," << c.g << "," << c.b;
  }
}

TEST(CodecImage, HslToRgb) {
  struct Case {
    HslQuad hsl;  // lightness, saturation, hue
    int r, g, b;
  };
  // Single-precision arithmetic truncated to bytes: full red comes back as
  // 254 because 2 l - m2 and m2 are not exact.
  const Case cases[] = {
      {{128, 255, 0}, 254, 1, 1},      {{128, 255, 85}, 1, 254, 1},    {{128, 255, 170}, 1, 1, 254},
      {{128, 255, 214}, 254, 1, 246},  {{100, 0, 170}, 100, 100, 100}, {{255, 0, 0}, 255, 255, 255},
      {{0, 255, 0}, 0, 0, 0},          {{125, 154, 14}, 200, 99, 49},  {{60, 128, 149}, 29, 59, 90},
      {{200, 100, 30}, 221, 208, 178},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CCodecImage::HSLtoRGB(c.hsl), Bgr(c.b, c.g, c.r))
        << int{c.hsl.lightness} << "," << int{c.hsl.saturation} << "," << int{c.hsl.hue};
  }
}

}  // namespace
