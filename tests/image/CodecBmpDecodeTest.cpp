#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "image/BgraImage.h"
#include "image/ImageLoadError.h"
#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecMemStream.h"
#include "platform/LittleEndian.h"
#include "tests/common/PixelBlockFailure.h"
#include "tests/common/TestData.h"
#include "tests/image/CodecTestSupport.h"

namespace {

constexpr char kBadRle[] = "Corrupted BMP RLE data";

// ---- Hand-built files -----------------------------------------------------------------

struct BmpFile {
  bool fileHeader = true;
  std::uint32_t headerSize = 40;  // 12: OS/2 core header
  std::int32_t width = 5;
  std::int32_t height = 3;
  std::uint16_t bitCount = 8;
  std::uint32_t compression = 0;
  std::uint32_t sizeImage = 0;
  std::uint32_t colorsUsed = 0;
  std::int32_t pelsPerMeter = 11811;  // 300 dpi
  std::vector<RgbQuad> palette;
  std::vector<std::uint32_t> masks;  // in the header, or after a 40-byte one
  std::optional<std::uint32_t> dataOffset;
  Bytes pixels;
};

Bytes Build(const BmpFile& f) {
  ByteWriter info;
  if (f.headerSize == 12) {
    info.U32(12);
    info.U16(static_cast<std::uint16_t>(f.width));
    info.U16(static_cast<std::uint16_t>(f.height));
    info.U16(1);
    info.U16(f.bitCount);
  } else {
    info.U32(f.headerSize);
    info.I32(f.width);
    info.I32(f.height);
    info.U16(1);
    info.U16(f.bitCount);
    info.U32(f.compression);
    info.U32(f.sizeImage);
    info.I32(f.pelsPerMeter);
    info.I32(f.pelsPerMeter);
    info.U32(f.colorsUsed);
    info.U32(0);
    for (std::uint32_t mask : f.masks) info.U32(mask);
    if (f.headerSize > 40) info.Zeros(f.headerSize - info.size());
  }
  for (const RgbQuad& entry : f.palette) {
    info.U8(entry.blue);
    info.U8(entry.green);
    info.U8(entry.red);
    if (f.headerSize != 12) info.U8(0);
  }
  ByteWriter out;
  if (f.fileHeader) {
    const auto offset = static_cast<std::uint32_t>(14 + info.size());
    out.U8('B');
    out.U8('M');
    out.U32(static_cast<std::uint32_t>(offset + f.pixels.size()));
    out.U32(0);
    out.U32(f.dataOffset.value_or(offset));
  }
  out.Bytes(info.bytes());
  out.Bytes(f.pixels);
  return out.Take();
}

Bytes Truncated(const Bytes& bytes, std::size_t size) {
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(size, bytes.size())));
}

RgbQuad Colour(int i) { return Bgr((i * 16) & 0xFF, (255 - i * 16) & 0xFF, (i * 7 + 3) & 0xFF); }

std::vector<RgbQuad> Palette(int count) {
  std::vector<RgbQuad> palette;
  for (int i = 0; i < count; ++i) palette.push_back(Colour(i));
  return palette;
}

// The 5 x 3 picture of most cases, top row first.
constexpr std::uint8_t kIndexes[3][5] = {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}, {11, 12, 13, 14, 15}};

// The picture's rows in file order, packed and padded to 4 bytes.
Bytes PackedRows(int bits, bool topDown = false) {
  Bytes out;
  for (int i = 0; i < 3; ++i) {
    const int row = topDown ? i : 2 - i;
    Bytes packed(((5 * bits + 31) / 32) * 4, 0);
    for (int x = 0; x < 5; ++x) {
      const int index = bits == 1 ? kIndexes[row][x] & 1 : kIndexes[row][x];
      if (bits == 8) {
        packed[x] = static_cast<std::uint8_t>(index);
      } else if (bits == 4) {
        packed[x / 2] |= static_cast<std::uint8_t>(index << ((x & 1) ? 0 : 4));
      } else {
        packed[x / 8] |= static_cast<std::uint8_t>(index << (7 - x % 8));
      }
    }
    out.insert(out.end(), packed.begin(), packed.end());
  }
  return out;
}

