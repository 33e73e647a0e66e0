// Dialogs built from templates: dialog units to pixels, the controls a
// template makes, the value bindings both ways with their checks, Esc and
// Enter, the dialog layers, dragging by the title band, the fade, and the
// script that answers modal dialogs.

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/AnimationSwitch.h"
#include "ui/widgets/EditSprite.h"
#include "ui/widgets/FlatSimpleList.h"
#include "ui/widgets/SCheckBox.h"
#include "ui/widgets/SFadeEffect.h"
#include "ui/widgets/SRatioButton.h"
#include "ui/widgets/SStaticText.h"
#include "ui/widgets/SliderSprite.h"

namespace {

// Two fields and a check box, for the bindings; a radio button whose text
// is a key; a static between them.
constexpr std::string_view kFieldsTemplate = R"(
dialog 60001 "title" 200 100
control Edit 11 "" 10 10 80 14
control Static 500 "label" 10 30 80 10
control Edit 12 "" 10 45 80 14
control Button 13 "#CCheck me" 100 10 80 14
control Button 14 "#RdlgRadioKeyOfThisTest" 100 30 80 14
control Button 1 "OK" 100 60 40 14
)";

class CFieldsDialog : public CDialogSprite {
public:
  [[nodiscard]] bool OnInitDialog() override {
    initCalls++;
    if (!initResult) return false;
    bool bound = true;
    for (const Bind& bind : binds) bound = bind() && bound;
    return bound && UpdateData(false);
  }
  using Bind = std::function<bool()>;
  std::vector<Bind> binds;
  bool initResult = true;
  int initCalls = 0;
};

class DialogSpriteTest : public DialogFixture {
public:
  DialogSpriteTest() { AddTemplates(kFieldsTemplate); }
  ~DialogSpriteTest() override { g_AnimationEnabled = 0; }

  static std::u16string Value(CDialogSprite& dialog, std::int32_t id) {
    std::vector<char16_t> buffer(64);
    dialog.FindControl(id)->GetValue(buffer);
    return buffer.data();
  }
  static CEditSprite* Field(CDialogSprite& dialog, std::int32_t id) {
    return dynamic_cast<CEditSprite*>(dialog.FindControl(id));
  }
};

TEST(DialogUnitsTest, ConvertWithTheFixedBaseUnitsRoundingHalfUp) {
  struct Case {
    std::int32_t units, x, y;
  };
  // x = units * 6 / 4 + 0.5, y = units * 13 / 8 + 0.5, truncated.
  const Case cases[] = {
      {0, 0, 0},      {1, 2, 2},      {3, 5, 5},       {4, 6, 7},       {7, 11, 11},          {14, 21, 23},
      {84, 126, 137}, {94, 141, 153}, {154, 231, 250}, {292, 438, 475}, {32767, 49151, 53246}};
  for (const Case& c : cases) {
    EXPECT_EQ(DialogUnitsToPixelsX(c.units), c.x) << c.units;
    EXPECT_EQ(DialogUnitsToPixelsY(c.units), c.y) << c.units;
  }
}

TEST_F(DialogSpriteTest, TheTemplateGivesSizeCaptionControlsAndPlaces) {
  UIResources().texts.AddText(u"dlgRadioKeyOfThisTest", u"All of them");
  UIResources().texts.Sort();
  CFieldsDialog dialog;
  ASSERT_TRUE(dialog.Create(60001));
  // 200 x 100 units: 300 x 163 pixels, the title band adds 25.
  EXPECT_EQ(dialog.width, 300);
  EXPECT_EQ(dialog.height, 188);
  EXPECT_EQ(dialog.rect.Width(), 300);
  EXPECT_EQ(dialog.rect.Height(), 188);
  // Centred in the 1024 x 768 window.
  EXPECT_EQ(dialog.rect.left, 362);
  EXPECT_EQ(dialog.rect.top, 290);
  EXPECT_EQ(dialog.title, u"Tessera");  // the caption "title" is a key
  EXPECT_EQ(dialog.id, 60001);
  EXPECT_EQ(dialog.layer, CDialogSprite::LayerCounter());
  EXPECT_EQ(dialog.visible.load(), 0u);

  // Each control 30 pixels below its template place.
  ASSERT_EQ(dialog.templates.size(), 6u);
  EXPECT_EQ(dialog.FindControl(11)->rect, (Rect{15, 46, 135, 69}));
  EXPECT_EQ(dialog.FindControl(12)->rect, (Rect{15, 103, 135, 126}));
  // The static is numbered by its position, not by its template id.
  auto* label = dynamic_cast<CSStaticText*>(dialog.FindControl(500));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->id, 1001);
  EXPECT_EQ(label->Text(), u"label");
  auto* check = dynamic_cast<CSCheckBox*>(dialog.FindControl(13));
  ASSERT_NE(check, nullptr);
  EXPECT_EQ(dynamic_cast<CSRatioButton*>(check), nullptr);
  EXPECT_EQ(check->Caption(), u"Check me");  // no such key: the text itself
  auto* radio = dynamic_cast<CSRatioButton*>(dialog.FindControl(14));
  ASSERT_NE(radio, nullptr);
  EXPECT_EQ(dialog.templates[4].subtype, u'R');
  EXPECT_EQ(dialog.templates[4].text, u"dlgRadioKeyOfThisTest");
  EXPECT_EQ(radio->Caption(), u"All of them");
  EXPECT_NE(dynamic_cast<CSButton*>(dialog.FindControl(kIdOk)), nullptr);
  EXPECT_EQ(dialog.FindControl(99), nullptr);
  // The close button, top right.
  EXPECT_EQ(dialog.closeButton.id, kIdCancel);
  EXPECT_EQ(dialog.closeButton.rect, (Rect{268, 1, 299, 32}));
}

