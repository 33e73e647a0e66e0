// The property list: how rationals, dates and options read, the pure
// readers of what the user typed (64-bit integers, rationals that must fit
// 32 bits), ReduceToUnitFraction over the whole 32-bit range, and in-place
// editing headless with pushed input: refusals that keep the field and the
// old value, message 5 at every end, the option menu, the tooltip of a cut
// value and what a row draws.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/TextFormat.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/AnimationSwitch.h"
#include "ui/widgets/PropValueText.h"
#include "ui/widgets/ReduceToUnitFraction.h"
#include "ui/widgets/SPropertyList.h"

namespace {

constexpr Rect kPlace{20, 20, 380, 220};  // 360 x 200

std::uint64_t Ptr(const void* p) { return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(p)); }

std::uint64_t Pair(std::int32_t numerator, std::int32_t denominator) {
  return std::uint64_t{static_cast<std::uint32_t>(denominator)} << 32 | static_cast<std::uint32_t>(numerator);
}

// Pure functions ------------------------------------------------------------------------

TEST(ReduceToUnitFraction, OneOverAWholeNumberAcrossTheWhole32BitRange) {
  struct Case {
    Fraction32 in, out;
  };
  // EXIF values are unsigned: 3000000000 and 4000000000 arrive as negative.
  const auto u = [](std::uint32_t v) { return static_cast<std::int32_t>(v); };
  const Case cases[] = {
      {{1, 250}, {1, 250}},
      {{10, 2500}, {1, 250}},
      {{3333, 10000}, {1, 3}},
      {{3, 10}, {3, 10}},
      {{-7000, 10000}, {-7000, 10000}},
      {{-10, 30}, {-1, 3}},
      {{10, -30}, {1, -3}},
      {{-10, -30}, {-1, -3}},
      {{5, 2}, {5, 2}},
      {{7, 7}, {7, 7}},
      {{0, 5}, {0, 5}},
      {{5, 0}, {5, 0}},
      {{1, INT32_MAX}, {1, INT32_MAX}},
      {{1, INT32_MIN}, {1, INT32_MIN}},
      {{-1, INT32_MIN}, {-1, INT32_MIN}},
      {{2, INT32_MIN}, {1, -(1 << 30)}},
      {{3, INT32_MIN}, {3, INT32_MIN}},
      {{INT32_MIN, 1}, {INT32_MIN, 1}},
      {{INT32_MIN, INT32_MIN}, {INT32_MIN, INT32_MIN}},
      {{INT32_MAX, INT32_MIN}, {1, -1}},
      {{u(3000000000u), u(4000000000u)}, {u(3000000000u), u(4000000000u)}},
      {{1, u(0xFFFFFFFFu)}, {1, -1}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReduceToUnitFraction(c.in), c.out) << c.in.numerator << "/" << c.in.denominator;
  }
}

