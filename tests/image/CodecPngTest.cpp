#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <csetjmp>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecImagePNG.h"
#include "image/codecs/CodecMemStream.h"
#include "tests/common/TestData.h"
#include "tests/image/CodecTestSupport.h"
#include "tests/image/LimitedStream.h"

namespace {

// ---- Fixtures written and read with libpng ------------------------------------------

struct PngFixture {
  png_uint_32 width = 1;
  png_uint_32 height = 1;
  int bitDepth = 8;
  int colorType = PNG_COLOR_TYPE_RGB;
  bool interlaced = false;
  Bytes rows;  // top row first, PNG packing, 16-bit samples big-endian
  std::vector<png_color> palette;
  Bytes trans;
  std::optional<png_color_16> background;
};

int Channels(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 4;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    default:
      return 1;
  }
}

std::size_t RowBytes(const PngFixture& f) {
  return (std::size_t{f.width} * f.bitDepth * Channels(f.colorType) + 7) / 8;
}

void AppendBytes(png_structp png, png_bytep data, std::size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

// Arms setjmp, so it holds no object with a destructor.
bool WriteFixtureRows(png_structp png, png_infop info, const PngFixture& f, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, f.width, f.height, f.bitDepth, f.colorType,
               f.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!f.palette.empty()) png_set_PLTE(png, info, f.palette.data(), static_cast<int>(f.palette.size()));
  if (!f.trans.empty()) png_set_tRNS(png, info, f.trans.data(), static_cast<int>(f.trans.size()), nullptr);
  if (f.background) png_set_bKGD(png, info, &*f.background);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

Bytes WriteFixture(const PngFixture& f) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendBytes, nullptr);
  std::vector<png_bytep> rows(f.height);
  for (png_uint_32 j = 0; j < f.height; ++j) rows[j] = const_cast<png_bytep>(f.rows.data() + j * RowBytes(f));
  const bool written = WriteFixtureRows(png, info, f, rows.data());
  png_destroy_write_struct(&png, &info);
  EXPECT_TRUE(written);
  return out;
}

// A PNG as stored: header, palette, transparency and the unexpanded rows.
struct StoredPng {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bitDepth = 0;
  int colorType = -1;
  std::vector<png_color> palette;
  Bytes trans;
  Bytes rows;
  std::size_t rowBytes = 0;
};

struct ReadCursor {
  const Bytes* bytes;
  std::size_t position;
};

void ReadBytes(png_structp png, png_bytep data, std::size_t length) {
  auto* cursor = static_cast<ReadCursor*>(png_get_io_ptr(png));
  if (cursor->bytes->size() - cursor->position < length) png_error(png, "short");
  std::copy_n(cursor->bytes->data() + cursor->position, length, data);
  cursor->position += length;
}

bool ReadStoredRows(png_structp png, png_infop info, StoredPng& out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  out.width = png_get_image_width(png, info);
  out.height = png_get_image_height(png, info);
  out.bitDepth = png_get_bit_depth(png, info);
  out.colorType = png_get_color_type(png, info);
  png_colorp palette = nullptr;
  int count = 0;
  if (png_get_PLTE(png, info, &palette, &count)) out.palette.assign(palette, palette + count);
  png_bytep trans = nullptr;
  if (png_get_tRNS(png, info, &trans, &count, nullptr) && trans) out.trans.assign(trans, trans + count);
  png_read_update_info(png, info);
  out.rowBytes = png_get_rowbytes(png, info);
  out.rows.resize(out.rowBytes * out.height);
  for (png_uint_32 j = 0; j < out.height; ++j) png_read_row(png, out.rows.data() + j * out.rowBytes, nullptr);
  png_read_end(png, nullptr);
  return true;
}

