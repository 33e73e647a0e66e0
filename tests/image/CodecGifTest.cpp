#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "image/BgraImage.h"
#include "image/ImageCodec.h"
#include "image/ImageLoadError.h"
#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecImageGIF.h"
#include "image/codecs/CodecMemStream.h"
#include "platform/LittleEndian.h"
#include "tests/common/PixelBlockFailure.h"
#include "tests/common/TestData.h"
#include "tests/image/CodecTestSupport.h"
#include "tests/image/LimitedStream.h"

namespace {

// ---- Hand-built files ---------------------------------------------------------------------

struct GifFrame {
  std::uint16_t left = 0;
  std::uint16_t top = 0;
  std::uint16_t width = 1;
  std::uint16_t height = 1;
  std::vector<std::uint8_t> indexes;  // picture order, top row first
  std::vector<RgbQuad> localTable;    // empty: none
  bool interlaced = false;
  bool control = true;
  int disposal = 0;
  int transparentIndex = -1;
  std::uint16_t delay = 0;
};

struct GifFile {
  std::uint16_t width = 1;
  std::uint16_t height = 1;
  std::vector<RgbQuad> globalTable;  // empty: none
  std::vector<GifFrame> frames;
};

int SizeField(std::size_t tableSize) {
  int field = 0;
  while ((2u << field) < tableSize) ++field;
  return field;
}

void PutTable(ByteWriter& out, const std::vector<RgbQuad>& table) {
  for (std::size_t i = 0; i < (2u << SizeField(table.size())); ++i) {
    const RgbQuad c = i < table.size() ? table[i] : RgbQuad{};
    out.U8(c.red);
    out.U8(c.green);
    out.U8(c.blue);
  }
}

// LZW data of literal codes only, with a clear code before the table would
// widen the codes: a coder that shares nothing with the codec's own.
void PutLiteralLzw(ByteWriter& out, const std::vector<std::uint8_t>& pixels, int minimumCodeSize) {
  const std::uint32_t clear = 1u << minimumCodeSize;
  const int width = minimumCodeSize + 1;
  Bytes data;
  std::uint32_t bits = 0;
  int count = 0;
  auto emit = [&](std::uint32_t code) {
    bits |= code << count;
    count += width;
    while (count >= 8) {
      data.push_back(static_cast<std::uint8_t>(bits));
      bits >>= 8;
      count -= 8;
    }
  };
  emit(clear);
  std::uint32_t sinceClear = 0;
  for (std::uint8_t pixel : pixels) {
    if (sinceClear == clear - 2) {
      emit(clear);
      sinceClear = 0;
    }
    emit(pixel);
    ++sinceClear;
  }
  emit(clear + 1);
  if (count > 0) data.push_back(static_cast<std::uint8_t>(bits));
  out.U8(static_cast<std::uint8_t>(minimumCodeSize));
  for (std::size_t at = 0; at < data.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, data.size() - at);
    out.U8(static_cast<std::uint8_t>(n));
    out.Bytes({data.data() + at, n});
  }
  out.U8(0);
}

// The rows of a picture in the order an interlaced file stores them.
std::vector<std::uint8_t> Interlace(const std::vector<std::uint8_t>& indexes, int width, int height) {
  std::vector<std::uint8_t> out;
  for (const auto& [start, step] : {std::pair{0, 8}, std::pair{4, 8}, std::pair{2, 4}, std::pair{1, 2}}) {
    for (int row = start; row < height; row += step) {
      out.insert(out.end(), indexes.begin() + row * width, indexes.begin() + (row + 1) * width);
    }
  }
  return out;
}

Bytes BuildGif(const GifFile& f) {
  ByteWriter out;
  for (char c : std::string("GIF89a")) out.U8(static_cast<std::uint8_t>(c));
  out.U16(f.width);
  out.U16(f.height);
  out.U8(f.globalTable.empty() ? 0 : static_cast<std::uint8_t>(0xF0 | SizeField(f.globalTable.size())));
  out.U8(0);
  out.U8(0);
  if (!f.globalTable.empty()) PutTable(out, f.globalTable);
  for (const GifFrame& frame : f.frames) {
    if (frame.control) {
      out.Bytes(Bytes{'!', 0xF9, 4});
      out.U8(static_cast<std::uint8_t>(frame.disposal << 2 | (frame.transparentIndex >= 0 ? 1 : 0)));
      out.U16(frame.delay);
      out.U8(static_cast<std::uint8_t>(frame.transparentIndex));
      out.U8(0);
    }
    out.U8(',');
    out.U16(frame.left);
    out.U16(frame.top);
    out.U16(frame.width);
    out.U16(frame.height);
    std::uint8_t packed = frame.interlaced ? 0x40 : 0;
    if (!frame.localTable.empty())
      packed |= static_cast<std::uint8_t>(0x80 | SizeField(frame.localTable.size()));
    out.U8(packed);
    if (!frame.localTable.empty()) PutTable(out, frame.localTable);
    const auto& table = frame.localTable.empty() ? f.globalTable : frame.localTable;
    const int codeSize = std::max(2, SizeField(table.size()) + 1);
    PutLiteralLzw(out, frame.interlaced ? Interlace(frame.indexes, frame.width, frame.height) : frame.indexes,
                  codeSize);
  }
  out.U8(';');
  return out.Take();
}

