#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/CursorPicture.h"
#include "platform/ProgramPath.h"
#include "platform/SystemMessage.h"
#include "platform/Utf16.h"
#include "tests/common/TestData.h"
#include "tests/ui/SkinTestSupport.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"

namespace {

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void IgnoreMessage(std::u16string_view) {}

// A data folder of its own: the shipped skin pictures and a base text table
// the test writes.
class UIResourcesTest : public ::testing::Test {
protected:
  UIResourcesTest() {
    SetSystemMessageHandler(IgnoreMessage);
    folder = ScratchDir();
    std::filesystem::create_directories(folder / "basic");
    for (const SkinPicture& picture : CSkinSet::kStartupPictures) {
      std::filesystem::copy_file(GetProgramDataFolder() / "basic" / picture.file,
                                 folder / "basic" / picture.file);
    }
  }
  ~UIResourcesTest() override { SetSystemMessageHandler(nullptr); }

  void WriteBase(std::u16string_view entries) {
    WriteUtf16File(folder / "basic" / "resource.txt", u"\uFEFF[StringTab]\r\n" + std::u16string(entries));
  }

  std::filesystem::path folder;
};

TEST(ThemeTest, ConfigTxtValues) {
  using Values = std::array<std::uint8_t, 9>;
  struct Case {
    const char* name;
    std::u16string text;
    bool good;
    Values values;
  };
  const Case cases[] = {
      {"plain", u"200,200,200,200,200,0,0,0,0", true, {200, 200, 200, 200, 200, 0, 0, 0, 0}},
      {"blanks, signs, empty fields", u" 1,+2,,3,-1,5,,,6,7,8,9", true, {1, 2, 3, 255, 5, 6, 7, 8, 9}},
      {"modulo 256 and stray letters", u"300,12x,x,4,5,6,7,8,9", true, {44, 12, 0, 4, 5, 6, 7, 8, 9}},
      {"text after the ninth value", u"1,2,3,4,5,6,7,8,9,this is ignored", true, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"a line break after the ninth value", u"1,2,3,4,5,6,7,8,255\r\n", true, {1, 2, 3, 4, 5, 6, 7, 8, 255}},
      {"text straight after the ninth value",
       u"1,2,3,4,5,6,7,8, -9 and more, 10",
       true,
       {1, 2, 3, 4, 5, 6, 7, 8, 247}},
      {"a ninth field without digits", u"1,2,3,4,5,6,7,8,x9", true, {1, 2, 3, 4, 5, 6, 7, 8, 0}},
      {"a field of five characters", u"1,2,3,4,12345,6,7,8,9", false, {}},
      {"a ninth number of five characters", u"1,2,3,4,5,6,7,8,12345", false, {}},
      {"values on separate lines", u"200,\r\n200,\r\n200,\r\n200,\r\n200,\r\n0,\r\n0,\r\n0,\r\n0", false, {}},
      {"ends before the ninth", u"1,2,3,4,5,6,7,8", false, {}},
      {"ends before the ninth after commas", u"1,2,3,4,5,6,7,8,,,", false, {}},
      {"a byte-order mark spoils the first value",
       u"\uFEFF255,1,2,3,4,5,6,7,8",
       true,
       {0, 1, 2, 3, 4, 5, 6, 7, 8}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Values values{};
    EXPECT_EQ(CUITheme::ParseColorValues(c.text, values), c.good);
    if (c.good) {
      EXPECT_EQ(values, c.values);
    }
  }
}

TEST(ThemeTest, VariantsTakeTheirFoldersOnlyWithGoodColours) {
  const auto root = ScratchDir();
  std::filesystem::create_directories(root / "basic.grey");
  std::filesystem::create_directories(root / "basic.blue");
  std::filesystem::create_directories(root / "basic.lines");
  std::filesystem::create_directories(root / "basic.noted");
  WriteUtf16File(root / "basic.grey" / "config.txt", u"200,200,200,200,200,0,0,0,0");
  WriteUtf16File(root / "basic.blue" / "config.txt", u"1,2,3,4,5,6,7,8,9\r\n");
  WriteUtf16File(root / "basic.lines" / "config.txt", u"200,\r\n200,\r\n200,\r\n200,\r\n200,\r\n0,0,0,0");
  WriteUtf16File(root / "basic.noted" / "config.txt", u"1,2,3,4,5,6,7,8,200\r\nnight theme\r\n");

  CUITheme theme;
  theme.Init(root, u"");
  EXPECT_EQ(theme.basicFolder, root / "basic");
  EXPECT_EQ(theme.skinFolder, root / "skin");
  EXPECT_EQ(theme.colors, CUITheme::kDefaultColors);

  theme.Init(root, u"grey");
  EXPECT_EQ(theme.basicFolder, root / "basic.grey");
  EXPECT_EQ(theme.skinFolder, root / "skin.grey");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(theme.colors[i], 0xFFC8C8C8u) << i;
  EXPECT_EQ(theme.colors[5], 0xFF000000u);
  EXPECT_EQ(theme.colors[kThemeAccent], OpaqueColor(120, 200, 250));

  theme.Init(root, u"blue");
  EXPECT_EQ(theme.colors[kThemeAccent], OpaqueColor(7, 8, 9));
  EXPECT_EQ(theme.colors[0], OpaqueColor(1, 1, 1));
  EXPECT_EQ(theme.colors[5], OpaqueColor(6, 6, 6));

  // Notes after the values do not spoil the file.
  theme.Init(root, u"noted");
  EXPECT_EQ(theme.basicFolder, root / "basic.noted");
  EXPECT_EQ(theme.colors[kThemeAccent], OpaqueColor(7, 8, 200));

  for (const char16_t* bad : {u"lines", u"missing"}) {
    theme.Init(root, bad);
    EXPECT_EQ(theme.basicFolder, root / "basic");
    EXPECT_EQ(theme.skinFolder, root / "skin");
    EXPECT_EQ(theme.colors, CUITheme::kDefaultColors);
  }
}

TEST_F(UIResourcesTest, InitLoadsTextsSkinsAndCursor) {
  WriteBase(u"\"title\"=\"Tessera\"\r\n");
  CUIResources resources;
  ASSERT_TRUE(resources.Init(folder, u""));
  EXPECT_EQ(resources.logEnabled, 0);
  EXPECT_EQ(std::u16string(resources.texts.LookupText(u"title")), u"Tessera");
  EXPECT_EQ(std::u16string(resources.texts.LookupText(u"errinit")), u"Can not init application.");
  EXPECT_EQ(std::u16string(resources.texts.LookupText(u"errmem")), u"Not enough memory.");
  EXPECT_EQ(resources.skins.icons.Count(), std::size_t{kIconCount});
  EXPECT_EQ(resources.skins.digits.Count(), 11u);
  EXPECT_EQ(resources.skins.smallDigits.Count(), 11u);
  EXPECT_EQ(resources.skins.SkinFilePath(u"title.png"), folder / "skin" / "title.png");

  // The tab title picture takes the accent colour and keeps its alpha.
  const CBgraImage& tab = resources.skins.tabTitleImage;
  ASSERT_FALSE(tab.IsEmpty());
  for (std::uint32_t i = 0; i < tab.pixelCount; ++i) {
    ASSERT_EQ(PixelAt(tab, i % tab.width, i / tab.width) & 0xFFFFFF, 0x78C8FAu);
  }

  EXPECT_EQ(resources.handCursor, CursorShape::OpenHand);
  MonochromeCursor hand;
  ASSERT_TRUE(GetCursorPicture(CursorShape::OpenHand, hand));
  EXPECT_EQ(hand.hotSpot, (Point{15, 15}));
  // White (AND 0, XOR 1) under the hot spot, a black outline, about 17 rows.
  auto bit = [](const std::array<std::uint8_t, 128>& mask, int x, int y) {
    return (mask[y * 4 + x / 8] >> (7 - x % 8)) & 1;
  };
  EXPECT_EQ(bit(hand.andMask, 15, 15), 0);
  EXPECT_EQ(bit(hand.xorMask, 15, 15), 1);
  int top = 32, bottom = -1, black = 0;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      if (bit(hand.andMask, x, y)) continue;
      top = std::min(top, y);
      bottom = std::max(bottom, y);
      black += bit(hand.xorMask, x, y) == 0;
    }
  }
  EXPECT_EQ(bottom - top + 1, 17);
  EXPECT_GT(black, 40);

