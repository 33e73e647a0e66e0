#pragma once
// CSHistoryPage: the "history" frame of an edit page's side column: a
// 30-pixel strip (undo, redo, apply the steps to other photos) and the list
// of the page's undo steps with the current one selected. Clicking a row
// makes that step current; the current tool stays only while the user walks
// through that painting tool's own strokes. UI thread; the list draws on
// the render thread.

#include <cstdint>

#include "editor/SHistoryList.h"
#include "image/BgraImage.h"
#include "image/ImageArray.h"
#include "ui/widgets/PanelSprite.h"
#include "ui/widgets/STabPage.h"

class CBFDoc;
class CDocHistory;
class CSEditPage;

class CSHistoryPage final : public CSTabPage {
public:
  static constexpr std::int32_t kListId = 1;
  static constexpr std::int32_t kStripId = 2;
  static constexpr std::int32_t kStripWidth = 30;
  static constexpr std::int32_t kIconWidth = 28;
  static constexpr std::int32_t kParameterIconSide = 16;
  enum Item : std::uint32_t { kItemUndo = 1, kItemRedo = 2, kItemScheme = 3 };
  // The scheme step type of a resize, which asks how to resize.
  static constexpr std::uint16_t kResizeStepType = 12;

  explicit CSHistoryPage(CSEditPage& page) : CSTabPage(u""), m_page(page) {}

  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  // The icons, the list and the strip; false when "history.png" is missing.
  [[nodiscard]] bool OnSpriteCreate() override;
  bool OnSpriteMessage(const SpriteMessage& message) override;

  // The list from the history: a row a step, the current one selected.
  void Refresh();
  // Whether a jump to the step at row keeps the current tool: a painting
  // tool (kind above 9999) whose id the step carries.
  bool KeepsCurrentTool(std::int32_t row) const;
  // The replayable steps as an automation scheme for other photos.
  void MakeAutomationScheme();

  CSHistoryList list;
  CPanelSprite strip;
  CImageArray icons;
  CBgraImage parameterIcon;
  CDocHistory* history = nullptr;  // the page's; not owned
  CBFDoc* document = nullptr;      // the page's; not owned

private:
  CSEditPage& m_page;
};
