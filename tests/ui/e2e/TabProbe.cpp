// A small program for the end-to-end test of the tab frame and the busy
// indicator. It shows a tab frame with three pages whose titles overflow the
// strip, and writes to a log what the test needs: where the titles and the
// arrows are (physical client pixels), each page change with its kind and
// the colours of the cross-fade as the render thread draws them, the
// frame's state on request, and the percentages of the busy indicator.
//
// Keys: A toggles the animation switch; S writes the state; D writes the
// page area of the back buffer as raw RGB to DUMP; P runs a busy operation
// on the UI thread that counts the indicator from 0 to 100 (at 50 it writes
// the indicator's digits to DUMP and holds for 1.5 s); Q ends (also after
// 90 s).
//
//   tab_probe LOG DUMP              run
//   tab_probe --set-xft-dpi N       set the X resource Xft.dpi first

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Platform.h"
#include "platform/UiQueue.h"
#include "platform/WindowMessages.h"
#include "tests/common/ProbeLog.h"
#include "tests/common/ProbeWindow.h"
#include "tests/ui/e2e/XftDpi.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/widgets/AnimationSwitch.h"
#include "ui/widgets/STabFrame.h"

namespace {

constexpr std::uint32_t kDumpTimer = 2;

using probe::Write;

// Writes a rectangle of the back buffer (logical pixels) as raw RGB.
bool DumpRect(CRenderWindow& window, const Rect& rect, const char* path) {
  CBgraImage part;
  if (!window.CopyBackBufferRect(rect, part)) return false;
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  for (std::uint32_t y = 0; y < part.height; ++y) {
    for (std::uint32_t x = 0; x < part.width; ++x) {
      const std::uint8_t* p = part.At(x, y);
      const std::uint8_t rgb[3] = {p[2], p[1], p[0]};
      std::fwrite(rgb, 1, 3, file);
    }
  }
  return std::fclose(file) == 0;
}

// A page of one colour with a line of text.
class CColourPage final : public CSTabPage {
public:
  CColourPage(std::u16string_view pageTitle, std::uint32_t fill) : CSTabPage(pageTitle), colour(fill) {}
  bool Draw(std::uint32_t) override {
    if (!dirty || surface.IsEmpty()) return false;
    FillRect(surface, {0, 0, rect.Width(), rect.Height()}, colour);
    std::lock_guard textGuard(UIResources().skins);
    CBgraImage text;
    if (UIResources().skins.RenderText(title, text, {}, 20))
      BlendColorMask(surface, text, 24, 24, 0xFFFFFFFFu, {});
    InvalidateArea({}, 1);
    return true;
  }
  std::uint32_t colour;
};

// The frame, logging what the test checks.
class CLoggingTabFrame final : public CSTabFrame {
public:
  bool SelectPage(CSTabPage* page, bool force) override {
    const bool animated = g_AnimationEnabled != 0 && currentPage >= 0;
    const auto start = std::chrono::steady_clock::now();
    const bool selected = CSTabFrame::SelectPage(page, force);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    Write("select %d %s %s %lld", FindPage(page), animated ? "animated" : "plain",
          selected ? "done" : "refused", static_cast<long long>(ms));
    return selected;
  }
  // Render thread: the colour of the page area's centre in each frame of a
  // cross-fade.
  bool Draw(std::uint32_t now) override {
    const bool fading = (animFlags & kAnimTransition) != 0;
    const bool changed = CSTabFrame::Draw(now);
    if (fading && !surface.IsEmpty()) {
      const std::uint8_t* p = surface.At(static_cast<std::uint32_t>((pageArea.left + pageArea.right) / 2),
                                         static_cast<std::uint32_t>((pageArea.top + pageArea.bottom) / 2));
      Write("fade %d %d %d", p[2], p[1], p[0]);
    }
    return changed;
  }
};

// The window's page: it holds the frame and hears its page changes.
class CHost final : public CMessageSprite {
public:
  bool Draw(std::uint32_t) override {
    if (!dirty || surface.IsEmpty()) return false;
    FillRect(surface, {0, 0, rect.Width(), rect.Height()}, 0xFF26282Cu);
    InvalidateArea({}, 1);
    return true;
  }
  bool OnSpriteMessage(const SpriteMessage& message) override {
    if (message.code == kTabMsgPageChanged) Write("page %d", static_cast<int>(message.wparam));
    return CMessageSprite::OnSpriteMessage(message);
  }
};

class CTabProbeWindow final : public CProbeWindow {
public:
  explicit CTabProbeWindow(const char* dumpPath)
      : CProbeWindow(u"Tessera tab probe", {1000, 640}), m_dumpPath(dumpPath) {}

