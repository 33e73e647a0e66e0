#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image/codecs/CodecImage.h"
#include "platform/LittleEndian.h"
#include "tests/common/TestData.h"
#include "tests/image/CodecTestSupport.h"

namespace {

// An 18-byte TGA header.
Bytes TgaHeader(int colorMapType, int imageType, int mapLength, int mapEntrySize, int width, int height,
                int depth, int descriptor) {
  Bytes h(18, 0);
  h[1] = static_cast<std::uint8_t>(colorMapType);
  h[2] = static_cast<std::uint8_t>(imageType);
  StoreLE16(&h[5], static_cast<std::uint16_t>(mapLength));
  h[7] = static_cast<std::uint8_t>(mapEntrySize);
  StoreLE16(&h[12], static_cast<std::uint16_t>(width));
  StoreLE16(&h[14], static_cast<std::uint16_t>(height));
  h[16] = static_cast<std::uint8_t>(depth);
  h[17] = static_cast<std::uint8_t>(descriptor);
  return h;
}

void Append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }

// 3 x 2 pixels of 32 bits, file rows bottom-up: B, G, R, A.
const Bytes kBottomRow = {1, 2, 3, 255, 4, 5, 6, 128, 7, 8, 9, 0};
const Bytes kTopRow = {10, 11, 12, 1, 13, 14, 15, 2, 16, 17, 18, 3};

TEST(CodecTga, GdkPixbufReferenceFilesDecodeToTheirPictures) {
  const std::filesystem::path folder =
      TestDataPath("usr/libexec/installed-tests/gdk-pixbuf/test-images/reftests/tga");
  if (folder.empty()) return;
  int cases = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".tga") continue;
    ++cases;
    SCOPED_TRACE(entry.path().filename().string());
    CCodecImage tga;
    ASSERT_TRUE(DecodeAs(ReadFileBytes(entry.path()), tga, CodecFormat::Tga)) << tga.GetLastError();
    CCodecImage reference;
    ASSERT_TRUE(DecodeAs(ReadFileBytes(entry.path().string() + ".ref.png"), reference, CodecFormat::Png));
    const Picture got = PictureOf(tga);
    const Picture want = PictureOf(reference);
    ASSERT_EQ(got.size(), want.size());
    int wrong = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
      // A transparent pixel's colour is not part of the picture.
      const bool same = want[i][3] == 0 ? got[i][3] == 0 : got[i] == want[i];
      if (!same && wrong++ < 3) {
        ADD_FAILURE() << "pixel " << i << ": " << got[i][0] << "," << got[i][1] << "," << got[i][2] << ","
                      << got[i][3] << " want " << want[i][0] << "," << want[i][1] << "," << want[i][2] << ","
                      << want[i][3];
      }
    }
  }
  EXPECT_EQ(cases, 44);
}

TEST(CodecTga, TopDownAndRightToLeftFilesGiveTheSamePicture) {
  Bytes bottomUp = TgaHeader(0, 2, 0, 0, 3, 2, 32, 8);
  Append(bottomUp, kBottomRow);
  Append(bottomUp, kTopRow);

  Bytes topDown = TgaHeader(0, 2, 0, 0, 3, 2, 32, 8 | 0x20);
  Append(topDown, kTopRow);
  Append(topDown, kBottomRow);

  // Right to left: each file row holds its pixels last first.
  Bytes mirrored = TgaHeader(0, 2, 0, 0, 3, 2, 32, 8 | 0x10);
  for (const Bytes* row : {&kBottomRow, &kTopRow}) {
    for (int x = 2; x >= 0; --x)
      mirrored.insert(mirrored.end(), row->begin() + 4 * x, row->begin() + 4 * x + 4);
  }

  CCodecImage a, b, c;
  ASSERT_TRUE(DecodeAs(bottomUp, a, CodecFormat::Tga)) << a.GetLastError();
  ASSERT_TRUE(DecodeAs(topDown, b, CodecFormat::Tga)) << b.GetLastError();
  ASSERT_TRUE(DecodeAs(mirrored, c, CodecFormat::Tga)) << c.GetLastError();
  const Picture expected = {{10, 11, 12, 1}, {13, 14, 15, 2}, {16, 17, 18, 3},
                            {1, 2, 3, 255},  {4, 5, 6, 128},  {7, 8, 9, 0}};
  EXPECT_EQ(PictureOf(a), expected);
  EXPECT_EQ(PictureOf(b), expected);
  EXPECT_EQ(PictureOf(c), expected);
}