TEST_F(DialogSpriteTest, ARadioCaptionKeyWithoutATextShowsTheKey) {
  CFieldsDialog dialog;
  ASSERT_TRUE(dialog.Create(60001));
  EXPECT_EQ(dynamic_cast<CSRatioButton*>(dialog.FindControl(14))->Caption(), u"dlgRadioKeyOfThisTest");
}

TEST_F(DialogSpriteTest, CreateFailsForAMissingTemplateOrAnUnsupportedClass) {
  AddTemplates(R"(
dialog 60002 "x" 50 50
control SysListView32 5 "" 0 0 10 10
)");
  for (const std::int32_t templateId : {60002, 60999}) {
    CFieldsDialog dialog;
    EXPECT_FALSE(dialog.Create(templateId)) << templateId;
    EXPECT_EQ(dialog.RunModal(), 0);
  }
}

// A list box and a slider, the slider bound to a variable in tenths.
class CListSliderDialog : public CDialogSprite {
public:
  bool OnInitDialog() override {
    auto* slider = dynamic_cast<CSliderSprite*>(FindControl(22));
    if (!slider) return false;
    slider->SetRange(0, 1000, 0, 10, u"%");
    return BindControl(22, level) && UpdateData(false);
  }
  std::int32_t level = 0;
};

TEST_F(DialogSpriteTest, ListBoxesAndSlidersAreMadeAndASliderBindsItsRawValue) {
  AddTemplates(R"(
dialog 60004 "x" 200 100
control ListBox 21 "" 10 10 80 40
control msctls_trackbar32 22 "" 10 60 180 14
control Button 1 "OK" 140 80 40 14
)");
  std::int32_t level = 125;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    CListSliderDialog dialog;
    ASSERT_TRUE(dialog.Create(60004));
    auto* list = dynamic_cast<CFlatSimpleList*>(dialog.FindControl(21));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->id, 21);
    // Laid out: its scroll bar at the right edge.
    EXPECT_EQ(list->scrollBar.rect,
              (Rect{list->rect.Width() - 17, 0, list->rect.Width(), list->rect.Height()}));
    EXPECT_EQ(list->AddItem(u"first", nullptr), 0);
    auto* slider = dynamic_cast<CSliderSprite*>(dialog.FindControl(22));
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->id, 22);
    dialog.level = level;
    std::u16string caption;
    CDialogScript script;
    script.Next(60004).Call([&](CDialogSprite&) { caption = slider->valueButton.Caption(); }).Press(kIdOk);
    EXPECT_EQ(dialog.RunModal(), kIdOk);
    ExpectAnswered(script);
    // Both ways the raw value: a scaled value neither grows nor shrinks.
    EXPECT_EQ(caption, u"12.5%");
    EXPECT_EQ(dialog.level, 125);
    level = dialog.level;
  }
}

