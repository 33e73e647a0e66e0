#include "ui/SkinDrawing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "ui/BlendTables.h"

namespace {

const BlendTables* Tables() {
  if (const BlendTables* tables = GetBlendTables()) return tables;
  if (!BuildBlendTables()) return nullptr;
  return GetBlendTables();
}

std::uint8_t Channel(std::uint32_t color, int index) {
  return static_cast<std::uint8_t>(color >> (8 * index));
}

// The part of the target that the clip leaves (the empty clip: all of it),
// further cut to a placed picture; coordinates in 64 bits so that far-off
// placements cannot overflow.
struct Span {
  std::int64_t left, top, right, bottom;
  bool Empty() const { return right <= left || bottom <= top; }
};

Span DrawArea(const CBgraImage& target, const Rect& clip, std::int64_t x, std::int64_t y, std::int64_t width,
              std::int64_t height) {
  Span area{0, 0, target.width, target.height};
  if (clip.right != clip.left) {
    area.left = std::max<std::int64_t>(area.left, clip.left);
    area.top = std::max<std::int64_t>(area.top, clip.top);
    area.right = std::min<std::int64_t>(area.right, clip.right);
    area.bottom = std::min<std::int64_t>(area.bottom, clip.bottom);
  }
  area.left = std::max(area.left, x);
  area.top = std::max(area.top, y);
  area.right = std::min(area.right, x + width);
  area.bottom = std::min(area.bottom, y + height);
  return area;
}

}  // namespace

bool StretchSkinFrame(CBgraImage& target, const CBgraImage& source, std::int32_t left, std::int32_t top) {
  if (target.IsEmpty() || source.IsEmpty()) return false;
  const std::int64_t sw = source.width, sh = source.height;
  const std::int64_t tw = target.width, th = target.height;
  const std::int64_t c = std::max<std::int64_t>(10, (sw - left - 30) / 2);
  const std::int64_t d = std::max<std::int64_t>(10, (sh - top - 30) / 2);
  const std::int64_t l = left == 0 ? (sw - c) / 2 : left;
  const std::int64_t t = top == 0 ? (sh - d) / 2 : top;
  const std::int64_t right = sw - l - c;
  const std::int64_t bottom = sh - t - d;

  std::vector<std::int64_t> columns(static_cast<std::size_t>(tw));
  for (std::int64_t j = 0; j < tw; ++j) {
    std::int64_t s;
    if (j < l) {
      s = j;
    } else if (j > tw - right) {  // strictly: the right border's first column shows the band
      s = j + sw - tw;
    } else {
      s = l + (j - l) % c;
    }
    columns[static_cast<std::size_t>(j)] = std::clamp<std::int64_t>(s, 0, sw - 1);
  }
  for (std::int64_t i = 0; i < th; ++i) {
    std::int64_t s;
    if (i < t) {
      s = i;
    } else if (i >= th - bottom) {
      s = sh - th + i;
    } else {
      s = t + (i - t) % d;
    }
    s = std::clamp<std::int64_t>(s, 0, sh - 1);
    const std::uint8_t* from = source.Row(static_cast<std::uint32_t>(s));
    std::uint8_t* to = target.Row(static_cast<std::uint32_t>(i));
    for (std::int64_t j = 0; j < tw; ++j) {
      std::memcpy(to + 4 * j, from + 4 * columns[static_cast<std::size_t>(j)], 4);
    }
  }
  return true;
}

