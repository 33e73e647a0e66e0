#include "ui/dialogs/ColorPickerDlg.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <vector>

#include "image/ColorModel.h"
#include "image/ColorTables.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/dialogs/ColorCodeDlg.h"

namespace {

constexpr std::uint16_t kFull = 0xFFFF;
constexpr std::uint16_t kHalf = 0x7FFF;
constexpr std::uint16_t kQuarter = 0x4000;

// The display form of a working-space colour, opaque.
std::array<std::uint8_t, 4> Displayed(ColourBgra16 colour) {
  const std::array<std::uint16_t, 4> pixel = ToPixel16(WithAlpha(colour, kFull));
  std::array<std::uint8_t, 4> shown{};
  ConvertPixels16To8(pixel.data(), shown.data(), 1);
  return shown;
}

std::uint32_t Packed(const std::array<std::uint8_t, 4>& bgra) {
  return bgra[0] | (bgra[1] << 8) | (bgra[2] << 16) | (static_cast<std::uint32_t>(bgra[3]) << 24);
}

// A channel of a colour chosen as 8-bit sRGB. The gamma table reads a code
// as code / 256, which would make 255 a little less than full: a channel
// chosen full stays full.
std::uint16_t ChosenCodeToLinear(std::uint32_t code) { return code >= 255 ? kFull : SrgbToLinearTable[code]; }

}  // namespace

const std::array<ColourBgra16, CColorPickerDlg::kSwatchCount> CColorPickerDlg::kSwatches = {
    MakeColourBgra16(kFull, kFull, kFull, kFull), MakeColourBgra16(0, 0, 0, kFull),
    MakeColourBgra16(kFull, 0, 0, kFull),         MakeColourBgra16(0, kFull, 0, kFull),
    MakeColourBgra16(0, 0, kFull, kFull),         MakeColourBgra16(0, kFull, kFull, kFull),
    MakeColourBgra16(kFull, 0, kFull, kFull),     MakeColourBgra16(kFull, kFull, 0, kFull),
    MakeColourBgra16(kHalf, kHalf, kHalf, kFull), MakeColourBgra16(kQuarter, kQuarter, kQuarter, kFull),
    MakeColourBgra16(kFull, kHalf, kHalf, kFull), MakeColourBgra16(kHalf, kFull, kHalf, kFull),
    MakeColourBgra16(kHalf, kHalf, kFull, kFull), MakeColourBgra16(kHalf, kFull, kFull, kFull),
    MakeColourBgra16(kFull, kHalf, kFull, kFull), MakeColourBgra16(kFull, kFull, kHalf, kFull),
};

ColourBgra16 PickColor(ColourBgra16 initial) {
  CColorPickerDlg dialog;
  dialog.colour = initial;
  if (!dialog.Create(CColorPickerDlg::kTemplateId) || dialog.RunModal() != kIdOk)
    return WithAlpha(initial, 0);
  return WithAlpha(dialog.Colour(), kFull);
}

// Setting up ---------------------------------------------------------------------

bool CColorPickerDlg::OnInitDialog() {
  const CDialogControl* line = FindControl(kLineId);
  if (!line) return false;
  const std::int32_t w = rect.Width();
  const std::int32_t y = line->rect.top;
  const std::int32_t middle = (w - 40) / 2;
  {
    std::lock_guard guard(lock);
    wheelCentre = {middle, y / 2 - 10};
    wheelRadius = middle - 20;
    barRect = {w - 40, 40, w - 20, y - 20};
    previewRect = {10, y + 8, 40, y + 38};
  }

  if (!swatchPanel.Create(this, nullptr, kSwatchPanelId, {middle - 64, y - 40, middle + 64, y - 8}, 2))
    return false;
  swatchPanel.drawBackground = 0;
  AppendChild(&swatchPanel);
  swatchImages.Clear();
  for (std::size_t i = 0; i < kSwatchCount; ++i) {
    CBgraImage picture;
    if (!picture.Create(kSwatchSize, kSwatchSize)) return false;
    FillRect(picture, {0, 0, kSwatchSize, kSwatchSize}, kOutlineColor);
    FillRect(picture, {1, 1, kSwatchSize - 1, kSwatchSize - 1}, Packed(Displayed(kSwatches[i])));
    if (!swatchImages.AppendCopy(picture)) return false;
    const auto column = static_cast<std::int32_t>(i % 8);
    const auto row = static_cast<std::int32_t>(i / 8);
    const Rect cell{kSwatchCell * column, kSwatchCell * row, kSwatchCell * (column + 1),
                    kSwatchCell * (row + 1)};
    if (!swatchPanel.AddIconItem(static_cast<std::uint32_t>(i), cell, picture, {})) return false;
  }
  SetColour(Colour());
  return true;
}