TEST(PropValueText, RationalsAndEditedNumbersReadAndRefused) {
  EXPECT_EQ(RationalText(1, 250), u"1/250");
  EXPECT_EQ(RationalText(5, 2), u"2.5");
  EXPECT_EQ(RationalText(3, 10), u"3/10");
  EXPECT_EQ(RationalText(0, 7), u"0");
  EXPECT_EQ(RationalText(INT32_MAX, 1), u"2147483647.0");
  EXPECT_EQ(RationalText(1, 0), u"") << "no value";

  using enum EditedValueCheck;
  struct Case {
    const char16_t* text;
    bool rational;
    std::int64_t minimum, maximum;
    EditedValueCheck check;
    std::int64_t number;
    std::u16string stored;
  };
  constexpr std::int64_t kU = 16777214, kS = 2147483647;
  const Case cases[] = {
      {u"16777214", false, 0, kU, Ok, 16777214, u"16777214"},
      {u"16777215", false, 0, kU, OutOfRange, 16777215, u""},
      {u"-1", false, 0, kU, OutOfRange, -1, u""},
      {u"+7", false, 0, kU, Ok, 7, u"7"},
      {u"", false, 0, kU, Ok, 0, u"0"},
      {u"12abc", false, 0, kU, Ok, 12, u"12"},
      {u"word", false, 0, kU, NotANumber, 0, u""},
      {u" 5", false, 0, kU, Ok, 5, u"5"},
      // 32 bits would wrap these into range.
      {u"99999999999", false, -kS, kS, OutOfRange, 99999999999, u""},
      {u"4294967297", false, -kS, kS, OutOfRange, 4294967297, u""},
      {u"-99999999999999999999999", false, -kS, kS, OutOfRange, INT64_MIN, u""},
      {u"2147483647", false, -kS, kS, Ok, kS, u"2147483647"},
      {u"1/8", true, 0, 0, Ok, 0, u"1/8"},
      {u"3", true, 0, 0, Ok, 0, u"3.0"},
      {u"1/3", true, 0, 0, Ok, 0, u"1/3"},
      {u"1/125", true, 0, 0, Ok, 0, u"1/125"},
      // Kept as ten-thousandths: one over a whole number would change them.
      {u"-0.7", true, 0, 0, Ok, 0, u"-7000/10000"},
      {u"0.3", true, 0, 0, Ok, 0, u"3000/10000"},
      {u"0", true, 0, 0, Ok, 0, u"0"},
      {u"2147483647", true, 0, 0, Ok, 0, u"2147483647.0"},
      // Too large for a 32-bit rational, or for any integer at all.
      {u"99999999999", true, 0, 0, NotANumber, 0, u""},
      {u"-1e300", true, 0, 0, NotANumber, 0, u""},
      {u"-300000", true, 0, 0, NotANumber, 0, u""},
      {u"1e400", true, 0, 0, NotANumber, 0, u""},
      {u"1/0", true, 0, 0, NotANumber, 0, u""},
      {u"word", true, 0, 0, NotANumber, 0, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.text));
    const EditedValue value =
        c.rational ? ReadRationalValue(c.text) : ReadIntegerValue(c.text, c.minimum, c.maximum);
    EXPECT_EQ(value.check, c.check);
    if (!c.rational) {
      EXPECT_EQ(value.number, c.number);
    }
    EXPECT_EQ(value.text, c.stored);
  }
}

TEST(PropItem, EnumOptionsAreReadUpToTheFirstEntryWithoutACaret) {
  struct Case {
    std::u16string text;
    std::vector<std::int32_t> values;
    std::vector<std::u16string> labels;
  };
  const std::u16string label62(62, u'a');
  const Case cases[] = {
      {u"Off^0|On^1", {0, 1}, {u"Off", u"On"}},
      {u"a^ 7|b^-3|", {7, -3}, {u"a", u"b"}},
      {u"a^1|plain|c^3", {1}, {u"a"}},
      {u"", {}, {}},
      {u"big^99999999999", {INT32_MAX}, {u"big"}},
      {std::u16string(61, u'a') + u"^1", {1}, {std::u16string(61, u'a')}},
      {label62 + u"^1", {1}, {std::u16string(61, u'a') + u".."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.text));
    CPropItem item;
    EXPECT_EQ(item.SetEnumOptions(c.text), c.values.size());
    std::vector<std::int32_t> values;
    std::vector<std::u16string> labels;
    for (const PropOption& option : item.options) {
      values.push_back(option.value);
      labels.push_back(option.label);
    }
    EXPECT_EQ(values, c.values);
    EXPECT_EQ(labels, c.labels);
  }
  // A text of 1023 characters or more is cut to 1021 and "..": the last
  // entry read is cut with it.
  std::u16string many;
  for (int i = 0; i < 200; ++i) many += u"x^" + FromUtf8(std::to_string(i)) + u"|";
  CPropItem item;
  const std::size_t count = item.SetEnumOptions(many);
  EXPECT_LT(count, 200u);
  EXPECT_GT(count, 100u);
}

// The list ------------------------------------------------------------------------------

class PropertyListTest : public DialogFixture {
public:
  PropertyListTest() {
    g_AnimationEnabled = 0;
    list = new CSPropertyList;
    EXPECT_TRUE(list->Create(parent, nullptr, 5, kPlace, 0));
    list->owned = 1;
    parent->AppendChild(list);
    list->SetSpriteRect(kPlace.left, kPlace.top, kPlace.Width(), kPlace.Height());
  }
  ~PropertyListTest() override { EXPECT_TRUE(parent->DestroyChild(list)); }  // the list goes before its rows

