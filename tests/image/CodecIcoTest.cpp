#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "image/ImageLoadError.h"
#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecMemStream.h"
#include "platform/LittleEndian.h"
#include "tests/common/PixelBlockFailure.h"
#include "tests/common/TestData.h"
#include "tests/image/CodecTestSupport.h"
#include "tests/image/LimitedStream.h"

namespace {

constexpr char kReftests[] = "usr/libexec/installed-tests/gdk-pixbuf/test-images/reftests/";

// ---- Hand-built icons ---------------------------------------------------------------------

struct IconImage {
  std::int32_t width = 3;
  std::int32_t height = 2;
  std::uint16_t bitCount = 32;
  std::vector<RgbQuad> palette;
  Bytes pixels;  // rows bottom-up, padded to 4 bytes
  Bytes mask;    // rows bottom-up, padded to 4 bytes
  bool png = false;
};

Bytes BuildIcon(const std::vector<IconImage>& images) {
  ByteWriter out;
  out.U16(0);
  out.U16(1);
  out.U16(static_cast<std::uint16_t>(images.size()));
  std::vector<Bytes> bodies;
  for (const IconImage& image : images) {
    ByteWriter body;
    if (image.png) {
      body.Bytes(Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10});
      body.Zeros(40);
    } else {
      body.U32(40);
      body.I32(image.width);
      body.I32(2 * image.height);
      body.U16(1);
      body.U16(image.bitCount);
      body.Zeros(24);
      for (const RgbQuad& entry : image.palette) {
        body.U8(entry.blue);
        body.U8(entry.green);
        body.U8(entry.red);
        body.U8(0);
      }
      body.Bytes(image.pixels);
      body.Bytes(image.mask);
    }
    bodies.push_back(body.Take());
  }
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    out.U8(static_cast<std::uint8_t>(images[i].width));
    out.U8(static_cast<std::uint8_t>(images[i].height));
    out.U8(0);
    out.U8(0);
    out.U16(1);
    out.U16(0);  // the image's own header tells the bit count
    out.U32(static_cast<std::uint32_t>(bodies[i].size()));
    out.U32(offset);
    offset += static_cast<std::uint32_t>(bodies[i].size());
  }
  for (const Bytes& body : bodies) out.Bytes(body);
  return out.Take();
}

// A 3 x 2 32-bit image: pixel (x, y) = (10 x + y, 20, 30) with alpha 40 x + 80 y
// + 50; mask bit set for bitmap pixel (2, 1).
IconImage AlphaImage() {
  IconImage image;
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      image.pixels.insert(image.pixels.end(), {static_cast<std::uint8_t>(10 * x + y), 20, 30,
                                               static_cast<std::uint8_t>(40 * x + 80 * y + 50)});
    }
  }
  image.mask = {0, 0, 0, 0, 0x20, 0, 0, 0};
  return image;
}

// A 3 x 2 4-bit image with indexes 1 2 3 / 4 5 6 (bottom row first).
IconImage NibbleImage(Bytes mask) {
  IconImage image;
  image.bitCount = 4;
  for (int i = 0; i < 16; ++i) image.palette.push_back(Bgr(i * 10, 255 - i, i));
  image.pixels = {0x12, 0x30, 0, 0, 0x45, 0x60, 0, 0};
  image.mask = std::move(mask);
  return image;
}

TEST(CodecIcoDecode, AlphaAndTheAndMask) {
  CCodecImage image;
  ASSERT_TRUE(DecodeAs(BuildIcon({AlphaImage()}), image, CodecFormat::Ico)) << image.GetLastError();
  EXPECT_EQ(image.GetBitCount(), 24u);
  EXPECT_EQ(image.attributes.format, CodecFormat::Ico);
  EXPECT_EQ(image.attributes.frameCount, 1);
  ASSERT_NE(image.GetAlphaPlane(), nullptr);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(image.GetPixelColor(x, y), Bgr(10 * x + y, 20, 30));
      EXPECT_EQ(image.AlphaGet(x, y), x == 2 && y == 1 ? 0 : 40 * x + 80 * y + 50) << x << "," << y;
    }
  }

  // A palette image keeps no alpha plane without mask bits, and gets one
  // from them.
  ASSERT_TRUE(DecodeAs(BuildIcon({NibbleImage(Bytes(8, 0))}), image, CodecFormat::Ico))
      << image.GetLastError();
  EXPECT_EQ(image.GetBitCount(), 4u);
  EXPECT_EQ(image.GetAlphaPlane(), nullptr);
  EXPECT_EQ(image.GetPixelIndex(2, 1), 6);
  EXPECT_EQ(image.GetPaletteColor(6), Bgr(60, 249, 6));
  ASSERT_TRUE(DecodeAs(BuildIcon({NibbleImage({0x40, 0, 0, 0, 0, 0, 0, 0})}), image, CodecFormat::Ico));
  ASSERT_NE(image.GetAlphaPlane(), nullptr);
  EXPECT_EQ(image.AlphaGet(1, 0), 0);
  EXPECT_EQ(image.AlphaGet(0, 0), 255);
  EXPECT_EQ(image.AlphaGet(1, 1), 255);

  // A missing mask leaves the pixels as they are.
  ASSERT_TRUE(DecodeAs(BuildIcon({NibbleImage({})}), image, CodecFormat::Ico)) << image.GetLastError();
  EXPECT_EQ(image.GetAlphaPlane(), nullptr);
}

