#pragma once
// CSToolBar: a row (or column) of icon buttons cut from one icon strip,
// "picviewtool.png" in 28-pixel cells. The owner appends its buttons
// (AddButton) before Create, which makes one CSButton per item; a click
// reaches the tool bar's parent as sprite message 1 with wparam = tool bar
// id x 65536 + button id, where a button's id is its icon index + 1. The
// tool bar draws nothing itself: it is its buttons.
//
// Threads: the UI thread builds and lays it out; the render thread only
// composes it.

#include <cstdint>
#include <string_view>
#include <vector>

#include "image/ImageArray.h"
#include "ui/MessageSprite.h"
#include "ui/widgets/ToolBarItem.h"

class CSToolBar : public CMessageSprite {
public:
  static constexpr std::size_t kMaxItems = 32;
  static constexpr std::int32_t kToolBarId = 1;
  static constexpr std::int32_t kToolBarLayer = 2;
  static constexpr std::u16string_view kIconStrip = u"picviewtool.png";
  static constexpr std::int32_t kIconCell = 28;
  static constexpr std::int32_t kButtonLength = 30;  // for the preferred length
  static constexpr std::int32_t kGap = 10;

  // Lays the buttons out along the longer side: wider than tall, buttons of
  // h x h side by side from the left; otherwise w x w stacked from the top;
  // a gap flag puts kGap pixels before its button.
  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  // Forgets the items and frees the icon strip; the buttons go with the
  // children.
  void Destroy(int final) override;
  // A button's click (code 1) goes on to the parent.
  bool OnSpriteMessage(const SpriteMessage& message) override;

  // Appends an item (nothing beyond kMaxItems); the tip is cut to its field.
  void AddButton(std::int32_t iconIndex, std::u16string_view tipText, bool gap);
  // Creates the tool bar as a child of parentSprite (its window, id
  // kToolBarId, layer kToolBarLayer), loads the icon strip from the skin
  // folder or else the basic folder and makes the buttons. False when the
  // strip is in neither folder or a part cannot be made. The caller appends
  // the tool bar to the parent.
  [[nodiscard]] bool Create(CSprite* parentSprite, const Rect& barRect);
  // kButtonLength per button and kGap per gap.
  std::int32_t GetPreferredLength() const;

  std::vector<ToolBarItem> items;
  CImageArray icons;
  std::int32_t usedLength = 0;  // of the last layout
};
