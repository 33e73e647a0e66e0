#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image/codecs/CodecImage.h"
#include "platform/LittleEndian.h"
#include "tests/image/CodecTestSupport.h"

namespace {

// A PCX header of a run-length file; the colour map is left zero.
Bytes PcxHeader(int width, int height, int bits, int planes, int bytesPerLine) {
  Bytes h(128, 0);
  h[0] = 10;
  h[1] = 5;
  h[2] = 1;
  h[3] = static_cast<std::uint8_t>(bits);
  StoreLE16(&h[8], static_cast<std::uint16_t>(width - 1));
  StoreLE16(&h[10], static_cast<std::uint16_t>(height - 1));
  h[65] = static_cast<std::uint8_t>(planes);
  StoreLE16(&h[66], static_cast<std::uint16_t>(bytesPerLine));
  return h;
}

Bytes Joined(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

void FillPattern(CCodecImage& image, int colours) {
  for (std::int32_t y = 0; y < static_cast<std::int32_t>(image.GetHeight()); ++y) {
    for (std::int32_t x = 0; x < static_cast<std::int32_t>(image.GetWidth()); ++x) {
      image.SetPixelIndex(x, y, static_cast<std::uint8_t>((x * 7 + y * 3) % colours));
    }
  }
}

TEST(CodecPcx, SixteenColoursRoundTripThroughFourPlanes) {
  CCodecImage image;
  ASSERT_NE(image.Create(13, 5, 4, CodecFormat::Pcx), nullptr);
  for (int i = 0; i < 16; ++i)
    image.SetPaletteColor(static_cast<std::uint8_t>(i), 16 * i, 255 - 16 * i, 7 * i);
  FillPattern(image, 16);
  image.SetXDPI(150);
  const Bytes file = EncodeAs(image, CodecFormat::Pcx);
  ASSERT_GE(file.size(), 128u);
  EXPECT_EQ(file[3], 1);              // bits per pixel per plane
  EXPECT_EQ(file[65], 4);             // planes
  EXPECT_EQ(LoadLE16(&file[66]), 2);  // (13 + 7) / 8, rounded up to even
  CCodecImage back;
  ASSERT_TRUE(DecodeAs(file, back, CodecFormat::Pcx)) << back.GetLastError();
  EXPECT_EQ(back.GetBitCount(), 4u);
  EXPECT_EQ(PictureOf(back), PictureOf(image));
  EXPECT_EQ(back.attributes.dpiX, 150);
}

TEST(CodecPcx, RgbWithAlphaRoundTripsThroughFourPlanes) {
  CCodecImage image;
  ASSERT_NE(image.Create(5, 3, 24, CodecFormat::Pcx), nullptr);
  ASSERT_NE(image.AlphaCreate(), nullptr);
  for (int i = 0; i < 15; ++i) {
    // Runs of equal bytes and values above 191 both occur.
    image.SetPixelColor(i % 5, i / 5, Bgr(i < 7 ? 200 : 3 * i, 250 - i, i / 4 * 60));
    image.AlphaSet(i % 5, i / 5, static_cast<std::uint8_t>(i < 5 ? 255 : 17 * i));
  }
  const Bytes file = EncodeAs(image, CodecFormat::Pcx);
  ASSERT_GE(file.size(), 128u);
  EXPECT_EQ(file[65], 4);
  CCodecImage back;
  ASSERT_TRUE(DecodeAs(file, back, CodecFormat::Pcx)) << back.GetLastError();
  EXPECT_EQ(PictureOf(back), PictureOf(image));
}

TEST(CodecPcx, LightFirstMonochromeIsWrittenInvertedAndReadsBackTheSame) {
  CCodecImage image;
  ASSERT_NE(image.Create(10, 2, 1, CodecFormat::Pcx), nullptr);
  image.SetPaletteColor(0, 255, 255, 255);
  image.SetPaletteColor(1, 0, 0, 0);
  FillPattern(image, 2);
  const Bytes file = EncodeAs(image, CodecFormat::Pcx);
  ASSERT_GE(file.size(), 130u);
  // Header palette black then white.
  EXPECT_EQ(Bytes(file.begin() + 16, file.begin() + 22), (Bytes{0, 0, 0, 255, 255, 255}));
  // The top row's indices are 1 0 1 0 ... (0xAA, then 0x80); written
  // inverted, as single bytes below 192.
  EXPECT_EQ(Bytes(file.begin() + 128, file.begin() + 130), (Bytes{0x55, 0x40}));
  CCodecImage back;
  ASSERT_TRUE(DecodeAs(file, back, CodecFormat::Pcx)) << back.GetLastError();
  EXPECT_EQ(PictureOf(back), PictureOf(image));
  EXPECT_EQ(back.GetPaletteColor(0u), Bgr(0, 0, 0));
  EXPECT_NE(back.GetPixelIndex(0, 1), image.GetPixelIndex(0, 1));
}

TEST(CodecPcx, OddWidthPaletteRowsArePaddedWithOneZero) {
  CCodecImage image;
  ASSERT_NE(image.Create(3, 1, 8, CodecFormat::Pcx), nullptr);
  for (int i = 0; i < 256; ++i) image.SetPaletteColor(static_cast<std::uint8_t>(i), i, i, 255 - i);
  image.SetPixelIndex(0, 0, 5);
  image.SetPixelIndex(1, 0, 200);
  image.SetPixelIndex(2, 0, 200);
  const Bytes file = EncodeAs(image, CodecFormat::Pcx);
  ASSERT_EQ(file.size(), 128u + 4 + 1 + 768);
  EXPECT_EQ(LoadLE16(&file[66]), 4);
  EXPECT_EQ(Bytes(file.begin() + 128, file.begin() + 133), (Bytes{5, 0xC2, 200, 0, 12}));
  CCodecImage back;
  ASSERT_TRUE(DecodeAs(file, back, CodecFormat::Pcx)) << back.GetLastError();
  EXPECT_EQ(PictureOf(back), PictureOf(image));
}

TEST(CodecPcx, DamagedFilesFailWithTheirText) {
  Bytes notPcx = PcxHeader(4, 2, 8, 3, 4);
  notPcx[0] = 11;
  Bytes otherEncoding = PcxHeader(4, 2, 8, 3, 4);
  otherEncoding[2] = 0;
  Bytes emptyWidth = PcxHeader(4, 2, 8, 1, 4);
  StoreLE16(&emptyWidth[4], 10);  // x min above x max
  const struct {
    const char* name;
    Bytes file;
    const char* error;
  } cases[] = {
      {"short header", Bytes(127, 10), "Can't read PCX image"},
      {"manufacturer", notPcx, "Error: Not a PCX file"},
      {"encoding", otherEncoding, "PCX file has unknown encoding scheme"},
      {"five planes", PcxHeader(4, 2, 1, 5, 2), "Can't handle image with more than 4 planes"},
      {"x min past x max", emptyWidth, "Invalid PCX header"},
      {"no planes", PcxHeader(4, 2, 8, 0, 4), "Invalid PCX header"},
      {"lines shorter than the width", PcxHeader(17, 2, 1, 1, 2), "Invalid PCX header"},
      {"8-bit lines shorter than the width", PcxHeader(5, 2, 8, 3, 4), "Invalid PCX header"},
      {"two planes of 8 bits", PcxHeader(4, 2, 8, 2, 4), "Can't handle more than 1 bit per pixel"},
      {"more lines than data", PcxHeader(10000, 10000, 8, 3, 10000), "Not enough image data"},
      // 2 x 2 pixels of one 8-bit plane: 4 bytes, and a run of 5 reaches past them.
      {"run past the end", Joined(PcxHeader(2, 2, 8, 1, 2), {1, 2, 0xC5, 7}),
       "repeat count spans end of image"},
      {"data cut short", Joined(PcxHeader(2, 2, 8, 1, 2), {1, 2, 3}), "corrupted PCX"},
      {"no palette signature", Joined(PcxHeader(2, 2, 8, 1, 2), {0xC4, 7, 11}), "bad color map signature"},
  };
  for (const auto& c : cases) {
    CCodecImage image;
    EXPECT_FALSE(DecodeAs(c.file, image, CodecFormat::Pcx)) << c.name;
    EXPECT_STREQ(image.GetLastError(), c.error) << c.name;
  }
}

TEST(CodecWbmp, RoundTripsIncludingSidesOfTwoHeaderBytes) {
  for (const auto& [width, height] : {std::pair{1, 1}, std::pair{9, 3}, std::pair{200, 130}}) {
    CCodecImage image;
    ASSERT_NE(image.Create(width, height, 1, CodecFormat::Wbmp), nullptr);
    image.SetGrayPalette();
    FillPattern(image, 2);
    const Bytes file = EncodeAs(image, CodecFormat::Wbmp);
    CCodecImage back;
    ASSERT_TRUE(DecodeAs(file, back, CodecFormat::Wbmp)) << back.GetLastError();
    EXPECT_EQ(back.GetWidth(), static_cast<std::uint32_t>(width));
    EXPECT_EQ(back.GetHeight(), static_cast<std::uint32_t>(height));
    EXPECT_EQ(PictureOf(back), PictureOf(image));
  }
  // 200 = 1 x 128 + 72: the bytes 0x81 0x48.
  CCodecImage wide;
  ASSERT_NE(wide.Create(200, 1, 1, CodecFormat::Wbmp), nullptr);
  wide.SetGrayPalette();
  const Bytes file = EncodeAs(wide, CodecFormat::Wbmp);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 5), (Bytes{0, 0, 0x81, 0x48, 1}));
}

