#pragma once
// CMoveTool: drags with the left button what activation chose to move: the
// selection outline (mode 1), the current floating layer (2), or the
// selected pixels of the current floating layer (3), which activation lifts
// into a layer "Temp" of their own and deactivation merges back, recording
// "hisMove". Lifted pixels that were never moved go back as they were, with
// no step. No option panel, no overlay.
//
// UI thread. The selection plane is re-laid under the render window's
// window lock, so that no frame shows it half written.

#include <cstdint>

#include "editor/Tool.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"
#include "platform/Rect.h"

class CBFDoc;
class CBFLayer;

enum MoveMode : std::int32_t {
  kMoveNothing = 0,
  kMoveSelection = 1,
  kMoveLayer = 2,
  kMoveLifted = 3,
};

class CMoveTool : public CTool {
public:
  static constexpr std::u16string_view kLiftedName = u"Temp";

  std::int32_t OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnButtonUp(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnMouseMove(std::int32_t leftDown, CanvasPoint previous, CanvasPoint point) override;
  void OnCaptureLost() override;
  // "toolMoveNothing" when there is nothing to move.
  [[nodiscard]] std::int32_t Activate() override;
  // Merges lifted pixels back and records the move.
  void Deactivate() override;

  virtual void OnUnusedKey() {}

  std::int32_t ChooseMode();
  // Lifts the selected pixels of the current floating layer into "Temp".
  [[nodiscard]] bool LiftSelection();
  // The selection copy, moved by the selection offset, into the document's
  // selection (cut at the document's edges).
  void ShiftSelection();

  CBFDoc* document = nullptr;
  std::int32_t mode = kMoveNothing;
  CPlane8* selection = nullptr;
  CBFLayer* layer = nullptr;
  Point liftedPosition;
  Point selectionOffset;
  Point layerPositionAtLift;
  Point dragStart;
  CPlane8 selectionCopy;
  Point offsetAtPress;
  Point layerPositionAtPress;
  std::int32_t dragging = 0;

private:
  Point ToImage(CanvasPoint point) const;
  // The source layer's image as it was before the lift, and that layer.
  CBgraImage16 m_sourceBeforeLift;
  CBFLayer* m_source = nullptr;
};
