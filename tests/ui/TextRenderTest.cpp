#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/ui/SkinTestSupport.h"
#include "ui/SkinSet.h"

#ifndef TESSERA_UI_GOLDEN_DIR
#error "TESSERA_UI_GOLDEN_DIR must name tests/ui/golden"
#endif

namespace {

class TextRenderTest : public ::testing::Test {
protected:
  std::int32_t Width(std::u16string_view text, std::int32_t size) {
    auto font = CFont::CreateFromFile(kDejaVuSans, FontRequest{u"DejaVu Sans", size, 400, false});
    EXPECT_TRUE(font);
    return font ? font->MeasureText(text).width : -1;
  }

  PinnedTestFont pin;
  CSkinSet skins;
};

TEST_F(TextRenderTest, CoverageImagesHaveTheCellHeightAndTheAdvanceWidth) {
  std::lock_guard lock(skins);
  CBgraImage image;
  std::int32_t truncated = -1;
  ASSERT_TRUE(skins.RenderText(u"Tessera", image, {}, 16, 0, &truncated));
  EXPECT_EQ(truncated, 0);
  EXPECT_EQ(image.height, 16u);
  EXPECT_EQ(image.width, std::uint32_t(Width(u"Tessera", 16)));
  bool anyInk = false;
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
    const std::uint8_t* p = image.pixels + 4 * i;
    ASSERT_TRUE(p[0] == p[1] && p[1] == p[2] && p[2] == p[3]);
    anyInk |= p[3] == 255;
  }
  EXPECT_TRUE(anyInk);

  // The default size is 14; an empty text is one transparent column.
  ASSERT_TRUE(skins.RenderText(u"x", image));
  EXPECT_EQ(image.height, 14u);
  ASSERT_TRUE(skins.RenderText(u"", image, {}, 20));
  EXPECT_EQ(image.width, 1u);
  EXPECT_EQ(image.height, 20u);
  EXPECT_EQ(PixelAt(image, 0, 5), 0u);
  ASSERT_TRUE(skins.RenderText(u"", image));
  EXPECT_EQ(image.height, 1u);
}

TEST_F(TextRenderTest, TooWideTextsRetryAtTwelveThenShorten) {
  std::lock_guard lock(skins);
  CBgraImage image;
  std::int32_t truncated = -1;

  // Too wide at 16, fits at 12.
  const std::u16string medium = u"Brightness, contrast and exposure";
  ASSERT_GE(Width(medium, 16), 200);
  ASSERT_LT(Width(medium, 12), 200);
  ASSERT_TRUE(skins.RenderText(medium, image, {}, 16, 200, &truncated));
  EXPECT_EQ(truncated, 0);
  EXPECT_EQ(image.height, 12u);
  EXPECT_EQ(image.width, std::uint32_t(Width(medium, 12)));

  // Too wide even at 12: the longest prefix with ".." under 200 pixels.
  const std::u16string text = u"The quick brown fox jumps over the lazy dog";
  ASSERT_GE(Width(text, 12), 200);
  std::u16string expected;
  for (std::size_t n = text.size() - 2; n >= 1 && expected.empty(); --n) {
    const std::u16string candidate = text.substr(0, n) + u"..";
    if (Width(candidate, 12) < 200) expected = candidate;
  }
  ASSERT_FALSE(expected.empty());
  ASSERT_TRUE(skins.RenderText(text, image, {}, 16, 200, &truncated));
  EXPECT_EQ(truncated, 1);
  EXPECT_EQ(image.height, 12u);
  EXPECT_EQ(image.width, std::uint32_t(Width(expected, 12)));
  EXPECT_LT(image.width, 200u);

  // A limit below 32 gives "..", as wide as "..".
  ASSERT_TRUE(skins.RenderText(u"Tessera", image, {}, 14, 20, &truncated));
  EXPECT_EQ(truncated, 1);
  EXPECT_EQ(image.width, std::uint32_t(Width(u"..", 14)));

  // A single character too wide for 40 pixels becomes a blank, as wide as one.
  ASSERT_TRUE(skins.RenderText(u"W", image, {}, -60, 40, &truncated));
  EXPECT_EQ(truncated, 1);
  EXPECT_EQ(image.width, std::uint32_t(Width(u" ", -60)));
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) ASSERT_EQ(image.pixels[4 * i + 3], 0);

  // No limit: only the scratch width applies.
  const std::u16string longText(300, u'W');
  ASSERT_TRUE(skins.RenderText(longText, image, {}, 14, 0, &truncated));
  EXPECT_EQ(truncated, 1);
  EXPECT_LT(image.width, std::uint32_t(CSkinSet::kScratchWidth));
}

TEST_F(TextRenderTest, CallersFontsWidenForItalicAndBold) {
  auto plain = CFont::CreateFromFile(kDejaVuSans, FontRequest{u"DejaVu Sans", 20, 400, false});
  auto styled = CFont::CreateFromFile(kDejaVuSans, FontRequest{u"DejaVu Sans", 20, 700, true});
  ASSERT_TRUE(plain && styled);
  const std::u16string text = u"Family";
  CBgraImage image;
  ASSERT_TRUE(skins.RenderTextWithFont(*plain, text, 0, image));
  EXPECT_EQ(image.width, std::uint32_t(plain->MeasureText(text).width));
  EXPECT_EQ(image.height, 20u);

  const std::int32_t measured = styled->MeasureText(text).width;
  EXPECT_EQ(measured,
            plain->MeasureText(text).width + std::int32_t(text.size()));  // synthesised bold: +1 each
  ASSERT_TRUE(skins.RenderTextWithFont(*styled, text, 0, image));
  EXPECT_EQ(image.width, std::uint32_t(measured + measured / 3 + std::int32_t(text.size())));

  // Shortened: the measured width of the shortened text, no additions.
  ASSERT_TRUE(skins.RenderTextWithFont(*styled, u"Wedding photographs", 60, image));
  EXPECT_LT(image.width, 60u);
  ASSERT_TRUE(skins.RenderTextWithFont(*styled, u"Wedding", 10, image));
  EXPECT_EQ(image.width, std::uint32_t(styled->MeasureText(u"..").width));
}

