#include "output/JpegSavePreset.h"

#include <algorithm>
#include <array>

JpegSavePreset JpegSavePreset::FromRecord(std::span<const std::uint8_t, kRecordSize> record) {
  JpegSavePreset preset;
  for (std::size_t i = 0; i + 1 < kNameField; ++i) {
    const char16_t c = LoadLE16(record.data() + 2 * i);
    if (c == 0) break;
    preset.name.push_back(c);
  }
  JpegOptimizeParamsFromBytes(record.subspan<2 * kNameField, JpegOptimizeParams::kStoredSize>(),
                              preset.block);
  return preset;
}

void JpegSavePreset::AppendRecord(ByteWriter& out) const {
  out.Text16(std::u16string_view(name).substr(0, kNameField - 1), kNameField);
  std::array<std::uint8_t, JpegOptimizeParams::kStoredSize> bytes{};
  JpegOptimizeParamsToBytes(block, bytes);
  out.Bytes(bytes);
}
