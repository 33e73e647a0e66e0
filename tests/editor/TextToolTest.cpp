// The text tool on an edit page of the headless editor, with DejaVu Sans
// pinned as the only face: layout and picture of the text layer, typing,
// paste and the caret, the option panel, and how an edit ends (confirm
// mark, leaving the tool, the question, undo).

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "document/TextLayer.h"
#include "editor/TextTool.h"
#include "platform/FontList.h"
#include "platform/SettingsStore.h"
#include "platform/WindowMessages.h"
#include "tests/editor/EditorFixture.h"
#include "ui/Clipboard.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/dialogs/SStringDialog.h"

namespace {

constexpr char16_t kCr = 13;
constexpr char16_t kLf = 10;

std::vector<std::uint8_t> Bytes(const CBgraImage16& image) {
  const auto s = image.Samples();
  std::vector<std::uint8_t> bytes(s.size() * 2);
  if (!s.empty()) std::memcpy(bytes.data(), s.data(), bytes.size());
  return bytes;
}

}  // namespace

class TextTool : public EditorFixture {
protected:
  void SetUp() override {
    EditorFixture::SetUp();
    tool().faceOverride = {u"DejaVu Sans"};
    page = OpenPage("text", OneLayer(400, 300));
    page->toolPanel.SetCurrentTool(&tool());
    Run();
    ASSERT_EQ(page->canvas.currentTool, &tool());
  }
  void TearDown() override {
    tool().changed = 0;  // no question while the page closes
    tool().faceOverride.clear();
    EditorFixture::TearDown();
  }
  CTextTool& tool() { return shell.tools.text; }

  Point WindowPoint(Point document) const {
    const CanvasMapping m = page->canvas.Mapping();
    const CanvasPoint q = m.ToCanvasPoint(document);
    return page->canvas.PointToWindow({q.x + m.content.left, q.y + m.content.top});
  }
  void ClickAt(Point document) {
    host.MouseMove(WindowPoint(document));
    Run();
    host.Click(MouseButton::Left, WindowPoint(document));
    Run();
    host.AdvanceClock(300);  // no double click with the next one
  }
  // A new text layer at (x, y) with style changes made before any glyph.
  void NewText(Point at, const std::function<void(TextStyle&)>& change = {}) {
    ClickAt(at);
    ASSERT_NE(tool().layer, nullptr);
    if (change) {
      change(*tool().style);
      tool().CreateTextFont();
      tool().RenderText(true);
    }
  }
  void Type(std::u16string_view text) {
    for (char16_t c : text) {
      if (c == kCr) {
        (void)tool().OnKey(VK_RETURN, 1, 0);
      } else {
        (void)tool().OnKey(c, 0, 0);
      }
    }
  }
  Rect Box(std::size_t i) { return tool().glyphs.at(i)->box; }
  void Click(std::uint32_t item) {
    SpriteMessage m;
    m.sender = &tool().panel;
    m.code = kPanelMsgItemClicked;
    m.wparam = item;
    tool().OnMessage(m);
  }
  void Command(std::int32_t id) {
    SpriteMessage m;
    m.code = kMenuMsgCommand;
    m.wparam = static_cast<std::uint64_t>(id);
    tool().OnMessage(m);
  }
  void LeaveTool() {
    page->toolPanel.SetCurrentTool(nullptr);
    Run();
  }

  CSEditPage* page = nullptr;
};

// Layout and picture -------------------------------------------------------

TEST_F(TextTool, AnEmptyTextIsAnEightByEightTransparentLayer) {
  NewText({50, 60});
  const CTextLayer& layer = *tool().layer;
  EXPECT_EQ(layer.m_image.width, 8u);
  EXPECT_EQ(layer.m_image.height, 8u);
  for (std::uint16_t s : layer.m_image.Samples()) ASSERT_EQ(s, 0);
  EXPECT_EQ(layer.m_x, 50);
  EXPECT_EQ(layer.m_y, 60);
}

TEST_F(TextTool, ASecondLineStartsBelowTheFirstByItsHeightAndTheSpacing) {
  NewText({10, 10});
  ASSERT_EQ(tool().style->size, 20);
  ASSERT_EQ(tool().style->lineSpacing, 20);
  Type(u"ab\rc");
  ASSERT_EQ(tool().glyphs.size(), 4u);
  ASSERT_EQ(Box(0).Height(), 20);  // the 80-pixel cell reduced four times
  EXPECT_EQ(Box(3).top, 24);
  EXPECT_EQ(tool().layer->m_image.width, static_cast<std::uint32_t>(Box(1).right));
  EXPECT_EQ(tool().layer->m_image.height, 44u);
  ASSERT_EQ(tool().lines.size(), 2u);
  EXPECT_EQ(tool().lines[0].first, 0);
  EXPECT_EQ(tool().lines[0].last, 2);
  EXPECT_EQ(tool().lines[1].first, 3);
  EXPECT_EQ(tool().layer->Text(), u"ab\rc");
}

