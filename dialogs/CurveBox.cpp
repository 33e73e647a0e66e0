#include "dialogs/CurveBox.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <mutex>

#include "image/BgraImage16.h"
#include "image/ColorTables.h"
#include "platform/WindowHost.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/SkinSet.h"
#include "ui/UIResources.h"

namespace {

constexpr std::uint32_t kFrameColor = 0xFFC8C8C8u;
constexpr std::uint32_t kGridColor = 0xFF808080u;
constexpr std::uint32_t kMainCurveColor = 0xFFE6E6E6u;
constexpr std::int32_t kHitHalf = 5;       // hit boxes are 10 x 10 around a point
constexpr std::int32_t kHitGrow = 4;       // the pointer may miss a hit box by this much
constexpr std::int32_t kPlotMargin = 5;    // hovering starts this far outside the plot
constexpr std::int32_t kClickSlack = 3;    // a press and release this close add a point
constexpr std::int32_t kCurveSample8 = 5;  // 8-bit curves are drawn through every fifth level

struct CurveColors {
  std::int32_t background[2];
  std::uint32_t backgroundColor[2];
  std::uint32_t color;
};

// Background tables and colours of the colour channels 1, 2 and 3.
constexpr std::array<CurveColors, 3> kChannelCurves = {{
    {{2, 3}, {0xFF008000u, 0xFF000080u}, 0xFFF00000u},
    {{1, 3}, {0xFF800000u, 0xFF0000C0u}, 0xFF00F000u},
    {{1, 2}, {0xFF800000u, 0xFF008000u}, 0xFF4040FFu},
}};

void PutPixel(CBgraImage& image, std::int32_t x, std::int32_t y, std::uint32_t color) {
  if (x < 0 || y < 0 || x >= static_cast<std::int32_t>(image.width) ||
      y >= static_cast<std::int32_t>(image.height))
    return;
  reinterpret_cast<std::uint32_t*>(image.Row(static_cast<std::uint32_t>(y)))[x] = color;
}

std::uint32_t Grey(std::int32_t level) {
  const auto g = static_cast<std::uint32_t>(std::clamp(level, 0, 255));
  return 0xFF000000u | (g << 16) | (g << 8) | g;
}

}  // namespace

CCurveBox::CCurveBox() {
  kind |= kSpriteKindAnimation | kSpriteKindInput;
  BuildLut(true);
}

void CCurveBox::BuildLut(bool lock) {
  if (!lock) {
    CCurveModel::BuildLut();
    return;
  }
  {
    std::lock_guard guard(this->lock);
    CCurveModel::BuildLut();
  }
  dirty = 1;
}

Rect CCurveBox::PlotRectFor(std::int32_t width, std::int32_t height) {
  return {12, 7, width - 8, height - 13};
}

std::int32_t CCurveBox::StoredLevelFromX(std::int32_t x) const {
  const std::int32_t level = LevelFromX(x);
  return m_bitMode == kBitMode8 ? SrgbToLinearTable[static_cast<std::size_t>(std::clamp(level, 0, 255))]
                                : level;
}

std::int32_t CCurveBox::StoredLevelFromY(std::int32_t y) const {
  const std::int32_t level = LevelFromY(y);
  return m_bitMode == kBitMode8 ? SrgbToLinearTable[static_cast<std::size_t>(std::clamp(level, 0, 255))]
                                : level;
}

std::uint64_t CCurveBox::HistogramScale(std::uint64_t pixelCount, std::int32_t plotWidth) {
  if (plotWidth <= 0) return 1;
  return std::max<std::uint64_t>(pixelCount * 10 / static_cast<std::uint64_t>(plotWidth), 1);
}

