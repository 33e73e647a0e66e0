#pragma once
// CSLayerList: the layer panel's list, the top layer first, in 50-pixel
// rows: a thumbnail of the layer in the document's frame, an eye for
// visibility, the name and, for every layer but the base layer, the blend
// mode with a drop-down and an opacity bar. Presses on the eye, the blend
// mode and the bar act at once; elsewhere they select the row.
//
// Rows draw on the render thread: a row whose node no longer holds the
// document's layer at its place draws nothing until the next refresh, and
// the match and the thumbnail are made under the document's lock, so a
// layer the UI thread deleted is never read.

#include <cstdint>

#include "image/BgraImage.h"
#include "ui/widgets/FlatSimpleList.h"
#include "ui/widgets/SMenu.h"

class CBFDoc;
class CBFLayer;
class CDocHistory;
class IEditorShell;

class CSLayerList final : public CFlatSimpleList {
public:
  static constexpr std::int32_t kRowHeight = 50;
  static constexpr std::int32_t kThumbnailSide = 40;
  static constexpr std::int32_t kSelectionStrength = 160;
  static constexpr std::int32_t kMenuId = 100;
  static constexpr std::int32_t kMenuLayer = 201;
  static constexpr std::int32_t kFirstBlendCommand = 23000;
  enum HotPart : std::int32_t { kHotNone = -1, kHotEye = 0, kHotBlendMode = 1, kHotOpacity = 2 };

  // The tree, the eye and arrow pictures and the blend-mode menu.
  [[nodiscard]] bool OnSpriteCreate() override;
  void OnMouseMove(Point point, std::uint32_t flags) override;
  void OnLButtonDown(Point point, std::uint32_t flags) override;
  bool OnSetCursor(Point point) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  bool DrawRow(std::int32_t row) override;

  // The layer's thumbnail in the frame of the whole document: the longer
  // side 40 pixels (the shorter at least 1), over a grey checkerboard.
  // False when memory is short. The caller holds the layer's lock.
  [[nodiscard]] static bool BuildThumbnail(const CBFDoc& document, const CBFLayer& layer,
                                           CBgraImage& picture);
  void ToggleVisibility(std::int32_t row);
  // One press sets the opacity from where x lies on the row's bar.
  void SetOpacityAt(std::int32_t row, std::int32_t x);
  void ShowBlendModeMenu();
  void SetBlendMode(std::int32_t row, std::int32_t mode);
  // The layer a row shows, null for a row outside the document's layers.
  CBFLayer* LayerAt(std::int32_t row) const;

  CBgraImage eyePicture;
  CBgraImage arrowPicture;
  CSMenu blendModeMenu;
  std::int32_t hotPart = kHotNone;
  CBFDoc* document = nullptr;      // the page's; not owned
  CDocHistory* history = nullptr;  // the page's; not owned
  IEditorShell* shell = nullptr;   // for the tool drop before a selection

private:
  void AddPropertyStep(std::u16string_view key);
};
