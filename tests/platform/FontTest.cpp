#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <vector>

#include "platform/Font.h"
#include "tests/common/TestData.h"

namespace {

const std::filesystem::path kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

TEST(FontTest, TheInterfaceFaceIsMatchedByFontconfig) {
  auto font = CFont::Create(FontRequest{u"Tahoma", 14, 400, false});
  ASSERT_TRUE(font);
  EXPECT_NE(font->FilePath().filename().string().find("DejaVu"), std::string::npos) << font->FilePath();
  EXPECT_EQ(font->Height(), 14);
  EXPECT_GT(font->Ascent(), 9);
  EXPECT_LT(font->Ascent(), 14);
  EXPECT_TRUE(CFont::Create(FontRequest{u"", 12, 700, true}));
}

TEST(FontTest, CellAndEmHeights) {
  for (std::int32_t cell : {8, 12, 16, 40}) {
    auto font = CFont::CreateFromFile(kDejaVuSans, FontRequest{u"DejaVu Sans", cell, 400, false});
    ASSERT_TRUE(font);
    EXPECT_EQ(font->Height(), cell);
    EXPECT_EQ(font->MeasureText(u"abc").height, cell);
  }
  // An em height gives the taller cell of the face's own line spacing.
  auto em = CFont::CreateFromFile(kDejaVuSans, FontRequest{u"DejaVu Sans", -16, 400, false});
  ASSERT_TRUE(em);
  EXPECT_EQ(em->Height(), 19);  // (1901 + 483) / 2048 x 16, rounded per side
  // Widths add up: no kerning between characters.
  auto font = CFont::CreateFromFile(kDejaVuSans, FontRequest{u"DejaVu Sans", 16, 400, false});
  EXPECT_EQ(font->MeasureText(u"AVAV").width, 2 * font->MeasureText(u"AV").width);
  EXPECT_EQ(font->MeasureText(u"").width, 0);
}

TEST(FontTest, DrawingStaysInsideTheBuffer) {
  auto font = CFont::CreateFromFile(kDejaVuSans, FontRequest{u"DejaVu Sans", 30, 700, true});
  ASSERT_TRUE(font);
  // Glyphs reach past a 12 x 20 window on every side (a "j" left of the
  // pen, accents above, descenders below, later letters to the right);
  // nothing may be written outside it: the stride's padding stays untouched.
  constexpr int kStride = 16;
  std::vector<std::uint8_t> buffer(kStride * 20, 0);
  font->DrawText(u"j\u00c5gy\U0001F600\xD800x", buffer, 12, 20, kStride);
  bool ink = false;
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < kStride; ++x) {
      if (x >= 12) {
        EXPECT_EQ(buffer[y * kStride + x], 0) << x << "," << y;
      } else {
        ink |= buffer[y * kStride + x] != 0;
      }
    }
  }
  EXPECT_TRUE(ink);
  // A buffer too small for the size asked is left alone.
  std::vector<std::uint8_t> tiny(4, 0);
  font->DrawText(u"x", tiny, 5, 7, 9);
  EXPECT_EQ(tiny, std::vector<std::uint8_t>(4, 0));
}

TEST(FontTest, BadFilesGiveNoFont) {
  EXPECT_FALSE(CFont::CreateFromFile(ScratchDir() / "missing.ttf", FontRequest{}));
  const auto notAFont = ScratchDir() / "text.ttf";
  FILE* file = std::fopen(notAFont.c_str(), "wb");
  ASSERT_TRUE(file);
  std::fputs("not a font at all", file);
  std::fclose(file);
  EXPECT_FALSE(CFont::CreateFromFile(notAFont, FontRequest{}));
}

TEST(FontTest, CharactersTheFaceLacksStillTakeRoom) {
  auto font = CFont::Create(FontRequest{u"DejaVu Sans", 14, 400, false});
  ASSERT_TRUE(font);
  // From another face when fontconfig has one, else the missing-glyph box.
  EXPECT_GT(font->MeasureText(u"\u6f22\u5b57").width, 0);
  // Control characters take none.
  EXPECT_EQ(font->MeasureText(u"a\tb").width, font->MeasureText(u"ab").width);
}

// The text drawn at the cell's top-left corner into width x height pixels,
// as inked (at least half coverage) or not.
std::vector<bool> Inked(const CFont& font, std::u16string_view text, std::int32_t width,
                        std::int32_t height) {
  std::vector<std::uint8_t> coverage(static_cast<std::size_t>(width) * height, 0);
  font.DrawText(text, coverage, width, height, static_cast<std::size_t>(width));
  std::vector<bool> inked(coverage.size());
  std::transform(coverage.begin(), coverage.end(), inked.begin(), [](std::uint8_t c) { return c >= 128; });
  return inked;
}

TEST(FontTest, ChineseJapaneseAndKoreanDrawGlyphsNotBoxes) {
  const FontRequest request{u"DejaVu Sans", 24, 400, false};
  auto font = CFont::Create(request);
  // The same face without fallback draws its missing-glyph box for each.
  auto boxes = CFont::CreateFromFile(kDejaVuSans, request);
  ASSERT_TRUE(font && boxes);
  const struct {
    const char* script;
    std::u16string_view text;
  } cases[] = {
      {"Chinese", u"\u6f22\u5b57\u5199\u771f"},
      {"hiragana", u"\u3072\u3089\u304c\u306a"},
      {"katakana", u"\u30ab\u30bf\u30ab\u30ca"},
      {"Hangul", u"\ud55c\uae00\uc0ac\uc9c4"},
  };
  for (const auto& [script, text] : cases) {
    const std::int32_t width = std::max(font->MeasureText(text).width, boxes->MeasureText(text).width);
    const std::vector<bool> glyphs = Inked(*font, text, width, 24);
    const std::vector<bool> box = Inked(*boxes, text, width, 24);
    const auto boxInk = std::count(box.begin(), box.end(), true);
    std::ptrdiff_t differing = 0;
    for (std::size_t i = 0; i < box.size(); ++i) differing += glyphs[i] != box[i];
    // A box drawn instead differs nowhere; real glyphs share few pixels with
    // the boxes' outlines.
    EXPECT_GT(differing, boxInk / 2)
        << script << " drawn as boxes (" << std::count(glyphs.begin(), glyphs.end(), true) << " inked, boxes "
        << boxInk << "): is the fallback font fonts-wqy-microhei (scripts/packages.sh) installed?";
  }
}

}  // namespace
