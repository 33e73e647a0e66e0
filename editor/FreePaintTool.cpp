#include "editor/FreePaintTool.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "image/ColorModel.h"
#include "platform/SettingsStore.h"
#include "ui/SkinSet.h"
#include "ui/UIResources.h"
#include "ui/dialogs/ColorPickerDlg.h"

namespace {

constexpr Rect kColourItemRect{120, 2, 155, 38};
constexpr std::uint32_t kFrameColour = 0xFFE6E6E6;
// Red, green, blue as stored.
constexpr std::array<std::u16string_view, 3> kColourNames = {u"R", u"G", u"B"};

}  // namespace

std::int32_t CFreePaintTool::Init(std::int32_t id, CBgraImage* picture, std::u16string_view text) {
  if (!CPaintTool::Init(id, picture, text)) return 0;
  return panel.AddItem(kColourItem, kColourItemRect, 1, {}, Text(u"toolSetcolor"), nullptr) ? 1 : 0;
}

std::int32_t CFreePaintTool::Activate() {
  if (!CPaintTool::Activate()) return 0;
  CSettingsStore settings;
  std::array<std::uint16_t, 3> rgb{};
  for (std::size_t i = 0; i < rgb.size(); ++i) {
    std::uint32_t value = 0xFFFF;
    if (!settings.GetDword(CSettingsStore::Scope::CurrentUser, kColourSection, kColourNames[i], value))
      value = 0xFFFF;
    rgb[i] = static_cast<std::uint16_t>(std::min<std::uint32_t>(value, 0xFFFF));
  }
  colour = MakeColourBgra16(rgb[0], rgb[1], rgb[2], 0xFFFF);
  BuildSwatch();
  return 1;
}

void CFreePaintTool::Deactivate() {
  const bool wasActive = activated != 0;
  CPaintTool::Deactivate();
  if (!wasActive) return;
  CSettingsStore settings;
  const std::array<std::uint16_t, 3> rgb = {RedOf(colour), GreenOf(colour), BlueOf(colour)};
  for (std::size_t i = 0; i < rgb.size(); ++i) {
    if (!settings.SetDword(kColourSection, kColourNames[i], rgb[i]))
      UIResources().WriteLog("Paint colour not kept");  // the next start paints white
  }
}

void CFreePaintTool::OnMessage(const SpriteMessage& message) {
  if (message.code != kPanelMsgItemClicked) return;
  if (message.wparam == kColourItem) {
    // A cancelled picker gives the old colour with alpha 0, which painting
    // does not use.
    colour = PickColor(colour);
    BuildSwatch();
  } else if (message.wparam == kBrushItem) {
    EditBrush();
  }
}

void CFreePaintTool::BuildSwatch() {
  CBgraImage picture;
  if (!picture.Create(kSwatchSide, kSwatchSide)) return;
  const std::array<std::uint16_t, 4> wide = {BlueOf(colour), GreenOf(colour), RedOf(colour), 0xFFFF};
  std::array<std::uint8_t, 4> narrow{};
  ConvertPixels16To8(wide.data(), narrow.data(), 1);
  narrow[3] = 255;
  for (std::uint32_t i = 0; i < picture.pixelCount; ++i)
    std::memcpy(picture.pixels + 4 * std::size_t{i}, narrow.data(), 4);
  CSkinSet& skins = UIResources().skins;
  skins.penPoint = {0, 0};
  for (const Point corner : {Point{23, 0}, Point{23, 23}, Point{0, 23}, Point{0, 0}})
    skins.DrawLineTo(picture, corner, kFrameColour, 10, 0, 255);
  swatch = std::move(picture);
  panel.SetItemImage(kColourItem, &swatch);
}

void CFreePaintTool::ApplyStroke() {
  const std::array<std::int64_t, 3> paint = {BlueOf(colour), GreenOf(colour), RedOf(colour)};
  BlendCovered(
      0, [&](std::int32_t u, std::uint16_t* pixel, const std::uint16_t* old, std::int32_t, std::int32_t) {
        for (std::size_t c = 0; c < 3; ++c)
          pixel[c] = static_cast<std::uint16_t>((u * paint[c] + (255 - u) * std::int64_t{old[c]}) / 255);
        pixel[3] = static_cast<std::uint16_t>(std::max<std::int32_t>(pixel[3], u * 256));
      });
}

void CFreePaintTool::CommitStroke() {
  const CBFLayer* layer = TargetLayer();
  if (!layer) return;
  if (!RecordStrokeStep(*layer, LayerStrokeRect(*layer), u"hisFreePaint"))
    UIResources().WriteLog("Paint step not recorded");
}

bool CFreePaintTool::RecordToolStep() { return RecordLayerStep(u"hisFreePaint"); }