  // The rotate cursor: a ring around a transparent hot spot.
  EXPECT_EQ(resources.rotateCursor, CursorShape::Rotate);
  MonochromeCursor ring;
  ASSERT_TRUE(GetCursorPicture(CursorShape::Rotate, ring));
  EXPECT_EQ(ring.hotSpot, (Point{16, 16}));
  EXPECT_EQ(bit(ring.andMask, 16, 16), 1);
  EXPECT_EQ(bit(ring.andMask, 7, 16), 0);
  EXPECT_EQ(bit(ring.xorMask, 7, 16), 1);
}

TEST_F(UIResourcesTest, FailuresStopTheStart) {
  CUIResources resources;
  EXPECT_FALSE(resources.Init(folder, u""));  // no resource.txt
  EXPECT_EQ(std::u16string(resources.texts.LookupText(u"errinit")), u"Error init string");

  WriteUtf16File(folder / "basic" / "resource.txt", u"\"title\"=\"no marker\"\r\n");
  EXPECT_FALSE(resources.Init(folder, u""));

  WriteBase(u"\"title\"=\"Tessera\"\r\n\"bad\"=\"\"\r\n");
  EXPECT_FALSE(resources.Init(folder, u""));
  // The built-in texts are there for the failure message.
  EXPECT_EQ(std::u16string(resources.texts.LookupText(u"errinit")), u"Can not init application.");
  EXPECT_TRUE(resources.texts.HasText(u"title"));

  WriteBase(u"\"title\"=\"Tessera\"\r\n");
  std::filesystem::remove(folder / "basic" / "indicator.png");
  EXPECT_FALSE(resources.Init(folder, u""));
}

