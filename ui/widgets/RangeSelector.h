#pragma once
// CRangeSelector: a hue gradient bar with four handles that mark a soft band
// on it (fade-in start, full start, full end, fade-out end) and a marker that
// turns the hue scale, so that a band can lie anywhere on the hue circle,
// across red too. Bar position v shows hue (v - marker) mod 65536; a hue h
// lies at bar position (h + marker) mod 65536.
//
// Layout for a sprite of width W and height H: the outline (7, 7) to
// (W - 7, H - 7), the bar (8, 8) to (W - 8, H - 8); the handles hang below
// the bar's bottom (icon cells 12 for the outer, 13 for the inner ones), the
// marker sits on the top edge (cell 15). The user drags a handle (held
// between its neighbours), the marker, or the whole band by its inside.
// When a drag ends the parent (an input sprite) gets sprite message 102
// with wparam = the selector's id.
//
// The accepts-input flag is the enabled flag: a disabled selector draws at
// half strength with a faint gradient and ignores the mouse. Owners set the
// handles, the marker and the flag directly and mark the sprite dirty; the
// render thread reads them while it draws, so owners change them under the
// sprite's lock. A bar of no width (a sprite 16 pixels wide or less) draws
// the outline only and takes no drags.

#include <array>
#include <cstdint>

#include "platform/Rect.h"
#include "ui/MessageSprite.h"

inline constexpr std::int32_t kRangeSelectorMsgDragged = 102;

class CRangeSelector : public CMessageSprite {
public:
  enum Part : std::int32_t { kNone = -1, kMarker = 4, kWholeRange = 5 };
  static constexpr std::int32_t kHueMax = 65535;
  static constexpr std::array<std::int32_t, 4> kDefaultHandles = {35000, 39000, 43000, 46000};

  CRangeSelector();

  // Resets the handles; true.
  [[nodiscard]] bool OnSpriteCreate() override;
  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  bool Draw(std::uint32_t now) override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  void OnLButtonUp(Point point, std::uint32_t flags) override;
  void OnCaptureReleased() override;
  bool OnSetCursor(Point point) override;

  // The handles to 35000, 39000, 43000 and 46000.
  virtual void ResetRange();
  // The gradient's colour at a bar value: hue (value - marker) mod 65536 at
  // full saturation and half lightness, as 8-bit B, G, R, A (alpha from
  // 65535 enabled, 20000 disabled).
  virtual std::uint32_t HueColorAt(std::int32_t value) const;

  bool IsEnabled() const { return acceptsInput != 0; }
  // The bar value of a sprite x: min + (max - min) (x - bar left) / bar width,
  // not clamped; the bar's left end for a bar of no width.
  std::int32_t BarValueAt(std::int32_t x) const;
  Rect BarRect() const;
  // The hit rectangles (the render thread lays them out as it draws).
  Rect HandleRect(std::size_t index) const;
  Rect MarkerRect() const;
  // The hovered part at a point (see the drag parts above), as a move
  // without a drag finds it.
  std::int32_t PartAt(Point point) const;

  // Fields; owners write the first four under the lock.
  std::array<std::int32_t, 4> handles = kDefaultHandles;  // bar values, ascending
  std::int32_t marker = 0;                                // 0..65535
  std::int32_t barMinimum = 0;
  std::int32_t barMaximum = kHueMax;
  std::int32_t dragged = kNone;
  std::int32_t hovered = kNone;

private:
  // The hit rectangles from the values and the size.
  void LayOut();
  void DragTo(std::int32_t x);
  void SetCursorFor(std::int32_t part) const;

  Rect barRect;
  std::array<Rect, 4> handleRects{};
  Rect markerRect;
  Point dragAnchor;
  std::int32_t dragStartLeft = 0;  // handle 0's rectangle left when the drag began
};