void BlendImage(CBgraImage& target, const CBgraImage& source, std::int32_t x, std::int32_t y, bool writeAlpha,
                const Rect& clip, std::int32_t alpha) {
  if (target.IsEmpty() || source.IsEmpty()) return;
  const BlendTables* tables = Tables();
  if (!tables) return;
  alpha = std::clamp(alpha, 0, 256);
  const Span area = DrawArea(target, clip, x, y, source.width, source.height);
  if (area.Empty()) return;
  for (std::int64_t ty = area.top; ty < area.bottom; ++ty) {
    const std::uint8_t* s =
        source.At(static_cast<std::uint32_t>(area.left - x), static_cast<std::uint32_t>(ty - y));
    std::uint8_t* p = target.At(static_cast<std::uint32_t>(area.left), static_cast<std::uint32_t>(ty));
    for (std::int64_t tx = area.left; tx < area.right; ++tx, s += 4, p += 4) {
      const std::int32_t weight = alpha * s[3];
      if (weight <= 255) continue;
      const std::int32_t w = weight / 256;
      const auto& sw = tables->source[w];
      const auto& dw = tables->destination[w];
      p[0] = static_cast<std::uint8_t>(sw[s[0]] + dw[p[0]]);
      p[1] = static_cast<std::uint8_t>(sw[s[1]] + dw[p[1]]);
      p[2] = static_cast<std::uint8_t>(sw[s[2]] + dw[p[2]]);
      if (writeAlpha) p[3] = static_cast<std::uint8_t>(dw[p[3]] + sw[255]);
    }
  }
}

void BlendColorMask(CBgraImage& target, const CBgraImage& mask, std::int32_t x, std::int32_t y,
                    std::uint32_t color, const Rect& clip) {
  if (target.IsEmpty() || mask.IsEmpty()) return;
  const BlendTables* tables = Tables();
  if (!tables) return;
  const std::uint8_t c[3] = {Channel(color, 0), Channel(color, 1), Channel(color, 2)};
  const Span area = DrawArea(target, clip, x, y, mask.width, mask.height);
  if (area.Empty()) return;
  for (std::int64_t ty = area.top; ty < area.bottom; ++ty) {
    const std::uint8_t* m =
        mask.At(static_cast<std::uint32_t>(area.left - x), static_cast<std::uint32_t>(ty - y));
    std::uint8_t* p = target.At(static_cast<std::uint32_t>(area.left), static_cast<std::uint32_t>(ty));
    for (std::int64_t tx = area.left; tx < area.right; ++tx, m += 4, p += 4) {
      const std::uint8_t u = m[2];
      if (u == 0) continue;
      if (p[3] == 0) {
        p[0] = c[0];
        p[1] = c[1];
        p[2] = c[2];
        p[3] = u;
        continue;
      }
      const auto& sw = tables->source[u];
      const auto& dw = tables->destination[u];
      p[0] = static_cast<std::uint8_t>(dw[p[0]] + sw[c[0]]);
      p[1] = static_cast<std::uint8_t>(dw[p[1]] + sw[c[1]]);
      p[2] = static_cast<std::uint8_t>(dw[p[2]] + sw[c[2]]);
      p[3] = static_cast<std::uint8_t>(dw[p[3]] + sw[255]);
    }
  }
}

void FillRect(CBgraImage& target, const Rect& rect, std::uint32_t color) {
  if (target.IsEmpty()) return;
  const std::int64_t x0 = std::max<std::int64_t>(rect.left, 0);
  const std::int64_t y0 = std::max<std::int64_t>(rect.top, 0);
  const std::int64_t x1 = std::min<std::int64_t>(rect.right, target.width);
  const std::int64_t y1 = std::min<std::int64_t>(rect.bottom, target.height);
  for (std::int64_t y = y0; y < y1; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(target.Row(static_cast<std::uint32_t>(y)));
    for (std::int64_t x = x0; x < x1; ++x) row[x] = color;
  }
}

