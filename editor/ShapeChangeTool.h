#pragma once
// CShapeChangeTool: the warp brush. While the user drags, the pixels under
// a soft round brush are pushed along the drag: each pointer step adds the
// brush-weighted motion to a coarse grid of displacements over the image,
// and the image is warped again from its state at the start of the drag by
// a mesh transform on the algorithm thread. The option panel holds the
// brush button, an undo/redo toggle of the last drag and a reset to the last
// history step; deactivation after any finished warp records "hisShape".
//
// The warp writes only the tool's own copy of the image (the base layer's,
// or for a floating layer the layer spread over the document); a completion
// copies it into the layer under the layer's lock, so the canvas never
// composes from a picture the algorithm thread is writing. At most one warp
// runs and at most one more waits. Deactivation, the reset and the toggle
// settle a running warp first (deactivation and reset cancel it), so no
// image a job uses is freed or swapped under it.
//
// UI thread, except DrawOverlay (render thread, canvas lock held); what the
// overlay reads changes only under LockOverlay.

#include <cstdint>
#include <vector>

#include "algorithms/geometry/MeshTransform.h"
#include "editor/Tool.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ImageArray.h"
#include "ui/PaintBrush.h"
#include "ui/widgets/PanelSprite.h"

class CBFDoc;
class CBFLayer;

class CShapeChangeTool final : public CTool {
public:
  static constexpr std::int32_t kPanelWidth = 250;
  static constexpr std::int32_t kItemBrush = 30001;
  static constexpr std::int32_t kItemUndoRedo = 30002;
  static constexpr std::int32_t kItemReset = 30003;
  static constexpr std::int32_t kPreviewSize = 30;
  static constexpr std::int32_t kKeyLimit = 512;

  CShapeChangeTool() = default;
  ~CShapeChangeTool();

  void DrawOverlay(CBgraImage& target, std::uint32_t frameTime) override;
  std::int32_t OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnButtonUp(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnMouseMove(std::int32_t leftDown, CanvasPoint previous, CanvasPoint point) override;
  std::int32_t OnKey(std::uint32_t key, std::int32_t isVirtual, std::uint32_t flags) override;
  void OnCaptureLost() override;
  [[nodiscard]] std::int32_t Activate() override;
  void Deactivate() override;
  [[nodiscard]] std::int32_t Init(std::int32_t id, CBgraImage* picture, std::u16string_view text) override;
  void OnMessage(const SpriteMessage& message) override;

  // The brush size of a W x H document at activation, and the key steps.
  static std::int32_t StartSize(std::int32_t w, std::int32_t h);
  static std::int32_t GrownSize(std::int32_t size, std::int32_t w, std::int32_t h);
  static std::int32_t ShrunkSize(std::int32_t size);

  // State, for the option panel's owner and tests.
  const std::vector<MeshNode>& Grid() const { return m_grid; }
  std::int32_t CellSize() const { return m_cell; }
  std::int32_t Columns() const { return m_columns; }
  std::int32_t BrushSize() const { return m_brush.size; }
  bool WarpRunning() const { return m_running; }
  bool WarpPending() const { return m_pending; }
  bool Changed() const { return m_changed; }
  const CBgraImage16& WorkImage() const { return m_work; }

private:
  CBFDoc* Document() const;
  // The brush reset to the document's start size, stamp and preview rebuilt.
  [[nodiscard]] bool ResetBrush();
  // Stamp, preview (button picture) and cursor picture after a size change.
  [[nodiscard]] bool RebuildBrush();
  // The grid for the work image at the brush's cell size, zeroed.
  [[nodiscard]] bool RebuildGrid();
  // The cursor picture at zoom; the caller holds the overlay lock.
  void BuildCursorPicture(double zoom);
  // The work image from the current layer (the base layer's image, or a
  // floating layer spread over the document).
  [[nodiscard]] bool BindTarget();
  void Push(CanvasPoint from, CanvasPoint to);
  void RunWarp();
  // Starts the job; false when the engine is not running.
  [[nodiscard]] bool StartJob();
  // The warp on this thread, for when no engine runs or one must be done
  // now; the result is written back.
  void WarpNow();
  // Waits for a running job (cancelling it first when asked) and forgets
  // its completion; a pending warp is then run here unless dropped.
  void SettleWarp(bool cancel, bool runPending);
  // The work image into the current layer, under its lock.
  void WriteBack();
  void MarkModified();

  CPanelSprite m_panel;
  PaintBrush m_brush;
  CImageArray m_icons;
  std::vector<MeshNode> m_grid;
  std::int32_t m_halfSize = 0;
  std::int32_t m_columns = 0;
  std::int32_t m_rows = 0;
  std::int32_t m_cell = 4;
  CBgraImage16 m_work;    // the warped picture (the tool's own copy)
  CBgraImage16 m_backup;  // the picture at the start of the drag
  CBFLayer* m_layer = nullptr;
  bool m_floating = false;
  std::int32_t m_dragging = 0;
  CanvasPoint m_last{-1, -1};  // under the overlay lock
  CBgraImage m_cursor;         // under the overlay lock
  double m_cursorZoom = 1.0;   // under the overlay lock
  CMeshTransform m_mesh;
  bool m_pending = false;
  bool m_changed = false;
  bool m_running = false;
  // The command of the running job: its completion is command + 1000, so
  // the completion of a job settled earlier is told apart.
  std::int32_t m_command = 0;
};
