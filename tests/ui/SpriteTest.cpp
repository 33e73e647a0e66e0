#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/HeadlessHost.h"
#include "tests/ui/SpriteTestSupport.h"
#include "ui/BlendTables.h"
#include "ui/LiveObjectRegistry.h"

namespace {

class SpriteTest : public ::testing::Test {
protected:
  SpriteTest() { EXPECT_TRUE(BuildBlendTables()); }
  CHeadlessHost host;
  CRecordingWindow window;
};

TEST_F(SpriteTest, InvalidateAreaMarksAncestorsAndWindowTiles) {
  struct Case {
    const char* name;
    Rect area;
    std::vector<Rect> expected;  // window marks, window coordinates
  };
  const Case cases[] = {
      {"empty = whole sprite", {5, 5, 5, 9}, {{10, 20, 110, 90}}},
      {"inside", {50, 30, 60, 40}, {{60, 50, 70, 60}}},
      {"right of the tiles", {128, 0, 140, 10}, {}},
      {"below the tiles", {0, 128, 10, 140}, {}},
      {"right edge -127", {-200, 0, -127, 10}, {}},
      {"right edge -126 marks only the window", {-200, 0, -126, 10}, {{-190, 20, -116, 30}}},
      {"right edge 0", {-200, 0, 0, 10}, {{-190, 20, 10, 30}}},
  };
  CProbe sprite;
  ASSERT_TRUE(sprite.Create(nullptr, &window, 1, {10, 20, 110, 90}, 2));
  EXPECT_EQ(sprite.tileColumns, 2);
  EXPECT_EQ(sprite.tileRows, 2);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    window.marks.clear();
    sprite.InvalidateArea(c.area, 1);
    EXPECT_EQ(window.marks, c.expected);
  }

  // A grandchild's invalidation climbs to the window in window coordinates.
  CProbe child, grandchild;
  ASSERT_TRUE(child.Create(&sprite, nullptr, 2, {5, 5, 45, 45}, 0));
  ASSERT_TRUE(grandchild.Create(&child, nullptr, 3, {3, 4, 13, 14}, 0));
  sprite.AppendChild(&child);
  child.AppendChild(&grandchild);
  window.marks.clear();
  grandchild.InvalidateArea({1, 1, 2, 2}, 0);
  EXPECT_EQ(window.marks, (std::vector<Rect>{{19, 30, 20, 31}}));

  // No tile map (an empty rectangle): nothing at all.
  CProbe empty;
  ASSERT_TRUE(empty.Create(nullptr, &window, 4, {0, 0, 0, 0}, 0));
  window.marks.clear();
  empty.InvalidateArea({0, 0, 10, 10}, 1);
  EXPECT_TRUE(window.marks.empty());
}

TEST_F(SpriteTest, CompositionBlendsWithTheTables) {
  CProbe sprite;
  ASSERT_TRUE(sprite.Create(nullptr, &window, 1, {0, 0, 4, 1}, 0));
  std::uint8_t* p = sprite.surface.pixels;
  const std::uint8_t source[16] = {10, 20, 30, 255, 200, 100, 50, 128, 9, 9, 9, 0, 255, 255, 255, 255};
  std::copy(std::begin(source), std::end(source), p);
  CBgraImage target;
  ASSERT_TRUE(target.Create(4, 1));
  FillImage(target, 0x4D646464);  // B = G = R = 100, alpha 77
  sprite.Composite(target, {0, 0, 4, 1}, {0, 0, 4, 1});
  // Opaque: all four bytes copied. Alpha 128: w = 128, colour S[128][s] +
  // D[128][d], the target's alpha kept. Alpha 0: untouched.
  EXPECT_EQ(PixelAt(target, 0, 0), 0xFF1E140Au);
  EXPECT_EQ(PixelAt(target, 1, 0), 0x4D4B6496u);  // B 150, G 100, R 75
  EXPECT_EQ(PixelAt(target, 2, 0), 0x4D646464u);
  EXPECT_EQ(PixelAt(target, 3, 0), 0xFFFFFFFFu);

  // XOR: white over white gives (almost) black, dark pixels blend normally,
  // a nearly transparent pixel (alpha x weight <= 255) is skipped.
  sprite.xorBlend = 1;
  const std::uint8_t overlay[16] = {255, 255, 255, 255, 0, 0, 100, 255, 0, 0, 0, 1, 255, 255, 255, 255};
  std::copy(std::begin(overlay), std::end(overlay), p);
  FillImage(target, 0xFFFFFFFF);
  sprite.Composite(target, {0, 0, 4, 1}, {0, 0, 4, 1});
  EXPECT_EQ(PixelAt(target, 0, 0), 0xFF010101u);
  EXPECT_EQ(PixelAt(target, 1, 0), 0xFF650101u);  // R = S[254][100] + D[254][255] = 101
  EXPECT_EQ(PixelAt(target, 2, 0), 0xFFFFFFFFu);
}

