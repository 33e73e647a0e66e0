#pragma once
// For the widget tests: a parent sprite that records the sprite messages its
// children post, a fake of the window operations, and small pixel helpers.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/ui/RenderWindowTestSupport.h"
#include "tests/ui/SkinTestSupport.h"
#include "ui/widgets/WindowOperations.h"

struct Note {
  std::int32_t code;
  std::uint64_t wparam;
  std::uint64_t lparam;
  bool operator==(const Note&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Note& note) {
  return out << "{" << note.code << ", " << note.wparam << ", " << note.lparam << "}";
}

// An input sprite that keeps every sprite message it receives.
class CNoteTaker : public CProbe {
public:
  using CProbe::CProbe;
  bool OnSpriteMessage(const SpriteMessage& message) override {
    notes.push_back({message.code, message.wparam, message.lparam});
    return CProbe::OnSpriteMessage(message);
  }
  std::vector<Note> Take() { return std::exchange(notes, {}); }
  std::vector<Note> notes;
};

// The native window as the frame sees it, in memory.
class CFakeWindowOperations final : public IWindowOperations {
public:
  Rect GetWindowRect() override { return window; }
  Point GetCursorScreenPos() override { return cursor; }
  void MoveWindow(const Rect& rect) override {
    moves.push_back(rect);
    window = rect;
  }
  void ShowWindowState(WindowShow show) override { shows.push_back(show); }
  void RequestClose() override { ++closes; }
  Point PhysicalOffset(Point logical) override {
    return {static_cast<std::int32_t>(logical.x * scale), static_cast<std::int32_t>(logical.y * scale)};
  }

  Rect window{100, 50, 1300, 850};
  Point cursor;
  double scale = 1.0;
  std::vector<Rect> moves;
  std::vector<WindowShow> shows;
  int closes = 0;
};

// A render window fixture with the test font pinned and one input sprite
// covering the window at layer 2, to be the parent of the widgets.
class WidgetFixture : public RenderWindowFixture {
public:
  explicit WidgetFixture(Size client = {256, 192}, int dpi = 96) : RenderWindowFixture(client, dpi) {
    parent = new CNoteTaker(0xFF202020u);
    const Size logical = window.LogicalSize();
    EXPECT_TRUE(parent->Create(nullptr, &window, 0, {0, 0, logical.width, logical.height}, 2));
    window.AddTopLevelSprite(parent, true);
  }
  std::size_t TopLevelCount() {
    std::lock_guard guard(window.windowLock);
    return window.topLevel.size();
  }

  PinnedTestFont font;
  CNoteTaker* parent = nullptr;
};
