#pragma once
// TextStyle: how a text layer's text is drawn; stored as a fixed 224-byte
// record with the layer (document body, whole-layer history steps).
// Little-endian:
//   0 128 bytes face, 64 UTF-16 units     128 i32 size (pixels, 1..256)
//   132 u8 bold  133 u8 italic  134 u8 underline  135 u8 alignment (0..2)
//   136 u16 B, G, R, A colour (working space)
//   144 i32 line spacing (percent, -10..70)  148 u8 antialias
//   149 3 reserved   152 i32 charset   156 64 reserved   220 4 reserved
// The reserved bytes are kept as read and written back unchanged.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

struct TextStyle {
  static constexpr std::size_t kSize = 224;
  static constexpr std::size_t kFaceLength = 64;
  static constexpr std::int32_t kMinSize = 1;
  static constexpr std::int32_t kMaxSize = 256;
  static constexpr std::int32_t kMinLineSpacing = -10;
  static constexpr std::int32_t kMaxLineSpacing = 70;
  static constexpr std::uint8_t kMaxAlignment = 2;

  std::array<char16_t, kFaceLength> face{u'T', u'a', u'h', u'o', u'm', u'a'};
  std::int32_t size = 20;
  std::uint8_t bold = 0;
  std::uint8_t italic = 0;
  std::uint8_t underline = 0;
  std::uint8_t alignment = 0;  // 0 left, 1 centre, 2 right
  std::array<std::uint16_t, 4> colour{0, 0, 0, 65535};
  std::int32_t lineSpacing = 20;
  std::uint8_t antialias = 1;
  std::array<std::uint8_t, 3> reserved1{};
  std::int32_t charset = 0;
  std::array<std::uint8_t, 64> reserved2{};
  std::array<std::uint8_t, 4> reserved3{};

  void Encode(std::span<std::uint8_t, kSize> bytes) const;
  // The one place a stored style is checked: the face is cut at its first
  // zero and always ends in one; size, alignment and line spacing are
  // brought into their ranges (a bad alignment becomes left).
  static TextStyle Decode(std::span<const std::uint8_t, kSize> bytes);
};
