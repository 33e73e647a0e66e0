#pragma once
// CSLayerPage: the "layers" frame of an edit page's side column: a 30-pixel
// strip (new, delete, merge down, rename, save, up, down) and the list of
// the document's layers. Selecting a row makes its layer current; every
// change is recorded in the page's history and marks the document modified.
// UI thread; the list draws on the render thread.

#include <cstdint>

#include "editor/SLayerList.h"
#include "image/ImageArray.h"
#include "ui/widgets/PanelSprite.h"
#include "ui/widgets/SMenu.h"
#include "ui/widgets/STabPage.h"

class CBFDoc;
class CDocHistory;
class CSEditPage;

class CSLayerPage final : public CSTabPage {
public:
  static constexpr std::int32_t kListId = 1;
  static constexpr std::int32_t kStripId = 2;
  static constexpr std::int32_t kMenuId = 100;
  static constexpr std::int32_t kStripWidth = 30;
  static constexpr std::int32_t kIconWidth = 28;
  static constexpr std::int32_t kArrowWidth = 12;
  static constexpr std::int32_t kNameLength = 28;
  enum Item : std::uint32_t {
    kItemNew = 1,
    kItemDelete = 2,
    kItemMerge = 3,
    kItemRename = 4,
    kItemSave = 5,
    kItemUp = 11,
    kItemDown = 12,
  };

  explicit CSLayerPage(CSEditPage& page) : CSTabPage(u""), m_page(page) {}

  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  // The list, the icons, the strip and the new-layer menu; false when a
  // picture is missing.
  [[nodiscard]] bool OnSpriteCreate() override;
  bool OnSpriteMessage(const SpriteMessage& message) override;

  // The list from the document, top layer first, the current one selected.
  [[nodiscard]] bool RefreshLayers();
  void UpdateStrip();
  // A picture file chosen by the user as a layer on top ("newlayer").
  [[nodiscard]] bool LoadLayerFromFile();
  // A transparent layer of the document's size, named by the user.
  [[nodiscard]] bool NewBlankLayer();
  // The strip's actions; each does nothing when its condition fails.
  void DeleteCurrentLayer();
  void MergeDown();
  void RenameCurrentLayer();
  void MoveCurrentLayer(bool up);
  void ShowNewLayerMenu();

  CPanelSprite strip;
  CImageArray icons;
  CSMenu newLayerMenu;
  CSLayerList list;
  CBFDoc* document = nullptr;      // the page's; not owned
  CDocHistory* history = nullptr;  // the page's; not owned

private:
  void AddStep(std::uint8_t type, std::u16string_view key);
  CSEditPage& m_page;
};