// Palette indexes of every pixel, top row first.
std::vector<int> IndexesOf(const CCodecImage& image) {
  std::vector<int> indexes;
  for (std::int32_t y = static_cast<std::int32_t>(image.GetHeight()) - 1; y >= 0; --y) {
    for (std::int32_t x = 0; x < static_cast<std::int32_t>(image.GetWidth()); ++x) {
      indexes.push_back(image.GetPixelIndex(x, y));
    }
  }
  return indexes;
}

const std::vector<RgbQuad> kFourColours = {Bgr(0, 0, 0), Bgr(255, 0, 0), Bgr(0, 255, 0), Bgr(0, 0, 255)};

// Screen 4 x 3: a full frame of colour 1, a 2 x 2 frame of colour 2 at
// (1, 1) whose top-left pixel is transparent, a 1 x 3 frame of colour 3 at
// (3, 0).
GifFile Animation(int disposal) {
  GifFile f;
  f.width = 4;
  f.height = 3;
  f.globalTable = kFourColours;
  GifFrame full{0, 0, 4, 3, std::vector<std::uint8_t>(12, 1)};
  GifFrame square{1, 1, 2, 2, {0, 2, 2, 2}};
  square.transparentIndex = 0;
  GifFrame bar{3, 0, 1, 3, {3, 3, 3}};
  for (GifFrame* frame : {&full, &square, &bar}) {
    frame->disposal = disposal;
    frame->delay = static_cast<std::uint16_t>(10 + frame->left);
  }
  f.frames = {full, square, bar};
  return f;
}