// Direct-colour rows: bytes(colour) per pixel, rows padded to 4 bytes.
template <typename PixelBytes>
Bytes DirectRows(PixelBytes&& bytesOf, bool topDown = false) {
  Bytes out;
  for (int i = 0; i < 3; ++i) {
    const int row = topDown ? i : 2 - i;
    Bytes packed;
    for (int x = 0; x < 5; ++x) {
      const Bytes pixel = bytesOf(Colour(kIndexes[row][x]));
      packed.insert(packed.end(), pixel.begin(), pixel.end());
    }
    packed.resize((packed.size() + 3) / 4 * 4, 0);
    out.insert(out.end(), packed.begin(), packed.end());
  }
  return out;
}

Picture Expected(int bits, std::uint8_t quantise = 0xFF, std::uint8_t quantiseGreen = 0xFF) {
  Picture picture;
  for (const auto& row : kIndexes) {
    for (std::uint8_t index : row) {
      const RgbQuad c = Colour(bits == 1 ? index & 1 : index);
      picture.push_back({c.blue & quantise, c.green & quantiseGreen, c.red & quantise, 255});
    }
  }
  return picture;
}

Bytes Rgb16(RgbQuad c, bool sixBitGreen) {
  const std::uint32_t word = sixBitGreen ? (c.red >> 3) << 11 | (c.green >> 2) << 5 | (c.blue >> 3)
                                         : (c.red >> 3) << 10 | (c.green >> 3) << 5 | (c.blue >> 3);
  return {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8)};
}

BmpFile PaletteFile(int bits) {
  BmpFile f;
  f.bitCount = static_cast<std::uint16_t>(bits);
  f.palette = Palette(1 << bits);
  f.pixels = PackedRows(bits);
  return f;
}

BmpFile DirectFile(int bits, Bytes pixels) {
  BmpFile f;
  f.bitCount = static_cast<std::uint16_t>(bits);
  f.pixels = std::move(pixels);
  return f;
}

struct CorpusCase {
  std::string name;
  Bytes bytes;
  Picture expected;
  std::uint32_t bitCount;
};

std::vector<CorpusCase> Corpus() {
  std::vector<CorpusCase> cases;
  for (int bits : {1, 4, 8})
    cases.push_back(
        {"file " + std::to_string(bits), Build(PaletteFile(bits)), Expected(bits), std::uint32_t(bits)});
  {
    BmpFile f = PaletteFile(8);
    f.fileHeader = false;
    cases.push_back({"bare DIB, full palette", Build(f), Expected(8), 8});
    f.palette = Palette(16);
    f.colorsUsed = 16;
    cases.push_back({"bare DIB, 16 of 256 entries", Build(f), Expected(8), 8});
  }
  {
    BmpFile f = PaletteFile(4);
    f.headerSize = 12;
    cases.push_back({"OS/2 core header", Build(f), Expected(4), 4});
    f.fileHeader = false;
    cases.push_back({"OS/2 core header, bare", Build(f), Expected(4), 4});
  }
  {
    BmpFile f = PaletteFile(8);
    f.palette = Palette(16);
    f.colorsUsed = 16;
    cases.push_back({"8 bits, 16 palette entries", Build(f), Expected(8), 8});
    f.headerSize = 124;
    f.masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    cases.push_back({"version 5 header", Build(f), Expected(8), 8});
  }
  {
    auto bgr = [](RgbQuad c) { return Bytes{c.blue, c.green, c.red}; };
    cases.push_back({"24 bits", Build(DirectFile(24, DirectRows(bgr))), Expected(24), 24});
    BmpFile f = DirectFile(24, DirectRows(bgr, true));
    f.height = -3;
    cases.push_back({"24 bits top-down", Build(f), Expected(24), 24});
    BmpFile odd = DirectFile(24, DirectRows(bgr));
    odd.sizeImage = 1;
    cases.push_back({"image size field 1", Build(odd), Expected(24), 24});
    odd.sizeImage = 0xFFFFFFFF;
    cases.push_back({"image size field 2^32 - 1", Build(odd), Expected(24), 24});
  }
  {
    auto bgrx = [](RgbQuad c) { return Bytes{c.blue, c.green, c.red, 0x55}; };
    cases.push_back({"32 bits", Build(DirectFile(32, DirectRows(bgrx))), Expected(32), 24});
    // Alpha in the low byte, then blue, green, red.
    auto abgr = [](RgbQuad c) { return Bytes{0x55, c.blue, c.green, c.red}; };
    BmpFile f = DirectFile(32, DirectRows(abgr));
    f.compression = 3;
    f.masks = {0xFF000000, 0xFF0000, 0xFF00};
    cases.push_back({"32-bit bit fields", Build(f), Expected(32), 24});
    f.headerSize = 56;
    f.masks.push_back(0xFF);
    cases.push_back({"32-bit bit fields in a 56-byte header", Build(f), Expected(32), 24});
  }
  {
    BmpFile f = DirectFile(16, DirectRows([](RgbQuad c) { return Rgb16(c, false); }));
    cases.push_back({"16 bits 5-5-5", Build(f), Expected(16, 0xF8, 0xF8), 24});
    f.fileHeader = false;
    cases.push_back({"16 bits 5-5-5, bare", Build(f), Expected(16, 0xF8, 0xF8), 24});
    BmpFile g = DirectFile(16, DirectRows([](RgbQuad c) { return Rgb16(c, true); }));
    g.compression = 3;
    g.masks = {0xF800, 0x07E0, 0x001F};
    cases.push_back({"16 bits 5-6-5", Build(g), Expected(16, 0xF8, 0xFC), 24});
    g.fileHeader = false;
    cases.push_back({"16 bits 5-6-5, bare", Build(g), Expected(16, 0xF8, 0xFC), 24});
  }
  return cases;
}

