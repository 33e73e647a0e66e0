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
#include <mutex>
#include <string>

#include "platform/Clock.h"
#include "platform/Platform.h"
#include "platform/UiQueue.h"
#include "platform/WindowMessages.h"
#include "tests/ui/e2e/XftDpi.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/widgets/SPicView.h"

namespace {

constexpr std::uint32_t kTimeLimitTimer = 1;
constexpr std::uint32_t kStateTimer = 2;

std::FILE* g_log = nullptr;
std::mutex g_logLock;
double g_scale = 1.0;

template <typename... Args>
void Write(const char* format, Args... args) {
  std::lock_guard guard(g_logLock);
  std::fprintf(g_log, "%u ", TickCount());
  // A bare text is no format: it prints as it stands.
  if constexpr (sizeof...(args) == 0)
    std::fputs(format, g_log);
  else
    std::fprintf(g_log, format, args...);
  std::fputc('\n', g_log);
  std::fflush(g_log);
}

int Physical(std::int32_t logical) { return static_cast<int>(logical * g_scale); }

// The page: the view's parent; it logs what the view tells it and the image
// point under the pointer.
class CPage final : public CMessageSprite {
public:
  bool Draw(std::uint32_t) override {
    if (!dirty || surface.IsEmpty()) return false;
    FillRect(surface, {0, 0, rect.Width(), rect.Height()}, 0xFF26282Cu);
    InvalidateArea({}, 1);
    return true;
  }
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

class CPicViewProbeWindow final : public CRenderWindow {
public:
  CPicViewProbeWindow() {
    windowOptions.title = u"Tessera picture view probe";
    windowOptions.size = {1000, 700};
    windowOptions.maximized = false;
  }

  void OnUiMessage(UiMessage& message) override {
    if (message.message == WM_ACTIVATE) Write("activate %u", static_cast<unsigned>(message.wparam));
    if (message.message == WM_KEYDOWN && message.wparam == 'Q' && !TopPopup()) {
      EndDialog(0);
      return;
    }
    CRenderWindow::OnUiMessage(message);
  }

  void OnTimer(std::uint32_t id) override {
    if (id == kTimeLimitTimer) {
      Write("time limit");
      EndDialog(3);
    }
    if (id == kStateTimer) LogState();
    CRenderWindow::OnTimer(id);
  }

  bool Build(const char* photoPath) {
    if (!m_photo.LoadFile(photoPath)) {
      Write("no photo %s", photoPath);
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

  CBgraImage m_photo;
  CPage* m_page = nullptr;
  std::string m_lastState;
  bool m_menuLogged = false;
};

int RunProbe(const char* logPath, const char* photoPath) {
  g_log = std::fopen(logPath, "w");
  if (!g_log) return 2;
  int code = 2;
  {
    CPicViewProbeWindow window;
    if (window.Create() && window.Build(photoPath)) {
      window.SetRenderReady();
      UiQueue().SetTimer(kTimeLimitTimer, 90000);
      UiQueue().SetTimer(kStateTimer, 50);
      const Size physical = WindowHost()->GetClientSize();
      Write("ready %d %d %g", physical.width, physical.height, window.scale);
      code = window.RunModal();
    } else {
      Write("no window");
    }
  }
  Write("exit %d", code);
  std::fclose(g_log);
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--set-xft-dpi") == 0) return SetXftDpiResource(std::atoi(argv[2]));
  if (argc != 3) {
    std::fprintf(stderr, "usage: pic_view_probe LOG PHOTO | pic_view_probe --set-xft-dpi N\n");
    return 2;
  }
  return RunPlatform([&] { return RunProbe(argv[1], argv[2]); });
}
