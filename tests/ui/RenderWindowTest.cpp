// The render window's frames: composition in layer order into the back
// buffer, the exact high-DPI enlargements, half brightness while inactive,
// the periodic full repaint, dropping closed sprites, and the exit wait.

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>

#include "platform/WindowMessages.h"
#include "tests/ui/RenderWindowTestSupport.h"
#include "ui/BlendTables.h"
#include "ui/HelpLoaderThread.h"
#include "ui/TileUpscale.h"
#include "ui/widgets/SFadeEffect.h"

namespace {

// An opaque grey the tests lay over the whole window (layer 1), so that the
// expected pictures do not depend on the frame's skin.
constexpr std::uint32_t kBackdrop = 0xFFEBEBEBu;
constexpr std::uint32_t kPage = 0xFF204080u;
constexpr std::uint32_t kRedHalf = 0x80FF0000u;
constexpr std::uint32_t kGreen = 0xFF00C000u;

std::uint32_t Channel(std::uint32_t p, int c) { return (p >> (8 * c)) & 0xFF; }

std::uint32_t Pack(const std::uint32_t (&c)[4]) { return c[0] | (c[1] << 8) | (c[2] << 16) | (c[3] << 24); }

// The enlargements written plainly, one output pixel and one channel at a time.
std::uint32_t Reference2x(const CBgraImage& image, const Rect& tile, std::int32_t ox, std::int32_t oy) {
  const std::int32_t sx = std::min(tile.left + ox / 2, tile.right - 1);
  const std::int32_t sy = std::min(tile.top + oy / 2, tile.bottom - 1);
  const std::int32_t ux = sx, uy = std::max(sy - 1, 0), lx = std::max(sx - 1, 0), ly = sy;
  auto px = [&](std::int32_t x, std::int32_t y) { return PixelAt(image, x, y); };
  const std::uint32_t c = px(sx, sy), u = px(ux, uy), l = px(lx, ly), ul = px(lx, uy);
  if ((ox & 1) && (oy & 1)) return c;
  std::uint32_t out[4] = {0, 0, 0, 0};
  for (int k = 0; k < 3; ++k) {
    if (!(ox & 1) && !(oy & 1)) out[k] = (Channel(ul, k) + Channel(u, k) + Channel(l, k) + Channel(c, k)) / 4;
    if ((ox & 1) && !(oy & 1)) out[k] = (Channel(u, k) + Channel(c, k)) / 2;
    if (!(ox & 1) && (oy & 1)) out[k] = (Channel(l, k) + Channel(c, k)) / 2;
  }
  return Pack(out);
}

std::uint32_t Reference3Over2(const CBgraImage& image, const Rect& tile, std::int32_t ox, std::int32_t oy) {
  const std::int32_t sx = std::min(tile.left + 2 * (ox / 3), std::max(tile.right - 2, tile.left));
  const std::int32_t sx2 = std::min(sx + 1, tile.right - 1);
  const std::int32_t sy = std::min(tile.top + 2 * (oy / 3), tile.bottom - 1);
  const std::int32_t sy2 = std::min(sy + 1, tile.bottom - 1);
  const std::uint32_t a = PixelAt(image, sx, sy), b = PixelAt(image, sx2, sy);
  const std::uint32_t c = PixelAt(image, sx, sy2), d = PixelAt(image, sx2, sy2);
  std::uint32_t out[4] = {0, 0, 0, 0};
  for (int k = 0; k < 3; ++k) {
    const std::uint32_t ac = (Channel(a, k) + Channel(c, k)) / 2, bd = (Channel(b, k) + Channel(d, k)) / 2;
    const std::uint32_t rows[3][3] = {{Channel(a, k), (Channel(a, k) + Channel(b, k)) / 2, Channel(b, k)},
                                      {ac, (ac + bd) / 2, bd},
                                      {Channel(c, k), (Channel(c, k) + Channel(d, k)) / 2, Channel(d, k)}};
    out[k] = rows[oy % 3][ox % 3];
  }
  return Pack(out);
}

// What the screen must show for a back buffer: a copy at factor 1.0, else
// every tile enlarged to its physical rectangle.
std::vector<std::uint32_t> ExpectedScreen(const CBgraImage& back, Size physical, double scale) {
  std::vector<std::uint32_t> screen(static_cast<std::size_t>(physical.width) * physical.height, 0);
  const std::int32_t lw = back.width, lh = back.height;
  for (std::int32_t ty = 0; ty < lh; ty += 64) {
    for (std::int32_t tx = 0; tx < lw; tx += 64) {
      const Rect tile{tx, ty, std::min(tx + 64, lw), std::min(ty + 64, lh)};
      const std::int32_t x0 = tile.left * physical.width / lw, x1 = tile.right * physical.width / lw;
      const std::int32_t y0 = tile.top * physical.height / lh, y1 = tile.bottom * physical.height / lh;
      for (std::int32_t y = y0; y < y1; ++y) {
        for (std::int32_t x = x0; x < x1; ++x) {
          std::uint32_t value = 0;
          if (scale == 1.0) value = PixelAt(back, x, y);
          if (scale == 2.0) value = Reference2x(back, tile, x - x0, y - y0);
          if (scale == 1.5) value = Reference3Over2(back, tile, x - x0, y - y0);
          screen[static_cast<std::size_t>(y) * physical.width + x] = value;
        }
      }
    }
  }
  return screen;
}

// The scene every golden test composes over the frame: an opaque page with a
// half-transparent red child, and an opaque green sprite on a higher layer
// starting at odd coordinates.
struct Scene {
  CRecorder* page;
  CRecorder* child;
  CRecorder* green;
};

void AddBackdrop(CRenderWindow& window, std::vector<std::string>* log) {
  auto* backdrop = new CRecorder("backdrop", log, kBackdrop);
  const Size size = window.LogicalSize();
  ASSERT_TRUE(backdrop->Create(nullptr, &window, 0, {0, 0, size.width, size.height}, 1));
  window.AddTopLevelSprite(backdrop, true);
}

template <typename Fixture>
Scene BuildScene(Fixture& f) {
  Scene scene{};
  scene.green = f.AddTop("green", {91, 61, 126, 120}, 5, kGreen);
  scene.page = f.AddTop("page", {10, 10, 110, 90}, 2, kPage);
  scene.child = f.AddChild(scene.page, "child", {20, 20, 60, 50}, kRedHalf);
  return scene;
}

// The back buffer the scene must give on a 128 x 128 logical window, by hand.
std::uint32_t ExpectedLogicalPixel(std::int32_t x, std::int32_t y) {
  if (x >= 91 && x < 126 && y >= 61 && y < 120) return kGreen;
  if (x >= 30 && x < 70 && y >= 30 && y < 60) {
    // Half red over the page: S[128][s] + D[128][d], the page's alpha kept.
    const BlendTables& t = *GetBlendTables();
    std::uint32_t out[4] = {0, 0, 0, 0xFF};
    for (int k = 0; k < 3; ++k)
      out[k] = t.source[128][Channel(kRedHalf, k)] + t.destination[128][Channel(kPage, k)];
    return Pack(out);
  }
  if (x >= 10 && x < 110 && y >= 10 && y < 90) return kPage;
  return kBackdrop;
}

struct GoldenCase {
  int dpi;
  Size physical;
  double scale;
};

class GoldenFrameTest : public RenderWindowFixture, public ::testing::WithParamInterface<GoldenCase> {
protected:
  GoldenFrameTest() : RenderWindowFixture(GetParam().physical, GetParam().dpi) { AddBackdrop(window, &log); }
};

TEST_P(GoldenFrameTest, ScreenIsTheBackBufferExactlyEnlarged) {
  const GoldenCase& c = GetParam();
  ASSERT_EQ(window.scale, c.scale);
  ASSERT_EQ(window.LogicalSize(), (Size{128, 128}));
  BuildScene(*this);
  Frame();
  for (std::int32_t y = 0; y < 128; ++y) {
    for (std::int32_t x = 0; x < 128; ++x) {
      ASSERT_EQ(PixelAt(window.backBuffer, x, y), ExpectedLogicalPixel(x, y)) << x << "," << y;
    }
  }
  EXPECT_EQ(host.PresentedScreen(), ExpectedScreen(window.backBuffer, c.physical, c.scale));
}

INSTANTIATE_TEST_SUITE_P(Factors, GoldenFrameTest,
                         ::testing::Values(GoldenCase{96, {128, 128}, 1.0}, GoldenCase{144, {192, 192}, 1.5},
                                           GoldenCase{192, {256, 256}, 2.0}),
                         [](const auto& info) { return "dpi" + std::to_string(info.param.dpi); });

// Hand-computed pixels where the patterns mix colours.
TEST(GoldenFramePixels, TwoTimesAndOneAndAHalfTimes) {
  {
    CHeadlessHost host({256, 256}, 192);
    CRenderWindow window;
    ASSERT_EQ(window.Create(), 1);
    host.Activate(true);
    UiQueue().RunUntilIdle();
    std::vector<std::string> log;
    AddBackdrop(window, &log);
    auto* page = new CRecorder("page", &log, kPage);
    ASSERT_TRUE(page->Create(nullptr, &window, 0, {10, 10, 110, 90}, 2));
    window.AddTopLevelSprite(page, true);
    window.RenderFrame(TickCount());
    // Source (10, 10) is the page's corner over the backdrop's grey 0xEB.
    EXPECT_EQ(host.PresentedPixel({20, 20}), 0x00B8C0D0u);  // (3 x EB + page) / 4
    EXPECT_EQ(host.PresentedPixel({21, 20}), 0x008595B5u);  // (EB + page) / 2
    EXPECT_EQ(host.PresentedPixel({20, 21}), 0x008595B5u);
    EXPECT_EQ(host.PresentedPixel({21, 21}), kPage);  // the copy keeps its alpha
  }
  {
    CHeadlessHost host({192, 192}, 144);
    CRenderWindow window;
    ASSERT_EQ(window.Create(), 1);
    host.Activate(true);
    UiQueue().RunUntilIdle();
    std::vector<std::string> log;
    AddBackdrop(window, &log);
    auto* page = new CRecorder("page", &log, kPage);
    auto* green = new CRecorder("green", &log, kGreen);
    ASSERT_TRUE(page->Create(nullptr, &window, 0, {10, 10, 110, 90}, 2));
    ASSERT_TRUE(green->Create(nullptr, &window, 0, {91, 61, 126, 120}, 5));
    window.AddTopLevelSprite(page, true);
    window.AddTopLevelSprite(green, true);
    window.RenderFrame(TickCount());
    // The pair (90, 91) of rows 60 and 61: page, page over page, green.
    EXPECT_EQ(host.PresentedPixel({135, 90}), kPage & 0x00FFFFFFu);
    EXPECT_EQ(host.PresentedPixel({137, 91}), 0x00108040u);  // (b + d) / 2
    EXPECT_EQ(host.PresentedPixel({136, 91}), 0x00186060u);  // between (a + c) / 2 and (b + d) / 2
    EXPECT_EQ(host.PresentedPixel({136, 92}), 0x00108040u);  // (c + d) / 2
    EXPECT_EQ(host.PresentedPixel({137, 92}), kGreen & 0x00FFFFFFu);
  }
}

// The enlargements against the plain references on random pictures, for full
// tiles, edge tiles of odd size and a screen a pixel wider than exact.
TEST(TileUpscale, MatchesTheReferencesOnRandomPictures) {
  std::mt19937 random(7);
  CBgraImage image;
  ASSERT_TRUE(image.Create(131, 70));
  for (std::uint32_t y = 0; y < image.height; ++y) {
    for (std::uint32_t x = 0; x < image.width; ++x) {
      const std::uint32_t v = random();
      std::memcpy(image.At(x, y), &v, 4);
    }
  }
  struct Case {
    Rect tile;
    Size out2x;
    Size out15;
  };
  const Case cases[] = {
      {{0, 0, 64, 64}, {128, 128}, {96, 96}},
      {{64, 0, 128, 64}, {129, 128}, {97, 96}},  // a pixel more than exact
      {{128, 64, 131, 70}, {6, 12}, {4, 9}},     // the odd corner tile
      {{0, 64, 64, 70}, {128, 12}, {96, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.tile.left << "," << c.tile.top);
    std::vector<std::uint32_t> out(static_cast<std::size_t>(130) * 130, 0xDEADBEEF);
    UpscaleTile2x(image, c.tile, out.data(), c.out2x.width, c.out2x.height, 130);
    for (std::int32_t y = 0; y < c.out2x.height; ++y) {
      for (std::int32_t x = 0; x < c.out2x.width; ++x) {
        ASSERT_EQ(out[static_cast<std::size_t>(y) * 130 + x], Reference2x(image, c.tile, x, y))
            << x << "," << y;
      }
    }
    UpscaleTile3Over2(image, c.tile, out.data(), c.out15.width, c.out15.height, 130);
    for (std::int32_t y = 0; y < c.out15.height; ++y) {
      for (std::int32_t x = 0; x < c.out15.width; ++x) {
        ASSERT_EQ(out[static_cast<std::size_t>(y) * 130 + x], Reference3Over2(image, c.tile, x, y))
            << x << "," << y;
      }
    }
  }
}

TEST(DisplayFactor, FollowsTheDotsPerInch) {
  const std::pair<int, double> cases[] = {{72, 1.0},  {96, 1.0},  {139, 1.0}, {140, 1.5},
                                          {144, 1.5}, {179, 1.5}, {180, 2.0}, {288, 2.0}};
  for (const auto& [dpi, factor] : cases) EXPECT_EQ(DisplayFactorForDpi(dpi), factor) << dpi;
}

class HighDpiTest : public RenderWindowFixture {
protected:
  HighDpiTest() : RenderWindowFixture({1920, 1080}, 144) {}
};

TEST_F(HighDpiTest, FullHdAt144DpiIs1280By720Logical) {
  EXPECT_EQ(window.PhysicalSize(), (Size{1920, 1080}));
  EXPECT_EQ(window.LogicalSize(), (Size{1280, 720}));
  EXPECT_EQ(window.backBuffer.width, 1280u);
  EXPECT_EQ(window.backBuffer.height, 720u);
  EXPECT_EQ(window.frame.rect, (Rect{0, 0, 1280, 720}));  // laid out for the logical size
  // A resize lays out again for the new logical size.
  host.Resize({1500, 900});
  Run();
  EXPECT_EQ(window.frame.rect, (Rect{0, 0, 1000, 600}));
  Frame();
  EXPECT_EQ(window.LogicalSize(), (Size{1000, 600}));
  // Minimised, or no size yet: the layout stays.
  for (const auto& [type, size] :
       {std::pair{SIZE_MINIMIZED, Point{300, 200}}, {SIZE_RESTORED, Point{0, 0}}}) {
    UiMessage message;
    message.message = WM_SIZE;
    message.wparam = type;
    message.point = size;
    ASSERT_TRUE(UiQueue().PushInput(std::move(message)));
    Run();
    EXPECT_EQ(window.frame.rect, (Rect{0, 0, 1000, 600}));
  }
}

class FrameTest : public RenderWindowFixture {
protected:
  FrameTest() : RenderWindowFixture({128, 128}, 96) { AddBackdrop(window, &log); }
};

TEST_F(FrameTest, InactiveWindowIsAtHalfBrightness) {
  BuildScene(*this);
  Frame();
  const std::vector<std::uint32_t> bright = host.PresentedScreen();
  host.Activate(false);
  Run();
  Frame();
  std::vector<std::uint32_t> dim = bright;
  for (std::uint32_t& p : dim) p = (p & 0xFF000000u) | ((p >> 1) & 0x007F7F7Fu);
  EXPECT_EQ(host.PresentedScreen(), dim);
  host.Activate(true);
  Run();
  Frame();
  EXPECT_EQ(host.PresentedScreen(), bright);
}

TEST_F(FrameTest, The333rdFrameRepaintsEverything) {
  BuildScene(*this);
  Frame();  // composes the new sprites
  const int presents = host.PresentCount();
  // The fixture's frame was the first; this one the second.
  for (int frame = 3; frame < 333; ++frame) Frame();
  EXPECT_EQ(host.PresentCount(), presents) << "a frame without changes composes nothing";
  auto dirtyTiles = [&] {
    int count = 0;
    for (int row = 0; row < 2; ++row) {
      for (int column = 0; column < 2; ++column) count += window.tileMap.IsDirty(column, row);
    }
    return count;
  };
  EXPECT_EQ(dirtyTiles(), 0);
  Frame();  // the 333rd
  EXPECT_EQ(host.PresentCount(), presents + 1);
  EXPECT_EQ(dirtyTiles(), 0);
  EXPECT_EQ(window.tileMap.DirtyCount(), WindowTileMap::kColumns * WindowTileMap::kRows - 4)
      << "tiles outside the window stay marked";
}

TEST_F(FrameTest, MarkedTilesAreComposedWithoutAnyChangeReported) {
  Scene scene = BuildScene(*this);
  Frame();
  // Nothing reports a change, but the area was invalidated.
  const int presents = host.PresentCount();
  scene.green->InvalidateArea({}, 1);
  Frame();
  EXPECT_EQ(host.PresentCount(), presents + 1);
  // A hidden tooltip disappears in the next frame.
  window.ShowTip(20, 100, u"hello", true, false);
  Frame();
  const Rect tip = window.tip.rect;
  const Point inside{tip.left + 2, tip.top + 2};  // the opaque balloon, clear of the text
  std::uint32_t balloon = 0;
  {
    std::lock_guard guard(window.tip.lock);
    balloon = PixelAt(window.tip.surface, 2, 2);
  }
  EXPECT_EQ(balloon >> 24, 0xFFu);
  EXPECT_NE(balloon, ExpectedLogicalPixel(inside.x, inside.y));
  EXPECT_EQ(host.PresentedPixel(inside), balloon);
  window.HideTip();
  Frame();
  EXPECT_EQ(host.PresentedPixel(inside), ExpectedLogicalPixel(inside.x, inside.y));
}

TEST_F(FrameTest, ClosedSpritesAreDroppedAndOwnedOnesDeleted) {
  bool ownedGone = false;
  CRecorder* owned = AddTop("owned", {0, 0, 50, 50}, 4, kGreen);
  owned->destroyed = &ownedGone;
  CRecorder notOwned("kept", &log, kPage);
  ASSERT_TRUE(notOwned.Create(nullptr, &window, 0, {60, 60, 100, 100}, 4));
  window.AddTopLevelSprite(&notOwned);
  Frame();
  EXPECT_EQ(host.PresentedPixel({10, 10}), kGreen);

  window.CloseTopLevelSprite(owned);
  notOwned.closing = 1;
  Frame();
  EXPECT_FALSE(window.IsTopLevelSprite(owned));
  EXPECT_FALSE(window.IsTopLevelSprite(&notOwned));
  // Deleted on the UI thread, never under UI code that may still hold it.
  EXPECT_FALSE(ownedGone);
  Run();
  EXPECT_TRUE(ownedGone);
  EXPECT_TRUE(IsObjectAlive(&notOwned));
  Frame();
  EXPECT_EQ(host.PresentedPixel({10, 10}), kBackdrop);
  EXPECT_EQ(host.PresentedPixel({70, 70}), kBackdrop);
}

TEST_F(FrameTest, EffectsCloseThemselves) {
  BuildScene(*this);
  Frame();
  CSFadeEffect* fade = window.StartFadeEffect({10, 10, 50, 50}, CBgraImage{});
  ASSERT_NE(fade, nullptr);
  EXPECT_EQ(fade->rect, (Rect{0, 0, 60, 60}));
  EXPECT_EQ(fade->layer, kFadeEffectLayer);
  host.MouseMove({64, 64});
  Run();
  window.SpawnClickWave();
  auto count = [&] {
    std::lock_guard guard(window.windowLock);
    return window.topLevel.size();
  };
  const std::size_t withEffects = count();
  for (int frames = 0; count() + 2 > withEffects && frames < 40; ++frames) {
    host.AdvanceClock(30);
    Frame();
  }
  EXPECT_EQ(count() + 2, withEffects) << "the fade and the wave are gone";
  Run();
  // Back to the plain scene.
  Frame();
  EXPECT_EQ(host.PresentedPixel({64, 64}), ExpectedLogicalPixel(64, 64));
}

TEST_F(FrameTest, ProgressIndicatorIsCentredAndAnimates) {
  window.ShowProgress({});
  EXPECT_EQ(window.progress.rect, (Rect{52, 52, 76, 76}));  // side 2 x (128 / 10)
  EXPECT_EQ(host.Cursor(), CursorShape::Wait);
  Frame();
  const int presents = host.PresentCount();
  Frame();
  EXPECT_EQ(host.PresentCount(), presents + 1) << "it draws every frame";
  window.HideProgress();
  EXPECT_EQ(host.Cursor(), CursorShape::Arrow);
  EXPECT_EQ(window.progress.lastPercent, -1);
  Frame();
  EXPECT_EQ(host.PresentedPixel({60, 60}), kBackdrop);
}

// More workers than one system wait could take: all are asked to stop and
// waited for together; one that never ends does not hold the window.
TEST(RenderWindowExit, WaitsForEveryWorkerWithinTheBound) {
  CHeadlessHost host({128, 128}, 96);
  auto window = std::make_unique<CRenderWindow>();
  ASSERT_EQ(window->Create(), 1);
  window->exitWaitBound = std::chrono::milliseconds(300);
  constexpr int kWorkers = 70;
  std::mutex mutex;
  std::condition_variable wake;
  std::vector<int> stops(kWorkers, 0);
  std::vector<std::shared_ptr<CWorkerExitEvent>> events;
  std::vector<std::thread> threads;
  bool releaseStuck = false;
  for (int i = 0; i < kWorkers; ++i) {
    auto event = window->RegisterWorkerExitEvent([&, i] {
      std::lock_guard guard(mutex);
      stops[i] = 1;
      wake.notify_all();
    });
    ASSERT_NE(event, nullptr);
    events.push_back(event);
    threads.emplace_back([&, i, event] {
      std::unique_lock guard(mutex);
      // Worker 13 ignores the stop until the test lets it go.
      wake.wait(guard, [&] { return i == 13 ? releaseStuck : stops[i] == 1; });
      guard.unlock();
      event->Set();
    });
  }
  window->DestroyWindow();
  for (int i = 0; i < kWorkers; ++i) {
    EXPECT_EQ(stops[i], 1) << i;
    EXPECT_EQ(events[i]->IsSet(), i != 13) << i;
  }
  EXPECT_EQ(window->RegisterWorkerExitEvent([] {}), nullptr) << "no registrations after destruction";
  EXPECT_EQ(RenderThreadWindow(), nullptr);
  {
    std::lock_guard guard(mutex);
    releaseStuck = true;
    wake.notify_all();
  }
  for (std::thread& t : threads) t.join();
  EXPECT_FALSE(HelpLoaderThread(0).IsRunning());
  EXPECT_FALSE(HelpLoaderThread(1).IsRunning());
}

// The render thread draws by itself once the window is ready, while the UI
// thread changes sprites; the screen settles on the back buffer.
TEST(RenderThread, DrawsWhileTheUiThreadChangesSprites) {
  CHeadlessHost host({128, 128}, 96);
  CRenderWindow window;
  ASSERT_EQ(window.Create(), 1);
  host.Activate(true);
  UiQueue().RunUntilIdle();
  std::vector<std::string> log;
  auto* sprite = new CRecorder("s", &log, kGreen);
  ASSERT_TRUE(sprite->Create(nullptr, &window, 0, {10, 10, 60, 60}, 2));
  window.AddTopLevelSprite(sprite, true);
  window.SetRenderReady();
  auto waitForPresents = [&](int count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (host.PresentCount() < count && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return host.PresentCount() >= count;
  };
  ASSERT_TRUE(waitForPresents(1));
  for (int i = 0; i < 20; ++i) {
    const int before = host.PresentCount();
    {
      std::lock_guard guard(sprite->lock);
      sprite->colour = (i % 2) ? kGreen : kPage;
      sprite->dirty = 1;
    }
    sprite->SetSpriteRect(10 + i, 10, 50, 50);
    window.ShowTip(30, 30 + i, u"tip", false, false);
    UiQueue().RunUntilIdle();
    window.HideTip();
    ASSERT_TRUE(waitForPresents(before + 1));
  }
  // A frame after the last change; the back buffer (read under the window
  // lock, so never half composed) is then what was presented last.
  const int settled = host.PresentCount();
  window.InvalidateAll();
  ASSERT_TRUE(waitForPresents(settled + 1));
  std::vector<std::uint32_t> expected;
  {
    std::lock_guard guard(window.windowLock);
    expected = ExpectedScreen(window.backBuffer, {128, 128}, 1.0);
  }
  EXPECT_EQ(host.PresentedScreen(), expected);
  EXPECT_EQ(host.PresentedPixel({70, 30}), kGreen);  // the last colour at the last place
  window.DestroyWindow();
}

}  // namespace
