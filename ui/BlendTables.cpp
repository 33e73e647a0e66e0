#include "ui/BlendTables.h"

#include <atomic>
#include <mutex>
#include <new>

namespace {
std::mutex g_tablesLock;
std::atomic<BlendTables*> g_tables{nullptr};
}  // namespace

bool BuildBlendTables() {
  std::lock_guard lock(g_tablesLock);
  if (g_tables.load()) return true;
  auto* tables = new (std::nothrow) BlendTables;
  if (!tables) return false;
  for (int a = 0; a < 256; ++a) {
    for (int v = 0; v < 256; ++v) {
      tables->source[a][v] = static_cast<std::uint8_t>((127 + a * v) / 255);
      tables->destination[a][v] = static_cast<std::uint8_t>((127 + (255 - a) * v) / 255);
    }
  }
  g_tables.store(tables);
  return true;
}

void FreeBlendTables() {
  std::lock_guard lock(g_tablesLock);
  delete g_tables.exchange(nullptr);
}

const BlendTables* GetBlendTables() { return g_tables.load(); }