TEST(CodecTga, RunLengthRowsDecodeLikeRawRows) {
  // 4 x 3 pixels of 24 bits; rows as runs and raw packets, one packet
  // running on from the second row into the third.
  const Bytes raw = {
      9, 9, 9, 9, 9, 9, 9, 9, 9, 1, 2, 3,  // row 0: 3 x grey 9, then 1 2 3
      5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6,  // row 1: 5 5, 6 6
      6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9,  // row 2: 6, then 7, 8, 9
  };
  Bytes uncompressed = TgaHeader(0, 2, 0, 0, 4, 3, 24, 0);
  Append(uncompressed, raw);
  Bytes coded = TgaHeader(0, 10, 0, 0, 4, 3, 24, 0);
  Append(coded, {0x82, 9, 9, 9, 0x00, 1, 2, 3});  // run of 3, raw packet of 1
  Append(coded, {0x81, 5, 5, 5, 0x82, 6, 6, 6});  // run of 2, run of 3 crossing the row end
  Append(coded, {0x02, 7, 7, 7, 8, 8, 8, 9, 9, 9});

  CCodecImage a, b;
  ASSERT_TRUE(DecodeAs(uncompressed, a, CodecFormat::Tga)) << a.GetLastError();
  ASSERT_TRUE(DecodeAs(coded, b, CodecFormat::Tga)) << b.GetLastError();
  EXPECT_EQ(PictureOf(a), PictureOf(b));
  EXPECT_EQ(PictureOf(b)[0], (std::array<int, 4>{6, 6, 6, 255}));  // top row, left pixel
}

TEST(CodecTga, LongColourMapIsConsumedWholeAndCutTo256Entries) {
  // 300 entries of 16 bits (5-5-5) before 8-bit indices: the pixels start
  // after 600 bytes of map.
  Bytes file = TgaHeader(1, 1, 300, 16, 2, 1, 8, 0);
  for (int i = 0; i < 300; ++i) {
    Bytes entry(2);
    StoreLE16(entry.data(), static_cast<std::uint16_t>(i == 7 ? (31 << 10) : i == 255 ? 31 : 0));
    Append(file, entry);
  }
  Append(file, {7, 255});
  CCodecImage image;
  ASSERT_TRUE(DecodeAs(file, image, CodecFormat::Tga)) << image.GetLastError();
  EXPECT_EQ(image.GetBitCount(), 8u);
  EXPECT_EQ(PictureOf(image), (Picture{{0, 0, 255, 255}, {255, 0, 0, 255}}));
}