TEST_F(UIResourcesTest, ABadDialogTemplateStopsTheStartAndNamesItsLine) {
  static std::vector<std::u16string> shown;
  shown.clear();
  SetSystemMessageHandler([](std::u16string_view text) { shown.emplace_back(text); });
  WriteBase(u"\"title\"=\"Tessera\"\r\n");
  CUIResources resources;
  ASSERT_TRUE(resources.Init(folder, u""));  // no dialogs folder: no templates
  EXPECT_EQ(resources.dialogTemplates.Count(), 0u);

  std::filesystem::create_directories(folder / "dialogs");
  std::ofstream(folder / "dialogs" / "box.dlg") << "dialog 5 \"x\" 10 10\ncontrol Button 1 \"OK\" 1 2 3\n";
  EXPECT_FALSE(resources.Init(folder, u""));
  EXPECT_EQ(shown,
            (std::vector<std::u16string>{
                u"Dialog templates: box.dlg line 2: the control's place is not x, y, cx and cy in range"}));

  std::ofstream(folder / "dialogs" / "box.dlg") << "dialog 5 \"x\" 10 10\ncontrol Button 1 \"OK\" 1 2 3 4\n";
  ASSERT_TRUE(resources.Init(folder, u""));
  EXPECT_EQ(resources.dialogTemplates.Find(5)->items.size(), 1u);
}

TEST_F(UIResourcesTest, EveryStartBeginsANewLog) {
  const auto log = folder / "tessera.log";
  WriteBase(u"\"logpath\"=\"" + PathToUtf16(log) + u"\"\r\n");
  WriteBytes(log, "an old run\r\n");
  CUIResources resources;
  ASSERT_TRUE(resources.Init(folder, u""));
  EXPECT_EQ(resources.logEnabled, 1);
  resources.WriteLog("Frame Created");
  resources.WriteLog(std::string(3000, 'x'));

  const std::string text = ReadAll(log);
  EXPECT_EQ(text.find("an old run"), std::string::npos);
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  ASSERT_EQ(lines.size(), 4u);
  const char* messages[] = {"Image resource loaded.", "Resource loaded.", "Frame Created"};
  for (int i = 0; i < 3; ++i) {
    // The tick count: a sign, then at least 8 digits with leading zeros.
    const std::string& line = lines[i];
    const std::size_t blank = line.find(' ');
    ASSERT_NE(blank, std::string::npos) << line;
    const std::size_t digits = line[0] == '-' ? 1 : 0;
    EXPECT_GE(blank, 8u) << line;
    EXPECT_EQ(line.find_first_not_of("0123456789", digits), blank) << line;
    EXPECT_EQ(line.substr(blank + 1), messages[i]);
  }
  EXPECT_EQ(lines[3].size() + 2, CUIResources::kMaxLogLine);  // cut to fit 2048 bytes
}

// The folder the program ships holds everything the start-up loads.
TEST(DataFolderTest, HoldsEverySkinPictureAndTheBaseTexts) {
  const std::filesystem::path data = GetProgramDataFolder();
  ASSERT_TRUE(std::filesystem::is_directory(data / "basic")) << data;
  for (const SkinPicture& picture : CSkinSet::kStartupPictures) {
    SCOPED_TRACE(picture.file);
    CBgraImage image;
    ASSERT_TRUE(image.LoadFile(data / "basic" / picture.file));
    if (picture.cellWidth > 0) {
      EXPECT_EQ(image.width, std::uint32_t(picture.cellWidth * picture.cells));
    }
  }

  CUIResources resources;
  ASSERT_TRUE(resources.Init(u""));
  EXPECT_EQ(resources.programFolder, data);
  EXPECT_EQ(resources.logEnabled, 0);
  for (const char16_t* key : {u"title", u"dlgUpdateUINT", u"dlgUpdateRange", u"unexpect"}) {
    EXPECT_TRUE(resources.texts.HasText(key)) << ToUtf8(key);
  }
  // Range texts take the three numbers the dialogs pass.
  const std::u16string range = FormatText(resources.texts.LookupText(u"dlgUpdateRange"), {1, 100, 250});
  EXPECT_NE(range.find(u"100"), std::u16string::npos);
  EXPECT_NE(range.find(u"250"), std::u16string::npos);
  EXPECT_EQ(range.find(u'%'), std::u16string::npos);
}

}  // namespace
