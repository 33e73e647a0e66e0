#include "ui/widgets/SProgress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

std::int32_t BusyRingCoverage(double x, double y, double radius, std::int64_t spin, std::int64_t gapAngle) {
  constexpr double kPi = 3.14159265359;
  const double d = std::sqrt(x * x + y * y);
  // The angle is asked for only by the rings, never at the centre, where
  // y / x would be 0 / 0; on the vertical axis it is that of +-infinity.
  const auto angle = [&]() -> std::int64_t {
    if (x == 0.0) return y > 0.0 ? 270 : 90;
    return static_cast<std::int64_t>((std::atan(y / x) + kPi) * 180.0 / kPi);
  };
  const auto inGap = [&] { return (angle() - gapAngle + 360) % 180 < 11; };
  if (d < 0.5 * radius) return 0.37 * radius < d && d < 0.4 * radius && !inGap() ? 192 : 0;
  if (d < 0.75 * radius) {
    const std::int64_t band = (spin + angle()) % 180;
    return band >= 11 && band <= 169 ? 144 : 0;
  }
  if (d <= 0.8 * radius) return 0;
  return d < radius && !inGap() ? 96 : 0;
}

bool CSProgress::Draw(std::uint32_t now) {
  if (surface.IsEmpty()) return false;
  const std::int32_t r =
      std::min(static_cast<std::int32_t>(surface.width), static_cast<std::int32_t>(surface.height)) / 2;
  const std::uint32_t colour = UIResources().theme.colors[4] & 0x00FFFFFFu;
  const std::int64_t spin = now / 100;
  const std::int64_t gapAngle = (now / 50) % 360;
  const double radius = r;
  for (std::int32_t k = 0; k < 2 * r; ++k) {
    auto* row = reinterpret_cast<std::uint32_t*>(surface.Row(static_cast<std::uint32_t>(k)));
    const double y = k - r;
    for (std::int32_t c = 0; c < 2 * r; ++c) {
      const double x = c - r;
      const std::int32_t sum = BusyRingCoverage(x + 0.5, y + 0.5, radius, spin, gapAngle) +
                               BusyRingCoverage(x, y + 0.5, radius, spin, gapAngle) +
                               BusyRingCoverage(x + 0.5, y, radius, spin, gapAngle) +
                               BusyRingCoverage(x, y, radius, spin, gapAngle);
      row[c] = colour | (static_cast<std::uint32_t>(sum / 4) << 24);
    }
  }
  if (!percentImage.IsEmpty()) {
    BlendImage(surface, percentImage, (2 * r - static_cast<std::int32_t>(percentImage.width)) / 2,
               (2 * r - static_cast<std::int32_t>(percentImage.height)) / 2, true, {}, 256);
  }
  InvalidateArea({}, 1);
  return true;
}

void CSProgress::SetPercent(std::int32_t percent) {
  if (percent == lastPercent || !visible) return;
  {
    std::lock_guard guard(lock);
    percentImage.Free();
  }
  lastPercent = percent;
  CBgraImage picture;
  if (!picture.Create(kPercentWidth, kPercentHeight)) return;
  // Transparent in the digits' colour, so that resampling keeps their edges
  // from darkening.
  const std::uint32_t colour = UIResources().theme.colors[1];
  FillRect(picture, {0, 0, kPercentWidth, kPercentHeight}, colour & 0x00FFFFFFu);
  char text[16];
  std::snprintf(text, sizeof text, "%02d", percent);
  const CImageArray& digits = UIResources().skins.digits;
  std::int32_t position = 0;
  for (const char* c = text; *c; ++c) {
    std::size_t glyph = 0;
    if (*c >= '0' && *c <= '9') {
      glyph = static_cast<std::size_t>(*c - '0');
    } else if (*c == '+') {
      glyph = 10;
    } else {
      continue;
    }
    // A third glyph (100) shows as a sliver at the right edge.
    if (const CBgraImage* cell = digits.At(glyph))
      BlendColorMask(picture, *cell, kDigitCell * position, 0, colour, {});
    ++position;
  }
  std::lock_guard guard(lock);
  const std::int32_t s = std::min(rect.Width(), rect.Height()) * 16 / 50;
  if (s > kNaturalDigitSize) {
    percentImage = std::move(picture);
  } else {
    Rect whole;
    const auto side = static_cast<std::uint32_t>(std::max(s, 0));
    if (!picture.ResampleTo(percentImage, side, side / 2, 2, whole)) percentImage.Free();
  }
  dirty = 1;
}

void CSProgress::ForgetPercent() {
  std::lock_guard guard(lock);
  percentImage.Free();
  lastPercent = -1;
}
