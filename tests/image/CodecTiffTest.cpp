#include <gtest/gtest.h>
#include <tiffio.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecMemStream.h"
#include "image/codecs/TiffStream.h"
#include "tests/common/TestData.h"
#include "tests/image/CodecTestSupport.h"
#include "tests/image/LimitedStream.h"

namespace {

// ---- Fixtures written with libtiff ---------------------------------------------------------

struct TiffPage {
  std::uint32_t width = 1;
  std::uint32_t height = 1;
  std::uint16_t samples = 1;
  std::uint16_t bits = 8;
  std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  std::uint16_t orientation = 0;   // 0: no tag
  std::uint32_t rowsPerStrip = 0;  // 0: the whole image in one strip
  std::uint16_t compression = COMPRESSION_NONE;
  std::vector<std::uint16_t> colorMap;  // red, green, blue tables one after the other
  std::vector<std::uint16_t> extraSamples;
  std::optional<float> xResolution;
  std::optional<float> yResolution;
  Bytes rows;  // top row first; samples wider than 8 bits in the machine's byte order
};

std::size_t RowBytes(const TiffPage& page) {
  return (std::size_t{page.width} * page.samples * page.bits + 7) / 8;
}

// mode "w" writes little-endian, "wb" big-endian.
Bytes WriteTiff(const std::vector<TiffPage>& pages, const char* mode = "w") {
  CCodecMemStream stream;
  {
    const TiffHandle tif = TiffStreamOpen(stream, mode);
    EXPECT_TRUE(tif);
    if (!tif) return {};
    TIFF* t = tif.get();
    for (const TiffPage& page : pages) {
      TIFFSetField(t, TIFFTAG_IMAGEWIDTH, page.width);
      TIFFSetField(t, TIFFTAG_IMAGELENGTH, page.height);
      TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, page.samples);
      TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, page.bits);
      TIFFSetField(t, TIFFTAG_PHOTOMETRIC, page.photometric);
      TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
      TIFFSetField(t, TIFFTAG_COMPRESSION, page.compression);
      TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, page.rowsPerStrip ? page.rowsPerStrip : page.height);
      if (page.photometric == PHOTOMETRIC_SEPARATED) TIFFSetField(t, TIFFTAG_INKSET, INKSET_CMYK);
      if (page.orientation) TIFFSetField(t, TIFFTAG_ORIENTATION, page.orientation);
      if (page.xResolution) TIFFSetField(t, TIFFTAG_XRESOLUTION, double{*page.xResolution});
      if (page.yResolution) TIFFSetField(t, TIFFTAG_YRESOLUTION, double{*page.yResolution});
      if (!page.colorMap.empty()) {
        const std::size_t n = page.colorMap.size() / 3;
        TIFFSetField(t, TIFFTAG_COLORMAP, page.colorMap.data(), page.colorMap.data() + n,
                     page.colorMap.data() + 2 * n);
      }
      if (!page.extraSamples.empty()) {
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(page.extraSamples.size()),
                     page.extraSamples.data());
      }
      Bytes row(RowBytes(page));
      for (std::uint32_t j = 0; j < page.height; ++j) {
        std::copy_n(page.rows.begin() + static_cast<std::ptrdiff_t>(j * row.size()), row.size(), row.begin());
        EXPECT_EQ(TIFFWriteScanline(t, row.data(), j, 0), 1);
      }
      EXPECT_TRUE(TIFFWriteDirectory(t));
    }
  }
  const auto bytes = stream.Bytes();
  return {bytes.begin(), bytes.end()};
}

// ---- Helpers --------------------------------------------------------------------------------

bool Decode(const Bytes& bytes, CCodecImage& image, std::int32_t page = 0) {
  image.attributes.frameIndex = page;
  return DecodeAs(bytes, image, CodecFormat::Tiff);
}

