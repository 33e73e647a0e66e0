#include "ui/RatioPresetList.h"

#include <cstdint>
#include <span>
#include <utility>

#include "platform/ProgramPath.h"

RatioPresetList::RatioPresetList() : RatioPresetList(GetProgramDataFolder()) {}

RatioPresetList::RatioPresetList(std::filesystem::path fallbackFolder)
    : m_file(kFileName, RatioPreset::kRecordSize, std::move(fallbackFolder)) {}

bool RatioPresetList::Load() {
  std::vector<std::uint8_t> records;
  switch (m_file.Load(records)) {
    case PresetFileRead::Refused:
      return false;
    case PresetFileRead::Missing:
      return true;
    case PresetFileRead::Read:
      break;
  }
  std::vector<RatioPreset> loaded;
  loaded.reserve(records.size() / RatioPreset::kRecordSize);
  const std::span<const std::uint8_t> bytes(records);
  for (std::size_t at = 0; at + RatioPreset::kRecordSize <= bytes.size(); at += RatioPreset::kRecordSize)
    loaded.push_back(RatioPreset::FromRecord(bytes.subspan(at).first<RatioPreset::kRecordSize>()));
  presets = std::move(loaded);
  return true;
}

bool RatioPresetList::Save() const {
  ByteWriter out;
  for (const RatioPreset& preset : presets) preset.AppendRecord(out);
  return m_file.Save(out.bytes());
}
