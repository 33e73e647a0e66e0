// The JPEG preset file "jpgsave.set" as the save chooser and the batch
// dialog read it. Every preset that loads has a terminated name, a block
// within its ranges and no image references; stored again, it reads back
// the same.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "output/JpegPresetList.h"
#include "platform/LittleEndian.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

std::filesystem::path g_userCopy;

std::vector<std::uint8_t> Stored(const JpegSavePreset& preset) {
  ByteWriter out;
  preset.AppendRecord(out);
  return out.Take();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::filesystem::path config = FuzzScratchFile("jpeg-presets-config");
  std::filesystem::create_directories(config / "Varnel Softwares");
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  g_userCopy = config / "Varnel Softwares" / JpegPresetList::kFileName;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  WriteFuzzFile(g_userCopy, std::span<const std::uint8_t>(data, size));
  JpegPresetList list{std::filesystem::path()};
  if (!list.Load()) return 0;
  for (const JpegSavePreset& preset : list.presets) {
    FuzzCheck(preset.name.size() < JpegSavePreset::kNameField, "a name leaves room for its terminator");
    const JpegOptimizeParams& block = preset.block;
    FuzzCheck(block.quality >= 1 && block.quality <= 100, "the quality is in range");
    FuzzCheck(block.softening >= 0 && block.softening <= 100, "the softening is in range");
    FuzzCheck(block.sizePolicy <= kPolicyQuality && block.chromaMode <= kChromaDetect, "modes are known");
    FuzzCheck(block.targetKb >= 0 && block.path.back() == 0, "the target and the path are sound");
    FuzzCheck(!block.source && !block.working && !block.third, "stored references are never read");
    const std::vector<std::uint8_t> stored = Stored(preset);
    FuzzCheck(stored.size() == JpegSavePreset::kRecordSize, "a record is whole");
    const JpegSavePreset again = JpegSavePreset::FromRecord(
        std::span<const std::uint8_t>(stored).first<JpegSavePreset::kRecordSize>());
    FuzzCheck(Stored(again) == stored, "a stored preset reads back the same");
  }
  return 0;
}
