#include "ui/SpriteWindow.h"

#include <atomic>

namespace {
std::atomic<ISpriteWindow*> g_liveWindow{nullptr};
}

ISpriteWindow* LiveSpriteWindow() { return g_liveWindow.load(); }

void SetLiveSpriteWindow(ISpriteWindow* window) { g_liveWindow.store(window); }