// The colour -----------------------------------------------------------------------

ColourBgra16 CColorPickerDlg::Colour() const {
  std::lock_guard guard(lock);
  return colour;
}

void CColorPickerDlg::SetColour(ColourBgra16 value) {
  std::array<std::uint16_t, 4> hsl = ToPixel16(value);
  RgbToHsl16(hsl.data(), 1);
  {
    std::lock_guard guard(lock);
    colour = value;
    colourHsl = FromPixel16(hsl);
  }
  dirty = 1;
}

std::uint16_t CColorPickerDlg::HueAt(std::int32_t dx, std::int32_t dy) {
  double theta = 0;
  if (dx == 0) {
    theta = dy < 0 ? -1.570796325 : 1.570796325;
  } else {
    theta = std::atan(static_cast<double>(dy) / dx);
    if (dx < 0) theta += 3.14159265;
  }
  const auto step = static_cast<std::int64_t>(std::floor(theta * 65535 / 6.2831853));
  return static_cast<std::uint16_t>((65536 + step) % 65536);
}

std::uint16_t CColorPickerDlg::LightnessAtRow(std::int32_t y) const {
  const std::int64_t rows = std::max(barRect.Height() - 2, 1);
  const std::int64_t value = (static_cast<std::int64_t>(y) - barRect.top - 1) * 65535 / rows;
  return static_cast<std::uint16_t>(std::clamp<std::int64_t>(value, 0, 65535));
}

// Input ------------------------------------------------------------------------------

void CColorPickerDlg::OnLButtonDown(Point point, std::uint32_t flags) {
  const std::int32_t dx = point.x - wheelCentre.x;
  const std::int32_t dy = wheelCentre.y - point.y;
  const double distance = std::hypot(dx, dy);
  const Rect barReach{barRect.left - kPickReach, barRect.top - kPickReach, barRect.right + kPickReach,
                      barRect.bottom + kPickReach};
  std::array<std::uint16_t, 4> hsl{};
  std::uint16_t alpha = 0;
  {
    std::lock_guard guard(lock);
    hsl = ToPixel16(colourHsl);
    alpha = AlphaOf(colour);
  }
  if (wheelRadius > 0 && distance <= wheelRadius + kPickReach) {
    hsl[2] = HueAt(dx, dy);
    hsl[1] = static_cast<std::uint16_t>(std::min<double>(distance, wheelRadius) / wheelRadius * 65535);
    hsl[0] = kWheelLightness;
  } else if (barReach.Contains(point)) {
    hsl[0] = LightnessAtRow(point.y);
  } else {
    CDialogSprite::OnLButtonDown(point, flags);
    return;
  }
  std::array<std::uint16_t, 4> rgb = hsl;
  HslToRgb16(rgb.data(), 1);
  {
    std::lock_guard guard(lock);
    colourHsl = FromPixel16(hsl);
    colour = WithAlpha(FromPixel16(rgb), alpha);
  }
  dirty = 1;
}

bool CColorPickerDlg::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kSpriteMsgButtonClicked && message.wparam == kColorCodeId) {
    const ColourBgra16 current = Colour();
    std::uint32_t code = Packed(Displayed(current));
    if (ChooseColorCode(code)) {
      SetColour(MakeColourBgra16(ChosenCodeToLinear((code >> 16) & 0xFF),
                                 ChosenCodeToLinear((code >> 8) & 0xFF), ChosenCodeToLinear(code & 0xFF),
                                 AlphaOf(current)));
    }
  } else if (message.code == kPanelMsgItemClicked && message.sender == &swatchPanel &&
             message.wparam < kSwatchCount) {
    SetColour(kSwatches[message.wparam]);
  }
  return CDialogSprite::OnSpriteMessage(message);
}

// Drawing -----------------------------------------------------------------------------

bool CColorPickerDlg::Draw(std::uint32_t now) {
  if (!CDialogSprite::Draw(now)) return false;
  const std::array<std::uint16_t, 4> hsl = ToPixel16(colourHsl);
  DrawWheel(hsl[2], hsl[1]);
  DrawBar(hsl[2], hsl[1], hsl[0]);
  DrawPreview(colour);
  if (const CBgraImage* marker = UIResources().skins.icons.At(kIconColorMarker)) {
    BlendImage(surface, *marker, wheelMarker.x - 5, wheelMarker.y - 5, true, {}, 256);
    BlendImage(surface, *marker, barRect.left + barRect.Width() / 2 - 5, barMarkerY - 5, true, {}, 256);
  }
  return true;
}

