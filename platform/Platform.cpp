#include "platform/Platform.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/SdlHost.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"

namespace {
std::atomic<CSdlHost*> g_running{nullptr};
}

int RunPlatform(const std::function<int()>& uiMain) {
  CSdlHost host;
  g_running.store(&host);
  SetWindowHost(&host);
  int result = 0;
  std::thread ui([&] {
    UiQueue().BindToCurrentThread();
    result = uiMain();
    host.RequestExit();
  });
  host.Run();
  ui.join();
  SetWindowHost(nullptr);
  g_running.store(nullptr);
  UiQueue().Shutdown();
  return result;
}

void ShowSystemMessageBox(std::u16string_view title, std::u16string_view text) {
  const std::string title8 = ToUtf8(title);
  const std::string text8 = ToUtf8(text);
  int shown = -1;
  auto show = [&] {
    shown = SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title8.c_str(), text8.c_str(), nullptr);
  };
  if (CSdlHost* host = g_running.load()) {
    host->Call(show, true);
  } else {
    show();
  }
  if (shown != 0) std::fprintf(stderr, "%s: %s\n", title8.c_str(), text8.c_str());
}
