// The about box: the picture centred with the version line at its place,
// the key that comes within 200 ms of the opening ignored and the next one
// closing it (through the real modal loop), and no box without its picture.

#include <chrono>
#include <thread>

#include "platform/Clock.h"
#include "platform/UiQueue.h"
#include "platform/WindowMessages.h"
#include "tests/common/TestData.h"
#include "tests/ui/WidgetTestSupport.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/UIResources.h"
#include "ui/dialogs/AboutSprite.h"

namespace {

class AboutSpriteTest : public WidgetFixture {
public:
  AboutSpriteTest() : WidgetFixture({800, 600}) {}

  bool Make(CAboutSprite& about) {
    if (!about.Create(nullptr, &window, CAboutSprite::kSpriteId, {}, CAboutSprite::kLayer)) return false;
    window.AddTopLevelSprite(&about);
    return true;
  }
};

TEST_F(AboutSpriteTest, ThePictureIsCentredWithTheVersionLineAtItsPlace) {
  CAboutSprite about;
  ASSERT_TRUE(Make(about));
  EXPECT_EQ(about.rect, (Rect{120, 140, 680, 460}));
  ASSERT_TRUE(about.UpdateSurface(0));
  // The line's ink ends left of x 529 and starts at or below y 279.
  std::int32_t right = -1, top = 1000;
  for (std::uint32_t y = 270; y < 310; ++y) {
    for (std::uint32_t x = 400; x < 560; ++x) {
      const std::uint8_t* p = about.surface.At(x, y);
      if (p[2] > 150 && p[0] == p[2]) {
        right = std::max(right, static_cast<std::int32_t>(x));
        top = std::min(top, static_cast<std::int32_t>(y));
      }
    }
  }
  EXPECT_LE(right, CAboutSprite::kVersionRight - 1);
  EXPECT_GE(right, CAboutSprite::kVersionRight - 12);  // the picture keeps the advance after "."
  EXPECT_GE(top, CAboutSprite::kVersionTop);
  EXPECT_LE(top, CAboutSprite::kVersionTop + 6);
  window.RemoveTopLevelSprite(&about);
}

TEST_F(AboutSpriteTest, InputWithin200MsIsIgnoredAndTheNextCloses) {
  CAboutSprite about;
  ASSERT_TRUE(Make(about));
  // The rule itself.
  about.openedAt = TickCount();
  about.OnLButtonDown({5, 5}, 0);
  about.OnChar('a', 1, 0);
  EXPECT_EQ(about.closedFlag, 0);
  host.AdvanceClock(201);
  about.OnRButtonDown({5, 5}, 0);
  EXPECT_EQ(about.closedFlag, 1);

  // Through the modal loop: a key queued before the box opens arrives at
  // once and is ignored; one 250 ms later closes it.
  host.KeyPress('A');
  const std::uint32_t opened = TickCount();
  std::thread later([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    host.AdvanceClock(250);
    host.KeyPress('B');
  });
  const std::int32_t key = about.key;
  EXPECT_TRUE(about.RunModal());
  later.join();
  EXPECT_GE(TickCount() - opened, 250u);
  EXPECT_FALSE(IsObjectKeyAlive(key));
  EXPECT_EQ(window.TopPopup(), nullptr);
  EXPECT_FALSE(window.IsTopLevelSprite(&about));
  Run();
}

TEST_F(AboutSpriteTest, WithoutItsPictureThereIsNoBox) {
  CUITheme theme = UIResources().theme;
  theme.skinFolder = ScratchDir();
  ASSERT_TRUE(UIResources().skins.Load(theme));
  CAboutSprite about;
  EXPECT_FALSE(Make(about));
  EXPECT_FALSE(window.IsTopLevelSprite(&about));
  ASSERT_TRUE(UIResources().skins.Load(UIResources().theme));
}

}  // namespace