  void OnUiMessage(UiMessage& message) override {
    if (message.message == WM_KEYDOWN) {
      switch (message.wparam) {
        case 'A':
          g_AnimationEnabled = g_AnimationEnabled ? 0 : 1;
          Write("animation %d", g_AnimationEnabled.load());
          break;
        case 'S':
          Write("state current %d offset %d left %u right %u", m_frame->currentPage.load(),
                m_frame->scrollOffset.load(), m_frame->leftArrow.visible.load(),
                m_frame->rightArrow.visible.load());
          break;
        case 'D':
          UiQueue().SetTimer(kDumpTimer, 300);
          break;
        case 'P':
          RunBusyOperation();
          break;
        case 'Q':
          EndDialog(0);
          break;
        default:
          break;
      }
    }
    CProbeWindow::OnUiMessage(message);
  }

  void OnTimer(std::uint32_t id) override {
    if (id == kDumpTimer) {
      UiQueue().KillTimer(kDumpTimer);
      const Rect area = m_frame->RectToWindow(m_frame->pageArea);
      Write(DumpRect(*this, area, m_dumpPath) ? "dumped page %d %d %d %d" : "dump failed %d %d %d %d",
            area.left, area.top, area.Width(), area.Height());
    }
    CProbeWindow::OnTimer(id);
  }

  [[nodiscard]] bool Build() override {
    const Size client = WindowHost()->GetClientSize();
    const Size logical{static_cast<std::int32_t>(client.width / scale),
                       static_cast<std::int32_t>(client.height / scale)};
    auto* host = new CHost;
    if (!host->Create(nullptr, this, 1, {0, 0, logical.width, logical.height}, 2)) return false;
    AddTopLevelSprite(host, true);
    m_frame = new CLoggingTabFrame;
    if (!m_frame->Create(host, nullptr, 2, {40, 40, 540, 440}, 0)) return false;
    m_frame->owned = 1;
    host->AppendChild(m_frame);
    const char16_t* titles[] = {u"Portraits of the family", u"The wedding in the garden",
                                u"Holiday at the sea"};
    const std::uint32_t colours[] = {0xFF3060C0u, 0xFF40A040u, 0xFFC04020u};
    for (int i = 0; i < 3; ++i) {
      auto* page = new CColourPage(titles[i], colours[i]);
      if (m_frame->AddPage(page) != i) {
        delete page;
        return false;
      }
    }
    for (std::int32_t i = 0; i < 3; ++i) {
      std::int32_t l = 0, r = 0;
      m_frame->GetTabExtent(i, l, r);
      const std::int32_t left = std::max(l + m_frame->stripLeft, m_frame->stripLeft);
      const std::int32_t right = std::min(r + m_frame->stripLeft, m_frame->stripRight);
      const Point centre = m_frame->PointToWindow({(left + right) / 2, 16});
      Write("title %d %d %d", i, Physical(centre.x), Physical(centre.y));
    }
    const Point right = m_frame->rightArrow.PointToWindow({10, 10});
    const Point left = m_frame->leftArrow.PointToWindow({10, 10});
    Write("arrows %d %d %d %d", Physical(left.x), Physical(left.y), Physical(right.x), Physical(right.y));
    return true;
  }

private:
  int Physical(std::int32_t logical) const { return static_cast<int>(logical * scale); }

  // A long operation of the UI thread: the render thread keeps the
  // indicator turning while the UI thread sleeps between steps.
  void RunBusyOperation() {
    ShowProgress({});
    Write("progress side %d", progress.rect.Width());
    for (std::int32_t percent = 0; percent <= 100; ++percent) {
      progress.SetPercent(percent);
      {
        std::lock_guard guard(progress.lock);
        Write("percent %d %ux%u", percent, progress.percentImage.width, progress.percentImage.height);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (percent == 50) {
        // Long enough for a frame with the new digits first.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        Rect digits;
        {
          std::lock_guard guard(progress.lock);
          const std::int32_t side = std::min(progress.rect.Width(), progress.rect.Height()) & ~1;
          const auto w = static_cast<std::int32_t>(progress.percentImage.width);
          const auto h = static_cast<std::int32_t>(progress.percentImage.height);
          const Point origin = progress.PointToWindow({(side - w) / 2, (side - h) / 2});
          digits = {origin.x, origin.y, origin.x + w, origin.y + h};
        }
        Write(DumpRect(*this, digits, m_dumpPath) ? "hold 50 %d %d %d %d" : "dump failed %d %d %d %d",
              digits.left, digits.top, digits.Width(), digits.Height());
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    HideProgress();
    Write("progress done");
  }

  const char* m_dumpPath;
  CLoggingTabFrame* m_frame = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--set-xft-dpi") == 0) return SetXftDpiResource(std::atoi(argv[2]));
  if (argc != 3) {
    std::fprintf(stderr, "usage: tab_probe LOG DUMP | tab_probe --set-xft-dpi N\n");
    return 2;
  }
  return RunPlatform([&] {
    return RunProbeWindow(argv[1], {}, [&] { return std::make_unique<CTabProbeWindow>(argv[2]); });
  });
}
