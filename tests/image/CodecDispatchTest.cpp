#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image/codecs/CodecFileStream.h"
#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecMemStream.h"
#include "tests/common/FileSizeLimit.h"
#include "tests/common/TestData.h"

namespace {

constexpr char kUnsupported[] = "Unsupported operation for this format";

RgbQuad Bgr(int b, int g, int r) {
  return {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r), 0};
}

std::vector<std::uint8_t> Encoded(CCodecImage& image, CodecFormat format) {
  CCodecMemStream stream;
  if (!image.Encode(stream, format)) return {};
  const auto bytes = stream.Bytes();
  return {bytes.begin(), bytes.end()};
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::size_t FilesIn(const std::filesystem::path& folder) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// A 3 x 2 image of 4 bits with a grey palette; rows bottom-up: 1 2 3 / 4 5 15.
void MakeNibbleImage(CCodecImage& image) {
  ASSERT_NE(image.Create(3, 2, 4, CodecFormat::Bmp), nullptr);
  image.SetGrayPalette();
  const std::uint8_t indexes[2][3] = {{1, 2, 3}, {4, 5, 15}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) image.SetPixelIndex(x, y, indexes[y][x]);
  }
}

// A 2 x 2 image of 24 bits saved at 300 x 96 dpi.
void MakeRgbImage(CCodecImage& image) {
  ASSERT_NE(image.Create(2, 2, 24, CodecFormat::Bmp), nullptr);
  image.SetPixelColor(0, 0, Bgr(1, 2, 3));
  image.SetPixelColor(1, 0, Bgr(4, 5, 6));
  image.SetPixelColor(0, 1, Bgr(7, 8, 9));
  image.SetPixelColor(1, 1, Bgr(10, 11, 12));
  // After Create: the header the encoder writes must follow.
  image.SetXDPI(300);
  image.SetYDPI(96);
}

// ---- BMP encoder ------------------------------------------------------------------

TEST(CodecBmpEncoder, PaletteImageBytes) {
  CCodecImage image;
  MakeNibbleImage(image);
  // clang-format off
  std::vector<std::uint8_t> expected = {
      'B', 'M', 126, 0, 0, 0, 0, 0, 0, 0, 118, 0, 0, 0,             // file header
      40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 4, 0,              // size, width, height, planes, bits
      0, 0, 0, 0, 8, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0,   // compression, image size, 72 dpi
      16, 0, 0, 0, 0, 0, 0, 0,                                       // colours used, important
  };
  // clang-format on

  for (int i = 0; i < 16; ++i) {
    const auto grey = static_cast<std::uint8_t>(17 * i);
    expected.insert(expected.end(), {grey, grey, grey, 0});
  }
  expected.insert(expected.end(), {0x12, 0x30, 0, 0, 0x45, 0xF0, 0, 0});
  EXPECT_EQ(Encoded(image, CodecFormat::Bmp), expected);
}

TEST(CodecBmpEncoder, RgbImageBytes) {
  CCodecImage image;
  MakeRgbImage(image);
  // clang-format off
  const std::vector<std::uint8_t> expected = {
      'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,               // file header
      40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,             // size, width, height, planes, bits
      0, 0, 0, 0, 16, 0, 0, 0, 0x23, 0x2E, 0, 0, 0xC4, 0x0E, 0, 0,  // compression, image size, 300 x 96 dpi
      0, 0, 0, 0, 0, 0, 0, 0,                                        // colours used, important
      1, 2, 3, 4, 5, 6, 0, 0,                                        // bottom row
      7, 8, 9, 10, 11, 12, 0, 0,                                     // top row
  };
  // clang-format on

  EXPECT_EQ(Encoded(image, CodecFormat::Bmp), expected);
}

