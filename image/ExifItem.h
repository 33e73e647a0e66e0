#pragma once
// One entry of an image file's metadata as the EXIF reader lists it: the
// flat numbering of the platform's property items (EXIF, TIFF and GPS tags as
// they are, thumbnail tags in 0x50xx) and the value in little-endian element
// order.

#include <cstdint>
#include <vector>

struct ExifItem {
  std::uint32_t id = 0;
  std::uint16_t type = 0;
  // The value's size in bytes, as the file declares it.
  std::uint32_t length = 0;
  // The value; empty when length is above CExifReader::kMaxValueBytes.
  std::vector<std::uint8_t> value;
};
