#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "image/BgraImage.h"
#include "image/ImageCodec.h"
#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecImageJPG.h"
#include "image/codecs/CodecMemStream.h"
#include "tests/common/FileSizeLimit.h"
#include "tests/common/TestData.h"
#include "tests/image/JpegFileParts.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A smooth picture with a varying alpha.
void MakePicture(CBgraImage& image, std::uint32_t width, std::uint32_t height) {
  ASSERT_EQ(image.Create(width, height), 1);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      std::uint8_t* p = image.At(x, y);
      p[0] = static_cast<std::uint8_t>(40 + 3 * x);
      p[1] = static_cast<std::uint8_t>(90 + 2 * y);
      p[2] = static_cast<std::uint8_t>(200 - x - y);
      p[3] = static_cast<std::uint8_t>(x * 16 + y);
    }
  }
}

int MaxColourDifference(const CBgraImage& a, const CBgraImage& b) {
  int worst = 0;
  for (std::size_t i = 0; i < a.Samples().size(); ++i) {
    if (i % 4 != 3) worst = std::max(worst, std::abs(a.Samples()[i] - b.Samples()[i]));
  }
  return worst;
}

bool AllOpaque(const CBgraImage& image) {
  for (std::size_t i = 3; i < image.Samples().size(); i += 4) {
    if (image.Samples()[i] != 255) return false;
  }
  return true;
}

// ---- Types by extension ----------------------------------------------------------------

TEST(ImageFileTypes, TypeAndCodecFormatByExtension) {
  struct Case {
    const char* path;
    ImageFileType type;
    std::int32_t format;
  };
  const Case cases[] = {
      {"photo.jpg", ImageFileType::Jpeg, 2},      {"photo.JPG", ImageFileType::Jpeg, 2},
      {"a/b/photo.JpEg", ImageFileType::Jpeg, 2}, {"x.bmp", ImageFileType::Bmp, 0},
      {"x.gif", ImageFileType::Gif, 1},           {"x.png", ImageFileType::Png, 3},
      {"x.tif", ImageFileType::Tiff, 5},          {"x.TIFF", ImageFileType::Tiff, 5},
      {"x.tga", ImageFileType::Tga, 6},           {"x.pcx", ImageFileType::Pcx, 7},
      {"x.psd", ImageFileType::Unknown, -1},      {"photo.jpg2", ImageFileType::Unknown, -1},
      {"", ImageFileType::Unknown, -1},           {"photo", ImageFileType::Unknown, -1},
      {"/a.b/photo", ImageFileType::Unknown, -1},  // the dot lies in a folder name
      {"photo.", ImageFileType::Unknown, -1},     {"/pictures/.jpg", ImageFileType::Jpeg, 2},
      {"a\\b.jpg", ImageFileType::Jpeg, 2},  // a backslash is no separator here
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(GetImageType(c.path), c.type);
    EXPECT_EQ(GetCodecFormat(c.path), c.format);
  }
  for (const char* raw : {"raw", "rw1", "nef", "nrw", "cr2", "crw", "orf", "mrw", "pef", "ptx",
                          "dcr", "erf", "dng", "srf", "sr2", "arw", "raf", "rw2", "bay", "SRW"}) {
    SCOPED_TRACE(raw);
    EXPECT_EQ(GetImageType(std::string("/photos/IMG_0001.") + raw), ImageFileType::Raw);
    EXPECT_EQ(GetCodecFormat(std::string("/photos/IMG_0001.") + raw), -1);
  }
}

// ---- Codec image conversions ----------------------------------------------------------------