StoredPng ReadStored(const Bytes& bytes) {
  StoredPng stored;
  ReadCursor cursor{&bytes, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_read_fn(png, &cursor, ReadBytes);
  EXPECT_TRUE(ReadStoredRows(png, info, stored));
  png_destroy_read_struct(&png, &info, nullptr);
  return stored;
}

// ---- Helpers ------------------------------------------------------------------------------

bool Decode(const Bytes& bytes, CCodecImage& image) { return DecodeAs(bytes, image, CodecFormat::Png); }

std::vector<png_color> NoisePalette(std::size_t count, std::uint32_t seed) {
  const Bytes bytes = Noise(3 * count, seed);
  std::vector<png_color> palette(count);
  for (std::size_t i = 0; i < count; ++i) palette[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
  return palette;
}

// ---- Decoding -----------------------------------------------------------------------------

TEST(CodecPngDecode, RgbaKeepsItsAlphaAndBackground) {
  PngFixture f;
  f.width = 3;
  f.height = 2;
  f.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  f.rows = {10, 20, 30, 0, 40, 50, 60, 128, 70, 80, 90, 255, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  f.background = png_color_16{0, 2, 3, 4, 0};

  CCodecImage image;
  ASSERT_TRUE(Decode(WriteFixture(f), image)) << image.GetLastError();
  EXPECT_EQ(image.GetBitCount(), 24u);
  ASSERT_NE(image.GetAlphaPlane(), nullptr);
  EXPECT_EQ(PictureOf(image), (Picture{{30, 20, 10, 0},
                                       {60, 50, 40, 128},
                                       {90, 80, 70, 255},
                                       {3, 2, 1, 4},
                                       {7, 6, 5, 8},
                                       {11, 10, 9, 12}}));
  EXPECT_EQ(image.attributes.transparentColor, Bgr(4, 3, 2));  // from bKGD
  EXPECT_EQ(image.attributes.format, CodecFormat::Png);
  EXPECT_EQ(image.attributes.dpiX, 72);
}

TEST(CodecPngDecode, SixteenBitRgbaKeepsItsAlpha) {
  struct Case {
    const char* name;
    std::optional<png_color_16> background;
    RgbQuad transparentColor;
  };
  const Case cases[] = {
      {"no bKGD", std::nullopt, Bgr(0, 0, 0)},
      {"bKGD: its low bytes", png_color_16{0, 0x4001, 0x8002, 0xC003, 0}, Bgr(3, 2, 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PngFixture f;
    f.width = 2;
    f.bitDepth = 16;
    f.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    f.rows = {0xFF, 0xFF, 0xEE, 0xFF, 0xDD, 0xFF, 0, 0, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0x80, 0xFF};
    f.background = c.background;
    CCodecImage image;
    ASSERT_TRUE(Decode(WriteFixture(f), image)) << image.GetLastError();
    EXPECT_EQ(image.GetBitCount(), 24u);
    ASSERT_NE(image.GetAlphaPlane(), nullptr);
    EXPECT_EQ(PictureOf(image), (Picture{{0xDD, 0xEE, 0xFF, 0}, {0x9A, 0x56, 0x12, 0x80}}));
    EXPECT_EQ(image.attributes.transparentColor, c.transparentColor);
  }
}

TEST(CodecPngDecode, GreyWithAlpha) {
  // 8 bits per sample: colour with its alpha, not composited.
  PngFixture grey8;
  grey8.width = 2;
  grey8.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
  grey8.rows = {200, 0, 100, 255};
  CCodecImage image;
  ASSERT_TRUE(Decode(WriteFixture(grey8), image)) << image.GetLastError();
  EXPECT_EQ(image.GetBitCount(), 24u);
  EXPECT_EQ(PictureOf(image), (Picture{{200, 200, 200, 0}, {100, 100, 100, 255}}));

  // 16 bits per sample: the same; bKGD gives the low bytes.
  PngFixture grey16 = grey8;
  grey16.bitDepth = 16;
  grey16.rows = {0x80, 0x00, 0x40, 0x00, 0xFF, 0x00, 0xFF, 0xFF};
  grey16.background = png_color_16{0, 0, 0, 0, 0x1234};
  ASSERT_TRUE(Decode(WriteFixture(grey16), image)) << image.GetLastError();
  EXPECT_EQ(image.GetBitCount(), 24u);
  EXPECT_EQ(PictureOf(image), (Picture{{0x80, 0x80, 0x80, 0x40}, {0xFF, 0xFF, 0xFF, 0xFF}}));
  EXPECT_EQ(image.attributes.transparentColor, Bgr(0x34, 0x34, 0x34));
}

TEST(CodecPngDecode, TwoBitGreyBecomesAFourBitPalette) {
  PngFixture f;
  f.width = 5;
  f.bitDepth = 2;
  f.colorType = PNG_COLOR_TYPE_GRAY;
  f.rows = {0b00011011, 0b10000000};  // 0 1 2 3 2
  CCodecImage image;
  ASSERT_TRUE(Decode(WriteFixture(f), image)) << image.GetLastError();
  EXPECT_EQ(image.GetBitCount(), 4u);
  ASSERT_EQ(image.GetColorCount(), 16u);
  for (std::uint32_t i = 0; i < 16; ++i) {
    const int level = i < 4 ? static_cast<int>(85 * i) : 0;
    EXPECT_EQ(image.GetPaletteColor(i), Bgr(level, level, level)) << i;
  }
  const int expected[] = {0, 1, 2, 3, 2};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(image.GetPixelIndex(x, 0), expected[x]) << x;
}

TEST(CodecPngDecode, InterlacedEqualsNonInterlaced) {
  struct Case {
    const char* name;
    int colorType;
    int bitDepth;
    std::size_t paletteSize;
  };
  const Case cases[] = {
      {"RGB", PNG_COLOR_TYPE_RGB, 8, 0},
      {"RGBA", PNG_COLOR_TYPE_RGB_ALPHA, 8, 0},
      {"grey 2-bit", PNG_COLOR_TYPE_GRAY, 2, 0},
      {"grey+alpha 8-bit", PNG_COLOR_TYPE_GRAY_ALPHA, 8, 0},
      {"grey+alpha 16-bit", PNG_COLOR_TYPE_GRAY_ALPHA, 16, 0},
      {"RGBA 16-bit", PNG_COLOR_TYPE_RGB_ALPHA, 16, 0},
      {"palette 8-bit", PNG_COLOR_TYPE_PALETTE, 8, 256},
      {"palette 1-bit", PNG_COLOR_TYPE_PALETTE, 1, 2},
  };
  std::uint32_t seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PngFixture f;
    f.width = 13;
    f.height = 11;
    f.colorType = c.colorType;
    f.bitDepth = c.bitDepth;
    f.rows = Noise(RowBytes(f) * f.height, ++seed);
    f.palette = NoisePalette(c.paletteSize, ++seed);
    CCodecImage plain;
    ASSERT_TRUE(Decode(WriteFixture(f), plain)) << plain.GetLastError();
    f.interlaced = true;
    CCodecImage interlaced;
    ASSERT_TRUE(Decode(WriteFixture(f), interlaced)) << interlaced.GetLastError();
    EXPECT_EQ(interlaced.GetBitCount(), plain.GetBitCount());
    EXPECT_EQ(PictureOf(interlaced), PictureOf(plain));
    if (c.colorType == PNG_COLOR_TYPE_RGB) {
      // Top-left pixel of the file is the first pixel of the last bitmap row.
      EXPECT_EQ(plain.GetPixelColor(0, 10), Bgr(f.rows[2], f.rows[1], f.rows[0]));
    }
  }
}

TEST(CodecPngDecode, PaletteTransparency) {
  struct Case {
    const char* name;
    Bytes trans;
    std::int32_t transparentIndex;
    bool paletteAlpha;
    std::array<int, 4> alphas;  // fourth bytes of entries 0, 1, 2 and 255
  };
  const Case cases[] = {
      {"index 0 only", {0}, 0, false, {0, 0, 0, 0}},
      {"table", {0, 128}, -1, true, {0, 128, 255, 255}},
      {"one entry, not 0", {77}, -1, true, {77, 255, 255, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PngFixture f;
    f.width = 4;
    f.colorType = PNG_COLOR_TYPE_PALETTE;
    f.rows = {0, 1, 2, 3};
    f.palette = NoisePalette(4, 9);
    f.trans = c.trans;
    CCodecImage image;
    ASSERT_TRUE(Decode(WriteFixture(f), image)) << image.GetLastError();
    EXPECT_EQ(image.attributes.transparentIndex, c.transparentIndex);
    EXPECT_EQ(image.attributes.paletteAlphaEnabled, c.paletteAlpha);
    const std::uint32_t entries[] = {0, 1, 2, 255};
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(image.GetPaletteColor(entries[i]).reserved, c.alphas[i]) << entries[i];
    EXPECT_EQ(image.GetPaletteColor(1).red, f.palette[1].red);
  }
}

TEST(CodecPngDecode, RealFiles) {
  std::vector<std::filesystem::path> files;
  for (const char* folder : {"usr/share/go-1.19/src/image/png/testdata/pngsuite",
                             "usr/libexec/installed-tests/gdk-pixbuf/test-images/reftests/tga"}) {
    const auto path = TestDataPath(folder);
    if (path.empty()) return;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
      if (entry.path().extension() == ".png") files.push_back(entry.path());
    }
  }
  EXPECT_GT(files.size(), 60u);
  for (const auto& file : files) {
    CCodecImage image;
    EXPECT_TRUE(image.Load(file, CodecFormat::Png)) << file << ": " << image.GetLastError();
    EXPECT_FALSE(image.IsEmpty()) << file;
  }

  const auto suite = TestDataPath("usr/share/go-1.19/src/image/png/testdata/pngsuite");
  CCodecImage image;
  ASSERT_TRUE(image.Load(suite / "basn3p04-31i.png", CodecFormat::Png));  // interlaced, 4-bit palette
  EXPECT_EQ(image.GetWidth(), 31u);
  EXPECT_EQ(image.GetBitCount(), 4u);
  ASSERT_TRUE(image.Load(suite / "basn6a16.png", CodecFormat::Png));  // 16-bit RGBA
  EXPECT_EQ(image.GetBitCount(), 24u);
  EXPECT_NE(image.GetAlphaPlane(), nullptr);
}

TEST(CodecPngDecode, DamagedFilesFailCleanly) {
  PngFixture f;
  f.width = 16;
  f.height = 16;
  f.rows = Noise(RowBytes(f) * f.height, 5);
  const Bytes good = WriteFixture(f);
  ASSERT_GT(good.size(), 200u);

  struct Case {
    const char* name;
    Bytes bytes;
  };
  std::vector<Case> cases;
  for (std::size_t size : {std::size_t{0}, std::size_t{7}, std::size_t{8}, std::size_t{33}, good.size() / 2,
                           good.size() - 12, good.size() - 1}) {
    cases.push_back({"truncated", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size))});
  }
  // Signature, IHDR width, IDAT data and the last byte of the IDAT CRC.
  for (std::size_t at : {std::size_t{1}, std::size_t{18}, std::size_t{60}, good.size() - 13}) {
    Bytes flipped = good;
    flipped[at] ^= 0x10;
    cases.push_back({"bit flipped", flipped});
  }
  cases.push_back({"no PNG", Noise(300, 3)});

  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(std::string(cases[i].name) + " #" + std::to_string(i));
    CCodecImage image(16, 16);
    EXPECT_FALSE(Decode(cases[i].bytes, image));
    EXPECT_NE(image.GetLastError()[0], '\0');
    EXPECT_EQ(image.GetWidth(), 16u);  // unchanged
  }
  CCodecImage image;
  EXPECT_FALSE(Decode(cases.back().bytes, image));
  EXPECT_STREQ(image.GetLastError(), "Not a PNG file");
  EXPECT_FALSE(Decode(cases.front().bytes, image));
  EXPECT_STREQ(image.GetLastError(), "Read Error");

  // A flip anywhere either fails or gives a whole image; never a crash.
  for (std::size_t at = 0; at < good.size(); at += 3) {
    Bytes flipped = good;
    flipped[at] ^= static_cast<std::uint8_t>(1u << (at % 8));
    CCodecImage decoded;
    if (Decode(flipped, decoded)) {
      EXPECT_EQ(decoded.GetWidth() * decoded.GetHeight(), 256u) << at;
    }
  }

  // Damaged files from the test-image cache.
  const auto fail = TestDataPath("usr/libexec/installed-tests/gdk-pixbuf/test-images/fail");
  for (const char* name :
       {"bug793470-crasher.png", "invalid.1.png", "invalid.2.png", "invalid.3.png", "invalid.4.png"}) {
    CCodecImage damaged;
    EXPECT_FALSE(damaged.Load(fail / name, CodecFormat::Png)) << name;
  }
}

// ---- Encoding -----------------------------------------------------------------------------

// A 3 x 2 palette image: entry i = (i, 255 - i, i / 2); bitmap rows bottom-up.
void MakePaletteImage(CCodecImage& image, const std::uint8_t (&indexes)[2][3]) {
  ASSERT_NE(image.Create(3, 2, 8, CodecFormat::Png), nullptr);
  for (int i = 0; i < 256; ++i) {
    image.SetPaletteColor(static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                          static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i / 2));
  }
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) image.SetPixelIndex(x, y, indexes[y][x]);
  }
}

