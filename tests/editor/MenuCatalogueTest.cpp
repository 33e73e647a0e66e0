// The command catalogue: the entries of each menu type, their enabling from
// the document, the history and the clipboard, the program menu's language
// and skin checks, and that every key has a text and every icon a cell.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "editor/MenuCatalogue.h"
#include "editor/MenuCatalogueState.h"
#include "tests/editor/EditorFixture.h"
#include "ui/Clipboard.h"
#include "ui/widgets/SMenu.h"

namespace {

class CFakeMenuState final : public IMenuCatalogueState {
public:
  std::vector<std::u16string> LanguageNames() override { return languages; }
  std::u16string CurrentLanguage() override { return current; }
  std::u16string SkinName() override { return skin; }
  const CDocHistory* CurrentHistory() override { return history; }

  std::vector<std::u16string> languages;
  std::u16string current;
  std::u16string skin;
  const CDocHistory* history = nullptr;
};

std::u16string Text(std::u16string_view key) { return std::u16string(UIResources().texts.TextOrEmpty(key)); }

const MenuItem* Item(const CSMenu& menu, std::int32_t id) {
  const std::int32_t index = menu.FindItem(u"", id);
  return index < 0 ? nullptr : menu.items[static_cast<std::size_t>(index)].get();
}

std::vector<std::int32_t> Ids(const CSMenu& menu) {
  std::vector<std::int32_t> ids;
  for (const auto& item : menu.items) ids.push_back(item->separator ? -1 : item->commandId);
  return ids;
}

class MenuCatalogueTest : public EditorFixture {
protected:
  void SetUp() override {
    EditorFixture::SetUp();
    SetMenuCatalogueState(&state);
    ASSERT_EQ(g_MenuIcons.LoadStrip(UIResources().skins.SkinFilePath(u"menuicon.png"), kMenuIconWidth), 1);
  }
  void TearDown() override {
    SetMenuCatalogueState(nullptr);
    for (CSMenu* m : {&menu, &subA, &subB}) m->Destroy(0);
    g_MenuIcons.Free();
    EditorFixture::TearDown();
  }

