// The focus mark's fade and its disappearance, the click wave's 500 ms, the
// fade effect's 11 frames and glow, and the dimming layer's grey.

#include <mutex>

#include "tests/ui/WidgetTestSupport.h"
#include "ui/UIResources.h"
#include "ui/widgets/ClickWave.h"
#include "ui/widgets/SFadeEffect.h"

namespace {

using EffectsTest = RenderWindowFixture;

TEST_F(EffectsTest, TheKeyboardFocusMarkFadesToThirtyTwo) {
  CRecorder* field = AddTop("field", {20, 20, 100, 80}, 2);
  field->focusable = true;
  Frame();
  host.KeyPress(VK_TAB);
  Run();
  ASSERT_EQ(window.FocusSprite(), field);
  EXPECT_EQ(window.focusIndicator.alpha, 255);
  std::vector<std::int32_t> alphas;
  for (int i = 0; i < 20; ++i) {
    Frame();
    alphas.push_back(window.focusIndicator.alpha);
  }
  const std::vector<std::int32_t> expected = {243, 231, 219, 207, 195, 183, 171, 159, 147, 135,
                                              123, 111, 99,  87,  75,  63,  51,  39,  32,  32};
  EXPECT_EQ(alphas, expected);
  // Over a control larger than 40 x 40 it shows "kbd.png" at (1, 1).
  const CBgraImage& mark = window.focusIndicator.image;
  std::lock_guard guard(window.focusIndicator.lock);
  const CBgraImage& surface = window.focusIndicator.surface;
  ASSERT_EQ(surface.width, 80u);
  for (std::uint32_t y = 0; y < mark.height; ++y) {
    for (std::uint32_t x = 0; x < mark.width; ++x) {
      if (mark.At(x, y)[3] == 255) {
        ASSERT_EQ(PixelAt(surface, x + 1, y + 1), PixelAt(mark, x, y)) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(PixelAt(surface, 0, 0), 0u);
  EXPECT_EQ(PixelAt(surface, 40, 40), 0u);
}

TEST_F(EffectsTest, TheFocusMarkGoesWithItsTargetOrTheTargetsParent) {
  CRecorder* page = AddTop("page", {0, 0, 200, 150}, 2);
  CRecorder* field = AddChild(page, "field", {20, 20, 100, 80});
  CRecorder* other = AddTop("other", {210, 20, 250, 60}, 2);
  field->focusable = true;
  other->focusable = true;
  Frame();
  struct Case {
    const char* name;
    std::function<void()> hide;
    std::function<void()> show;
  };
  const Case cases[] = {
      {"the target hidden", [&] { field->visible = 0; }, [&] { field->visible = 1; }},
      {"its parent hidden", [&] { page->visible = 0; }, [&] { page->visible = 1; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    window.SetFocusSprite(other, 1);
    window.SetFocusSprite(field, 1);
    Frame();
    ASSERT_TRUE(window.focusIndicator.visible);
    c.hide();
    Frame();
    EXPECT_FALSE(window.focusIndicator.visible) << "gone in the next frame";
    EXPECT_EQ(window.focusIndicator.alpha, 0);
    c.show();
  }
}

TEST_F(EffectsTest, AClickWaveSpreadsAndIsGoneAt500Ms) {
  host.MouseMove({64, 64});
  Run();
  window.SpawnClickWave();
  CClickWave* wave = nullptr;
  {
    std::lock_guard guard(window.windowLock);
    wave = dynamic_cast<CClickWave*>(window.topLevel.back());
  }
  ASSERT_NE(wave, nullptr);
  EXPECT_EQ(wave->rect, (Rect{-36, -36, 164, 164}));
  EXPECT_EQ(wave->layer, kClickWaveLayer);
  auto ring = [&](std::uint32_t x) {
    std::lock_guard guard(wave->lock);
    return PixelAt(wave->surface, x, 100);
  };
  Frame();
  EXPECT_EQ(ring(100 + 5), 0x3FFFFFFFu) << "alpha 63 at first, the outer radius 10";
  EXPECT_EQ(ring(100 + 15), 0u);
  host.AdvanceClock(250);
  Frame();
  EXPECT_EQ(ring(100 + 45), 0x1FFFFFFFu) << "half way: alpha 31, between the radii 35 and 55";
  EXPECT_EQ(ring(100 + 30), 0u);
  host.AdvanceClock(249);
  Frame();
  EXPECT_TRUE(window.IsTopLevelSprite(wave));
  host.AdvanceClock(1);
  Frame();
  EXPECT_FALSE(window.IsTopLevelSprite(wave)) << "closed at 500 ms";
  Run();
}

TEST_F(EffectsTest, TheFadeEffectGlowsForElevenFramesAndCloses) {
  CBgraImage picture = FilledImage(40, 40, 0xFF141414u);  // grey 20
  CSFadeEffect* fade = window.StartFadeEffect({10, 10, 50, 50}, picture);
  ASSERT_NE(fade, nullptr);
  EXPECT_EQ(fade->rect, (Rect{0, 0, 60, 60}));
  auto pixel = [&](std::uint32_t x, std::uint32_t y) {
    std::lock_guard guard(fade->lock);
    return PixelAt(fade->surface, x, y);
  };
  std::vector<std::int32_t> alphas;
  std::vector<std::uint32_t> centre;
  for (int frame = 0; frame < 11; ++frame) {
    Frame();
    alphas.push_back(fade->alpha);
    centre.push_back(pixel(30, 30) & 0xFF);
    if (frame == 0) {
      // Brightened to (3 v + 255) / 4 = 78; the radius-1 blur keeps 78 x
      // 817 >> 11 = 31 across and 31 x 2045 >> 11 = 30 down; times 3.
      EXPECT_EQ(centre.back(), 90u);
      EXPECT_GT(pixel(30, 9) >> 24, 0u) << "the blur reaches into the margin";
    }
  }
  EXPECT_GT(centre[1], centre[0]) << "brighter from frame to frame";
  EXPECT_GE(centre[2], centre[1]);
  EXPECT_EQ(alphas, (std::vector<std::int32_t>{254, 230, 206, 182, 158, 134, 110, 86, 62, 38, 14}));
  EXPECT_EQ(fade->framesDrawn, 11);
  EXPECT_TRUE(window.IsTopLevelSprite(fade));
  Frame();
  EXPECT_FALSE(window.IsTopLevelSprite(fade)) << "closed after its 11th frame";
  Run();
}

TEST_F(EffectsTest, TheDimmingLayerIsHalfTheLuminance) {
  const Size size = window.LogicalSize();
  CBgraImage back =
      FilledImage(static_cast<std::uint32_t>(size.width), static_cast<std::uint32_t>(size.height), 0);
  const std::pair<std::uint32_t, std::uint8_t> cases[] = {
      {0xFF1EC80Au, 65},   // R 30, G 200, B 10: (1200 + 90 + 10) / 20
      {0xFFFFFFFFu, 127},  // 2550 / 20
      {0x80FF0000u, 38},   // red, half transparent: the grey is opaque
      {0x00000000u, 0},
  };
  for (std::uint32_t i = 0; i < std::size(cases); ++i) SetPixel(back, i, 0, cases[i].first);
  window.dimLayer.CaptureBackground(back);
  std::lock_guard guard(window.dimLayer.lock);
  for (std::uint32_t i = 0; i < std::size(cases); ++i) {
    const std::uint8_t g = cases[i].second;
    EXPECT_EQ(PixelAt(window.dimLayer.surface, i, 0), OpaqueColor(g, g, g)) << i;
  }
}

}  // namespace