// Runs of opaque pixels are copied at once; every pixel must still come out
// as the per-pixel rule gives it, at full and at partial sprite alpha.
TEST_F(SpriteTest, RowsOfMixedAlphaBlendPixelByPixel) {
  const std::uint8_t alphas[] = {255, 255, 255, 128, 0, 255, 1, 254, 255, 255, 0, 0, 77, 255};
  constexpr std::int32_t n = sizeof alphas;
  CProbe sprite;
  ASSERT_TRUE(sprite.Create(nullptr, &window, 1, {0, 0, n, 1}, 0));
  for (std::uint32_t x = 0; x < n; ++x) {
    std::uint8_t* p = sprite.surface.At(x, 0);
    p[0] = static_cast<std::uint8_t>(17 * x);
    p[1] = static_cast<std::uint8_t>(255 - 9 * x);
    p[2] = static_cast<std::uint8_t>(40 + x);
    p[3] = alphas[x];
  }
  const BlendTables& t = *GetBlendTables();
  for (const std::int32_t spriteAlpha : {255, 200, 0}) {
    SCOPED_TRACE(spriteAlpha);
    sprite.alpha = spriteAlpha;
    CBgraImage target;
    ASSERT_TRUE(target.Create(n, 1));
    FillImage(target, 0x30507090);
    sprite.Composite(target, {0, 0, n, 1}, {0, 0, n, 1});
    for (std::uint32_t x = 0; x < n; ++x) {
      const std::uint8_t* s = sprite.surface.At(x, 0);
      const std::uint8_t d[4] = {0x90, 0x70, 0x50, 0x30};
      const std::uint8_t w = t.source[spriteAlpha][s[3]];
      std::uint8_t expected[4] = {d[0], d[1], d[2], d[3]};
      if (w == 255) std::copy(s, s + 4, expected);
      if (w != 0 && w != 255) {
        for (int c = 0; c < 3; ++c)
          expected[c] = static_cast<std::uint8_t>(t.source[w][s[c]] + t.destination[w][d[c]]);
      }
      EXPECT_TRUE(std::equal(expected, expected + 4, target.At(x, 0))) << x;
    }
  }
}

TEST_F(SpriteTest, NestedAlphaMultipliesAndChildrenOutsideTheParentAreComposed) {
  CProbe parent(0x00000000), child(0xFFFFFFFF);
  ASSERT_TRUE(parent.Create(nullptr, &window, 1, {10, 10, 14, 14}, 0));
  ASSERT_TRUE(child.Create(&parent, nullptr, 2, {2, 2, 8, 8}, 0));  // reaches 6 pixels past the parent
  parent.AppendChild(&child);
  parent.alpha = 128;
  child.alpha = 128;
  EXPECT_EQ(child.GetEffectiveAlpha(), 64);
  ASSERT_TRUE(parent.UpdateSurface(1000));
  CBgraImage back;
  ASSERT_TRUE(back.Create(24, 24));
  FillImage(back, 0xFF000000);
  parent.Composite(back, Rect{0, 0, 24, 24});
  // White at effective alpha 64 over black: S[64][255] + D[64][0] = 64.
  EXPECT_EQ(PixelAt(back, 12, 12), 0xFF404040u);
  EXPECT_EQ(PixelAt(back, 17, 17), 0xFF404040u);  // outside the parent, still drawn
  EXPECT_EQ(PixelAt(back, 11, 11), 0xFF000000u);  // the parent's transparent pixels
  EXPECT_EQ(PixelAt(back, 18, 18), 0xFF000000u);

  // Image mode clips at the surface and at the target, moving the destination.
  CBgraImage small;
  ASSERT_TRUE(small.Create(3, 3));
  FillImage(small, 0);
  child.alpha = 255;
  parent.alpha = 255;
  child.Composite(small, {0, 0, 6, 6}, {0, 0, 6, 6});  // local (-2,-2)..(4,4) becomes (0,0)..(4,4) at (2,2)
  EXPECT_EQ(PixelAt(small, 1, 1), 0u);
  EXPECT_EQ(PixelAt(small, 2, 2), 0xFFFFFFFFu);
}

