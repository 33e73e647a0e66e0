#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "album/AddCatalogDlg.h"
#include "platform/Utf16.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

// Row values as the user leaves them: a choice for option rows, a text for
// the others.
struct RowValue {
  std::int32_t id;
  std::int32_t choice;
  const char16_t* text;
};

std::u16string Collect(std::initializer_list<RowValue> values, SearchCriteria& criteria,
                       std::u16string_view name = u"Trip", const SearchCriteria& start = {}) {
  CPropItem root;
  BuildCatalogRows(start, root);
  for (const RowValue& value : values) {
    CPropItem* row = FindCatalogRow(root, value.id);
    EXPECT_NE(row, nullptr) << value.id;
    if (!row) continue;
    if (value.text) {
      row->SetValueText(value.text);
      row->valueKnown = 1;
    } else {
      row->enumValue = value.choice;
    }
  }
  const std::u16string error = CollectCatalogCriteria(root, name, criteria);
  root.ClearSubtree();
  return error;
}

TEST(ParseCatalogDate, FieldsSeparatorsAndLimits) {
  const std::pair<const char16_t*, std::int32_t> cases[] = {
      {u"2010-05-01", 20100501},
      {u"2010/5/1", 20100501},
      {u"2010 5 1", 20100501},
      {u"2010_05:01", 20100501},
      {u"2010-05", 20100500},
      {u"  2010--05//01  ", 20100501},
      {u"1979-01-01", 0},
      {u"2101-01-01", 0},
      {u"2010-13-01", 0},
      {u"2010-05-32", 0},
      {u"2010", 0},
      {u"Unknown", 0},
      {u"", 0},
      {u"99999999999999999999-1-1", 0},
  };
  for (const auto& [text, date] : cases) EXPECT_EQ(ParseCatalogDate(text), date);
  // A field of 100 characters is refused rather than overrunning anything.
  EXPECT_EQ(ParseCatalogDate(u"2010-05-" + std::u16string(98, u'0') + u"1"), 20100501);
  EXPECT_EQ(ParseCatalogDate(u"2010-05-" + std::u16string(100, u'0') + u"1"), 0);
}

