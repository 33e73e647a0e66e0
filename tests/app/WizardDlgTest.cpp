// The auto wizard: its cards and entries, opening categories, choosing, the
// check box, missing pictures and the layout of every category.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "app/WizardDlg.h"
#include "platform/Registry.h"
#include "tests/app/MainWindowFixture.h"
#include "ui/widgets/SFadeEffect.h"

namespace {

class WizardTest : public MainWindowFixture {
protected:
  void OpenWindow() {
    Open();
    Tick();
  }
  // The ids of the items shown now.
  static std::set<std::uint32_t> Shown(const CWizardDlg& wizard) {
    std::set<std::uint32_t> ids;
    for (const auto& item : wizard.panel.items) {
      if (item->shown) ids.insert(item->id);
    }
    return ids;
  }
  // A click on the item, through the window.
  void ClickItem(CWizardDlg& wizard, std::uint32_t id) {
    const PanelItem* item = wizard.panel.FindItem(id);
    ASSERT_NE(item, nullptr);
    const Rect area = wizard.panel.RectToWindow(item->rect);
    const Point centre{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
    host.Click(MouseButton::Left, window->PhysicalOffset(centre));
  }
  std::size_t FadeEffects() {
    std::lock_guard guard(window->windowLock);
    std::size_t count = 0;
    for (CSprite* sprite : window->topLevel) count += dynamic_cast<CSFadeEffect*>(sprite) ? 1 : 0;
    return count;
  }
  std::int32_t RunWizard(CWizardDlg& wizard) {
    if (!wizard.Create(CWizardDlg::kTemplateId)) return -1;
    return wizard.RunModal();
  }
};

const std::set<std::uint32_t> kCards = {10, 20, 30, 40, 50, 60, 70, 80, 90};

}  // namespace

TEST_F(WizardTest, CategoriesOpenInPlaceOfTheirCardsAndAnEntryIsChosen) {
  OpenWindow();
  CWizardDlg wizard;
  std::vector<std::set<std::uint32_t>> seen;
  std::vector<std::size_t> fades;
  std::size_t items = 0;
  const auto record = [&](CDialogSprite&) {
    seen.push_back(Shown(wizard));
    fades.push_back(FadeEffects());
    items = wizard.panel.items.size();
  };
  script->Next(CWizardDlg::kTemplateId)
      .Call(record)
      .Call([&](CDialogSprite&) { ClickItem(wizard, 10); })
      .Call(record)
      .Call([&](CDialogSprite&) { ClickItem(wizard, 20); })
      .Call(record)
      .Call([&](CDialogSprite&) { ClickItem(wizard, 22); });
  EXPECT_EQ(RunWizard(wizard), kIdOk);
  EXPECT_EQ(wizard.chosenEntry, 22);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], kCards) << "nine cards, no entries";
  EXPECT_EQ(seen[1], (std::set<std::uint32_t>{11, 12, 13, 20, 30, 40, 50, 60, 70, 80, 90}));
  EXPECT_EQ(seen[2], (std::set<std::uint32_t>{10, 21, 22, 23, 30, 40, 50, 60, 70, 80, 90}));
  EXPECT_EQ(fades[0], 0u);
  EXPECT_GE(fades[1], 1u) << "a fade over the exposure card";
  EXPECT_EQ(items, 9u + 19u);
  EXPECT_EQ(wizard.accordionIds.size(), 6u + 19u);
}

TEST_F(WizardTest, TheObjectCardEndsAtOnceWithoutFadeOut) {
  OpenWindow();
  CWizardDlg wizard;
  std::u16string tip;
  script->Next(CWizardDlg::kTemplateId).Call([&](CDialogSprite&) {
    tip = wizard.panel.FindItem(80)->tip;
    ClickItem(wizard, 80);
  });
  EXPECT_EQ(RunWizard(wizard), kIdOk);
  EXPECT_EQ(wizard.chosenEntry, 80);
  EXPECT_EQ(wizard.fadeOutOnClose, 0);
  EXPECT_EQ(tip, UIResources().texts.TextOrEmpty(u"smarerasewizardtip"));
}