TEST_F(TextTool, CentringMovesShorterLinesButNotALastSingleCharacter) {
  NewText({10, 10}, [](TextStyle& s) { s.alignment = 1; });
  Type(u"WWWW\rii\rW");
  const std::int32_t width = static_cast<std::int32_t>(tool().layer->m_image.width);
  const std::int32_t lineWidth = Box(6).right - Box(5).left;
  EXPECT_EQ(Box(5).left, (width - lineWidth) / 2);
  EXPECT_EQ(Box(0).left, 0);
  EXPECT_EQ(Box(8).left, 0);  // the line of one glyph stays at the left
}

TEST_F(TextTool, UnderlineFillsTheBottomRowsOfEachCell) {
  for (const auto& [size, rows] : std::vector<std::pair<std::int32_t, std::uint32_t>>{{20, 1}, {40, 2}}) {
    NewText({10, 10}, [size = size](TextStyle& s) {
      s.size = size;
      s.antialias = 0;
      s.underline = 1;
    });
    Type(u"i");
    const CBgraImage& cell = tool().glyphs[0]->coverage;
    ASSERT_LT(cell.height, 48u);
    ASSERT_EQ(cell.height / 16, rows == 1 ? cell.height / 16 : 2u) << size;
    for (std::uint32_t y = 0; y < cell.height; ++y) {
      const bool full = y >= cell.height - std::max(1u, cell.height / 16);
      EXPECT_EQ(cell.At(0, y)[1] == 255, full) << size << " row " << y;
    }
    tool().CommitEdit();
    LeaveTool();
    page->toolPanel.SetCurrentTool(&tool());
    Run();
  }
}

// Typing, paste and the caret -----------------------------------------------

TEST_F(TextTool, TheLimitsHoldForTypingAndPasting) {
  NewText({10, 10}, [](TextStyle& s) {
    s.size = 4;
    s.antialias = 0;
  });
  std::vector<std::unique_ptr<TextGlyph>> many;
  {
    auto guard = tool().LockOverlay();
    for (std::size_t i = 0; i < CTextTool::kMaxGlyphs; ++i) {
      auto g = std::make_unique<TextGlyph>();
      g->character = u'x';
      tool().glyphs.push_back(std::move(g));
    }
  }
  tool().caret = static_cast<std::int32_t>(CTextTool::kMaxGlyphs);
  EXPECT_FALSE(tool().InsertCharacter(u'y'));
  EXPECT_EQ(tool().glyphs.size(), CTextTool::kMaxGlyphs);

  tool().ClearGlyphs();
  tool().InsertText(std::u16string(1100, u'z'));
  EXPECT_EQ(tool().glyphs.size(), CTextTool::kMaxLoadedGlyphs);
}

TEST_F(TextTool, PastingReadsUtf8AndKeepsOnlyLineFeeds) {
  NewText({10, 10});
  const std::string text = "\xC3\x89t\xC3\xA9\r\n2024 \xF0\x9F\x98\x80!";  // "Été", CR LF, "2024 😀!"
  ASSERT_EQ(WriteClipboardBytes(ClipboardFormat::Text,
                                {reinterpret_cast<const std::uint8_t*>(text.c_str()), text.size() + 1}),
            1);
  host.KeyDown(VK_SHIFT);
  Run();
  (void)tool().OnKey(VK_INSERT, 1, 0);
  host.KeyUp(VK_SHIFT);
  Run();
  // The emoji lies outside the BMP: dropped whole, never two glyphs.
  EXPECT_EQ(tool().GlyphText(), std::u16string(u"\u00C9t\u00E9") + kLf + u"2024 !");
  EXPECT_EQ(tool().caret.load(), 10);
}

TEST_F(TextTool, TypedSurrogatesAreRefused) {
  NewText({10, 10});
  host.TypeText(u"A\U0001F600B");  // arrives as four UTF-16 units
  Run();
  EXPECT_EQ(tool().GlyphText(), u"AB");
}

