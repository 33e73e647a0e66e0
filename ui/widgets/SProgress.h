#pragma once
// CSProgress: the busy indicator of the render window (layer 161), shown by
// CRenderWindow::ShowProgress around long operations of the UI thread. It
// draws itself every frame: three concentric rings in theme colour 4 whose
// gaps turn with the frame time, and, once SetPercent was called, the
// percentage as two digits of the skin's digit strip in theme colour 1 in
// the middle.
//
// Threads: SetPercent and ForgetPercent run on the UI thread and replace the
// percentage picture under the indicator's lock, under which the render
// thread draws.

#include <cstdint>

#include "image/BgraImage.h"
#include "ui/DialogControl.h"

// The coverage (0 to 255) of the rings at a point (x, y) from the centre of
// a square of radius r: a thin inner ring between 0.37 r and 0.4 r and an
// outer one from 0.8 r to r, each with two 22-degree gaps at gapAngle (the
// angle is that of y / x, so the pattern repeats every 180 degrees), and a
// middle band from 0.5 r to 0.75 r with two gaps at spin. 0 at the centre.
std::int32_t BusyRingCoverage(double x, double y, double radius, std::int64_t spin, std::int64_t gapAngle);

class CSProgress : public CDialogControl {
public:
  // The percentage picture before it is fitted to the indicator: two cells
  // of the 20-pixel digit strip, 27 pixels high, and 2 columns of a third.
  static constexpr std::int32_t kPercentWidth = 42;
  static constexpr std::int32_t kPercentHeight = 27;
  static constexpr std::int32_t kDigitCell = 20;
  // Above this digit size (min(width, height) x 16 / 50) the picture is
  // shown as it is; at or below it, resampled to s x s / 2.
  static constexpr std::int32_t kNaturalDigitSize = 53;

  CSProgress() = default;

  bool Draw(std::uint32_t now) override;
  // Builds the picture of the percentage while the indicator is shown and
  // the value differs from the last one; values are shown as "%02d".
  void SetPercent(std::int32_t percent);
  // Frees the percentage picture and forgets the last value (hiding).
  void ForgetPercent();

  CBgraImage percentImage;        // under lock; empty: no percentage
  std::int32_t lastPercent = -1;  // UI thread
};
