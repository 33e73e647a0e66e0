#include <gtest/gtest.h>
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "image/BgraImage.h"
#include "image/codecs/BgraRowSink.h"
#include "image/codecs/CodecFileStream.h"
#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecImageJPG.h"
#include "image/codecs/CodecMemStream.h"
#include "tests/common/TestData.h"
#include "tests/image/JpegFileParts.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A smooth 24-bit picture (JPEG keeps it well) with a different ramp per
// channel; picture coordinates, top row first.
void MakeGradient(CCodecImage& image, int width, int height) {
  ASSERT_NE(image.Create(width, height, 24, CodecFormat::Bmp), nullptr);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const RgbQuad colour{static_cast<std::uint8_t>(40 + 4 * x), static_cast<std::uint8_t>(60 + 3 * y),
                           static_cast<std::uint8_t>(200 - 2 * x - y), 0};
      image.SetPixelColor(x, height - 1 - y, colour);
    }
  }
}

void MakeGrey(CCodecImage& image, int width, int height, int (*level)(int x, int y)) {
  ASSERT_NE(image.Create(width, height, 8, CodecFormat::Bmp), nullptr);
  image.SetGrayPalette();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      image.SetPixelIndex(x, height - 1 - y, static_cast<std::uint8_t>(level(x, y)));
  }
}

Bytes EncodeJpeg(CCodecImage& image) {
  CCodecMemStream stream;
  if (!image.Encode(stream, CodecFormat::Jpeg)) {
    ADD_FAILURE() << image.GetLastError();
    return {};
  }
  const auto bytes = stream.Bytes();
  return {bytes.begin(), bytes.end()};
}

bool DecodeJpeg(const Bytes& bytes, CCodecImage& image) {
  CCodecMemStream stream(bytes);
  return image.Decode(stream, CodecFormat::Jpeg);
}

int MaxDifference(const CCodecImage& a, const CCodecImage& b) {
  int worst = 0;
  for (int y = 0; y < static_cast<int>(a.GetHeight()); ++y) {
    for (int x = 0; x < static_cast<int>(a.GetWidth()); ++x) {
      const RgbQuad p = a.GetPixelColor(x, y);
      const RgbQuad q = b.GetPixelColor(x, y);
      worst =
          std::max({worst, std::abs(p.blue - q.blue), std::abs(p.green - q.green), std::abs(p.red - q.red)});
    }
  }
  return worst;
}

// ---- Encode and decode ------------------------------------------------------------------

TEST(CodecJpeg, ColourRoundTrip) {
  for (const bool subsampling : {false, true}) {
    SCOPED_TRACE(subsampling);
    CCodecImage image;
    MakeGradient(image, 37, 21);
    image.attributes.quality = 98;
    image.attributes.jpegSubsampling = subsampling;
    image.SetXDPI(300);
    image.SetYDPI(150);
    const Bytes jpeg = EncodeJpeg(image);

    EXPECT_EQ(jpegparts::Sampling(jpeg), (subsampling ? std::vector<std::uint8_t>{0x22, 0x11, 0x11}
                                                      : std::vector<std::uint8_t>{0x11, 0x11, 0x11}));
    const jpegparts::Density density = jpegparts::JfifDensity(jpeg);
    EXPECT_EQ(density.unit, 1);
    EXPECT_EQ(density.x, 300);
    EXPECT_EQ(density.y, 150);

    CCodecImage decoded;
    ASSERT_TRUE(DecodeJpeg(jpeg, decoded)) << decoded.GetLastError();
    EXPECT_EQ(decoded.GetWidth(), 37u);
    EXPECT_EQ(decoded.GetHeight(), 21u);
    EXPECT_EQ(decoded.GetBitCount(), 24u);
    EXPECT_EQ(decoded.GetColorCount(), 0u);
    EXPECT_EQ(decoded.attributes.format, CodecFormat::Jpeg);
    EXPECT_EQ(decoded.attributes.dpiX, 300);
    EXPECT_EQ(decoded.attributes.dpiY, 150);
    // B, G, R order and bottom-up rows survive: the picture comes back close.
    EXPECT_LE(MaxDifference(image, decoded), subsampling ? 12 : 4);
  }
}

