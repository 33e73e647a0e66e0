#pragma once
// CCurveModel: the tone curve behind the curve boxes and the sharpen
// commands: up to ten control points turned into a 65536-entry table
// (CurveLut) by a cubic Hermite spline or straight lines, either on 16-bit
// linear levels or in 8-bit sRGB-encoded space, and a four-channel histogram
// of a source image for display. Owners fill m_points (ordered by x), set the
// modes and call BuildLut; the algorithms then read the table.
//
// Points that share an input level make no segment of their own and give
// the slopes next to them no steepness (slope 0 where a difference would
// divide by zero), so every table entry stays a finite level.
//
// Not thread-safe: the owner guards the table when another thread reads it.

#include <array>
#include <cstdint>
#include <vector>

#include "platform/Rect.h"

struct CBgraImage16;

struct CurvePoint {
  std::int32_t x = 0;  // input level 0..65535 (also in 8-bit mode)
  std::int32_t y = 0;  // output level 0..65535
  // How the point may move: 0 fixed, 1 horizontally, 2 vertically, 3 an end
  // point, 4 freely (points added by a click).
  std::int32_t kind = 4;
  double slope = 1.0;  // written by BuildLut
  Rect hitBox;         // where the point was last drawn
};

using CurveLut = std::array<std::uint16_t, 65536>;

class CCurveModel {
public:
  static constexpr std::int32_t kBitMode8 = 1;
  static constexpr std::int32_t kBitMode16 = 2;
  static constexpr std::int32_t kRange8 = 1;
  static constexpr std::int32_t kRange16 = 2;
  static constexpr std::int32_t kRangeCustom = 3;
  static constexpr std::uint32_t kHistogramBins = 4096;
  static constexpr std::size_t kMaxPoints = 10;  // through the mouse

  // The table is all zero until a curve with two points is built.
  CCurveModel();

  // Recomputes m_lut from m_points: zeros below the first point, the last
  // point's output from it to the top, the spline (smoothing on, three or
  // more points) or straight lines between.
  void BuildLut();
  // Luminance (6G + 3R + B) / 160, R / 16, G / 16 and B / 16 of every pixel
  // of m_histSource; all zero without one.
  void BuildHistogram();
  // A coordinate of the plot rectangle to a level of the current axis range.
  std::int32_t LevelFromX(std::int32_t x, const Rect& plot) const;
  std::int32_t LevelFromY(std::int32_t y, const Rect& plot) const;
  // The axis range of m_rangeMode.
  std::int32_t RangeLow() const;
  std::int32_t RangeHigh() const;

  std::vector<CurvePoint> m_points;
  CurveLut m_lut{};
  std::int32_t m_bitMode = kBitMode16;
  std::int32_t m_rangeMode = kRange16;
  std::int32_t m_rangeLow = 0;
  std::int32_t m_rangeHigh = 65535;
  std::int32_t m_smooth = 1;
  const CBgraImage16* m_histSource = nullptr;
  // Luminance, red, green, blue.
  std::array<std::array<std::uint32_t, kHistogramBins>, 4> m_histogram{};

private:
  void Build16();
  void Build8();
};
