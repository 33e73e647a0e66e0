// Tiled and planar-separate TIFF files decode to the same pixels as the same
// picture stored in strips, whether read from memory or from a file.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecMemStream.h"
#include "image/codecs/TiffStream.h"
#include "tests/common/TestData.h"
#include "tests/image/CodecTestSupport.h"

namespace {

// A picture as libtiff stores it: pixels with their samples together, rows
// top first, samples wider than 8 bits in the machine's byte order.
struct Raster {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t samples = 1;
  std::uint16_t bits = 8;
  std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  std::vector<std::uint16_t> colorMap;  // red, green, blue tables one after the other
  std::vector<std::uint16_t> extraSamples;
  Bytes rows;

  std::size_t RowBytes() const { return (std::size_t{width} * samples * bits + 7) / 8; }
  // For samples of 8 bits or more.
  std::size_t SampleBytes() const { return bits / 8u; }
  std::size_t PixelBytes() const { return samples * SampleBytes(); }
  const std::uint8_t* Sample(std::uint32_t x, std::uint32_t y, std::uint16_t s) const {
    return rows.data() + (std::size_t{y} * width + x) * PixelBytes() + s * SampleBytes();
  }
};

struct Layout {
  const char* name;
  std::uint32_t tileSide;  // 0: strips of 8 rows
  bool separate;           // one plane per sample
  std::uint16_t compression;
};

// Copies samples first .. first + count - 1 of the pixels of the rectangle
// (x0, y0, w, h) into out, w pixels per row; pixels outside the picture stay
// zero, as in a tile that reaches past the edge. Samples below 8 bits go as
// whole pixels, from a pixel that starts on a byte.
void CopyBlock(const Raster& r, std::uint32_t x0, std::uint32_t y0, std::uint32_t w, std::uint32_t h,
               std::uint16_t first, std::uint16_t count, std::uint8_t* out) {
  const std::size_t outRowBytes = (std::size_t{w} * count * r.bits + 7) / 8;
  if (r.bits < 8) {
    const std::size_t from = std::size_t{x0} * r.samples * r.bits / 8;
    for (std::uint32_t y = 0; y < h && y0 + y < r.height; ++y) {
      std::memcpy(out + y * outRowBytes, r.rows.data() + (y0 + y) * r.RowBytes() + from,
                  std::min(outRowBytes, r.RowBytes() - from));
    }
    return;
  }
  const std::size_t sampleBytes = r.SampleBytes();
  for (std::uint32_t y = 0; y < h && y0 + y < r.height; ++y) {
    for (std::uint32_t x = 0; x < w && x0 + x < r.width; ++x) {
      std::uint8_t* const to = out + y * outRowBytes + std::size_t{x} * count * sampleBytes;
      std::memcpy(to, r.Sample(x0 + x, y0 + y, first), count * sampleBytes);
    }
  }
}

Bytes WriteRaster(const Raster& r, const Layout& layout) {
  CCodecMemStream stream;
  {
    const TiffHandle tif = TiffStreamOpen(stream, "w");
    EXPECT_TRUE(tif);
    if (!tif) return {};
    TIFF* const t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, r.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, r.height);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, r.samples);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, r.bits);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, r.photometric);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, layout.separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, layout.compression);
    if (!r.colorMap.empty()) {
      const std::size_t n = r.colorMap.size() / 3;
      TIFFSetField(t, TIFFTAG_COLORMAP, r.colorMap.data(), r.colorMap.data() + n, r.colorMap.data() + 2 * n);
    }
    if (!r.extraSamples.empty()) {
      TIFFSetField(t, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(r.extraSamples.size()),
                   r.extraSamples.data());
    }
    const std::uint16_t planes = layout.separate ? r.samples : 1;
    const std::uint16_t perPlane = layout.separate ? 1 : r.samples;
    if (layout.tileSide > 0) {
      const std::uint32_t side = layout.tileSide;
      TIFFSetField(t, TIFFTAG_TILEWIDTH, side);
      TIFFSetField(t, TIFFTAG_TILELENGTH, side);
      Bytes tile(static_cast<std::size_t>(TIFFTileSize(t)));
      for (std::uint16_t plane = 0; plane < planes; ++plane) {
        for (std::uint32_t y = 0; y < r.height; y += side) {
          for (std::uint32_t x = 0; x < r.width; x += side) {
            std::fill(tile.begin(), tile.end(), 0);
            CopyBlock(r, x, y, side, side, plane, perPlane, tile.data());
            EXPECT_GE(TIFFWriteEncodedTile(t, TIFFComputeTile(t, x, y, 0, plane), tile.data(),
                                           static_cast<tmsize_t>(tile.size())),
                      0);
          }
        }
      }
    } else {
      TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 8u);
      Bytes row((std::size_t{r.width} * perPlane * r.bits + 7) / 8);
      for (std::uint16_t plane = 0; plane < planes; ++plane) {
        for (std::uint32_t y = 0; y < r.height; ++y) {
          CopyBlock(r, 0, y, r.width, 1, plane, perPlane, row.data());
          EXPECT_EQ(TIFFWriteScanline(t, row.data(), y, plane), 1);
        }
      }
    }
    EXPECT_TRUE(TIFFWriteDirectory(t));
  }
  const auto bytes = stream.Bytes();
  return {bytes.begin(), bytes.end()};
}

