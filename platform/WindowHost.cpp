#include "platform/WindowHost.h"

#include <atomic>

namespace {
std::atomic<IWindowHost*> g_host{nullptr};
}

IWindowHost* WindowHost() { return g_host.load(); }

void SetWindowHost(IWindowHost* host) { g_host.store(host); }

void SetWindowCursor(CursorShape shape) {
  if (IWindowHost* host = WindowHost()) host->SetCursor(shape);
}
