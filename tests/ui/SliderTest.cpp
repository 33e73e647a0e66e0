// The slider, headless with pushed input: the value text with scale and
// unit, steps of about a pixel's worth, the drag that posts once, the
// buttons, the typed value, the disabled slider, the raw value its bindings exchange, values
// that are huge or not numbers, degenerate ranges and tracks; and the
// fraction reader of its value input.

#include <cmath>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "platform/WindowMessages.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/dialogs/SStringDialog.h"
#include "ui/widgets/EditSprite.h"
#include "ui/widgets/ParseFraction.h"
#include "ui/widgets/SliderSprite.h"

namespace {

constexpr Point kSliderOrigin{20, 40};

// Large enough for the value input and the message box.
class SliderTest : public DialogFixture {
public:
  // 285 wide: the track runs from 20 to 220, 200 pixels.
  CSliderSprite* Make(std::int32_t width = 285) {
    auto* slider = new CSliderSprite;
    EXPECT_TRUE(
        slider->Create(parent, nullptr, 1500,
                       {kSliderOrigin.x, kSliderOrigin.y, kSliderOrigin.x + width, kSliderOrigin.y + 20}, 0));
    slider->owned = 1;
    parent->AppendChild(slider);
    slider->SetSpriteRect(kSliderOrigin.x, kSliderOrigin.y, width, 20);
    Frame();
    return slider;
  }
  static Point At(const CSliderSprite* slider, std::int32_t x, std::int32_t y = 10) {
    return slider->PointToWindow({x, y});
  }
  // Moves onto the point and clicks it.
  void ClickAt(Point point) {
    host.MouseMove(point);
    Run();
    host.Click(MouseButton::Left, point);
    Run();
    host.AdvanceClock(150);
  }
  std::vector<Note> Notes() {
    Run();
    return parent->Take();
  }
  static Note Changed(std::int32_t value, std::int32_t scale) {
    return {kSliderMsgChanged, static_cast<std::uint64_t>(static_cast<std::int64_t>(value)),
            static_cast<std::uint64_t>(scale)};
  }
};

TEST_F(SliderTest, TheValueButtonShowsTheShownValueWithItsUnit) {
  struct Case {
    std::int32_t minimum, maximum, value, scale;
    std::u16string unit;
    std::u16string caption;
  };
  const Case cases[] = {
      {0, 100, 50, 1, u"", u"50"},
      {0, 1000, 125, 10, u"%", u"12.5%"},
      {-500, 500, -7, 100, u"px", u"-0.07px"},
      {0, 100, 150, 1, u"", u"150"},  // SetRange does not clamp
      {0, 100, 30, 0, u"", u"30"},    // a scale of 0 counts as 1
      {0, 100, 5, 1, u"degree", u"5degree"},
      {0, 100, 5, 1, u"degrees", u"5degre.."},  // a field of 8: 7 characters are cut
  };
  CSliderSprite* slider = Make();
  EXPECT_EQ(slider->valueButton.Caption(), u"0");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.caption.begin(), c.caption.end()));
    slider->SetRange(c.minimum, c.maximum, c.value, c.scale, c.unit);
    EXPECT_EQ(slider->valueButton.Caption(), c.caption);
    EXPECT_EQ(slider->Value(), c.value);
    Frame();
  }
  EXPECT_TRUE(Notes().empty()) << "SetRange posts nothing";
  slider->SetRange(0, 1000, 125, 10, u"%");
  {
    std::lock_guard guard(slider->valueButton.lock);
    EXPECT_GT(slider->valueButton.captionImage.width, 25u) << "the value whole, not \"..\"";
  }
  // Unclamped beyond the maximum, the thumb stays at the track's end.
  slider->SetRange(0, 100, 150, 1, u"");
  Frame();
  std::lock_guard guard(slider->lock);
  EXPECT_EQ(slider->thumbRect.right, 220);
}

