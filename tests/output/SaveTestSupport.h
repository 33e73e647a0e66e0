#pragma once
// For the save tests: a file chooser answered from a list, the user's JPEG
// presets written into a config folder, the quality and sampling ImageMagick
// reads from a JPEG, and the entries of a folder.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "output/JpegPresetList.h"
#include "tests/common/TestData.h"
#include "ui/DialogScript.h"
#include "ui/dialogs/FileChooser.h"

class CScriptedChooser final : public IFileChooser {
public:
  bool ChooseOpenPath(std::u16string_view, std::u16string_view, std::filesystem::path&) override {
    return false;
  }
  // The next answer; an empty one, or none, cancels.
  bool ChooseSavePath(std::u16string_view, const std::filesystem::path& startName,
                      std::u16string_view extension, std::filesystem::path& chosen) override {
    startNames.push_back(startName);
    extensions.emplace_back(extension);
    if (answers.empty()) return false;
    chosen = answers.front();
    answers.erase(answers.begin());
    return !chosen.empty();
  }

  std::vector<std::filesystem::path> answers;
  std::vector<std::filesystem::path> startNames;
  std::vector<std::u16string> extensions;
};

inline JpegSavePreset MakePreset(const char16_t* name, std::int32_t quality, std::uint8_t policy,
                                 std::int32_t targetKb) {
  JpegSavePreset preset;
  preset.name = name;
  preset.block.quality = quality;
  preset.block.sizePolicy = policy;
  preset.block.targetKb = targetKb;
  preset.block.metadataMode = kMetadataAll;
  return preset;
}

inline void WriteUserPresets(const std::filesystem::path& configHome,
                             const std::vector<JpegSavePreset>& presets) {
  std::vector<std::uint8_t> file{static_cast<std::uint8_t>(JpegSavePreset::kRecordSize & 0xFF),
                                 static_cast<std::uint8_t>(JpegSavePreset::kRecordSize >> 8)};
  for (const JpegSavePreset& preset : presets) {
    ByteWriter record;
    preset.AppendRecord(record);
    file.insert(file.end(), record.bytes().begin(), record.bytes().end());
  }
  std::filesystem::create_directories(configHome / "Varnel Softwares");
  WriteFileBytes(configHome / "Varnel Softwares" / JpegPresetList::kFileName, file);
}

// "<quality> <sampling factors>" as ImageMagick's identify reads them.
inline std::string JpegQualityOf(const std::filesystem::path& path) {
  const std::string command =
      "identify -format '%Q %[jpeg:sampling-factor]' '" + path.string() + "' 2>/dev/null";
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  std::string out;
  char buffer[256];
  while (pipe && std::fgets(buffer, sizeof buffer, pipe.get())) out += buffer;
  return out;
}

inline void ExpectAnswered(const CDialogScript& script) {
  EXPECT_TRUE(script.Errors().empty()) << (script.Errors().empty() ? std::string() : script.Errors().front());
  EXPECT_EQ(script.Pending(), 0u);
}

// Fills the file system of path with one file until about leave bytes stay
// free.
inline void FillFileSystem(const std::filesystem::path& path, std::uintmax_t leave) {
  const std::filesystem::space_info space = std::filesystem::space(path.parent_path());
  ASSERT_GT(space.available, leave);
  WriteFileBytes(path, std::vector<std::uint8_t>(space.available - leave, 0));
}

inline std::size_t FolderEntries(const std::filesystem::path& folder) {
  return static_cast<std::size_t>(
      std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}
