#include "platform/SystemMessage.h"

#include <atomic>
#include <cstdio>
#include <string>

#include "platform/Utf16.h"

namespace {

std::atomic<SystemMessageHandler> g_handler{nullptr};

}  // namespace

void ShowSystemMessage(std::u16string_view text) {
  if (const SystemMessageHandler handler = g_handler.load()) {
    handler(text);
    return;
  }
  const std::string line = "Tessera: " + ToUtf8(text) + "\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

void SetSystemMessageHandler(SystemMessageHandler handler) { g_handler.store(handler); }
