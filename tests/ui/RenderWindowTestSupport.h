#pragma once
// A headless render window with a few helpers, and a sprite that records the
// input that reaches it.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Clock.h"
#include "platform/HeadlessHost.h"
#include "platform/UiQueue.h"
#include "tests/ui/SpriteTestSupport.h"
#include "ui/RenderWindow.h"

// Records every input call as a line: "<name> <op> x,y [c]" where c marks
// the capture flag.
class CRecorder : public CProbe {
public:
  CRecorder(std::string spriteName, std::vector<std::string>* sharedLog, std::uint32_t fill = 0xFF808080u)
      : CProbe(fill), name(std::move(spriteName)), log(sharedLog) {}
  ~CRecorder() override {
    if (destroyed) *destroyed = true;
  }

  // Each records, then forwards as the base does.
  void OnMouseMove(Point p, std::uint32_t flags) override {
    Note("move", p, flags);
    CMessageSprite::OnMouseMove(p, flags);
  }
  void OnLButtonDown(Point p, std::uint32_t flags) override {
    Note("down", p, flags);
    CMessageSprite::OnLButtonDown(p, flags);
    if (onPress) onPress(*this);
  }
  void OnLButtonUp(Point p, std::uint32_t flags) override {
    Note("up", p, flags);
    CMessageSprite::OnLButtonUp(p, flags);
  }
  void OnRButtonDown(Point p, std::uint32_t flags) override {
    Note("rdown", p, flags);
    CMessageSprite::OnRButtonDown(p, flags);
  }
  void OnMouseWheel(Point p, std::int32_t delta) override {
    Write("wheel " + Text(p) + " " + std::to_string(delta));
    CMessageSprite::OnMouseWheel(p, delta);
  }
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t) override {
    Write("key " + std::to_string(key) + " " + std::to_string(repeat));
    if (onKey) onKey(*this, key);
  }
  void OnKeyUp(std::uint32_t key, std::uint32_t) override { Write("keyup " + std::to_string(key)); }
  void OnChar(std::uint32_t c, std::uint32_t, std::uint32_t) override { Write("char " + std::to_string(c)); }
  void OnCaptureReleased() override { Write("released"); }
  std::uint32_t OnDragOver(Point p) override {
    Write("dragover " + Text(p));
    return 1;
  }
  std::int32_t OnDrop(Point p, const CDropFileList& files) override {
    Write("drop " + Text(p) + " " + std::to_string(files.files.size()));
    return 1;
  }

  static std::string Text(Point p) { return std::to_string(p.x) + "," + std::to_string(p.y); }

  std::string name;
  std::vector<std::string>* log;
  bool* destroyed = nullptr;
  std::function<void(CRecorder&)> onPress;
  std::function<void(CRecorder&, std::uint32_t)> onKey;

private:
  void Note(const char* op, Point p, std::uint32_t flags) {
    Write(std::string(op) + " " + Text(p) + ((flags & kMouseFlagCaptured) ? " c" : ""));
  }
  void Write(const std::string& line) {
    if (log) log->push_back(name + " " + line);
  }
};

// A headless window of a given physical client size and dots per inch,
// created, active and measured by one frame.
class RenderWindowFixture : public ::testing::Test {
public:
  explicit RenderWindowFixture(Size client = {256, 192}, int dpi = 96) : host(client, dpi) {
    window.windowOptions.minimumSize = {0, 0};
    EXPECT_EQ(window.Create(), 1);
    host.Activate(true);
    UiQueue().RunUntilIdle();
    Frame();
  }

  void Frame() { window.RenderFrame(TickCount()); }
  void Run() { UiQueue().RunUntilIdle(); }

  // A top-level recorder owned by the window.
  CRecorder* AddTop(const std::string& name, const Rect& rect, std::int32_t layer,
                    std::uint32_t fill = 0xFF808080u) {
    auto* sprite = new CRecorder(name, &log, fill);
    EXPECT_TRUE(sprite->Create(nullptr, &window, 0, rect, layer));
    window.AddTopLevelSprite(sprite, true);
    return sprite;
  }
  // A child recorder owned by its parent.
  CRecorder* AddChild(CSprite* parent, const std::string& name, const Rect& rect,
                      std::uint32_t fill = 0xFF808080u) {
    auto* sprite = new CRecorder(name, &log, fill);
    EXPECT_TRUE(sprite->Create(parent, nullptr, 0, rect, 0));
    sprite->owned = 1;
    parent->AppendChild(sprite);
    return sprite;
  }
  std::vector<std::string> TakeLog() { return std::exchange(log, {}); }

  CHeadlessHost host;
  std::vector<std::string> log;
  CRenderWindow window;
};