  CFakeMenuState state;
  CSMenu menu, subA, subB;
  std::array<CSMenu*, 2> subs{&subA, &subB};
};

TEST_F(MenuCatalogueTest, TransformEntriesNeedingOneLayerAreDisabledForTwo) {
  const std::array oneLayerOnly = {10004, 10007, 10008, 10011};
  CSEditPage* page = OpenPage("two", [](CBFDoc& document) {
    ASSERT_EQ(document.InsertLayer(Gradient(40, 30), u"a", -1), 1);
    ASSERT_EQ(document.InsertLayer(Gradient(20, 10), u"b", -1), 1);
  });
  for (const CBFDoc* document : std::array<const CBFDoc*, 2>{nullptr, &page->document}) {
    BuildPopupMenu(menu, kMenuTransform, {}, document);
    EXPECT_EQ(Ids(menu), (std::vector<std::int32_t>{10002, 10003, 10005, 10006, 10004, -1, 10007, 10001,
                                                    10008, 10012, -1, 10009, 10010, 10011}));
    for (const auto& item : menu.items) {
      if (item->separator) continue;
      const bool needsOne =
          std::find(oneLayerOnly.begin(), oneLayerOnly.end(), item->commandId) != oneLayerOnly.end();
      EXPECT_EQ(item->enabled, (document && needsOne) ? 0 : 1) << item->commandId;
    }
  }
  EXPECT_EQ(Item(menu, 10010)->caption, Text(u"menuExtendCavas"));
  EXPECT_EQ(Item(menu, 10010)->letter, u"C");
  ASSERT_NE(g_MenuIcons.At(5), nullptr);
  EXPECT_EQ(Item(menu, 10001)->callerIcon, g_MenuIcons.At(5));
}

TEST_F(MenuCatalogueTest, SelectionMenuHoldsOnlySelectAllWithoutASelection) {
  CSEditPage* page = OpenPage("sel", OneLayer(40, 30));
  BuildPopupMenu(menu, kMenuSelection, subs, &page->document);
  EXPECT_EQ(Ids(menu), std::vector<std::int32_t>{16001});
  EXPECT_EQ(menu.items[0]->shortcutText, Text(u"Ctrl") + u"+A");

  ASSERT_EQ(page->document.m_selection.Create(40, 30), 1);
  BuildPopupMenu(menu, kMenuSelection, subs, &page->document);
  EXPECT_EQ(Ids(menu),
            (std::vector<std::int32_t>{16001, 16003, 16002, -1, 0, 16004, 16009, 16005, -1, 22004, 16010}));
  EXPECT_EQ(menu.items[4]->caption, Text(u"munuSelModify"));
  EXPECT_EQ(menu.items[4]->subMenu, &subA);
  EXPECT_EQ(Ids(subA), (std::vector<std::int32_t>{16006, 16007, 16008}));
  EXPECT_EQ(Item(menu, 16002)->shortcutText, Text(u"Ctrl") + u"+I");
  EXPECT_EQ(Item(menu, 16009)->shortcutText, Text(u"Del"));
}

TEST_F(MenuCatalogueTest, EditMenuFollowsTheHistoryAndTheClipboard) {
  CSEditPage* page = OpenPage("edit", OneLayer(40, 30));
  const auto enabled = [&](std::int32_t id) {
    BuildPopupMenu(menu, kMenuEdit, {}, &page->document);
    return Item(menu, id)->enabled;
  };
  // No history at all: nothing to undo, redo or apply.
  EXPECT_EQ(enabled(22001), 0);
  EXPECT_EQ(enabled(22002), 0);
  state.history = &page->history;
  // Just opened: one step, index 0.
  EXPECT_EQ(enabled(22001), 0);
  EXPECT_EQ(enabled(22002), 0);
  EXPECT_EQ(enabled(22003), 0);
  const std::array<std::uint8_t, 4> params{1, 2, 3, 4};
  ASSERT_TRUE(page->history.AddStep(kStepLayer, -1, u"Edit", StepBlock::Replayable, 7, params));
  EXPECT_EQ(enabled(22001), 1);
  EXPECT_EQ(enabled(22002), 0);
  EXPECT_EQ(enabled(22003), 1);
  ASSERT_TRUE(page->history.GoToStep(0));
  EXPECT_EQ(enabled(22001), 0);
  EXPECT_EQ(enabled(22002), 1);
  EXPECT_EQ(enabled(22004), 1);

  EXPECT_EQ(enabled(22005), 0);
  ASSERT_EQ(WriteClipboardBytes(ClipboardFormat::DibV5, std::array<std::uint8_t, 3>{1, 2, 3}), 1);
  EXPECT_EQ(enabled(22005), 1);
}

TEST_F(MenuCatalogueTest, TooltipsNestedMenusAndBlendModes) {
  BuildPopupMenu(menu, kMenuColour, {}, nullptr);
  EXPECT_EQ(Item(menu, 12005)->tooltip, Text(u"mtipVivid"));
  EXPECT_TRUE(Item(menu, 12001)->tooltip.empty());

  BuildPopupMenu(menu, kMenuEnhancement, subs, nullptr);
  EXPECT_EQ(menu.items[12]->subMenu, &subA);
  EXPECT_EQ(menu.items[13]->subMenu, &subB);
  EXPECT_EQ(Ids(subA), (std::vector<std::int32_t>{13004, 13006, 13019, 13005}));
  EXPECT_EQ(Ids(subB), (std::vector<std::int32_t>{13007, 13008, 13009}));
  EXPECT_EQ(Item(subB, 13009)->tooltip, Text(u"mtipLensBlur"));
  // Without sub-menus the nesting entries are left out.
  BuildPopupMenu(menu, kMenuEnhancement, {}, nullptr);
  EXPECT_EQ(menu.ItemCount(), 16u);

  BuildPopupMenu(menu, kMenuBlendModes, {}, nullptr);
  EXPECT_EQ(Ids(menu),
            (std::vector<std::int32_t>{23000, 23001, 23002, 23005, 23006, 23007, 23008, 23009, 23010}));

  // Other types make an empty menu.
  for (std::int32_t type : {0, 5, 8, 41, 99}) {
    BuildPopupMenu(menu, type, subs, nullptr);
    EXPECT_EQ(menu.ItemCount(), 0u) << type;
  }
}

TEST_F(MenuCatalogueTest, ProgramMenuListsLanguagesAndChecksTheChoices) {
  state.languages = {u"Deutsch", u"francais"};
  const struct {
    std::u16string language, skin;
    std::array<int, 5> checked;  // default, Deutsch, francais, dark, bright
  } cases[] = {
      {u"", u"", {1, 0, 0, 1, 0}},
      {u"FRANCAIS", u"Bright", {0, 0, 1, 0, 1}},
      {u"deutsch", u"other", {0, 1, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    state.current = c.language;
    state.skin = c.skin;
    BuildPopupMenu(menu, kMenuProgram, {}, nullptr);
    EXPECT_EQ(Ids(menu), (std::vector<std::int32_t>{21004, -1, 21500, 21501, 21502, -1, 21010, 21011, -1,
                                                    21006, 21003}));
    EXPECT_EQ(Item(menu, 21502)->caption, u"francais");
    const std::array ids = {21500, 21501, 21502, 21010, 21011};
    for (std::size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(Item(menu, ids[i])->checked, c.checked[i]) << i;
  }
  // At most 99 languages: ids up to 21599.
  state.languages.assign(120, u"x");
  BuildPopupMenu(menu, kMenuProgram, {}, nullptr);
  EXPECT_NE(Item(menu, 21599), nullptr);
  EXPECT_EQ(Item(menu, 21600), nullptr);
}

TEST_F(MenuCatalogueTest, MainMenuNestsEveryType) {
  std::array<CSMenu, kMainMenuSubMenus> nested;
  std::array<CSMenu*, kMainMenuSubMenus> pointers{};
  for (std::size_t i = 0; i < nested.size(); ++i) pointers[i] = &nested[i];
  BuildMainMenu(menu, pointers, nullptr);
  EXPECT_EQ(Ids(menu), (std::vector<std::int32_t>{20, 21, 7, -1, 18001, 1, 2, 3, 4, 6, 18002, -1, 21001}));
  EXPECT_EQ(Item(menu, 4)->subMenu->ItemCount(), 18u);
  // The enhancement menu's own two and the selection's one follow it.
  EXPECT_EQ(Item(menu, 4)->subMenu->items[12]->subMenu->ItemCount(), 4u);
  EXPECT_EQ(Item(menu, 20)->subMenu->ItemCount(), 2u);
  EXPECT_EQ(Item(menu, 21001)->letter, u"C");
  menu.Destroy(0);
  for (CSMenu& m : nested) m.Destroy(0);
}

// Every key of the catalogue has a text in the shipped table, and every icon
// lies inside the shipped strip.
TEST_F(MenuCatalogueTest, EveryKeyHasATextAndEveryIconACell) {
  CImageArray strip;
  ASSERT_EQ(strip.LoadStrip(UIResources().skins.SkinFilePath(u"menuicon.png"), kMenuIconWidth), 1);
  EXPECT_GE(strip.Count(), static_cast<std::size_t>(kMenuIconCount));
  for (std::int32_t type : {0, 1, 2, 3, 4, 41, 42, 6, 61, 7, 20, 21, 25}) {
    ASSERT_FALSE(MenuEntries(type).empty()) << type;
    for (const MenuEntry& entry : MenuEntries(type)) {
      for (std::u16string_view key : {entry.key, entry.tipKey, entry.shortcutKey}) {
        if (!key.empty()) {
          EXPECT_TRUE(UIResources().texts.HasText(key)) << ToUtf8(key);
        }
      }
      EXPECT_LT(entry.icon, kMenuIconCount);
    }
  }
}

}  // namespace
