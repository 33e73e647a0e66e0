#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "album/PlaceNameList.h"
#include "album/SearchNode.h"
#include "platform/LittleEndian.h"
#include "tests/common/FileSizeLimit.h"
#include "tests/common/TestData.h"

namespace {

// A place node as the search page makes it: centre in degrees x 10000 and
// the tolerance of its resolution (1000 for 0.1 degree, 200 for 0.02).
std::unique_ptr<CSearchNode> MakePlace(std::int32_t latitude, std::int32_t longitude,
                                       std::int32_t tolerance) {
  auto node = std::make_unique<CSearchNode>();
  node->hasCriteria = 1;
  node->criteria.slots[kSlotLatitude] = SearchCondition::Make(ConditionKind::Near, latitude, tolerance);
  node->criteria.slots[kSlotLongitude] = SearchCondition::Make(ConditionKind::Near, longitude, tolerance);
  return node;
}

class PlaceNames : public ::testing::Test {
protected:
  void SetUp() override {
    const auto root = ScratchDir();
    config = root / "config";
    shipped = root / "data";
    std::filesystem::create_directories(shipped);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  }
  void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }
  std::filesystem::path UserCopy() const { return config / "Varnel Softwares" / "gpsname.set"; }

  std::filesystem::path config;
  std::filesystem::path shipped;
};

TEST_F(PlaceNames, NamesFollowPositionAndResolution) {
  PlaceNameList names(shipped);
  const auto coarse = MakePlace(488584, -22945, 1000);
  names.SetName(*coarse, u"Paris");
  EXPECT_EQ(names.Find(*coarse), 0);
  // The 0.02-degree places under it are not named, nor the reverse.
  EXPECT_EQ(names.Find(*MakePlace(488584, -22945, 200)), -1);
  // A centre shifted by less than 0.1 degree keeps the name; 0.1 loses it.
  EXPECT_EQ(names.Find(*MakePlace(488584 + 999, -22945 - 999, 1000)), 0);
  EXPECT_EQ(names.Find(*MakePlace(488584 + 1000, -22945, 1000)), -1);
  // Renaming replaces the name in the place's one record; an empty name stays.
  names.SetName(*MakePlace(488600, -22900, 1000), u"");
  ASSERT_EQ(names.records.size(), 1u);
  EXPECT_EQ(names.records[0].Name(), u"");
  names.SetName(*MakePlace(488600, -22900, 200), std::u16string(40, u'x'));
  ASSERT_EQ(names.records.size(), 2u);
  EXPECT_EQ(names.records[1].Name(), std::u16string(31, u'x'));

  // Centres read from a file at the ends of 32 bits do not overflow.
  PlaceNameRecord far;
  far.latitude = SearchCondition::Make(ConditionKind::Near, std::numeric_limits<std::int32_t>::min(), 1000);
  far.longitude = far.latitude;
  names.records = {far};
  EXPECT_EQ(names.Find(*MakePlace(std::numeric_limits<std::int32_t>::max(), 0, 1000)), -1);
}

TEST_F(PlaceNames, SavedNamesLoadBackAndAFailedSaveKeepsTheFile) {
  PlaceNameList names(shipped);
  ASSERT_TRUE(names.MakeFilePath());
  names.SetName(*MakePlace(-338688, -1512093, 1000), u"Sydney");
  names.SetName(*MakePlace(488584, -22945, 200), u"Tower");
  ASSERT_TRUE(names.Save());
  const std::vector<std::uint8_t> saved = ReadFileBytes(UserCopy());
  ASSERT_EQ(saved.size(), 2u + 2 * 344);
  EXPECT_EQ(LoadLE16(saved.data()), 344);
  EXPECT_EQ(LoadLE32(saved.data() + 2 + 4), static_cast<std::uint32_t>(-338688));
  EXPECT_EQ(LoadLE16(saved.data() + 2 + 280), u'S');

  PlaceNameList loaded(shipped);
  ASSERT_TRUE(loaded.Load());
  ASSERT_EQ(loaded.records.size(), 2u);
  EXPECT_EQ(loaded.records[1].Name(), u"Tower");
  EXPECT_EQ(loaded.Find(*MakePlace(-338688, -1512093, 1000)), 0);

  loaded.SetName(*MakePlace(0, 1, 1000), u"More");
  {
    FileSizeLimit limit(100);
    EXPECT_FALSE(loaded.Save());
  }
  EXPECT_EQ(ReadFileBytes(UserCopy()), saved);
}

TEST_F(PlaceNames, ShortRecordsDamagedSizesAndTheShippedCopy) {
  // Records of 300 bytes: the name's later characters are zero.
  ByteWriter file;
  file.U16(300);
  PlaceNameRecord record;
  record.latitude = SearchCondition::Make(ConditionKind::Near, 10000, 1000);
  record.SetName(std::u16string(31, u'q'));
  ByteWriter body;
  record.Write(body);
  file.Bytes(std::span(body.bytes()).first(300));
  WriteFileBytes(shipped / "gpsname.set", file.bytes());
  PlaceNameList names(shipped);
  ASSERT_TRUE(names.Load());
  ASSERT_EQ(names.records.size(), 1u);
  EXPECT_EQ(names.records[0].latitude.low, 10000);
  EXPECT_EQ(names.records[0].Name(), std::u16string(10, u'q'));

  // The user copy comes first. Size 0, size 345 and a lone byte give no names.
  std::filesystem::create_directories(UserCopy().parent_path());
  const std::vector<std::vector<std::uint8_t>> damaged = {{0, 0, 1, 2, 3}, {0x59, 0x01, 1, 2, 3}, {0x58}};
  for (const auto& bytes : damaged) {
    WriteFileBytes(UserCopy(), bytes);
    PlaceNameList list(shipped);
    (void)list.Load();  // refused or empty: either way no names
    EXPECT_TRUE(list.records.empty()) << bytes.size();
  }
  // An unterminated name keeps 31 characters.
  ByteWriter full;
  full.U16(344);
  for (int i = 0; i < 280; ++i) full.U8(0);
  full.Text16(std::u16string(32, u'z'), 32);
  WriteFileBytes(UserCopy(), full.bytes());
  ASSERT_TRUE(names.Load());
  ASSERT_EQ(names.records.size(), 1u);
  EXPECT_EQ(names.records[0].Name(), std::u16string(31, u'z'));
}

}  // namespace
