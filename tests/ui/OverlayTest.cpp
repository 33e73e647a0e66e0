// The overlay sprite's picture and drawer, and the brush cursor that clears
// itself on its 31st frame.

#include <mutex>

#include "tests/ui/WidgetTestSupport.h"
#include "ui/widgets/CursorSprite.h"

namespace {

// Paints its pixel (1, 1) and remembers what it was given.
class CDotDrawer final : public ISOverlayDraw {
public:
  void DrawOverlay(CBgraImage& target, std::uint32_t frameTime) override {
    SetPixel(target, 1, 1, 0xFF00FF00u);
    size = {static_cast<std::int32_t>(target.width), static_cast<std::int32_t>(target.height)};
    time = frameTime;
    ++calls;
  }
  Size size;
  std::uint32_t time = 0;
  int calls = 0;
};

class OverlayTest : public WidgetFixture {
public:
  template <typename Sprite>
  Sprite* Add() {
    auto* sprite = new Sprite;
    EXPECT_TRUE(sprite->Create(parent, nullptr, 0, {10, 10, 30, 30}, 0));
    sprite->owned = 1;
    parent->AppendChild(sprite);
    return sprite;
  }
  static std::uint32_t Pixel(CSprite* sprite, std::uint32_t x, std::uint32_t y) {
    std::lock_guard guard(sprite->lock);
    return PixelAt(sprite->surface, x, y);
  }
};

TEST_F(OverlayTest, APictureFirstElseTheDrawer) {
  auto* overlay = Add<CSOverlay>();
  const CBgraImage picture = FilledImage(10, 10, 0xFFFF0000u);
  CDotDrawer drawer;
  overlay->SetContent(&picture, &drawer);
  Frame();
  EXPECT_EQ(Pixel(overlay, 5, 5), 0xFFFF0000u);
  EXPECT_EQ(Pixel(overlay, 15, 15), 0u) << "transparent beyond the picture";
  EXPECT_EQ(drawer.calls, 0);
  overlay->SetContent(nullptr, &drawer);
  Frame();
  EXPECT_EQ(drawer.calls, 1);
  EXPECT_EQ(drawer.size, (Size{20, 20}));
  EXPECT_EQ(drawer.time, TickCount());
  EXPECT_EQ(Pixel(overlay, 1, 1), 0xFF00FF00u);
  EXPECT_EQ(Pixel(overlay, 5, 5), 0u) << "cleared before each drawing";
  Frame();
  EXPECT_EQ(drawer.calls, 1) << "drawn only when dirty";
  overlay->SetContent(nullptr, nullptr);
  Frame();
}

TEST_F(OverlayTest, TheCursorPictureIsClearedOnItsThirtyFirstFrame) {
  auto* cursor = Add<CCursorSprite>();
  const CBgraImage picture = FilledImage(4, 4, 0xFFFFFFFFu);
  auto show = [&] {
    {
      std::lock_guard guard(cursor->lock);
      cursor->hotSpot = {2, 2};
    }
    cursor->SetContent(&picture, nullptr);
  };
  show();
  for (int frame = 1; frame <= 30; ++frame) Frame();
  EXPECT_EQ(cursor->picture, &picture);
  EXPECT_EQ(Pixel(cursor, 1, 1), 0xFFFFFFFFu);
  Frame();
  EXPECT_EQ(cursor->picture, nullptr) << "the 31st frame";
  EXPECT_EQ(cursor->hotSpot, (Point{0, 0}));
  EXPECT_EQ(cursor->framesShown, 0);
  EXPECT_EQ(Pixel(cursor, 1, 1), 0u);
  // An owner that keeps resetting the count keeps its picture.
  show();
  for (int frame = 1; frame <= 100; ++frame) {
    if (frame % 20 == 0) cursor->framesShown = 0;
    Frame();
  }
  EXPECT_EQ(cursor->picture, &picture);
  cursor->SetContent(nullptr, nullptr);
}

}  // namespace