TEST(CodecGifDecode, AnimationFramesOverDisposal1) {
  const Bytes file = BuildGif(Animation(1));
  const std::vector<std::vector<int>> expected = {
      {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
      {1, 1, 1, 1, 1, 1, 2, 1, 1, 2, 2, 1},
      {1, 1, 1, 3, 1, 1, 2, 3, 1, 2, 2, 3},
  };
  for (std::int32_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    CCodecImage image;
    image.attributes.frameIndex = i;
    image.attributes.maxSide = 100;
    ASSERT_TRUE(DecodeAs(file, image, CodecFormat::Gif)) << image.GetLastError();
    EXPECT_EQ(image.attributes.maxSide, 100u);
    EXPECT_EQ(image.attributes.frameCount, 3);
    EXPECT_EQ(image.attributes.frameIndex, i);
    EXPECT_EQ(image.GetBitCount(), 4u);
    EXPECT_EQ(IndexesOf(image), expected[i]);
    EXPECT_EQ(image.attributes.transparentIndex, -1);  // the first frame's
    EXPECT_EQ(image.attributes.offsetX, 0);
    EXPECT_EQ(image.attributes.frameDelay, i == 0 ? 10 : i == 1 ? 11 : 13);
  }

  // Disposal 0 (unspecified) keeps the picture as 1 does.
  CCodecImage image;
  image.attributes.frameIndex = 2;
  ASSERT_TRUE(DecodeAs(BuildGif(Animation(0)), image, CodecFormat::Gif)) << image.GetLastError();
  EXPECT_EQ(IndexesOf(image), expected[2]);

  // After disposal 2 a frame stands alone, at its position.
  ASSERT_TRUE(DecodeAs(BuildGif(Animation(2)), image, CodecFormat::Gif)) << image.GetLastError();
  EXPECT_EQ(image.GetWidth(), 1u);
  EXPECT_EQ(image.GetHeight(), 3u);
  EXPECT_EQ(image.attributes.offsetX, 3);
  EXPECT_EQ(IndexesOf(image), (std::vector<int>{3, 3, 3}));

  image.attributes.frameIndex = 3;
  EXPECT_FALSE(DecodeAs(file, image, CodecFormat::Gif));
  EXPECT_STREQ(image.GetLastError(), "GIF frame not present");
  EXPECT_EQ(image.attributes.frameCount, 3);
  EXPECT_EQ(image.GetWidth(), 1u);  // unchanged
}

TEST(CodecGifDecode, LocalTableServesItsFrameOnly) {
  GifFile f = Animation(1);
  // The square gets its own table; the bar after it uses the global one.
  f.frames[1].localTable = {Bgr(9, 9, 9), Bgr(1, 2, 3), Bgr(4, 5, 6), Bgr(7, 8, 9)};
  CCodecImage image;
  image.attributes.frameIndex = 2;
  ASSERT_TRUE(DecodeAs(BuildGif(f), image, CodecFormat::Gif)) << image.GetLastError();
  // The picture no longer fits one palette: 24 bits, every colour exact.
  EXPECT_EQ(image.GetBitCount(), 24u);
  const std::array<int, 4> blue = {255, 0, 0, 255}, local = {4, 5, 6, 255}, red = {0, 0, 255, 255};
  EXPECT_EQ(PictureOf(image),
            (Picture{blue, blue, blue, red, blue, blue, local, red, blue, local, local, red}));
  EXPECT_EQ(image.GetAlphaPlane(), nullptr);

  // A transparent first frame keeps its transparent pixels in the alpha plane.
  f.frames[0].transparentIndex = 0;
  f.frames[0].indexes[11] = 0;
  ASSERT_TRUE(DecodeAs(BuildGif(f), image, CodecFormat::Gif)) << image.GetLastError();
  ASSERT_NE(image.GetAlphaPlane(), nullptr);
  EXPECT_EQ(PictureOf(image)[11], red);  // painted over by the bar
  f.frames[0].indexes[11] = 1;
  f.frames[0].indexes[0] = 0;
  ASSERT_TRUE(DecodeAs(BuildGif(f), image, CodecFormat::Gif)) << image.GetLastError();
  EXPECT_EQ(PictureOf(image)[0][3], 0);
  EXPECT_EQ(PictureOf(image)[1][3], 255);
}

TEST(CodecGifDecode, TransparentIndexFillsOnlyEntriesBeyondTheTable) {
  struct Case {
    std::size_t tableSize;
    int transparentIndex;
    std::uint32_t bitCount;
  };
  for (const Case c : {Case{256, 5, 8}, Case{64, 5, 8}, Case{64, -1, 8}, Case{16, 3, 4}, Case{2, 1, 1}}) {
    SCOPED_TRACE(c.tableSize);
    GifFile f;
    for (std::size_t i = 0; i < c.tableSize; ++i) {
      f.globalTable.push_back(Bgr(static_cast<int>(i), 1, 2));  // no white entry
    }
    GifFrame frame{0, 0, 1, 1, {1}};
    frame.transparentIndex = c.transparentIndex;
    f.frames = {frame};
    CCodecImage image;
    ASSERT_TRUE(DecodeAs(BuildGif(f), image, CodecFormat::Gif)) << image.GetLastError();
    EXPECT_EQ(image.GetBitCount(), c.bitCount);
    EXPECT_EQ(image.attributes.transparentIndex, c.transparentIndex);
    for (std::uint32_t i = 0; i < image.GetColorCount(); ++i) {
      const RgbQuad expected = i < c.tableSize            ? Bgr(static_cast<int>(i), 1, 2)
                               : c.transparentIndex != -1 ? Bgr(255, 255, 255)
                                                          : Bgr(0, 0, 0);
      EXPECT_EQ(image.GetPaletteColor(i), expected) << i;
    }
  }
}

TEST(CodecGifDecode, InterlacedEqualsNonInterlaced) {
  for (std::uint16_t height : {1, 2, 3, 5, 8, 9, 19}) {
    SCOPED_TRACE(height);
    GifFile f;
    f.width = 5;
    f.height = height;
    for (int i = 0; i < 16; ++i) f.globalTable.push_back(Bgr(i * 16, 255 - i, i));
    const Bytes noise = Noise(5u * height, height);
    GifFrame frame{0, 0, 5, height, {}};
    for (std::uint8_t b : noise) frame.indexes.push_back(b & 15);
    f.frames = {frame};
    CCodecImage plain;
    ASSERT_TRUE(DecodeAs(BuildGif(f), plain, CodecFormat::Gif)) << plain.GetLastError();
    EXPECT_EQ(IndexesOf(plain), std::vector<int>(frame.indexes.begin(), frame.indexes.end()));
    f.frames[0].interlaced = true;
    CCodecImage interlaced;
    ASSERT_TRUE(DecodeAs(BuildGif(f), interlaced, CodecFormat::Gif)) << interlaced.GetLastError();
    EXPECT_EQ(PictureOf(interlaced), PictureOf(plain));
  }

  const auto go = TestDataPath("usr/share/go-1.19/src/image/testdata");
  CCodecImage plain;
  CCodecImage interlaced;
  ASSERT_TRUE(plain.Load(go / "video-001.gif", CodecFormat::Gif)) << plain.GetLastError();
  ASSERT_TRUE(interlaced.Load(go / "video-001.interlaced.gif", CodecFormat::Gif))
      << interlaced.GetLastError();
  EXPECT_EQ(plain.GetWidth(), 150u);
  EXPECT_EQ(PictureOf(interlaced), PictureOf(plain));
}

TEST(CodecGifDecode, TrueColourModeAssemblesTheScreen) {
  // No global table and a first frame smaller than the screen: the frames
  // are tiles of one picture.
  GifFile f;
  f.width = 4;
  f.height = 2;
  GifFrame left{0, 0, 2, 2, {0, 1, 1, 0}, {Bgr(1, 1, 1), Bgr(2, 2, 2)}};
  GifFrame right{2, 0, 2, 2, {1, 1, 0, 1}, {Bgr(3, 3, 3), Bgr(4, 4, 4)}};
  f.frames = {left, right};
  CCodecImage image;
  ASSERT_TRUE(DecodeAs(BuildGif(f), image, CodecFormat::Gif)) << image.GetLastError();
  EXPECT_EQ(image.GetBitCount(), 24u);
  EXPECT_EQ(image.attributes.frameIndex, 1);
  EXPECT_EQ(image.attributes.frameCount, 2);
  const std::array<int, 4> c1 = {1, 1, 1, 255}, c2 = {2, 2, 2, 255}, c3 = {3, 3, 3, 255}, c4 = {4, 4, 4, 255};
  EXPECT_EQ(PictureOf(image), (Picture{c1, c2, c4, c4, c2, c1, c3, c4}));

  // A real one: four 16 x 16 tiles of 256 colours each on a 32 x 32 screen.
  const auto suite = TestDataPath("usr/libexec/installed-tests/gdk-pixbuf/test-images/gif-test-suite");
  ASSERT_TRUE(image.Load(suite / "high-color.gif", CodecFormat::Gif)) << image.GetLastError();
  EXPECT_EQ(image.GetBitCount(), 24u);
  const Bytes rgba = ReadFileBytes(suite / "high-color.rgba");
  Picture expected;
  for (std::size_t i = 0; i + 3 < rgba.size(); i += 4)
    expected.push_back({rgba[i + 2], rgba[i + 1], rgba[i], 255});
  EXPECT_EQ(PictureOf(image), expected);
}

// ---- Frame counting and refusals ----------------------------------------------------------

TEST(CodecGifDecode, CountFramesWalksWithoutDecoding) {
  // Frames of 65535 x 65535 pixels cannot be decoded but are counted.
  GifFile f = Animation(1);
  f.frames[1].width = 65535;
  f.frames[1].height = 65535;
  f.frames[1].indexes = {2};
  const Bytes file = BuildGif(f);
  CCodecMemStream stream(file);
  ASSERT_TRUE(stream.Seek(13 + 12, CCodecStream::kFromStart));  // past header and table
  CCodecImageGIF codec;
  EXPECT_EQ(codec.CountFrames(stream), 3);
  EXPECT_EQ(stream.Tell(), 25);

  CCodecImage image;
  EXPECT_TRUE(DecodeAs(file, image, CodecFormat::Gif));  // frame 0
  image.attributes.frameIndex = 2;
  EXPECT_FALSE(DecodeAs(file, image, CodecFormat::Gif));
  EXPECT_STREQ(image.GetLastError(), "Image too large");
  EXPECT_EQ(image.attributes.frameCount, 3);
}

TEST(CodecGifDecode, FramesAboveTheLimitsTakeNoPixelMemory) {
  const auto path = ScratchDir() / "claim.gif";
  struct Case {
    std::uint16_t width, height;
    bool withGlobalTable;
    const char* loadError;   // through the image-file layer
    const char* codecError;  // the codec layer alone
  };
  for (const Case& c : {Case{30000, 13000, true, kImageTooLarge, "Not enough image data"},
                        Case{16000, 16000, true, "Not enough image data", "Not enough image data"},
                        Case{65535, 65535, true, kImageTooLarge, kImageTooLarge},
                        // True-colour mode: the screen is the picture.
                        Case{30000, 13000, false, kImageTooLarge, "Not enough image data"}}) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    GifFile f;
    f.width = c.width;
    f.height = c.height;
    GifFrame frame{0, 0, c.width, c.height, std::vector<std::uint8_t>(300, 1)};
    if (c.withGlobalTable) {
      f.globalTable = kFourColours;
    } else {
      frame.width = 1;
      frame.localTable = kFourColours;
    }
    f.frames = {frame};
    WriteFileBytes(path, BuildGif(f));
    const PixelBlockFailure watch(-1);
    CBgraImage image;
    EXPECT_EQ(image.LoadFile(path), 0);
    EXPECT_EQ(ImageLoadError(), c.loadError);
    CCodecImage codec;
    EXPECT_FALSE(codec.Load(path, CodecFormat::Gif));
    EXPECT_STREQ(codec.GetLastError(), c.codecError);
    EXPECT_EQ(watch.Requested(), 0) << "largest block asked for: " << watch.Largest();
  }
}