TEST_F(DialogSpriteTest, BindingsWriteAndReadIntStringUnsignedAndRangedValues) {
  struct Case {
    const char16_t* typed;  // into field 11; field 12 holds "abc" throughout
    BindKind kind;          // of field 11
    bool accepted;
    std::int32_t value;  // the variable afterwards
    bool errorBox;
  };
  const Case cases[] = {
      {u"42", BindKind::Int, true, 42, false},
      {u"12abc", BindKind::Int, true, 12, false},
      {u"abc", BindKind::Int, true, 0, false},
      {u"-7", BindKind::Int, true, -7, false},
      {u"12abc", BindKind::Unsigned, true, 12, false},
      {u"-1", BindKind::Unsigned, false, 5, true},
      {u"0", BindKind::RangedInt, false, 5, true},
      {u"40000", BindKind::RangedInt, false, 5, true},
      {u"32768", BindKind::RangedInt, true, 32768, false},
      {u"1", BindKind::RangedInt, true, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.kind) << " " << ToUtf8(c.typed));
    std::int32_t number = 5;
    std::uint32_t unsignedNumber = 5;
    std::u16string text = u"abc";
    std::int32_t checked = 1;
    CFieldsDialog dialog;
    ASSERT_TRUE(dialog.Create(60001));
    dialog.binds.push_back([&] {
      switch (c.kind) {
        case BindKind::Unsigned:
          return dialog.BindControl(11, unsignedNumber);
        case BindKind::RangedInt:
          return dialog.BindControl(11, number, 32768, 1);
        default:
          return dialog.BindControl(11, number);
      }
    });
    dialog.binds.push_back([&] { return dialog.BindControl(12, text); });
    dialog.binds.push_back([&] { return dialog.BindControl(13, checked); });
    std::u16string shownFirst, shownText, shownCheck, errorText;

    CDialogScript script;
    // A refused value keeps the dialog open after OK: then Cancel ends it.
    script.Next(60001)
        .Call([&](CDialogSprite& d) {
          shownFirst = Value(d, 11);
          shownText = Value(d, 12);
          shownCheck = Value(d, 13);
          ASSERT_TRUE(Field(d, 11)->SetText(c.typed));
          ASSERT_TRUE(Field(d, 12)->SetText(u"changed"));
        })
        .Press(13)  // the check box goes off
        .Press(kIdOk)
        .Answer(kIdCancel);
    if (c.errorBox) {
      script.Next(CSMessageDlg::kTemplateId)
          .Call([&](CDialogSprite& box) { errorText = dynamic_cast<CSMessageDlg&>(box).text; })
          .Press(kIdOk);
    }
    EXPECT_EQ(dialog.RunModal(), c.accepted ? kIdOk : kIdCancel);
    ExpectAnswered(script);
    EXPECT_EQ(script.Shown().size(), c.errorBox ? 2u : 1u);

    EXPECT_EQ(shownFirst, u"5");
    EXPECT_EQ(shownText, u"abc");
    EXPECT_EQ(shownCheck, u"1");
    if (c.kind == BindKind::Unsigned) {
      EXPECT_EQ(static_cast<std::int32_t>(unsignedNumber), c.value);
    } else {
      EXPECT_EQ(number, c.value);
    }
    // Field 12 and the check box come after field 11: read only when 11 passed.
    EXPECT_EQ(text, c.accepted ? u"changed" : u"abc");
    EXPECT_EQ(checked, c.accepted ? 0 : 1);
    if (c.kind == BindKind::Unsigned && c.errorBox) {
      EXPECT_EQ(errorText, u"Please enter a number that is not negative.");
    } else if (c.errorBox) {
      EXPECT_EQ(errorText,
                u"Please enter a number from 1 to 32768. You entered " + std::u16string(c.typed) + u".");
    }
  }
}

TEST_F(DialogSpriteTest, TheRangeTextOfALanguageFileTakesOnlyItsThreeNumbers) {
  const std::u16string longPattern = std::u16string(200, u'x') + u" %d";
  struct Case {
    std::u16string pattern;
    std::u16string shown;
  };
  const Case cases[] = {
      // A text placeholder is copied as it stands and uses up its number;
      // placeholders beyond the three numbers stay as they are.
      {u"%s %n %d..%d (%d) %d %x", u"%s %n 32768..0 (%d) %d %x"},
      {u"%d-%d got %d", u"1-32768 got 0"},
      // A long translation is cut to 127 characters ending in "..".
      {longPattern, std::u16string(125, u'x') + u".."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.pattern));
    UIResources().texts.Clear();
    UIResources().texts.AddText(u"dlgUpdateRange", c.pattern);
    UIResources().texts.Sort();
    std::int32_t number = 5;
    std::u16string shown;
    CFieldsDialog dialog;
    ASSERT_TRUE(dialog.Create(60001));
    dialog.binds.push_back([&] { return dialog.BindControl(11, number, 32768, 1); });
    CDialogScript script;
    script.Next(60001)
        .Call([](CDialogSprite& d) { ASSERT_TRUE(Field(d, 11)->SetText(u"0")); })
        .Press(kIdOk)
        .Answer(kIdCancel);
    script.Next(CSMessageDlg::kTemplateId)
        .Call([&](CDialogSprite& box) { shown = dynamic_cast<CSMessageDlg&>(box).text; })
        .Press(kIdOk);
    EXPECT_EQ(dialog.RunModal(), kIdCancel);
    ExpectAnswered(script);
    EXPECT_EQ(shown, c.shown);
  }
  ASSERT_TRUE(UIResources().LoadTexts());
}

