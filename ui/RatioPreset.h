#pragma once
// RatioPreset: one named aspect ratio (width : height) of "lockratio.set",
// stored as a 72-byte record:
//
//   0   64  name: 32 UTF-16 units, zero-terminated, zero after the text
//   64   4  u32 ratio width
//   68   4  u32 ratio height

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/LittleEndian.h"

struct RatioPreset {
  static constexpr std::size_t kRecordSize = 72;
  static constexpr std::size_t kNameField = 32;  // units, terminator included

  // A record's name ends at its first zero; one that fills the whole field
  // (a damaged file) keeps its first 31 units.
  static RatioPreset FromRecord(std::span<const std::uint8_t, kRecordSize> record);
  // Appends exactly kRecordSize bytes; a name beyond 31 units is cut there.
  void AppendRecord(ByteWriter& out) const;

  bool operator==(const RatioPreset&) const = default;

  std::u16string name;  // at most 31 units
  std::uint32_t ratioWidth = 0;
  std::uint32_t ratioHeight = 0;
};