TEST(CodecJpeg, GreyRoundTripKeepsOneComponent) {
  // With the default chroma subsampling too: a grey picture has no chroma.
  CCodecImage image;
  MakeGrey(image, 20, 12, [](int x, int y) { return 30 + 8 * x + 5 * y; });
  ASSERT_TRUE(image.attributes.jpegSubsampling);
  image.attributes.quality = 100;
  const Bytes jpeg = EncodeJpeg(image);
  EXPECT_EQ(jpegparts::Sampling(jpeg), std::vector<std::uint8_t>{0x11});

  CCodecImage decoded;
  ASSERT_TRUE(DecodeJpeg(jpeg, decoded)) << decoded.GetLastError();
  EXPECT_EQ(decoded.GetBitCount(), 8u);
  EXPECT_EQ(decoded.GetColorCount(), 256u);
  EXPECT_TRUE(decoded.IsGrayScale());
  EXPECT_LE(MaxDifference(image, decoded), 2);
}

TEST(CodecJpeg, ColourPaletteImagesAreRefused) {
  CCodecImage palette;
  ASSERT_NE(palette.Create(4, 4, 4, CodecFormat::Bmp), nullptr);
  palette.SetGrayPalette();  // 16 greys: not the 256-entry identity
  CCodecImage bilevel;
  ASSERT_NE(bilevel.Create(9, 2, 1, CodecFormat::Bmp), nullptr);
  bilevel.SetPaletteColor(1, 1, 1, 1);  // an identity palette, but 1-bit rows
  for (CCodecImage* image : {&palette, &bilevel}) {
    CCodecMemStream stream;
    EXPECT_FALSE(image->Encode(stream, CodecFormat::Jpeg));
    EXPECT_STREQ(image->GetLastError(), "JPEG can save only RGB or GreyScale images");
    EXPECT_EQ(stream.Size(), 0);
  }
}

// The encoder's settings are the library's with optimised Huffman tables, the
// fast DCT and the given sampling: cjpeg with the same options must write the
// same tables and scan data for the same pixels.
TEST(CodecJpeg, MatchesCjpegWithTheSameSettings) {
  const auto folder = ScratchDir();
  CCodecImage image;
  MakeGradient(image, 45, 29);
  std::string ppm = "P6\n45 29\n255\n";
  for (int y = 28; y >= 0; --y) {
    for (int x = 0; x < 45; ++x) {
      const RgbQuad p = image.GetPixelColor(x, y);
      ppm += {static_cast<char>(p.red), static_cast<char>(p.green), static_cast<char>(p.blue)};
    }
  }
  WriteFileBytes(folder / "in.ppm", {reinterpret_cast<const std::uint8_t*>(ppm.data()), ppm.size()});

  struct Case {
    int quality;
    bool subsampling;
  };
  for (const Case c : {Case{30, false}, Case{75, false}, Case{95, false}, Case{75, true}}) {
    SCOPED_TRACE(c.quality);
    SCOPED_TRACE(c.subsampling);
    image.attributes.quality = static_cast<std::uint8_t>(c.quality);
    image.attributes.jpegSubsampling = c.subsampling;
    const Bytes ours = EncodeJpeg(image);

    const auto out = folder / "cjpeg.jpg";
    const std::string command = "cjpeg -quality " + std::to_string(c.quality) +
                                " -optimize -dct fast -sample " + (c.subsampling ? "2x2" : "1x1") +
                                " -outfile " + out.string() + " " + (folder / "in.ppm").string();
    ASSERT_EQ(std::system(command.c_str()), 0) << "cjpeg (libjpeg-turbo-progs) is needed: " << command;
    const Bytes theirs = ReadFileBytes(out);

    // Everything after the JFIF segment (whose density differs): tables,
    // frame, scan header, entropy-coded data and EOI.
    const auto tail = [](const Bytes& jpeg) {
      const auto segments = jpegparts::Segments(jpeg);
      const jpegparts::Segment* app0 = jpegparts::Find(segments, 0xE0);
      const std::size_t from = app0 ? app0->offset + 4 + app0->body.size() : 2;
      return Bytes(jpeg.begin() + static_cast<std::ptrdiff_t>(from), jpeg.end());
    };
    ASSERT_FALSE(theirs.empty());
    EXPECT_EQ(tail(ours), tail(theirs));
  }
}