TEST_F(SpriteTest, UpdateSurfaceDrawsDirtySpritesAndSkipsHiddenChildren) {
  CProbe parent(0xFF0000FF), hidden(0xFF00FF00);
  ASSERT_TRUE(parent.Create(nullptr, &window, 1, {0, 0, 8, 8}, 0));
  ASSERT_TRUE(hidden.Create(&parent, nullptr, 2, {0, 0, 4, 4}, 0));
  parent.AppendChild(&hidden);
  hidden.visible = 0;
  EXPECT_TRUE(parent.UpdateSurface(1000));
  EXPECT_FALSE(parent.dirty);
  EXPECT_FALSE(parent.UpdateSurface(1030));  // nothing changed
  EXPECT_EQ(hidden.draws, 0);
  EXPECT_EQ(hidden.changedThisFrame, 0);
  EXPECT_TRUE(parent.UpdateSurface(0));  // time 0 repaints a clean sprite
  EXPECT_EQ(hidden.draws, 0);

  // A change marked while Draw runs is kept for the next frame.
  parent.setDirtyWhileDrawing = true;
  parent.dirty = 1;
  EXPECT_TRUE(parent.UpdateSurface(1060));
  EXPECT_TRUE(parent.dirty);
}

TEST_F(SpriteTest, HitTestingCoordinatesAndVisibility) {
  CProbe root, a, b, plain;
  ASSERT_TRUE(root.Create(nullptr, &window, 1, {100, 50, 300, 250}, 0));
  for (CProbe* s : {&a, &b, &plain}) {
    ASSERT_TRUE(s->Create(&root, nullptr, 2, {10, 10, 60, 60}, 0));
    root.AppendChild(s);
  }
  EXPECT_EQ(root.HitTestChild({20, 20}), &plain);  // the last child lies on top
  plain.closing = 1;
  EXPECT_EQ(root.HitTestChild({20, 20}), &b);
  b.visible = 0;
  EXPECT_EQ(root.HitTestChild({20, 20}), &a);
  EXPECT_EQ(root.HitTestChild({60, 20}), nullptr);  // right edge exclusive
  EXPECT_EQ(a.PointToWindow({1, 2}), (Point{111, 62}));
  EXPECT_EQ(a.RectFromWindow({111, 62, 121, 72}), (Rect{1, 2, 11, 12}));

  // A parent that is gone no longer hides its child.
  root.visible = 0;
  EXPECT_FALSE(a.IsShown());
  UnregisterObject(root.key);
  EXPECT_TRUE(a.IsShown());
}

TEST_F(SpriteTest, PressesThroughTheCaptureAreNotForwarded) {
  CProbe container, child;
  ASSERT_TRUE(container.Create(nullptr, &window, 1, {0, 0, 100, 100}, 0));
  ASSERT_TRUE(child.Create(&container, nullptr, 2, {10, 10, 30, 30}, 0));
  container.AppendChild(&child);
  container.OnLButtonDown({15, 16}, 0);
  EXPECT_EQ(child.presses, (std::vector<Point>{{5, 6}}));
  container.OnLButtonDown({15, 16}, kMouseFlagCaptured);
  EXPECT_EQ(child.presses.size(), 1u);
  container.OnMouseMove({15, 16}, kMouseFlagCaptured);  // moves always go down
  EXPECT_EQ(child.moves, (std::vector<Point>{{5, 6}}));
}

TEST_F(SpriteTest, DestroyIsIdempotentAndOwnsOnlyOwnedChildren) {
  static int deleted = 0;
  struct COwned final : CProbe {
    ~COwned() override { ++deleted; }
  };
  struct CPanel final : CProbe {
    CProbe member;  // dies before the panel's base walks its children
  };
  auto panel = std::make_unique<CPanel>();
  ASSERT_TRUE(panel->Create(nullptr, &window, 1, {0, 0, 50, 50}, 0));
  ASSERT_TRUE(panel->member.Create(panel.get(), nullptr, 2, {0, 0, 10, 10}, 0));
  panel->AppendChild(&panel->member);
  auto* owned = new COwned;
  ASSERT_TRUE(owned->Create(panel.get(), nullptr, 3, {0, 0, 10, 10}, 0));
  owned->owned = 1;
  panel->AppendChild(owned);
  CProbe loose;
  ASSERT_TRUE(loose.Create(panel.get(), nullptr, 4, {0, 0, 10, 10}, 0));
  panel->AppendChild(&loose);

  panel->Destroy(1);
  panel->Destroy(1);
  EXPECT_EQ(deleted, 1);
  EXPECT_TRUE(panel->children.empty());
  EXPECT_EQ(loose.parent, nullptr);
  EXPECT_TRUE(panel->surface.IsEmpty());

  // A member child still in the list when its parent dies leaves it first.
  CPanel second;
  ASSERT_TRUE(second.Create(nullptr, &window, 5, {0, 0, 10, 10}, 0));
  ASSERT_TRUE(second.member.Create(&second, nullptr, 6, {0, 0, 5, 5}, 0));
  second.AppendChild(&second.member);
}

