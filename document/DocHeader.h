#pragma once
// DocHeader: the 12 bytes that open a document body.
//   0 u8 version (1; ignored on load)   1 u8 header size (12; anything else
//   is refused)   2 u8 layer count   3 u8 mask count   4 u8 selection present
//   5 u8 current layer   6 u16 width   8 u16 height   10 u16 reserved (0)

#include <cstddef>
#include <cstdint>
#include <span>

struct DocHeader {
  static constexpr std::size_t kSize = 12;
  static constexpr std::uint8_t kVersion = 1;

  std::uint8_t version = kVersion;
  std::uint8_t headerSize = kSize;
  std::uint8_t layerCount = 0;
  std::uint8_t maskCount = 0;
  std::uint8_t selectionPresent = 0;
  std::uint8_t currentLayer = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;

  void Encode(std::span<std::uint8_t, kSize> bytes) const;
  // 0 when the header size byte is not 12.
  [[nodiscard]] static int Decode(std::span<const std::uint8_t, kSize> bytes, DocHeader& header);
};