TEST(CodecJpeg, LumaTableReplacesTableZero) {
  CCodecImage image;
  MakeGradient(image, 16, 16);
  std::array<std::uint32_t, 64> base{};
  for (std::size_t i = 0; i < 64; ++i) base[i] = static_cast<std::uint32_t>(2 + i);
  base[5] = 0;  // clamps to 1
  image.attributes.jpegLumaTable = base;
  image.attributes.quality = 20;  // scale 250: large entries clamp to 255
  const Bytes jpeg = EncodeJpeg(image);
  EXPECT_EQ(jpegparts::QuantTable(jpeg, 0), jpegparts::ScaledLumaTable(20, &base));
}

// ---- Decoder edges ----------------------------------------------------------------------------

TEST(CodecJpeg, EmptyStreamFailsWithTheLibraryText) {
  CCodecImage image;
  CCodecMemStream empty;
  EXPECT_FALSE(image.Decode(empty, CodecFormat::Jpeg));
  EXPECT_STREQ(image.GetLastError(), "Empty input file");

  const std::uint8_t junk[] = {'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'};
  CCodecMemStream stream(junk);
  EXPECT_FALSE(image.Decode(stream, CodecFormat::Jpeg));
  EXPECT_STREQ(image.GetLastError(), "Not a JPEG file: starts with 0x6e 0x6f");
}

TEST(CodecJpeg, TruncatedStreamStillDecodes) {
  CCodecImage image;
  MakeGradient(image, 64, 64);
  image.attributes.quality = 90;
  Bytes jpeg = EncodeJpeg(image);
  const auto segments = jpegparts::Segments(jpeg);
  ASSERT_EQ(segments.back().marker, 0xDA);
  const std::size_t scanStart = segments.back().offset + 4 + segments.back().body.size();
  jpeg.resize(scanStart + (jpeg.size() - scanStart) / 2);

  CCodecImage decoded;
  ASSERT_TRUE(DecodeJpeg(jpeg, decoded)) << decoded.GetLastError();
  EXPECT_EQ(decoded.GetWidth(), 64u);
  EXPECT_EQ(decoded.GetHeight(), 64u);
  // The top rows, which were in the file, are the picture.
  EXPECT_LE(std::abs(decoded.GetPixelColor(3, 63).green - image.GetPixelColor(3, 63).green), 4);
}

TEST(CodecJpeg, DensityUnitsBecomeDotsPerInch) {
  struct Case {
    std::uint8_t unit;
    int x, y;
    int dpiX, dpiY;
  };
  CCodecImage image;
  MakeGradient(image, 8, 8);
  const Bytes encoded = EncodeJpeg(image);
  const auto segments = jpegparts::Segments(encoded);
  const jpegparts::Segment* app0 = jpegparts::Find(segments, 0xE0);
  ASSERT_NE(app0, nullptr);
  const std::size_t unitAt = app0->offset + 4 + 7;
  for (const Case c : {Case{2, 118, 118, 299, 299}, Case{1, 300, 300, 300, 300}, Case{0, 1, 1, 1, 1},
                       Case{2, 100, 39, 254, 99}}) {
    SCOPED_TRACE(static_cast<int>(c.unit));
    Bytes jpeg = encoded;
    jpeg[unitAt] = c.unit;
    jpeg[unitAt + 1] = static_cast<std::uint8_t>(c.x >> 8);
    jpeg[unitAt + 2] = static_cast<std::uint8_t>(c.x);
    jpeg[unitAt + 3] = static_cast<std::uint8_t>(c.y >> 8);
    jpeg[unitAt + 4] = static_cast<std::uint8_t>(c.y);
    CCodecImage decoded;
    ASSERT_TRUE(DecodeJpeg(jpeg, decoded));
    EXPECT_EQ(decoded.attributes.dpiX, c.dpiX);
    EXPECT_EQ(decoded.attributes.dpiY, c.dpiY);
  }
}