TEST_F(TextTool, CaretKeysAndClicksFollowTheLines) {
  NewText({100, 100});
  Type(u"abcdef\rgh");
  tool().caret = 8;  // before "h"
  tool().MoveCaret(38);
  EXPECT_EQ(tool().caret.load(), 1);  // offset 1 on the first line
  tool().caret = 5;
  tool().MoveCaret(40);
  EXPECT_EQ(tool().caret.load(), 8);  // the second line's last index, not beyond
  tool().MoveCaret(36);
  EXPECT_EQ(tool().caret.load(), 0);
  tool().MoveCaret(37);
  EXPECT_EQ(tool().caret.load(), 0);
  tool().MoveCaret(35);
  EXPECT_EQ(tool().caret.load(), 9);
  tool().MoveCaret(39);
  EXPECT_EQ(tool().caret.load(), 9);

  // Up from the second line at an offset beyond the first line's length.
  tool().ClearGlyphs();
  tool().CreateTextFont();
  Type(u"ab\rcdefg");
  tool().caret = 7;
  tool().MoveCaret(38);
  EXPECT_EQ(tool().caret.load(), 2);

  // A click on the second glyph of the second line; left of the layer.
  const Rect d = Box(4);
  tool().SetCaretFromPoint({100 + d.left + 6, 100 + d.top + 2});
  EXPECT_EQ(tool().caret.load(), 4);
  tool().SetCaretFromPoint({90, 100 + d.top + 2});
  EXPECT_EQ(tool().caret.load(), 3);
}

TEST_F(TextTool, BackspaceDeleteAndEnterEditAndDeleteNeverReachesTheSelection) {
  page->document.m_selection.Free();
  ASSERT_EQ(page->document.m_selection.Create(400, 300), 1);
  std::memset(page->document.m_selection.pixels, 255, page->document.m_selection.byteSize);
  NewText({10, 10});
  Type(u"abc");
  host.KeyPress(VK_BACK);
  Run();
  EXPECT_EQ(tool().GlyphText(), u"ab");
  host.KeyPress(VK_HOME);
  host.KeyPress(VK_DELETE);
  Run();
  Frame();
  EXPECT_EQ(tool().GlyphText(), u"b");
  EXPECT_EQ(page->document.LayerCount(), 2);
  EXPECT_EQ(page->document.m_selection.pixels[0], 255);  // the selection is untouched
  host.KeyPress(VK_RETURN);
  Run();
  EXPECT_EQ(tool().GlyphText(), std::u16string(1, kCr) + u"b");
}

// The option panel ------------------------------------------------------------

TEST_F(TextTool, PanelItemsChangeTheStyle) {
  NewText({10, 10});
  Type(u"ab");
  struct SizeCase {
    std::u16string answer;
    std::int32_t size;
  };
  for (const SizeCase& c : std::vector<SizeCase>{{u"300", 256}, {u"0", 256}, {u"abc", 256}, {u"32", 32}}) {
    CDialogScript answer;
    answer.Next(CSStringDialog::kTemplateId)
        .Type(CSStringDialog::kEditId, u"")
        .Key(VK_BACK)
        .Key(VK_BACK)
        .Key(VK_BACK)
        .Type(CSStringDialog::kEditId, c.answer)
        .Press(kIdOk);
    Click(CTextTool::kItemSize);
    Run();
    EXPECT_EQ(tool().style->size, c.size) << ToUtf8(c.answer);
    EXPECT_TRUE(answer.Errors().empty());
  }

  Command(3000800);
  EXPECT_EQ(tool().style->lineSpacing, -10);
  Command(3000808);
  EXPECT_EQ(tool().style->lineSpacing, 70);

  for (int i = 0; i < 3; ++i) Click(CTextTool::kItemAlign);
  EXPECT_EQ(tool().style->alignment, 0);
  Click(CTextTool::kItemAlign);
  EXPECT_EQ(tool().style->alignment, 1);

  Click(CTextTool::kItemBold);
  EXPECT_EQ(tool().style->bold, 1);
  EXPECT_TRUE(tool().panel.FindItem(CTextTool::kItemBold)->checked);
  EXPECT_EQ(tool().font->Weight(), 700);
}

// How an edit ends --------------------------------------------------------------

