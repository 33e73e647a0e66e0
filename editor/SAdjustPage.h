#pragma once
// CSAdjustPage: the edit page's left column, a column of large buttons over
// the "film.png" background: the main menu ("menu") and the four kinds of
// adjustment (transform, exposure, colour, enhancement), each opening its
// menu of the command catalogue with the edit page as the menu's owner. A
// page of an external host shows only the three adjustments, from the top.
//
// UI thread, but Draw (render thread).

#include <array>
#include <cstdint>

#include "image/BgraImage.h"
#include "image/ImageArray.h"
#include "ui/widgets/PanelSprite.h"
#include "ui/widgets/SMenu.h"
#include "ui/widgets/STabPage.h"

class CSEditPage;

class CSAdjustPage final : public CSTabPage {
public:
  static constexpr std::int32_t kPanelId = 1;
  static constexpr std::int32_t kMenuItemId = 1001;
  static constexpr std::int32_t kMainMenuId = 100;
  static constexpr std::int32_t kFirstSubMenuId = 101;
  static constexpr std::int32_t kMainMenuLayer = 201;
  static constexpr std::int32_t kSubMenuLayer = 202;
  static constexpr std::size_t kSubMenus = 16;
  static constexpr std::int32_t kBottomBand = 30;  // left free below the panel
  static constexpr std::int32_t kCellWidth = 80;   // of "adjust.png"
  static constexpr std::int32_t kFrameBorderX = 80;
  static constexpr std::int32_t kFrameBorderY = 68;
  // The top of the adjustment buttons below the menu and transform buttons.
  static constexpr std::int32_t kAdjustTop = 140;

  explicit CSAdjustPage(CSEditPage& editPage);
  ~CSAdjustPage() override;

  // The panel gets the page less the bottom band.
  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  // The background, the panel with its buttons and the menus; false when
  // any fails.
  [[nodiscard]] bool OnSpriteCreate() override;
  bool Draw(std::uint32_t now) override;
  void Destroy(int final) override;
  // A clicked button (96) drops the current tool and opens its menu.
  bool OnSpriteMessage(const SpriteMessage& message) override;

  // Builds and opens the main menu (kMenuItemId) or a menu type at the
  // button's right edge and top.
  void OpenMenu(std::int32_t itemId);

  CSEditPage& page;
  CPanelSprite panel;
  CBgraImage background;
  CImageArray cells;
  CBgraImage menuIcon;
  CSMenu mainMenu;
  std::array<CSMenu, kSubMenus> subMenus;
};
