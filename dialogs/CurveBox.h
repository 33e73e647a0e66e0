#pragma once
// CCurveBox: the sprite that shows and edits a tone curve (the model is
// CCurveModel): a framed plot with grey ramps along both axes, a quarter
// grid, the histogram of the image being adjusted, the other channels'
// curves behind the edited one and its control points. The user drags a
// point, adds one by clicking on the curve and deletes one with the right
// button. When a drag ends, when the capture is lost during a drag and when
// a point was deleted, the parent gets sprite message 10005 (0, 0).
//
// UI thread only. Points and table change under the sprite lock, which the
// render thread holds while it draws.

#include <cstdint>
#include <vector>

#include "algorithms/CurveModel.h"
#include "platform/Rect.h"
#include "ui/MessageSprite.h"

inline constexpr std::int32_t kCurveBoxMsgChanged = 10005;

class CCurveBox : public CMessageSprite, public CCurveModel {
public:
  static constexpr std::int32_t kHoverNone = -1;
  static constexpr std::int32_t kHoverCurve = -2;  // a point may be added here
  static constexpr std::int32_t kNeighbourGap = 100;
  static constexpr std::uint32_t kDefaultLineColor = 0xFF404040u;

  CCurveBox();

  // Recomputes m_lut from the points; with lock under the sprite lock, and
  // the box redraws.
  void BuildLut(bool lock);
  // Moves one point to the pointer within its kind's rules and rebuilds the
  // table.
  virtual void MovePoint(std::int32_t index, Point pointer);

  bool Draw(std::uint32_t now) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonUp(Point point, std::uint32_t flags) override;
  // The second press of a quick pair is a press like any other (a click
  // that added a point, then a drag of it).
  void OnLButtonDblClk(Point point, std::uint32_t flags) override;
  void OnRButtonDown(Point point, std::uint32_t flags) override;
  void OnCaptureReleased() override;
  bool OnSetCursor(Point point) override;

  // Widget coordinates to a level of the axis range (8-bit codes in range
  // mode 1), and to a stored 16-bit level (through SrgbToLinearTable in
  // 8-bit mode).
  std::int32_t LevelFromX(std::int32_t x) const { return CCurveModel::LevelFromX(x, m_plotRect); }
  std::int32_t LevelFromY(std::int32_t y) const { return CCurveModel::LevelFromY(y, m_plotRect); }
  std::int32_t StoredLevelFromX(std::int32_t x) const;
  std::int32_t StoredLevelFromY(std::int32_t y) const;
  // The plot rectangle of a box of this size.
  static Rect PlotRectFor(std::int32_t width, std::int32_t height);
  // Pixel count x 10 / plot width, in 64 bits and at least 1.
  static std::uint64_t HistogramScale(std::uint64_t pixelCount, std::int32_t plotWidth);
  // The bar heights of the histogram of m_channel modulo 4 over the plot
  // (one per plot column); empty without a source.
  std::vector<std::int32_t> HistogramBars() const;

  std::int32_t m_channel = 0;  // 0 RGB, 1 red, 2 green, 3 blue, 4 luminance
  std::uint32_t m_lineColor = kDefaultLineColor;
  // The owner's channel tables, 65536 entries each, table k at k x 65536;
  // null = no background curves.
  const std::uint16_t* m_channelLuts = nullptr;
  Rect m_plotRect;
  std::int32_t m_hoverIndex = kHoverNone;
  std::int32_t m_dragging = 0;
  Point m_downPoint;
  bool m_downOnCurve = false;  // m_downPoint holds a press on the curve

private:
  // The 10 x 10 square around the point's place on the plot.
  Rect HitBoxOf(const CurvePoint& point) const;
  // What lies under the pointer, from the points as they are now.
  void UpdateHover(Point point);
  void DrawCurve(const std::uint16_t* table, std::uint32_t color);
  void NotifyParent();
};