std::vector<std::int32_t> CCurveBox::HistogramBars() const {
  std::vector<std::int32_t> bars;
  const std::int32_t width = m_plotRect.Width();
  const std::int32_t height = m_plotRect.Height();
  if (!m_histSource || width <= 0 || height <= 0) return bars;
  const auto& bins = m_histogram[static_cast<std::size_t>(m_channel % 4)];
  const std::uint64_t scale = HistogramScale(m_histSource->pixelCount, width);
  bars.resize(static_cast<std::size_t>(width));
  std::int64_t first = 0;
  for (std::int32_t i = 0; i < width; ++i) {
    const std::int64_t last =
        m_bitMode == kBitMode8
            ? SrgbToLinearTable[static_cast<std::size_t>(std::int64_t{i} * 255 / width)] / 16
            : std::int64_t{i} * kHistogramBins / width;
    if (last < first) first = std::max<std::int64_t>(last - 10, 0);
    std::uint64_t sum = 0;
    for (std::int64_t b = first; b <= last; ++b) sum += bins[static_cast<std::size_t>(b)];
    bars[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(std::min<std::uint64_t>(
        sum * static_cast<std::uint64_t>(height) / scale, static_cast<std::uint64_t>(height)));
    first = last + 1;
  }
  return bars;
}

void CCurveBox::DrawCurve(const std::uint16_t* table, std::uint32_t color) {
  const Rect& p = m_plotRect;
  const std::int64_t span = p.Height();
  if (m_bitMode != kBitMode8) {
    std::int32_t previous = 0;
    for (std::int32_t x = p.left; x < p.right; ++x) {
      const auto level = static_cast<std::size_t>(std::clamp(LevelFromX(x), 0, 65535));
      const auto y = static_cast<std::int32_t>(p.bottom - span * table[level] / 65535);
      const std::int32_t from = x == p.left ? y : previous;
      for (std::int32_t run = std::min(from, y); run <= std::max(from, y); ++run)
        PutPixel(surface, x, run, color);
      previous = y;
    }
    return;
  }
  std::array<std::int32_t, 256> curve8{};
  for (std::size_t j = 0; j < 65536; ++j) curve8[LinearToSrgbTable[j]] = LinearToSrgbTable[table[j]];
  CSkinSet& skins = UIResources().skins;
  for (std::int32_t k = 0; k <= 255; k += kCurveSample8) {
    const Point point{static_cast<std::int32_t>(p.left + std::int64_t{p.Width()} * k / 255),
                      static_cast<std::int32_t>(p.bottom - span * curve8[static_cast<std::size_t>(k)] / 255)};
    if (k == 0)
      skins.penPoint = point;
    else
      skins.DrawLineTo(surface, point, color, 15, 1, 255);
  }
}

bool CCurveBox::Draw(std::uint32_t now) {
  CMessageSprite::Draw(now);
  if (!dirty || surface.IsEmpty()) return false;
  std::fill(surface.pixels, surface.pixels + surface.byteSize, std::uint8_t{0});
  const auto w = static_cast<std::int32_t>(surface.width);
  const auto h = static_cast<std::int32_t>(surface.height);
  CSkinSet& skins = UIResources().skins;
  skins.DrawRectLines(surface, {0, 5, w - 6, h - 1}, kFrameColor, 10, 0);
  m_plotRect = PlotRectFor(w, h);
  const Rect& p = m_plotRect;
  if (p.IsEmpty()) {
    InvalidateArea({}, 1);
    return true;
  }

  // Ramps: the output levels down the left side, the input levels along the
  // bottom.
  for (std::int32_t y = 6; y <= h - 19; ++y) {
    const std::int32_t level = LevelFromY(y);
    const std::uint32_t grey = Grey(
        m_rangeMode == kRange16 ? LinearToSrgbTable[static_cast<std::size_t>(std::clamp(level, 0, 65535))]
                                : level);
    for (std::int32_t x = 1; x <= 10; ++x) PutPixel(surface, x, y, grey);
  }
  for (std::int32_t x = 11; x <= w - 7; ++x) {
    const std::int32_t level = LevelFromX(x);
    const std::uint32_t grey = Grey(
        m_bitMode == kBitMode16 ? LinearToSrgbTable[static_cast<std::size_t>(std::clamp(level, 0, 65535))]
                                : level);
    for (std::int32_t y = h - 11; y <= h - 2; ++y) PutPixel(surface, x, y, grey);
  }

  // The grid: solid middle lines, dashed quarter lines.
  for (std::int32_t q = 1; q <= 3; ++q) {
    const std::int32_t dash = q == 2 ? 0 : 1;
    const std::int32_t x = p.left + p.Width() * q / 4;
    const std::int32_t y = p.top + p.Height() * q / 4;
    skins.penPoint = {x, p.top};
    skins.DrawLineTo(surface, {x, p.bottom}, kGridColor, 10, dash, 255);
    skins.penPoint = {p.left, y};
    skins.DrawLineTo(surface, {p.right, y}, kGridColor, 10, dash, 255);
  }

  // Histogram bars, each up from the plot's bottom.
  const std::vector<std::int32_t> bars = HistogramBars();
  for (std::size_t i = 0; i < bars.size(); ++i)
    for (std::int32_t y = p.bottom - bars[i]; y < p.bottom; ++y)
      PutPixel(surface, p.left + static_cast<std::int32_t>(i), y, m_lineColor);

  std::uint32_t color = kMainCurveColor;
  if (m_channelLuts && m_channel >= 1 && m_channel <= 3) {
    const CurveColors& curves = kChannelCurves[static_cast<std::size_t>(m_channel - 1)];
    for (std::size_t b = 0; b < 2; ++b)
      DrawCurve(m_channelLuts + std::size_t{65536} * static_cast<std::size_t>(curves.background[b]),
                curves.backgroundColor[b]);
    color = curves.color;
  }
  DrawCurve(m_lut.data(), color);

  for (CurvePoint& point : m_points) {
    point.hitBox = HitBoxOf(point);
    const std::size_t icon = point.kind == 3 ? kIconCurvePoint : kIconCurvePointActive;
    if (const CBgraImage* picture = skins.icons.At(icon))
      BlendImage(surface, *picture, point.hitBox.left, point.hitBox.top, true, {}, 256);
  }
  InvalidateArea({}, 1);
  return true;
}

Rect CCurveBox::HitBoxOf(const CurvePoint& point) const {
  const Rect& p = m_plotRect;
  const auto x = static_cast<std::size_t>(std::clamp(point.x, 0, 65535));
  const auto y = static_cast<std::size_t>(std::clamp(point.y, 0, 65535));
  const std::int64_t px = m_bitMode == kBitMode8 ? LinearToSrgbTable[x] : std::int64_t(x);
  const std::int64_t py = m_bitMode == kBitMode8 ? LinearToSrgbTable[y] : std::int64_t(y);
  const std::int64_t top = m_bitMode == kBitMode8 ? 255 : 65535;
  const auto cx = static_cast<std::int32_t>(p.left + std::int64_t{p.Width()} * px / top);
  const auto cy = static_cast<std::int32_t>(p.bottom - py * p.Height() / top);
  return {cx - kHitHalf, cy - kHitHalf, cx + kHitHalf, cy + kHitHalf};
}

void CCurveBox::UpdateHover(Point point) {
  m_hoverIndex = kHoverNone;
  const Rect& p = m_plotRect;
  const Rect near{p.left - kPlotMargin, p.top - kPlotMargin, p.right + kPlotMargin, p.bottom + kPlotMargin};
  if (!near.Contains(point)) return;
  // Hit boxes from the points as they are now: a point added or moved since
  // the last drawing is hit where it will be drawn.
  for (std::size_t i = 0; i < m_points.size(); ++i) {
    const Rect box = HitBoxOf(m_points[i]);
    const Rect grown{box.left - kHitGrow, box.top - kHitGrow, box.right + kHitGrow, box.bottom + kHitGrow};
    if (grown.Contains(point)) {
      m_hoverIndex = static_cast<std::int32_t>(i);
      return;
    }
  }
  const std::int32_t ix = std::clamp(StoredLevelFromX(point.x), 0, 65535);
  const std::int32_t oy = StoredLevelFromY(point.y);
  const std::int32_t tolerance = m_bitMode == kBitMode8 && ix < 30000 ? 400 : 2000;
  if (std::abs(oy - m_lut[static_cast<std::size_t>(ix)]) < tolerance && m_points.size() < kMaxPoints)
    m_hoverIndex = kHoverCurve;
}

bool CCurveBox::OnSetCursor(Point /*point*/) {
  if (m_hoverIndex == kHoverCurve)
    SetWindowCursor(CursorShape::Crosshair);
  else if (m_hoverIndex >= 0)
    SetWindowCursor(CursorShape::SizeAll);
  else
    SetWindowCursor(CursorShape::Arrow);
  return true;
}

void CCurveBox::OnMouseMove(Point point, std::uint32_t flags) {
  {
    std::lock_guard guard(lock);
    if (m_dragging) {
      if (m_hoverIndex >= 0 && static_cast<std::size_t>(m_hoverIndex) < m_points.size())
        MovePoint(m_hoverIndex, point);
    } else {
      UpdateHover(point);
    }
  }
  static_cast<void>(OnSetCursor(point));  // always handled
  CMessageSprite::OnMouseMove(point, flags);
}

void CCurveBox::OnLButtonDown(Point point, std::uint32_t /*flags*/) {
  if (m_dragging) return;
  {
    // The pointer may not have moved since the points changed (a press right
    // after a click added a point, with no motion between): what lies under
    // it is looked up again.
    std::lock_guard guard(lock);
    UpdateHover(point);
  }
  if (m_hoverIndex >= 0) {
    m_dragging = 1;
    if (CRenderWindow* window = RenderWindowOf(*this)) window->SetCaptureSprite(this);
  } else if (m_hoverIndex == kHoverCurve) {
    m_downPoint = point;
    m_downOnCurve = true;
  }
}

void CCurveBox::OnLButtonDblClk(Point point, std::uint32_t flags) { OnLButtonDown(point, flags); }

void CCurveBox::OnLButtonUp(Point point, std::uint32_t /*flags*/) {
  if (m_dragging) {
    m_dragging = 0;
    if (CRenderWindow* window = RenderWindowOf(*this)) window->ReleaseCaptureSprite(this);
    NotifyParent();
    return;
  }
  // Only a press that was on the curve adds a point.
  const bool onCurve = std::exchange(m_downOnCurve, false);
  if (!onCurve || std::abs(point.x - m_downPoint.x) > kClickSlack ||
      std::abs(point.y - m_downPoint.y) > kClickSlack || m_points.size() >= kMaxPoints)
    return;
  {
    std::lock_guard guard(lock);
    const auto next = std::find_if(m_points.begin(), m_points.end(),
                                   [&](const CurvePoint& p) { return HitBoxOf(p).right >= point.x; });
    if (next == m_points.end()) return;
    CurvePoint added;
    added.x = std::clamp(StoredLevelFromX(point.x), 0, 65535);
    added.y = m_lut[static_cast<std::size_t>(added.x)];
    added.kind = 4;
    added.slope = 1.0;
    m_points.insert(next, added);
    BuildLut(true);
    UpdateHover(point);
  }
  static_cast<void>(OnSetCursor(point));  // always handled
}

void CCurveBox::OnRButtonDown(Point point, std::uint32_t /*flags*/) {
  {
    std::lock_guard guard(lock);
    if (!m_dragging) UpdateHover(point);
    if (m_hoverIndex < 1 || static_cast<std::size_t>(m_hoverIndex) >= m_points.size()) return;
    const auto at = m_points.begin() + m_hoverIndex;
    if (at->kind == 3) return;
    m_points.erase(at);
    m_hoverIndex = kHoverNone;
    BuildLut(true);
  }
  NotifyParent();
}

void CCurveBox::OnCaptureReleased() {
  if (!m_dragging) return;
  m_dragging = 0;
  NotifyParent();
}

void CCurveBox::NotifyParent() {
  // An owner that is gone, or a queue that shut down, takes no notice.
  if (parent && parent->IsInputSprite())
    static_cast<void>(PostSpriteMessage(parent, kCurveBoxMsgChanged, 0, 0, this));
}

void CCurveBox::MovePoint(std::int32_t index, Point pointer) {
  std::lock_guard guard(lock);
  if (index < 0 || static_cast<std::size_t>(index) >= m_points.size()) return;
  const auto i = static_cast<std::size_t>(index);
  CurvePoint& point = m_points[i];
  const std::int32_t low = i == 0 ? 0 : m_points[i - 1].x + kNeighbourGap;
  const std::int32_t high = i + 1 == m_points.size() ? 65535 : m_points[i + 1].x - kNeighbourGap;
  // A point that sits closer than the gap to a neighbour has no room to move
  // sideways: it keeps its x.
  const std::int32_t l = low <= high ? std::clamp(StoredLevelFromX(pointer.x), low, high) : point.x;
  const std::int32_t v = std::clamp(StoredLevelFromY(pointer.y), 0, 65535);
  switch (point.kind) {
    case 0:
      return;
    case 1:
      point.x = l;
      break;
    case 2:
      point.y = v;
      break;
    case 3:
      if (i + 1 == m_points.size()) {
        if (l < v) {
          point.y = 65535;
          point.x = l;
        } else {
          point.x = 65535;
          point.y = v;
        }
      } else if (i == 0) {
        if (v < l) {
          point.y = 0;
          point.x = l;
        } else {
          point.x = 0;
          point.y = v;
        }
      }
      break;
    default:
      point.x = l;
      point.y = v;
      break;
  }
  BuildLut(true);
}
