// The album's full-view preview headless: the stepping bands and keys, the
// 1:1 placement of a small photo and its wheel range, clicks against drags
// and swipes, a failed load that shows nothing of the photo before, and
// frames that keep coming while a large photo decodes.

#include <atomic>
#include <thread>

#include "album/SAlbumPreview.h"
#include "platform/WindowMessages.h"
#include "tests/album/AlbumTestSupport.h"
#include "tests/common/TestData.h"
#include "tests/image/MetadataFiles.h"
#include "tests/ui/WidgetTestSupport.h"

namespace {

namespace fs = std::filesystem;

class AlbumPreviewTest : public WidgetFixture {
public:
  AlbumPreviewTest() : WidgetFixture({400, 300}) {}

  void SetUp() override { folder = ScratchDir(); }
  void TearDown() override {
    window.DestroyWindow();
    UiQueue().RunUntilIdle();
  }

  fs::path Photo(const char* name, std::uint32_t w, std::uint32_t h, int shade = 0) {
    const fs::path path = folder / name;
    WriteFileBytes(path, EncodedPicture(w, h, CodecFormat::Png, shade));
    return path;
  }

  CSAlbumPreview& Open(const std::vector<fs::path>& paths, std::size_t current) {
    preview = new CSAlbumPreview;
    preview->owned = 1;
    EXPECT_TRUE(preview->Create(parent, nullptr, CSAlbumPreview::kSpriteId, {0, 0, 100, 100}, 4));
    parent->AppendChild(preview);
    for (const auto& path : paths) preview->AddPath(path);
    EXPECT_TRUE(preview->SetCurrentPath(paths[current]));
    const Rect area{0, 0, 400, 300};
    preview->ZoomOpen({10, 10, 50, 50}, preview->FitRect(area), area);
    Frame();
    return *preview;
  }

  // A press and release with the pointer moved from a to b.
  void Press(Point a, Point b) {
    preview->OnMouseMove(a, 0);
    preview->OnLButtonDown(a, MK_LBUTTON);
    preview->OnMouseMove(b, MK_LBUTTON);
    preview->OnLButtonUp(b, 0);
    Frame();
  }

