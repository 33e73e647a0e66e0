// A small program for the end-to-end test of the popup menu. A page holds
// one button; the key M opens a menu (with a sub-menu) at a fixed point
// away from the button, filled afresh each time. The log tells the test
// where the rows and the button are (physical client pixels), every
// opening and closing message of a menu, the alpha of every frame the
// render thread draws while a menu animates, the commands the page
// receives, the presses that reach the button and its clicks, with the
// clock's milliseconds.
//
// Keys while no menu is open: M opens the menu; A toggles the animation
// switch; Q ends (also after 90 s).
//
//   menu_probe LOG              run
//   menu_probe --set-xft-dpi N  set the X resource Xft.dpi first

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "tests/common/ProbeLog.h"
#include "tests/common/ProbePage.h"
#include "tests/common/ProbeWindow.h"
#include "tests/ui/e2e/XftDpi.h"
#include "ui/widgets/AnimationSwitch.h"
#include "ui/widgets/SButton.h"
#include "ui/widgets/SMenu.h"

namespace {

constexpr std::int32_t kButtonId = 7;
constexpr Point kMenuPoint{40, 60};
constexpr Rect kButtonPlace{420, 300, 580, 340};

double g_scale = 1.0;

using probe::Write;

int Physical(std::int32_t logical) { return static_cast<int>(logical * g_scale); }

// A menu that logs its rows when it opens, the frames it animates and its
// closing message.
class CLoggingMenu final : public CSMenu {
public:
  explicit CLoggingMenu(const char* menuName) : name(menuName) {}

  void ShowPopup() override {
    CSMenu::ShowPopup();
    Write("shown %s", name);
    for (std::size_t i = 0; i < items.size(); ++i) {
      const MenuItem& item = *items[i];
      const Point centre = PointToWindow({iconColumnWidth + 10, item.rowTop + item.rowHeight / 2});
      Write("row %s %zu %d %d", name, i, Physical(centre.x), Physical(centre.y));
    }
  }
  bool Draw(std::uint32_t now) override {
    const bool animating = menuState != kIdle && g_AnimationEnabled;
    const bool changed = CSMenu::Draw(now);
    if (animating) Write("alpha %s %d", name, alpha.load());
    return changed;
  }
  void OnLButtonDown(Point point, std::uint32_t flags) override {
    Write("press %s", name);
    CSMenu::OnLButtonDown(point, flags);
  }
  bool OnSpriteMessage(const SpriteMessage& message) override {
    if (message.code == kMenuMsgClosed)
      Write("closing message %s %d", name, static_cast<int>(message.wparam));
    return CSMenu::OnSpriteMessage(message);
  }

  const char* name;
};

// A button that logs the presses that reach it.
class CLoggingButton final : public CSButton {
public:
  void OnLButtonDown(Point point, std::uint32_t flags) override {
    Write("button down");
    CSButton::OnLButtonDown(point, flags);
  }
  void OnLButtonUp(Point point, std::uint32_t flags) override {
    Write("button up");
    CSButton::OnLButtonUp(point, flags);
  }
};

// The window's page: the button's parent and the menus' target.
class CPage final : public CProbePage {
public:
  bool OnSpriteMessage(const SpriteMessage& message) override {
    if (message.code == kMenuMsgCommand) Write("command %d", static_cast<int>(message.wparam));
    if (message.code == kSpriteMsgButtonClicked && message.wparam == kButtonId) Write("button clicked");
    return CMessageSprite::OnSpriteMessage(message);
  }
};

class CMenuProbeWindow final : public CProbeWindow {
public:
  CMenuProbeWindow() : CProbeWindow(u"Tessera menu probe", {900, 600}), m_menu("menu"), m_sub("sub") {}

  void OnUiMessage(UiMessage& message) override {
    // The probe's own keys never reach the sprites: the menu would take
    // them for its letters.
    if (message.message == WM_KEYDOWN && !TopPopup()) {
      switch (message.wparam) {
        case 'M':
          OpenMenu();
          return;
        case 'A':
          g_AnimationEnabled = g_AnimationEnabled ? 0 : 1;
          Write("animation %d", g_AnimationEnabled.load());
          return;
        case 'Q':
          EndDialog(0);
          return;
        default:
          break;
      }
    }
    CProbeWindow::OnUiMessage(message);
  }

  [[nodiscard]] bool Build() override {
    g_scale = scale;
    const Size client = WindowHost()->GetClientSize();
    const Size logical{static_cast<std::int32_t>(client.width / scale),
                       static_cast<std::int32_t>(client.height / scale)};
    m_page = new CPage;
    if (!m_page->Create(nullptr, this, 1, {0, 0, logical.width, logical.height}, 2)) return false;
    AddTopLevelSprite(m_page, true);
    auto* button = new CLoggingButton;
    if (!button->Create(m_page, nullptr, kButtonId, kButtonPlace, 0, u"Under the menu", u"", false)) {
      delete button;
      return false;
    }
    button->owned = 1;
    m_page->AppendChild(button);
    if (!m_sub.Create(nullptr, this, 0, {}, kPopupMenuLayer) ||
        !m_menu.Create(nullptr, this, 0, {}, kPopupMenuLayer))
      return false;
    const Point centre = button->PointToWindow({kButtonPlace.Width() / 2, kButtonPlace.Height() / 2});
    Write("button %d %d", Physical(centre.x), Physical(centre.y));
    return true;
  }

private:
  void OpenMenu() {
    m_menu.AddItem(u"O", 1, u"Open", nullptr);
    m_menu.AddItem(u"S", 2, u"Save", nullptr);
    m_menu.AddItem(u"", 0, u"", nullptr);
    m_menu.AddItemEx(u"M", 3, u"More", u"", u"", &m_sub);
    m_sub.AddItem(u"A", 101, u"Alpha", nullptr);
    m_sub.AddItem(u"B", 102, u"Beta", nullptr);
    ShowPopupMenu(&m_menu, kMenuPoint, true, true, m_page);
  }

  CLoggingMenu m_menu;
  CLoggingMenu m_sub;
  CPage* m_page = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--set-xft-dpi") == 0) return SetXftDpiResource(std::atoi(argv[2]));
  if (argc != 2) {
    std::fprintf(stderr, "usage: menu_probe LOG | menu_probe --set-xft-dpi N\n");
    return 2;
  }
  return RunPlatform([&] {
    return RunProbeWindow(argv[1], {.stamped = true}, [&] { return std::make_unique<CMenuProbeWindow>(); });
  });
}
