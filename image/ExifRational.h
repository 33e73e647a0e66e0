#pragma once
// A rational as an EXIF item stores it: u32 numerator, then u32 denominator,
// little-endian (after the reader has put the item in that order). Signed
// rationals keep the same bits; SignedNumerator reads them. A zero
// denominator means not set.

#include <cstdint>

#include "platform/LittleEndian.h"

struct ExifRational {
  std::uint32_t numerator = 0;
  std::uint32_t denominator = 0;

  static ExifRational Load(const std::uint8_t* p) { return {LoadLE32(p), LoadLE32(p + 4)}; }
  bool IsSet() const { return denominator != 0; }
  std::int32_t SignedNumerator() const { return static_cast<std::int32_t>(numerator); }
  bool operator==(const ExifRational&) const = default;
};
