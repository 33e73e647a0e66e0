#pragma once
// CMoveOverSprite: the base of the controls that light up while the pointer
// is over them (lists, edit fields, sliders, scroll bars). It follows the
// pointer through the render window's capture list: it joins the list when
// the pointer enters, so that it also hears the move that leaves, and each
// frame eases its alpha a third of the way toward the hover or the idle
// value. Only subclasses are made; they call both operations first.
//
// The easing works in integers: rising it settles two below its target (253
// for 255), falling it reaches its target exactly.

#include <atomic>
#include <cstdint>

#include "ui/DialogControl.h"

class CMoveOverSprite : public CDialogControl {
public:
  // Eases the alpha one step (the first frame sets it to idleAlpha); true,
  // with the sprite invalidated and dirty, when it changed.
  bool Draw(std::uint32_t now) override;
  // Hands the move to the child under the point, then joins the capture
  // list when the point enters the sprite and leaves it when it leaves.
  void OnMouseMove(Point point, std::uint32_t flags) override;

  std::atomic<std::int32_t> idleAlpha{192};
  std::atomic<std::int32_t> hoverAlpha{255};
  std::atomic<std::int32_t> pointerInside{0};  // UI thread writes, render thread reads

protected:
  CMoveOverSprite() { alpha = 0; }
};
