// A small program for the end-to-end window test. It opens the real window
// through the platform layer, paints it, writes every message the UI thread
// receives to a log file, and ends on WM_CLOSE (or after 30 s at the latest).
// Text input is off until the key A has been released.
//
//   window_probe LOG          run, logging to LOG
//   window_probe --close ID   ask window ID to close, as a window manager does

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/UiQueue.h"
#include "platform/WindowHost.h"
#include "platform/WindowMessages.h"
#include "tests/common/ProbeLog.h"
#include "tests/platform/e2e/CloseRequest.h"

namespace {

constexpr std::uint32_t kTimeLimitTimer = 1;

using probe::Write;

class CLogger final : public IUiMessageHandler {
public:
  void OnUiMessage(UiMessage& m) override {
    switch (m.message) {
      case WM_LBUTTONDOWN:
        Write("down %d %d %u", m.point.x, m.point.y, Flags(m));
        break;
      case WM_LBUTTONUP:
        Write("up %d %d %u", m.point.x, m.point.y, Flags(m));
        break;
      case WM_KEYDOWN:
        Write("key %u", static_cast<unsigned>(m.wparam));
        break;
      case WM_KEYUP:
        Write("keyup %u", static_cast<unsigned>(m.wparam));
        // Text input starts off: the first key types nothing; after A it is on.
        if (m.wparam == 'A' && WindowHost()) {
          WindowHost()->SetTextInputActive(true);
          Write("text input on");
        }
        break;
      case WM_CHAR:
        Write("char %u", static_cast<unsigned>(m.wparam));
        break;
      case WM_ACTIVATE:
        Write("activate %u", static_cast<unsigned>(m.wparam));
        break;
      case WM_CLOSE:
        Write("close");
        UiQueue().PostQuit(0);
        break;
      case WM_TIMER:
        if (m.wparam == kTimeLimitTimer) {
          Write("time limit");
          UiQueue().PostQuit(3);
        }
        break;
      default:
        break;
    }
  }

private:
  static unsigned Flags(const UiMessage& m) { return static_cast<unsigned>(m.wparam); }
};

int RunProbe(const char* logPath) {
  if (!probe::OpenLog(logPath)) return 2;
  CLogger logger;
  IWindowHost* host = WindowHost();
  WindowOptions options;
  options.title = u"Tessera probe";
  options.size = {320, 240};
  options.maximized = false;
  int code = 2;
  if (host && host->CreateMainWindow(options)) {
    const Size size = host->GetClientSize();
    const std::vector<std::uint32_t> picture(static_cast<std::size_t>(size.width) * size.height, 0xFF2040C0u);
    host->BlitPixels({0, 0}, size, picture.data(), size.width);
    host->Present();
    UiQueue().SetHandler(&logger);
    UiQueue().SetTimer(kTimeLimitTimer, 30000);
    Write("ready %d %d", size.width, size.height);
    code = UiQueue().RunMessageLoop();
    UiQueue().SetHandler(nullptr);
    host->DestroyMainWindow();
  } else {
    Write("no window");
  }
  Write("exit %d", code);
  probe::CloseLog();
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--close") == 0)
    return SendCloseRequest(std::strtoul(argv[2], nullptr, 10));
  if (argc != 2) {
    std::fprintf(stderr, "usage: window_probe LOG | window_probe --close WINDOW\n");
    return 2;
  }
  return RunPlatform([&] { return RunProbe(argv[1]); });
}