  void Show() {
    list->SetRoot(&root);
    Frame();
    Run();
    parent->Take();
  }
  Point ValueAt(std::int32_t row) const {
    return list->PointToWindow({list->labelColumn + 60, row * list->rowHeight + 10 - list->scrollOffset});
  }
  Point LabelAt(std::int32_t row) const {
    return list->PointToWindow({30, row * list->rowHeight + 10 - list->scrollOffset});
  }
  void Click(Point point) {
    host.MouseMove(point);
    Run();
    host.Click(MouseButton::Left, point);
    Run();
  }
  void SelectAllAndType(std::u16string_view text) {
    host.AdvanceClock(150);
    host.KeyDown(VK_CONTROL);
    host.KeyPress('A');
    host.KeyUp(VK_CONTROL);
    Run();
    host.TypeText(text);
    Run();
  }
  void SelectAllAndPaste(const std::string& utf8) {
    host.Clipboard()->OfferFromOtherProgram(
        {{"UTF8_STRING", std::vector<std::uint8_t>(utf8.begin(), utf8.end())}});
    host.AdvanceClock(150);
    host.KeyDown(VK_CONTROL);
    host.KeyPress('A');
    host.KeyPress('V');
    host.KeyUp(VK_CONTROL);
    Run();
  }
  // The items of the message 5 the parent received since the last call.
  std::vector<std::uint64_t> EditEnds() {
    Run();
    std::vector<std::uint64_t> items;
    for (const Note& note : parent->Take()) {
      if (note.code == kPropMsgEditEnded) items.push_back(note.lparam);
    }
    return items;
  }

  CTreeNode root;
  CSPropertyList* list = nullptr;
};

TEST_F(PropertyListTest, RowsShowTheirValuesAndMissingOnesAreSkippedOrUnknown) {
  SystemTime midnight;
  midnight.year = 2024;
  midnight.month = 6;
  midnight.day = 1;
  midnight.minute = 30;  // the hour is 0: the day alone
  SystemTime morning = midnight;
  morning.hour = 9;
  morning.minute = 5;
  morning.second = 7;
  struct Case {
    CPropItem* item;
    std::u16string shown;
  };
  std::vector<Case> cases;
  {
    CSTree::EditGuard edit(*list);
    cases = {
        {CSPropertyList::AddRationalProperty(1, Pair(1, 250), u"Exposure", root, false), u"1/250"},
        {CSPropertyList::AddRationalProperty(2, Pair(5, 2), u"F-number", root, false), u"2.5"},
        {CSPropertyList::AddRationalProperty(3, Pair(3, 10), u"Time", root, false), u"3/10"},
        {CSPropertyList::AddRationalProperty(4, Pair(1, 0), u"Bias", root, true), u"Unknown"},
        {CSPropertyList::AddDateProperty(5, midnight, u"Taken", root, false), u"2024-06-01"},
        {CSPropertyList::AddDateProperty(6, morning, u"Changed", root, false), u"2024-06-01 09:05:07"},
        {CSPropertyList::AddDateProperty(7, SystemTime{}, u"Digitized", root, true), u"Unknown"},
        {CSPropertyList::AddEnumProperty(8, u"Flash", u"Off^0|On^1", 1, root, false), u"On"},
        {CSPropertyList::AddEnumProperty(9, u"Mode", u"Off^0|On^1", 5, root, false), u"Unknown"},
        {CSPropertyList::AddUIntProperty(10, 4000, u"Width", root, 0, false), u"4000"},
        {CSPropertyList::AddUIntProperty(11, 0, u"Height", root, 0, true), u"Unknown"},
        {CSPropertyList::AddIntProperty(12, -3, u"Offset", root, 0, false), u"-3"},
        {CSPropertyList::AddTextProperty(13, u"Canon", u"Maker", root, false), u"Canon"},
    };
    EXPECT_EQ(CSPropertyList::AddRationalProperty(20, Pair(1, 0), u"", root, false), nullptr);
    EXPECT_EQ(CSPropertyList::AddDateProperty(21, SystemTime{}, u"", root, false), nullptr);
    EXPECT_EQ(CSPropertyList::AddEnumProperty(22, u"", u"Off^0", -1, root, false), nullptr);
    EXPECT_EQ(CSPropertyList::AddUIntProperty(23, 0, u"", root, 0, false), nullptr);
    EXPECT_EQ(CSPropertyList::AddIntProperty(24, -1, u"", root, -1, false), nullptr);
    EXPECT_EQ(CSPropertyList::AddTextProperty(25, u"", u"", root, false), nullptr);
  }
  Show();
  ASSERT_EQ(root.children.size(), cases.size());
  std::lock_guard guard(list->lock);
  for (const Case& c : cases) {
    ASSERT_NE(c.item, nullptr);
    SCOPED_TRACE(ToUtf8(c.item->text));
    EXPECT_EQ(CSPropertyList::ValueDisplayText(*c.item), c.shown);
  }
  EXPECT_FALSE(cases[0].item->valueImage.IsEmpty()) << "rendered when drawn";
  EXPECT_TRUE(cases.back().item->valueImage.IsEmpty()) << "not below the view";
}