TEST(ImageCodecConversion, ToAndFromCodecImageTurnRowsAndKeepAlpha) {
  CBgraImage picture;
  MakePicture(picture, 5, 3);
  CCodecImage codec;
  ASSERT_EQ(picture.ToCodecImage(codec, true), 1);
  EXPECT_EQ(codec.GetBitCount(), 24u);
  EXPECT_EQ(codec.attributes.dpiX, 72);
  EXPECT_EQ(codec.attributes.dpiY, 72);
  ASSERT_NE(codec.GetAlphaPlane(), nullptr);
  // The picture's top row is the bitmap's last row.
  const RgbQuad topLeft = codec.GetPixelColor(0, 2);
  EXPECT_EQ(topLeft.blue, picture.At(0, 0)[0]);
  EXPECT_EQ(topLeft.red, picture.At(0, 0)[2]);
  EXPECT_EQ(codec.AlphaGet(4, 2), picture.At(4, 0)[3]);

  CBgraImage back;
  ASSERT_EQ(back.FromCodecImage(codec), 1);
  EXPECT_TRUE(std::equal(back.Samples().begin(), back.Samples().end(), picture.Samples().begin()));

  CCodecImage rgb;
  ASSERT_EQ(picture.ToCodecImageRgb(rgb), 1);
  EXPECT_EQ(rgb.GetAlphaPlane(), nullptr);
  ASSERT_EQ(back.FromCodecImage(rgb), 1);
  EXPECT_TRUE(AllOpaque(back));

  CBgraImage empty;
  EXPECT_EQ(empty.ToCodecImageRgb(rgb), 0);
  EXPECT_EQ(back.FromCodecImage(CCodecImage()), 0);
}

TEST(ImageCodecConversion, PaletteTransparencyIsExact) {
  CCodecImage codec;
  ASSERT_NE(codec.Create(9, 2, 4, CodecFormat::Gif), nullptr);
  codec.SetPaletteColor(0, 10, 20, 30);
  codec.SetPaletteColor(3, 200, 100, 50);
  codec.attributes.transparentIndex = 3;
  codec.SetPixelIndex(8, 0, 3);  // bottom-right
  codec.SetPixelIndex(1, 1, 3);  // top row
  CBgraImage picture;
  ASSERT_EQ(picture.FromCodecImage(codec), 1);
  for (std::uint32_t y = 0; y < 2; ++y) {
    for (std::uint32_t x = 0; x < 9; ++x) {
      const bool clear = (x == 8 && y == 1) || (x == 1 && y == 0);
      EXPECT_EQ(picture.At(x, y)[3], clear ? 0 : 255) << x << "," << y;
      EXPECT_EQ(picture.At(x, y)[2], clear ? 200 : 10) << x << "," << y;
    }
  }
}

// ---- Loading and saving --------------------------------------------------------------------------

TEST(ImageCodecFiles, JpegRoundTripThroughTheFileLayer) {
  const auto path = ScratchDir() / "photo.jpg";
  CBgraImage picture;
  MakePicture(picture, 33, 17);
  ASSERT_EQ(SaveJpegFile({}, path, picture, 200), 1);

  CBgraImage loaded;
  ASSERT_EQ(LoadImageAsBgra(path, loaded), 1);
  EXPECT_EQ(loaded.width, 33u);
  EXPECT_EQ(loaded.height, 17u);
  EXPECT_TRUE(AllOpaque(loaded));
  EXPECT_LE(MaxColourDifference(loaded, picture), 5);

  // The codec-layer route and the memory route give the same pixels.
  CBgraImage viaCodec;
  ASSERT_EQ(viaCodec.LoadFile(path), 1);
  EXPECT_TRUE(std::equal(viaCodec.Samples().begin(), viaCodec.Samples().end(), loaded.Samples().begin()));
  CBgraImage fromMemory;
  ASSERT_EQ(DecodeJpegFromMemory(ReadFileBytes(path), fromMemory), 1);
  EXPECT_TRUE(std::equal(fromMemory.Samples().begin(), fromMemory.Samples().end(), loaded.Samples().begin()));
}