TEST_F(DialogSpriteTest, EscClosesFromAFieldEnterClosesWhenTheValuesPass) {
  struct Case {
    const char* name;
    std::function<void(CDialogScript&)> steps;
    std::int32_t result;
    std::int32_t number;
  };
  const Case cases[] = {
      // Esc is the dialog's shortcut: it works whoever has the focus.
      {"Esc in a field", [](CDialogScript& s) { s.Type(11, u"3").Key(VK_ESCAPE); }, kIdCancel, 5},
      // The field hands Enter to the dialog: OK.
      {"Enter in a field", [](CDialogScript& s) { s.Type(11, u"3").Key(VK_RETURN); }, kIdOk, 53},
      // The dialog itself has the focus.
      {"Enter on the dialog",
       [](CDialogScript& s) {
         s.Call([](CDialogSprite& d) { RenderWindowOf(d)->SetFocusSprite(&d, 0); }).Key(VK_RETURN);
       },
       kIdOk, 5},
      // A refused value: the message box, and the dialog stays open.
      {"Enter with a refused value",
       [](CDialogScript& s) {
         s.Type(11, u"000").Key(VK_RETURN).Answer(7);
         s.Next(CSMessageDlg::kTemplateId).Press(kIdOk);
       },
       7, 5},
      {"the close button", [](CDialogScript& s) { s.Press(kIdCancel); }, kIdCancel, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::int32_t number = 5;
    CFieldsDialog dialog;
    ASSERT_TRUE(dialog.Create(60001));
    dialog.binds.push_back([&] { return dialog.BindControl(11, number, 100, 1); });
    CDialogScript script;
    script.Next(60001);
    c.steps(script);
    EXPECT_EQ(dialog.RunModal(), c.result);
    ExpectAnswered(script);
    EXPECT_EQ(number, c.number);
  }
}

TEST_F(DialogSpriteTest, ARefusedInitShowsNothingAndLeavesTheLayerCounter) {
  const std::int32_t before = CDialogSprite::LayerCounter();
  CFieldsDialog dialog;
  dialog.initResult = false;
  ASSERT_TRUE(dialog.Create(60001));
  CDialogScript script;
  script.Next().Answer(kIdOk);
  EXPECT_EQ(dialog.RunModal(), 0);
  EXPECT_EQ(dialog.initCalls, 1);
  EXPECT_EQ(CDialogSprite::LayerCounter(), before);
  EXPECT_TRUE(script.Shown().empty());
  EXPECT_EQ(script.Pending(), 1u);  // nothing was answered
  EXPECT_EQ(window.TopPopup(), nullptr);
  EXPECT_FALSE(window.IsTopLevelSprite(&dialog));
  // A dialog runs once per Create.
  EXPECT_EQ(dialog.RunModal(), 0);
  EXPECT_EQ(dialog.initCalls, 1);
}

TEST_F(DialogSpriteTest, ADialogOpenedFromARunningOneLiesAboveIt) {
  const std::int32_t before = CDialogSprite::LayerCounter();
  CFieldsDialog outer;
  ASSERT_TRUE(outer.Create(60001));
  std::int32_t innerLayer = 0, counterInside = 0, inner = 0;
  CPopupSprite* topInside = nullptr;
  CDialogScript script;
  script.Next(60001)
      .Call([&](CDialogSprite&) {
        counterInside = CDialogSprite::LayerCounter();
        inner = ShowMessageBox(u"nested", MessageBoxIcon::Warning, MessageBoxButtons::YesNo);
      })
      .Answer(kIdOk);
  script.Next(CSMessageDlg::kTemplateId)
      .Call([&](CDialogSprite& box) {
        innerLayer = box.layer;
        topInside = window.TopPopup();
      })
      .Key('N');
  EXPECT_EQ(outer.RunModal(), kIdOk);
  ExpectAnswered(script);
  EXPECT_EQ(inner, kIdNo);
  EXPECT_EQ(outer.layer, before);
  EXPECT_EQ(counterInside, before + 1);
  EXPECT_EQ(innerLayer, before + 1);
  EXPECT_NE(topInside, &outer);
  EXPECT_EQ(script.Shown(), (std::vector<std::int32_t>{60001, CSMessageDlg::kTemplateId}));
  EXPECT_EQ(CDialogSprite::LayerCounter(), before);
  // Closed: out of the window's lists, its shortcuts gone.
  EXPECT_FALSE(window.IsTopLevelSprite(&outer));
  EXPECT_EQ(window.TopPopup(), nullptr);
}

TEST_F(DialogSpriteTest, TheTitleBandDragsTheDialogOnlyInsideTheWindow) {
  CFieldsDialog dialog;
  ASSERT_TRUE(dialog.Create(60001));
  std::vector<Rect> places;
  auto place = [&](CDialogSprite& d) { places.push_back(d.rect); };
  CDialogScript script;
  script.Next(60001)
      .Call(place)
      // Pressed in the band (20 below the top), moved by (-100, +50).
      .Call([&](CDialogSprite& d) {
        host.MouseDown(MouseButton::Left, {d.rect.left + 150, d.rect.top + 20});
        host.MouseMove({d.rect.left + 50, d.rect.top + 70});
      })
      .Call(place)
      // Outside the window: ignored.
      .Call([&](CDialogSprite&) {
        host.MouseMove({1030, 100});
      })
      .Call(place)
      .Call([&](CDialogSprite&) {
        host.MouseUp(MouseButton::Left, {500, 500});
        host.MouseMove({10, 10});
      })
      .Call(place)
      // Below the band: nothing moves.
      .Call([&](CDialogSprite& d) {
        host.MouseDown(MouseButton::Left, {d.rect.left + 150, d.rect.top + 45});
        host.MouseMove({d.rect.left + 100, d.rect.top + 100});
        host.MouseUp(MouseButton::Left, {d.rect.left + 100, d.rect.top + 100});
      })
      .Call(place)
      .Answer(kIdCancel);
  EXPECT_EQ(dialog.RunModal(), kIdCancel);
  ExpectAnswered(script);
  ASSERT_EQ(places.size(), 5u);
  EXPECT_EQ(places[1], places[0].Offset(-100, 50));
  EXPECT_EQ(places[2], places[1]);
  EXPECT_EQ(places[3], places[1]);
  EXPECT_EQ(places[4], places[1]);
}

TEST_F(DialogSpriteTest, WithAnimationsTheDialogFadesInAndLeavesAFadingPicture) {
  for (const int animations : {0, 1}) {
    SCOPED_TRACE(animations);
    g_AnimationEnabled = animations;
    CFieldsDialog dialog;
    ASSERT_TRUE(dialog.Create(60001));
    std::vector<std::int32_t> alphas;
    auto frame = [&](CDialogSprite& d) {
      Frame();
      alphas.push_back(d.alpha);
      host.AdvanceClock(250);
    };
    CDialogScript script;
    script.Next(60001).Call(frame).Call(frame).Call(frame).Call(frame).Answer(kIdCancel);
    EXPECT_EQ(dialog.RunModal(), kIdCancel);
    ExpectAnswered(script);
    std::size_t fades = 0;
    {
      std::lock_guard guard(window.windowLock);
      for (CSprite* sprite : window.topLevel) fades += dynamic_cast<CSFadeEffect*>(sprite) ? 1 : 0;
    }
    if (animations) {
      EXPECT_EQ(alphas, (std::vector<std::int32_t>{0, 127, 255, 255}));
      EXPECT_EQ(fades, 1u);
    } else {
      EXPECT_EQ(alphas, (std::vector<std::int32_t>{255, 255, 255, 255}));
      EXPECT_EQ(fades, 0u);
    }
  }
}

TEST_F(DialogSpriteTest, TheDialogDrawsItsFrameTitleAndSeeThroughEdges) {
  CFieldsDialog dialog;
  ASSERT_TRUE(dialog.Create(60001));
  CDialogScript script;
  script.Next(60001)
      .Call([&](CDialogSprite& d) {
        Frame();
        std::lock_guard guard(d.lock);
        ASSERT_FALSE(d.surface.IsEmpty());
        // A small dialog: no alpha above 220.
        std::uint32_t highest = 0;
        for (std::uint32_t i = 0; i < d.surface.pixelCount; ++i)
          highest = std::max<std::uint32_t>(highest, d.surface.pixels[4 * i + 3]);
        EXPECT_EQ(highest, 220u);
        // The title band is lighter than the frame picture there: shaded.
        const std::uint32_t band = PixelAt(d.surface, 150, 20);
        const std::uint32_t picture = PixelAt(d.frameImage, 50, 20);
        EXPECT_GT(band & 0xFF, picture & 0xFF);
      })
      .Answer(kIdOk);
  EXPECT_EQ(dialog.RunModal(), kIdOk);
  ExpectAnswered(script);
}

TEST_F(DialogSpriteTest, TheScriptEndsDialogsItCannotAnswer) {
  struct Case {
    const char* name;
    std::function<void(CDialogScript&)> steps;
    const char* error;
  };
  const Case cases[] = {
      {"no answer", [](CDialogScript&) {}, "dialog 60001: no answer is left for it"},
      {"another template", [](CDialogScript& s) { s.Next(129).Answer(1); },
       "dialog 60001: the answer was meant for dialog 129"},
      {"a missing control", [](CDialogScript& s) { s.Next().Press(77); },
       "dialog 60001: it has no control 77"},
      {"steps run out", [](CDialogScript& s) { s.Next().Type(11, u"1"); },
       "dialog 60001: still open after the last step of its answer"},
      {"a hidden control",
       [](CDialogScript& s) {
         s.Next()
             .Call([](CDialogSprite& d) { CDialogSprite::ShowControl(d.FindControl(12), false); })
             .Press(12);
       },
       "dialog 60001: control 12 is hidden or disabled"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CFieldsDialog dialog;
    ASSERT_TRUE(dialog.Create(60001));
    CDialogScript script;
    c.steps(script);
    EXPECT_EQ(dialog.RunModal(), kIdCancel);
    EXPECT_EQ(script.Errors(), (std::vector<std::string>{c.error}));
  }
}

// Posted: shuts the UI queue down when it is delivered.
class CShutdownQueue final : public CUiMessageData {
public:
  bool Deliver() override {
    UiQueue().Shutdown();
    return true;
  }
};

TEST_F(DialogSpriteTest, AQueueThatShutsDownEndsTheDialogWithCancel) {
  CFieldsDialog dialog;
  ASSERT_TRUE(dialog.Create(60001));
  UiMessage message;
  message.message = WM_USER + 1;
  message.data = std::make_unique<CShutdownQueue>();
  ASSERT_TRUE(UiQueue().Post(std::move(message)));
  EXPECT_EQ(dialog.RunModal(), kIdCancel);  // no script: the dialog waits in the queue
  UiQueue().Open();
  EXPECT_EQ(window.TopPopup(), nullptr);
}

// With the render thread drawing by itself, dialogs open, change, move and
// close one after another, fading and plain, nested and alone: the thread
// never meets a dialog that is gone.
TEST_F(DialogSpriteTest, DialogsComeAndGoWhileTheRenderThreadDraws) {
  window.SetRenderReady();
  auto drawn = [](CDialogSprite& d) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
      {
        std::lock_guard guard(d.lock);
        if (!d.surface.IsEmpty() || std::chrono::steady_clock::now() > deadline) return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  };
  for (int round = 0; round < 8; ++round) {
    g_AnimationEnabled = round % 2;
    CFieldsDialog dialog;
    ASSERT_TRUE(dialog.Create(60001));
    std::int32_t inner = 0;
    CDialogScript script;
    script.Next(60001)
        .Call(drawn)
        .Type(11, u"typed while drawn")
        .Call([&](CDialogSprite& d) {
          d.SetSpriteRect(d.rect.left + 5, d.rect.top + 3, d.rect.Width(), d.rect.Height());
          if (round % 3 == 0)
            inner = ShowMessageBox(u"Nested", MessageBoxIcon::Question, MessageBoxButtons::YesNo);
        })
        .Call(drawn)
        .Answer(kIdOk);
    if (round % 3 == 0) script.Next(CSMessageDlg::kTemplateId).Call(drawn).Key('Y');
    EXPECT_EQ(dialog.RunModal(), kIdOk);
    ExpectAnswered(script);
    EXPECT_EQ(inner, round % 3 == 0 ? kIdYes : 0);
  }
  window.DestroyWindow();
}

}  // namespace
