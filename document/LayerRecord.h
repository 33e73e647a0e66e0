#pragma once
// LayerRecord: the 80-byte stored form of a layer's properties, inside the
// document body and in the layer-list history step. Little-endian:
//   0 u8 version (1)          1 u8 record size (78 is written; a reader
//   2 i16 x   4 i16 y           reads 80 bytes and refuses a value above 80)
//   6 u8 has mask (ignored on load)   7 u8 reserved
//   8 64 bytes name, 32 UTF-16 units
//   72 u8 opacity  73 u8 blend mode  74 u8 visible  75 u8 floating (low byte)
//   76 u32 id

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

class CBFLayer;

struct LayerRecord {
  static constexpr std::size_t kSize = 80;
  static constexpr std::uint8_t kVersion = 1;
  static constexpr std::uint8_t kWrittenSize = 78;
  static constexpr std::size_t kNameLength = 32;

  std::uint8_t version = kVersion;
  std::uint8_t recordSize = kWrittenSize;
  std::int16_t x = 0;
  std::int16_t y = 0;
  std::uint8_t hasMask = 0;
  std::array<char16_t, kNameLength> name{};  // always terminated, zero after the text
  std::uint8_t opacity = 255;
  std::uint8_t blendMode = 0;
  std::uint8_t visible = 1;
  std::uint8_t floating = 1;
  std::uint32_t id = 0;

  // The record of a layer; 0 when its position does not fit 16 bits.
  [[nodiscard]] static int FromLayer(const CBFLayer& layer, LayerRecord& record);
  void Encode(std::span<std::uint8_t, kSize> bytes) const;
  // 0 when the size byte is above 80. The name is cut at its first zero and
  // always ends in one.
  [[nodiscard]] static int Decode(std::span<const std::uint8_t, kSize> bytes, LayerRecord& record);

  // Sets floating, visible, opacity, blend mode, position and name of a
  // layer (not its id, mask or pixels).
  void ApplyProperties(CBFLayer& layer) const;
};
