#pragma once
// RatioPresetList: the user's named aspect ratios, kept in "lockratio.set"
// (the preset-file pattern of platform/PresetFile.h with RatioPreset
// records). The lock-ratio dialog edits them; other dialogs only read them.

#include <filesystem>
#include <vector>

#include "platform/PresetFile.h"
#include "ui/RatioPreset.h"

class RatioPresetList {
public:
  static constexpr const char* kFileName = "lockratio.set";

  // fallbackFolder: where the copy that ships with the program is read when
  // the user has none (the data folder beside the program by default).
  RatioPresetList();
  explicit RatioPresetList(std::filesystem::path fallbackFolder);

  // The user copy's path, the maker folder made when missing; see
  // CPresetFile::GetFilePath.
  [[nodiscard]] bool GetFilePath() { return m_file.GetFilePath(); }
  const std::filesystem::path& FilePath() const { return m_file.FilePath(); }
  // Reads the user copy, else the shipped one, into presets (replaced). True
  // with the list unchanged when neither exists; false, the list unchanged,
  // when the file's records are larger than a RatioPreset or it cannot be
  // read.
  [[nodiscard]] bool Load();
  // Writes every preset in list order over the user copy; run GetFilePath
  // first. False, the old file kept, when that has not succeeded or the
  // write fails.
  [[nodiscard]] bool Save() const;

  std::vector<RatioPreset> presets;

private:
  CPresetFile m_file;
};
