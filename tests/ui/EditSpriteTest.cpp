// The edit field: undo and redo, selections deleted character by character,
// the maximum length and the paste limit, the filters for typed and pasted
// text, characters beyond the BMP, selection by mouse and keys, scrolling,
// drawing, the context menu, what setting the text from the program does,
// the glyph cache, and text input with the input-method rectangle.

#include <algorithm>
#include <array>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "tests/ui/WidgetTestSupport.h"
#include "ui/UIResources.h"
#include "ui/widgets/EditSprite.h"

namespace {

constexpr Rect kPlace{20, 20, 220, 44};  // a text area of 190 x 16 at (25, 24)
constexpr std::int32_t kId = 9;

class EditTest : public WidgetFixture {
public:
  // Room below the field for the whole context menu.
  EditTest() : WidgetFixture({400, 300}) {
    field = new CEditSprite;
    EXPECT_TRUE(field->Create(parent, kId, kPlace, 2));
    field->owned = 1;
    parent->AppendChild(field);
    window.SetFocusSprite(field, 0);
    Run();
    Frame();
  }

  std::u16string Text() const { return field->GetText(); }
  void Type(std::u16string_view text) {
    host.TypeText(text);
    Run();
  }
  // A key with Ctrl held; later, so that the key-repeat filter lets it pass.
  void Ctrl(std::uint32_t key) {
    host.AdvanceClock(150);
    host.KeyDown(VK_CONTROL);
    host.KeyPress(key);
    host.KeyUp(VK_CONTROL);
    Run();
  }
  void Key(std::uint32_t key, bool shift = false) {
    host.AdvanceClock(150);
    if (shift) host.KeyDown(VK_SHIFT);
    host.KeyPress(key);
    if (shift) host.KeyUp(VK_SHIFT);
    Run();
  }
  // Another program's text on the clipboard.
  void OfferText(const std::string& utf8) {
    host.Clipboard()->OfferFromOtherProgram(
        {{"UTF8_STRING", std::vector<std::uint8_t>(utf8.begin(), utf8.end())}});
  }
  std::u16string ClipboardText() {
    std::u16string text;
    EXPECT_TRUE(host.Clipboard()->GetText(text));
    return text;
  }
  // The counts of the text-changed messages since the last call.
  std::vector<std::uint64_t> Changes() {
    Run();
    std::vector<std::uint64_t> counts;
    for (const Note& note : parent->Take()) {
      if (note.code == kEditMsgTextChanged) counts.push_back(note.wparam);
    }
    return counts;
  }
  // The window point over the left part of character i.
  Point AtChar(std::int32_t i) const {
    return {
        kPlace.left + CEditSprite::kInsetX + field->chars[static_cast<std::size_t>(i)].x + 1 - field->scrollX,
        kPlace.top + 10};
  }
  std::pair<std::int32_t, std::int32_t> Selection() const {
    return {field->selectionStart, field->selectionEnd};
  }