TEST(CodecIcoDecode, ImagesOfTheDirectory) {
  IconImage large = NibbleImage(Bytes(8, 0));
  large.width = 7;
  large.height = 5;
  large.pixels = Bytes(20, 0x77);
  large.mask = Bytes(20, 0);
  IconImage png;
  png.png = true;
  const Bytes icon = BuildIcon({AlphaImage(), large, png});

  CCodecImage image;
  image.attributes.frameIndex = 1;
  ASSERT_TRUE(DecodeAs(icon, image, CodecFormat::Ico)) << image.GetLastError();
  EXPECT_EQ(image.GetWidth(), 7u);
  EXPECT_EQ(image.GetHeight(), 5u);
  EXPECT_EQ(image.GetPixelIndex(6, 4), 7);
  EXPECT_EQ(image.attributes.frameCount, 3);

  CCodecImage other(2, 2);
  other.attributes.frameIndex = 2;
  EXPECT_FALSE(DecodeAs(icon, other, CodecFormat::Ico));
  EXPECT_STREQ(other.GetLastError(), "PNG icon images are not supported");
  other.attributes.frameIndex = 3;
  EXPECT_FALSE(DecodeAs(icon, other, CodecFormat::Ico));
  EXPECT_STREQ(other.GetLastError(), "Icon image not present");
  EXPECT_EQ(other.attributes.frameCount, 3);
  other.attributes.frameIndex = -1;
  EXPECT_FALSE(DecodeAs(icon, other, CodecFormat::Ico));
  EXPECT_EQ(other.GetWidth(), 2u);  // unchanged
}

TEST(CodecIcoDecode, RefusedFiles) {
  struct Case {
    const char* name;
    Bytes bytes;
    const char* error;
  };
  const Bytes good = BuildIcon({AlphaImage()});
  auto changed = [&good](std::size_t at, std::uint8_t value) {
    Bytes bytes = good;
    bytes[at] = value;
    return bytes;
  };
  IconImage huge = AlphaImage();
  huge.width = 20000;
  huge.height = 20000;
  IconImage sixteen = AlphaImage();
  sixteen.bitCount = 16;
  const std::vector<Case> cases = {
      {"empty", {}, "Not an icon"},
      {"cursor", changed(2, 2), "Not an icon"},
      {"reserved word", changed(0, 1), "Not an icon"},
      {"image offset past the end", changed(21, 0x10), "Error reading icon"},
      {"short pixel rows", Bytes(good.begin(), good.begin() + 80), "Error reading icon"},
      {"20000 x 20000 in 100 bytes", BuildIcon({huge}), "Error reading icon"},
      {"16 bits", BuildIcon({sixteen}), "Icon image format not supported"},
      {"compressed", changed(22 + 16, 1), "Icon image format not supported"},
      {"negative width", changed(22 + 7, 0x80), "Bad icon image size"},
      {"height 1 (no pixel rows)", changed(22 + 8, 1), "Bad icon image size"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CCodecImage image(2, 2);
    EXPECT_FALSE(DecodeAs(c.bytes, image, CodecFormat::Ico));
    EXPECT_STREQ(image.GetLastError(), c.error);
    EXPECT_EQ(image.GetWidth(), 2u);
  }

  // Every truncation and byte change fails or gives a whole image.
  const Bytes nibbles = BuildIcon({NibbleImage({0x40, 0, 0, 0, 0, 0, 0, 0}), AlphaImage()});
  for (const Bytes& file : {good, nibbles}) {
    for (std::size_t at = 0; at < file.size(); ++at) {
      for (std::uint8_t value : {std::uint8_t{0}, std::uint8_t{0x80}, std::uint8_t{0xFF}}) {
        Bytes bytes = file;
        bytes[at] = value;
        CCodecImage image;
        if (DecodeAs(bytes, image, CodecFormat::Ico)) {
          EXPECT_FALSE(image.IsEmpty());
        }
      }
      CCodecImage image;
      if (DecodeAs(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(at)), image,
                   CodecFormat::Ico)) {
        EXPECT_FALSE(image.IsEmpty());
      }
    }
  }
}