TEST_F(TextRenderTest, WrappedTextStacksLines) {
  CBgraImage image;
  ASSERT_TRUE(skins.RenderWrappedText(image, u"first\\nsecond", 0, 14));
  EXPECT_EQ(image.height, 28u);
  EXPECT_EQ(image.width, std::uint32_t(Width(u"second", 14)));

  // Any other escaped character is a blank; runs of breaks count once.
  CBgraImage single;
  ASSERT_TRUE(skins.RenderWrappedText(single, u"a\\qb", 0, 14));
  EXPECT_EQ(single.height, 14u);
  EXPECT_EQ(single.width, std::uint32_t(Width(u"a b", 14)));
  ASSERT_TRUE(skins.RenderWrappedText(image, u"one\r\n\r\ntwo\\", 0, 14));
  EXPECT_EQ(image.height, 28u);
  ASSERT_TRUE(skins.RenderWrappedText(image, u"", 100, 14));
  EXPECT_EQ(image.width, 1u);
  EXPECT_EQ(image.height, 1u);

  // Word wrapping: every piece narrower than the limit, several lines.
  const std::u16string sentence = u"Cut people out of blue and green screens and from ordinary backgrounds";
  ASSERT_TRUE(skins.RenderWrappedText(image, sentence, 120, 14));
  EXPECT_LT(image.width, 120u);
  EXPECT_EQ(image.height % 14, 0u);
  EXPECT_GE(image.height / 14, std::uint32_t(Width(sentence, 14) / 120 + 1));

  // A hyphenated word breaks after its hyphen, never inside a part.
  const std::int32_t limit = Width(u"Multi-phot", 12) + 1;
  ASSERT_LT(limit, Width(u"Multi-photo", 12));
  ASSERT_TRUE(skins.RenderWrappedText(image, u"Multi-photo", limit, 12));
  EXPECT_EQ(image.height, 24u);
  EXPECT_EQ(image.width, std::uint32_t(std::max(Width(u"Multi-", 12), Width(u"photo", 12))));
}

TEST_F(TextRenderTest, WrappingAlwaysMakesProgress) {
  // Break characters at the start of every piece, a line of breaks only,
  // one wide character per limit and CJK text all end.
  const std::u16string cases[] = {
      std::u16string(60, u':'),
      u"[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[",
      std::u16string(40, u'W'),
      u"\u5199\u771f\u3092\u7de8\u96c6\u3057\u3066\u3001\u80cc\u666f\u304b\u3089\u4eba\u7269\u3092\u5207"
      u"\u308a"
      u"\u629c\u304d\u307e\u3059\u3002\u5199\u771f\u3092\u7de8\u96c6\u3057\u3066\u3001\u80cc\u666f",
      std::u16string(600, u'x'),
  };
  for (const std::u16string& text : cases) {
    for (std::int32_t limit : {1, 8, 30, 100}) {
      SCOPED_TRACE(limit);
      CBgraImage image;
      ASSERT_TRUE(skins.RenderWrappedText(image, text, limit, 14));
      EXPECT_EQ(image.height % 14, 0u);
      EXPECT_LE(image.height / 14, text.size());
    }
  }
  // Pieces never exceed 255 characters.
  CBgraImage image;
  ASSERT_TRUE(skins.RenderWrappedText(image, std::u16string(600, u'i'), 100000, 8));
  EXPECT_EQ(image.height, 3u * 8u);
}

TEST_F(TextRenderTest, GoldenTextImage) {
  CBgraImage image;
  ASSERT_TRUE(skins.RenderTextLocked(u"Tessera 16 px: \u00e9t\u00e9, Ag!", image, {}, 16, 0));
  const std::filesystem::path golden = std::filesystem::path(TESSERA_UI_GOLDEN_DIR) / "text-dejavu-16.png";
  if (std::getenv("TESSERA_UPDATE_GOLDEN")) {
    ASSERT_TRUE(WritePng(golden, image));
  }
  CBgraImage expected;
  ASSERT_TRUE(expected.LoadFile(golden)) << golden;
  ASSERT_EQ(image.width, expected.width);
  ASSERT_EQ(image.height, expected.height);
  // Small differences between FreeType builds are allowed; the shapes are not.
  std::uint64_t total = 0;
  std::uint32_t far = 0;
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
    const int difference = std::abs(int(image.pixels[4 * i + 3]) - int(expected.pixels[4 * i + 3]));
    total += difference;
    far += difference > 64;
  }
  EXPECT_LE(total / image.pixelCount, 4u);
  EXPECT_LE(far, image.pixelCount / 100);
}

TEST_F(TextRenderTest, ThreadsShareTheRendererSafely) {
  CBgraImage reference[2];
  const std::u16string texts[2] = {u"Album", u"Layers and masks"};
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(skins.RenderTextLocked(texts[i], reference[i], {}, 12 + 2 * i, 0));
  std::vector<std::thread> threads;
  int failures[2] = {0, 0};
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 20; ++round) {
        CBgraImage image;
        if (!skins.RenderTextLocked(texts[t], image, {}, 12 + 2 * t, 0) ||
            image.width != reference[t].width || image.height != reference[t].height ||
            std::memcmp(image.pixels, reference[t].pixels, image.byteSize) != 0) {
          ++failures[t];
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures[0], 0);
  EXPECT_EQ(failures[1], 0);
}

}  // namespace
