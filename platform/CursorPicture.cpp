#include "platform/CursorPicture.h"

#include <array>
#include <cstddef>
#include <mutex>
#include <optional>

namespace {

std::mutex g_lock;
std::optional<MonochromeCursor> g_openHand;
std::optional<MonochromeCursor> g_picker;
constexpr auto kFirstSelection = static_cast<std::size_t>(CursorShape::SelectPolygon);
constexpr auto kLastSelection = static_cast<std::size_t>(CursorShape::SelectDragSubtract);
std::array<std::optional<MonochromeCursor>, kLastSelection - kFirstSelection + 1> g_selection;
std::optional<MonochromeCursor> g_newRect;
std::optional<MonochromeCursor> g_previousPhoto;
std::optional<MonochromeCursor> g_nextPhoto;
std::optional<MonochromeCursor> g_rotate;

std::optional<MonochromeCursor>* PictureOf(CursorShape shape) {
  if (shape == CursorShape::OpenHand) return &g_openHand;
  if (shape == CursorShape::Picker) return &g_picker;
  const auto index = static_cast<std::size_t>(shape);
  if (index >= kFirstSelection && index <= kLastSelection) return &g_selection[index - kFirstSelection];
  if (shape == CursorShape::NewRect) return &g_newRect;
  if (shape == CursorShape::PreviousPhoto) return &g_previousPhoto;
  if (shape == CursorShape::NextPhoto) return &g_nextPhoto;
  if (shape == CursorShape::Rotate) return &g_rotate;
  return nullptr;
}

}  // namespace

bool DefineCursorPicture(CursorShape shape, const MonochromeCursor& picture) {
  std::optional<MonochromeCursor>* slot = PictureOf(shape);
  if (!slot) return false;
  if (picture.hotSpot.x < 0 || picture.hotSpot.x >= MonochromeCursor::kSide || picture.hotSpot.y < 0 ||
      picture.hotSpot.y >= MonochromeCursor::kSide) {
    return false;
  }
  std::lock_guard lock(g_lock);
  *slot = picture;
  return true;
}

bool GetCursorPicture(CursorShape shape, MonochromeCursor& picture) {
  std::optional<MonochromeCursor>* slot = PictureOf(shape);
  if (!slot) return false;
  std::lock_guard lock(g_lock);
  if (!*slot) return false;
  picture = **slot;
  return true;
}