TEST(CodecIcoDecode, ImagesAboveTheLimitsTakeNoPixelMemory) {
  IconImage wide = AlphaImage();
  wide.width = 30000;
  wide.height = 13000;
  const Bytes icon = BuildIcon({wide});
  const PixelBlockFailure watch(-1);
  CCodecImage image;
  image.attributes.maxSide = kMaxImageSide;
  EXPECT_FALSE(DecodeAs(icon, image, CodecFormat::Ico));
  EXPECT_STREQ(image.GetLastError(), kImageTooLarge);
  image.attributes.maxSide = UINT32_MAX;
  EXPECT_FALSE(DecodeAs(icon, image, CodecFormat::Ico));
  EXPECT_STREQ(image.GetLastError(), "Error reading icon");
  EXPECT_EQ(watch.Requested(), 0) << "largest block asked for: " << watch.Largest();
}

TEST(CodecIcoDecode, RealIcons) {
  // 18 images: 4-bit, 8-bit and 32-bit ones of 16 to 128 pixels and a
  // 256-pixel PNG.
  const auto path = TestDataPath(std::string(kReftests) + "bug785447.ico");
  const int sides[18] = {48, 32, 24, 16, 256, 48, 32, 24, 16, 128, 96, 80, 72, 64, 48, 32, 24, 16};
  for (int i = 0; i < 18; ++i) {
    SCOPED_TRACE(i);
    CCodecImage image;
    image.attributes.frameIndex = i;
    if (i == 4) {
      EXPECT_FALSE(image.Load(path, CodecFormat::Ico));
      EXPECT_STREQ(image.GetLastError(), "PNG icon images are not supported");
      EXPECT_EQ(image.attributes.frameCount, 18);
      continue;
    }
    ASSERT_TRUE(image.Load(path, CodecFormat::Ico)) << image.GetLastError();
    EXPECT_EQ(image.attributes.frameCount, 18);
    EXPECT_EQ(image.GetWidth(), static_cast<std::uint32_t>(sides[i]));
    EXPECT_EQ(image.GetHeight(), static_cast<std::uint32_t>(sides[i]));
    EXPECT_EQ(image.GetBitCount(), i < 4 ? 4u : i < 9 ? 8u : 24u);
    if (i >= 9) {
      EXPECT_NE(image.GetAlphaPlane(), nullptr);
    }
  }

  struct Case {
    const char* icon;
    std::int32_t frameIndex;
  };
  for (const Case& c : {Case{"bug785447.ico", 9}, Case{"squares.ico", 0}}) {
    SCOPED_TRACE(c.icon);
    CCodecImage icon;
    icon.attributes.frameIndex = c.frameIndex;
    CCodecImage reference;
    ASSERT_TRUE(icon.Load(TestDataPath(std::string(kReftests) + c.icon), CodecFormat::Ico))
        << icon.GetLastError();
    ASSERT_TRUE(reference.Load(TestDataPath(std::string(kReftests) + c.icon + ".ref.png"), CodecFormat::Png));
    EXPECT_EQ(PictureOf(icon), PictureOf(reference));
  }

  // Damaged icons fail or decode; never a crash.
  const auto gdk = TestDataPath("usr/libexec/installed-tests/gdk-pixbuf/test-images");
  for (const char* name :
       {"fail/bug778204.ico", "fail/bug779012.ico", "fail/invalid.1.ico", "fail/invalid.3.ico",
        "randomly-modified/bad-header.ico", "randomly-modified/bug776040.ico", "randomly-modified/crash.ico",
        "randomly-modified/invalid.2.ico"}) {
    CCodecImage image;
    if (!image.Load(gdk / name, CodecFormat::Ico)) {
      EXPECT_NE(image.GetLastError()[0], '\0') << name;
    }
  }
}

// ---- Encoding -------------------------------------------------------------------------------