  CEditSprite* field = nullptr;
};

using Selected = std::pair<std::int32_t, std::int32_t>;
constexpr Selected kNone{-1, -1};

// Undo and redo -------------------------------------------------------------------------------

TEST_F(EditTest, TypedCharactersUndoAndRedoOneByOne) {
  Type(u"ab");
  EXPECT_EQ(Changes(), (std::vector<std::uint64_t>{1, 2}));
  Ctrl('Z');
  EXPECT_EQ(Text(), u"a");
  Ctrl('Z');
  EXPECT_EQ(Text(), u"");
  Ctrl('Z');
  EXPECT_EQ(Text(), u"") << "nothing left to undo";
  EXPECT_EQ(Changes(), (std::vector<std::uint64_t>{1, 0}));
  Ctrl('Y');
  EXPECT_EQ(Text(), u"a");
  Ctrl('Y');
  EXPECT_EQ(Text(), u"ab");
  EXPECT_EQ(field->caret, 2);

  // Typing after an undo ends the redo.
  Ctrl('Z');
  Type(u"c");
  EXPECT_EQ(Text(), u"ac");
  Ctrl('Y');
  EXPECT_EQ(Text(), u"ac");
  EXPECT_TRUE(field->redoSteps.empty());
}

TEST_F(EditTest, ADeletedSelectionOfFiveTakesFiveUndosAndShiftMovesExtendIt) {
  Type(u"abcdefgh");
  Key(VK_HOME);
  for (int i = 0; i < 5; ++i) Key(VK_RIGHT, true);
  EXPECT_EQ(Selection(), Selected(0, 5)) << "each Shift+Right grows the selection";
  Key(VK_LEFT, true);
  EXPECT_EQ(Selection(), Selected(0, 4)) << "and Shift+Left shrinks it from the caret's end";
  Key(VK_RIGHT, true);
  Changes();
  Key(VK_DELETE);
  EXPECT_EQ(Text(), u"fgh");
  EXPECT_EQ(field->caret, 0);
  EXPECT_EQ(Changes(), (std::vector<std::uint64_t>{3}));
  const std::u16string expected[] = {u"efgh", u"defgh", u"cdefgh", u"bcdefgh", u"abcdefgh"};
  for (const std::u16string& text : expected) {
    Ctrl('Z');
    EXPECT_EQ(Text(), text);
  }
  // Backspace without a selection takes the character before the caret.
  Key(VK_END);
  Key(VK_BACK);
  Key(VK_HOME);
  Key(VK_DELETE);
  EXPECT_EQ(Text(), u"bcdefg");
}

// Length, filters and the clipboard ---------------------------------------------------------------

TEST_F(EditTest, TypingStopsAtMaxLengthAndPastingOneBefore) {
  field->maxLength = 5;
  Type(u"abcdefg");
  EXPECT_EQ(Text(), u"abcde");
  ASSERT_TRUE(field->SetText(u""));
  OfferText("vwxyz");
  Ctrl('V');
  EXPECT_EQ(Text(), u"vwxy");
  EXPECT_EQ(Changes(), (std::vector<std::uint64_t>{1, 2, 3, 4, 5, 5, 5, 4}));
  Ctrl('V');
  EXPECT_EQ(Text(), u"vwxy") << "nothing fits, and the parent is told all the same";
  EXPECT_EQ(Changes(), (std::vector<std::uint64_t>{4}));
}

TEST_F(EditTest, FiltersForTypedAndPastedText) {
  struct Case {
    const char* name;
    EditFilter filter;
    std::u16string input;
    std::u16string typed;
    std::u16string pasted;
  };
  const Case cases[] = {
      {"any", EditFilter::Any, u"a:b\t?\x7F\x85 c", u"a:b? c", u"a:b? c"},
      {"file name", EditFilter::FileName, u"a'b:c/d?e*f\"g<h>i\\j|k\r\nl \u00e9", u"abcdefghijkl \u00e9",
       u"abcdefghijkl \u00e9"},
      // Numeric fields take pasted text as it comes.
      {"listed", EditFilter::Listed, u"1a2.3\n", u"123", u"1a2.3\n"},
      {"ascii", EditFilter::Ascii, u"a\u00e9b\U0001F600c\t", u"abc", u"abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    field->filterKind = c.filter;
    field->allowedChars = u"0123456789";
    ASSERT_TRUE(field->SetText(u""));
    Type(c.input);
    EXPECT_EQ(Text(), c.typed);
    ASSERT_TRUE(field->SetText(u""));
    OfferText(ToUtf8(c.input));
    Ctrl('V');
    EXPECT_EQ(Text(), c.pasted);
    Changes();
  }
  // A refused character posts nothing.
  field->filterKind = EditFilter::FileName;
  Type(u"':");
  EXPECT_EQ(Changes(), std::vector<std::uint64_t>{});
  // Ctrl+Backspace types DEL: never a character.
  ASSERT_TRUE(field->SetText(u"ab"));
  Ctrl(VK_BACK);
  EXPECT_EQ(Text(), u"a");
}

TEST_F(EditTest, CharactersBeyondTheBmpStayWholeAndPasteLosesNothing) {
  Type(u"x\U0001F600y");
  EXPECT_EQ(field->Count(), 3);
  EXPECT_EQ(field->chars[1].character, U'\U0001F600');
  Key(VK_LEFT);
  Key(VK_BACK);
  EXPECT_EQ(Text(), u"xy") << "Backspace takes the pair whole";
  Ctrl('Z');
  EXPECT_EQ(Text(), u"x\U0001F600y");

  // Half a pair is refused, whatever follows it.
  ASSERT_TRUE(field->SetText(u""));
  Type(std::u16string{char16_t(0xD83D), u'a', char16_t(0xDE00), u'b', char16_t(0xD83D)});
  EXPECT_EQ(Text(), u"ab");
  Type(u"c");
  EXPECT_EQ(Text(), u"abc") << "another character ends the wait for the other half";
  Type(std::u16string{char16_t(0xD83D)});
  window.SetFocusSprite(nullptr, 0);
  window.SetFocusSprite(field, 0);
  Run();
  Type(std::u16string{char16_t(0xDE00)});
  EXPECT_EQ(Text(), u"abc") << "and so does a change of focus";

  // Pasted UTF-8 arrives whole; copy gives it back.
  ASSERT_TRUE(field->SetText(u""));
  const std::u16string text = u"Gr\u00fc\u00dfe \u2713 \U0001F600 \u4e2d\u6587";
  OfferText(ToUtf8(text));
  Ctrl('V');
  EXPECT_EQ(Text(), text);
  EXPECT_EQ(field->Count(), 12);
  Ctrl('Z');
  Ctrl('Z');
  Ctrl('Z');
  EXPECT_EQ(Text(), u"Gr\u00fc\u00dfe \u2713 \U0001F600") << "the emoji is one step";
  Ctrl('A');
  Ctrl('C');
  EXPECT_EQ(ClipboardText(), u"Gr\u00fc\u00dfe \u2713 \U0001F600");
  Ctrl('X');
  EXPECT_EQ(Text(), u"");
  EXPECT_EQ(ClipboardText(), u"Gr\u00fc\u00dfe \u2713 \U0001F600");

  // A value cut to its buffer never ends in half a pair.
  ASSERT_TRUE(field->SetText(u"abc\U0001F600def"));
  std::array<char16_t, 7> buffer{};
  field->GetValue(buffer);
  EXPECT_EQ(std::u16string(buffer.data()), u"abc..");
}

// Mouse, scrolling and drawing -----------------------------------------------------------------

TEST_F(EditTest, PressDragAndReleaseSelect) {
  ASSERT_TRUE(field->SetText(u"0123456789"));
  host.MouseMove(AtChar(2));
  host.MouseDown(MouseButton::Left, AtChar(2));
  host.MouseMove(AtChar(6));
  host.MouseUp(MouseButton::Left, AtChar(6));
  Run();
  EXPECT_EQ(Selection(), Selected(2, 6));
  EXPECT_EQ(field->caret, 6);

  // A press keeps the selection; the drag adjusts it from there.
  host.MouseDown(MouseButton::Left, AtChar(4));
  Run();
  EXPECT_EQ(Selection(), Selected(2, 6));
  EXPECT_EQ(field->caret, 4);
  host.MouseMove(AtChar(8));
  host.MouseUp(MouseButton::Left, AtChar(8));
  Run();
  EXPECT_EQ(Selection(), Selected(2, 8));

  // Released where it was pressed: a click, which clears it.
  host.AdvanceClock(1000);
  host.Click(MouseButton::Left, AtChar(3));
  Run();
  EXPECT_EQ(Selection(), kNone);
  EXPECT_EQ(field->caret, 3);

  // Past the last character the caret goes to the end; a press left of the
  // text is ignored; a double click selects all.
  host.Click(MouseButton::Left, {kPlace.right - 8, kPlace.top + 10});
  Run();
  EXPECT_EQ(field->caret, 10);
  host.Click(MouseButton::Left, {kPlace.left + 2, kPlace.top + 10});
  Run();
  EXPECT_EQ(field->caret, 10);
  host.AdvanceClock(1000);
  host.DoubleClick(MouseButton::Left, AtChar(5));
  Run();
  EXPECT_EQ(Selection(), Selected(0, 10));
  EXPECT_EQ(host.Cursor(), CursorShape::IBeam);
}

TEST_F(EditTest, TheCaretStaysInsideAsTheTextScrolls) {
  // Digits have one advance: every character takes the same cell.
  const std::u16string digits = u"0123456789012345678901234567890123456789";
  ASSERT_TRUE(field->SetText(digits));
  const std::int32_t cell = field->chars[1].x;
  ASSERT_GT(cell, 0);
  for (std::size_t i = 0; i < field->chars.size(); ++i) ASSERT_EQ(field->chars[i].x, cell * std::int32_t(i));
  const std::int32_t width = field->TextArea().Width();
  ASSERT_EQ(width, 190);
  ASSERT_GT(cell * 40, width);
  EXPECT_EQ(field->scrollX, 40 * cell - width + 10) << "SetText shows the end";

  field->SetValue(digits);
  EXPECT_EQ(field->caret, 40);
  EXPECT_EQ(field->scrollX, 0) << "SetValue: the caret at the end, the beginning shown";

  Key(VK_HOME);
  bool scrolled = false;
  for (int i = 1; i <= 40; ++i) {
    Key(VK_RIGHT);
    const std::int32_t x = field->CaretX() - field->scrollX;
    ASSERT_GE(x, 0);
    ASSERT_LE(x, width);
    if (field->scrollX > 0 && !scrolled) {
      scrolled = true;
      EXPECT_EQ(x, width - 10) << "the caret sits 10 pixels inside the right edge";
    }
  }
  EXPECT_TRUE(scrolled);
  Key(VK_HOME);
  EXPECT_EQ(field->scrollX, 0);
  Key(VK_END);
  EXPECT_EQ(field->scrollX, 40 * cell - width + 10);
}

TEST_F(EditTest, DrawsTheSelectionTheCaretAndTheDisabledText) {
  ASSERT_TRUE(field->SetText(u"0123"));
  Key(VK_HOME);
  Key(VK_RIGHT, true);
  const auto& colors = UIResources().theme.colors;
  const Rect area = field->TextArea();
  auto pixel = [&](std::int32_t x, std::int32_t y) {
    std::lock_guard guard(field->lock);
    return PixelAt(field->surface, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
  };
  // The caret shows through each odd 350 ms phase while the field has the
  // focus, and not in the even ones.
  const std::uint32_t phase = TickCount() / CEditSprite::kBlinkMs;
  host.AdvanceClock((phase % 2 == 1 ? 2 : 1) * CEditSprite::kBlinkMs);
  Frame();
  const std::int32_t caretX = area.left + field->CaretX();
  EXPECT_EQ(pixel(caretX, area.top + 2) & 0xFFFFFF, colors[0] & 0xFFFFFF) << "the caret";
  // The selected "0": its cell in the accent, opaque, the glyph over it
  // (whose top row is blank).
  EXPECT_EQ(pixel(area.left + 1, area.top), colors[kThemeAccent] | 0xFF000000u);
  host.AdvanceClock(CEditSprite::kBlinkMs);
  Frame();
  EXPECT_NE(pixel(caretX, area.top + 2) & 0xFFFFFF, colors[0] & 0xFFFFFF) << "the off phase";

  // Disabled: theme colour 2, no caret, no typing, no mouse.
  field->acceptsInput = 0;
  field->dirty = 1;
  host.AdvanceClock(CEditSprite::kBlinkMs);
  Frame();
  bool grey = false;
  for (std::int32_t x = area.left; x < area.right && !grey; ++x) {
    for (std::int32_t y = area.top; y < area.bottom && !grey; ++y)
      grey = pixel(x, y) == (colors[2] | 0xFF000000u);
  }
  EXPECT_TRUE(grey);
  EXPECT_NE(pixel(caretX, area.top + 2) & 0xFFFFFF, colors[2] & 0xFFFFFF);
  Type(u"x");
  Key(VK_DELETE);
  host.Click(MouseButton::Left, AtChar(2));
  Run();
  EXPECT_EQ(Text(), u"0123");
  EXPECT_EQ(field->caret, 1);
}

// The context menu and the program's own changes --------------------------------------------------

TEST_F(EditTest, TheContextMenuEnablesUndoAndRedoAndEditResetTellsNoOne) {
  auto rightClick = [&] {
    host.AdvanceClock(1000);
    host.Click(MouseButton::Right, {kPlace.left + 30, kPlace.top + 10});
    Run();
    Frame();
    Run();
  };
  auto enabled = [&](std::int32_t id) {
    const std::int32_t index = field->contextMenu.FindItem({}, id);
    EXPECT_GE(index, 0) << id;
    return index >= 0 && field->contextMenu.items[static_cast<std::size_t>(index)]->enabled != 0;
  };
  auto close = [&] {
    field->contextMenu.CloseMenu(false);
    Run();
  };
  rightClick();
  ASSERT_EQ(window.TopPopup(), &field->contextMenu);
  ASSERT_EQ(field->contextMenu.ItemCount(), 9u);
  EXPECT_TRUE(enabled(kEditCmdCopy));
  EXPECT_TRUE(enabled(kEditCmdPaste));
  EXPECT_FALSE(enabled(kEditCmdUndo)) << "an empty field has nothing to undo";
  EXPECT_FALSE(enabled(kEditCmdRedo));
  EXPECT_EQ(field->contextMenu.items[0]->shortcutText, u"Ctrl+C");
  EXPECT_EQ(field->contextMenu.items[8]->caption, u"Clear");
  close();

  window.SetFocusSprite(field, 0);
  Type(u"ab");
  Ctrl('Z');
  rightClick();
  EXPECT_TRUE(enabled(kEditCmdUndo));
  EXPECT_TRUE(enabled(kEditCmdRedo));
  Changes();
  // "EditReset": chosen by a click, delivered after the closing animation.
  const MenuItem& reset = *field->contextMenu.items[8];
  host.AdvanceClock(1000);
  host.Click(MouseButton::Left,
             field->contextMenu.PointToWindow({field->contextMenu.iconColumnWidth + 4, reset.rowTop + 5}));
  Run();
  for (int i = 0; i < 5 && window.TopPopup(); ++i) {
    Frame();
    Run();
  }
  EXPECT_EQ(Text(), u"");
  EXPECT_EQ(Changes(), std::vector<std::uint64_t>{}) << "clearing tells the parent nothing";
  EXPECT_EQ(window.FocusSprite(), field) << "the field takes the focus back";
  Ctrl('Y');
  Ctrl('Z');
  EXPECT_EQ(Text(), u"") << "the steps of the old text are gone";

  // A right press outside the text area opens nothing.
  host.AdvanceClock(1000);
  host.Click(MouseButton::Right, {kPlace.left + 2, kPlace.top + 1});
  Run();
  EXPECT_EQ(window.TopPopup(), nullptr);
}

TEST_F(EditTest, SetTextCutsAndForgetsTheStepsOfTheOldText) {
  Type(u"abc");
  field->SetValue(u"xyz");
  EXPECT_TRUE(field->undoSteps.empty());
  Ctrl('Z');
  Ctrl('Y');
  EXPECT_EQ(Text(), u"xyz");
  EXPECT_EQ(Changes(), (std::vector<std::uint64_t>{1, 2, 3})) << "only the typing was told";

  field->maxLength = 6;
  ASSERT_TRUE(field->SetText(u"abcde"));
  EXPECT_EQ(Text(), u"abc..") << "maxLength - 1 characters are cut to maxLength - 3 and ..";
  ASSERT_TRUE(field->SetText(u"ab\U0001F600\U0001F600d"));
  EXPECT_EQ(Text(), u"ab\U0001F600..") << "counted in characters, never half a pair";
  ASSERT_TRUE(field->SetText(u"a\r\nb"));
  EXPECT_EQ(field->Count(), 4);
  EXPECT_EQ(field->chars[2].hasGlyph, 0);
  EXPECT_EQ(field->chars[3].x, field->chars[1].x) << "line breaks take no room";
}

TEST_F(EditTest, GlyphsAreRenderedOncePerCharacter) {
  std::u16string text;
  for (int i = 0; i < 4096; ++i) text.push_back(static_cast<char16_t>(u'A' + i % 26));
  const std::uint64_t before = UIResources().glyphs.RenderCount();
  ASSERT_TRUE(field->SetText(text));
  EXPECT_LE(UIResources().glyphs.RenderCount() - before, 27u) << "the letters and the dot";
  EXPECT_EQ(field->Count(), 4095);
  const std::uint64_t again = UIResources().glyphs.RenderCount();
  ASSERT_TRUE(field->SetText(text));
  Type(u"Q");
  EXPECT_EQ(UIResources().glyphs.RenderCount(), again) << "a text seen before renders nothing";
  EXPECT_EQ(field->chars[0].glyph, field->chars[26].glyph) << "one picture per character";
}

// Text input --------------------------------------------------------------------------------------

TEST_F(EditTest, TextInputIsOnWhileTheFieldHasTheFocusAndItsRectangleFollowsTheCaret) {
  EXPECT_TRUE(host.TextInputActive());
  Type(u"00");
  const Rect area = field->TextArea();
  EXPECT_EQ(host.TextInputRect().left, kPlace.left + area.left + field->CaretX());
  EXPECT_EQ(host.TextInputRect().top, kPlace.top + area.top);
  Key(VK_HOME);
  EXPECT_EQ(host.TextInputRect().left, kPlace.left + area.left);

  auto* other = new CProbe(0xFF000000u);
  ASSERT_TRUE(other->Create(parent, nullptr, 0, {20, 100, 100, 140}, 0));
  other->owned = 1;
  other->focusable = true;
  parent->AppendChild(other);
  window.SetFocusSprite(other, 0);
  EXPECT_FALSE(host.TextInputActive()) << "a control that takes no text";
  window.SetFocusSprite(field, 0);
  EXPECT_TRUE(host.TextInputActive());
  field->acceptsInput = 0;
  window.SetFocusSprite(nullptr, 0);
  window.SetFocusSprite(field, 0);
  EXPECT_FALSE(host.TextInputActive()) << "a disabled field";

  field->acceptsInput = 1;
  window.SetFocusSprite(nullptr, 0);
  window.SetFocusSprite(field, 0);
  field->visible = 0;
  host.AdvanceClock(1000);  // the hover timer notices the hidden field
  Run();
  EXPECT_FALSE(host.TextInputActive());
}

}  // namespace