TEST_F(TextTool, AClickBesideATextLayerMakesANewOneAboveTheCurrentLayer) {
  NewText({300, 200});
  Type(u"top");
  tool().CommitEdit();
  CTextLayer* first = tool().layer;
  LeaveTool();
  page->document.SetCurrentLayer(0);
  page->toolPanel.SetCurrentTool(&tool());
  Run();
  ClickAt({20, 30});
  ASSERT_NE(tool().layer, nullptr);
  EXPECT_NE(tool().layer, first);
  ASSERT_EQ(page->document.LayerCount(), 3);
  EXPECT_EQ(page->document.GetLayer(1), tool().layer);  // directly above the base layer
  EXPECT_EQ(page->document.m_currentLayer, 1);
  EXPECT_EQ(tool().layer->m_kind, kLayerText);
  EXPECT_EQ(tool().layer->Name(), u"Text");
  EXPECT_EQ(tool().layer->m_x, 20);
  EXPECT_EQ(tool().layer->m_y, 30);
}

TEST_F(TextTool, LeavingBeforeTypingRemovesTheNewLayerQuietly) {
  const int steps = page->history.StepCount();
  NewText({20, 20});
  ASSERT_EQ(page->document.LayerCount(), 2);
  CDialogScript script;  // any question would fail the script
  LeaveTool();
  EXPECT_EQ(page->document.LayerCount(), 1);
  EXPECT_EQ(page->history.StepCount(), steps);
  EXPECT_TRUE(script.Shown().empty());
}

TEST_F(TextTool, CommitsRecordTheirStepsAndAnEmptiedLayerLeavesByAStep) {
  NewText({20, 20});
  Type(u"Hi");
  Frame();  // the overlay places the confirm mark
  ASSERT_GT(tool().confirmMark.Width(), 0);
  const Rect mark = tool().confirmMark;
  const CanvasMapping m = page->canvas.Mapping();
  const Point click = page->canvas.PointToWindow(
      {(mark.left + mark.right) / 2 + m.content.left, (mark.top + mark.bottom) / 2 + m.content.top});
  host.MouseMove(click);
  Run();
  EXPECT_EQ(tool().hitRegion, CTextTool::kHitConfirm);
  host.Click(MouseButton::Left, click);
  Run();
  EXPECT_EQ(page->canvas.currentTool, nullptr);  // the mark ends the tool
  ASSERT_EQ(page->history.StepCount(), 2);
  EXPECT_EQ(page->history.Steps().back().type, kStepDocument);
  EXPECT_EQ(page->document.LayerCount(), 2);

  // The existing layer, edited: a whole-layer step.
  page->toolPanel.SetCurrentTool(&tool());
  Run();
  ClickAt({22, 25});
  ASSERT_NE(tool().layer, nullptr);
  EXPECT_EQ(tool().newLayer, 0);
  Type(u"!");
  tool().CommitEdit();
  ASSERT_EQ(page->history.StepCount(), 3);
  EXPECT_EQ(page->history.Steps().back().type, kStepLayer);

  // Emptied and committed: the layer goes, and the history knows it.
  tool().caret = 3;
  for (int i = 0; i < 3; ++i) (void)tool().OnKey(VK_BACK, 1, 0);
  ASSERT_TRUE(tool().glyphs.empty());
  tool().CommitEdit();
  EXPECT_EQ(page->document.LayerCount(), 1);
  ASSERT_EQ(page->history.StepCount(), 4);
  EXPECT_EQ(page->history.Steps().back().type, kStepDocument);
  LeaveTool();
  ASSERT_TRUE(page->history.GoToStep(2));
  EXPECT_EQ(page->document.LayerCount(), 2);
  ASSERT_TRUE(page->history.GoToStep(3));
  EXPECT_EQ(page->document.LayerCount(), 1);
}

TEST_F(TextTool, NoRestoresAnExistingLayerExactly) {
  NewText({40, 50});
  Type(u"Keep");
  tool().CommitEdit();
  LeaveTool();
  auto* layer = dynamic_cast<CTextLayer*>(page->document.GetLayer(1));
  ASSERT_NE(layer, nullptr);
  const std::vector<std::uint8_t> pixels = Bytes(layer->m_image);
  const TextStyle before = layer->m_style;
  std::array<std::uint8_t, TextStyle::kSize> styleBytes{};
  before.Encode(styleBytes);

  page->toolPanel.SetCurrentTool(&tool());
  Run();
  ClickAt({42, 55});
  ASSERT_EQ(tool().layer, layer);
  Type(u"ing");
  Click(CTextTool::kItemItalic);
  layer->m_x += 15;
  CDialogScript script;
  script.Next(CSMessageDlg::kTemplateId).Answer(kIdNo);
  LeaveTool();
  EXPECT_EQ(script.Shown(), (std::vector<std::int32_t>{CSMessageDlg::kTemplateId}));
  EXPECT_EQ(layer->Text(), u"Keep");
  EXPECT_EQ(Bytes(layer->m_image), pixels);
  EXPECT_EQ(layer->m_x, 40);
  EXPECT_EQ(layer->m_y, 50);
  std::array<std::uint8_t, TextStyle::kSize> after{};
  layer->m_style.Encode(after);
  EXPECT_EQ(after, styleBytes);
}

