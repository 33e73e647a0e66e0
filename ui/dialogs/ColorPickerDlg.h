#pragma once
// The colour picker: PickColor lets the user choose a colour of the working
// space in a modal dialog (template 144): a hue and saturation wheel shown
// at lightness 32768, a lightness bar for the current hue and saturation, a
// preview box, sixteen swatches and a button (1064) that opens the
// colour-code dialog (ColorCodeDlg.h). A press on the wheel, or up to 5
// pixels beyond its rim (full saturation there), takes hue and saturation
// at lightness 32768; a press on the bar, or up to 5 pixels beside it, takes
// the lightness and keeps hue and saturation. Each press picks once; there
// is no dragging.
//
// Threads: the UI thread changes the colour under the dialog's lock; Draw
// (render thread, under the lock) paints and places the two markers.

#include <array>
#include <cstdint>

#include "image/ColourBgra16.h"
#include "image/ImageArray.h"
#include "ui/DialogSprite.h"
#include "ui/widgets/PanelSprite.h"

// UI thread. The chosen colour with alpha 0xFFFF after OK; the initial
// colour with alpha 0 after Cancel, a close, or when the dialog cannot be
// built.
[[nodiscard]] ColourBgra16 PickColor(ColourBgra16 initial);

class CColorPickerDlg : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = 144;
  static constexpr std::int32_t kLineId = 1057;
  static constexpr std::int32_t kColorCodeId = 1064;
  static constexpr std::int32_t kSwatchPanelId = 9999;
  static constexpr std::size_t kSwatchCount = 16;
  static constexpr std::int32_t kSwatchCell = 16;
  static constexpr std::int32_t kSwatchSize = 12;
  static constexpr std::int32_t kPickReach = 5;  // pixels beyond the wheel and beside the bar
  static constexpr std::uint16_t kWheelLightness = 32768;
  static constexpr std::uint32_t kOutlineColor = 0xFFE6E6E6u;
  // White, black, red, green, blue, cyan, magenta, yellow, grey 7FFF, grey
  // 4000, then the light red, green, blue, cyan, magenta and yellow.
  static const std::array<ColourBgra16, kSwatchCount> kSwatches;

  bool Draw(std::uint32_t now) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  // Button 1064: the colour-code dialog; a swatch click (96): that swatch.
  bool OnSpriteMessage(const SpriteMessage& message) override;
  // Lays out the wheel, bar and preview from the dialog's width and the line
  // control, and makes the swatch panel; false when a part cannot be made.
  [[nodiscard]] bool OnInitDialog() override;

  // The colour (its HSL form follows) and a redraw. UI thread.
  void SetColour(ColourBgra16 value);
  ColourBgra16 Colour() const;
  // The hue of a point dx right of and dy above the wheel's centre.
  static std::uint16_t HueAt(std::int32_t dx, std::int32_t dy);
  // The lightness of a bar row, clamped to 0 .. 65535.
  std::uint16_t LightnessAtRow(std::int32_t y) const;

  ColourBgra16 colour = 0;     // under lock
  ColourBgra16 colourHsl = 0;  // under lock: H in the R slot, S in G, L in B
  CImageArray swatchImages;
  Point wheelCentre;
  std::int32_t wheelRadius = 0;
  Rect barRect;
  Rect previewRect;
  Point wheelMarker;            // render thread
  std::int32_t barMarkerY = 0;  // render thread
  CPanelSprite swatchPanel;

private:
  void DrawWheel(std::uint16_t hue, std::uint16_t saturation);
  void DrawBar(std::uint16_t hue, std::uint16_t saturation, std::uint16_t lightness);
  void DrawPreview(ColourBgra16 shown);
  void FillOutline(const Rect& inner);
};
