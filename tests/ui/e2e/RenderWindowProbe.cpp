// A small program for the end-to-end test of the render window. It shows a
// render window with a small sprite tree, writes the clicks that reach the
// sprites (in their own logical coordinates) to a log, writes its back
// buffer as raw RGB on the key D, and ends on the key Q (or after 60 s).
//
//   render_window_probe LOG DUMP        run
//   render_window_probe --set-xft-dpi N set the X resource Xft.dpi first

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
#include "tests/common/ProbeWindow.h"
#include "tests/ui/e2e/XftDpi.h"

namespace {

constexpr std::uint32_t kDumpTimer = 2;

using probe::Write;

// A plain coloured sprite that logs the presses it receives.
class CClickTarget : public CMessageSprite {
public:
  CClickTarget(const char* spriteName, std::uint32_t fill) : name(spriteName), colour(fill) {}
  bool Draw(std::uint32_t) override {
    if (!dirty || surface.IsEmpty()) return false;
    auto* pixels = reinterpret_cast<std::uint32_t*>(surface.pixels);
    for (std::uint32_t i = 0; i < surface.pixelCount; ++i) pixels[i] = colour;
    InvalidateArea({}, 1);
    return true;
  }
  void OnLButtonDown(Point point, std::uint32_t flags) override {
    Write("click %s %d %d", name, point.x, point.y);
    CMessageSprite::OnLButtonDown(point, flags);
  }
  const char* name;
  std::uint32_t colour;
};

class CRenderProbeWindow final : public CProbeWindow {
public:
  explicit CRenderProbeWindow(const char* dumpPath)
      : CProbeWindow(u"Tessera render probe", {1000, 640}), m_dumpPath(dumpPath) {}

  void OnUiMessage(UiMessage& message) override {
    if (message.message == WM_KEYDOWN && message.wparam == 'D') UiQueue().SetTimer(kDumpTimer, 300);
    if (message.message == WM_KEYDOWN && message.wparam == 'Q') EndDialog(0);
    CProbeWindow::OnUiMessage(message);
  }

  void OnTimer(std::uint32_t id) override {
    if (id == kDumpTimer) {
      UiQueue().KillTimer(kDumpTimer);
      Dump();
    }
    CProbeWindow::OnTimer(id);
  }

  [[nodiscard]] bool Build() override {
    auto add = [this](CClickTarget* sprite, CSprite* parent, const Rect& rect, std::int32_t spriteLayer) {
      if (!sprite->Create(parent, parent ? nullptr : this, 0, rect, spriteLayer)) return;
      if (parent) {
        sprite->owned = 1;
        parent->AppendChild(sprite);
      } else {
        AddTopLevelSprite(sprite, true);
      }
    };
    auto* a = new CClickTarget("A", 0xFF3060C0u);
    auto* b = new CClickTarget("B", 0xFF40A040u);
    auto* c = new CClickTarget("C", 0xFFC04020u);
    add(a, nullptr, {40, 40, 240, 200}, 2);
    add(b, nullptr, {300, 40, 600, 300}, 2);
    add(c, b, {50, 50, 150, 150}, 0);
    return true;
  }

private:
  void Dump() {
    std::lock_guard guard(windowLock);
    std::FILE* file = std::fopen(m_dumpPath, "wb");
    if (!file) {
      Write("dump failed");
      return;
    }
    for (std::uint32_t y = 0; y < backBuffer.height; ++y) {
      for (std::uint32_t x = 0; x < backBuffer.width; ++x) {
        const std::uint8_t* p = backBuffer.At(x, y);
        const std::uint8_t rgb[3] = {p[2], p[1], p[0]};
        std::fwrite(rgb, 1, 3, file);
      }
    }
    std::fclose(file);
    Write("dumped %u %u", backBuffer.width, backBuffer.height);
  }
  const char* m_dumpPath;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--set-xft-dpi") == 0) return SetXftDpiResource(std::atoi(argv[2]));
  if (argc != 3) {
    std::fprintf(stderr, "usage: render_window_probe LOG DUMP | render_window_probe --set-xft-dpi N\n");
    return 2;
  }
  return RunPlatform([&] {
    return RunProbeWindow(argv[1], {.timeLimitMs = 60000},
                          [&] { return std::make_unique<CRenderProbeWindow>(argv[2]); });
  });
}
