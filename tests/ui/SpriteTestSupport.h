#pragma once
// Small sprites and a recording window for the sprite tests.

#include <cstdint>
#include <thread>
#include <vector>

#include "ui/MessageSprite.h"
#include "ui/SpriteWindow.h"

// Records the window tiles sprites mark; live while it exists.
class CRecordingWindow final : public ISpriteWindow {
public:
  CRecordingWindow() { SetLiveSpriteWindow(this); }
  ~CRecordingWindow() { SetLiveSpriteWindow(nullptr); }
  void MarkWindowTiles(const Rect& rect) override { marks.push_back(rect); }
  void RemoveKeyShortcuts(CSprite* sprite) override { removed.push_back(sprite); }
  std::vector<Rect> marks;
  std::vector<CSprite*> removed;
};

// An input sprite painted in one colour, recording what reaches it.
class CProbe : public CMessageSprite {
public:
  explicit CProbe(std::uint32_t fill = 0) : colour(fill) {}

  bool Draw(std::uint32_t) override {
    ++draws;
    if (!dirty) return false;
    if (setDirtyWhileDrawing) dirty = 1;  // as the UI thread may do meanwhile
    for (std::uint32_t i = 0; i < surface.pixelCount; ++i) {
      std::uint8_t* p = surface.pixels + 4 * i;
      p[0] = colour & 0xFF;
      p[1] = (colour >> 8) & 0xFF;
      p[2] = (colour >> 16) & 0xFF;
      p[3] = colour >> 24;
    }
    InvalidateArea({}, 1);
    return true;
  }
  bool OnSpriteMessage(const SpriteMessage& message) override {
    codes.push_back(message.code);
    threads.push_back(std::this_thread::get_id());
    return CMessageSprite::OnSpriteMessage(message);
  }
  void OnLButtonDown(Point point, std::uint32_t flags) override {
    presses.push_back(point);
    CMessageSprite::OnLButtonDown(point, flags);
  }
  void OnMouseMove(Point point, std::uint32_t flags) override {
    moves.push_back(point);
    CMessageSprite::OnMouseMove(point, flags);
  }
  bool CanTakeFocus() override { return focusable; }

  std::uint32_t colour;
  bool setDirtyWhileDrawing = false;
  bool focusable = false;
  int draws = 0;
  std::vector<std::int32_t> codes;
  std::vector<std::thread::id> threads;
  std::vector<Point> presses;
  std::vector<Point> moves;
};

// BGRA bytes of a pixel packed as the tests write them: 0xAARRGGBB.
inline std::uint32_t PixelAt(const CBgraImage& image, std::uint32_t x, std::uint32_t y) {
  const std::uint8_t* p = image.At(x, y);
  return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
}

inline void FillImage(CBgraImage& image, std::uint32_t colour) {
  for (std::uint32_t y = 0; y < image.height; ++y) {
    for (std::uint32_t x = 0; x < image.width; ++x) {
      std::uint8_t* p = image.At(x, y);
      p[0] = colour & 0xFF;
      p[1] = (colour >> 8) & 0xFF;
      p[2] = (colour >> 16) & 0xFF;
      p[3] = colour >> 24;
    }
  }
}
