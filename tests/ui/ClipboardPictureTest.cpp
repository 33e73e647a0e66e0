// Clipboard bitmaps as pasted pictures: the formats read, and damaged
// blocks refused before a pixel is read.

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "image/BgraImage.h"
#include "image/PixelBlock.h"
#include "platform/LittleEndian.h"
#include "ui/ClipboardPicture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Layout {
  std::int32_t width = 3;
  std::int32_t height = 2;  // negative: top-down
  std::uint16_t bits = 32;
  std::uint32_t compression = 0;
  std::uint32_t headerSize = 40;
  bool sizeImage = true;   // biSizeImage set to the pixel bytes
  std::uint32_t gap = 0;   // bytes between header and pixels (masks)
  std::uint8_t alpha = 0;  // the alpha of every pixel, or
  bool varyAlpha = false;  // alpha 10 x (x + 1)
};

// Pixel (x, y) of the picture top-down: B = x, G = y, R = 100 + x + y.
Bytes MakeDib(const Layout& l) {
  const std::uint32_t w = static_cast<std::uint32_t>(l.width < 0 ? -l.width : l.width);
  const std::uint32_t h = static_cast<std::uint32_t>(l.height < 0 ? -l.height : l.height);
  const std::uint32_t row = l.bits == 24 ? (3 * w + 3) / 4 * 4 : 4 * w;
  Bytes b(l.headerSize + l.gap + std::size_t{row} * h, 0);
  StoreLE32(&b[0], l.headerSize);
  StoreLE32(&b[4], static_cast<std::uint32_t>(l.width));
  StoreLE32(&b[8], static_cast<std::uint32_t>(l.height));
  StoreLE16(&b[12], 1);
  StoreLE16(&b[14], l.bits);
  StoreLE32(&b[16], l.compression);
  StoreLE32(&b[20], l.sizeImage ? row * h : 0);
  for (std::uint32_t r = 0; r < h; ++r) {
    const std::uint32_t y = l.height < 0 ? r : h - 1 - r;
    std::uint8_t* p = &b[l.headerSize + l.gap + std::size_t{r} * row];
    for (std::uint32_t x = 0; x < w; ++x, p += l.bits / 8) {
      p[0] = static_cast<std::uint8_t>(x);
      p[1] = static_cast<std::uint8_t>(y);
      p[2] = static_cast<std::uint8_t>(100 + x + y);
      if (l.bits == 32) p[3] = l.varyAlpha ? static_cast<std::uint8_t>(10 * (x + 1)) : l.alpha;
    }
  }
  return b;
}

}  // namespace

TEST(ClipboardPicture, ReadsBothDepthsRowOrdersAndHeaders) {
  struct Case {
    const char* name;
    Layout layout;
    bool v5;
    bool alphaKept;
  };
  const Case cases[] = {
      {"32 bits bottom-up, uniform alpha 0 is opaque", {}, false, false},
      {"32 bits top-down", {.height = -2, .alpha = 77}, false, false},
      {"24 bits with padded rows", {.width = 5, .bits = 24}, false, false},
      {"24 bits top-down, no image size", {.height = -2, .bits = 24, .sizeImage = false}, false, false},
      {"varying alpha is kept", {.varyAlpha = true}, false, true},
      {"bit fields after a 40-byte header",
       {.compression = 3, .sizeImage = false, .gap = 12, .varyAlpha = true},
       false,
       false},
      {"V5 header bottom-up", {.headerSize = 124, .varyAlpha = true}, true, true},
      {"V5 header top-down", {.height = -2, .headerSize = 124, .varyAlpha = true}, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CBgraImage picture;
    ASSERT_EQ(DecodeClipboardDib(MakeDib(c.layout), c.v5, picture), ClipboardPictureResult::Read);
    const std::uint32_t w = static_cast<std::uint32_t>(c.layout.width);
    ASSERT_EQ(picture.width, w);
    ASSERT_EQ(picture.height, 2u);
    for (std::uint32_t y = 0; y < 2; ++y) {
      for (std::uint32_t x = 0; x < w; ++x) {
        const std::uint8_t* p = picture.At(x, y);
        EXPECT_EQ(p[0], x);
        EXPECT_EQ(p[1], y);
        EXPECT_EQ(p[2], 100 + x + y);
        EXPECT_EQ(p[3], c.alphaKept ? 10 * (x + 1) : 255);
      }
    }
  }
}

TEST(ClipboardPicture, RefusesOtherDepthsAndDamagedBlocks) {
  CBgraImage picture;
  EXPECT_EQ(DecodeClipboardDib(MakeDib({.bits = 16}), false, picture), ClipboardPictureResult::Unsupported);
  EXPECT_EQ(DecodeClipboardDib(MakeDib({.bits = 8}), true, picture), ClipboardPictureResult::Unsupported);

  struct Damage {
    const char* name;
    Bytes block;
    bool v5 = false;
  };
  std::vector<Damage> damaged;
  damaged.push_back({"shorter than a header", Bytes(39, 0)});
  Bytes b = MakeDib({});
  StoreLE32(&b[0], static_cast<std::uint32_t>(b.size() + 1));
  damaged.push_back({"header size beyond the block", b});
  b = MakeDib({});
  StoreLE32(&b[0], 12);
  damaged.push_back({"header size below 40", b});
  b = MakeDib({});
  StoreLE32(&b[4], static_cast<std::uint32_t>(INT_MIN));
  damaged.push_back({"width INT_MIN", b});
  b = MakeDib({});
  StoreLE32(&b[8], static_cast<std::uint32_t>(INT_MIN));
  damaged.push_back({"height INT_MIN", b, true});
  b = MakeDib({});
  StoreLE32(&b[4], kMaxImageSide + 1);
  damaged.push_back({"width beyond the limit", b});
  b = MakeDib({});
  StoreLE32(&b[8], 0);
  damaged.push_back({"no rows", b});
  b = MakeDib({.sizeImage = false});
  b.pop_back();
  damaged.push_back({"rows past the end", b});
  b = MakeDib({});
  StoreLE32(&b[20], static_cast<std::uint32_t>(b.size() + 4));
  damaged.push_back({"image size beyond the block", b});
  b = MakeDib({});
  StoreLE32(&b[20], static_cast<std::uint32_t>(b.size() - 8));
  damaged.push_back({"pixel offset inside the header", b});
  b = MakeDib({.compression = 3, .sizeImage = false, .gap = 12});
  b.resize(b.size() - 12);
  damaged.push_back({"bit fields without their masks", b});
  b = MakeDib({.width = 1000, .height = 1000});
  b.resize(2000);
  damaged.push_back({"a large picture cut short", b, true});
  for (const Damage& d : damaged) {
    SCOPED_TRACE(d.name);
    CBgraImage untouched;
    EXPECT_EQ(DecodeClipboardDib(d.block, d.v5, untouched), ClipboardPictureResult::Damaged);
    EXPECT_TRUE(untouched.IsEmpty());
  }
}