TEST(ImageCodecFiles, SaveJpegQualityRules) {
  struct Case {
    int quality;
    int tableQuality;
    std::uint8_t lumaSampling;
  };
  const auto folder = ScratchDir();
  CBgraImage picture;
  MakePicture(picture, 16, 16);
  for (const Case c : {Case{0, 100, 0x22}, Case{1, 2, 0x22}, Case{-5, 2, 0x22}, Case{75, 75, 0x22},
                       Case{195, 95, 0x11}, Case{200, 100, 0x11}, Case{101, 2, 0x11}}) {
    SCOPED_TRACE(c.quality);
    const auto path = folder / ("q" + std::to_string(c.quality) + ".jpeg");
    ASSERT_EQ(SaveJpegFile({}, path, picture, c.quality), 1);
    const Bytes jpeg = ReadFileBytes(path);
    EXPECT_EQ(jpegparts::QuantTable(jpeg, 0), jpegparts::ScaledLumaTable(c.tableQuality));
    EXPECT_EQ(jpegparts::Sampling(jpeg).at(0), c.lumaSampling);
    const jpegparts::Density density = jpegparts::JfifDensity(jpeg);
    EXPECT_EQ(density.unit, 1);
    EXPECT_EQ(density.x, 72);
  }

  // A table in the options replaces the luminance table, scaled by quality.
  JpegSaveOptions options;
  for (std::size_t i = 0; i < 64; ++i) options.lumaTable[i] = static_cast<std::uint32_t>(10 + i);
  ASSERT_EQ(SaveJpegFile(options, folder / "table.jpg", picture, 60), 1);
  EXPECT_EQ(jpegparts::QuantTable(ReadFileBytes(folder / "table.jpg"), 0),
            jpegparts::ScaledLumaTable(60, &options.lumaTable));

  // Only JPEG names are written; an empty image writes nothing.
  EXPECT_EQ(SaveJpegFile({}, folder / "photo.png", picture, 90), 0);
  EXPECT_FALSE(std::filesystem::exists(folder / "photo.png"));
  EXPECT_EQ(SaveJpegFile({}, folder / "empty.jpg", CBgraImage(), 90), 0);
  EXPECT_FALSE(std::filesystem::exists(folder / "empty.jpg"));
}

TEST(ImageCodecFiles, SaveFileNeedsPixelsAndAKnownFormat) {
  const auto folder = ScratchDir();
  EXPECT_EQ(CBgraImage().SaveFile(folder / "empty.jpg", false), 0);
  CBgraImage picture;
  MakePicture(picture, 8, 8);
  EXPECT_EQ(picture.SaveFile(folder / "photo.psd", false), 0);
  EXPECT_TRUE(std::filesystem::is_empty(folder));

  ASSERT_EQ(picture.SaveFile(folder / "photo.jpg", true), 1);
  CBgraImage loaded;
  ASSERT_EQ(loaded.LoadFile(folder / "photo.jpg"), 1);
  EXPECT_EQ(loaded.width, 8u);
  EXPECT_TRUE(AllOpaque(loaded));
  EXPECT_EQ(loaded.LoadFile(folder / "missing.jpg"), 0);
  EXPECT_EQ(loaded.LoadFile(folder / "photo.psd"), 0);
}

// Sides up to 20000 pixels load, by every route; one more is refused.
TEST(ImageCodecFiles, SideLimitIs20000) {
  const auto folder = ScratchDir();
  struct Case {
    std::uint32_t width, height;
    int loads;
  };
  for (const Case c : {Case{20000, 8, 1}, Case{20001, 8, 0}, Case{8, 20001, 0}}) {
    SCOPED_TRACE(c.width);
    CBgraImage picture;
    ASSERT_EQ(picture.Create(c.width, c.height), 1);
    std::fill(picture.Samples().begin(), picture.Samples().end(), std::uint8_t{90});
    const auto path = folder / ("side" + std::to_string(c.width) + "x" + std::to_string(c.height) + ".jpg");
    ASSERT_EQ(SaveJpegFile({}, path, picture, 50), 1);
    CBgraImage loaded;
    EXPECT_EQ(LoadImageAsBgra(path, loaded), c.loads);
    EXPECT_EQ(loaded.LoadFile(path), c.loads);
    EXPECT_EQ(DecodeJpegFromMemory(ReadFileBytes(path), loaded), c.loads);
    if (c.loads) {
      EXPECT_EQ(loaded.width, c.width);
    }
  }
}