// Palette indexes, top row first.
std::vector<int> IndexesOf(const CCodecImage& image) {
  std::vector<int> indexes;
  const auto height = static_cast<std::int32_t>(image.GetHeight());
  for (std::int32_t top = 0; top < height; ++top) {
    for (std::int32_t x = 0; x < static_cast<std::int32_t>(image.GetWidth()); ++x) {
      indexes.push_back(image.GetPixelIndex(x, height - 1 - top));
    }
  }
  return indexes;
}

TiffPage GreyPage(std::uint32_t width, std::uint32_t height, Bytes rows) {
  TiffPage page;
  page.width = width;
  page.height = height;
  page.rows = std::move(rows);
  return page;
}

// ---- Decoding ------------------------------------------------------------------------------

TEST(CodecTiffDecode, PagesAreCountedAndChosenByIndex) {
  const Bytes file =
      WriteTiff({GreyPage(2, 1, {1, 2}), GreyPage(3, 1, {1, 2, 3}), GreyPage(4, 2, Bytes(8, 9))});
  for (std::int32_t page = 0; page < 3; ++page) {
    CCodecImage image;
    ASSERT_TRUE(Decode(file, image, page)) << image.GetLastError();
    EXPECT_EQ(image.attributes.frameCount, 3);
    EXPECT_EQ(image.GetWidth(), static_cast<std::uint32_t>(page + 2));
    EXPECT_EQ(image.attributes.format, CodecFormat::Tiff);
  }
  for (std::int32_t page : {3, -1}) {
    CCodecImage image(5, 5);
    EXPECT_FALSE(Decode(file, image, page));
    EXPECT_STREQ(image.GetLastError(), "Error: page not present in TIFF file");
    EXPECT_EQ(image.attributes.frameCount, 3);
    EXPECT_EQ(image.GetWidth(), 5u);
  }
}

