#pragma once
// The TIFF field types as the EXIF reader and writer meet them: the size of
// one element, and the turn of a value between the two byte orders, element
// by element (a rational is two 32-bit halves). The turn is its own inverse,
// so it serves reading and writing alike.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

// Bytes per element of a type; 0 for a type the readers do not know.
inline std::uint32_t ExifElementSize(std::uint16_t type) {
  switch (type) {
    case 1:  // BYTE
    case 2:  // ASCII
    case 6:  // SBYTE
    case 7:  // UNDEFINED
      return 1;
    case 3:  // SHORT
    case 8:  // SSHORT
      return 2;
    case 4:   // LONG
    case 9:   // SLONG
    case 11:  // FLOAT
    case 13:  // IFD
      return 4;
    case 5:   // RATIONAL
    case 10:  // SRATIONAL
    case 12:  // DOUBLE
      return 8;
    default:
      return 0;
  }
}

// Reverses the bytes of each element of a value of that type; BYTE, ASCII
// and UNDEFINED values stay as they are.
inline void SwapExifElementOrder(std::uint16_t type, std::span<std::uint8_t> value) {
  std::size_t size = 0;
  switch (type) {
    case 3:
    case 8:
      size = 2;
      break;
    case 4:
    case 9:
    case 11:
    case 13:
    case 5:
    case 10:
      size = 4;
      break;
    case 12:
      size = 8;
      break;
    default:
      return;
  }
  for (std::size_t i = 0; i + size <= value.size(); i += size) std::reverse(&value[i], &value[i] + size);
}
