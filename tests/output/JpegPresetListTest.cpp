#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "output/JpegPresetList.h"
#include "platform/LittleEndian.h"
#include "tests/common/TestData.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

JpegSavePreset Preset(const char16_t* name, std::int32_t quality, std::int32_t targetKb) {
  JpegSavePreset preset;
  preset.name = name;
  preset.block.quality = quality;
  preset.block.sizePolicy = kPolicyQuality;
  preset.block.targetKb = targetKb;
  return preset;
}

// A file of stored record size r holding the records, each cut or padded
// to r bytes, plus extra trailing bytes.
Bytes PresetFile(std::uint16_t r, const std::vector<JpegSavePreset>& presets, std::size_t extra = 0) {
  Bytes file{static_cast<std::uint8_t>(r & 0xFF), static_cast<std::uint8_t>(r >> 8)};
  for (const JpegSavePreset& preset : presets) {
    ByteWriter record;
    preset.AppendRecord(record);
    Bytes bytes = record.Take();
    bytes.resize(r, 0);
    file.insert(file.end(), bytes.begin(), bytes.end());
  }
  file.resize(file.size() + extra, 0);
  return file;
}

class JpegPresetListTest : public testing::Test {
protected:
  JpegPresetListTest() : root(ScratchDir()), shipped(root / "data"), config(root / "config") {
    std::filesystem::create_directories(shipped);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  }
  ~JpegPresetListTest() override { ::unsetenv("XDG_CONFIG_HOME"); }

  std::filesystem::path UserCopy() const { return config / "Varnel Softwares" / JpegPresetList::kFileName; }
  void WriteUserCopy(const Bytes& bytes) const {
    std::filesystem::create_directories(UserCopy().parent_path());
    WriteFileBytes(UserCopy(), bytes);
  }

  std::filesystem::path root, shipped, config;
};

TEST_F(JpegPresetListTest, ReadsRecordsAndDropsAPartialOne) {
  WriteUserCopy(PresetFile(2432, {Preset(u"Web", 85, 200), Preset(u"Mail", 80, 500)}, 100));
  JpegPresetList list(shipped);
  ASSERT_TRUE(list.Load());
  ASSERT_EQ(list.presets.size(), 2u);
  EXPECT_EQ(list.presets[0].name, u"Web");
  EXPECT_EQ(list.presets[1].block.quality, 80);
  EXPECT_EQ(list.presets[1].block.targetKb, 500);
  EXPECT_EQ(list.presets[1].block.sizePolicy, kPolicyQuality);
  EXPECT_EQ(list.presets[0].block.source, nullptr);
}

TEST_F(JpegPresetListTest, RefusesLargerRecordsAndReadsNoneOfSizeZero) {
  JpegPresetList list(shipped);
  list.presets.push_back(Preset(u"kept", 90, 0));
  WriteUserCopy(PresetFile(2433, {Preset(u"Web", 85, 200)}));
  EXPECT_FALSE(list.Load());
  ASSERT_EQ(list.presets.size(), 1u) << "a refused file keeps what the list held";
  EXPECT_EQ(list.presets[0].name, u"kept");

  WriteUserCopy(PresetFile(0, {}, 5000));
  ASSERT_TRUE(list.Load());
  EXPECT_TRUE(list.presets.empty());

  // A shorter record leaves the tail zero: here the block past its quality.
  WriteUserCopy(PresetFile(64 + 8, {Preset(u"Short", 77, 300)}));
  ASSERT_TRUE(list.Load());
  ASSERT_EQ(list.presets.size(), 1u);
  EXPECT_EQ(list.presets[0].block.quality, 77);
  EXPECT_EQ(list.presets[0].block.targetKb, 0);
}