TEST(CodecGifDecode, RefusedAndOddFiles) {
  CCodecImage image(2, 2);
  EXPECT_FALSE(DecodeAs({'G', 'I', 'F'}, image, CodecFormat::Gif));
  EXPECT_STREQ(image.GetLastError(), "Not a GIF");
  EXPECT_FALSE(DecodeAs(Noise(100, 1), image, CodecFormat::Gif));
  EXPECT_STREQ(image.GetLastError(), "Not a GIF");
  GifFile empty;
  empty.globalTable = kFourColours;
  EXPECT_FALSE(DecodeAs(BuildGif(empty), image, CodecFormat::Gif));
  EXPECT_STREQ(image.GetLastError(), "GIF frame not present");
  EXPECT_EQ(image.attributes.frameCount, 0);
  EXPECT_EQ(image.GetWidth(), 2u);

  // Extensions of every kind, empty ones included, and stray bytes between
  // blocks are passed over.
  GifFile f = Animation(1);
  Bytes file = BuildGif(f);
  const Bytes extensions = {
      '!',  0xFE, 0,                                    // empty comment
      '!',  0xFE, 3,  'a', 'b', 'c', 2,   'd', 'e', 0,  // comment
      '!',  0xFF, 11, 'X', 'M', 'P', ' ', 'D', 'a', 't', 'a', 'X', 'M', 'P', 5, 1, 2, 3, 4, 5, 0,  // XMP
      '!',  0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0,        // loop
      '!',  0x01, 0,                               // plain text
      '!',  0xF9, 5,  0,   0,   0,   0,   0,   0,  // faulty control
      0x00, 0x42};
  file.insert(file.begin() + 13 + 12, extensions.begin(), extensions.end());
  image.attributes.frameIndex = 2;
  ASSERT_TRUE(DecodeAs(file, image, CodecFormat::Gif)) << image.GetLastError();
  EXPECT_EQ(image.attributes.frameCount, 3);
  EXPECT_EQ(IndexesOf(image), (std::vector<int>{1, 1, 1, 3, 1, 1, 2, 3, 1, 2, 2, 3}));

  // A frame without a code size or data, and one whose data stops early.
  GifFile g;
  g.width = 3;
  g.height = 2;
  g.globalTable = kFourColours;
  g.frames = {GifFrame{0, 0, 3, 2, {1, 2, 3, 1, 2, 3}}};
  Bytes truncated = BuildGif(g);
  truncated.resize(truncated.size() - 3);  // trailer, terminator, last data byte
  image.attributes.frameIndex = 0;
  ASSERT_TRUE(DecodeAs(truncated, image, CodecFormat::Gif)) << image.GetLastError();
  EXPECT_EQ(IndexesOf(image), (std::vector<int>{1, 2, 3, 1, 2, 0}));
}

