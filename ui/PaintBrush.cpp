#include "ui/PaintBrush.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>

#include "algorithms/GaussBlur.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/dialogs/BrushDlg.h"

void PaintBrush::HoldValues() {
  size = std::clamp(size, 1, kMaxSize);
  softness = std::clamp(softness, 0, 100);
  opacity = std::clamp(opacity, 0, 100);
}

int PaintBrush::BuildStamp() {
  HoldValues();
  const double spread = softness / 80.0 + 1.0;
  const auto side = static_cast<std::uint32_t>(spread * size + 1.0);
  const double radius = size * 0.5;
  const double centre = spread * size * 0.5;
  CPlane8 disc;
  if (!disc.Create(side, side)) {
    stamp = CPlane8();
    return 0;
  }
  for (std::uint32_t y = 0; y < side; ++y) {
    std::uint8_t* row = disc.Row(y);
    for (std::uint32_t x = 0; x < side; ++x) {
      const double t = std::hypot(x - centre, y - centre);
      std::int32_t value = 255;
      if (t > radius + 0.5)
        value = 0;
      else if (t > radius - 0.5)
        value = 255 - static_cast<std::int32_t>((t - radius + 0.5) * 255);
      row[x] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
    }
  }
  if (softness > 0) {
    CGaussBlur blur;
    CPlane8 blurred;
    if (!blur.BlurPlane(disc, blurred, softness * size / 400.0)) {
      stamp = CPlane8();
      return 0;
    }
    disc = std::move(blurred);
  }
  for (std::uint32_t i = 0; i < disc.byteSize; ++i) {
    const std::int32_t v = disc.pixels[i];
    const std::int32_t o = v < 128 ? 128 - v : 0;
    disc.pixels[i] = static_cast<std::uint8_t>((128 - o * o / 128) * v / 128);
  }
  stamp = std::move(disc);
  return 1;
}

int PaintBrush::BuildPreview(std::int32_t n) {
  if (stamp.IsEmpty() && !BuildStamp()) {
    // Without a stamp the preview is a single transparent pixel.
    if (!preview.Create(1, 1)) return 0;
    std::memset(preview.pixels, 0, preview.byteSize);
    return 1;
  }
  n = std::max(n, 1);
  const std::int32_t side = static_cast<std::int32_t>(stamp.width);
  CBgraImage picture;
  if (!picture.Create(stamp.width, stamp.height)) return 0;
  for (std::uint32_t i = 0; i < stamp.byteSize; ++i) {
    std::uint8_t* p = picture.pixels + 4 * std::size_t{i};
    p[0] = p[1] = p[2] = kPreviewGrey;
    const auto strength = static_cast<std::int32_t>(std::sqrt(stamp.pixels[i] / 255.0) * 255.0);
    p[3] = static_cast<std::uint8_t>(strength * (opacity + 10) / 110);
  }
  CBgraImage made;
  if (!made.Create(static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(n))) return 0;
  if (n >= side) {
    std::memset(made.pixels, 0, made.byteSize);
    const std::int32_t offset = (n - side) / 2;
    for (std::int32_t y = 0; y < side; ++y)
      std::memcpy(made.At(static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(offset + y)),
                  picture.Row(static_cast<std::uint32_t>(y)), 4 * static_cast<std::size_t>(side));
  } else {
    CBgraImage number;
    {
      CSkinSet& skins = UIResources().skins;
      std::lock_guard textLock(skins);
      const std::string digits = std::to_string(size);
      if (!skins.RenderText(std::u16string(digits.begin(), digits.end()), number, {}, kSizeFontSize))
        return 0;
    }
    Rect whole;
    if (!picture.ResampleTo(made, static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(n), 2, whole))
      return 0;
    BlendColorMask(made, number, 0, 0, UIResources().theme.colors[1], {});
  }
  preview = std::move(made);
  return 1;
}

bool PaintBrush::EditWithDialog(std::int32_t largest, Point anchor, std::int32_t sizeOnly) {
  CBrushDlg dialog;
  dialog.brush.size = size;
  dialog.brush.softness = softness;
  dialog.brush.opacity = opacity;
  dialog.largestSize = std::min(largest, kDialogLargest);
  dialog.anchor = anchor;
  dialog.sizeOnly = sizeOnly;
  if (!dialog.Create(CBrushDlg::kTemplateId) || dialog.RunModal() != 1) return false;
  size = dialog.brush.size;
  softness = dialog.brush.softness;
  opacity = dialog.brush.opacity;
  // A stamp that cannot be rebuilt is built again by its next user.
  static_cast<void>(BuildStamp());
  return true;
}