TEST_F(SliderTest, StepsAreAboutAPixelOfTheRangeByWheelKeyAndButton) {
  struct Case {
    std::int32_t maximum, scale, step;
  };
  const Case cases[] = {{10000, 1, 50}, {10, 1, 1}, {10000, 10, 5}, {100000, 1, 500}};
  CSliderSprite* slider = Make();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.maximum);
    slider->SetRange(0, c.maximum, c.maximum / 2, c.scale, u"");
    const std::int32_t start = c.maximum / 2;
    ASSERT_EQ(slider->Step(), c.step);
    host.MouseMove(At(slider, 100));
    host.Wheel(At(slider, 100), -120);  // toward the user: up
    EXPECT_EQ(Notes(), (std::vector<Note>{Changed(start + c.step, c.scale)}));
    host.Wheel(At(slider, 100), 120);
    EXPECT_EQ(Notes(), (std::vector<Note>{Changed(start, c.scale)}));
    slider->OnKeyDown(VK_RIGHT, 1, 0);
    slider->OnKeyDown(VK_RIGHT, 1, 0);
    slider->OnKeyDown(VK_LEFT, 1, 0);
    slider->OnKeyDown(VK_UP, 1, 0);  // other keys do nothing
    EXPECT_EQ(Notes(),
              (std::vector<Note>{Changed(start + c.step, c.scale), Changed(start + 2 * c.step, c.scale),
                                 Changed(start + c.step, c.scale)}));
    ClickAt(At(slider, 231));  // plus
    ClickAt(At(slider, 9));    // minus
    ClickAt(At(slider, 9));
    EXPECT_EQ(Notes(), (std::vector<Note>{Changed(start + 2 * c.step, c.scale),
                                          Changed(start + c.step, c.scale), Changed(start, c.scale)}));
  }
  // The plus button at the maximum posts the unchanged value.
  slider->SetRange(0, 100, 100, 1, u"");
  ClickAt(At(slider, 231));
  EXPECT_EQ(Notes(), (std::vector<Note>{Changed(100, 1)}));
  EXPECT_EQ(slider->Value(), 100);
}

TEST_F(SliderTest, ADragPostsOnceAtTheReleaseAndATrackPressJumps) {
  CSliderSprite* slider = Make();
  slider->SetRange(0, 200, 100, 1, u"");
  Frame();
  {
    std::lock_guard guard(slider->lock);
    // Travel 190 (the thumb is 10 wide): 100 of 200 is 95 along.
    ASSERT_EQ(slider->thumbRect, (Rect{115, 3, 125, 17}));
  }
  host.MouseMove(At(slider, 120));
  host.MouseDown(MouseButton::Left, At(slider, 120));
  host.MouseMove(At(slider, 150));
  Run();
  EXPECT_EQ(slider->Value(), 130) << "the drag maps through the whole track";
  EXPECT_EQ(slider->valueButton.Caption(), u"130");
  host.MouseMove(At(slider, 170, 5));
  Run();
  EXPECT_TRUE(Notes().empty()) << "nothing while dragging";
  host.MouseUp(MouseButton::Left, At(slider, 170, 5));
  EXPECT_EQ(Notes(), (std::vector<Note>{Changed(150, 1)}));
  Frame();

  // A drag that leaves the slider ends there, with one message.
  Rect thumb;
  {
    std::lock_guard guard(slider->lock);
    thumb = slider->thumbRect;
  }
  const std::int32_t grab = (thumb.left + thumb.right) / 2;
  host.MouseMove(At(slider, grab));
  host.MouseDown(MouseButton::Left, At(slider, grab));
  host.MouseMove(At(slider, grab - 40));
  Run();  // queued moves are merged: this one is handled before the next
  EXPECT_EQ(slider->Value(), 110);
  host.MouseMove(At(slider, grab - 40, 60));
  Run();
  host.MouseMove(At(slider, grab - 80, 60));
  host.MouseUp(MouseButton::Left, At(slider, grab - 80, 60));
  EXPECT_EQ(Notes(), (std::vector<Note>{Changed(110, 1)}));
  EXPECT_EQ(slider->dragging, 0);
  host.AdvanceClock(150);

  // A press on the track puts the thumb's centre under the pointer, through
  // the travel: (60 - 5 - 20) x 200 / 190.
  ClickAt(At(slider, 60));
  EXPECT_EQ(Notes(), (std::vector<Note>{Changed(36, 1)}));
}