// ---- Encoding -----------------------------------------------------------------------------------

TEST(CodecGifEncode, PaletteImagesReadBack) {
  for (std::int32_t bits : {1, 4, 8}) {
    SCOPED_TRACE(bits);
    CCodecImage image;
    ASSERT_NE(image.Create(37, 11, bits, CodecFormat::Bmp), nullptr);
    const Bytes noise = Noise(37 * 11 + 768, static_cast<std::uint32_t>(bits));
    for (std::uint32_t i = 0; i < image.GetColorCount(); ++i) {
      image.SetPaletteColor(static_cast<std::uint8_t>(i),
                            Bgr(noise[3 * i], noise[3 * i + 1], noise[3 * i + 2]));
    }
    for (int y = 0; y < 11; ++y) {
      for (int x = 0; x < 37; ++x) {
        // Runs of up to 8 pixels, and noise.
        const std::uint8_t value = noise[768 + (y < 5 ? (37 * y + x) / 8 : 37 * y + x)];
        image.SetPixelIndex(x, y, static_cast<std::uint8_t>(value % image.GetColorCount()));
      }
    }
    image.attributes.transparentIndex = 1;
    image.attributes.frameDelay = 7;
    const Bytes file = EncodeAs(image, CodecFormat::Gif);
    EXPECT_EQ(file[10], bits == 1 ? 0x80 : bits == 4 ? 0xE3 : 0xE7);
    const std::size_t table = 3u << bits;
    // Graphic control with the transparent index, the descriptor, the
    // minimum code size (2 for 1-bit images).
    EXPECT_EQ(Bytes(file.begin() + 13 + table, file.begin() + 13 + table + 8),
              (Bytes{'!', 0xF9, 4, 1, 7, 0, 1, 0}));
    EXPECT_EQ(file[13 + table + 8 + 10], std::max(bits, 2));

    CCodecImage decoded;
    ASSERT_TRUE(DecodeAs(file, decoded, CodecFormat::Gif)) << decoded.GetLastError();
    EXPECT_EQ(decoded.GetBitCount(), static_cast<std::uint32_t>(bits));
    EXPECT_EQ(IndexesOf(decoded), IndexesOf(image));
    EXPECT_EQ(PictureOf(decoded), PictureOf(image));
    EXPECT_EQ(decoded.attributes.transparentIndex, 1);
    EXPECT_EQ(decoded.attributes.frameDelay, 7);
  }
}

TEST(CodecGifEncode, TwentyFourBitImagesAsLosslessTiles) {
  struct Case {
    std::int32_t width, height, tiles;
    std::uint32_t bitCount;
  };
  for (const Case c : {Case{34, 30, 4, 24}, Case{18, 15, 2, 24}, Case{17, 16, 2, 24}, Case{17, 15, 1, 8},
                       Case{100, 31, 18, 24}}) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    CCodecImage image;
    ASSERT_NE(image.Create(c.width, c.height, 24, CodecFormat::Bmp), nullptr);
    const Bytes noise = Noise(image.GetRowStride() * image.GetHeight(), static_cast<std::uint32_t>(c.width));
    std::copy(noise.begin(), noise.end(), image.GetBits());
    image.SetPixelColor(0, 0, Bgr(0, 0, 0));  // black shares entry 0
    image.SetPixelColor(1, 0, Bgr(0, 0, 0));
    const Bytes file = EncodeAs(image, CodecFormat::Gif);
    EXPECT_EQ(file[10], 0x11);  // no global table
    CCodecImageGIF codec;
    CCodecMemStream stream(file);
    ASSERT_TRUE(stream.Seek(13, CCodecStream::kFromStart));
    EXPECT_EQ(codec.CountFrames(stream), c.tiles);
    std::size_t localTables = 0;
    for (std::size_t i = 0; i + 10 < file.size(); ++i) {
      if (file[i] == ',' && file[i + 9] == 0x87) ++localTables;
    }
    EXPECT_GE(localTables, static_cast<std::size_t>(c.tiles));

    CCodecImage decoded;
    ASSERT_TRUE(DecodeAs(file, decoded, CodecFormat::Gif)) << decoded.GetLastError();
    EXPECT_EQ(decoded.GetBitCount(), c.bitCount);
    EXPECT_EQ(PictureOf(decoded), PictureOf(image));
  }

  // The transparent colour rides along as palette entry 0 of every tile.
  CCodecImage image;
  ASSERT_NE(image.Create(20, 20, 24, CodecFormat::Bmp), nullptr);
  image.SetPixelColor(3, 3, Bgr(9, 8, 7));
  image.attributes.transparentIndex = 0;
  image.attributes.transparentColor = Bgr(9, 8, 7);
  CCodecImage decoded;
  ASSERT_TRUE(DecodeAs(EncodeAs(image, CodecFormat::Gif), decoded, CodecFormat::Gif))
      << decoded.GetLastError();
  EXPECT_EQ(decoded.attributes.transparentIndex, 0);
  EXPECT_EQ(decoded.attributes.transparentColor, Bgr(9, 8, 7));
  EXPECT_EQ(PictureOf(decoded), PictureOf(image));
}

