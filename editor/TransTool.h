#pragma once
// CTransTool: resizes, turns and distorts the current floating layer by the
// four corners of a crop rectangle that starts on the layer's box. Corners
// may leave the document, a press outside the rectangle always turns it,
// and there is no veil and no thirds grid. Every pointer step re-renders the
// layer from its image at activation on a coarse grid; applying renders it
// once more at full quality behind the progress dialog and records
// "histrans". The option panel chooses keep ratio, keep shape (any
// rectangle) or free corners.
//
// A layer that only ever showed a preview of the starting rectangle (a
// click without a move) gets its starting image back when the tool leaves,
// since no step records it.
//
// UI thread, but DrawOverlay (the crop tool's); the layer's image is
// swapped under the layer's lock.

#include <cstdint>

#include "editor/CropTool.h"
#include "image/BgraImage16.h"
#include "platform/Rect.h"

class CBFDoc;
class CBFLayer;

// The option panel's items: how the shape may change.
enum TransformMode : std::uint32_t {
  kTransKeepRatio = 30011,
  kTransKeepShape = 30012,
  kTransFreeCorners = 30013,
};

class CTransTool final : public CCropTool {
public:
  // Cells of "freetrans.png"; cell 2 is the crop tool's OK button.
  static constexpr std::size_t kKeepRatioCell = 0;
  static constexpr std::size_t kKeepShapeCell = 1;
  static constexpr std::size_t kFreeCornersCell = 3;
  static constexpr std::int32_t kCellWidth = 24;

  CTransTool();

  // "freetrans.png" and the option panel with the three mode buttons.
  [[nodiscard]] std::int32_t Init(std::int32_t id, CBgraImage* picture, std::u16string_view text) override;
  // Only a floating layer ("toolCannotTrans" otherwise): copies its image
  // and place, fits the rectangle to it, keep ratio.
  [[nodiscard]] std::int32_t Activate() override;
  // After a change asks "confirmtrans": Yes applies, No restores the layer.
  void Deactivate() override;
  // The mode buttons.
  void OnMessage(const SpriteMessage& message) override;
  // Renders at full quality and records "histrans"; 0 (the layer as it was
  // at activation, nothing recorded) when the run is cancelled or fails.
  [[nodiscard]] std::int32_t Apply() override;
  // The preview of the current corners.
  void OnShapeChanged() override;

  // The rectangle on the layer's box, which becomes the start rectangle.
  void FitToLayer();
  // The preview (final false) or the final run of the current corners into
  // the layer. 1 when the layer shows it.
  [[nodiscard]] std::int32_t RenderTransform(bool final);
  // The mode the flags make (ratio locked, neither, or free corners).
  TransformMode Mode() const;

  CBFDoc* document = nullptr;
  CBFLayer* layer = nullptr;
  CBgraImage16 startImage;
  Point startPosition;
  // (0, 0) both when nothing is pending.
  Point startTopLeft;
  Point startBottomRight;
  // A preview changed the layer since activation or the last apply.
  std::int32_t previewed = 0;

private:
  // The layer is still one of the document's.
  bool LayerAlive() const;
  // The corners are still the start rectangle's.
  bool AtStart() const;
  // The layer's place and a copy of the starting image back (the starting
  // image itself when no copy can be made).
  void RestoreLayer();
  void ShowMode();
  void Release();
};