TEST_F(PropertyListTest, EditsAreCheckedEveryEndPosts5AndRefusalsKeepTheFieldAndTheOldValue) {
  CPropItem* count = nullptr;
  CPropItem* offset = nullptr;
  CPropItem* time = nullptr;
  {
    CSTree::EditGuard edit(*list);
    count = CSPropertyList::AddUIntProperty(1, 12, u"Count", root, 0, false);
    offset = CSPropertyList::AddIntProperty(2, 5, u"Offset", root, 0, false);
    time = CSPropertyList::AddRationalProperty(3, Pair(1, 60), u"Time", root, false);
    CPropItem* name = CSPropertyList::AddTextProperty(4, u"Ann", u"Name", root, false);
    for (CPropItem* item : {count, offset, time, name}) item->editable = 1;
  }
  Show();
  CDialogScript unexpected;  // a box no case expects ends at once, noted
  const std::u16string range = u"Please enter a number from %d to %d. You entered %d.";
  struct Case {
    const char* name;
    std::int32_t row;
    CPropItem* item;
    std::u16string old;
    std::function<void()> input;
    std::u16string refusal;  // empty: accepted
    std::u16string stored;
  };
  const Case cases[] = {
      {"above the unsigned range", 0, count, u"12", [&] { SelectAllAndType(u"16777215"); },
       FormatText(range, {0, 16777214, 16777215}), u"12"},
      {"a pasted word", 0, count, u"12", [&] { SelectAllAndPaste("many"); }, u"Please enter a valid value.",
       u"12"},
      {"a long number", 1, offset, u"5", [&] { SelectAllAndType(u"99999999999"); },
       FormatText(range, {-2147483647, 2147483647, std::int64_t{99999999999}}), u"5"},
      {"a huge rational, pasted", 2, time, u"1/60", [&] { SelectAllAndPaste("-1e300"); },
       u"Please enter a valid value.", u"1/60"},
      {"a large rational", 2, time, u"1/60", [&] { SelectAllAndType(u"99999999999"); },
       u"Please enter a valid value.", u"1/60"},
      {"a fraction", 2, time, u"1/60", [&] { SelectAllAndType(u"1/8"); }, u"", u"1/8"},
      {"a whole number", 2, time, u"1/8", [&] { SelectAllAndType(u"3"); }, u"", u"3.0"},
      {"in range", 0, count, u"12", [&] { SelectAllAndType(u"16777214"); }, u"", u"16777214"},
      {"a text", 3, nullptr, u"Ann", [&] { SelectAllAndType(u"Bob"); }, u"", u"Bob"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CPropItem* item = c.item ? c.item : static_cast<CPropItem*>(root.children[3].get());
    Click(ValueAt(c.row));
    ASSERT_EQ(list->editingItem, item);
    ASSERT_TRUE(list->editor.visible);
    EXPECT_EQ(list->editor.GetText(), c.old);
    EXPECT_EQ(window.FocusSprite(), &list->editor);
    c.input();

    std::u16string shown;
    CDialogScript script;
    if (!c.refusal.empty()) {
      script.Next(CSMessageDlg::kTemplateId)
          .Call([&](CDialogSprite& box) { shown = dynamic_cast<CSMessageDlg&>(box).text; })
          .Press(kIdOk);
    }
    Click(LabelAt(c.row));  // a press elsewhere ends the edit
    ExpectAnswered(script);
    EXPECT_EQ(shown, c.refusal);
    EXPECT_EQ(EditEnds(), (std::vector<std::uint64_t>{Ptr(item)})) << "also when refused";
    EXPECT_EQ(item->valueText, c.stored);
    if (c.refusal.empty()) {
      EXPECT_FALSE(list->editor.visible);
      EXPECT_EQ(list->editingItem, nullptr);
      continue;
    }
    EXPECT_TRUE(list->editor.visible) << "the field stays";
    EXPECT_EQ(list->editingItem, item);
    // Mended, the value passes with the next end.
    SelectAllAndType(c.item == time ? u"1/2" : u"7");
    Click(LabelAt(c.row));
    EXPECT_EQ(EditEnds(), (std::vector<std::uint64_t>{Ptr(item)}));
    EXPECT_EQ(item->valueText, c.item == time ? u"1/2" : u"7");
    {
      CSTree::EditGuard edit(*list);
      item->SetValueText(c.old);
    }
  }
  EXPECT_TRUE(unexpected.Errors().empty()) << unexpected.Errors().front();
}

TEST_F(PropertyListTest, OptionsComeFromAMenuAndRowsOutsideTheDefaultRangeGetNoField) {
  CPropItem* flash = nullptr;
  CPropItem* narrow = nullptr;
  {
    CSTree::EditGuard edit(*list);
    // Option values from a language file: ids beyond 32 bits or of 0 (a
    // separator) are left out of the menu.
    flash =
        CSPropertyList::AddEnumProperty(1, u"Flash", u"Off^0|On^1|Odd^2147483647|Zero^-1000", 0, root, false);
    narrow = CSPropertyList::AddIntProperty(2, 3, u"Quality", root, 0, false);
    narrow->minimum = 1;
    narrow->maximum = 10;
    flash->editable = narrow->editable = 1;
  }
  Show();
  Click(ValueAt(0));
  ASSERT_EQ(window.TopPopup(), &list->optionMenu);
  ASSERT_EQ(list->optionMenu.ItemCount(), 2u);
  EXPECT_EQ(list->optionMenu.items[1]->commandId, 1001);
  EXPECT_FALSE(list->editor.visible);
  list->optionMenu.ActivateItem(1);
  Frame();
  EXPECT_EQ(EditEnds(), (std::vector<std::uint64_t>{Ptr(flash)}));
  EXPECT_EQ(flash->enumValue, 1);
  EXPECT_EQ(flash->valueText, u"On");
  EXPECT_EQ(list->editingItem, nullptr);

  Click(ValueAt(1));
  EXPECT_EQ(list->editingItem, narrow);
  EXPECT_EQ(list->editMode, CSPropertyList::EditMode::NoEditor);
  EXPECT_FALSE(list->editor.visible);
  EXPECT_TRUE(EditEnds().empty());
  Click(LabelAt(1));
  EXPECT_EQ(EditEnds(), (std::vector<std::uint64_t>{Ptr(narrow)})) << "the owner hears the end";
}

TEST_F(PropertyListTest, ACutValueShowsWholeAsATooltipAndEditableRowsShowThePencil) {
  const std::u16string longText(80, u'w');
  CPropItem* item = nullptr;
  {
    CSTree::EditGuard edit(*list);
    item = CSPropertyList::AddTextProperty(1, longText, u"Notes", root, false);
    item->editable = 1;
    CSPropertyList::AddTextProperty(2, u"short", u"Title", root, false);
  }
  Show();
  EXPECT_EQ(item->valueCut, 1);
  host.MouseMove(ValueAt(0));
  Run();
  EXPECT_TRUE(window.tip.visible);
  EXPECT_EQ(window.tip.text, longText);
  EXPECT_EQ(window.tip.opaque, 1);
  host.MouseMove(ValueAt(1));
  Run();
  EXPECT_FALSE(window.tip.visible) << "a value that fits has none";
  EXPECT_EQ(host.Cursor(), CursorShape::Arrow) << "over a read-only row";
  host.MouseMove(ValueAt(0));
  Run();
  EXPECT_EQ(host.Cursor(), CursorShape::Hand) << "over an editable row";

  std::lock_guard guard(list->lock);
  const CBgraImage& surface = list->surface;
  const std::uint32_t w = surface.width;
  // The pencil at W - 32 on the editable row only.
  auto opaqueIn = [&](std::uint32_t top) {
    for (std::uint32_t y = top; y < top + 19; ++y) {  // not the line below the row
      for (std::uint32_t x = w - 32; x < w - 16; ++x) {
        if ((PixelAt(surface, x, y) >> 24) > 128) return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(opaqueIn(0));
  EXPECT_FALSE(opaqueIn(21));
  // The separator at labelColumn + 1 and the line under each row.
  EXPECT_EQ(PixelAt(surface, 101, 10) >> 24, 255u);
  EXPECT_EQ(PixelAt(surface, 50, 20), CSPropertyList::kRowLineColor);
}

}  // namespace