// The pointer rests on a card until its tip shows; the wizard then closes
// with Esc, and neither that tip nor one asked for meanwhile stays behind.
TEST_F(WizardTest, ACardsTipGoesWithTheWizard) {
  OpenWindow();
  CWizardDlg wizard;
  bool tipShown = false;
  CDialogScript& answer = script->Next(CWizardDlg::kTemplateId).Call([&](CDialogSprite&) {
    const Rect area = wizard.panel.RectToWindow(wizard.panel.FindItem(80)->rect);
    host.MouseMove(window->PhysicalOffset({(area.left + area.right) / 2, (area.top + area.bottom) / 2}));
  });
  // Each step waits for a frame; the modal loop delivers the tip request
  // before the next one.
  for (int i = 0; i < 12; ++i) {
    answer.Call([&](CDialogSprite&) {
      tipShown = tipShown || window->tip.visible;
      if (!tipShown) WaitForFrame();
    });
  }
  answer.Key(VK_ESCAPE);
  EXPECT_EQ(RunWizard(wizard), kIdCancel);
  ASSERT_TRUE(tipShown) << "the card's tip never showed";
  Run();
  WaitForFrame();
  Run();
  EXPECT_FALSE(window->tip.visible);
}

TEST_F(WizardTest, UntickingStoresAutoWizardAtOnceEvenWhenCancelled) {
  OpenWindow();
  CWizardDlg wizard;
  std::uint32_t storedWhileOpen = 7;
  script->Next(CWizardDlg::kTemplateId)
      .Press(CWizardDlg::kAfterOpenId)
      .Call([&](CDialogSprite&) { storedWhileOpen = GetRegDword(u"Editor", u"AutoWizard", 7, true); })
      .Answer(kIdCancel);
  EXPECT_EQ(RunWizard(wizard), kIdCancel);
  EXPECT_EQ(storedWhileOpen, 0u);
  EXPECT_EQ(GetRegDword(u"Editor", u"AutoWizard", 7, true), 0u);

  // The next wizard shows the box unticked; ticking it stores 1.
  CWizardDlg again;
  script->Next(CWizardDlg::kTemplateId).Press(CWizardDlg::kAfterOpenId).Answer(kIdCancel);
  EXPECT_EQ(RunWizard(again), kIdCancel);
  EXPECT_EQ(GetRegDword(u"Editor", u"AutoWizard", 7, true), 1u);
}

TEST_F(WizardTest, WithoutItsPicturesTheWizardDoesNotOpen) {
  for (const std::filesystem::path& missing :
       {dataFolder / "basic" / "mpanel.png", dataFolder / "skin" / "wizard.png"}) {
    SCOPED_TRACE(missing.string());
    const std::filesystem::path aside = root / "aside.png";
    OpenWindow();  // the skin set needs "mpanel.png" at start
    std::filesystem::rename(missing, aside);
    CWizardDlg wizard;
    EXPECT_EQ(RunWizard(wizard), 0);
    EXPECT_EQ(wizard.chosenEntry, -1);
    CloseWindow();
    std::filesystem::rename(aside, missing);
  }
}

// In every category the shown items lie inside the panel and none covers
// another.
TEST_F(WizardTest, EveryCategoryFitsThePanelWithoutOverlaps) {
  OpenWindow();
  CWizardDlg wizard;
  std::vector<std::string> faults;
  script->Next(CWizardDlg::kTemplateId)
      .Call([&](CDialogSprite&) {
        const Rect panel{0, 0, wizard.panel.rect.Width(), wizard.panel.rect.Height()};
        for (std::int32_t category = 0; category <= 6; ++category) {
          wizard.ShowCategory(category);
          std::vector<const PanelItem*> shown;
          for (const auto& item : wizard.panel.items) {
            if (item->shown) shown.push_back(item.get());
          }
          for (std::size_t i = 0; i < shown.size(); ++i) {
            const Rect& a = shown[i]->rect;
            if (a.left < panel.left || a.top < panel.top || a.right > panel.right || a.bottom > panel.bottom)
              faults.push_back(std::to_string(category) + ": item " + std::to_string(shown[i]->id) +
                               " outside");
            for (std::size_t j = i + 1; j < shown.size(); ++j) {
              const Rect& b = shown[j]->rect;
              if (a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom)
                faults.push_back(std::to_string(category) + ": " + std::to_string(shown[i]->id) + " and " +
                                 std::to_string(shown[j]->id) + " overlap");
            }
          }
        }
      })
      .Answer(kIdCancel);
  EXPECT_EQ(RunWizard(wizard), kIdCancel);
  EXPECT_TRUE(faults.empty()) << faults.front();
}