// Offset of the first image data byte (the minimum code size) of a
// one-frame file with a global table of 2^bits entries.
std::size_t DataStart(std::uint32_t bits) { return 13 + (3u << bits) + 8 + 10; }

TEST(CodecGifEncode, RunsEncodeCompactlyAndExactly) {
  // 10000 pixels of one colour: a short run of growing codes.
  CCodecImage flat;
  ASSERT_NE(flat.Create(100, 100, 8, CodecFormat::Bmp), nullptr);
  flat.SetGrayPalette();
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 100; ++x) flat.SetPixelIndex(x, y, 77);
  }
  const Bytes file = EncodeAs(flat, CodecFormat::Gif);
  const std::size_t dataBytes = file.size() - DataStart(8) - 2;  // terminator and trailer
  EXPECT_LT(dataBytes, 180u);                                    // about 141 codes of 9 bits
  CCodecImage decoded;
  ASSERT_TRUE(DecodeAs(file, decoded, CodecFormat::Gif)) << decoded.GetLastError();
  EXPECT_EQ(IndexesOf(decoded), IndexesOf(flat));

  // Runs of every length among three colours, long enough to fill the
  // decoder's table many times over, at every depth.
  for (std::int32_t bits : {1, 4, 8}) {
    SCOPED_TRACE(bits);
    CCodecImage image;
    ASSERT_NE(image.Create(1000, 700, bits, CodecFormat::Bmp), nullptr);
    image.SetGrayPalette();
    const Bytes noise = Noise(40000, static_cast<std::uint32_t>(bits));
    std::size_t next = 0;
    std::uint32_t left = 0;
    std::uint8_t value = 0;
    for (int y = 0; y < 700; ++y) {
      for (int x = 0; x < 1000; ++x) {
        if (left == 0) {
          const std::uint32_t scale = noise[next % noise.size()] % 4;
          left = 1 + (noise[(next + 1) % noise.size()] << (4 * scale)) % 30000;
          value = noise[(next + 2) % noise.size()] % 3 % image.GetColorCount();
          next += 3;
        }
        image.SetPixelIndex(x, y, value);
        --left;
      }
    }
    ASSERT_TRUE(DecodeAs(EncodeAs(image, CodecFormat::Gif), decoded, CodecFormat::Gif))
        << decoded.GetLastError();
    EXPECT_EQ(IndexesOf(decoded), IndexesOf(image));
  }

  // One run longer than a whole table of run codes holds.
  CCodecImage large;
  ASSERT_NE(large.Create(3000, 3000, 1, CodecFormat::Bmp), nullptr);
  large.SetGrayPalette();
  std::fill_n(large.GetBits(), large.GetRowStride() * 3000, 0xFF);
  large.SetPixelIndex(5, 5, 0);
  ASSERT_TRUE(DecodeAs(EncodeAs(large, CodecFormat::Gif), decoded, CodecFormat::Gif))
      << decoded.GetLastError();
  int differentRows = 0;
  for (std::uint32_t y = 0; y < 3000; ++y) {
    // 375 bytes hold the row's 3000 pixels; the rest is padding.
    const std::uint8_t* a = decoded.GetBits() + std::size_t{y} * decoded.GetRowStride();
    const std::uint8_t* b = large.GetBits() + std::size_t{y} * large.GetRowStride();
    if (!std::equal(a, a + 375, b)) ++differentRows;
  }
  EXPECT_EQ(differentRows, 0);
}

TEST(CodecGifEncode, FailedWritesAndOversizedImages) {
  CCodecImage image;
  ASSERT_NE(image.Create(40, 40, 24, CodecFormat::Bmp), nullptr);
  for (std::uint64_t limit : {0u, 12u, 100u, 1000u}) {
    LimitedStream full(limit);
    EXPECT_FALSE(image.Encode(full, CodecFormat::Gif)) << limit;
    EXPECT_STREQ(image.GetLastError(), "Error writing GIF");
  }
  ASSERT_NE(image.Create(70000, 1, 8, CodecFormat::Bmp), nullptr);
  CCodecMemStream stream;
  EXPECT_FALSE(image.Encode(stream, CodecFormat::Gif));
  EXPECT_STREQ(image.GetLastError(), "Image too large for GIF");
}

