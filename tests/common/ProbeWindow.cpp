#include "tests/common/ProbeWindow.h"

#include <utility>

#include "platform/UiQueue.h"
#include "platform/WindowHost.h"
#include "platform/WindowMessages.h"
#include "tests/common/ProbeLog.h"
#include "ui/UIResources.h"

CProbeWindow::CProbeWindow(std::u16string title, Size size) {
  windowOptions.title = std::move(title);
  windowOptions.size = size;
  windowOptions.maximized = false;
}

void CProbeWindow::OnUiMessage(UiMessage& message) {
  if (message.message == WM_ACTIVATE) probe::Write("activate %u", static_cast<unsigned>(message.wparam));
  CRenderWindow::OnUiMessage(message);
}

void CProbeWindow::OnTimer(std::uint32_t id) {
  if (id == kTimeLimitTimer) {
    probe::Write("time limit");
    EndDialog(3);
  }
  CRenderWindow::OnTimer(id);
}

int RunProbeWindow(const char* logPath, const ProbeRunOptions& options,
                   const std::function<std::unique_ptr<CProbeWindow>()>& make) {
  if (!probe::OpenLog(logPath, options.stamped)) return 2;
  int code = 2;
  if (options.loadResources && !UIResources().Init(u"")) {
    probe::Write("no resources");
  } else {
    const std::unique_ptr<CProbeWindow> window = make();
    if (window->Create() && window->Build()) {
      window->SetRenderReady();
      UiQueue().SetTimer(CProbeWindow::kTimeLimitTimer, options.timeLimitMs);
      if (options.readyWithSize) {
        const Size physical = WindowHost()->GetClientSize();
        probe::Write("ready %d %d %g", physical.width, physical.height, window->scale);
      } else {
        probe::Write("ready");
      }
      code = window->RunModal();
    } else {
      probe::Write("no window");
    }
  }
  probe::Write("exit %d", code);
  probe::CloseLog();
  return code;
}