TEST(ImageCodecFiles, HugeJpegsAreRefusedAndLeaveTheImage) {
  for (const char* name : {"large.jpg", "issue205.jpg"}) {
    SCOPED_TRACE(name);
    const auto path = TestDataPath(std::string("usr/libexec/installed-tests/gdk-pixbuf/") + name);
    const Bytes bytes = ReadFileBytes(path);
    CBgraImage image;
    MakePicture(image, 4, 4);
    EXPECT_EQ(LoadImageAsBgra(path, image), 0);
    EXPECT_EQ(DecodeJpegFromMemory(bytes, image), 0);
    EXPECT_EQ(image.width, 4u);
    EXPECT_EQ(image.LoadFile(path), 0);

    CCodecImageJPG codec;
    CCodecMemStream stream(bytes);
    EXPECT_FALSE(codec.DecodeBgra(stream, image));
    EXPECT_STREQ(codec.GetLastError(), "Image too large");
  }
  CBgraImage image;
  EXPECT_EQ(DecodeJpegFromMemory({}, image), 0);
}

TEST(ImageCodecFiles, RealPhotosLoadAtTheirSizes) {
  struct Case {
    const char* path;
    std::uint32_t width, height;
  };
  const Case cases[] = {
      {"usr/libexec/installed-tests/gdk-pixbuf/issue70.jpg", 3120, 4208},
      {"usr/libexec/installed-tests/gdk-pixbuf/bug725582-testrotate.jpg", 640, 428},
      {"usr/libexec/installed-tests/gdk-pixbuf/premature-end.jpg", 256, 256},  // CMYK, truncated
      {"usr/share/go-1.19/src/image/testdata/video-001.q50.410.progressive.jpeg", 150, 103},
      {"usr/share/go-1.19/src/image/testdata/video-001.progressive.truncated.jpeg", 150, 103},
      {"usr/share/go-1.19/src/image/testdata/video-005.gray.jpeg", 150, 103},
      {"usr/share/cargo/registry/jpeg-decoder-0.2.6/benches/large_image.jpg", 2268, 1512},
      {"usr/share/cargo/registry/jpeg-decoder-0.2.6/benches/tower_progressive.jpg", 512, 512},
      {"usr/share/gocode/src/github.com/rwcarlsen/goexif/exif/sample1.jpg", 500, 375},
      {"usr/share/gocode/src/golang.org/x/image/testdata/go-turns-two-280x360.jpeg", 280, 360},
      {"usr/lib/python3/dist-packages/skimage/data/rocket.jpg", 640, 427},
      {"usr/lib/python3/dist-packages/skimage/data/retina.jpg", 1411, 1411},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    CBgraImage image;
    ASSERT_EQ(LoadImageAsBgra(TestDataPath(c.path), image), 1);
    EXPECT_EQ(image.width, c.width);
    EXPECT_EQ(image.height, c.height);
    EXPECT_TRUE(AllOpaque(image));
  }
}

// ---- File copies ------------------------------------------------------------------------------