// The first page of a strip file with the samples of a pixel together.
Raster ReadRaster(const std::filesystem::path& path) {
  Raster r;
  TIFF* const t = TIFFOpen(path.c_str(), "r");
  EXPECT_NE(t, nullptr) << path;
  if (!t) return r;
  std::uint16_t planar = PLANARCONFIG_CONTIG;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &r.width);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &r.height);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &r.samples);
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &r.bits);
  TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &r.photometric);
  TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
  EXPECT_FALSE(TIFFIsTiled(t));
  EXPECT_EQ(planar, PLANARCONFIG_CONTIG);
  const std::uint16_t* red = nullptr;
  const std::uint16_t* green = nullptr;
  const std::uint16_t* blue = nullptr;
  if (r.photometric == PHOTOMETRIC_PALETTE && TIFFGetField(t, TIFFTAG_COLORMAP, &red, &green, &blue)) {
    const std::size_t n = std::size_t{1} << r.bits;
    for (const std::uint16_t* table : {red, green, blue})
      r.colorMap.insert(r.colorMap.end(), table, table + n);
  }
  std::uint16_t extraCount = 0;
  const std::uint16_t* extraKinds = nullptr;
  if (TIFFGetField(t, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds))
    r.extraSamples.assign(extraKinds, extraKinds + extraCount);
  const std::size_t rowBytes = r.RowBytes();
  r.rows.resize(rowBytes * r.height);
  for (std::uint32_t y = 0; y < r.height; ++y)
    EXPECT_EQ(TIFFReadScanline(t, r.rows.data() + y * rowBytes, y, 0), 1) << path << " row " << y;
  TIFFClose(t);
  return r;
}

Raster NoiseRaster(std::uint16_t samples, std::uint16_t photometric, std::vector<std::uint16_t> extra,
                   std::uint32_t seed, std::uint16_t bits = 8) {
  Raster r;
  r.width = 37;  // tiles of 16 reach past the right and bottom edges
  r.height = 29;
  r.samples = samples;
  r.bits = bits;
  r.photometric = photometric;
  r.extraSamples = std::move(extra);
  r.rows = Noise(r.RowBytes() * r.height, seed);
  return r;
}

// Sides of 16 give uncompressed tiles of 256 and 768 bytes for 8-bit grey
// and RGB, which are not whole kilobytes.
const Layout kLayouts[] = {
    {"tiles 16, uncompressed", 16, false, COMPRESSION_NONE},
    {"tiles 16, LZW", 16, false, COMPRESSION_LZW},
    {"tiles 64, deflate", 64, false, COMPRESSION_ADOBE_DEFLATE},
    {"separate strips, uncompressed", 0, true, COMPRESSION_NONE},
    {"separate strips, LZW", 0, true, COMPRESSION_LZW},
    {"separate tiles 16, uncompressed", 16, true, COMPRESSION_NONE},
};

