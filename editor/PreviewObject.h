#pragma once
// CPreviewObject: what paints into an overlay and is previewed there; the
// editing tools are preview objects.

#include "ui/widgets/OverlayDraw.h"

class CPreviewObject : public ISOverlayDraw {
protected:
  ~CPreviewObject() = default;
};
