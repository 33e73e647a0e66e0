// The program itself with a test driver, for the end-to-end test of opening
// and switching pages: Tessera's main window with the parts main() plugs in
// and no wizard after opening. F8 writes, 300 ms later, what the test needs
// to find and check: the pages and the current one, each tab title's centre
// and close button, the adjust buttons of the current edit page, and the
// entries of an open menu with their enabling. Ends by the window's close,
// after 150 s at the latest.
//
//   open_pages_probe LOG

#include <cstdio>
#include <mutex>

#include "app/BrightforgeDlg.h"
#include "app/Globals.h"
#include "document/BFDoc.h"
#include "editor/SEditPage.h"
#include "platform/Registry.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "tests/common/MainWindowProbe.h"
#include "tests/common/ProbeLog.h"
#include "ui/widgets/SMenu.h"

namespace {

constexpr std::uint32_t kTimeLimitTimer = 7001;
constexpr std::uint32_t kStateTimer = 7002;
constexpr std::uint32_t kStateDelayMs = 300;
constexpr std::uint32_t kF8 = VK_F1 + 7;

using probe::Write;

class CProbeWindow final : public CBrightforgeDlg {
public:
  explicit CProbeWindow(MainWindowHooks hooks) : CBrightforgeDlg(std::move(hooks)) {}

  void OnTimer(std::uint32_t id) override {
    if (id == kTimeLimitTimer) {
      Write("time limit");
      EndDialog(3);
      return;
    }
    if (id == kStateTimer) {
      UiQueue().KillTimer(kStateTimer);
      WriteState();
      return;
    }
    CBrightforgeDlg::OnTimer(id);
    if (id == kStartupTimerId && ++m_ticks == 1) {
      UiQueue().SetTimer(kTimeLimitTimer, 150000);
      Write("ready");
    }
  }

  void OnUiMessage(UiMessage& message) override {
    if (message.message == WM_KEYDOWN && message.wparam == kF8)
      UiQueue().SetTimer(kStateTimer, kStateDelayMs);
    CBrightforgeDlg::OnUiMessage(message);
  }

private:
  void WriteState() {
    Write("pages %d current %d", static_cast<int>(tabFrame.pages.size()), tabFrame.currentPage.load());
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(tabFrame.pages.size()); ++i) {
      std::int32_t left = 0, right = 0;
      tabFrame.GetTabExtent(i, left, right);
      const std::int32_t shift = tabFrame.stripLeft - tabFrame.scrollOffset;
      const Point title = tabFrame.PointToWindow({(left + right) / 2 + shift, CSTabFrame::kStripHeight / 2});
      const Point close = tabFrame.PointToWindow({right + shift - 20 + 8, 8 + 8});
      Write("tab %d %s title %d %d close %d %d", i,
            ToUtf8(tabFrame.pages[static_cast<std::size_t>(i)]->title).c_str(), title.x, title.y, close.x,
            close.y);
    }
    if (CSEditPage* page = CurrentEditPage()) {
      for (const auto& item : page->adjustPanel.panel.items) {
        const Point centre = page->adjustPanel.panel.PointToWindow(
            {(item->rect.left + item->rect.right) / 2, (item->rect.top + item->rect.bottom) / 2});
        Write("adjust %u %d %d", item->id, centre.x, centre.y);
      }
    }
    if (auto* menu = dynamic_cast<CSMenu*>(TopPopup())) {
      std::lock_guard guard(menu->lock);
      for (const auto& item : menu->items) {
        if (!item->separator) Write("menu %d %d", item->commandId, item->enabled);
      }
    }
    Write("state end");
  }

  int m_ticks = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: open_pages_probe LOG\n");
    return 2;
  }
  return RunMainWindowProbe(argv[1], [&](MainWindowHooks hooks) {
    // Opening runs no wizard: the test drives the pages only.
    if (!SetRegDword(u"Editor", u"AutoWizard", 0)) Write("AutoWizard not stored");
    CProbeWindow window(hooks);
    return window.RunModal();
  });
}