TEST(CollectCatalogCriteria, RowsBecomeConditionsOrAreRefused) {
  SearchCriteria c;
  // Landscape alone.
  EXPECT_EQ(Collect({{6, 5, nullptr}}, c), u"");
  EXPECT_EQ(c.slots[kSlotLandscape].kind, 1u);
  EXPECT_EQ(c.slots[kSlotLandscape].low, 1);

  // ISO 100 to 800 is stored in units of 50 and shown back as typed.
  EXPECT_EQ(Collect({{9, 2, nullptr}, {16, 1, nullptr}, {17, 0, u"100"}, {18, 0, u"800"}}, c), u"");
  EXPECT_EQ(c.slots[kSlotIso].low, 2);
  EXPECT_EQ(c.slots[kSlotIso].high, 16);
  EXPECT_EQ(c.slots[kSlotCameraData].low, 1);
  {
    CPropItem root;
    BuildCatalogRows(c, root);
    EXPECT_EQ(FindCatalogRow(root, 17)->valueText, u"100");
    EXPECT_EQ(FindCatalogRow(root, 18)->valueText, u"800");
    EXPECT_EQ(FindCatalogRow(root, 16)->enumValue, 1);
    EXPECT_EQ(FindCatalogRow(root, 9)->enumValue, 2);
    root.ClearSubtree();
  }
  // 100 to 120 both become 2.
  EXPECT_EQ(Collect({{9, 2, nullptr}, {16, 1, nullptr}, {17, 0, u"100"}, {18, 0, u"120"}}, c), u"exifISO");

  // Only a shutter range: slot 16, not the f-number.
  EXPECT_EQ(Collect({{9, 2, nullptr}, {22, 1, nullptr}, {23, 0, u"1/500"}, {24, 0, u"1/60"}}, c), u"");
  EXPECT_EQ(c.slots[kSlotExposure].low, 20);
  EXPECT_EQ(c.slots[kSlotExposure].high, 166);
  EXPECT_EQ(c.slots[kSlotFNumber].kind, 0u);
  EXPECT_EQ(Collect({{9, 2, nullptr}, {22, 1, nullptr}, {24, 0, u"1/60"}}, c), u"exifShutter");

  // Dates.
  EXPECT_EQ(Collect({{10, 1, nullptr}, {11, 0, u"2010/5/1"}, {12, 0, u"2010 6 1"}}, c), u"");
  EXPECT_EQ(c.slots[kSlotDate].low, 20100501);
  EXPECT_EQ(c.slots[kSlotDate].high, 20100601);
  EXPECT_EQ(Collect({{10, 1, nullptr}, {11, 0, u"1979-01-01"}, {12, 0, u"2010-06-01"}}, c), u"TimeRange");
  EXPECT_EQ(Collect({{10, 1, nullptr}, {11, 0, u"2010-06-01"}, {12, 0, u"2010-05-01"}}, c), u"TimeRange");
  const std::u16string longDate = u"2010-05-" + std::u16string(100, u'1');
  EXPECT_EQ(Collect({{10, 1, nullptr}, {11, 0, longDate.c_str()}, {12, 0, u"2010-06-01"}}, c), u"TimeRange");

  // Name and conditions.
  EXPECT_EQ(Collect({{1, 0, u"beach"}}, c, u""), u"NameNotSet");
  EXPECT_EQ(Collect({}, c), u"NoCondition");

  // Camera rows are ignored unless "HaveExif" is yes; "no" is a condition.
  EXPECT_EQ(
      Collect({{9, 1, nullptr}, {13, 0, u"Canon"}, {16, 1, nullptr}, {17, 0, u"100"}, {18, 0, u"100"}}, c),
      u"");
  EXPECT_EQ(c.slots[kSlotCameraData].low, 0);
  EXPECT_EQ(c.slots[kSlotMaker].kind, 0u);
  EXPECT_EQ(c.slots[kSlotIso].kind, 0u);
  EXPECT_EQ(Collect({{13, 0, u"Canon"}}, c), u"NoCondition");

  // Numbers beyond 32 bits are refused with their row's error.
  EXPECT_EQ(Collect({{3, 1, nullptr}, {4, 0, u"1"}, {5, 0, u"99999999999"}}, c), u"Filelength");
  EXPECT_EQ(Collect({{6, 2, nullptr}, {71, 0, u"-99999999999"}, {72, 0, u"10"}}, c), u"FileShape");
  EXPECT_EQ(Collect({{9, 2, nullptr}, {19, 1, nullptr}, {20, 0, u"1"}, {21, 0, u"1e9"}}, c), u"exifFnumber");
  EXPECT_EQ(Collect({{9, 2, nullptr}, {22, 1, nullptr}, {23, 0, u"1"}, {24, 0, u"1e6"}}, c), u"exifShutter");

  // A height range and the other simple rows.
  EXPECT_EQ(Collect({{1, 0, u"IMG"},
                     {2, 100, nullptr},
                     {6, 2, nullptr},
                     {71, 0, u"600"},
                     {72, 0, u"1200"},
                     {25, 0, u"dog cat"},
                     {26, 1, nullptr}},
                    c),
            u"");
  EXPECT_EQ(c.slots[kSlotTitle].Text(), u"IMG");
  EXPECT_EQ(c.slots[kSlotImageType].kind, 2u);
  EXPECT_EQ(c.slots[kSlotImageType].high, 8);
  EXPECT_EQ(c.slots[kSlotHeight].low, 600);
  EXPECT_EQ(c.TagWords(), u"dog cat");
  EXPECT_EQ(c.tagMatchMode, 1);
  CPropItem root;
  BuildCatalogRows(c, root);
  EXPECT_EQ(FindCatalogRow(root, 6)->enumValue, 2);
  EXPECT_EQ(FindCatalogRow(root, 71)->valueText, u"600");
  EXPECT_EQ(FindCatalogRow(root, 72)->valueText, u"1200");
  EXPECT_EQ(FindCatalogRow(root, 2)->enumValue, 100);
  root.ClearSubtree();
}

