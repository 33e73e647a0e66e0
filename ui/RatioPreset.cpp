#include "ui/RatioPreset.h"

#include <algorithm>

RatioPreset RatioPreset::FromRecord(std::span<const std::uint8_t, kRecordSize> record) {
  ByteReader in(record);
  RatioPreset preset;
  preset.name = in.Text16(kNameField);
  if (preset.name.size() >= kNameField) preset.name.resize(kNameField - 1);
  preset.ratioWidth = in.U32();
  preset.ratioHeight = in.U32();
  return preset;
}

void RatioPreset::AppendRecord(ByteWriter& out) const {
  out.Text16(std::u16string_view(name).substr(0, kNameField - 1), kNameField);
  out.U32(ratioWidth);
  out.U32(ratioHeight);
}