TEST(CodecBmpDecode, HandBuiltCorpus) {
  for (const CorpusCase& c : Corpus()) {
    SCOPED_TRACE(c.name);
    CCodecImage image;
    ASSERT_TRUE(DecodeAs(c.bytes, image, CodecFormat::Bmp)) << image.GetLastError();
    EXPECT_EQ(image.GetBitCount(), c.bitCount);
    EXPECT_EQ(image.GetWidth(), 5u);
    EXPECT_EQ(image.GetHeight(), 3u);
    EXPECT_EQ(PictureOf(image), c.expected);
    EXPECT_EQ(image.attributes.dpiX, c.name.starts_with("OS/2") ? 0 : 300);  // a core header has none
    EXPECT_EQ(image.attributes.format, CodecFormat::Bmp);
  }
}

// Bitmap rows bottom-up, as index grids.
using IndexRows = std::vector<std::vector<int>>;

IndexRows IndexesOf(const CCodecImage& image) {
  IndexRows rows(image.GetHeight(), std::vector<int>(image.GetWidth()));
  for (std::uint32_t y = 0; y < image.GetHeight(); ++y) {
    for (std::uint32_t x = 0; x < image.GetWidth(); ++x) {
      rows[y][x] = image.GetPixelIndex(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
    }
  }
  return rows;
}

BmpFile RleFile(int bits, Bytes data) {
  BmpFile f;
  f.width = 6;
  f.height = 4;
  f.bitCount = static_cast<std::uint16_t>(bits);
  f.compression = bits == 8 ? 1 : 2;
  f.palette = Palette(1 << bits);
  f.pixels = std::move(data);
  return f;
}

TEST(CodecBmpDecode, RunLengthEncoding) {
  // Runs, an odd absolute run with its pad byte, a delta over the rest of
  // row 1 and into row 2, end of line and end of bitmap.
  const Bytes rle8 = {3, 4, 0, 3, 1, 2, 3, 0, 0, 0,  // row 0
                      0, 2, 2, 1,                    // delta to (2, 2)
                      4, 9, 0, 0,                    // row 2
                      6, 5, 0, 1};
  CCodecImage image;
  ASSERT_TRUE(DecodeAs(Build(RleFile(8, rle8)), image, CodecFormat::Bmp)) << image.GetLastError();
  EXPECT_EQ(IndexesOf(image),
            (IndexRows{{4, 4, 4, 1, 2, 3}, {0, 0, 0, 0, 0, 0}, {0, 0, 9, 9, 9, 9}, {5, 5, 5, 5, 5, 5}}));

  // Alternating nibbles in runs; absolute runs of 3 (two bytes, no pad) and
  // 5 (three bytes and a pad).
  const Bytes rle4 = {5, 0x12, 1,    0x30, 0,    0,           // row 0
                      0, 3,    0x45, 0x60, 3,    0x77, 0, 0,  // row 1
                      0, 2,    1,    1,                       // delta to (1, 3)
                      0, 5,    0xAB, 0xCD, 0xE0, 0,    0, 1};
  ASSERT_TRUE(DecodeAs(Build(RleFile(4, rle4)), image, CodecFormat::Bmp)) << image.GetLastError();
  EXPECT_EQ(image.GetBitCount(), 4u);
  EXPECT_EQ(IndexesOf(image),
            (IndexRows{{1, 2, 1, 2, 1, 3}, {4, 5, 6, 7, 7, 7}, {0, 0, 0, 0, 0, 0}, {0, 10, 11, 12, 13, 14}}));

  // A top-down file's first rows are the top ones.
  BmpFile topDown = RleFile(8, rle8);
  topDown.height = -4;
  ASSERT_TRUE(DecodeAs(Build(topDown), image, CodecFormat::Bmp)) << image.GetLastError();
  EXPECT_EQ(IndexesOf(image),
            (IndexRows{{5, 5, 5, 5, 5, 5}, {0, 0, 9, 9, 9, 9}, {0, 0, 0, 0, 0, 0}, {4, 4, 4, 1, 2, 3}}));

  // Data that stops without an end of bitmap keeps what was decoded.
  ASSERT_TRUE(DecodeAs(Build(RleFile(8, {2, 7, 0})), image, CodecFormat::Bmp));
  EXPECT_EQ(IndexesOf(image)[0], (std::vector<int>{7, 7, 0, 0, 0, 0}));
}

TEST(CodecBmpDecode, RefusedFiles) {
  struct Case {
    const char* name;
    Bytes bytes;
    const char* error;
  };
  auto withFile = [](auto&& edit) {
    BmpFile f = PaletteFile(8);
    edit(f);
    return Build(f);
  };
  const std::vector<Case> cases = {
      {"4 bytes", {'B', 'M', 0, 0}, "Not a BMP"},
      {"short information header", Truncated(Build(PaletteFile(8)), 30), "Error reading BMP info"},
      {"header size 20", withFile([](BmpFile& f) { f.headerSize = 20; }), "Error reading BMP info"},
      {"short palette", Truncated(Build(PaletteFile(8)), 300), "Error reading BMP info"},
      {"2 bits", withFile([](BmpFile& f) { f.bitCount = 2; }), "BMP bit count not supported"},
      {"64 bits", withFile([](BmpFile& f) { f.bitCount = 64; }), "BMP bit count not supported"},
      {"0 bits", withFile([](BmpFile& f) { f.bitCount = 0; }), "BMP bit count not supported"},
      {"negative width", withFile([](BmpFile& f) { f.width = -5; }), "Bad BMP image size"},
      {"zero height", withFile([](BmpFile& f) { f.height = 0; }), "Bad BMP image size"},
      {"height -2^31", withFile([](BmpFile& f) { f.height = INT32_MIN; }), "Image too large"},
      {"1 x 1509949441", withFile([](BmpFile& f) {
         f.width = 1;
         f.height = 1509949441;
       }),
       "Image too large"},
      {"20001 x 20000", withFile([](BmpFile& f) {
         f.width = 20001;
         f.height = 20000;
       }),
       "Image too large"},
      {"RLE4 in 8 bits", withFile([](BmpFile& f) { f.compression = 2; }), "compression type not supported"},
      {"JPEG in 8 bits", withFile([](BmpFile& f) { f.compression = 4; }), "compression type not supported"},
      {"RLE8 in 24 bits", Build([] {
         BmpFile f = DirectFile(24, Bytes(48));
         f.compression = 1;
         return f;
       }()),
       "unknown compression"},
      {"RLE8 in 32 bits", Build([] {
         BmpFile f = DirectFile(32, Bytes(60));
         f.compression = 1;
         return f;
       }()),
       "unknown compression"},
      {"data offset past the end", withFile([](BmpFile& f) { f.dataOffset = 100000; }),
       "Bad BMP data offset"},
      {"RLE8 run past the row end", Build(RleFile(8, {7, 1, 0, 1})), kBadRle},
      {"RLE8 run past the row end after a run", Build(RleFile(8, {4, 1, 3, 1, 0, 1})), kBadRle},
      {"RLE8 absolute run past the row end", Build(RleFile(8, {0, 7, 1, 2, 3, 4, 5, 6, 7, 0})), kBadRle},
      {"RLE4 run past the row end", Build(RleFile(4, {7, 0x11, 0, 1})), kBadRle},
      {"RLE4 absolute run past the row end", Build(RleFile(4, {2, 0x11, 0, 5, 0x12, 0x34, 0x50, 0})),
       kBadRle},
      {"delta past the row end", Build(RleFile(8, {0, 2, 7, 0, 1, 1})), kBadRle},
      {"delta past the top", Build(RleFile(8, {0, 2, 0, 5, 1, 1})), kBadRle},
      {"run past the picture end", Build(RleFile(8, {0, 0, 0, 0, 0, 0, 0, 0, 1, 1})), kBadRle},
      {"absolute run past the picture end", Build(RleFile(8, {0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 1, 2, 3, 0})),
       kBadRle},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CCodecImage image(2, 2);
    EXPECT_FALSE(DecodeAs(c.bytes, image, CodecFormat::Bmp));
    EXPECT_STREQ(image.GetLastError(), c.error);
    EXPECT_EQ(image.GetWidth(), 2u);  // unchanged
  }
}

TEST(CodecBmpDecode, UncompressedRowsMustAllBeThere) {
  const Bytes whole = Build(DirectFile(24, DirectRows([](RgbQuad c) {
                                         return Bytes{c.blue, c.green, c.red};
                                       })));
  CCodecImage image;
  // The last row's padding byte may be missing, nothing more.
  EXPECT_TRUE(DecodeAs(Truncated(whole, whole.size() - 1), image, CodecFormat::Bmp)) << image.GetLastError();
  EXPECT_EQ(PictureOf(image), Expected(24));
  EXPECT_FALSE(DecodeAs(Truncated(whole, whole.size() - 2), image, CodecFormat::Bmp));
  EXPECT_STREQ(image.GetLastError(), "BMP data truncated");

  // A 300-byte file announcing 5 x 16 million pixels takes no pixel memory.
  BmpFile tall = DirectFile(24, Bytes(200));
  tall.height = -16777213;
  EXPECT_FALSE(DecodeAs(Build(tall), image, CodecFormat::Bmp));
  EXPECT_STREQ(image.GetLastError(), "BMP data truncated");
}

TEST(CodecBmpDecode, HeadersAboveTheLimitsTakeNoPixelMemory) {
  const auto path = ScratchDir() / "wide.bmp";
  // Within the pixel limit; only the side is too large for a loaded picture.
  BmpFile wide = DirectFile(24, Bytes(64));
  wide.width = 30000;
  wide.height = 13000;
  WriteFileBytes(path, Build(wide));
  const PixelBlockFailure watch(-1);
  CBgraImage image;
  EXPECT_EQ(image.LoadFile(path), 0);
  EXPECT_EQ(ImageLoadError(), kImageTooLarge);
  CCodecImage codec;
  EXPECT_FALSE(codec.Load(path, CodecFormat::Bmp));
  EXPECT_STREQ(codec.GetLastError(), "BMP data truncated");
  EXPECT_EQ(watch.Requested(), 0) << "largest block asked for: " << watch.Largest();
}

TEST(CodecBmpDecode, EncoderOutputReadsBack) {
  for (std::uint32_t bits : {1u, 4u, 8u, 24u}) {
    SCOPED_TRACE(bits);
    CCodecImage image;
    ASSERT_NE(image.Create(13, 7, static_cast<std::int32_t>(bits), CodecFormat::Bmp), nullptr);
    const Bytes noise = Noise(image.GetRowStride() * 7 + 4 * image.GetColorCount(), bits);
    std::copy(noise.begin(), noise.begin() + image.GetRowStride() * 7, image.GetBits());
    for (std::uint32_t i = 0; i < image.GetColorCount(); ++i) {
      image.SetPaletteColor(static_cast<std::uint8_t>(i),
                            Bgr(noise[4 * i], noise[4 * i + 1], noise[4 * i + 2]));
    }
    image.SetXDPI(300);
    image.SetYDPI(96);
    CCodecImage decoded;
    ASSERT_TRUE(DecodeAs(EncodeAs(image, CodecFormat::Bmp), decoded, CodecFormat::Bmp))
        << decoded.GetLastError();
    EXPECT_EQ(decoded.GetBitCount(), bits);
    EXPECT_EQ(PictureOf(decoded), PictureOf(image));
    EXPECT_EQ(decoded.attributes.dpiX, 300);
    EXPECT_EQ(decoded.attributes.dpiY, 96);
  }
}

// ---- Real files -----------------------------------------------------------------------------

// B, G and R of every pixel, top row first.
std::vector<std::array<int, 3>> ColoursOf(const CCodecImage& image) {
  std::vector<std::array<int, 3>> colours;
  for (const auto& p : PictureOf(image)) colours.push_back({p[0], p[1], p[2]});
  return colours;
}

TEST(CodecBmpDecode, RealFilesMatchTheirReferences) {
  struct Case {
    const char* bmp;
    const char* png;
    std::uint32_t width, height, bitCount;
  };
  const Case cases[] = {
      {"usr/share/gocode/src/golang.org/x/image/testdata/video-001.bmp",
       "usr/share/gocode/src/golang.org/x/image/testdata/video-001.png", 150, 103, 24},
      {"usr/share/gocode/src/golang.org/x/image/testdata/yellow_rose-small.bmp",  // top-down, 32 bits
       "usr/share/gocode/src/golang.org/x/image/testdata/yellow_rose-small.png", 16, 12, 24},
      {"usr/share/gocode/src/golang.org/x/image/testdata/yellow_rose-small-v5.bmp",
       "usr/share/gocode/src/golang.org/x/image/testdata/yellow_rose-small-v5.png", 16, 12, 24},
      {"usr/share/gocode/src/golang.org/x/image/testdata/colormap.bmp",  // 8 bits, version 5 header
       "usr/share/gocode/src/golang.org/x/image/testdata/colormap.png", 150, 103, 8},
      {"usr/libexec/installed-tests/gdk-pixbuf/test-images/reftests/mandatory-bitmasks.bmp",
       "usr/libexec/installed-tests/gdk-pixbuf/test-images/reftests/mandatory-bitmasks.bmp.ref.png", 350, 400,
       24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bmp);
    CCodecImage bmp;
    CCodecImage png;
    ASSERT_TRUE(bmp.Load(TestDataPath(c.bmp), CodecFormat::Bmp)) << bmp.GetLastError();
    ASSERT_TRUE(png.Load(TestDataPath(c.png), CodecFormat::Png)) << png.GetLastError();
    EXPECT_EQ(bmp.GetWidth(), c.width);
    EXPECT_EQ(bmp.GetHeight(), c.height);
    EXPECT_EQ(bmp.GetBitCount(), c.bitCount);
    EXPECT_EQ(ColoursOf(bmp), ColoursOf(png));
  }

  CCodecImage image;
  EXPECT_TRUE(image.Load(
      TestDataPath("usr/libexec/installed-tests/gdk-pixbuf/test-images/randomly-modified/valid.1.bmp"),
      CodecFormat::Bmp));
  EXPECT_EQ(image.GetWidth(), 48u);
}

TEST(CodecBmpDecode, DamagedFilesFailCleanly) {
  const auto gdk = TestDataPath("usr/libexec/installed-tests/gdk-pixbuf");
  for (const char* name :
       {"test-images/fail/bug776694.bmp", "test-images/fail/bug777315.bmp", "test-images/fail/invalid.1.bmp",
        "cve-2015-4491.bmp", "test-images/randomly-modified/bmp-line-overflow.bmp",
        "test-images/randomly-modified/bug775242.bmp"}) {
    CCodecImage image;
    EXPECT_FALSE(image.Load(gdk / name, CodecFormat::Bmp)) << name;
    EXPECT_NE(image.GetLastError()[0], '\0') << name;
  }
  CCodecImage image;
  // Either way, but a success gives a picture.
  if (image.Load(gdk / "test-images/randomly-modified/decodecolormap.bmp", CodecFormat::Bmp)) {
    EXPECT_FALSE(image.IsEmpty());
  }

  // Every truncation and a byte change at every position of a few files
  // either fail or give an image within the limits; never a crash or hang.
  std::vector<Bytes> files = {
      Build(RleFile(8, {3, 4, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 4, 9, 0, 0, 6, 5, 0, 1})),
      Build(RleFile(4, {5, 0x12, 0, 3, 0x45, 0x60, 0, 2, 1, 1, 0, 5, 0xAB, 0xCD, 0xE0, 0, 0, 1}))};
  for (const CorpusCase& c : Corpus()) files.push_back(c.bytes);
  for (const Bytes& good : files) {
    for (std::size_t size = 0; size < good.size(); size += 1 + size / 64) {
      CCodecImage decoded;
      if (DecodeAs(Truncated(good, size), decoded, CodecFormat::Bmp)) {
        EXPECT_FALSE(decoded.IsEmpty());
      }
    }
    for (std::size_t at = 0; at < std::min<std::size_t>(good.size(), 200); ++at) {
      // High bytes of the sides give RLE pictures of up to 100 million
      // pixels, which are valid and only slow; the sizes are refused above.
      if (at == 20 || at == 21 || at == 24 || at == 25) continue;
      for (std::uint8_t value : {std::uint8_t{0}, std::uint8_t{0x80}, std::uint8_t{0xFF}}) {
        Bytes changed = good;
        changed[at] = value;
        CCodecImage decoded;
        if (DecodeAs(changed, decoded, CodecFormat::Bmp)) {
          EXPECT_FALSE(decoded.IsEmpty());
        }
      }
    }
  }
}

}  // namespace