TEST_F(SliderTest, TheValueButtonTakesANumberOrAFractionAndRefusesTheRest) {
  struct Case {
    std::u16string typed;
    bool ok;  // OK, else Cancel
    std::int32_t value;
    bool refused;  // the format message shows
  };
  const Case cases[] = {
      {u"1/4", true, 25, false},    {u"-2.5", true, 0, false},  // clamped to the minimum
      {u"33.5", true, 3350, false}, {u"250", true, 10000, false},
      {u"abc", true, 5000, true},   {u"1/0", true, 5000, true},
      {u"1e400", true, 5000, true}, {u"", true, 5000, false},  // nothing typed: nothing happens
      {u"7", false, 5000, false},
  };
  CSliderSprite* slider = Make();
  const Point corner = slider->PointToWindow({slider->rect.Width(), 0});
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.typed.begin(), c.typed.end()));
    slider->SetRange(0, 10000, 5000, 100, u"");
    Frame();
    std::u16string shownText, prompt, title, message;
    Rect place;
    CDialogScript script;
    script.Next(CSStringDialog::kTemplateId)
        .Call([&](CDialogSprite& dialog) {
          auto& input = dynamic_cast<CSStringDialog&>(dialog);
          auto* field = dynamic_cast<CEditSprite*>(input.FindControl(CSStringDialog::kEditId));
          shownText = field->GetText();
          prompt = input.prompt;
          title = input.title;
          place = input.rect;
          ASSERT_TRUE(field->SetText(c.typed));
        })
        .Press(c.ok ? kIdOk : kIdCancel);
    if (c.refused) {
      script.Next(CSMessageDlg::kTemplateId)
          .Call([&](CDialogSprite& box) { message = dynamic_cast<CSMessageDlg&>(box).text; })
          .Press(kIdOk);
    }
    ClickAt(At(slider, 262));  // the value button
    ExpectAnswered(script);
    EXPECT_EQ(shownText, u"50");
    EXPECT_EQ(title, u"Value");
    EXPECT_EQ(prompt, u"Enter a value from 0 to 100; a fraction such as 1/4 is fine.");
    EXPECT_EQ(place.left, corner.x);
    EXPECT_EQ(place.top, corner.y);
    EXPECT_EQ(message, c.refused ? u"Please enter a number, or a fraction of two numbers such as 1/4." : u"");
    EXPECT_EQ(slider->Value(), c.value);
    const bool posts = c.ok && !c.refused && !c.typed.empty();
    EXPECT_EQ(Notes(), posts ? std::vector<Note>{Changed(c.value, 100)} : std::vector<Note>{});
  }
  // A disabled slider opens nothing.
  slider->acceptsInput = 0;
  CDialogScript none;
  ClickAt(At(slider, 262));
  EXPECT_TRUE(none.Shown().empty());

  // The slider's owner destroys it while the input is open: the answer
  // reaches nothing of it.
  slider->acceptsInput = 1;
  CDialogScript closing;
  closing.Next(CSStringDialog::kTemplateId)
      .Call([&](CDialogSprite& dialog) {
        ASSERT_TRUE(dynamic_cast<CEditSprite*>(dialog.FindControl(CSStringDialog::kEditId))->SetText(u"1/4"));
        EXPECT_TRUE(parent->DestroyChild(slider));
      })
      .Press(kIdOk);
  ClickAt(At(slider, 262));
  ExpectAnswered(closing);
  EXPECT_TRUE(Notes().empty());
}

TEST_F(SliderTest, ADisabledSliderDrawsHalfATrackNoThumbAndIgnoresInput) {
  CSliderSprite* slider = Make();
  slider->SetRange(0, 100, 40, 1, u"");
  Frame();
  std::int32_t enabledAlpha = 0;
  {
    std::lock_guard guard(slider->lock);
    enabledAlpha = slider->surface.At(100, 18)[3];
    EXPECT_FALSE(slider->thumbRect.IsEmpty());
  }
  slider->acceptsInput = 0;
  slider->dirty = 1;
  Frame();
  {
    std::lock_guard guard(slider->lock);
    EXPECT_TRUE(slider->thumbRect.IsEmpty()) << "no thumb";
    EXPECT_GT(enabledAlpha, 100);
    EXPECT_NEAR(slider->surface.At(100, 18)[3], enabledAlpha / 2, 3) << "the track at half strength";
  }
  host.MouseMove(At(slider, 100));
  host.Wheel(At(slider, 100), -120);
  Run();
  slider->OnKeyDown(VK_RIGHT, 1, 0);
  ClickAt(At(slider, 60));
  ClickAt(At(slider, 231));
  host.MouseMove(At(slider, 60));
  host.MouseDown(MouseButton::Left, At(slider, 60));
  host.MouseMove(At(slider, 150));
  host.MouseUp(MouseButton::Left, At(slider, 150));
  EXPECT_TRUE(Notes().empty());
  EXPECT_EQ(slider->Value(), 40);
}