TEST(CodecTiffDecode, GreyPalettes) {
  struct Case {
    const char* name;
    std::uint16_t photometric;
    std::uint16_t bits;
    Bytes rows;
    std::uint32_t bitCount;
    std::array<int, 3> entries;  // grey levels of entries 0, 1 and the last
    std::vector<int> indexes;
  };
  const Case cases[] = {
      {"min-is-white 8-bit", PHOTOMETRIC_MINISWHITE, 8, {0, 7, 255}, 8, {255, 254, 0}, {0, 7, 255}},
      {"min-is-black 8-bit", PHOTOMETRIC_MINISBLACK, 8, {0, 7, 255}, 8, {0, 1, 255}, {0, 7, 255}},
      {"min-is-white 1-bit", PHOTOMETRIC_MINISWHITE, 1, {0b10100000}, 1, {255, 0, 0}, {1, 0, 1}},
      {"min-is-black 1-bit", PHOTOMETRIC_MINISBLACK, 1, {0b01100000}, 1, {0, 255, 255}, {0, 1, 1}},
      {"min-is-black 4-bit", PHOTOMETRIC_MINISBLACK, 4, {0x0F, 0x30}, 4, {0, 17, 255}, {0, 15, 3}},
      // 2-bit grey is widened to 8-bit levels.
      {"min-is-black 2-bit", PHOTOMETRIC_MINISBLACK, 2, {0b00011100}, 8, {0, 1, 255}, {0, 85, 255}},
      {"min-is-white 2-bit", PHOTOMETRIC_MINISWHITE, 2, {0b00011100}, 8, {255, 254, 0}, {0, 85, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TiffPage page = GreyPage(3, 1, c.rows);
    page.photometric = c.photometric;
    page.bits = c.bits;
    CCodecImage image;
    ASSERT_TRUE(Decode(WriteTiff({page}), image)) << image.GetLastError();
    EXPECT_EQ(image.GetBitCount(), c.bitCount);
    const std::uint32_t last = image.GetColorCount() - 1;
    EXPECT_EQ(image.GetPaletteColor(0u), Bgr(c.entries[0], c.entries[0], c.entries[0]));
    EXPECT_EQ(image.GetPaletteColor(1u), Bgr(c.entries[1], c.entries[1], c.entries[1]));
    EXPECT_EQ(image.GetPaletteColor(last), Bgr(c.entries[2], c.entries[2], c.entries[2]));
    EXPECT_EQ(IndexesOf(image), c.indexes);
    EXPECT_EQ(image.attributes.transparentIndex, -1);
  }
}

TEST(CodecTiffDecode, SixteenBitGreyTakesTheHighBytes) {
  for (const char* mode : {"w", "wb"}) {
    SCOPED_TRACE(mode);
    TiffPage page = GreyPage(3, 2, {});
    page.bits = 16;
    const std::uint16_t samples[] = {0x1234, 0xABCD, 0x00FF, 0xFF00, 0x8000, 0x7FFF};
    page.rows.resize(sizeof samples);
    std::memcpy(page.rows.data(), samples, sizeof samples);
    CCodecImage image;
    ASSERT_TRUE(Decode(WriteTiff({page}, mode), image)) << image.GetLastError();
    EXPECT_EQ(image.GetBitCount(), 8u);
    EXPECT_TRUE(image.IsGrayScale());
    EXPECT_EQ(IndexesOf(image), (std::vector<int>{0x12, 0xAB, 0x00, 0xFF, 0x80, 0x7F}));
  }
}

// Every Orientation value shows the same upright picture. For each value the
// stored pixels are laid out as the tag describes: row 0 at the visual top,
// right, bottom or left.
TEST(CodecTiffDecode, OrientationTurnsIndexedFilesUpright) {
  constexpr std::uint32_t kWidth = 3;  // of the upright picture
  constexpr std::uint32_t kHeight = 2;
  const auto visual = [](std::uint32_t x, std::uint32_t y) {
    return static_cast<std::uint8_t>(10 * y + x + 1);
  };
  for (std::uint16_t orientation = 1; orientation <= 8; ++orientation) {
    SCOPED_TRACE(orientation);
    const bool transposed = orientation >= 5;
    TiffPage page = GreyPage(transposed ? kHeight : kWidth, transposed ? kWidth : kHeight, {});
    page.orientation = orientation;
    for (std::uint32_t row = 0; row < page.height; ++row) {
      for (std::uint32_t col = 0; col < page.width; ++col) {
        std::uint32_t x = col;
        std::uint32_t y = row;
        switch (orientation) {
          case 2:
            x = kWidth - 1 - col;
            break;
          case 3:
            x = kWidth - 1 - col;
            y = kHeight - 1 - row;
            break;
          case 4:
            y = kHeight - 1 - row;
            break;
          case 5:
            x = row;
            y = col;
            break;
          case 6:
            x = kWidth - 1 - row;
            y = col;
            break;
          case 7:
            x = kWidth - 1 - row;
            y = kHeight - 1 - col;
            break;
          case 8:
            x = row;
            y = kHeight - 1 - col;
            break;
          default:
            break;
        }
        page.rows.push_back(visual(x, y));
      }
    }
    CCodecImage image;
    ASSERT_TRUE(Decode(WriteTiff({page}), image)) << image.GetLastError();
    EXPECT_EQ(IndexesOf(image), (std::vector<int>{1, 2, 3, 11, 12, 13}));
  }
}

TEST(CodecTiffDecode, PaletteColourMaps) {
  struct Case {
    const char* name;
    std::uint16_t scale;  // the colour-map value of level 1
  };
  const Case cases[] = {{"8-bit values kept", 1}, {"16-bit values scaled", 257}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TiffPage page = GreyPage(2, 1, {0x1F});  // indexes 1 and 15
    page.photometric = PHOTOMETRIC_PALETTE;
    page.bits = 4;
    page.colorMap.assign(48, 0);
    for (std::uint16_t i = 0; i < 16; ++i) {
      page.colorMap[i] = static_cast<std::uint16_t>(c.scale * i * 10);          // red
      page.colorMap[16 + i] = static_cast<std::uint16_t>(c.scale * (255 - i));  // green
      page.colorMap[32 + i] = static_cast<std::uint16_t>(c.scale * 7);          // blue
    }
    CCodecImage image;
    ASSERT_TRUE(Decode(WriteTiff({page}), image)) << image.GetLastError();
    EXPECT_EQ(image.GetBitCount(), 4u);
    EXPECT_EQ(image.GetPixelColor(0, 0), Bgr(7, 254, 10));
    EXPECT_EQ(image.GetPixelColor(1, 0), Bgr(7, 240, 150));
  }
}

TEST(CodecTiffDecode, FullColourFiles) {
  struct Case {
    const char* name;
    std::uint16_t photometric;
    std::uint16_t samples;
    std::vector<std::uint16_t> extraSamples;
    Bytes rows;
    Picture expected;
  };
  const Case cases[] = {
      {"RGB", PHOTOMETRIC_RGB, 3, {}, {10, 20, 30, 40, 50, 60}, {{30, 20, 10, 255}, {60, 50, 40, 255}}},
      {"RGBA, associated alpha",
       PHOTOMETRIC_RGB,
       4,
       {EXTRASAMPLE_ASSOCALPHA},
       {10, 20, 30, 40, 50, 60, 70, 255},
       {{30, 20, 10, 40}, {70, 60, 50, 255}}},
      // The colour of a half-transparent pixel is what the file holds.
      {"RGBA, unassociated alpha",
       PHOTOMETRIC_RGB,
       4,
       {EXTRASAMPLE_UNASSALPHA},
       {200, 100, 50, 51, 50, 60, 70, 255},
       {{50, 100, 200, 51}, {70, 60, 50, 255}}},
      {"CMYK",
       PHOTOMETRIC_SEPARATED,
       4,
       {},
       {0, 0, 0, 0, 255, 0, 0, 0},
       {{255, 255, 255, 255}, {255, 255, 0, 255}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TiffPage page = GreyPage(2, 1, c.rows);
    page.photometric = c.photometric;
    page.samples = c.samples;
    page.extraSamples = c.extraSamples;
    CCodecImage image;
    ASSERT_TRUE(Decode(WriteTiff({page}), image)) << image.GetLastError();
    EXPECT_EQ(image.GetBitCount(), 24u);
    EXPECT_EQ(image.GetAlphaPlane() != nullptr, c.samples == 4);
    EXPECT_EQ(PictureOf(image), c.expected);
  }
}

TEST(CodecTiffDecode, Resolution) {
  TiffPage page = GreyPage(1, 1, {0});
  CCodecImage image;
  ASSERT_TRUE(Decode(WriteTiff({page}), image));
  EXPECT_EQ(image.attributes.dpiX, 72);
  EXPECT_EQ(image.attributes.dpiY, 72);
  page.xResolution = 300.7f;
  page.yResolution = 150.0f;
  ASSERT_TRUE(Decode(WriteTiff({page}), image));
  EXPECT_EQ(image.attributes.dpiX, 300);
  EXPECT_EQ(image.attributes.dpiY, 150);
  EXPECT_EQ(image.GetHeader().biXPelsPerMeter, 11811);
}

TEST(CodecTiffDecode, RealFiles) {
  const auto xImage = TestDataPath("usr/share/gocode/src/golang.org/x/image/testdata");
  const auto skimage = TestDataPath("usr/lib/python3/dist-packages/skimage/data");
  if (xImage.empty() || skimage.empty()) return;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(xImage)) {
    if (entry.path().extension() == ".tiff") files.push_back(entry.path());
  }
  EXPECT_GE(files.size(), 16u);
  for (const auto& file : files) {
    CCodecImage image;
    EXPECT_TRUE(image.Load(file, CodecFormat::Tiff)) << file << ": " << image.GetLastError();
  }

  // The same picture in every compression and layout.
  const auto load = [](const std::filesystem::path& path, std::int32_t page = 0) {
    auto image = std::make_unique<CCodecImage>();
    image->attributes.frameIndex = page;
    EXPECT_TRUE(image->Load(path, CodecFormat::Tiff)) << path << ": " << image->GetLastError();
    return image;
  };
  const auto bw = load(xImage / "bw-uncompressed.tiff");
  EXPECT_EQ(bw->GetBitCount(), 1u);
  EXPECT_EQ(bw->GetPaletteColor(0u), Bgr(255, 255, 255));
  for (const char* name :
       {"bw-deflate.tiff", "bw-gopher_ccittGroup3.tiff", "bw-gopher_ccittGroup4.tiff", "bw-packbits.tiff"}) {
    EXPECT_EQ(PictureOf(*load(xImage / name)), PictureOf(*bw)) << name;
  }
  const auto video = load(xImage / "video-001-uncompressed.tiff");
  for (const char* name : {"video-001.tiff", "video-001-strip-64.tiff", "video-001-tile-64x64.tiff"}) {
    EXPECT_EQ(PictureOf(*load(xImage / name)), PictureOf(*video)) << name;
  }

  const auto chessLittle = load(skimage / "chessboard_GRAY_U16.tif");
  const auto chessBig = load(skimage / "chessboard_GRAY_U16B.tif");
  EXPECT_EQ(chessLittle->GetBitCount(), 8u);
  EXPECT_EQ(IndexesOf(*chessLittle), IndexesOf(*chessBig));

  const auto second = load(skimage / "multipage.tif", 1);
  EXPECT_EQ(second->attributes.frameCount, 2);
  EXPECT_EQ(second->GetWidth(), 10u);
}

TEST(CodecTiffDecode, DamagedFilesFailCleanly) {
  TiffPage page = GreyPage(16, 16, Noise(256 * 3, 4));
  page.photometric = PHOTOMETRIC_RGB;
  page.samples = 3;
  page.rowsPerStrip = 4;
  page.compression = COMPRESSION_LZW;
  const Bytes good = WriteTiff({page});
  ASSERT_GT(good.size(), 300u);

  std::vector<Bytes> failing;
  for (std::size_t size :
       {std::size_t{0}, std::size_t{4}, std::size_t{8}, good.size() / 2, good.size() - 1}) {
    failing.emplace_back(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
  }
  Bytes badMagic = good;
  badMagic[2] ^= 0x40;
  failing.push_back(badMagic);
  failing.push_back(Noise(400, 8));
  for (std::size_t i = 0; i < failing.size(); ++i) {
    CCodecImage image(4, 4);
    EXPECT_FALSE(Decode(failing[i], image)) << i;
    EXPECT_NE(image.GetLastError()[0], '\0') << i;
    EXPECT_EQ(image.GetWidth(), 4u) << i;
  }

  // A flip anywhere either fails or gives a whole image; never a crash.
  for (std::size_t at = 0; at < good.size(); at += 3) {
    Bytes flipped = good;
    flipped[at] ^= static_cast<std::uint8_t>(1u << (at % 8));
    CCodecImage image;
    if (Decode(flipped, image)) {
      EXPECT_FALSE(image.IsEmpty()) << at;
    }
  }

  const auto pixbuf = TestDataPath("usr/libexec/installed-tests/gdk-pixbuf/test-images");
  for (const char* name : {"fail/bug780269.tif", "fail/bug784903-overflow-dimensions.tiff"}) {
    CCodecImage image;
    EXPECT_FALSE(image.Load(pixbuf / name, CodecFormat::Tiff)) << name;
  }
  CCodecImage valid;
  EXPECT_TRUE(valid.Load(pixbuf / "randomly-modified/valid.1.tiff", CodecFormat::Tiff))
      << valid.GetLastError();
}

// ---- Encoding ------------------------------------------------------------------------------

struct WrittenTags {
  bool bigEndian = false;
  int directories = 0;
  std::uint16_t compression = 0;
  std::uint16_t photometric = 0;
  std::uint16_t samples = 0;
  std::uint32_t rowsPerStrip = 0;
};

WrittenTags TagsOf(const Bytes& file) {
  WrittenTags tags;
  tags.bigEndian = file.size() > 2 && file[0] == 'M' && file[1] == 'M';
  CCodecMemStream stream(file);
  const TiffHandle tif = TiffStreamOpen(stream, "r");
  EXPECT_TRUE(tif);
  if (!tif) return tags;
  tags.directories = TIFFNumberOfDirectories(tif.get());
  TIFFGetField(tif.get(), TIFFTAG_COMPRESSION, &tags.compression);
  TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &tags.photometric);
  TIFFGetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &tags.samples);
  TIFFGetField(tif.get(), TIFFTAG_ROWSPERSTRIP, &tags.rowsPerStrip);
  return tags;
}

enum class PaletteKind { Noise, GreyRamp };

void FillImage(CCodecImage& image, std::int64_t width, std::int64_t height, std::int32_t bitCount,
               PaletteKind palette, bool alpha, std::uint32_t seed) {
  ASSERT_NE(image.Create(width, height, bitCount, CodecFormat::Bmp), nullptr);
  if (palette == PaletteKind::GreyRamp) {
    image.SetGrayPalette();
  } else {
    const Bytes colours = Noise(image.GetPaletteSize(), seed);
    for (std::uint32_t i = 0; i < image.GetColorCount(); ++i) {
      image.SetPaletteColor(static_cast<std::uint8_t>(i), colours[4 * i], colours[4 * i + 1],
                            colours[4 * i + 2]);
    }
  }
  const Bytes pixels = Noise(image.GetHeader().biSizeImage, seed + 1);
  std::copy(pixels.begin(), pixels.end(), image.GetBits());
  if (alpha) {
    ASSERT_NE(image.AlphaCreate(), nullptr);
    const Bytes values = Noise(static_cast<std::size_t>(width * height), seed + 2);
    std::copy(values.begin(), values.end(), image.GetAlphaPlane());
  }
}

TEST(CodecTiffEncode, WrittenFilesReadBackEqual) {
  struct Case {
    const char* name;
    std::int32_t bitCount;
    PaletteKind palette;
    bool alpha;
    std::uint16_t compression;
    std::uint16_t photometric;
    std::uint16_t samples;
  };
  const Case cases[] = {
      {"1-bit", 1, PaletteKind::Noise, false, COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 1},
      {"4-bit grey", 4, PaletteKind::GreyRamp, false, COMPRESSION_LZW, PHOTOMETRIC_MINISBLACK, 1},
      {"4-bit palette", 4, PaletteKind::Noise, false, COMPRESSION_LZW, PHOTOMETRIC_PALETTE, 1},
      {"8-bit grey", 8, PaletteKind::GreyRamp, false, COMPRESSION_PACKBITS, PHOTOMETRIC_MINISBLACK, 1},
      {"8-bit palette", 8, PaletteKind::Noise, false, COMPRESSION_PACKBITS, PHOTOMETRIC_PALETTE, 1},
      {"8-bit palette with alpha", 8, PaletteKind::Noise, true, COMPRESSION_PACKBITS, PHOTOMETRIC_PALETTE, 2},
      {"24-bit", 24, PaletteKind::Noise, false, COMPRESSION_LZW, PHOTOMETRIC_RGB, 3},
      {"24-bit with alpha", 24, PaletteKind::Noise, true, COMPRESSION_LZW, PHOTOMETRIC_RGB, 4},
  };
  std::uint32_t seed = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CCodecImage image;
    FillImage(image, 9, 19, c.bitCount, c.palette, c.alpha, seed += 3);
    image.SetXDPI(200);
    const Bytes file = EncodeAs(image, CodecFormat::Tiff);
    const WrittenTags tags = TagsOf(file);
    EXPECT_TRUE(tags.bigEndian);
    EXPECT_EQ(tags.directories, 1);
    EXPECT_EQ(tags.compression, c.compression);
    EXPECT_EQ(tags.photometric, c.photometric);
    EXPECT_EQ(tags.samples, c.samples);
    if (c.bitCount == 24) {
      EXPECT_EQ(tags.rowsPerStrip, 8u);
    }

    CCodecImage decoded;
    ASSERT_TRUE(Decode(file, decoded)) << decoded.GetLastError();
    EXPECT_EQ(decoded.GetBitCount(), image.GetBitCount());
    EXPECT_EQ(decoded.attributes.dpiX, 200);
    EXPECT_EQ(decoded.attributes.dpiY, 72);
    if (c.bitCount == 1) {
      // Two colours are written as white and black, by their brightness.
      EXPECT_EQ(decoded.GetPaletteColor(0u), Bgr(255, 255, 255));
      continue;
    }
    EXPECT_EQ(PictureOf(decoded), PictureOf(image));
  }
}

TEST(CodecTiffEncode, OneBitImageWithBlackAtZero) {
  CCodecImage image;
  ASSERT_NE(image.Create(10, 3, 1, CodecFormat::Bmp), nullptr);
  image.SetPaletteColor(0, 0, 0, 0);
  image.SetPaletteColor(1, 255, 255, 255);
  const Bytes pixels = Noise(image.GetHeader().biSizeImage, 21);
  std::copy(pixels.begin(), pixels.end(), image.GetBits());
  const Picture before = PictureOf(image);

  CCodecImage decoded;
  ASSERT_TRUE(Decode(EncodeAs(image, CodecFormat::Tiff), decoded)) << decoded.GetLastError();
  EXPECT_EQ(PictureOf(decoded), before);
  EXPECT_EQ(decoded.GetPaletteColor(0u), Bgr(255, 255, 255));
  // The caller's image is as it was.
  EXPECT_EQ(image.GetPaletteColor(0u), Bgr(0, 0, 0));
  EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), image.GetBits()));
}