TEST(CodecBmpEncoder, EmptyImageAndFailedWrites) {
  CCodecImage empty;
  CCodecMemStream stream;
  EXPECT_FALSE(empty.Encode(stream, CodecFormat::Bmp));
  EXPECT_STREQ(empty.GetLastError(), "Empty image");
  EXPECT_EQ(stream.Size(), 0);

  // A file opened for reading refuses every write.
  CCodecImage image;
  MakeRgbImage(image);
  const auto path = ScratchDir() / "readonly.bmp";
  WriteFile(path, "");
  std::FILE* file = std::fopen(path.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(image.Save(file, CodecFormat::Bmp));
  EXPECT_STREQ(image.GetLastError(), "Error writing BMP");
  std::fclose(file);
}

// ---- Dispatch -----------------------------------------------------------------------

TEST(CodecDispatch, FailedDecodeSetsTheTextAndLeavesTheImage) {
  // Every code, known or not, must fail cleanly on data that is no image.
  const std::uint8_t junk[] = {0, 1, 2, 3};
  for (std::int32_t code = -1; code <= 10; ++code) {
    const auto format = static_cast<CodecFormat>(code);
    CCodecImage image;
    MakeRgbImage(image);
    image.attributes.quality = 44;
    const std::uint8_t* bits = image.GetBits();
    CCodecMemStream stream(junk);
    EXPECT_FALSE(image.Decode(stream, format)) << code;
    EXPECT_NE(image.GetLastError()[0], '\0') << code;
    if (code < 0 || code > 9) {
      EXPECT_STREQ(image.GetLastError(), kUnsupported);
    }
    EXPECT_EQ(image.GetBits(), bits) << code;
    EXPECT_EQ(image.GetPixelColor(1, 1), Bgr(10, 11, 12)) << code;
    EXPECT_EQ(image.attributes.quality, 44) << code;
  }
}

TEST(CodecDispatch, UnknownFormatsCannotBeWritten) {
  for (std::int32_t code : {-1, 10, 1000}) {
    CCodecImage image;
    MakeRgbImage(image);
    CCodecMemStream stream;
    EXPECT_FALSE(image.Encode(stream, static_cast<CodecFormat>(code)));
    EXPECT_STREQ(image.GetLastError(), kUnsupported);
    EXPECT_EQ(stream.Size(), 0);
  }
}

TEST(CodecDispatch, EncodeToMemoryWantsAnEmptyBlock) {
  CCodecImage image;
  MakeRgbImage(image);
  PixelBlock block = AllocPixelBlock(8);
  std::uint8_t* const held = block.get();
  std::uint32_t size = 123;
  EXPECT_FALSE(image.Encode(block, size));
  EXPECT_EQ(block.get(), held);
  EXPECT_EQ(size, 123u);
  EXPECT_STREQ(image.GetLastError(), "");

  PixelBlock fresh;
  const bool ok = image.Encode(fresh, size);
  EXPECT_EQ(ok, fresh != nullptr);  // handed over only on success
  if (!ok) {
    EXPECT_EQ(size, 123u);
  }
}

// ---- Files ------------------------------------------------------------------------------

TEST(CodecFiles, SaveWritesTheEncodedBytes) {
  CCodecImage image;
  MakeNibbleImage(image);
  const auto path = ScratchDir() / "nibbles.bmp";
  WriteFile(path, "old contents");
  ASSERT_TRUE(image.Save(path, CodecFormat::Bmp));
  EXPECT_EQ(ReadFileBytes(path), Encoded(image, CodecFormat::Bmp));
  EXPECT_EQ(FilesIn(path.parent_path()), 1u);

  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(image.Save(file, CodecFormat::Bmp));
  CCodecFileStream stream(file);
  EXPECT_EQ(stream.Size(), 126);  // the caller's file is still open
  std::fclose(file);
}

TEST(CodecFiles, FailedSaveKeepsTheOldFile) {
  CCodecImage image;
  ASSERT_NE(image.Create(64, 64, 24, CodecFormat::Bmp), nullptr);
  const auto folder = ScratchDir();
  const auto path = folder / "photo.bmp";
  WriteFile(path, "old contents");

  {
    FileSizeLimit limit(1000);  // the image needs 12 342 bytes
    EXPECT_FALSE(image.Save(path, CodecFormat::Bmp));
  }
  EXPECT_FALSE(image.Save(path, static_cast<CodecFormat>(10)));
  EXPECT_STREQ(image.GetLastError(), kUnsupported);
  CCodecImage empty;
  EXPECT_FALSE(empty.Save(path, CodecFormat::Bmp));

  EXPECT_EQ(ReadFileBytes(path),
            (std::vector<std::uint8_t>{'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't', 's'}));
  EXPECT_EQ(FilesIn(folder), 1u);  // no temporary file left behind

  EXPECT_FALSE(image.Save(folder / "missing" / "photo.bmp", CodecFormat::Bmp));
}

TEST(CodecFiles, LoadOfAMissingFileFailsWithoutText) {
  CCodecImage image;
  EXPECT_FALSE(image.Load(ScratchDir() / "absent.bmp", CodecFormat::Bmp));
  EXPECT_STREQ(image.GetLastError(), "");
  EXPECT_FALSE(image.Load(static_cast<std::FILE*>(nullptr), CodecFormat::Bmp));
  EXPECT_FALSE(image.Save(static_cast<std::FILE*>(nullptr), CodecFormat::Bmp));
  EXPECT_TRUE(image.IsEmpty());
}

}  // namespace