TEST_F(SliderTest, BindingsExchangeTheRawValue) {
  CSliderSprite* slider = Make();
  slider->SetRange(0, 1000, 125, 10, u"%");
  char16_t text[16];
  slider->GetValue(text);
  EXPECT_EQ(std::u16string(text), u"125");
  // Read back as it was written: a round trip keeps a scaled value.
  for (int round = 0; round < 3; ++round) {
    slider->SetValue(text);
    slider->GetValue(text);
  }
  EXPECT_EQ(slider->Value(), 125);
  EXPECT_EQ(slider->valueButton.Caption(), u"12.5%");
  EXPECT_EQ(Notes(), (std::vector<Note>(3, Changed(125, 10)))) << "each SetValue posts";
  slider->SetValue(u"99999");
  EXPECT_EQ(slider->Value(), 1000);
  slider->SetValue(u"-5 degrees");
  EXPECT_EQ(slider->Value(), 0);
  slider->SetValue(u"99999999999999999999");
  EXPECT_EQ(slider->Value(), 1000);
}

TEST_F(SliderTest, HugeValuesAndDegenerateRangesAndTracks) {
  CSliderSprite* slider = Make();
  slider->SetRange(-100, 100, 0, 100, u"");
  struct Case {
    double shown;
    std::int32_t value;
  };
  const Case cases[] = {
      {1e300, 100},        {-1e300, -100},
      {0.255, 26},                                                          // half away from zero
      {-0.255, -26},       {std::numeric_limits<double>::infinity(), -26},  // not finite: unchanged
      {std::nan(""), -26},
  };
  for (const Case& c : cases) {
    slider->SetSliderValue(c.shown, false);
    EXPECT_EQ(slider->Value(), c.value) << c.shown;
  }
  // A range of one value, and tracks of no length: nothing divides by 0.
  // On the narrow ones the press may meet the value button: its input is
  // cancelled.
  CDialogScript script;
  for (int i = 0; i < 4; ++i) script.Next(CSStringDialog::kTemplateId).Press(kIdCancel);
  for (const std::int32_t width : {285, 85, 40, 3}) {
    SCOPED_TRACE(width);
    CSliderSprite* narrow = Make(width);
    narrow->SetRange(5, 5, 5, 1, u"");
    Frame();
    narrow->SetRange(0, 100, 50, 0, u"");
    Frame();
    EXPECT_GE(narrow->Step(), 1);
    host.MouseMove(At(narrow, width / 2));
    host.MouseDown(MouseButton::Left, At(narrow, width / 2));
    host.MouseMove(At(narrow, width / 2 + 1));
    host.MouseUp(MouseButton::Left, At(narrow, width / 2 + 1));
    host.Wheel(At(narrow, width / 2), -120);
    Run();
    EXPECT_GE(narrow->Value(), 0);
    EXPECT_LE(narrow->Value(), 100);
    EXPECT_TRUE(parent->DestroyChild(narrow));
    host.AdvanceClock(150);
  }
}

TEST(ParseFractionTest, NumbersAndFractionsAndWhatIsRefused) {
  struct Case {
    std::u16string text;
    bool ok;
    double value;
  };
  const Case cases[] = {
      {u"1/4", true, 0.25},       {u"3", true, 3.0},         {u"-2.5", true, -2.5},
      {u" 1/8", true, 0.125},     {u"1/4/9", true, 0.25},  // the denominator ends at the next slash
      {u"3 apples/2", true, 1.5}, {u"1/-2", true, -0.5},     {u"1/1e-8", true, 1e8},
      {u"1/0", false, 0},         {u"1/1e-9", false, 0},                            // below 1e-8
      {u"1/x", false, 0},         {u"abc", false, 0},        {u"1e400", false, 0},  // not finite
      {u"-1e400/2", false, 0},    {u"1e301/1e-8", false, 0}, {u"+inf", false, 0},
  };
  for (const Case& c : cases) {
    double result = -1;
    EXPECT_EQ(ParseFraction(c.text, result), c.ok) << std::string(c.text.begin(), c.text.end());
    if (c.ok) {
      EXPECT_DOUBLE_EQ(result, c.value);
    }
  }
}

}  // namespace
