#pragma once
// JpegPresetList: the named JPEG save settings of "jpgsave.set" (the
// preset-file pattern of platform/PresetFile.h with JpegSavePreset records),
// read by the save chooser and the batch dialog. The program never writes
// them: the copy in the data folder ships with it, and a user copy in the
// maker folder, when present, takes its place.

#include <filesystem>
#include <vector>

#include "output/JpegSavePreset.h"
#include "platform/PresetFile.h"

class JpegPresetList {
public:
  static constexpr const char* kFileName = "jpgsave.set";

  // fallbackFolder: where the shipped copy is read when the user has none
  // (the data folder beside the program by default).
  JpegPresetList();
  explicit JpegPresetList(std::filesystem::path fallbackFolder);

  // Reads the user copy, else the shipped one, into presets (replaced). True
  // with the list unchanged when neither exists; false, the list unchanged,
  // when the file's records are larger than a JpegSavePreset (a stored size
  // of 2433 or more) or it cannot be read. A shorter stored size leaves the
  // tail of each record zero; a partial last record is dropped; a stored
  // size of 0 gives no presets.
  [[nodiscard]] bool Load();

  std::vector<JpegSavePreset> presets;

private:
  CPresetFile m_file;
};
