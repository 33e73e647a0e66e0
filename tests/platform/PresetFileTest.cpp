// The preset files: which stored record sizes a reader takes and how, the
// user copy before the shipped one, where saves go, and a failed save.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/PresetFile.h"
#include "tests/common/FileSizeLimit.h"
#include "tests/common/TestData.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A file of the stored size followed by the given body.
Bytes FileOf(std::uint16_t storedSize, const Bytes& body) {
  Bytes file = {static_cast<std::uint8_t>(storedSize), static_cast<std::uint8_t>(storedSize >> 8)};
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

Bytes Counting(std::uint8_t from, std::size_t count) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(from + i);
  return bytes;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(PresetFile, AReaderTakesStoredSizesUpToItsOwn) {
  const Bytes untouched = {0xEE};
  struct Case {
    const char* what;
    Bytes file;
    bool read;
    Bytes records;  // for a refused file: still the untouched marker
  };
  const Case cases[] = {
      {"two records of the reader's size", FileOf(8, Counting(1, 16)), true, Counting(1, 16)},
      {"older, shorter records end in zeros", FileOf(5, Counting(1, 10)), true,
       Concat(Concat(Counting(1, 5), Bytes(3, 0)), Concat(Counting(6, 5), Bytes(3, 0)))},
      {"a partial last record is dropped", FileOf(8, Counting(1, 13)), true, Counting(1, 8)},
      {"a larger record size is refused", FileOf(9, Counting(1, 18)), false, untouched},
      {"record size 0 is an empty file", FileOf(0, Counting(1, 16)), true, {}},
      {"no records", FileOf(8, {}), true, {}},
      {"an empty file", {}, true, {}},
      {"half a size field", {8}, true, {}},
  };
  for (const Case& c : cases) {
    CMemFile file(c.file);
    Bytes records = untouched;
    EXPECT_EQ(ReadPresetRecords(file, 8, records), c.read) << c.what;
    EXPECT_EQ(records, c.records) << c.what;
  }
}

class PresetFileCopies : public ::testing::Test {
protected:
  void SetUp() override {
    const auto root = ScratchDir();
    config = root / "config";
    shipped = root / "data";
    std::filesystem::create_directories(shipped);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  }
  void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }
  std::filesystem::path UserCopy() const { return config / "Varnel Softwares" / "test.set"; }

  std::filesystem::path config;
  std::filesystem::path shipped;
};

TEST_F(PresetFileCopies, TheShippedCopyIsReadUntilTheUserHasOneAndSavesGoToTheUser) {
  CPresetFile presets("test.set", 4, shipped);
  Bytes records = {0xEE};
  EXPECT_EQ(presets.Load(records), PresetFileRead::Missing);
  EXPECT_EQ(records, Bytes{0xEE}) << "no file changes nothing";
  EXPECT_TRUE(std::filesystem::is_directory(config / "Varnel Softwares")) << "the maker folder is made";
  EXPECT_EQ(presets.FilePath(), UserCopy());

  WriteFileBytes(shipped / "test.set", FileOf(4, Counting(1, 4)));
  EXPECT_EQ(presets.Load(records), PresetFileRead::Read);
  EXPECT_EQ(records, Counting(1, 4));

  ASSERT_TRUE(presets.Save(Counting(10, 8)));
  EXPECT_EQ(ReadFileBytes(UserCopy()), FileOf(4, Counting(10, 8)));
  EXPECT_EQ(ReadFileBytes(shipped / "test.set"), FileOf(4, Counting(1, 4)))
      << "the shipped copy is never written";
  EXPECT_EQ(presets.Load(records), PresetFileRead::Read);
  EXPECT_EQ(records, Counting(10, 8));

  // A user copy the reader refuses is not passed over for the shipped one.
  WriteFileBytes(UserCopy(), FileOf(5, Counting(1, 5)));
  EXPECT_EQ(presets.Load(records), PresetFileRead::Refused);
  EXPECT_EQ(records, Counting(10, 8));
  EXPECT_FALSE(presets.Save(Counting(1, 5))) << "no whole number of records";
}

TEST_F(PresetFileCopies, WithoutAPlaceForTheUserCopyNothingIsReadOrWritten) {
  // The config home is a file: the maker folder cannot be made below it.
  WriteFileBytes(config, Bytes{1});
  CPresetFile presets("test.set", 4, shipped);
  WriteFileBytes(shipped / "test.set", FileOf(4, Counting(1, 4)));
  Bytes records;
  EXPECT_EQ(presets.Load(records), PresetFileRead::Refused);
  EXPECT_FALSE(presets.Save(Counting(1, 4)));
}

TEST_F(PresetFileCopies, AFailedSaveKeepsTheOldPresets) {
  CPresetFile presets("test.set", 4, shipped);
  ASSERT_TRUE(presets.GetFilePath());
  ASSERT_TRUE(presets.Save(Counting(1, 8)));
  {
    FileSizeLimit limit(6);
    EXPECT_FALSE(presets.Save(Counting(20, 40)));
  }
  EXPECT_EQ(ReadFileBytes(UserCopy()), FileOf(4, Counting(1, 8)));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(UserCopy().parent_path()), {}), 1)
      << "no temporary file is left";
}

}  // namespace