TEST(CodecPngEncode, TransparentIndexMovesToZeroInTheFileOnly) {
  CCodecImage image;
  MakePaletteImage(image, {{5, 0, 7}, {5, 1, 0}});
  image.attributes.transparentIndex = 5;
  const Picture before = PictureOf(image);

  const StoredPng stored = ReadStored(EncodeAs(image, CodecFormat::Png));
  EXPECT_EQ(stored.colorType, PNG_COLOR_TYPE_PALETTE);
  EXPECT_EQ(stored.bitDepth, 8);
  ASSERT_EQ(stored.palette.size(), 256u);
  EXPECT_EQ(stored.palette[0].red, 5);
  EXPECT_EQ(stored.palette[5].red, 0);
  EXPECT_EQ(stored.palette[7].red, 7);
  EXPECT_EQ(stored.trans, Bytes{0});
  EXPECT_EQ(stored.rows, (Bytes{0, 1, 5, 0, 5, 7}));  // top row first

  // The caller's image is as it was.
  EXPECT_EQ(image.attributes.transparentIndex, 5);
  EXPECT_EQ(image.GetPaletteColor(0u).red, 0);
  EXPECT_EQ(image.GetPixelIndex(0, 0), 5);
  EXPECT_EQ(PictureOf(image), before);

  CCodecImage decoded;
  ASSERT_TRUE(Decode(EncodeAs(image, CodecFormat::Png), decoded)) << decoded.GetLastError();
  EXPECT_EQ(decoded.attributes.transparentIndex, 0);
  EXPECT_EQ(PictureOf(decoded), before);
  EXPECT_EQ(decoded.GetPixelIndex(0, 0), 0);
}

