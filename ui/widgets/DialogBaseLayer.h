#pragma once
// CDialogBaseLayer: the dimming layer under dialogs that ask for it (layer
// 159): a grey, half-luminance snapshot of the window taken when such a
// dialog opens. It never redraws the snapshot.

#include "image/BgraImage.h"
#include "ui/MessageSprite.h"

class CDialogBaseLayer : public CMessageSprite {
public:
  bool UpdateSurface(std::uint32_t now) override;
  // The surface becomes the back buffer with every pixel an opaque grey of
  // (6 G + 3 R + B) / 20; dirty. The caller holds the render window's lock.
  void CaptureBackground(const CBgraImage& backBuffer);
};
