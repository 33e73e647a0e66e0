#pragma once
// The 40-byte information header of a device-independent bitmap, as it
// starts a codec image's packed block and follows a BMP file header. Stored
// and loaded field by field, little-endian.

#include <cstdint>

#include "platform/LittleEndian.h"

struct BitmapInfoHeader {
  static constexpr std::uint32_t kSize = 40;

  std::uint32_t biSize = kSize;
  std::int32_t biWidth = 0;
  std::int32_t biHeight = 0;
  std::uint16_t biPlanes = 0;
  std::uint16_t biBitCount = 0;
  std::uint32_t biCompression = 0;
  std::uint32_t biSizeImage = 0;
  std::int32_t biXPelsPerMeter = 0;
  std::int32_t biYPelsPerMeter = 0;
  std::uint32_t biClrUsed = 0;
  std::uint32_t biClrImportant = 0;

  void Store(std::uint8_t* p) const {
    StoreLE32(p, biSize);
    StoreLE32(p + 4, static_cast<std::uint32_t>(biWidth));
    StoreLE32(p + 8, static_cast<std::uint32_t>(biHeight));
    StoreLE16(p + 12, biPlanes);
    StoreLE16(p + 14, biBitCount);
    StoreLE32(p + 16, biCompression);
    StoreLE32(p + 20, biSizeImage);
    StoreLE32(p + 24, static_cast<std::uint32_t>(biXPelsPerMeter));
    StoreLE32(p + 28, static_cast<std::uint32_t>(biYPelsPerMeter));
    StoreLE32(p + 32, biClrUsed);
    StoreLE32(p + 36, biClrImportant);
  }
  static BitmapInfoHeader Load(const std::uint8_t* p) {
    BitmapInfoHeader h;
    h.biSize = LoadLE32(p);
    h.biWidth = static_cast<std::int32_t>(LoadLE32(p + 4));
    h.biHeight = static_cast<std::int32_t>(LoadLE32(p + 8));
    h.biPlanes = LoadLE16(p + 12);
    h.biBitCount = LoadLE16(p + 14);
    h.biCompression = LoadLE32(p + 16);
    h.biSizeImage = LoadLE32(p + 20);
    h.biXPelsPerMeter = static_cast<std::int32_t>(LoadLE32(p + 24));
    h.biYPelsPerMeter = static_cast<std::int32_t>(LoadLE32(p + 28));
    h.biClrUsed = LoadLE32(p + 32);
    h.biClrImportant = LoadLE32(p + 36);
    return h;
  }
};
static_assert(sizeof(BitmapInfoHeader) == BitmapInfoHeader::kSize);