// A 16 x 8 four-component JPEG of two flat 8 x 8 blocks, written the way
// Adobe applications store CMYK (inverted: 255 is no ink).
Bytes MakeCmykJpeg(const std::uint8_t (&left)[4], const std::uint8_t (&right)[4]) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = 16;
  cinfo.image_height = 8;
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 100, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::uint8_t line[16 * 4];
  for (int x = 0; x < 16; ++x) std::copy_n(x < 8 ? left : right, 4, line + 4 * x);
  while (cinfo.next_scanline < 8) {
    JSAMPROW row = line;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes jpeg(buffer, buffer + size);
  std::free(buffer);
  return jpeg;
}

TEST(CodecJpeg, GreyAndCmykFilesDecode) {
  const auto folder = TestDataPath("usr/share/go-1.19/src/image/testdata");
  CCodecImage grey;
  ASSERT_TRUE(grey.Load(folder / "video-005.gray.jpeg", CodecFormat::Jpeg)) << grey.GetLastError();
  EXPECT_EQ(grey.GetBitCount(), 8u);
  EXPECT_TRUE(grey.IsGrayScale());
  EXPECT_EQ(grey.GetWidth(), 150u);
  EXPECT_EQ(grey.GetHeight(), 103u);

  CCodecImage cmykFile;
  ASSERT_TRUE(cmykFile.Load(folder / "video-001.cmyk.jpeg", CodecFormat::Jpeg)) << cmykFile.GetLastError();
  EXPECT_EQ(cmykFile.GetBitCount(), 24u);
  EXPECT_EQ(cmykFile.GetWidth(), 150u);

  // Each channel is weighted by K: B = Y K / 255, G = M K / 255, R = C K / 255.
  const std::uint8_t left[4] = {255, 128, 0, 200};
  const std::uint8_t right[4] = {60, 255, 255, 255};
  CCodecImage cmyk;
  ASSERT_TRUE(DecodeJpeg(MakeCmykJpeg(left, right), cmyk)) << cmyk.GetLastError();
  ASSERT_EQ(cmyk.GetBitCount(), 24u);
  const RgbQuad a = cmyk.GetPixelColor(3, 4);
  const RgbQuad b = cmyk.GetPixelColor(12, 4);
  EXPECT_NEAR(a.red, 200, 1);
  EXPECT_NEAR(a.green, 100, 1);
  EXPECT_NEAR(a.blue, 0, 1);
  EXPECT_NEAR(b.red, 60, 1);
  EXPECT_NEAR(b.green, 255, 1);
  EXPECT_NEAR(b.blue, 255, 1);
}

// ---- Decoding in row batches ---------------------------------------------------------------

// Keeps the picture in a vector and notes every call.
struct RecordingSink final : CBgraRowSink {
  bool refuse = false;
  int begins = 0;
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint8_t> pixels;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> batches;  // first row, count

  std::uint8_t* BeginRows(std::uint32_t w, std::uint32_t h) override {
    ++begins;
    width = w;
    height = h;
    if (refuse) return nullptr;
    pixels.assign(std::size_t{w} * h * 4, 0);
    return pixels.data();
  }
  void RowsDecoded(std::uint32_t first, std::uint32_t count) override { batches.emplace_back(first, count); }
};