TEST(ImageCodecFiles, CopyFileContentsCopiesOrLeavesTheTarget) {
  const auto folder = ScratchDir();
  Bytes data(10000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  WriteFileBytes(folder / "source", data);
  WriteFileBytes(folder / "target", Bytes{1, 2, 3});
  ASSERT_EQ(CopyFileContents(folder / "source", folder / "target"), 1);
  EXPECT_EQ(ReadFileBytes(folder / "target"), data);

  WriteFileBytes(folder / "target", Bytes{1, 2, 3});
  EXPECT_EQ(CopyFileContents(folder / "missing", folder / "target"), 0);
  // Reading address 0 of the process's memory fails with EIO: a read error
  // must not pass for the end of the file.
  EXPECT_EQ(CopyFileContents("/proc/self/mem", folder / "target"), 0);
  EXPECT_EQ(ReadFileBytes(folder / "target"), (Bytes{1, 2, 3}));
  EXPECT_EQ(CopyFileContents(folder / "source", folder / "no-folder" / "target"), 0);
  {
    const FileSizeLimit limit(4096);
    EXPECT_EQ(CopyFileContents(folder / "source", folder / "target"), 0);
  }
  EXPECT_EQ(ReadFileBytes(folder / "target"), (Bytes{1, 2, 3}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2);
}

// ---- Lossless rotation ------------------------------------------------------------------------

// A picture of flat 8 x 8 blocks, each its own grey-free colour: only DC
// coefficients, so moving blocks turns the decoded pixels exactly.
CBgraImage MakeBlockPicture(std::uint32_t width, std::uint32_t height) {
  CBgraImage picture;
  EXPECT_TRUE(picture.Create(width, height));
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint32_t block = (y / 8) * 8 + x / 8;
      std::uint8_t* p = picture.At(x, y);
      p[0] = static_cast<std::uint8_t>(30 + 40 * (block % 5));
      p[1] = static_cast<std::uint8_t>(200 - 25 * (block % 7));
      p[2] = static_cast<std::uint8_t>(60 + 35 * (block % 4));
      p[3] = 255;
    }
  }
  return picture;
}

// The picture turned: turn 1 is 90 degrees clockwise.
CBgraImage Turned(const CBgraImage& source, int turn) {
  CBgraImage result;
  const bool swap = turn != 2;
  EXPECT_TRUE(result.Create(swap ? source.height : source.width, swap ? source.width : source.height));
  for (std::uint32_t y = 0; y < result.height; ++y) {
    for (std::uint32_t x = 0; x < result.width; ++x) {
      std::uint32_t sx = 0;
      std::uint32_t sy = 0;
      if (turn == 1) {
        sx = y;
        sy = source.height - 1 - x;
      } else if (turn == 2) {
        sx = source.width - 1 - x;
        sy = source.height - 1 - y;
      } else {
        sx = source.width - 1 - y;
        sy = x;
      }
      std::copy_n(source.At(sx, sy), 4, result.At(x, y));
    }
  }
  return result;
}

