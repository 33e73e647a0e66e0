// The simplest dialog controls: separators and labels of the static text,
// the one-off label of DrawTextInRect, and check and radio boxes (values,
// what pressing and Space post, what they draw, and the disabled box).

#include <algorithm>
#include <array>
#include <mutex>
#include <string>

#include "platform/WindowMessages.h"
#include "tests/ui/WidgetTestSupport.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/widgets/DrawTextInRect.h"
#include "ui/widgets/SCheckBox.h"
#include "ui/widgets/SRatioButton.h"
#include "ui/widgets/SStaticText.h"

namespace {

constexpr std::int32_t kId = 17;

class DialogControlsTest : public WidgetFixture {
public:
  template <typename Control, typename... Args>
  Control* Add(const Rect& place, Args... args) {
    auto* control = new Control;
    EXPECT_TRUE(control->Create(parent, kId, place, args...));
    control->owned = 1;
    parent->AppendChild(control);
    Frame();
    return control;
  }
  std::uint32_t Pixel(CSprite* sprite, std::int32_t x, std::int32_t y) {
    std::lock_guard guard(sprite->lock);
    return PixelAt(sprite->surface, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
  }
  std::vector<Note> Changes() {
    Run();
    std::vector<Note> changes;
    for (const Note& note : parent->Take()) {
      if (note.code == kCheckMsgChanged) changes.push_back(note);
    }
    return changes;
  }
  static std::u16string Value(CDialogControl* control) {
    std::array<char16_t, 8> buffer{};
    control->GetValue(buffer);
    return buffer.data();
  }
};

std::uint32_t Alpha(std::uint32_t pixel) { return pixel >> 24; }
std::uint32_t Red(std::uint32_t pixel) { return (pixel >> 16) & 0xFF; }

// Static text ------------------------------------------------------------------------

TEST_F(DialogControlsTest, NarrowStaticsAreSeparatorsOfOneOrTwoLines) {
  struct Case {
    Rect place;
    std::vector<std::int32_t> lines;  // rows (horizontal) or columns (vertical) drawn
    bool vertical;
  };
  const Case cases[] = {
      {{10, 10, 50, 11}, {0}, false},    {{10, 10, 50, 12}, {0, 1}, false},
      {{10, 10, 50, 14}, {0, 1}, false},  // 4 high: still a separator
      {{10, 10, 13, 50}, {0, 1}, true},  {{10, 10, 11, 50}, {0}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.place.Width() << " x " << c.place.Height());
    auto* label = Add<CSStaticText>(c.place, std::u16string_view(u"never drawn"), 0);
    ASSERT_TRUE(label->IsSeparator());
    const std::int32_t across = c.vertical ? c.place.Width() : c.place.Height();
    const std::int32_t along = c.vertical ? c.place.Height() : c.place.Width();
    for (std::int32_t line = 0; line < across; ++line) {
      const bool drawn = std::count(c.lines.begin(), c.lines.end(), line) > 0;
      for (const std::int32_t at : {1, along / 2, along - 2}) {
        const std::uint32_t pixel = c.vertical ? Pixel(label, line, at) : Pixel(label, at, line);
        if (drawn) {
          EXPECT_GE(Alpha(pixel), 250u) << line << " at " << at;
          EXPECT_NEAR(static_cast<int>(Red(pixel)), 80, 2) << line << " at " << at;
        } else {
          EXPECT_LT(Alpha(pixel), 8u) << line << " at " << at << ": no line and no text";
        }
      }
    }
    ASSERT_TRUE(parent->DestroyChild(label));
  }
}

TEST_F(DialogControlsTest, ATextTallerThanItsControlIsCentredWithItsTopCut) {
  const std::u16string text = u"first line\\nsecond line\\nthird line";
  CBgraImage expected;
  ASSERT_TRUE(UIResources().skins.RenderWrappedText(expected, text, 150, 0));
  const auto textHeight = static_cast<std::int32_t>(expected.height);
  // An odd shortfall: rounding toward minus infinity cuts one row more at
  // the top than at the bottom.
  const std::int32_t height = textHeight - 7;
  ASSERT_GE(height, 5);
  auto* label = Add<CSStaticText>({10, 10, 160, 10 + height}, std::u16string_view(text), 0);
  EXPECT_EQ(label->TextSize().height, textHeight);
  const std::int32_t offset = -4;
  const std::uint32_t colour = UIResources().theme.colors[2] & 0xFFFFFF;
  std::int32_t compared = 0;
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < 150; ++x) {
      const std::uint32_t coverage =
          x < static_cast<std::int32_t>(expected.width)
              ? PixelAt(expected, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y - offset)) >> 24
              : 0;
      const std::uint32_t pixel = Pixel(label, x, y);
      ASSERT_EQ(Alpha(pixel), coverage) << x << "," << y;
      if (coverage > 0) {
        EXPECT_EQ(pixel & 0xFFFFFF, colour);
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 20);

