#include "output/JpegPresetList.h"

#include <cstdint>
#include <span>
#include <utility>

#include "platform/ProgramPath.h"

JpegPresetList::JpegPresetList() : JpegPresetList(GetProgramDataFolder()) {}

JpegPresetList::JpegPresetList(std::filesystem::path fallbackFolder)
    : m_file(kFileName, JpegSavePreset::kRecordSize, std::move(fallbackFolder)) {}

bool JpegPresetList::Load() {
  std::vector<std::uint8_t> records;
  switch (m_file.Load(records)) {
    case PresetFileRead::Refused:
      return false;
    case PresetFileRead::Missing:
      return true;
    case PresetFileRead::Read:
      break;
  }
  std::vector<JpegSavePreset> loaded;
  loaded.reserve(records.size() / JpegSavePreset::kRecordSize);
  const std::span<const std::uint8_t> bytes(records);
  for (std::size_t at = 0; at + JpegSavePreset::kRecordSize <= bytes.size();
       at += JpegSavePreset::kRecordSize)
    loaded.push_back(JpegSavePreset::FromRecord(bytes.subspan(at).first<JpegSavePreset::kRecordSize>()));
  presets = std::move(loaded);
  return true;
}