// The batches cover the picture once, top-down, and the pixels are those of
// the codec's own row-by-row decode (B, G, R bottom-up, grey as palette
// indexes, CMYK through the same K weighting), with A = 255.
TEST(CodecJpeg, RowBatchesCoverThePictureAsTheCodecDecodes) {
  CCodecImage colour;
  MakeGradient(colour, 37, 45);  // odd sides, chroma at half resolution
  CCodecImage grey;
  MakeGrey(grey, 19, 70, [](int x, int y) { return (x * 13 + y * 3) % 256; });
  const auto folder = TestDataPath("usr/share/go-1.19/src/image/testdata");
  const std::uint8_t left[4] = {255, 128, 0, 200};
  const std::uint8_t right[4] = {60, 255, 255, 255};
  const std::pair<const char*, Bytes> cases[] = {
      {"colour", EncodeJpeg(colour)},
      {"grey", EncodeJpeg(grey)},
      {"cmyk", MakeCmykJpeg(left, right)},
      {"cmyk file", ReadFileBytes(folder / "video-001.cmyk.jpeg")},
      {"progressive 4:1:0", ReadFileBytes(folder / "video-001.q50.410.progressive.jpeg")},
  };
  for (const auto& [name, jpeg] : cases) {
    SCOPED_TRACE(name);
    CCodecImage expected;
    ASSERT_TRUE(DecodeJpeg(jpeg, expected)) << expected.GetLastError();
    CCodecMemStream stream(jpeg);
    CCodecImageJPG codec;
    RecordingSink sink;
    ASSERT_TRUE(codec.DecodeBgraRows(stream, sink)) << codec.GetLastError();
    EXPECT_EQ(sink.begins, 1);
    ASSERT_EQ(sink.width, expected.GetWidth());
    ASSERT_EQ(sink.height, expected.GetHeight());
    std::uint32_t next = 0;
    for (const auto& [first, count] : sink.batches) {
      EXPECT_EQ(first, next);
      EXPECT_GT(count, 0u);
      next = first + count;
    }
    EXPECT_EQ(next, sink.height);
    EXPECT_GT(sink.batches.size(), 1u) << "more than one batch for these heights";
    const bool palette = expected.GetColorCount() != 0;
    for (std::uint32_t y = 0; y < sink.height; ++y) {
      for (std::uint32_t x = 0; x < sink.width; ++x) {
        const std::uint8_t* p = &sink.pixels[(std::size_t{y} * sink.width + x) * 4];
        const auto ex = static_cast<std::int32_t>(x), ey = static_cast<std::int32_t>(sink.height - 1 - y);
        RgbQuad c = expected.GetPixelColor(ex, ey);
        if (palette) c.blue = c.green = c.red = expected.GetPixelIndex(ex, ey);
        ASSERT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}), (std::vector<int>{c.blue, c.green, c.red, 255}))
            << x << ", " << y;
      }
    }
  }
}

TEST(CodecJpeg, RefusedOrTooLargePicturesGetNoRows) {
  CCodecImage colour;
  MakeGradient(colour, 16, 16);
  const Bytes jpeg = EncodeJpeg(colour);
  CCodecMemStream stream(jpeg);
  CCodecImageJPG codec;
  RecordingSink refusing;
  refusing.refuse = true;
  EXPECT_FALSE(codec.DecodeBgraRows(stream, refusing));
  EXPECT_STREQ(codec.GetLastError(), "Out of memory");
  EXPECT_TRUE(refusing.batches.empty());

  // The side limit is met from the header, before the sink is asked.
  const Bytes large = ReadFileBytes(TestDataPath("usr/libexec/installed-tests/gdk-pixbuf/large.jpg"));
  CCodecMemStream huge(large);
  RecordingSink sink;
  EXPECT_FALSE(codec.DecodeBgraRows(huge, sink));
  EXPECT_STREQ(codec.GetLastError(), "Image too large");
  EXPECT_EQ(sink.begins, 0);
}

// ---- DC-only decoding -----------------------------------------------------------------------

TEST(CodecJpegDcOnly, SizeIsOneEighthRoundedUp) {
  struct Case {
    int width, height;
    std::uint32_t small_w, small_h;
  };
  for (const Case c :
       {Case{1, 1, 1, 1}, Case{8, 8, 1, 1}, Case{9, 17, 2, 3}, Case{150, 103, 19, 13}, Case{64, 40, 8, 5}}) {
    SCOPED_TRACE(c.width);
    CCodecImage image;
    MakeGradient(image, c.width, c.height);
    const Bytes jpeg = EncodeJpeg(image);  // chroma at half resolution
    CCodecImageJPG small;
    CCodecMemStream stream(jpeg);
    ASSERT_TRUE(small.DecodeJpegDcOnly(stream)) << small.GetLastError();
    EXPECT_EQ(small.GetWidth(), c.small_w);
    EXPECT_EQ(small.GetHeight(), c.small_h);
    EXPECT_EQ(small.GetBitCount(), 24u);
  }
}