// The JPEG with an EXIF-like APP1 segment after its JFIF segment.
Bytes WithApp1(const Bytes& jpeg) {
  const auto segments = jpegparts::Segments(jpeg);
  const jpegparts::Segment* app0 = jpegparts::Find(segments, 0xE0);
  const std::size_t at = app0->offset + 4 + app0->body.size();
  const Bytes app1 = {0xFF, 0xE1, 0x00, 0x0C, 'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42};
  Bytes result(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(at));
  result.insert(result.end(), app1.begin(), app1.end());
  result.insert(result.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(at), jpeg.end());
  return result;
}

bool HasApp1(const Bytes& jpeg) {
  const auto segments = jpegparts::Segments(jpeg);
  const jpegparts::Segment* app1 = jpegparts::Find(segments, 0xE1);
  return app1 && app1->body.size() == 10 && app1->body[0] == 'E' && app1->body[9] == 42;
}

TEST(JpegRotation, BlocksMoveLosslessly) {
  const auto folder = ScratchDir();
  for (const int quality : {195, 75}) {  // chroma at full and at half resolution
    for (const int turn : {1, 2, 3}) {
      SCOPED_TRACE(quality);
      SCOPED_TRACE(turn);
      const auto path = folder / "photo.jpg";
      ASSERT_EQ(SaveJpegFile({}, path, MakeBlockPicture(32, 16), quality), 1);
      const Bytes original = WithApp1(ReadFileBytes(path));
      WriteFileBytes(path, original);
      CBgraImage before;
      ASSERT_EQ(LoadImageAsBgra(path, before), 1);

      ASSERT_EQ(RotateJpegLossless(path, turn), 1);
      const Bytes rotated = ReadFileBytes(path);
      EXPECT_TRUE(HasApp1(rotated));
      // Moved, not encoded again: the same quantisation table, transposed
      // with the blocks by a quarter turn.
      auto table = jpegparts::QuantTable(original, 0);
      if (turn != 2) {
        for (std::size_t r = 0; r < 8; ++r) {
          for (std::size_t c = r + 1; c < 8; ++c) std::swap(table[8 * r + c], table[8 * c + r]);
        }
      }
      EXPECT_EQ(jpegparts::QuantTable(rotated, 0), table);
      CBgraImage after;
      ASSERT_EQ(LoadImageAsBgra(path, after), 1);
      const CBgraImage expected = Turned(before, turn);
      ASSERT_EQ(after.width, expected.width);
      ASSERT_EQ(after.height, expected.height);
      // Full-resolution chroma gives back exactly the turned pixels; chroma
      // at half resolution is smoothed across block edges when upsampled,
      // in a direction the turn changes.
      EXPECT_LE(MaxColourDifference(after, expected), quality == 195 ? 0 : 2);
    }
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

// Sides that are not whole blocks: the pixels are turned and encoded again,
// nothing is trimmed, and the metadata segments stay.
TEST(JpegRotation, PartialBlocksAreEncodedAgain) {
  const auto folder = ScratchDir();
  CBgraImage picture;
  MakePicture(picture, 30, 13);
  for (const int turn : {1, 2, 3}) {
    SCOPED_TRACE(turn);
    const auto path = folder / "odd.jpg";
    ASSERT_EQ(SaveJpegFile({}, path, picture, 190), 1);
    WriteFileBytes(path, WithApp1(ReadFileBytes(path)));
    CBgraImage before;
    ASSERT_EQ(LoadImageAsBgra(path, before), 1);

    ASSERT_EQ(RotateJpegLossless(path, turn), 1);
    const Bytes rotated = ReadFileBytes(path);
    EXPECT_TRUE(HasApp1(rotated));
    EXPECT_EQ(jpegparts::QuantTable(rotated, 0), jpegparts::ScaledLumaTable(95));
    CBgraImage after;
    ASSERT_EQ(LoadImageAsBgra(path, after), 1);
    const CBgraImage expected = Turned(before, turn);
    ASSERT_EQ(after.width, expected.width);
    ASSERT_EQ(after.height, expected.height);
    EXPECT_LE(MaxColourDifference(after, expected), 6);
  }
}

TEST(JpegRotation, FailuresLeaveTheOriginal) {
  const auto folder = ScratchDir();
  const auto path = folder / "photo.jpg";
  CBgraImage picture;
  MakePicture(picture, 64, 48);
  ASSERT_EQ(SaveJpegFile({}, path, picture, 90), 1);
  const Bytes original = ReadFileBytes(path);

  {
    // The disk fills up while the turned file is written.
    const FileSizeLimit limit(original.size() / 2);
    EXPECT_EQ(RotateJpegLossless(path, 1), 0);
  }
  EXPECT_EQ(ReadFileBytes(path), original);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);

  EXPECT_EQ(RotateJpegLossless(path, 0), 0);
  EXPECT_EQ(RotateJpegLossless(path, 4), 0);
  EXPECT_EQ(RotateJpegLossless(folder / "missing.jpg", 1), 0);
  const Bytes junk = {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'};
  WriteFileBytes(folder / "junk.jpg", junk);
  EXPECT_EQ(RotateJpegLossless(folder / "junk.jpg", 2), 0);
  EXPECT_EQ(ReadFileBytes(folder / "junk.jpg"), junk);
  EXPECT_EQ(ReadFileBytes(path), original);
}

}  // namespace
