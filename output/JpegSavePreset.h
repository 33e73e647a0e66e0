#pragma once
// JpegSavePreset: one named set of JPEG save settings of "jpgsave.set",
// stored as a 2432-byte record:
//
//   0     64  name: 32 UTF-16 units, zero-terminated, zero after the text
//   64  2368  JpegOptimizeParams as stored (JpegOptimizeParamsToBytes)

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "output/JpegOptimizeParams.h"
#include "platform/LittleEndian.h"

struct JpegSavePreset {
  static constexpr std::size_t kNameField = 32;  // units, terminator included
  static constexpr std::size_t kRecordSize = 2 * kNameField + JpegOptimizeParams::kStoredSize;
  static_assert(kRecordSize == 2432);

  // The name ends at its first zero; one that fills the whole field (a
  // damaged file) keeps its first 31 units. The block is validated and its
  // references are null.
  static JpegSavePreset FromRecord(std::span<const std::uint8_t, kRecordSize> record);
  // Appends exactly kRecordSize bytes; a name beyond 31 units is cut there.
  void AppendRecord(ByteWriter& out) const;

  std::u16string name;  // at most 31 units
  JpegOptimizeParams block;
};