// A widget-like child: a virtual Draw that reads a member of the derived
// part and asks to be drawn every frame.
class CShadedChild final : public CSprite {
public:
  bool Draw(std::uint32_t) override {
    ++draws;
    redrawAgain = 1;
    for (std::uint32_t i = 0; i < surface.pixelCount; ++i)
      std::memcpy(surface.pixels + 4 * i, &shade[i % shade.size()], 4);
    InvalidateArea({}, 1);
    return true;
  }
  std::vector<std::uint32_t> shade = std::vector<std::uint32_t>(16, 0xFF336699u);
  std::atomic<int> draws{0};
};

// The render thread updates and composes a parent, as a frame does, while the
// UI thread destroys its children, owned and unowned. Under ThreadSanitizer
// this is clean only when a child leaves the list before any part of it is
// destroyed.
TEST_F(SpriteTest, ChildrenAreDestroyedWhileTheRenderThreadComposesTheirParent) {
  CProbe parent(0xFF000000);
  // No window: the recording window is not made for two threads.
  ASSERT_TRUE(parent.Create(nullptr, nullptr, 1, {0, 0, 64, 64}, 0));
  // Joined however the test ends.
  std::jthread render([&](std::stop_token stop) {
    CBgraImage back;
    if (!back.Create(64, 64)) return;
    for (std::uint32_t now = 1; !stop.stop_requested(); ++now) {
      parent.UpdateSurface(now);
      std::lock_guard guard(parent.lock);  // as the window's tile composition holds it
      parent.Composite(back, Rect{0, 0, 64, 64});
    }
  });
  const auto drawnTwice = [](const CShadedChild& child) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (child.draws < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    return child.draws >= 2;
  };
  for (std::int32_t round = 0; round < 30; ++round) {
    SCOPED_TRACE(round);
    auto* owned = new CShadedChild;
    ASSERT_TRUE(owned->Create(&parent, nullptr, 2, {4, 4, 36, 36}, 0));
    owned->owned = 1;
    parent.AppendChild(owned);
    CShadedChild unowned;
    ASSERT_TRUE(unowned.Create(&parent, nullptr, 3, {20, 20, 60, 60}, 0));
    parent.AppendChild(&unowned);
    EXPECT_TRUE(drawnTwice(*owned));
    EXPECT_TRUE(drawnTwice(unowned));
    EXPECT_TRUE(parent.DestroyChild(owned));
    EXPECT_TRUE(parent.DestroyChild(&unowned));
    EXPECT_EQ(unowned.parent, nullptr);
    EXPECT_TRUE(unowned.surface.IsEmpty());
    EXPECT_FALSE(parent.DestroyChild(&unowned));  // no longer a child: nothing happens
  }
  render.request_stop();
  render.join();
  EXPECT_TRUE(parent.children.empty());
}

TEST_F(SpriteTest, CreatingAgainEndsTheEarlierRegistration) {
  CProbe sprite;
  ASSERT_TRUE(sprite.Create(nullptr, &window, 1, {0, 0, 8, 8}, 0));
  const std::int32_t first = sprite.key;
  ASSERT_TRUE(sprite.Create(nullptr, &window, 1, {0, 0, 16, 8}, 0));
  EXPECT_NE(sprite.key, first);
  EXPECT_FALSE(IsObjectKeyAlive(first));
  EXPECT_TRUE(IsObjectKeyAlive(sprite.key));
  EXPECT_EQ(sprite.tileColumns, 1);
  EXPECT_EQ(sprite.surface.width, 16u);
}

TEST_F(SpriteTest, FocusableSpritesAreCollectedDepthFirst) {
  CProbe root, a, a1, b, hidden;
  ASSERT_TRUE(root.Create(nullptr, &window, 1, {0, 0, 100, 100}, 0));
  for (auto [s, p] : std::initializer_list<std::pair<CProbe*, CProbe*>>{
           {&a, &root}, {&a1, &a}, {&b, &root}, {&hidden, &root}}) {
    ASSERT_TRUE(s->Create(p, nullptr, 0, {0, 0, 10, 10}, 0));
    p->AppendChild(s);
    s->focusable = true;
  }
  hidden.visible = 0;
  std::vector<CMessageSprite*> list;
  root.CollectFocusable(list);
  EXPECT_EQ(list, (std::vector<CMessageSprite*>{&a, &a1, &b}));
}

}  // namespace
