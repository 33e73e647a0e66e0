#pragma once
// Small images and documents for the document tests.

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "document/BFDoc.h"
#include "document/TextLayer.h"
#include "image/BgraImage16.h"

using Pixel16 = std::array<std::uint16_t, 4>;

inline CBgraImage16 FilledImage(std::uint32_t width, std::uint32_t height, Pixel16 pixel) {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(width, height));
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
    for (int c = 0; c < 4; ++c) image.pixels[4 * i + c] = pixel[c];
  }
  return image;
}

inline Pixel16 PixelOf(const CBgraImage16& image, std::uint32_t x, std::uint32_t y) {
  const std::uint16_t* p = image.At(x, y);
  return {p[0], p[1], p[2], p[3]};
}

inline void SetPixel(CBgraImage16& image, std::uint32_t x, std::uint32_t y, Pixel16 pixel) {
  std::uint16_t* p = image.At(x, y);
  for (int c = 0; c < 4; ++c) p[c] = pixel[c];
}

constexpr Pixel16 kOpaqueGrey{30000, 30000, 30000, 65535};
constexpr Pixel16 kClear{0, 0, 0, 0};

// A document with an opaque base layer of the given size.
inline void MakeBase(CBFDoc& doc, std::uint32_t width, std::uint32_t height, Pixel16 pixel = kOpaqueGrey) {
  ASSERT_TRUE(doc.InsertLayer(FilledImage(width, height, pixel), u"base", -1));
}

// A document with every kind of content.
inline void FillDocument(CBFDoc& doc) {
  MakeBase(doc, 6, 4);
  auto text = std::make_unique<CTextLayer>();
  text->m_image = FilledImage(2, 2, {1, 2, 3, 40000});
  text->SetText(u"caption");
  text->SetName(u"text");
  doc.m_layers.push_back(std::move(text));
  doc.m_currentLayer = 1;
  ASSERT_TRUE(doc.m_selection.Create(6, 4));
  std::fill_n(doc.m_selection.pixels, doc.m_selection.byteSize, std::uint8_t{200});
  auto mask = std::make_unique<MaskRecord>();
  ASSERT_TRUE(mask->plane.Create(2, 3));
  std::fill_n(mask->plane.pixels, mask->plane.byteSize, std::uint8_t{9});
  ASSERT_TRUE(mask->thumbnail.Create(4, 4));
  mask->SetName(u"Lastarea");
  mask->x = 1;
  mask->documentWidth = 6;
  doc.m_masks.push_back(std::move(mask));
  doc.SetPath(u"/home/me/photo.bfdoc");
}