TEST(CodecWbmp, RefusesWhatItCannotHold) {
  CCodecImage big;
  ASSERT_NE(big.Create(256, 1, 1, CodecFormat::Wbmp), nullptr);
  CCodecImage colour;
  ASSERT_NE(colour.Create(4, 4, 8, CodecFormat::Wbmp), nullptr);
  for (CCodecImage* image : {&big, &colour}) {
    CCodecMemStream stream;
    EXPECT_FALSE(image->Encode(stream, CodecFormat::Wbmp));
    EXPECT_STREQ(image->GetLastError(), "Can't save this image as WBMP");
  }
  const struct {
    Bytes file;
    const char* error;
  } cases[] = {
      {{0, 0, 8}, "Not a WBMP"},
      {{0, 0, 0x81, 0x81, 0x81, 0x81, 1}, "Not a WBMP"},
      {{1, 0, 8, 1, 0}, "Unsupported WBMP type"},
      {{0, 0, 0, 1, 0}, "Corrupted WBMP"},
      {{0, 0, 9, 2, 0xFF, 0x80}, "Corrupted WBMP"},  // the second row is missing
  };
  for (const auto& c : cases) {
    CCodecImage image;
    EXPECT_FALSE(DecodeAs(c.file, image, CodecFormat::Wbmp));
    EXPECT_STREQ(image.GetLastError(), c.error);
  }
}

}  // namespace
