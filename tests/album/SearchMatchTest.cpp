#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "album/PhotoInfoRecord.h"
#include "album/SearchCriteria.h"
#include "album/SearchNode.h"
#include "platform/LittleEndian.h"

namespace {

SearchCondition Words(std::u16string_view text) {
  SearchCondition condition = SearchCondition::Make(ConditionKind::Words, 0, 0);
  condition.SetText(text);
  return condition;
}

// A photo with camera data taken on 2011-12-24, ISO 200, flash bits 1.
PhotoInfoRecord CameraPhoto() {
  PhotoInfoRecord record;
  record.imageType = 1;
  record.width = 4000;
  record.height = 3000;
  record.fileSize = 2'000'000;
  record.flagsAndDate = PhotoInfoRecord::kCameraDataBit | (12u << 1) | (24u << 5) | (2011u << 10);
  record.shootingBits = 1u << 6;
  record.isoPer50 = 4;
  record.fNumberX10 = 28;
  record.exposureNumerator = 1;
  record.exposureDenominator = 250;
  record.latitude = 48.8584;
  record.longitude = -2.2945;
  return record;
}

TEST(SearchMatchTest, ConditionsTestTheirValue) {
  struct Case {
    const char* what;
    SearchCondition condition;
    std::int64_t value;
    const char16_t* text;  // null: no text at all
    bool passes;
  };
  const Case cases[] = {
      {"substring", Words(u"flower"), 0, u"red_flower_01", true},
      {"substring is case-sensitive", Words(u"flower"), 0, u"Red_Flower_01", false},
      {"every word a substring", Words(u"IMG 0012"), 0, u"IMG_0012", true},
      {"one word missing", Words(u"IMG 0013"), 0, u"IMG_0012", false},
      {"whole text without case", Words(u"img_0012"), 0, u"IMG_0012", true},
      {"no words pass", Words(u"   "), 0, nullptr, true},
      {"words need a text", Words(u"flower"), 0, nullptr, false},
      {"range low end", SearchCondition::Make(ConditionKind::Range, 100, 200), 100, nullptr, true},
      {"range inside", SearchCondition::Make(ConditionKind::Range, 100, 200), 199, nullptr, true},
      {"range high end excluded", SearchCondition::Make(ConditionKind::Range, 100, 200), 200, nullptr, false},
      {"date range", SearchCondition::Make(ConditionKind::DateRange, 20111200, 20111232), 20111224, nullptr,
       true},
      {"equal", SearchCondition::Make(ConditionKind::Equal, 1, 0), 1, nullptr, true},
      {"not equal", SearchCondition::Make(ConditionKind::Equal, 1, 0), 0, nullptr, false},
      {"near centre 0 passes all", SearchCondition::Make(ConditionKind::Near, 0, 10), 123456, nullptr, true},
      {"near within", SearchCondition::Make(ConditionKind::Near, 1000, 200), 1200, nullptr, true},
      {"near beyond", SearchCondition::Make(ConditionKind::Near, 1000, 200), 799, nullptr, false},
      // Bounds read from a file: the difference must not overflow.
      {"near at the 32-bit ends",
       SearchCondition::Make(ConditionKind::Near, std::numeric_limits<std::int32_t>::min(), 5),
       std::numeric_limits<std::int32_t>::max(), nullptr, false},
      {"unknown kind passes", SearchCondition::Make(static_cast<ConditionKind>(5), 7, 7), 0, nullptr, true},
  };
  for (const Case& c : cases) {
    const std::u16string_view text = c.text ? std::u16string_view(c.text) : std::u16string_view();
    EXPECT_EQ(c.condition.Test(c.value, c.text ? &text : nullptr), c.passes) << c.what;
  }
}

TEST(SearchMatchTest, PhotoRecordsAgainstSlots) {
  struct Case {
    const char* what;
    std::size_t slot;
    SearchCondition condition;
    bool camera;  // false: the same photo without camera data
    bool passes;
  };
  const auto range = [](std::int32_t low, std::int32_t high) {
    return SearchCondition::Make(ConditionKind::Range, low, high);
  };
  const auto equal = [](std::int32_t v) { return SearchCondition::Make(ConditionKind::Equal, v, 0); };
  const Case cases[] = {
      {"title", kSlotTitle, Words(u"0012"), true, true},
      {"type", kSlotImageType, equal(1), true, true},
      {"longer side", kSlotLongerSide, range(3500, 5000), true, true},
      {"landscape", kSlotLandscape, equal(1), true, true},
      {"file size", kSlotFileSize, range(1'000'000, 3'000'000), true, true},
      {"December", kSlotDate, SearchCondition::Make(ConditionKind::DateRange, 20111200, 20111232), true,
       true},
      {"date without camera data is 0", kSlotDate,
       SearchCondition::Make(ConditionKind::DateRange, 20111200, 20111232), false, false},
      {"ISO 200 in units of 50", kSlotIso, range(2, 16), true, true},
      {"ISO without camera data", kSlotIso, range(0, 65535), false, false},
      {"flash without camera data", kSlotFlash, equal(1), false, false},
      {"flash", kSlotFlash, equal(1), true, true},
      {"f-number", kSlotFNumber, range(20, 30), true, true},
      {"exposure 1/250 is 40", kSlotExposure, range(40, 41), true, true},
      {"untested slot", kSlotUntested, equal(99), true, true},
      {"latitude near", kSlotLatitude, SearchCondition::Make(ConditionKind::Near, 488000, 1000), true, true},
      {"east longitude is negative", kSlotLongitude, SearchCondition::Make(ConditionKind::Near, -22945, 0),
       true, true},
  };
  for (const Case& c : cases) {
    PhotoInfoRecord record = CameraPhoto();
    if (!c.camera) record.flagsAndDate &= ~PhotoInfoRecord::kCameraDataBit;
    SearchCriteria criteria;
    criteria.slots[c.slot] = c.condition;
    EXPECT_EQ(MatchPhotoRecord(record, u"IMG_0012", 1, criteria), c.passes) << c.what;
  }
}

TEST(SearchMatchTest, MergeJoinsWordsAndKeepsTheChildsRange) {
  SearchCriteria child;
  child.slots[kSlotTitle] = Words(u"beach");
  child.slots[kSlotIso] = SearchCondition::Make(ConditionKind::Range, 2, 4);
  SearchCriteria parent;
  parent.slots[kSlotTitle] = Words(u"holiday sea");
  parent.slots[kSlotIso] = SearchCondition::Make(ConditionKind::Range, 8, 16);
  parent.slots[kSlotFlash] = SearchCondition::Make(ConditionKind::Equal, 1, 0);
  child.Merge(parent);
  EXPECT_EQ(child.slots[kSlotTitle].Text(), u"beach holiday sea");
  EXPECT_EQ(child.slots[kSlotIso].low, 2);
  EXPECT_EQ(child.slots[kSlotIso].high, 4);
  EXPECT_EQ(child.slots[kSlotFlash].kind, 1u);

  // 30 + 1 + 31 = 62 joins; one more character keeps the child's words only.
  SearchCriteria a;
  a.slots[kSlotTitle] = Words(std::u16string(30, u'a'));
  SearchCriteria b;
  b.slots[kSlotTitle] = Words(std::u16string(31, u'b'));
  a.Merge(b);
  EXPECT_EQ(a.slots[kSlotTitle].Text().size(), 62u);
  SearchCriteria c;
  c.slots[kSlotTitle] = Words(std::u16string(31, u'c'));
  c.Merge(b);
  EXPECT_EQ(c.slots[kSlotTitle].Text(), std::u16string(31, u'c'));
}

TEST(SearchMatchTest, EffectiveCriteriaAndTagWordsFollowTheAncestors) {
  CSearchNode root;
  root.userCatalog = 1;
  auto* parent = static_cast<CSearchNode*>(root.AppendChild(std::make_unique<CSearchNode>()));
  parent->hasCriteria = parent->userCatalog = 1;
  parent->criteria.slots[kSlotIso] = SearchCondition::Make(ConditionKind::Range, 8, 16);
  parent->criteria.slots[kSlotFlash] = SearchCondition::Make(ConditionKind::Equal, 1, 0);
  parent->criteria.SetTagWords(u"dog cat");
  parent->criteria.tagMatchMode = 0;
  auto* child = static_cast<CSearchNode*>(parent->AppendChild(std::make_unique<CSearchNode>()));
  child->hasCriteria = child->userCatalog = 1;
  child->criteria.slots[kSlotIso] = SearchCondition::Make(ConditionKind::Range, 2, 4);

  SearchCriteria effective;
  CSearchNode::GetEffectiveCriteria(child, effective);
  EXPECT_EQ(effective.slots[kSlotIso].low, 2);
  EXPECT_EQ(effective.slots[kSlotFlash].kind, 1u);

  // The child has no tag words: its parent's apply.
  EXPECT_TRUE(MatchTagWords(u"Cat", child));
  EXPECT_FALSE(MatchTagWords(u"", child));
  parent->criteria.tagMatchMode = 1;
  EXPECT_FALSE(MatchTagWords(u"Cat", child));
  EXPECT_TRUE(MatchTagWords(u"cat DOG", child));
  // Both levels must pass.
  child->criteria.SetTagWords(u"park");
  EXPECT_FALSE(MatchTagWords(u"cat dog", child));
  EXPECT_TRUE(MatchTagWords(u"cat dog park", child));
}

TEST(SearchMatchTest, CriteriaRoundTripFieldByField) {
  SearchCriteria criteria;
  criteria.slots[kSlotTitle] = Words(u"holiday");
  criteria.slots[kSlotLatitude] = SearchCondition::Make(ConditionKind::Near, -338688, 1000);
  criteria.SetTagWords(u"dog cat");
  criteria.tagMatchMode = 1;
  ByteWriter out;
  criteria.Write(out);
  ASSERT_EQ(out.size(), SearchCriteria::kBytes);
  EXPECT_EQ(LoadLE32(out.bytes().data() + 23 * 140 + 4), static_cast<std::uint32_t>(-338688));
  EXPECT_EQ(out.bytes()[3500], 'd');
  SearchCriteria back;
  back.Read(out.bytes());
  EXPECT_EQ(back.slots[kSlotTitle].Text(), u"holiday");
  EXPECT_EQ(back.slots[kSlotLatitude].low, -338688);
  EXPECT_EQ(back.TagWords(), u"dog cat");
  EXPECT_EQ(back.tagMatchMode, 1);
  // A short criteria part leaves the rest zero.
  SearchCriteria shortRead;
  shortRead.tagMatchMode = 5;
  shortRead.Read(std::span(out.bytes()).first(140));
  EXPECT_EQ(shortRead.slots[kSlotTitle].Text(), u"holiday");
  EXPECT_EQ(shortRead.tagMatchMode, 0);
}

}  // namespace