TEST_F(JpegPresetListTest, TheUserCopyWinsOverTheShippedOne) {
  WriteFileBytes(shipped / JpegPresetList::kFileName, PresetFile(2432, {Preset(u"Shipped", 90, 100)}));
  JpegPresetList list(shipped);
  ASSERT_TRUE(list.Load());
  ASSERT_EQ(list.presets.size(), 1u);
  EXPECT_EQ(list.presets[0].name, u"Shipped");

  WriteUserCopy(PresetFile(2432, {Preset(u"Mine", 70, 50), Preset(u"Mine too", 60, 40)}));
  ASSERT_TRUE(list.Load());
  ASSERT_EQ(list.presets.size(), 2u);
  EXPECT_EQ(list.presets[0].name, u"Mine");
}

// Damaged records: an unterminated name keeps 31 units, out-of-range fields
// are held to their ranges, an unknown policy is none, and stored
// references are never read.
TEST_F(JpegPresetListTest, DamagedFieldsAreChecked) {
  Bytes file = PresetFile(2432, {Preset(u"x", 90, 100)});
  for (std::size_t i = 0; i < 32; ++i) StoreLE16(file.data() + 2 + 2 * i, u'A');
  StoreLE32(file.data() + 2 + 64 + 4, 500);                              // quality
  file[2 + 64 + 24] = 9;                                                 // policy
  StoreLE32(file.data() + 2 + 64 + 12, static_cast<std::uint32_t>(-4));  // softening
  for (std::size_t i = 0; i < 24; ++i) file[2 + 64 + 2088 + i] = 0xEE;
  WriteUserCopy(file);
  JpegPresetList list(shipped);
  ASSERT_TRUE(list.Load());
  ASSERT_EQ(list.presets.size(), 1u);
  const JpegSavePreset& preset = list.presets[0];
  EXPECT_EQ(preset.name, std::u16string(31, u'A'));
  EXPECT_EQ(preset.block.quality, 100);
  EXPECT_EQ(preset.block.sizePolicy, kPolicyNone);
  EXPECT_EQ(preset.block.softening, 0);
  EXPECT_EQ(preset.block.source, nullptr);
  EXPECT_EQ(preset.block.working, nullptr);
}

TEST(JpegSavePreset, StoredRecordRoundTripsWithReferencesAsZero) {
  JpegSavePreset preset = Preset(u"Round", 88, 321);
  preset.block.chromaMode = kChromaFull;
  preset.block.sizeMode = kSizeLongSide;
  preset.block.sizeValue = 1600;
  preset.block.path[0] = u'/';
  CBgraImage* const bogus = reinterpret_cast<CBgraImage*>(0x1234);
  preset.block.working = bogus;
  ByteWriter out;
  preset.AppendRecord(out);
  ASSERT_EQ(out.size(), JpegSavePreset::kRecordSize);
  for (std::size_t i = 64 + 2088; i < 64 + 2112; ++i) EXPECT_EQ(out.bytes()[i], 0) << i;
  EXPECT_EQ(out.bytes()[64], 2);
  EXPECT_EQ(LoadLE32(out.bytes().data() + 64 + 20), 1600u);
  const JpegSavePreset back = JpegSavePreset::FromRecord(
      std::span<const std::uint8_t>(out.bytes()).first<JpegSavePreset::kRecordSize>());
  EXPECT_EQ(back.name, u"Round");
  EXPECT_EQ(back.block.targetKb, 321);
  EXPECT_EQ(back.block.chromaMode, kChromaFull);
  EXPECT_EQ(back.block.path[0], u'/');
}

}  // namespace

namespace {

TEST_F(JpegPresetListTest, TheShippedPresetsLoad) {
  JpegPresetList list;  // the data folder beside the program
  ASSERT_TRUE(list.Load());
  ASSERT_GE(list.presets.size(), 3u);
  for (const JpegSavePreset& preset : list.presets) {
    EXPECT_FALSE(preset.name.empty());
    EXPECT_EQ(preset.block.version, 2);
    EXPECT_GE(preset.block.quality, 50);
  }
}

}  // namespace
