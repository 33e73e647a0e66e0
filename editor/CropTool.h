#pragma once
// CCropTool: crops the whole document to a rectangle that the user draws,
// then sizes by eight handles, moves, and (one-layer documents) turns by
// dragging outside it. The rectangle may keep a locked aspect ratio (the
// lock dialog of the option panel) or, while Shift is held, the ratio of the
// moment. The overlay veils the outside, draws a rule-of-thirds grid,
// golden-section marks on large rectangles and an OK button. Applying cuts
// every layer, the selection and the masks to the rectangle, or warps the
// document through the four corners of a turned one, and records "hisCrop".
//
// The rectangle lives in image coordinates (CropShape). Every change is
// worked out on a copy of the shape and written back, under the canvas
// lock, only when accepted; the overlay drawing (render thread, canvas lock
// held) therefore never sees a half-written shape. The free transform tool
// derives from this class and uses its free-corner mode.
//
// UI thread, but DrawOverlay.

#include <array>
#include <cstdint>

#include "editor/Tool.h"
#include "image/ImageArray.h"
#include "platform/Rect.h"
#include "platform/WindowHost.h"
#include "ui/widgets/PanelSprite.h"

class CBFDoc;

// What the pointer is over or drags.
enum CropPart : std::int32_t {
  kCropNone = -1,
  kCropTopLeft = 0,
  kCropTopRight = 1,
  kCropBottomLeft = 2,
  kCropBottomRight = 3,
  kCropTopEdge = 4,
  kCropRightEdge = 5,
  kCropBottomEdge = 6,
  kCropLeftEdge = 7,
  kCropInside = 8,
  kCropOkButton = 9,
  kCropOutside = 10,
  kCropNewRect = 100,
};

struct CropPointF {
  double x = 0;
  double y = 0;
};

// The rectangle: its corners and edge handles after the turn, the turn and
// its centre, the rectangle before the turn and (free-corner mode) the
// corners turned back.
struct CropShape {
  // TL, TR, BL, BR, then the midpoints of the top, right, bottom, left edges.
  std::array<Point, 8> handles{};
  std::array<CropPointF, 4> unrotated{};
  Point centre;
  double angle = 0;
  double left = 0, top = 0, right = 0, bottom = 0;

  Point Corner(std::int32_t index) const { return handles[static_cast<std::size_t>(index)]; }
  // Even-odd rule over TL-TR, TR-BR, BR-BL, BL-TL.
  bool ContainsPoint(Point p) const;
  // The edge handles as integer means of their corners.
  void UpdateEdgeHandles();
};

class CCropTool : public CTool {
public:
  static constexpr std::int32_t kPanelWidth = 100;
  static constexpr std::uint32_t kLockItem = 30001;
  static constexpr std::size_t kLockedCell = 0;
  static constexpr std::size_t kUnlockedCell = 1;
  static constexpr std::size_t kOkCell = 2;
  static constexpr std::int32_t kOkSide = 24;
  // UpdateQuad's "re-derive from the corners" value.
  static constexpr double kQuadMarker = 10000;
  static constexpr std::uint32_t kOutlineColor = 0xFFE6E6E6u;

  CCropTool() = default;

  void DrawOverlay(CBgraImage& target, std::uint32_t frameTime) override;
  std::int32_t OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnButtonUp(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnDoubleClick(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnMouseMove(std::int32_t leftDown, CanvasPoint previous, CanvasPoint point) override;
  void OnCaptureLost() override;
  [[nodiscard]] std::int32_t Activate() override;
  // With a rectangle asks "Cropwarning"; Yes applies. The rectangle goes.
  void Deactivate() override;
  // "lock.png" (16-pixel cells), then "ok.png" (24-pixel cells), and the
  // option panel with the lock button.
  [[nodiscard]] std::int32_t Init(std::int32_t id, CBgraImage* picture, std::u16string_view text) override;
  // The lock button runs the lock dialog.
  void OnMessage(const SpriteMessage& message) override;

  // Added operations.
  virtual void OnUnusedKey() {}
  // Crops (or warps, when turned) the document to the rectangle and records
  // "hisCrop". 0 when anything fails: the document is then as it was and
  // nothing is recorded. The progress indicator is hidden on every exit.
  [[nodiscard]] virtual std::int32_t Apply();
  // After every change of the rectangle by the pointer.
  virtual void OnShapeChanged() {}

  // A: the fixed point, B: the moving one. keep 1 uses the stored
  // rectangle with the given angle. 1 when accepted (and stored).
  std::int32_t SetRect(Point a, Point b, std::int32_t keep = 0, double angle = 0,
                       std::int32_t preferLarger = 0);
  // What SetRect would store, from a given shape; false when refused.
  bool ComputeRect(const CropShape& from, Point a, Point b, std::int32_t keep, double angle,
                   std::int32_t preferLarger, CropShape& out) const;
  // The part under an image point; sets the cursor.
  std::int32_t HitTest(Point q);
  // Drags the current part to an image point; 1 when accepted.
  std::int32_t DragTo(Point x);
  // What DragTo would store; false when refused.
  bool TryDrag(const CropShape& from, Point x, CropShape& out) const;
  // Free-corner mode: a or b at kQuadMarker re-derives the unrotated corners
  // from the corners (refused unless the quadrilateral is clearly convex);
  // otherwise the unrotated corners turned by b. 1 when accepted.
  std::int32_t UpdateQuad(double a, double b);
  bool TryQuad(const CropShape& from, double a, double b, CropShape& out) const;
  // The accepted point nearest the pointer q (by |dx| + |dy|, the first in
  // row order on ties) in the box spanned by t and q, searched in rings
  // outward from q; false when none is accepted.
  bool SearchPointer(Point t, Point q, Point& best) const;
  // Stores a shape under the canvas lock and asks for a redraw.
  void StoreShape(const CropShape& next);
  void Redraw();

  // The cursor of a part (the program's own for turning and a new rectangle).
  static CursorShape CursorFor(std::int32_t part, Point handle, Point centre);

  CPanelSprite panel;
  CImageArray pictures;
  std::int32_t clampToImage = 1;
  std::int32_t rotateAnywhere = 0;
  std::int32_t veilOutside = 1;
  std::int32_t thirdsGrid = 1;
  std::int32_t rectExists = 0;  // under the overlay lock
  CropShape shape;              // under the overlay lock
  Point dragStart;
  std::array<Point, 6> savedCorners{};  // TL, BR, then TL, TR, BL, BR
  double startAngle = 0;
  double ratio = 1;
  std::uint32_t ratioWidth = 0;
  std::uint32_t ratioHeight = 0;
  std::int32_t ratioLocked = 0;
  std::int32_t shiftHeld = 0;
  std::int32_t freeCorner = 0;
  std::int32_t part = kCropNone;
  std::int32_t dragging = 0;    // under the overlay lock
  Rect okRect{-1, -1, -1, -1};  // under the overlay lock; written by DrawOverlay
  std::int32_t lastPart = kCropNone;
  Point lastPoint;

protected:
  CBFDoc* Document() const;
  Point ToImage(CanvasPoint point) const;
  bool ShiftDown() const;
  void RunLockDialog();
  // Drops the rectangle (under the overlay lock).
  void DropRect();
  // Applies, drops the rectangle and leaves the canvas without a tool.
  void ApplyAndLeave(bool viaToolPage);
};