TEST(CodecPngEncode, TransparentColourBecomesAlpha) {
  CCodecImage image;
  ASSERT_NE(image.Create(3, 1, 24, CodecFormat::Png), nullptr);
  image.SetPixelColor(0, 0, Bgr(1, 2, 3));
  image.SetPixelColor(1, 0, Bgr(4, 5, 6));
  image.SetPixelColor(2, 0, Bgr(1, 2, 3));
  image.attributes.transparentIndex = 0;
  image.attributes.transparentColor = Bgr(4, 5, 6);

  const StoredPng stored = ReadStored(EncodeAs(image, CodecFormat::Png));
  EXPECT_EQ(stored.colorType, PNG_COLOR_TYPE_RGB_ALPHA);
  EXPECT_EQ(stored.rows, (Bytes{3, 2, 1, 255, 6, 5, 4, 0, 3, 2, 1, 255}));
  EXPECT_EQ(image.GetAlphaPlane(), nullptr);
}

TEST(CodecPngEncode, RoundTrips) {
  struct Case {
    const char* name;
    std::int32_t bitCount;
    bool alpha;
  };
  const Case cases[] = {
      {"palette 1-bit", 1, false}, {"palette 4-bit", 4, false}, {"palette 8-bit", 8, false},
      {"RGB", 24, false},          {"RGBA", 24, true},          {"palette with alpha plane", 8, true},
  };
  std::uint32_t seed = 40;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CCodecImage image;
    ASSERT_NE(image.Create(7, 5, c.bitCount, CodecFormat::Bmp), nullptr);
    const Bytes palette = Noise(image.GetPaletteSize(), ++seed);
    for (std::uint32_t i = 0; i < image.GetColorCount(); ++i) {
      image.SetPaletteColor(static_cast<std::uint8_t>(i), palette[4 * i], palette[4 * i + 1],
                            palette[4 * i + 2]);
    }
    const Bytes pixels = Noise(image.GetHeader().biSizeImage, ++seed);
    std::copy(pixels.begin(), pixels.end(), image.GetBits());
    if (c.alpha) {
      ASSERT_NE(image.AlphaCreate(), nullptr);
      const Bytes alpha = Noise(7 * 5, ++seed);
      std::copy(alpha.begin(), alpha.end(), image.GetAlphaPlane());
    }

    CCodecImage decoded;
    ASSERT_TRUE(Decode(EncodeAs(image, CodecFormat::Png), decoded)) << decoded.GetLastError();
    EXPECT_EQ(decoded.GetBitCount(), c.alpha ? 24u : image.GetBitCount());
    EXPECT_EQ(PictureOf(decoded), PictureOf(image));
  }
}

TEST(CodecPngEncode, FailedWritesReportTheText) {
  CCodecImage image;
  ASSERT_NE(image.Create(16, 16, 24, CodecFormat::Png), nullptr);
  const Bytes pixels = Noise(image.GetHeader().biSizeImage, 77);
  std::copy(pixels.begin(), pixels.end(), image.GetBits());
  for (std::uint64_t limit : {0, 8, 40, 300}) {
    SCOPED_TRACE(limit);
    LimitedStream stream(limit);
    EXPECT_FALSE(image.Encode(stream, CodecFormat::Png));
    EXPECT_STREQ(image.GetLastError(), "Error saving PNG file");
  }
  LimitedStream roomy(1 << 20);
  EXPECT_TRUE(image.Encode(roomy, CodecFormat::Png));
}

}  // namespace