TEST(CollectCatalogCriteria, CameraRowsStayLockedUntilHaveExifIsYes) {
  CPropItem root;
  BuildCatalogRows({}, root);
  EXPECT_EQ(FindCatalogRow(root, 13)->editable, 0);
  EXPECT_EQ(FindCatalogRow(root, 4)->editable, 0);
  EXPECT_EQ(FindCatalogRow(root, 1)->editable, 1);
  FindCatalogRow(root, 9)->enumValue = 2;
  UpdateCatalogRowStates(root);
  EXPECT_EQ(FindCatalogRow(root, 13)->editable, 1);
  EXPECT_EQ(FindCatalogRow(root, 17)->editable, 0);
  FindCatalogRow(root, 16)->enumValue = 1;
  UpdateCatalogRowStates(root);
  EXPECT_EQ(FindCatalogRow(root, 17)->editable, 1);
  root.ClearSubtree();
}

}  // namespace

namespace {

class AddCatalogDialog : public DialogFixture {};

TEST_F(AddCatalogDialog, OkReturnsTheNameAndCriteriaOrKeepsTheDialogOpen) {
  CDialogScript script;
  // Nothing set: "NoCondition" keeps the dialog open; then the landscape row.
  script.Next(CAddCatalogDlg::kTemplateId)
      .Type(CAddCatalogDlg::kNameId, u"Views")
      .Press(kIdOk)
      .Call([](CDialogSprite& dialog) {
        auto& editor = dynamic_cast<CAddCatalogDlg&>(dialog);
        std::lock_guard guard(editor.propertyList.lock);
        FindCatalogRow(editor.rootItem, 6)->enumValue = 5;
      })
      .Press(kIdOk);
  script.Next(CSMessageDlg::kTemplateId)
      .Call([](CDialogSprite& box) {
        EXPECT_EQ(dynamic_cast<CSMessageDlg&>(box).text, UIResources().texts.TextOrKey(u"NoCondition"));
      })
      .Press(kIdOk);
  CAddCatalogDlg dialog;
  ASSERT_TRUE(dialog.Create(CAddCatalogDlg::kTemplateId));
  EXPECT_EQ(dialog.RunModal(), kIdOk);
  ExpectAnswered(script);
  EXPECT_EQ(dialog.name, u"Views");
  EXPECT_EQ(dialog.criteria.slots[kSlotLandscape].kind, 1u);
  EXPECT_EQ(dialog.criteria.slots[kSlotLandscape].low, 1);
}

TEST_F(AddCatalogDialog, EditingShowsTheCatalogAndARangeErrorNamesItsRow) {
  CDialogScript script;
  script.Next(CAddCatalogDlg::kTemplateId)
      .Call([](CDialogSprite& dialog) {
        auto& editor = dynamic_cast<CAddCatalogDlg&>(dialog);
        std::lock_guard guard(editor.propertyList.lock);
        EXPECT_EQ(FindCatalogRow(editor.rootItem, 6)->enumValue, 2);
        EXPECT_EQ(FindCatalogRow(editor.rootItem, 71)->valueText, u"600");
        FindCatalogRow(editor.rootItem, 72)->SetValueText(u"500");
      })
      .Press(kIdOk)
      .Answer(kIdCancel);
  script.Next(CSMessageDlg::kTemplateId)
      .Call([](CDialogSprite& box) {
        const std::u16string text = dynamic_cast<CSMessageDlg&>(box).text;
        EXPECT_NE(text.find(UIResources().texts.TextOrKey(u"FileShape")), std::u16string::npos)
            << ToUtf8(text);
      })
      .Press(kIdOk);
  CAddCatalogDlg dialog;
  ASSERT_TRUE(dialog.Create(CAddCatalogDlg::kTemplateId));
  dialog.name = u"Tall";
  dialog.criteria.slots[kSlotHeight] = SearchCondition::Make(ConditionKind::Range, 600, 1200);
  EXPECT_EQ(dialog.RunModal(), kIdCancel);
  ExpectAnswered(script);
}

}  // namespace