TEST(CodecIcoEncode, WrittenIconsReadBack) {
  CCodecImage rgba;
  ASSERT_NE(rgba.Create(5, 3, 24, CodecFormat::Bmp), nullptr);
  ASSERT_NE(rgba.AlphaCreate(), nullptr);
  const Bytes noise = Noise(64, 7);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      const int i = 3 * (5 * y + x);
      rgba.SetPixelColor(x, y, Bgr(noise[i], noise[i + 1], noise[i + 2]));
      rgba.AlphaSet(x, y, static_cast<std::uint8_t>(x == 1 ? 0 : 50 * x + y));
    }
  }
  const Bytes file = EncodeAs(rgba, CodecFormat::Ico);
  // Directory and entry: 32 bits, 60 pixel bytes + 40 header + 12 mask bytes.
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 22),
            (Bytes{0, 0, 1, 0, 1, 0, 5, 3, 0, 0, 0, 0, 32, 0, 112, 0, 0, 0, 22, 0, 0, 0}));
  CCodecImage decoded;
  ASSERT_TRUE(DecodeAs(file, decoded, CodecFormat::Ico)) << decoded.GetLastError();
  EXPECT_EQ(PictureOf(decoded), PictureOf(rgba));

  // A palette image: the transparent index becomes mask bits.
  CCodecImage indexed;
  ASSERT_NE(indexed.Create(9, 2, 8, CodecFormat::Bmp), nullptr);
  for (int i = 0; i < 256; ++i) indexed.SetPaletteColor(static_cast<std::uint8_t>(i), Bgr(i, i / 2, 255 - i));
  for (int x = 0; x < 9; ++x) {
    indexed.SetPixelIndex(x, 0, static_cast<std::uint8_t>(x));
    indexed.SetPixelIndex(x, 1, static_cast<std::uint8_t>(200 + x));
  }
  indexed.attributes.transparentIndex = 3;
  const Bytes indexedFile = EncodeAs(indexed, CodecFormat::Ico);
  EXPECT_EQ(indexedFile[8], 0);  // 256 colours are stored as 0
  ASSERT_TRUE(DecodeAs(indexedFile, decoded, CodecFormat::Ico)) << decoded.GetLastError();
  EXPECT_EQ(decoded.GetBitCount(), 8u);
  for (int x = 0; x < 9; ++x) {
    EXPECT_EQ(decoded.GetPixelIndex(x, 1), 200 + x);
    EXPECT_EQ(decoded.GetPixelColor(x, 0), indexed.GetPixelColor(x, 0));
  }
  ASSERT_NE(decoded.GetAlphaPlane(), nullptr);
  EXPECT_EQ(decoded.AlphaGet(3, 0), 0);
  EXPECT_EQ(decoded.AlphaGet(4, 0), 255);

  // 1 and 4 bits without transparency keep no alpha plane.
  for (std::int32_t bits : {1, 4}) {
    CCodecImage small;
    ASSERT_NE(small.Create(33, 4, bits, CodecFormat::Bmp), nullptr);
    small.SetGrayPalette();
    for (int x = 0; x < 33; ++x) small.SetPixelIndex(x, x % 4, static_cast<std::uint8_t>(x % (1 << bits)));
    ASSERT_TRUE(DecodeAs(EncodeAs(small, CodecFormat::Ico), decoded, CodecFormat::Ico))
        << decoded.GetLastError();
    EXPECT_EQ(decoded.GetBitCount(), static_cast<std::uint32_t>(bits));
    EXPECT_EQ(decoded.GetAlphaPlane(), nullptr);
    EXPECT_EQ(PictureOf(decoded), PictureOf(small));
  }
}

TEST(CodecIcoEncode, LimitsAndFailedWrites) {
  CCodecImage image;
  ASSERT_NE(image.Create(300, 300, 24, CodecFormat::Bmp), nullptr);
  CCodecMemStream stream;
  EXPECT_FALSE(image.Encode(stream, CodecFormat::Ico));
  EXPECT_STREQ(image.GetLastError(), "Can't save this image as icon");
  EXPECT_EQ(stream.Size(), 0);
  ASSERT_NE(image.Create(255, 256, 24, CodecFormat::Bmp), nullptr);
  EXPECT_FALSE(image.Encode(stream, CodecFormat::Ico));

  ASSERT_NE(image.Create(255, 255, 24, CodecFormat::Bmp), nullptr);
  const Bytes file = EncodeAs(image, CodecFormat::Ico);
  EXPECT_EQ(file[6], 255);
  CCodecImage decoded;
  EXPECT_TRUE(DecodeAs(file, decoded, CodecFormat::Ico));
  EXPECT_EQ(decoded.GetWidth(), 255u);

  LimitedStream full(100);
  EXPECT_FALSE(image.Encode(full, CodecFormat::Ico));
  EXPECT_STREQ(image.GetLastError(), "Error writing icon");
}

// ---- Metafiles ------------------------------------------------------------------------------

TEST(CodecWmf, MetafilesAreNotSupported) {
  // A placeable metafile header: playing one needs the Windows graphics
  // interface.
  const Bytes placeable = {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0, 100, 0, 100, 0, 96, 0, 0, 0, 0, 0, 0, 0};
  CCodecImage image(2, 2);
  EXPECT_FALSE(DecodeAs(placeable, image, CodecFormat::Wmf));
  EXPECT_STREQ(image.GetLastError(), "Load WMF not supported");
  EXPECT_EQ(image.GetWidth(), 2u);
  CCodecMemStream stream;
  EXPECT_FALSE(image.Encode(stream, CodecFormat::Wmf));
  EXPECT_STREQ(image.GetLastError(), "Save WMF not supported");
  EXPECT_EQ(stream.Size(), 0);
}

}  // namespace