void CColorPickerDlg::DrawWheel(std::uint16_t hue, std::uint16_t saturation) {
  const std::int32_t radius = wheelRadius;
  if (radius <= 0) return;
  const std::int32_t side = 2 * radius + 1;
  const auto count = static_cast<std::size_t>(side);
  std::vector<std::uint16_t> row16(count * 4);
  std::vector<std::uint8_t> row8(count * 4);
  std::vector<std::uint8_t> coverage(count);
  std::int64_t best = std::numeric_limits<std::int64_t>::max();
  const auto width = static_cast<std::int32_t>(surface.width);
  const auto height = static_cast<std::int32_t>(surface.height);
  for (std::int32_t y = wheelCentre.y - radius; y <= wheelCentre.y + radius; ++y) {
    if (y < 0 || y >= height) continue;
    for (std::int32_t i = 0; i < side; ++i) {
      const std::int32_t dx = i - radius;
      const std::int32_t dy = wheelCentre.y - y;
      const double d = std::hypot(dx, dy);
      const std::uint16_t h = HueAt(dx, dy);
      const auto s = static_cast<std::uint16_t>(std::min<double>(d, radius) / radius * 65535);
      std::uint16_t* p = &row16[4 * static_cast<std::size_t>(i)];
      p[0] = kWheelLightness;
      p[1] = s;
      p[2] = h;
      p[3] = kFull;
      coverage[static_cast<std::size_t>(i)] = d < radius - 1 ? 255
                                              : d < radius   ? static_cast<std::uint8_t>((radius - d) * 255)
                                                             : 0;
      if (d < radius) {
        const std::int64_t distance = std::abs(h - hue) + std::abs(s - saturation);
        if (distance < best) {
          best = distance;
          wheelMarker = {wheelCentre.x + dx, y};
        }
      }
    }
    HslToRgb16(row16.data(), count);
    ConvertPixels16To8(row16.data(), row8.data(), count);
    for (std::int32_t i = 0; i < side; ++i) {
      const std::int32_t x = wheelCentre.x - radius + i;
      const std::uint32_t c = coverage[static_cast<std::size_t>(i)];
      if (c == 0 || x < 0 || x >= width) continue;
      std::uint8_t* target = surface.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
      const std::uint8_t* source = &row8[4 * static_cast<std::size_t>(i)];
      for (int k = 0; k < 3; ++k)
        target[k] = static_cast<std::uint8_t>((source[k] * c + target[k] * (255 - c) + 127) / 255);
      target[3] = 255;
    }
  }
}

void CColorPickerDlg::DrawBar(std::uint16_t hue, std::uint16_t saturation, std::uint16_t lightness) {
  if (barRect.Height() < 3 || barRect.Width() < 3) return;
  FillOutline(barRect);
  std::int64_t best = std::numeric_limits<std::int64_t>::max();
  for (std::int32_t y = barRect.top + 1; y < barRect.bottom - 1; ++y) {
    const std::uint16_t l = LightnessAtRow(y);
    std::array<std::uint16_t, 4> pixel = {l, saturation, hue, kFull};
    HslToRgb16(pixel.data(), 1);
    std::array<std::uint8_t, 4> shown{};
    ConvertPixels16To8(pixel.data(), shown.data(), 1);
    FillRect(surface, {barRect.left + 1, y, barRect.right - 1, y + 1}, Packed(shown));
    const std::int64_t distance = std::abs(l - lightness);
    if (distance < best) {
      best = distance;
      barMarkerY = y;
    }
  }
}

void CColorPickerDlg::DrawPreview(ColourBgra16 shown) {
  FillOutline({previewRect.left - 1, previewRect.top - 1, previewRect.right + 1, previewRect.bottom + 1});
  FillRect(surface, previewRect, Packed(Displayed(shown)));
}

void CColorPickerDlg::FillOutline(const Rect& outer) {
  FillRect(surface, {outer.left, outer.top, outer.right, outer.top + 1}, kOutlineColor);
  FillRect(surface, {outer.left, outer.bottom - 1, outer.right, outer.bottom}, kOutlineColor);
  FillRect(surface, {outer.left, outer.top, outer.left + 1, outer.bottom}, kOutlineColor);
  FillRect(surface, {outer.right - 1, outer.top, outer.right, outer.bottom}, kOutlineColor);
}
