#pragma once
// One kept property item of an image file (an EXIF, TIFF or GPS entry), in
// the numbering and little-endian value order of the EXIF reader. A value of
// up to 254 bytes lives inline, a longer one in a value block; either is
// followed by a NUL, so texts can be read as terminated bytes.

#include <array>
#include <cstdint>
#include <memory>
#include <span>

class ImagePropertyRecord {
public:
  static constexpr std::uint32_t kInlineBytes = 256;

  // Element kinds.
  static constexpr std::uint32_t kKindOther = 0;
  static constexpr std::uint32_t kKindShort = 1;
  static constexpr std::uint32_t kKindLong = 2;
  static constexpr std::uint32_t kKindRational = 4;
  static constexpr std::uint32_t kKindBytes = 5;

  // The kind of an EXIF/TIFF type: 5 for BYTE and ASCII, 1 for SHORT, 4 for
  // RATIONAL and SRATIONAL, 0 for anything else.
  static std::uint32_t KindOfType(std::uint16_t type);

  // Stores the value (a copy) and sets count and length from it; 0 when the
  // value block cannot be allocated, leaving no value.
  [[nodiscard]] int SetData(std::span<const std::uint8_t> value);
  // The value's length bytes.
  std::span<const std::uint8_t> Value() const {
    return {valueBlock ? valueBlock.get() : inlineValue.data(), length};
  }

  std::array<std::uint8_t, kInlineBytes> inlineValue{};
  std::unique_ptr<std::uint8_t[]> valueBlock;  // only for values above 254 bytes
  std::uint32_t id = 0;
  std::uint32_t kind = kKindOther;
  std::uint16_t type = 0;
  // length / 2 for kind 1, / 4 for kind 2, / 8 for kind 4, else length.
  std::uint32_t count = 0;
  std::uint32_t length = 0;
};