  ASSERT_TRUE(label->SetText(u"one"));
  EXPECT_EQ(label->Text(), u"one");
  std::array<char16_t, 3> small{};
  label->GetValue(small);
  EXPECT_EQ(std::u16string(small.data()), u"..") << "cut to n - 3 characters and the dots";
  std::array<char16_t, 8> room{};
  label->GetValue(room);
  EXPECT_EQ(std::u16string(room.data()), u"one");
  EXPECT_FALSE(label->CanTakeFocus());
}

TEST_F(DialogControlsTest, DrawTextInRectPlacesAndClipsTheLabel) {
  CBgraImage word;
  ASSERT_TRUE(UIResources().skins.RenderTextLocked(u"Label", word));
  const auto w = static_cast<std::int32_t>(word.width), h = static_cast<std::int32_t>(word.height);
  const Rect box{20, 10, 120, 50};
  struct Case {
    TextAlign horizontal, vertical;
    Point topLeft;
  };
  const Case cases[] = {
      {TextAlign::Near, TextAlign::Near, {box.left, box.top}},
      {TextAlign::Centre, TextAlign::Centre, {box.left + (100 - w) / 2, box.top + (40 - h) / 2}},
      {TextAlign::Far, TextAlign::Far, {box.right - w, box.bottom - h}},
  };
  for (const Case& c : cases) {
    CBgraImage target = FilledImage(140, 60, 0);
    ASSERT_TRUE(DrawTextInRect(target, u"Label", 0, box, 0xFF00FF00u, c.horizontal, c.vertical));
    for (std::int32_t y = 0; y < 60; ++y) {
      for (std::int32_t x = 0; x < 140; ++x) {
        const Point at{x - c.topLeft.x, y - c.topLeft.y};
        const bool inWord = at.x >= 0 && at.y >= 0 && at.x < w && at.y < h;
        const std::uint32_t want = inWord ? PixelAt(word, at.x, at.y) >> 24 : 0;
        ASSERT_EQ(Alpha(PixelAt(target, x, y)), want) << x << "," << y;
      }
    }
  }
  // Wider than its rectangle: shortened, and nothing painted outside.
  CBgraImage target = FilledImage(140, 60, 0);
  const Rect narrow{10, 10, 50, 30};
  ASSERT_TRUE(DrawTextInRect(target, u"A label far too long", 0, narrow, 0xFFFFFFFFu, TextAlign::Near,
                             TextAlign::Near));
  bool inside = false;
  for (std::int32_t y = 0; y < 60; ++y) {
    for (std::int32_t x = 0; x < 140; ++x) {
      if (Alpha(PixelAt(target, x, y)) == 0) continue;
      ASSERT_TRUE(narrow.Contains(x, y)) << x << "," << y;
      inside = true;
    }
  }
  EXPECT_TRUE(inside);
  EXPECT_TRUE(DrawTextInRect(target, u"x", 0, {5, 5, 5, 20}, 0xFFFFFFFFu, TextAlign::Near, TextAlign::Near))
      << "an empty rectangle shows nothing";
}

// Check and radio boxes ------------------------------------------------------------------

TEST_F(DialogControlsTest, CheckBoxValuesPostNothingAndPressesPostTheNewState) {
  auto* box = Add<CSCheckBox>({10, 10, 150, 34}, std::u16string_view(u"Keep"));
  EXPECT_TRUE(box->CanTakeFocus());
  const std::pair<std::u16string_view, std::u16string_view> values[] = {
      {u"1", u"1"},        {u"7", u"1"},  {u"0", u"0"},  {u"", u"0"},
      {u" 12 dogs", u"1"}, {u"-3", u"1"}, {u"x1", u"0"},
  };
  for (const auto& [given, read] : values) {
    box->SetValue(given);
    EXPECT_EQ(Value(box), read) << std::string(given.begin(), given.end());
  }
  EXPECT_EQ(Changes(), std::vector<Note>{}) << "setting the value tells no one";

  box->SetValue(u"0");
  host.Click(MouseButton::Left, {20, 20});
  host.AdvanceClock(150);
  host.Click(MouseButton::Left, {20, 20});
  EXPECT_EQ(Changes(), (std::vector<Note>{{kCheckMsgChanged, kId, 1}, {kCheckMsgChanged, kId, 0}}));
  window.SetFocusSprite(box, 1);
  host.KeyPress(VK_SPACE);
  host.AdvanceClock(150);
  host.KeyPress(VK_RETURN);
  EXPECT_EQ(Changes(), (std::vector<Note>{{kCheckMsgChanged, kId, 1}})) << "Space presses, Enter does not";
  EXPECT_EQ(Value(box), u"1");
}

TEST_F(DialogControlsTest, RadioButtonsOnlyTick) {
  auto* radio = Add<CSRatioButton>({10, 10, 150, 34}, std::u16string_view(u"This one"));
  host.Click(MouseButton::Left, {20, 20});
  host.AdvanceClock(150);
  host.Click(MouseButton::Left, {20, 20});
  window.SetFocusSprite(radio, 1);
  host.KeyPress(VK_SPACE);
  EXPECT_EQ(Changes(), (std::vector<Note>{{kCheckMsgChanged, kId, 1}})) << "a ticked radio posts nothing";
  EXPECT_EQ(Value(radio), u"1");
  radio->SetValue(u"0");  // the dialog clears the group
  host.AdvanceClock(150);
  host.KeyPress(VK_SPACE);
  EXPECT_EQ(Changes(), (std::vector<Note>{{kCheckMsgChanged, kId, 1}}));
}

TEST_F(DialogControlsTest, DisabledBoxesIgnoreInputAndDrawGrey) {
  auto* box = Add<CSCheckBox>({10, 10, 150, 34}, std::u16string_view(u"Keep"));
  auto* radio = Add<CSRatioButton>({10, 40, 150, 64}, std::u16string_view(u"This one"));
  for (CSCheckBox* control : {box, static_cast<CSCheckBox*>(radio)}) {
    control->acceptsInput = 0;
    control->OnLButtonDown({5, 5}, MK_LBUTTON);
    control->OnKeyDown(VK_SPACE, 1, 0);
    EXPECT_EQ(Value(control), u"0");
  }
  EXPECT_EQ(Changes(), std::vector<Note>{});

  // The glyph cell is the disabled one (+2), ticked (+1); the caption grey.
  const auto& colors = UIResources().theme.colors;
  for (const auto& [control, first] : {std::pair<CSCheckBox*, SkinIcon>{box, kIconCheckBox},
                                       std::pair<CSCheckBox*, SkinIcon>{radio, kIconRadio}}) {
    for (const bool enabled : {false, true}) {
      control->acceptsInput = enabled ? 1 : 0;
      control->SetValue(u"1");
      Frame();
      const CBgraImage& cell = *UIResources().skins.icons.At(first + (enabled ? 0 : 2) + 1);
      CBgraImage expected = FilledImage(30, 24, 0);
      BlendImage(expected, cell, 2, 2, true, {}, 256);
      for (std::int32_t y = 0; y < 22; ++y) {
        for (std::int32_t x = 0; x < 22; ++x) ASSERT_EQ(Pixel(control, x, y), PixelAt(expected, x, y));
      }
      // Over the transparent surface the caption keeps its colour exactly,
      // its coverage in the alpha.
      std::int32_t captionPixels = 0;
      const std::uint32_t caption = (enabled ? colors[0] : colors[3]) & 0xFFFFFF;
      for (std::int32_t y = 0; y < 24; ++y) {
        for (std::int32_t x = 28; x < 100; ++x) {
          const std::uint32_t pixel = Pixel(control, x, y);
          if (Alpha(pixel) == 0) continue;
          ASSERT_EQ(pixel & 0xFFFFFF, caption) << x << "," << y;
          ++captionPixels;
        }
      }
      EXPECT_GT(captionPixels, 20);
    }
  }
}

}  // namespace