struct Source {
  std::string name;
  Raster raster;
  bool withAlpha;
  std::filesystem::path original;  // the real file the raster was read from
};

std::vector<Source> Sources() {
  std::vector<Source> sources;
  const auto xImage = TestDataPath("usr/share/gocode/src/golang.org/x/image/testdata");
  if (!xImage.empty()) {
    for (const char* name :
         {"video-001-uncompressed.tiff", "video-001-gray.tiff", "video-001-paletted.tiff",
          "video-001-gray-16bit.tiff", "video-001-16bit.tiff", "no_compress.tiff", "bw-uncompressed.tiff"}) {
      sources.push_back(
          {name, ReadRaster(xImage / name), std::string(name) == "no_compress.tiff", xImage / name});
    }
  }
  sources.push_back({"grey, 4-bit", NoiseRaster(1, PHOTOMETRIC_MINISBLACK, {}, 2, 4), false, {}});
  sources.push_back({"grey + associated alpha",
                     NoiseRaster(2, PHOTOMETRIC_MINISBLACK, {EXTRASAMPLE_ASSOCALPHA}, 3),
                     true,
                     {}});
  sources.push_back({"grey + unassociated alpha",
                     NoiseRaster(2, PHOTOMETRIC_MINISBLACK, {EXTRASAMPLE_UNASSALPHA}, 4),
                     true,
                     {}});
  sources.push_back(
      {"RGBA, unassociated alpha", NoiseRaster(4, PHOTOMETRIC_RGB, {EXTRASAMPLE_UNASSALPHA}, 5), true, {}});
  return sources;
}

// Empty when equal; else the number of differing pixels and the first one.
std::string Difference(const Picture& actual, const Picture& expected) {
  if (actual.size() != expected.size()) return "pixel counts differ";
  std::size_t count = 0;
  std::string first;
  for (std::size_t i = 0; i < actual.size(); ++i) {
    if (actual[i] == expected[i]) continue;
    if (count++ == 0) {
      first = "pixel " + std::to_string(i) + ": " + std::to_string(actual[i][0]) + "," +
              std::to_string(actual[i][1]) + "," + std::to_string(actual[i][2]) + "," +
              std::to_string(actual[i][3]) + " instead of " + std::to_string(expected[i][0]) + "," +
              std::to_string(expected[i][1]) + "," + std::to_string(expected[i][2]) + "," +
              std::to_string(expected[i][3]);
    }
  }
  return count == 0 ? std::string() : std::to_string(count) + " pixels differ, " + first;
}

bool DecodeFromFile(const Bytes& bytes, CCodecImage& image) {
  const auto path = ScratchDir() / "layout.tif";
  WriteFileBytes(path, bytes);
  return image.Load(path, CodecFormat::Tiff);
}