TEST_F(TextTool, ACommitStoresTheStyleForTheNextLayer) {
  NewText({10, 10}, [](TextStyle& s) {
    s.size = 33;
    s.underline = 1;
  });
  Type(u"x");
  tool().CommitEdit();
  LeaveTool();
  page->toolPanel.SetCurrentTool(&tool());
  Run();
  ClickAt({200, 200});
  ASSERT_NE(tool().style, nullptr);
  EXPECT_EQ(tool().style->size, 33);
  EXPECT_EQ(tool().style->underline, 1);
  EXPECT_EQ(tool().style->charset, 0);
}

TEST_F(TextTool, TheFontMenuListsFacesByNameAndSetsTheChosenOne) {
  // The system's list: scalable faces with Latin letters, each once.
  const std::vector<std::u16string> system = ListFontFamilies();
  EXPECT_NE(std::find(system.begin(), system.end(), u"DejaVu Sans"), system.end());
  for (std::size_t i = 0; i < system.size(); ++i)
    EXPECT_EQ(std::count(system.begin(), system.end(), system[i]), 1) << ToUtf8(system[i]);

  LeaveTool();
  tool().fonts.clear();
  tool().faceOverride = {u"Zeta Sans", u"DejaVu Sans"};
  page->toolPanel.SetCurrentTool(&tool());
  Run();
  ASSERT_EQ(tool().fonts.size(), 2u);
  EXPECT_EQ(std::u16string(tool().fonts[0]->name.data()), u"DejaVu Sans");
  EXPECT_TRUE(tool().fonts[0]->sample.IsEmpty());  // drawn when the menu first opens
  NewText({10, 10});
  Type(u"a");
  Click(CTextTool::kItemFont);
  Run();
  EXPECT_EQ(tool().fontMenu.ItemCount(), 2u);
  EXPECT_FALSE(tool().fonts[1]->sample.IsEmpty());
  EXPECT_EQ(tool().fonts[1]->sample.At(0, 0)[0], 0);  // black, the coverage as alpha
  host.KeyPress(VK_ESCAPE);
  Run();
  Command(CTextTool::kFirstFontCommand + 1);
  EXPECT_EQ(std::u16string(tool().style->face.data()), u"Zeta Sans");
  EXPECT_EQ(tool().panel.FindItem(CTextTool::kItemFont)->text, u"Zeta Sans");
}

// The overlay is drawn on the render thread while typing grows and shrinks
// the glyph list: the list and the lines change only under the canvas's
// lock (ThreadSanitizer run).
TEST_F(TextTool, TheOverlayDrawsWhileTypingChangesTheGlyphs) {
  NewText({30, 30}, [](TextStyle& s) {
    s.size = 6;
    s.antialias = 0;
  });
  CBgraImage target;
  const Rect content = page->canvas.Mapping().content;
  ASSERT_EQ(target.Create(static_cast<std::uint32_t>(content.Width()),
                          static_cast<std::uint32_t>(content.Height())),
            1);
  std::atomic<bool> stop{false};
  std::atomic<int> draws{0};
  std::thread render([&] {
    while (!stop) {
      auto guard = tool().LockOverlay();
      tool().DrawOverlay(target, 0);
      ++draws;
    }
  });
  for (int i = 0; i < 150; ++i) Type(i % 20 == 19 ? u"\r" : u"w");
  for (int i = 0; i < 100; ++i) (void)tool().OnKey(VK_BACK, 1, 0);
  while (draws < 3) std::this_thread::yield();
  stop = true;
  render.join();
  EXPECT_EQ(tool().glyphs.size(), 50u);
}

TEST_F(TextTool, CtrlVPastesTheClipboardsTextIntoTheEditedLayer) {
  NewText({10, 10});
  const std::string text = "ab";
  ASSERT_EQ(WriteClipboardBytes(ClipboardFormat::Text,
                                {reinterpret_cast<const std::uint8_t*>(text.c_str()), text.size() + 1}),
            1);
  host.KeyDown(VK_CONTROL);
  host.KeyPress('V');
  host.KeyUp(VK_CONTROL);
  Run();
  EXPECT_EQ(tool().GlyphText(), u"ab");
  EXPECT_EQ(page->document.LayerCount(), 2);  // no picture layer
}
