// The colour picker: how it ends, presses on the wheel and the bar, a
// swatch, the colour-code dialog behind button 1064 and its codes, and what
// a frame shows.

#include <functional>
#include <mutex>
#include <string>

#include "image/ColorModel.h"
#include "platform/UiMessage.h"
#include "platform/Utf16.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/dialogs/ColorCodeDlg.h"
#include "ui/dialogs/ColorPickerDlg.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/EditSprite.h"

namespace {

using ColorPickerTest = DialogFixture;

constexpr ColourBgra16 kInitial = MakeColourBgra16(0x1234, 0x5678, 0x9ABC, 0x0042);

CColorPickerDlg& Picker(CDialogSprite& dialog) { return dynamic_cast<CColorPickerDlg&>(dialog); }

void ClearField(CDialogSprite& dialog) {
  ASSERT_TRUE(dynamic_cast<CEditSprite*>(dialog.FindControl(CSStringDialog::kEditId))->SetText(u""));
}

std::array<std::uint16_t, 4> Hsl(const CColorPickerDlg& picker) {
  std::lock_guard guard(picker.lock);
  return ToPixel16(picker.colourHsl);
}

TEST_F(ColorPickerTest, OkGivesTheColourWithFullAlphaAndCancelTheInitialWithNone) {
  struct Case {
    const char* what;
    std::function<void(CDialogScript&)> end;
    ColourBgra16 result;
  };
  const Case cases[] = {
      {"OK", [](CDialogScript& s) { s.Press(kIdOk); }, WithAlpha(kInitial, 0xFFFF)},
      {"Cancel", [](CDialogScript& s) { s.Press(kIdCancel); }, WithAlpha(kInitial, 0)},
      {"the title band's close button",
       [](CDialogScript& s) { s.Call([](CDialogSprite& dialog) { dialog.closeButton.Click(); }); },
       WithAlpha(kInitial, 0)},
  };
  for (const Case& c : cases) {
    CDialogScript script;
    c.end(script.Next(CColorPickerDlg::kTemplateId));
    EXPECT_EQ(PickColor(kInitial), c.result) << c.what;
    ExpectAnswered(script);
  }
}

TEST_F(ColorPickerTest, WheelAndBarPressesPickHueSaturationAndLightness) {
  ColourBgra16 centre = 0, rim = 0, beyond = 0, top = 0, bottom = 0;
  std::array<std::uint16_t, 4> rimHsl{}, topHsl{}, aboveHsl{};
  CDialogScript script;
  script.Next(CColorPickerDlg::kTemplateId)
      .Call([&](CDialogSprite& dialog) {
        CColorPickerDlg& picker = Picker(dialog);
        const Point c = picker.wheelCentre;
        const std::int32_t r = picker.wheelRadius;
        // Template 144: a 248-pixel-wide dialog, the line control at 274.
        EXPECT_EQ(c, (Point{104, 127}));
        EXPECT_EQ(r, 84);
        EXPECT_EQ(picker.barRect, (Rect{208, 40, 228, 254}));
        EXPECT_EQ(picker.previewRect, (Rect{10, 282, 40, 312}));

        picker.OnLButtonDown(c, 0);
        centre = picker.Colour();
        picker.OnLButtonDown({c.x, c.y - 20}, 0);
        aboveHsl = Hsl(picker);
        // Up to 5 pixels beyond the rim, to the right: full saturation.
        picker.OnLButtonDown({c.x + r + 5, c.y}, 0);
        rim = picker.Colour();
        rimHsl = Hsl(picker);
        // One more pixel is neither wheel nor bar: nothing changes.
        picker.OnLButtonDown({c.x, c.y + r + 6}, 0);
        beyond = picker.Colour();
        // The bar, 3 pixels above and below it: black and white, hue and
        // saturation kept.
        picker.OnLButtonDown({picker.barRect.left + 5, picker.barRect.top - 3}, 0);
        top = picker.Colour();
        topHsl = Hsl(picker);
        picker.OnLButtonDown({picker.barRect.right + 4, picker.barRect.bottom + 2}, 0);
        bottom = picker.Colour();
      })
      .Press(kIdOk);
  const ColourBgra16 result = PickColor(kInitial);
  ExpectAnswered(script);
  EXPECT_EQ(result, WithAlpha(bottom, 0xFFFF));

  // The centre is a grey at the wheel's lightness; the alpha is kept.
  EXPECT_EQ(centre, MakeColourBgra16(32768, 32768, 32768, AlphaOf(kInitial)));
  EXPECT_EQ(aboveHsl[2], 16383) << "a quarter turn counter-clockwise";
  EXPECT_EQ(rimHsl[1], 65535);
  EXPECT_EQ(rimHsl[2], 0);
  EXPECT_EQ(rim, MakeColourBgra16(65535, 0, 0, AlphaOf(kInitial)));
  EXPECT_EQ(beyond, rim);
  EXPECT_EQ(top, MakeColourBgra16(0, 0, 0, AlphaOf(kInitial)));
  EXPECT_EQ(topHsl[2], rimHsl[2]);
  EXPECT_EQ(topHsl[1], rimHsl[1]);
  EXPECT_EQ(bottom, MakeColourBgra16(65535, 65535, 65535, AlphaOf(kInitial)));
}

TEST_F(ColorPickerTest, TheGreySwatchIsExact) {
  CDialogScript script;
  script.Next(CColorPickerDlg::kTemplateId)
      .Call([&](CDialogSprite& dialog) {
        const CColorPickerDlg& picker = Picker(dialog);
        ASSERT_EQ(picker.swatchPanel.items.size(), CColorPickerDlg::kSwatchCount);
        const PanelItem& grey = *picker.swatchPanel.items[8];  // second row, first cell
        EXPECT_EQ(grey.rect, (Rect{0, 16, 16, 32}));
        const Point centre = picker.swatchPanel.PointToWindow({8, 24});
        host.Click(MouseButton::Left, centre);
      })
      .Press(kIdOk);
  EXPECT_EQ(PickColor(kInitial), 0xFFFF7FFF7FFF7FFFull);
  ExpectAnswered(script);
}

TEST_F(ColorPickerTest, TheColourCodeDialogStartsWithTheShownColourAndTakesOnlyCodes) {
  std::u16string offered, message;
  ColourBgra16 picked = 0;
  CDialogScript script;
  script.Next(CColorPickerDlg::kTemplateId)
      .Press(CColorPickerDlg::kColorCodeId)
      .Call([&](CDialogSprite& dialog) { picked = Picker(dialog).Colour(); })
      .Press(kIdOk);
  script.Next(CSStringDialog::kTemplateId)
      .Call([&](CDialogSprite& dialog) {
        offered = dynamic_cast<CEditSprite*>(dialog.FindControl(CSStringDialog::kEditId))->GetText();
      })
      .Call(ClearField)
      .Type(CSStringDialog::kEditId, u"red")
      .Press(kIdOk)  // refused: a message, the dialog stays
      .Call(ClearField)
      .Type(CSStringDialog::kEditId, u" #fF0000 ")
      .Press(kIdOk);
  script.Next(CSMessageDlg::kTemplateId)
      .Call([&](CDialogSprite& box) { message = dynamic_cast<CSMessageDlg&>(box).text; })
      .Press(kIdOk);
  const ColourBgra16 result = PickColor(MakeColourBgra16(0x4000, 0x4000, 0x4000, 0x1111));
  ExpectAnswered(script);
  EXPECT_EQ(result, 0xFFFFFFFF00000000ull);
  EXPECT_EQ(offered, u"#898989") << "grey 4000 as it is shown";
  EXPECT_EQ(message, UIResources().texts.TextOrKey(u"dlgColorCodeBad"));
  EXPECT_EQ(picked, 0x1111FFFF00000000ull) << "pure red is full red; the alpha is kept";
}

TEST(ColorCode, ParsesHexAndDecimalCodes) {
  struct Case {
    const char16_t* text;
    bool parsed;
    std::uint32_t colour;
  };
  const Case cases[] = {
      {u"#FF8000", true, 0xFFFF8000u},
      {u"#00ff7f", true, 0xFF00FF7Fu},
      {u" #0A0b0C ", true, 0xFF0A0B0Cu},
      {u"255,128,0", true, 0xFFFF8000u},
      {u" 1 , 2 ,3 ", true, 0xFF010203u},
      {u"0,0,0", true, 0xFF000000u},
      {u"#FF800", false, 0},
      {u"#FF80001", false, 0},
      {u"#GG8000", false, 0},
      {u"FF8000", false, 0},
      {u"256,0,0", false, 0},
      {u"1,2", false, 0},
      {u"1,2,3,4", false, 0},
      {u"1,,3", false, 0},
      {u"-1,2,3", false, 0},
      {u"1 2,3,4", false, 0},
      {u"0255,0,0", false, 0},
      {u"", false, 0},
  };
  for (const Case& c : cases) {
    std::uint32_t colour = 7;
    EXPECT_EQ(ParseColorCode(c.text, colour), c.parsed) << ToUtf8(c.text);
    EXPECT_EQ(colour, c.parsed ? c.colour : 7u);
  }
  EXPECT_EQ(FormatColorCode(0x12AB0CFEu), u"#AB0CFE");
}

TEST_F(ColorPickerTest, AFrameShowsTheWheelTheBarThePreviewAndTheMarkers) {
  std::uint32_t centre = 0, right = 0, outside = 0, barTop = 0, barBottom = 0, preview = 0, outline = 0;
  Point wheelMarker;
  std::int32_t barMarkerY = 0, middleRow = 0;
  CDialogScript script;
  script.Next(CColorPickerDlg::kTemplateId)
      .Call([&](CDialogSprite& dialog) {
        CColorPickerDlg& picker = Picker(dialog);
        picker.SetColour(CColorPickerDlg::kSwatches[2]);  // red
        Frame();
        std::lock_guard guard(picker.lock);
        const Point c = picker.wheelCentre;
        const std::int32_t r = picker.wheelRadius;
        centre = PixelAt(picker.surface, c.x, c.y);
        right = PixelAt(picker.surface, c.x + r - 3, c.y + 10);  // below the marker
        outside = PixelAt(picker.surface, c.x + r, c.y - r);
        barTop = PixelAt(picker.surface, picker.barRect.left + 5, picker.barRect.top + 1);
        barBottom = PixelAt(picker.surface, picker.barRect.left + 5, picker.barRect.bottom - 2);
        preview = PixelAt(picker.surface, picker.previewRect.left + 3, picker.previewRect.top + 3);
        outline = PixelAt(picker.surface, picker.previewRect.left - 1, picker.previewRect.top + 3);
        wheelMarker = picker.wheelMarker;
        barMarkerY = picker.barMarkerY;
        middleRow = picker.barRect.top + 1 + (picker.barRect.Height() - 2) / 2;
      })
      .Press(kIdOk);
  (void)PickColor(kInitial);  // what the frame showed is the test
  ExpectAnswered(script);

  const auto channel = [](std::uint32_t pixel, int shift) { return (pixel >> shift) & 0xFF; };
  EXPECT_EQ(channel(centre, 24), 255u);
  EXPECT_EQ(channel(centre, 16), channel(centre, 8));
  EXPECT_EQ(channel(centre, 8), channel(centre, 0));
  EXPECT_GT(channel(right, 16), 200u);
  EXPECT_LT(channel(right, 8), 40u);
  EXPECT_NE(outside & 0xFFFFFF, right & 0xFFFFFF) << "the corner of the square is not painted";
  EXPECT_EQ(barTop, 0xFF000000u);
  EXPECT_GE(channel(barBottom, 0), 250u);
  EXPECT_EQ(preview, 0xFFFF0000u);
  EXPECT_EQ(outline, CColorPickerDlg::kOutlineColor);
  // Red: at the rim on the positive x axis, and half way down the bar.
  EXPECT_EQ(wheelMarker, (Point{104 + 84 - 1, 127}));
  EXPECT_NEAR(barMarkerY, middleRow, 1);
}

}  // namespace