  fs::path folder;
  CSAlbumPreview* preview = nullptr;
};

TEST_F(AlbumPreviewTest, OnePhotoHasNoBandsAndTheKeysKeepIt) {
  CSAlbumPreview& view = Open({Photo("a.png", 200, 100)}, 0);
  view.OnMouseMove({5, 150}, 0);
  EXPECT_EQ(view.Zone(), kZoneWhole);
  view.OnKeyDown(VK_LEFT, 1, 0);
  view.OnKeyDown(VK_RIGHT, 1, 0);
  EXPECT_EQ(view.CurrentIndex(), 0);
  EXPECT_EQ(view.State(), kPreviewShowing);
}

TEST_F(AlbumPreviewTest, ASmallPhotoSitsAtOneToOneCentredAndZoomsUpTo20NotBelowItsFit) {
  CSAlbumPreview& view = Open({Photo("a.png", 300, 200)}, 0);
  EXPECT_DOUBLE_EQ(view.Zoom(), 1.0);
  EXPECT_EQ(view.PhotoRect(), (Rect{50, 50, 350, 250}));
  for (int i = 0; i < 20; ++i) view.OnMouseWheel({200, 150}, 120);
  EXPECT_DOUBLE_EQ(view.Zoom(), 20.0);
  for (int i = 0; i < 30; ++i) {
    view.OnMouseWheel({200, 150}, -120);
    Frame();  // the photo rectangle follows each drawing
  }
  EXPECT_DOUBLE_EQ(view.Zoom(), 1.0);
}

TEST_F(AlbumPreviewTest, AZoomedClickDoesNotCloseDraggingPansAndTheWholePhotoClickCloses) {
  CSAlbumPreview& view = Open({Photo("a.png", 300, 200)}, 0);
  view.OnMouseWheel({200, 150}, 120);  // 2: the region is 200 x 150 of the photo
  Frame();
  ASSERT_DOUBLE_EQ(view.Zoom(), 2.0);
  Press({200, 150}, {202, 150});
  EXPECT_TRUE(view.IsOpen());
  const Rect before = view.VisibleRegion();
  Press({200, 150}, {160, 150});  // 40 screen pixels right to left: 20 photo pixels
  EXPECT_EQ(view.VisibleRegion().left - before.left, 20);
  EXPECT_TRUE(view.IsOpen());
  view.OnMouseWheel({200, 150}, -120);
  Frame();
  ASSERT_DOUBLE_EQ(view.Zoom(), 1.0);
  Press({200, 150}, {201, 150});
  EXPECT_FALSE(view.IsOpen());
}

TEST_F(AlbumPreviewTest, SwipesStepBeyond80PixelsAndPastTheLastComesTheFirst) {
  CSAlbumPreview& view =
      Open({Photo("a.png", 200, 100), Photo("b.png", 200, 100, 1), Photo("c.png", 40, 40)}, 2);
  struct Case {
    Point from, to;
    std::int32_t index;
  };
  const Case cases[] = {
      {{200, 150}, {120, 150}, 2},  // exactly 80 to the left: nothing
      {{200, 150}, {119, 150}, 0},  // 81 to the left: the next, after the last the first
      {{200, 150}, {290, 150}, 2},  // to the right: the previous, before the first the last
  };
  for (const Case& c : cases) {
    Press(c.from, c.to);
    for (int i = 0; i < 6; ++i) Frame();
    EXPECT_EQ(view.CurrentIndex(), c.index) << c.to.x;
    EXPECT_EQ(view.State(), kPreviewShowing);
  }
  view.OnMouseMove({395, 150}, 0);
  EXPECT_EQ(view.Zone(), kZoneNext);
  Press({395, 150}, {395, 150});
  EXPECT_EQ(view.CurrentIndex(), 0);
}

TEST_F(AlbumPreviewTest, AFailedLoadShowsNothingOfThePreviousPhotoAndAFailedStepKeepsIt) {
  const fs::path broken = folder / "broken.png";
  WriteFileBytes(broken, Bytes{0x89, 'P', 'N', 'G', 0, 1});
  CSAlbumPreview& view = Open({Photo("a.png", 200, 100), broken}, 0);
  view.OnKeyDown(VK_RIGHT, 1, 0);
  EXPECT_EQ(view.CurrentIndex(), 0);
  EXPECT_TRUE(view.HasPhoto());
  EXPECT_FALSE(view.SetCurrentPath(broken));
  EXPECT_FALSE(view.HasPhoto());
  EXPECT_EQ(view.PhotoWidth(), 0u);
  view.dirty = 1;
  Frame();
  EXPECT_TRUE(view.PhotoRect().IsEmpty());
  // Esc still closes a preview without a photo.
  view.OnKeyDown(VK_ESCAPE, 1, 0);
  EXPECT_FALSE(view.IsOpen());
}

TEST_F(AlbumPreviewTest, FramesKeepComingWhileALargePhotoDecodes) {
  const fs::path large = folder / "large.jpg";
  WriteFileBytes(large, EncodedPicture(6000, 4000, CodecFormat::Jpeg));
  CSAlbumPreview& view = Open({Photo("a.png", 200, 100), large}, 0);
  std::atomic<bool> decoding{true};
  std::atomic<int> frames{0};
  std::thread renderer([&] {
    while (decoding.load()) {
      view.dirty = 1;
      window.RenderFrame(TickCount());
      frames.fetch_add(1);
    }
  });
  const auto start = std::chrono::steady_clock::now();
  view.OnKeyDown(VK_RIGHT, 1, 0);
  const auto took = std::chrono::steady_clock::now() - start;
  decoding = false;
  renderer.join();
  EXPECT_EQ(view.CurrentIndex(), 1);
  EXPECT_EQ(view.PhotoWidth(), 6000u);
  // Under the old lock the render thread stood still for the whole decode.
  EXPECT_GE(frames.load(), 3) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
}

}  // namespace