// ---- Real files ------------------------------------------------------------------------------------

// The [config] and [frameN] values of a gif-test-suite .conf file.
std::map<std::string, std::map<std::string, std::string>> ReadConf(const std::filesystem::path& path) {
  std::map<std::string, std::map<std::string, std::string>> sections;
  std::ifstream in(path);
  std::string line;
  std::string section;
  while (std::getline(in, line)) {
    if (line.starts_with("[")) {
      section = line.substr(1, line.find(']') - 1);
    } else if (const auto eq = line.find(" = "); eq != std::string::npos) {
      sections[section][line.substr(0, eq)] = line.substr(eq + 3);
    }
  }
  return sections;
}

TEST(CodecGifDecode, GifTestSuite) {
  const auto suite = TestDataPath("usr/libexec/installed-tests/gdk-pixbuf/test-images/gif-test-suite");
  // The cases the suite's own loader is held to; the others only must not
  // crash.
  std::vector<std::string> active;
  std::ifstream tests(suite / "TESTS");
  for (std::string line; std::getline(tests, line);) {
    if (!line.empty() && line[0] != '#') active.push_back(line + ".gif");
  }
  int files = 0;
  int comparedFrames = 0;
  for (const auto& entry : std::filesystem::directory_iterator(suite)) {
    if (entry.path().extension() != ".conf") continue;
    ++files;
    const auto conf = ReadConf(entry.path());
    const auto& config = conf.at("config");
    const std::string input = config.at("input");
    SCOPED_TRACE(input);
    const bool held = std::ranges::find(active, input) != active.end();
    std::vector<std::string> frames;
    std::istringstream list(config.at("frames"));
    for (std::string name; std::getline(list, name, ',');) frames.push_back(name);
    const auto width = static_cast<std::uint32_t>(std::stoul(config.at("width")));
    const auto height = static_cast<std::uint32_t>(std::stoul(config.at("height")));
    for (std::size_t i = 0; i < std::max<std::size_t>(frames.size(), 1); ++i) {
      CCodecImage image;
      image.attributes.frameIndex = static_cast<std::int32_t>(i);
      if (!image.Load(suite / input, CodecFormat::Gif)) {
        EXPECT_NE(image.GetLastError()[0], '\0');
        EXPECT_TRUE(!held || frames.empty()) << "frame " << i << ": " << image.GetLastError();
        continue;
      }
      // Faulty data keeps what was decoded, where the suite wants no frame;
      // frames that are not the whole screen are not composed onto it.
      if (!held || frames.empty() || image.GetWidth() != width || image.GetHeight() != height ||
          image.attributes.offsetX != 0 || image.attributes.offsetY != 0) {
        continue;
      }
      const Bytes rgba = ReadFileBytes(suite / conf.at(frames[i]).at("pixels"));
      ASSERT_EQ(rgba.size(), 4u * width * height);
      const Picture picture = PictureOf(image);
      const bool palette = image.GetColorCount() != 0;
      int wrong = 0;
      for (std::uint32_t p = 0; p < width * height; ++p) {
        const bool transparent =
            palette ? image.GetPixelIndex(static_cast<std::int32_t>(p % width),
                                          static_cast<std::int32_t>(height - 1 - p / width)) ==
                          image.attributes.transparentIndex
                    : picture[p][3] == 0;
        if (rgba[4 * p + 3] == 0) {
          wrong += transparent ? 0 : 1;
        } else if (transparent || picture[p][2] != rgba[4 * p] || picture[p][1] != rgba[4 * p + 1] ||
                   picture[p][0] != rgba[4 * p + 2]) {
          ++wrong;
        }
      }
      EXPECT_EQ(wrong, 0) << "frame " << i;
      ++comparedFrames;
    }
  }
  EXPECT_GT(files, 60);
  EXPECT_GT(comparedFrames, 75);
}

