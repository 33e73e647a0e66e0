#pragma once
// CSProgress: the busy indicator of the render window (layer 161), shown by
// CRenderWindow::ShowProgress around long operations of the UI thread. It
// animates every frame. It is a placeholder: a turning bar in a square, no
// percentage picture, and "not built" in the debug log the first time it
// draws.

#include <cstdint>

#include "image/BgraImage.h"
#include "ui/DialogControl.h"

class CSProgress : public CDialogControl {
public:
  CSProgress() = default;

  bool Draw(std::uint32_t now) override;
  // Remembers the value while the indicator is shown.
  void SetPercent(std::int32_t percent);
  // Frees the percentage picture and forgets the last value (hiding).
  void ForgetPercent();

  CBgraImage percentImage;  // guarded by lock
  std::int32_t lastPercent = -1;
};