TEST(CodecTiffEncode, TiffinfoReadsTheWrittenFile) {
  CCodecImage image;
  FillImage(image, 12, 20, 24, PaletteKind::Noise, false, 7);
  const auto path = ScratchDir() / "written.tif";
  ASSERT_TRUE(image.Save(path, CodecFormat::Tiff)) << image.GetLastError();

  const std::string command = "tiffinfo '" + path.string() + "' 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  ASSERT_TRUE(pipe) << "tiffinfo (Debian libtiff-tools) is needed";
  std::string report;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe.get())) report += buffer;
  EXPECT_NE(report.find("Image Width: 12 Image Length: 20"), std::string::npos) << report;
  EXPECT_NE(report.find("Compression Scheme: LZW"), std::string::npos) << report;
  EXPECT_NE(report.find("Rows/Strip: 8"), std::string::npos) << report;
  EXPECT_NE(report.find("Photometric Interpretation: RGB color"), std::string::npos) << report;
  EXPECT_EQ(report.find("rror"), std::string::npos) << report;
}

TEST(CodecTiffEncode, FailedWritesFail) {
  CCodecImage image;
  FillImage(image, 40, 40, 24, PaletteKind::Noise, false, 11);
  const std::size_t full = EncodeAs(image, CodecFormat::Tiff).size();
  for (const std::uint64_t limit : {std::uint64_t{0}, std::uint64_t{8}, std::uint64_t{100},
                                    std::uint64_t{full / 2}, std::uint64_t{full - 1}}) {
    SCOPED_TRACE(limit);
    LimitedStream stream(limit);
    EXPECT_FALSE(image.Encode(stream, CodecFormat::Tiff));
    EXPECT_STREQ(image.GetLastError(), limit == 0 ? "initialization fail" : "Error writing TIFF file");
  }
  LimitedStream roomy(full);
  EXPECT_TRUE(image.Encode(roomy, CodecFormat::Tiff)) << image.GetLastError();
}

}  // namespace
