#pragma once
// CSMaskPage: the "masks" frame of an edit page's side column: a 30-pixel
// strip (selection from the mask, mask from the selection, delete, more)
// and the list of the document's saved masks. Every command that replaces
// or drops a selection keeps it here under the name "Lastarea"
// (StoreSelectionAsMask), so the last selection can always be loaded back.
// UI thread; the list draws on the render thread.

#include <cstdint>
#include <string_view>

#include "editor/SMaskList.h"
#include "image/ImageArray.h"
#include "ui/widgets/PanelSprite.h"
#include "ui/widgets/STabPage.h"

class CBFDoc;

class CSMaskPage final : public CSTabPage {
public:
  static constexpr std::int32_t kListId = 1;
  static constexpr std::int32_t kStripId = 2;
  static constexpr std::int32_t kStripWidth = 30;
  static constexpr std::int32_t kIconWidth = 28;
  static constexpr std::int32_t kNameLength = 30;
  enum Item : std::uint32_t { kItemDelete = 2, kItemMore = 6, kItemLoad = 7, kItemStore = 8 };

  CSMaskPage() : CSTabPage(u"") {}

  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  // The list, the strip and its icons; false when "layertool.png" is missing.
  [[nodiscard]] bool OnSpriteCreate() override;
  bool OnSpriteMessage(const SpriteMessage& message) override;

  // Keeps the selection as the mask name (a mask of that name is replaced in
  // its place) and refreshes the list. False when there is no selection with
  // a selected pixel: then a mask of that name is removed.
  [[nodiscard]] bool StoreSelectionAsMask(std::u16string_view name);
  // Asks for a name (proposing the next number) and stores the selection.
  [[nodiscard]] bool StoreSelectionAsNamedMask();
  // The mask at index becomes the selection; the selection it replaces is
  // kept as "Lastarea". A mask made for another document size is reported
  // ("failedmaskbycavaschanged") and deleted.
  [[nodiscard]] bool LoadMaskAsSelection(std::int32_t index);
  void DeleteMask(std::int32_t index);
  // The list from the document's masks; false without a document.
  [[nodiscard]] bool RefreshMasks();
  void UpdateStrip();
  // The name StoreSelectionAsNamedMask proposes: one more than the largest
  // number a mask name starts with, at least two digits.
  std::u16string ProposedName() const;

  CSMaskList list;
  CPanelSprite strip;
  CImageArray icons;
  CBFDoc* document = nullptr;  // the page's; not owned
};
