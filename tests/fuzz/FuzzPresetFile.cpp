// The preset files. Input: u8 r, then the file. The file is read by the
// pattern's reader with record size r + 1 and, as "lockratio.set", by the
// ratio preset list; presets that load are saved and must load back the same.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/File.h"
#include "platform/PresetFile.h"
#include "tests/fuzz/FuzzSupport.h"
#include "ui/RatioPresetList.h"

namespace {

std::filesystem::path g_userCopy;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::filesystem::path config = FuzzScratchFile("config");
  std::filesystem::create_directories(config);
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  RatioPresetList list{std::filesystem::path()};
  FuzzCheck(list.GetFilePath(), "the maker folder is made");
  g_userCopy = list.FilePath();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzBytes input(data, size);
  const std::size_t recordSize = input.U8() + 1u;
  const auto bytes = input.Rest();

  CMemFile file(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  std::vector<std::uint8_t> records;
  if (ReadPresetRecords(file, recordSize, records))
    FuzzCheck(records.size() % recordSize == 0, "records are whole");

  WriteFuzzFile(g_userCopy, bytes);
  RatioPresetList list{std::filesystem::path()};
  if (!list.Load()) return 0;
  for (const RatioPreset& preset : list.presets)
    FuzzCheck(preset.name.size() < RatioPreset::kNameField, "a name leaves room for its terminator");
  const std::vector<RatioPreset> loaded = list.presets;
  FuzzCheck(list.GetFilePath() && list.Save(), "the presets are saved");
  RatioPresetList again{std::filesystem::path()};
  FuzzCheck(again.Load() && again.presets == loaded, "saved presets load back the same");
  return 0;
}
