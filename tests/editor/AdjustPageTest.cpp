// The adjust page: its buttons in a normal run and for an external host,
// and the menus they open for the page's document.

#include <gtest/gtest.h>

#include "editor/MenuCatalogue.h"
#include "tests/editor/EditorFixture.h"
#include "ui/widgets/SMenu.h"

namespace {

struct Button {
  std::uint32_t id;
  Rect rect;
};

std::vector<std::uint32_t> Ids(const CPanelSprite& panel) {
  std::vector<std::uint32_t> ids;
  for (const auto& item : panel.items) ids.push_back(item->id);
  return ids;
}

class AdjustPageTest : public EditorFixture {
protected:
  void Click(CSEditPage& page, std::uint32_t id) {
    SpriteMessage message;
    message.sender = &page.adjustPanel.panel;
    message.code = kPanelMsgItemClicked;
    message.wparam = id;
    static_cast<void>(page.adjustPanel.OnSpriteMessage(message));  // the page handles it
    Run();
    Frame();
  }
  void TearDown() override {
    if (window && window->TopPopup()) static_cast<CSMenu*>(window->TopPopup())->CloseMenu(false);
    EditorFixture::TearDown();
  }
};

TEST_F(AdjustPageTest, ButtonsOfANormalRunAndOfAnExternalHost) {
  CSEditPage* page = OpenPage("normal", OneLayer(40, 30));
  const CPanelSprite& panel = page->adjustPanel.panel;
  EXPECT_EQ(Ids(panel), (std::vector<std::uint32_t>{1001, 1, 2, 3, 4}));
  const Button normal[] = {{1001, {25, 0, 150, 40}},
                           {1, {25, 40, 150, 140}},
                           {2, {25, 140, 150, 240}},
                           {3, {25, 240, 150, 340}},
                           {4, {25, 340, 150, 440}}};
  for (const Button& b : normal) {
    const PanelItem* item = const_cast<CPanelSprite&>(panel).FindItem(b.id);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->rect, b.rect) << b.id;
  }
  EXPECT_EQ(const_cast<CPanelSprite&>(panel).FindItem(1001)->checked, 1);
  EXPECT_EQ(page->adjustPanel.panel.rect.Height(), page->adjustPanel.rect.Height() - 30);

  CSEditPage* host = OpenPage("host", OneLayer(40, 30), true);
  CPanelSprite& hostPanel = host->adjustPanel.panel;
  EXPECT_EQ(Ids(hostPanel), (std::vector<std::uint32_t>{2, 3, 4}));
  for (std::uint32_t id : {2u, 3u, 4u}) {
    const std::int32_t top = static_cast<std::int32_t>(id - 2) * 100;
    EXPECT_EQ(hostPanel.FindItem(id)->rect, (Rect{25, top, 150, top + 100})) << id;
  }
}

TEST_F(AdjustPageTest, ButtonsOpenTheirMenusForThePagesDocument) {
  CSEditPage* page = OpenPage("two", [](CBFDoc& document) {
    ASSERT_EQ(document.InsertLayer(Gradient(40, 30), u"a", -1), 1);
    ASSERT_EQ(document.InsertLayer(Gradient(20, 10), u"b", -1), 1);
  });
  const int dropsBefore = shell.drops;
  Click(*page, 1);
  EXPECT_EQ(shell.drops, dropsBefore + 1);
  CSMenu& menu = page->adjustPanel.mainMenu;
  ASSERT_EQ(window->TopPopup(), &menu);
  EXPECT_EQ(menu.notifyTarget, page);
  ASSERT_EQ(menu.ItemCount(), MenuEntries(kMenuTransform).size());
  for (const auto& item : menu.items) {
    if (item->separator) continue;
    const bool oneLayerOnly = item->commandId == 10004 || item->commandId == 10007 ||
                              item->commandId == 10008 || item->commandId == 10011;
    EXPECT_EQ(item->enabled, oneLayerOnly ? 0 : 1) << item->commandId;
  }
  menu.CloseMenu(false);
  Run();

  Click(*page, 1001);
  ASSERT_EQ(window->TopPopup(), &menu);
  EXPECT_EQ(menu.ItemCount(), MenuEntries(0).size());
  EXPECT_EQ(menu.items[0]->subMenu, &page->adjustPanel.subMenus[0]);
}

}  // namespace