void DrawRectOutline(CBgraImage& target, const Rect& rect, std::uint32_t color, std::uint8_t alpha) {
  if (rect.IsEmpty()) return;
  CBgraImage outline;
  if (!outline.Create(static_cast<std::uint32_t>(rect.Width()), static_cast<std::uint32_t>(rect.Height())))
    return;
  std::memset(outline.pixels, 0, outline.byteSize);
  const std::uint32_t w = outline.width, h = outline.height;
  auto set = [&](std::uint32_t px, std::uint32_t py) {
    std::uint8_t* p = outline.At(px, py);
    p[0] = Channel(color, 0);
    p[1] = Channel(color, 1);
    p[2] = Channel(color, 2);
    p[3] = alpha;
  };
  for (std::uint32_t px = 1; px + 1 < w; ++px) {
    set(px, 0);
    set(px, h - 1);
  }
  for (std::uint32_t py = 1; py + 1 < h; ++py) {
    set(0, py);
    set(w - 1, py);
  }
  BlendImage(target, outline, rect.left, rect.top, true, Rect{}, 256);
}

void TintRect(CBgraImage& target, const Rect& rect, std::uint32_t color, std::int32_t strength) {
  if (target.IsEmpty()) return;
  strength = std::clamp(strength, 0, 255);
  const std::int64_t top = std::max<std::int64_t>(rect.top, 0);
  const std::int64_t bottom = std::min<std::int64_t>(rect.bottom, target.height);
  const std::int64_t left = std::max<std::int64_t>(rect.left, 1);
  const std::int64_t right = std::min<std::int64_t>(rect.right, std::int64_t{target.width} - 1);
  for (std::int64_t y = top; y < bottom; ++y) {
    for (std::int64_t x = left; x < right; ++x) {
      std::uint8_t* p = target.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
      if (strength == 255 && p[3] == 0) p[3] = 255;
      const std::int32_t d = strength * p[3] / 255;
      if (d == 255) {
        // The formula gives the colour itself: the common opaque case, without divisions.
        for (int i = 0; i < 3; ++i) p[i] = Channel(color, i);
        continue;
      }
      for (int i = 0; i < 3; ++i) {
        const std::int32_t value = p[i];
        p[i] = static_cast<std::uint8_t>(value + (Channel(color, i) - value) * d / 255);
      }
    }
  }
}

void DrawGradientLine(CBgraImage& target, Point start, Point end, std::uint32_t middleColor,
                      std::uint32_t endColor, double exponent) {
  if (target.IsEmpty() || start == end || start.x < 0 || end.x < 0) return;
  // Half lengths are kept in doubles: a line of one pixel has half length
  // 0.5, never 0.
  auto paint = [&](std::uint32_t x, std::uint32_t y, double r, double h) {
    const double scaled = 256.0 * std::pow(r / h, exponent);
    std::int32_t u = 0;
    if (scaled >= 255.0) {
      u = 255;
    } else if (scaled > 0.0) {  // false for NaN as well
      u = static_cast<std::int32_t>(scaled);
    }
    std::uint8_t* p = target.At(x, y);
    for (int i = 0; i < 3; ++i) {
      const std::int32_t middle = Channel(middleColor, i);
      p[i] = static_cast<std::uint8_t>(middle + (((Channel(endColor, i) - middle) * u) >> 8));
    }
    p[3] = 255;
  };
  if (start.x == end.x) {
    if (start.x >= static_cast<std::int64_t>(target.width)) return;
    const double middle = (double(start.y) + end.y) / 2.0;
    const double half = std::abs(double(end.y) - start.y) / 2.0;
    const std::int32_t step = end.y > start.y ? 1 : -1;
    for (std::int64_t y = start.y; y != end.y; y += step) {
      if (y < 0 || y >= static_cast<std::int64_t>(target.height)) break;
      paint(static_cast<std::uint32_t>(start.x), static_cast<std::uint32_t>(y), std::abs(y - middle), half);
    }
    return;
  }
  if (start.y < 0 || start.y >= static_cast<std::int64_t>(target.height)) return;
  const double middle = (double(start.x) + end.x) / 2.0;
  const double half = std::abs(double(end.x) - start.x) / 2.0;
  for (std::int64_t x = start.x; x < end.x && x < static_cast<std::int64_t>(target.width); ++x) {
    paint(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(start.y), std::abs(x - middle), half);
  }
}