TEST(CodecTga, WrittenFilesReadBack) {
  // 8 bits: 256 colour-map entries declared and the picture unchanged.
  CCodecImage indexed;
  ASSERT_NE(indexed.Create(3, 2, 8, CodecFormat::Tga), nullptr);
  for (int i = 0; i < 256; ++i) indexed.SetPaletteColor(static_cast<std::uint8_t>(i), i, 255 - i, i / 2);
  for (int i = 0; i < 6; ++i) indexed.SetPixelIndex(i % 3, i / 3, static_cast<std::uint8_t>(40 * i + 3));
  const Bytes indexedFile = EncodeAs(indexed, CodecFormat::Tga);
  ASSERT_GE(indexedFile.size(), 18u);
  EXPECT_EQ(LoadLE16(&indexedFile[5]), 256);
  EXPECT_EQ(indexedFile[7], 24);
  EXPECT_EQ(indexedFile.size(), 18u + 768 + 6);
  CCodecImage indexedBack;
  ASSERT_TRUE(DecodeAs(indexedFile, indexedBack, CodecFormat::Tga)) << indexedBack.GetLastError();
  EXPECT_EQ(PictureOf(indexedBack), PictureOf(indexed));

  // 24 bits with alpha: a 32-bit file that keeps the alpha.
  CCodecImage rgba;
  ASSERT_NE(rgba.Create(2, 2, 24, CodecFormat::Tga), nullptr);
  ASSERT_NE(rgba.AlphaCreate(), nullptr);
  for (int i = 0; i < 4; ++i) {
    rgba.SetPixelColor(i % 2, i / 2, Bgr(10 * i, 20 * i, 30 * i));
    rgba.AlphaSet(i % 2, i / 2, static_cast<std::uint8_t>(60 * i + 15));
  }
  const Bytes rgbaFile = EncodeAs(rgba, CodecFormat::Tga);
  ASSERT_GE(rgbaFile.size(), 18u);
  EXPECT_EQ(rgbaFile[16], 32);
  CCodecImage rgbaBack;
  ASSERT_TRUE(DecodeAs(rgbaFile, rgbaBack, CodecFormat::Tga)) << rgbaBack.GetLastError();
  EXPECT_EQ(PictureOf(rgbaBack), PictureOf(rgba));

  CCodecImage mono;
  ASSERT_NE(mono.Create(2, 2, 1, CodecFormat::Tga), nullptr);
  CCodecMemStream stream;
  EXPECT_FALSE(mono.Encode(stream, CodecFormat::Tga));
  EXPECT_STREQ(mono.GetLastError(), "Bit depth must be 8 or 24");
}

TEST(CodecTga, DamagedFilesFailWithTheirText) {
  Bytes truncated = TgaHeader(0, 2, 0, 0, 3, 2, 32, 8);
  Append(truncated, kBottomRow);
  Bytes truncatedRuns = TgaHeader(0, 10, 0, 0, 4, 4, 24, 0);
  Append(truncatedRuns, {0x83, 1, 2, 3, 0xFF});  // a packet header without its pixel
  Bytes shortMap = TgaHeader(1, 1, 300, 24, 2, 1, 8, 0);
  shortMap.resize(shortMap.size() + 100);
  const struct {
    const char* name;
    Bytes file;
    const char* error;
  } cases[] = {
      {"short header", Bytes(17, 0), "Not a TGA"},
      {"no pixels", TgaHeader(0, 0, 0, 0, 2, 2, 24, 0), "Unknown TGA image type"},
      {"unknown type", TgaHeader(0, 4, 0, 0, 2, 2, 24, 0), "Unknown TGA image type"},
      {"odd depth", TgaHeader(0, 2, 0, 0, 2, 2, 12, 0), "Unsupported TGA pixel depth"},
      {"zero width", TgaHeader(0, 2, 0, 0, 0, 2, 24, 0), "TGA Create failed"},
      {"over the pixel limit", TgaHeader(0, 2, 0, 0, 65535, 65535, 24, 0), "Image too large"},
      {"more pixels than data", TgaHeader(0, 2, 0, 0, 1000, 1000, 24, 0), "Not enough image data"},
      {"more runs than data", TgaHeader(0, 10, 0, 0, 1000, 1000, 24, 0), "Not enough image data"},
      {"rows cut short", truncated, "Not enough image data"},
      {"runs cut short", truncatedRuns, "corrupted TGA"},
      {"colour map cut short", shortMap, "corrupted TGA"},
  };
  for (const auto& c : cases) {
    CCodecImage image;
    EXPECT_FALSE(DecodeAs(c.file, image, CodecFormat::Tga)) << c.name;
    EXPECT_STREQ(image.GetLastError(), c.error) << c.name;
  }
}

TEST(CodecTga, SideLimitIsHonouredFromTheHeader) {
  Bytes file = TgaHeader(0, 2, 0, 0, 3, 2, 32, 8);
  Append(file, kBottomRow);
  Append(file, kTopRow);
  CCodecImage image;
  image.attributes.maxSide = 2;
  EXPECT_FALSE(DecodeAs(file, image, CodecFormat::Tga));
  EXPECT_STREQ(image.GetLastError(), "Image too large");
  image.attributes.maxSide = 3;
  EXPECT_TRUE(DecodeAs(file, image, CodecFormat::Tga)) << image.GetLastError();
}

}  // namespace
