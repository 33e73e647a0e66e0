// A small program for the end-to-end test of the picture view. A page holds
// one view showing a real photo. The log tells the test (in physical client
// pixels) the image point under the pointer at every move the page sees,
// the view's state whenever it changes (zoom, visible rectangle, the image
// point at the centre of the displayed rectangle, the zoom label's centre),
// the notifications the page receives, and the rows of the zoom menu once
// it is open, with the clock's milliseconds.
//
// Keys: Q ends (also after 90 s).
//
//   pic_view_probe LOG PHOTO       run
//   pic_view_probe --set-xft-dpi N set the X resource Xft.dpi first

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Platform.h"
#include "platform/UiQueue.h"
#include "platform/WindowMessages.h"
#include "tests/common/ProbeLog.h"
#include "tests/common/ProbePage.h"
#include "tests/common/ProbeWindow.h"
#include "tests/ui/e2e/XftDpi.h"
#include "ui/widgets/SPicView.h"

namespace {

constexpr std::uint32_t kStateTimer = 2;

double g_scale = 1.0;

using probe::Write;

int Physical(std::int32_t logical) { return static_cast<int>(logical * g_scale); }

// The page: the view's parent; it logs what the view tells it and the image
// point under the pointer.
class CPage final : public CProbePage {
public:
  void OnMouseMove(Point point, std::uint32_t flags) override {
    if (view) {
      const Point local{point.x - view->rect.left, point.y - view->rect.top};
      const Point under = view->ScreenToImage(local);
      Write("pointer %d %d %d %d", Physical(point.x), Physical(point.y), under.x, under.y);
    }
    CMessageSprite::OnMouseMove(point, flags);
  }
  bool OnSpriteMessage(const SpriteMessage& message) override {
    if (message.code == kPicViewMsg) {
      Write("note %d %d %d", static_cast<int>(message.wparam), static_cast<int>(message.lparam & 0xFFFF),
            static_cast<int>(message.lparam >> 16));
    }
    return CMessageSprite::OnSpriteMessage(message);
  }
  CSPicView* view = nullptr;
};

class CPicViewProbeWindow final : public CProbeWindow {
public:
  explicit CPicViewProbeWindow(const char* photoPath)
      : CProbeWindow(u"Tessera picture view probe", {1000, 700}), m_photoPath(photoPath) {}

  void OnUiMessage(UiMessage& message) override {
    if (message.message == WM_KEYDOWN && message.wparam == 'Q' && !TopPopup()) {
      EndDialog(0);
      return;
    }
    CProbeWindow::OnUiMessage(message);
  }

  void OnTimer(std::uint32_t id) override {
    if (id == kStateTimer) LogState();
    CProbeWindow::OnTimer(id);
  }

  [[nodiscard]] bool Build() override {
    if (!m_photo.LoadFile(m_photoPath)) {
      Write("no photo %s", m_photoPath);
      return false;
    }
    g_scale = scale;
    const Size client = WindowHost()->GetClientSize();
    const Size logical{static_cast<std::int32_t>(client.width / scale),
                       static_cast<std::int32_t>(client.height / scale)};
    m_page = new CPage;
    if (!m_page->Create(nullptr, this, 1, {0, 0, logical.width, logical.height}, 2)) return false;
    AddTopLevelSprite(m_page, true);
    auto* view = new CSPicView;
    view->owned = 1;
    if (!view->Create(m_page, nullptr, 10, {10, 10, logical.width - 10, logical.height - 10}, 0)) {
      delete view;
      return false;
    }
    m_page->AppendChild(view);
    m_page->view = view;
    view->SetImage(&m_photo, u"large_image");
    Write("photo %u %u", m_photo.width, m_photo.height);
    UiQueue().SetTimer(kStateTimer, 50);
    return true;
  }

private:
  // The view's state when it changed since the last line; the zoom menu's
  // rows once per opening.
  void LogState() {
    CSPicView* view = m_page ? m_page->view : nullptr;
    if (!view) return;
    const Rect visible = view->VisibleRect();
    const Rect shown = view->DisplayedRect();
    const Rect label = view->ZoomLabelRect();
    const Point centre =
        view->ScreenToImage({shown.left + shown.Width() / 2, shown.top + shown.Height() / 2});
    const Point labelCentre =
        view->PointToWindow({label.left + label.Width() / 2, label.top + label.Height() / 2});
    const Point shownCentre =
        view->PointToWindow({shown.left + shown.Width() / 2, shown.top + shown.Height() / 2});
    char line[256];
    std::snprintf(line, sizeof line, "state %.9g %d %d %d %d centre %d %d at %d %d label %d %d", view->Zoom(),
                  visible.left, visible.top, visible.right, visible.bottom, centre.x, centre.y,
                  Physical(shownCentre.x), Physical(shownCentre.y), Physical(labelCentre.x),
                  Physical(labelCentre.y));
    if (!shown.IsEmpty() && !label.IsEmpty() && m_lastState != line) {
      m_lastState = line;
      Write("%s", line);
    }
    CSMenu& menu = view->zoomMenu;
    const bool open = menu.visible && menu.menuState == CSMenu::kIdle && menu.ItemCount() > 0;
    if (open && !m_menuLogged) {
      m_menuLogged = true;
      std::lock_guard guard(menu.lock);
      for (std::size_t i = 0; i < menu.items.size(); ++i) {
        const MenuItem& item = *menu.items[i];
        const Point at = menu.PointToWindow({menu.iconColumnWidth + 10, item.rowTop + item.rowHeight / 2});
        Write("row %zu %d %d", i, Physical(at.x), Physical(at.y));
      }
    } else if (!menu.visible) {
      m_menuLogged = false;
    }
  }

  const char* m_photoPath;
  CBgraImage m_photo;
  CPage* m_page = nullptr;
  std::string m_lastState;
  bool m_menuLogged = false;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--set-xft-dpi") == 0) return SetXftDpiResource(std::atoi(argv[2]));
  if (argc != 3) {
    std::fprintf(stderr, "usage: pic_view_probe LOG PHOTO | pic_view_probe --set-xft-dpi N\n");
    return 2;
  }
  return RunPlatform([&] {
    return RunProbeWindow(argv[1], {.stamped = true},
                          [&] { return std::make_unique<CPicViewProbeWindow>(argv[2]); });
  });
}