TEST(CodecTiffLayout, TilesAndPlanesDecodeLikeStrips) {
  const std::vector<Source> sources = Sources();
  EXPECT_GE(sources.size(), 11u);
  for (const Source& source : sources) {
    SCOPED_TRACE(source.name);
    ASSERT_GT(source.raster.width, 0u);
    CCodecImage strips;
    ASSERT_TRUE(DecodeAs(WriteRaster(source.raster, {"strips", 0, false, COMPRESSION_NONE}), strips,
                         CodecFormat::Tiff))
        << strips.GetLastError();
    ASSERT_EQ(strips.GetAlphaPlane() != nullptr, source.withAlpha);
    const Picture expected = PictureOf(strips);
    if (!source.original.empty()) {
      CCodecImage original;
      ASSERT_TRUE(original.Load(source.original, CodecFormat::Tiff)) << original.GetLastError();
      ASSERT_EQ(Difference(PictureOf(original), expected), "");
    }
    for (const Layout& layout : kLayouts) {
      if (layout.separate && source.raster.samples == 1) continue;  // the same as one plane
      // libtiff's RGBA reader premultiplies unassociated alpha, which loses
      // colour where alpha is low; grey strips do not take that road.
      if (layout.separate && source.name == "grey + unassociated alpha") continue;
      SCOPED_TRACE(layout.name);
      const Bytes file = WriteRaster(source.raster, layout);
      CCodecImage fromMemory;
      ASSERT_TRUE(DecodeAs(file, fromMemory, CodecFormat::Tiff)) << fromMemory.GetLastError();
      // Separate planes go through libtiff's RGBA reader; grey and palette
      // tiles stay palette images like their strips.
      EXPECT_EQ(fromMemory.GetBitCount(), layout.separate ? 24u : strips.GetBitCount());
      EXPECT_EQ(fromMemory.GetAlphaPlane() != nullptr, source.withAlpha);
      EXPECT_EQ(Difference(PictureOf(fromMemory), expected), "");
      CCodecImage fromFile;
      ASSERT_TRUE(DecodeFromFile(file, fromFile)) << fromFile.GetLastError();
      EXPECT_EQ(Difference(PictureOf(fromFile), expected), "");
    }
  }
}

TEST(CodecTiffLayout, SeparateGreyPlanesKeepUnassociatedAlpha) {
  Raster r = NoiseRaster(2, PHOTOMETRIC_MINISBLACK, {EXTRASAMPLE_UNASSALPHA}, 0);
  r.width = 2;
  r.height = 1;
  r.rows = {200, 51, 50, 255};
  CCodecImage image;
  ASSERT_TRUE(DecodeAs(WriteRaster(r, {"separate", 0, true, COMPRESSION_NONE}), image, CodecFormat::Tiff))
      << image.GetLastError();
  EXPECT_EQ(PictureOf(image), (Picture{{200, 200, 200, 51}, {50, 50, 50, 255}}));
}

TEST(CodecTiffLayout, DamagedTilesFailCleanly) {
  Raster grey = NoiseRaster(1, PHOTOMETRIC_MINISBLACK, {}, 11);
  Raster rgb = NoiseRaster(3, PHOTOMETRIC_RGB, {}, 12);
  for (const Bytes& good : {WriteRaster(grey, {"tiles", 16, false, COMPRESSION_LZW}),
                            WriteRaster(rgb, {"tiles", 16, false, COMPRESSION_NONE})}) {
    for (const std::size_t size : {good.size() / 2, good.size() - 1}) {
      CCodecImage image(4, 4);
      EXPECT_FALSE(DecodeAs(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size)), image,
                            CodecFormat::Tiff))
          << size;
      EXPECT_EQ(image.GetWidth(), 4u);
    }
    // A flip anywhere either fails or gives a whole image; never a crash.
    for (std::size_t at = 0; at < good.size(); at += 5) {
      Bytes flipped = good;
      flipped[at] ^= static_cast<std::uint8_t>(1u << (at % 8));
      CCodecImage image;
      if (DecodeAs(flipped, image, CodecFormat::Tiff)) {
        EXPECT_FALSE(image.IsEmpty()) << at;
      }
    }
  }
}

TEST(CodecTiffLayout, LayoutsNeitherReaderTakesFailCleanly) {
  // 32-bit grey samples, in tiles: libtiff's RGBA reader refuses them too.
  Raster r = NoiseRaster(1, PHOTOMETRIC_MINISBLACK, {}, 9);
  r.bits = 32;
  r.rows = Noise(r.RowBytes() * r.height, 10);
  CCodecImage image(4, 4);
  EXPECT_FALSE(DecodeAs(WriteRaster(r, {"tiles", 16, false, COMPRESSION_NONE}), image, CodecFormat::Tiff));
  EXPECT_STREQ(image.GetLastError(), "Unsupported TIFF layout");
  EXPECT_EQ(image.GetWidth(), 4u);
}

}  // namespace
