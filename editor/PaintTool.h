#pragma once
// CPaintTool: the common base of the brush tools (clone stamp, free paint,
// red-eye, repair). It owns the brush (PaintBrush) with its option panel
// (item 30001 opens the brush dialog) and its saved settings, paints
// strokes into a document-sized coverage plane, draws the brush cursor in
// the canvas overlay and folds the strokes of a large brush into one step.
//
// A stroke: BeginStroke takes a backup of the target layer's image, every
// segment raises the plane's coverage along the pointer's path
// (StrokeSegment, keeping the maximum) and the concrete tool blends the
// plane into the layer from the backup (ApplyStroke); the stroke's end
// records it (CommitStroke). It ends at the button's release, at a move that
// arrives with the button up, or at the loss of the mouse capture.
//
// The brush limit of a W x H document is max(min(W, H) / 8, max(W, H) / 20).
// Settings: PaintSettings "PaintSize_<name>", "PaintOpacity_<name>",
// "PaintSoft_<name>" (defaults 8, 100, 50), read at each activation and
// written when a successful activation ends.
//
// Threads: DrawOverlay runs on the render thread with the canvas lock held;
// the UI thread changes the stamp, the cursor picture and the pointer fields
// the overlay reads only under that lock (LockOverlay). Pixels of the layer
// change under the layer's lock.

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "document/BFDoc.h"
#include "document/BFLayer.h"
#include "editor/Tool.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"
#include "platform/Rect.h"
#include "ui/PaintBrush.h"
#include "ui/widgets/PanelSprite.h"

class CSEditPage;

class CPaintTool : public CTool {
public:
  static constexpr std::int32_t kPanelWidth = 250;
  static constexpr std::uint32_t kBrushItem = 30001;
  static constexpr std::int32_t kPreviewSide = 35;
  // Stamps this large or larger are stamped step by step: the radial
  // profile does not hold them, and their strokes fold into one step.
  static constexpr std::int32_t kLargeStamp = 1024;
  static constexpr std::int32_t kProfileLength = 1024;
  static constexpr std::uint32_t kDefaultSize = 8;
  static constexpr std::uint32_t kDefaultOpacity = 100;
  static constexpr std::uint32_t kDefaultSoftness = 50;
  static constexpr std::u16string_view kSettingsSection = u"PaintSettings";
  static constexpr CanvasPoint kNoPointer{-1, -1};

  explicit CPaintTool(std::u16string_view registry) : registryName(registry) {}

  static std::int32_t BrushLimit(std::uint32_t width, std::uint32_t height);

