#include "platform/CursorPicture.h"

#include <mutex>
#include <optional>

namespace {

std::mutex g_lock;
std::optional<MonochromeCursor> g_openHand;

}  // namespace

bool DefineCursorPicture(CursorShape shape, const MonochromeCursor& picture) {
  if (shape != CursorShape::OpenHand) return false;
  if (picture.hotSpot.x < 0 || picture.hotSpot.x >= MonochromeCursor::kSide || picture.hotSpot.y < 0 ||
      picture.hotSpot.y >= MonochromeCursor::kSide) {
    return false;
  }
  std::lock_guard lock(g_lock);
  g_openHand = picture;
  return true;
}

bool GetCursorPicture(CursorShape shape, MonochromeCursor& picture) {
  if (shape != CursorShape::OpenHand) return false;
  std::lock_guard lock(g_lock);
  if (!g_openHand) return false;
  picture = *g_openHand;
  return true;
}
