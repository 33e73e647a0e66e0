#pragma once
// CFreeCropTool: straightens a slanted object. The user draws a rectangle,
// drags its four corners independently onto the object's corners and
// applies: the document (one layer only) is resampled so that the
// quadrilateral becomes an upright rectangle, and "hisfreecrop" is
// recorded. The option panel's button shows a picture of how it works.
//
// The corners and flags the overlay reads are written under the canvas
// lock. UI thread, but DrawOverlay.

#include <array>
#include <cstdint>

#include "editor/Tool.h"
#include "image/ImageArray.h"
#include "platform/Rect.h"
#include "ui/widgets/PanelSprite.h"

class CBFDoc;

class CFreeCropTool : public CTool {
public:
  static constexpr std::int32_t kPanelWidth = 100;
  static constexpr std::uint32_t kDemoItem = 30001;
  static constexpr std::int32_t kOkSide = 24;
  // Corners keep this far from their neighbours.
  static constexpr std::int32_t kMinGap = 10;
  enum Part : std::int32_t { kNone = -1, kOkButton = 9, kNewRect = 10 };

  void DrawOverlay(CBgraImage& target, std::uint32_t frameTime) override;
  std::int32_t OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnButtonUp(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnDoubleClick(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnMouseMove(std::int32_t leftDown, CanvasPoint previous, CanvasPoint point) override;
  void OnCaptureLost() override;
  // One layer only ("freecropnolayer"); asks first when a selection or a
  // saved mask would be lost ("freecropwarning").
  [[nodiscard]] std::int32_t Activate() override;
  // With a quadrilateral asks "Cropwarning"; Yes applies.
  void Deactivate() override;
  [[nodiscard]] std::int32_t Init(std::int32_t id, CBgraImage* picture, std::u16string_view text) override;
  // The option panel's button shows "freecropdemo.jpg".
  void OnMessage(const SpriteMessage& message) override;

  virtual void OnUnusedKey() {}

  // The part under an image point; sets the cursor.
  std::int32_t HitTest(Point q);
  void DragTo(Point q);
  // A normalised rectangle of some width and height becomes the quadrilateral.
  void SetRect(const Rect& r);
  // Keeps each corner 10 pixels from its neighbours and inside [1, size - 1];
  // the corner that moved (0 to 3) is held back first.
  void ConstrainCorners(std::int32_t moved = -1);
  // Warps the document through the corners and records "hisfreecrop". 0,
  // with the document as it was and nothing recorded, on failure. The
  // progress indicator is hidden on every exit.
  [[nodiscard]] std::int32_t Apply();

  CPanelSprite panel;
  CImageArray pictures;  // "ok.png"
  std::int32_t part = kNone;
  std::int32_t dragging = 0;
  Rect okRect;                     // under the overlay lock; written by DrawOverlay
  std::int32_t quadExists = 0;     // under the overlay lock
  Rect rectangle{-1, -1, -1, -1};  // inclusive left, top, right, bottom
  Point dragStart;
  std::array<Point, 4> corners{};  // TL, TR, BL, BR; under the overlay lock

private:
  CBFDoc* Document() const;
  Point ToImage(CanvasPoint point) const;
  void Redraw();
  void Discard();
  void ApplyAndLeave(bool viaToolPage);
};