  // CTool.
  void DrawOverlay(CBgraImage& target, std::uint32_t frameTime) override;
  std::int32_t OnButtonDown(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnButtonUp(std::int32_t button, CanvasPoint point, std::uint32_t flags) override;
  std::int32_t OnMouseMove(std::int32_t leftDown, CanvasPoint previous, CanvasPoint point) override;
  std::int32_t OnKey(std::uint32_t key, std::int32_t isVirtual, std::uint32_t flags) override;
  void OnCaptureLost() override;
  [[nodiscard]] std::int32_t Activate() override;
  void Deactivate() override;
  // The default part, then the 250 x 40 option panel with item 30001.
  [[nodiscard]] std::int32_t Init(std::int32_t id, CBgraImage* picture, std::u16string_view text) override;
  void OnMessage(const SpriteMessage& message) override;

  // Blends the stroke plane into the target inside ApplyArea.
  virtual void ApplyStroke() = 0;
  // The end of one stroke (the stroke flag is already clear).
  virtual void CommitStroke() = 0;
  // One whole-layer step of the layer at activation under the tool's key.
  [[nodiscard]] virtual bool RecordToolStep() = 0;

  // Grows (+1) to min(L, 512, (size x 4 + 2) / 3) or shrinks (-1) to
  // max(1, size x 2 / 3); stamp, preview and cursor follow.
  void ResizeBrush(std::int32_t direction);
  // The brush dialog under the option panel; on OK preview and cursor follow.
  void EditBrush();
  // The stamp as white with its values as alpha, scaled to the canvas zoom.
  // locked: the caller holds the canvas lock.
  void BuildCursorImage(bool locked);
  void BeginStroke();
  // Raises the stroke plane along the segment a-b (image points), then
  // ApplyStroke.
  void StrokeSegment(Point a, Point b);

  // The document of the host view, or null.
  CBFDoc* Document() const;
  // The layer whose image is the target, or null (it was removed).
  CBFLayer* TargetLayer() const;
  // The dab rectangle grown by half the stamp, cut to the document.
  Rect ApplyArea() const;
  // The stroke rectangle in the target layer's coordinates, cut to it.
  Rect LayerStrokeRect(const CBFLayer& layer) const;
  // Records a type-13 step of the rectangle (layer coordinates) on the host
  // page's history and counts it as this activation's own.
  [[nodiscard]] bool RecordStrokeStep(const CBFLayer& layer, const Rect& rectangle, std::u16string_view key);
  // A whole-layer step of the layer at activation.
  [[nodiscard]] bool RecordLayerStep(std::u16string_view key);
  // The localised text of a key.
  static std::u16string_view Text(std::u16string_view key);
  void Redraw();

  CPanelSprite panel;
  PaintBrush brush;
  std::u16string registryName;
  CBgraImage16* target = nullptr;
  CBgraImage cursorImage;                // under the canvas lock
  double cursorZoom = -1.0;              // under the canvas lock
  CanvasPoint lastPointer = kNoPointer;  // under the canvas lock
  std::int32_t strokeActive = 0;         // under the canvas lock
  CBgraImage16 backup;
  CPlane8 strokePlane;
  Rect dabRect;
  Rect strokeRect;
  std::int32_t stepAtActivation = 0;
  std::int32_t layerAtActivation = 0;
  std::int32_t largeBrush = 0;
  // 1 from a successful activation to its deactivation.
  std::int32_t activated = 0;

protected:
  ~CPaintTool() = default;

  // Calls blend(u, pixel, backupPixel, x, y) for every pixel of the target
  // layer inside ApplyArea whose stroke coverage u is above floor (x, y
  // layer coordinates), under the layer's lock; then marks the document
  // modified.
  template <typename Blend>
  void BlendCovered(std::uint8_t floor, Blend blend);

private:
  // What identifies a step this activation recorded.
  struct OwnStep {
    std::uint64_t offset;
    std::uint64_t size;
    std::u16string name;
  };
  // Every step since the activation is one of this activation's strokes.
  bool OnlyOwnStepsSinceActivation() const;
  void NoteOwnStep();
  void ReadSettings();
  void WriteSettings() const;
  [[nodiscard]] bool RebuildBrush();

  std::vector<OwnStep> m_ownSteps;
};

template <typename Blend>
void CPaintTool::BlendCovered(std::uint8_t floor, Blend blend) {
  CBFLayer* layer = TargetLayer();
  CBFDoc* document = Document();
  if (!layer || !document) return;
  const Rect area = ApplyArea();
  {
    std::lock_guard guard(layer->m_lock);
    CBgraImage16& image = layer->m_image;
    if (image.IsEmpty() || backup.width != image.width || backup.height != image.height) return;
    const auto w = static_cast<std::int64_t>(image.width), h = static_cast<std::int64_t>(image.height);
    for (std::int32_t y = area.top; y < area.bottom; ++y) {
      const std::int64_t ly = std::int64_t{y} - layer->m_y;
      if (ly < 0 || ly >= h) continue;
      const std::uint8_t* coverage = strokePlane.Row(static_cast<std::uint32_t>(y));
      for (std::int32_t x = area.left; x < area.right; ++x) {
        const std::int64_t lx = std::int64_t{x} - layer->m_x;
        if (lx < 0 || lx >= w || coverage[x] <= floor) continue;
        const auto px = static_cast<std::uint32_t>(lx), py = static_cast<std::uint32_t>(ly);
        blend(std::int32_t{coverage[x]}, image.At(px, py), backup.At(px, py), static_cast<std::int32_t>(lx),
              static_cast<std::int32_t>(ly));
      }
    }
  }
  document->m_modified = 1;
}