TEST(CodecGifDecode, RealAnimations) {
  struct Case {
    const char* path;
    std::int32_t frames;
    std::uint32_t width, height;
  };
  for (const Case& c :
       {Case{"usr/lib/python3/dist-packages/imageio/resources/images/newtonscradle.gif", 36, 200, 150},
        Case{"usr/libexec/installed-tests/gdk-pixbuf/1_partyanimsm2.gif", 45, 660, 666},
        Case{"usr/libexec/installed-tests/gdk-pixbuf/aero.gif", 56, 350, 189},
        Case{"usr/libexec/installed-tests/gdk-pixbuf/circular-table.gif", 9, 640, 360},
        Case{"usr/lib/python3/dist-packages/skimage/data/no_time_for_that_tiny.gif", 24, 14, 25}}) {
    SCOPED_TRACE(c.path);
    const auto path = TestDataPath(c.path);
    for (std::int32_t i : {0, c.frames / 2, c.frames - 1}) {
      CCodecImage image;
      image.attributes.frameIndex = i;
      ASSERT_TRUE(image.Load(path, CodecFormat::Gif)) << image.GetLastError();
      EXPECT_EQ(image.attributes.frameCount, c.frames);
      EXPECT_EQ(image.GetWidth(), c.width);
      EXPECT_EQ(image.GetHeight(), c.height);
    }
  }

  // Go's GIF pictures are their PNG twins quantised to 128 greys or 32
  // colours.
  const auto go = TestDataPath("usr/share/go-1.19/src/image/testdata");
  struct Twin {
    const char* gif;
    const char* png;
    double meanError;
  };
  for (const Twin& twin : {Twin{"video-005.gray.gif", "video-005.gray.png", 0.5},
                           Twin{"video-001.5bpp.gif", "video-001.png", 7.5}}) {
    SCOPED_TRACE(twin.gif);
    CCodecImage gif;
    CCodecImage png;
    ASSERT_TRUE(gif.Load(go / twin.gif, CodecFormat::Gif)) << gif.GetLastError();
    ASSERT_TRUE(png.Load(go / twin.png, CodecFormat::Png)) << png.GetLastError();
    const Picture a = PictureOf(gif);
    const Picture b = PictureOf(png);
    ASSERT_EQ(a.size(), b.size());
    double error = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
      for (int c = 0; c < 3; ++c) error += std::abs(a[i][c] - b[i][c]);
    }
    EXPECT_LT(error / (3.0 * static_cast<double>(a.size())), twin.meanError);
  }
}

TEST(CodecGifDecode, DamagedFilesFailCleanly) {
  const auto gdk = TestDataPath("usr/libexec/installed-tests/gdk-pixbuf/test-images");
  for (const auto& folder : {gdk / "fail", gdk / "randomly-modified"}) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.path().extension() != ".gif") continue;
      for (std::int32_t i : {0, 1, 5}) {
        CCodecImage image;
        image.attributes.frameIndex = i;
        if (!image.Load(entry.path(), CodecFormat::Gif)) {
          EXPECT_NE(image.GetLastError()[0], '\0') << entry.path();
        }
      }
    }
  }

  // Every truncation and a byte change at every position fails or gives a
  // whole picture; never a crash or a hang.
  GifFile interlaced = Animation(1);
  interlaced.frames[0].interlaced = true;
  CCodecImage tiles;
  ASSERT_NE(tiles.Create(20, 16, 24, CodecFormat::Bmp), nullptr);
  const Bytes noise = Noise(tiles.GetRowStride() * 16, 3);
  std::copy(noise.begin(), noise.end(), tiles.GetBits());
  for (const Bytes& good :
       {BuildGif(Animation(1)), BuildGif(interlaced), EncodeAs(tiles, CodecFormat::Gif)}) {
    for (std::size_t at = 0; at < good.size(); at += 1 + at / 256) {
      for (std::uint8_t value :
           {std::uint8_t{0}, std::uint8_t{0x21}, std::uint8_t{0x2C}, std::uint8_t{0xFF}}) {
        Bytes changed = good;
        changed[at] = value;
        for (std::int32_t i : {0, 2}) {
          CCodecImage image;
          image.attributes.frameIndex = i;
          if (DecodeAs(changed, image, CodecFormat::Gif)) {
            EXPECT_FALSE(image.IsEmpty());
          }
        }
      }
      CCodecImage image;
      image.attributes.frameIndex = 2;
      if (DecodeAs(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(at)), image,
                   CodecFormat::Gif)) {
        EXPECT_FALSE(image.IsEmpty());
      }
    }
  }
}

// ---- The image-file layer -------------------------------------------------------------------------

TEST(CodecGifDecode, ImageFilesOpenThroughTheCodecs) {
  CCodecImage image;
  ASSERT_NE(image.Create(3, 2, 8, CodecFormat::Bmp), nullptr);
  for (int i = 0; i < 6; ++i) {
    image.SetPaletteColor(static_cast<std::uint8_t>(i), Bgr(10 * i, 20 * i, 30 * i));
    image.SetPixelIndex(i % 3, i / 3, static_cast<std::uint8_t>(i));
  }
  image.attributes.transparentIndex = 4;
  const auto folder = ScratchDir();
  ASSERT_TRUE(image.Save(folder / "picture.gif", CodecFormat::Gif));
  ASSERT_TRUE(image.Save(folder / "picture.bmp", CodecFormat::Bmp));
  for (const char* name : {"picture.gif", "picture.bmp"}) {
    SCOPED_TRACE(name);
    CBgraImage bgra;
    ASSERT_EQ(LoadImageAsBgra(folder / name, bgra), 1);
    ASSERT_EQ(bgra.width, 3u);
    ASSERT_EQ(bgra.height, 2u);
    // Top row first: bitmap row 1 holds indexes 3, 4, 5.
    EXPECT_EQ(bgra.Row(0)[0], 30);
    EXPECT_EQ(bgra.Row(0)[2 * 4 + 2], 150);
    EXPECT_EQ(bgra.Row(0)[1 * 4 + 3], std::string(name) == "picture.gif" ? 0 : 255);
  }
}

}  // namespace