TEST(CodecJpegDcOnly, PixelsAreBlockMeans) {
  CCodecImage flat;
  MakeGrey(flat, 16, 16, [](int, int) { return 128; });
  const Bytes flatJpeg = EncodeJpeg(flat);
  CCodecImageJPG flatSmall;
  CCodecMemStream flatStream(flatJpeg);
  ASSERT_TRUE(flatSmall.DecodeJpegDcOnly(flatStream));
  CCodecImage flatFull;
  ASSERT_TRUE(DecodeJpeg(flatJpeg, flatFull));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) EXPECT_EQ(flatSmall.GetPixelIndex(x, y), 128);
  }
  EXPECT_EQ(flatFull.GetPixelIndex(7, 9), 128);

  // A textured grey picture: each pixel of the small image is its block's
  // mean in the full decode, to within rounding.
  CCodecImage textured;
  MakeGrey(textured, 40, 24, [](int x, int y) { return 50 + 3 * x + 2 * y + ((x * 7 + y * 3) % 11); });
  textured.attributes.quality = 90;
  const Bytes jpeg = EncodeJpeg(textured);
  CCodecImageJPG small;
  CCodecMemStream stream(jpeg);
  ASSERT_TRUE(small.DecodeJpegDcOnly(stream));
  CCodecImage full;
  ASSERT_TRUE(DecodeJpeg(jpeg, full));
  ASSERT_EQ(small.GetWidth(), 5u);
  ASSERT_EQ(small.GetHeight(), 3u);
  EXPECT_TRUE(small.IsGrayScale());
  for (int by = 0; by < 3; ++by) {
    for (int bx = 0; bx < 5; ++bx) {
      // Blocks count from the picture's top; bitmap rows from the bottom.
      double sum = 0;
      for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) sum += full.GetPixelIndex(8 * bx + x, 23 - (8 * by + y));
      }
      const int dc = small.GetPixelIndex(bx, 2 - by);
      EXPECT_NEAR(dc, sum / 64, 1.0) << bx << "," << by;
    }
  }
}

// ---- Real and damaged files -----------------------------------------------------------------------

// Every JPEG of the cache, damaged ones included, decodes or fails with a
// text; pictures beyond the image limit are refused from their headers.
TEST(CodecJpegFiles, EveryCachedJpegDecodesOrFailsCleanly) {
  const std::filesystem::path root = TestDataRoot();
  ASSERT_FALSE(root.empty());
  int files = 0;
  int decoded = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const std::string extension = entry.path().extension().string();
    if (!entry.is_regular_file() || (extension != ".jpg" && extension != ".jpeg")) continue;
    SCOPED_TRACE(entry.path().string());
    ++files;
    std::FILE* file = std::fopen(entry.path().c_str(), "rb");
    ASSERT_NE(file, nullptr);
    CCodecFileStream stream(file);
    CCodecImageJPG full;
    const bool ok = full.Decode(stream);
    if (ok) {
      ++decoded;
      EXPECT_FALSE(full.IsEmpty());
    } else {
      EXPECT_NE(full.GetLastError()[0], '\0');
    }
    std::rewind(file);
    CCodecImageJPG small;
    if (!small.DecodeJpegDcOnly(stream)) {
      EXPECT_NE(small.GetLastError()[0], '\0');
    }
    std::rewind(file);
    CCodecImageJPG direct;
    CBgraImage bgra;
    if (direct.DecodeBgra(stream, bgra)) {
      EXPECT_EQ(bgra.width, full.GetWidth());
    } else {
      EXPECT_NE(direct.GetLastError()[0], '\0');
    }
    std::fclose(file);
  }
  EXPECT_GT(files, 100);
  EXPECT_GT(decoded, 50);
}

TEST(CodecJpegFiles, HugePicturesAreRefusedFromTheHeader) {
  for (const char* name : {"large.jpg", "issue205.jpg"}) {
    SCOPED_TRACE(name);
    const auto path = TestDataPath(std::string("usr/libexec/installed-tests/gdk-pixbuf/") + name);
    CCodecImage image;
    EXPECT_FALSE(image.Load(path, CodecFormat::Jpeg));
    EXPECT_STREQ(image.GetLastError(), "Image too large");
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    CCodecFileStream stream(file);
    CCodecImageJPG small;
    EXPECT_FALSE(small.DecodeJpegDcOnly(stream));
    EXPECT_STREQ(small.GetLastError(), "Image too large");
    std::fclose(file);
  }
}

}  // namespace
