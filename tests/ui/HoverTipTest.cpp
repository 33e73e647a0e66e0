// The hover base's alpha easing and the tooltip: escapes and lines, the cut
// of long texts, the rendering rules, and tip requests made while drawing
// that arrive after the pointer moved on.

#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>

#include "tests/ui/WidgetTestSupport.h"
#include "ui/UIResources.h"
#include "ui/widgets/MoveOverSprite.h"

namespace {

class CHoverProbe : public CMoveOverSprite {};

using HoverTest = WidgetFixture;

TEST_F(HoverTest, AlphaEasesTowardTheHoverValueAndBackExactly) {
  auto* sprite = new CHoverProbe;
  ASSERT_TRUE(sprite->Create(parent, nullptr, 0, {50, 50, 100, 100}, 0));
  sprite->owned = 1;
  parent->AppendChild(sprite);
  EXPECT_EQ(sprite->alpha, 0);
  auto frames = [&](int count) {
    std::vector<std::int32_t> seen;
    for (int i = 0; i < count; ++i) {
      Frame();
      seen.push_back(sprite->alpha);
    }
    return seen;
  };
  EXPECT_EQ(frames(2), (std::vector<std::int32_t>{192, 192})) << "the first frame lifts it to idle";

  host.MouseMove({60, 60});
  Run();
  EXPECT_EQ(sprite->pointerInside, 1);
  EXPECT_TRUE(window.HasCapture(sprite)) << "it hears the move that leaves";
  EXPECT_EQ(frames(11), (std::vector<std::int32_t>{213, 227, 236, 242, 246, 249, 251, 252, 253, 253, 253}));

  host.MouseMove({150, 60});  // outside: reaches it through the capture
  Run();
  EXPECT_EQ(sprite->pointerInside, 0);
  EXPECT_FALSE(window.HasCapture(sprite));
  const std::vector<std::int32_t> falling = frames(12);
  EXPECT_EQ(falling.front(), 232);
  EXPECT_EQ(falling.back(), 192) << "falling, it reaches idle exactly";
  EXPECT_TRUE(std::is_sorted(falling.rbegin(), falling.rend()));
}

TEST(TipText, EscapesAndLines) {
  struct Case {
    const char16_t* text;
    std::vector<std::u16string> lines;
  };
  const Case cases[] = {
      {u"one\\ntwo", {u"one", u"two"}},
      {u"a\\\\b", {u"a\\b"}},             // a doubled backslash is one
      {u"a\\qb", {u"a b"}},               // any other escape is a blank
      {u"end\\", {u"end"}},               // a final backslash is dropped
      {u"one\n\ntwo", {u"one", u"two"}},  // blank lines collapse
      {u"one\r\n\r\ntwo\r", {u"one", u"two"}},
      {u"\rfirst", {u"", u"first"}},  // only a leading CR gives an empty line
      {u"\nfirst", {u"first"}},
      {u"a\\r\\nb", {u"a", u"b"}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(testing::Message() << "case " << i);
    EXPECT_EQ(CSTip::SplitLines(CSTip::UnescapeText(cases[i].text)), cases[i].lines);
  }
}

using TipTest = WidgetFixture;

TEST_F(TipTest, LongTextsAreCutAndTheSameTextRendersOnce) {
  std::u16string long1030(1030, u'x');
  ASSERT_TRUE(window.tip.SetText(long1030));
  EXPECT_EQ(window.tip.text, std::u16string(1021, u'x') + u"..");

  ASSERT_TRUE(window.tip.SetText(u"same"));
  // A mark in the picture survives a second call with the same text.
  window.tip.textImage.pixels[0] = 0x5A;
  ASSERT_TRUE(window.tip.SetText(u"same"));
  EXPECT_EQ(window.tip.textImage.pixels[0], 0x5A);
  ASSERT_TRUE(window.tip.SetText(u"other"));
  ASSERT_TRUE(window.tip.SetText(u"same"));
  EXPECT_NE(window.tip.textImage.pixels[0], 0x5A);
}

TEST_F(TipTest, OneLineWrapsAtTheLimitAndLinesOfSeveralNever) {
  CSkinSet& skins = UIResources().skins;
  CBgraImage line;
  ASSERT_TRUE(skins.RenderTextLocked(u"word", line));
  const auto lineHeight = static_cast<std::int32_t>(line.height);

  std::u16string words;
  for (int i = 0; i < 60; ++i) words += u"wrapping ";
  ASSERT_TRUE(window.tip.SetText(words));
  Size size = window.tip.TextSize();
  EXPECT_LE(size.width, CSTip::kWrapWidth);
  EXPECT_GE(size.height, 2 * lineHeight) << "one long line takes several";

  // Of two lines, the long one is cut at the renderer's width, not wrapped.
  ASSERT_TRUE(window.tip.SetText(words + u"\\nshort"));
  size = window.tip.TextSize();
  EXPECT_GT(size.width, CSTip::kWrapWidth - 50);
  EXPECT_EQ(size.height, 2 * lineHeight) << "a line of a text of several never wraps";

  // A doubled backslash shows as one, as plain text renders it.
  ASSERT_TRUE(window.tip.SetText(u"a\\\\b"));
  CBgraImage plain;
  ASSERT_TRUE(skins.RenderTextLocked(u"a\\b", plain));
  ASSERT_EQ(window.tip.TextSize(), (Size{static_cast<std::int32_t>(plain.width), lineHeight}));
  EXPECT_EQ(std::memcmp(window.tip.textImage.pixels, plain.pixels, plain.byteSize), 0);
}

TEST_F(TipTest, DrawsTheBalloonWithTheTextCentred) {
  window.ShowTip(20, 20, u"hello", true, false);
  Frame();
  std::lock_guard guard(window.tip.lock);
  const CBgraImage& surface = window.tip.surface;
  const Size text = window.tip.TextSize();
  ASSERT_EQ(surface.width, static_cast<std::uint32_t>(text.width + 8));
  // Opaque from 2 pixels inside each edge; the corners keep the balloon's
  // own transparency.
  EXPECT_EQ(surface.At(2, 2)[3], 255);
  EXPECT_EQ(surface.At(surface.width - 3, surface.height - 3)[3], 255);
  EXPECT_LT(surface.At(0, 0)[3], 255);
  // The text is white (theme colour 4): nearly white and grey where it
  // covers most.
  bool white = false;
  for (std::uint32_t y = 4; y < surface.height - 4; ++y) {
    for (std::uint32_t x = 4; x < surface.width - 4; ++x) {
      const std::uint8_t* p = surface.At(x, y);
      white |= p[0] == p[1] && p[1] == p[2] && p[0] >= 0xE0;
    }
  }
  EXPECT_TRUE(white);
}

TEST_F(TipTest, RequestsFromDrawingAreDroppedOnceStale) {
  auto* requester = new CProbe;
  ASSERT_TRUE(requester->Create(parent, nullptr, 0, {0, 0, 10, 10}, 0));
  requester->owned = 1;
  parent->AppendChild(requester);
  bool wanted = true;

  window.RequestTip(*requester, {30, 40}, u"tip", false, false, [&] { return wanted; });
  EXPECT_FALSE(window.tip.visible) << "shown only on the UI thread's turn";
  Run();
  EXPECT_TRUE(window.tip.visible);
  EXPECT_EQ(window.tip.rect.left, 30);
  EXPECT_EQ(window.tip.rect.top, 40);

  // Hidden after the request was made: dropped.
  window.RequestTip(*requester, {30, 40}, u"tip", false, false, nullptr);
  window.HideTip();
  Run();
  EXPECT_FALSE(window.tip.visible);

  // The requester no longer wants it, or is gone.
  wanted = false;
  window.RequestTip(*requester, {30, 40}, u"tip", false, false, [&] { return wanted; });
  Run();
  EXPECT_FALSE(window.tip.visible);
  window.RequestTip(*requester, {30, 40}, u"tip", false, false, nullptr);
  ASSERT_TRUE(parent->DestroyChild(requester));
  Run();
  EXPECT_FALSE(window.tip.visible);
}

}  // namespace
