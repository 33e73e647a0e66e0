#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "platform/ProgramPath.h"
#include "platform/SystemMessage.h"
#include "tests/common/TestData.h"
#include "tests/ui/SkinTestSupport.h"
#include "ui/StringTable.h"
#include "ui/TextFormat.h"

namespace {

std::vector<std::u16string> g_messages;
void RecordMessage(std::u16string_view text) { g_messages.emplace_back(text); }

// Collects what the table would show the user.
class StringTableTest : public ::testing::Test {
protected:
  StringTableTest() {
    g_messages.clear();
    SetSystemMessageHandler(RecordMessage);
  }
  ~StringTableTest() override { SetSystemMessageHandler(nullptr); }

  static std::u16string Table(std::u16string_view body) { return u"[StringTab]\r\n" + std::u16string(body); }
};

std::u16string Text(const CStringTable& table, std::u16string_view key) {
  const char16_t* text = table.LookupText(key);
  return text ? std::u16string(text) : std::u16string(u"<null>");
}

TEST_F(StringTableTest, EntryLinesParseAsTheFormatSays) {
  struct Case {
    const char* name;
    std::u16string line;
    bool parses;
    std::u16string key;
    std::u16string value;
  };
  const Case cases[] = {
      {"plain", u"\"title\"=\"Tessera\"", true, u"title", u"Tessera"},
      {"quotes inside the value", u"\"q\"=\"say \"hi\" now\"", true, u"q", u"say \"hi\" now"},
      {"text after the last quote dropped", u"\"k\"=\"value\" ; note", true, u"k", u"value"},
      {"escapes kept literally", u"\"k\"=\"a\\nb\"", true, u"k", u"a\\nb"},
      {"empty value", u"\"empty\"=\"\"", false, {}, {}},
      {"blank before equals", u"\"key\" =\"value\"", false, {}, {}},
      {"blank after equals", u"\"key\"= \"value\"", false, {}, {}},
      {"key ends at an equals sign", u"\"ke=y\"=\"value\"", false, {}, {}},
      {"no closing quote", u"\"key\"=\"value", false, {}, {}},
      {"no opening quote", u"key\"=\"value\"", false, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CStringTable table;
    EXPECT_EQ(table.ParseLine(c.line), c.parses);
    if (!c.parses) {
      EXPECT_EQ(table.Count(), 0u);
      continue;
    }
    table.Sort();
    EXPECT_EQ(Text(table, c.key), c.value);
  }
}

TEST_F(StringTableTest, LoadSkipsWhatIsNoEntryAndStopsAtABadOne) {
  CStringTable table;
  const std::u16string text = u"header text \"x\"=\"ignored before the marker\"\r\n" +
                              Table(
                                  u"; a comment line\r\n"
                                  u"\r\n\r\n"
                                  u"\"a\"=\"b\"\r\n"  // 7 characters: too short to be an entry
                                  u"\"second\"=\"two\"\n"
                                  u"[OtherSection]\r\n"
                                  u"\"first\"=\"one\"\r\r\n");
  EXPECT_TRUE(table.Load(std::u16string_view(text)));
  table.Sort();
  EXPECT_EQ(table.Count(), 2u);
  EXPECT_EQ(Text(table, u"first"), u"one");
  EXPECT_EQ(Text(table, u"second"), u"two");
  EXPECT_EQ(Text(table, u"a"), u"<null>");
  EXPECT_EQ(Text(table, u"x"), u"<null>");
  EXPECT_TRUE(g_messages.empty());

  CStringTable broken;
  EXPECT_FALSE(broken.Load(
      std::u16string_view(Table(u"\"kept\"=\"yes\"\r\n\"bad\" = \"no\"\r\n\"after\"=\"never\"\r\n"))));
  broken.Sort();
  EXPECT_EQ(Text(broken, u"kept"), u"yes");
  EXPECT_FALSE(broken.HasText(u"after"));
  ASSERT_EQ(g_messages.size(), 1u);
  EXPECT_EQ(g_messages[0], u"Error in parse string resource:'\"bad\" = \"no\"'");

  g_messages.clear();
  CStringTable empty;
  EXPECT_FALSE(empty.Load(std::u16string_view(Table(u"\"empty\"=\"\"\r\n"))));
  ASSERT_EQ(g_messages.size(), 1u);
  EXPECT_EQ(g_messages[0], u"Error in parse string resource:'\"empty\"=\"\"'");
}

TEST_F(StringTableTest, MarkerAndEndOfText) {
  CStringTable table;
  EXPECT_FALSE(table.Load(std::u16string_view(u"\"k\"=\"value\"\r\n")));  // no marker
  // The two characters after the marker are skipped even at the very end.
  EXPECT_TRUE(table.Load(std::u16string_view(u"[StringTab]")));
  EXPECT_TRUE(table.Load(std::u16string_view(u"[StringTab]\r")));
  // They are skipped whatever they are: with a lone LF the first line loses
  // its opening quote.
  EXPECT_TRUE(table.Load(std::u16string_view(u"[StringTab]\n\"lost\"=\"yes\"\r\n")));
  // A NUL ends the text.
  std::u16string withNul = Table(u"\"before\"=\"1\"\r\n");
  withNul.push_back(u'\0');
  withNul += u"\"after\"=\"2\"\r\n";
  EXPECT_TRUE(table.Load(std::u16string_view(withNul)));
  table.Sort();
  EXPECT_TRUE(table.HasText(u"before"));
  EXPECT_FALSE(table.HasText(u"after"));
  EXPECT_FALSE(table.HasText(u"lost"));
}

TEST_F(StringTableTest, LongLinesAreSplitAt1023Characters) {
  // A 1023-character entry line parses; what follows it on the same line is
  // a line of its own.
  const std::u16string value(CStringTable::kMaxLineLength - 6, u'v');  // "k"="..." is 6 more
  const std::u16string longLine = u"\"k\"=\"" + value + u"\"";
  ASSERT_EQ(longLine.size(), CStringTable::kMaxLineLength);
  CStringTable table;
  EXPECT_TRUE(table.Load(std::u16string_view(Table(longLine + u"\"tail\"=\"split off\"\r\n"))));
  table.Sort();
  EXPECT_EQ(Text(table, u"k"), value);
  EXPECT_EQ(Text(table, u"tail"), u"split off");

  // An entry whose closing quote lies past the split loses it: the first part
  // has an empty value and stops the loading.
  CStringTable cut;
  const std::u16string tooLong = u"\"k\"=\"" + std::u16string(CStringTable::kMaxLineLength, u'v') + u"\"";
  EXPECT_FALSE(cut.Load(std::u16string_view(Table(tooLong))));
  EXPECT_EQ(g_messages.size(), 1u);
}

TEST_F(StringTableTest, FilesAreUtf16AndOddByteCountsAreSafe) {
  const auto dir = ScratchDir();
  WriteUtf16File(dir / "table.txt", u"\uFEFF" + Table(u"\"k\"=\"\u00e9t\u00e9 \u6f22\u5b57\"\r\n"));
  CStringTable table;
  EXPECT_TRUE(table.Load(dir / "table.txt"));
  table.Sort();
  EXPECT_EQ(Text(table, u"k"), u"\u00e9t\u00e9 \u6f22\u5b57");

  // An odd last byte is dropped.
  std::string bytes;
  for (char16_t c : Table(u"\"odd\"=\"yes\"\r\n")) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  bytes.push_back('\x22');
  WriteBytes(dir / "odd.txt", bytes);
  CStringTable odd;
  EXPECT_TRUE(odd.Load(dir / "odd.txt"));
  odd.Sort();
  EXPECT_EQ(Text(odd, u"odd"), u"yes");

  WriteBytes(dir / "one.txt", "x");
  CStringTable one;
  EXPECT_FALSE(one.Load(dir / "one.txt"));
  EXPECT_FALSE(one.Load(dir / "missing.txt"));
}

TEST_F(StringTableTest, LookupsAreOrdinalBisections) {
  CStringTable table;
  for (const char16_t* key : {u"b", u"B", u"a", u"\u00e4", u"ab", u"A"}) {
    table.AddText(key, std::u16string(u"text of ") + key);
  }
  table.Sort();
  for (const char16_t* key : {u"b", u"B", u"a", u"\u00e4", u"ab", u"A"}) {
    EXPECT_TRUE(table.HasText(key));
    EXPECT_EQ(Text(table, key), std::u16string(u"text of ") + key);
  }
  EXPECT_FALSE(table.HasText(u"c"));
  EXPECT_EQ(table.LookupText(u"c"), nullptr);
  EXPECT_EQ(Text(table, u"errinit"), u"Error init string");
  EXPECT_FALSE(table.HasText(u"errinit"));
  EXPECT_TRUE(CompareTextEntries({u"Z", u""}, {u"a", u""}));
  EXPECT_FALSE(CompareTextEntries({u"\u00e4", u""}, {u"z", u""}));
}

TEST(TextFormatTest, FillsOnlyThePlaceholdersTheCallerExpects) {
  struct Case {
    const char* name;
    std::u16string pattern;
    std::u16string expected;
  };
  const Case cases[] = {
      {"in order", u"from %d to %d, got %d", u"from 1 to 32768, got -5"},
      {"width and zero padding", u"[%05d] [%-4d] [%3d]", u"[00001] [32768] [ -5]"},
      {"percent sign", u"100%% of %d", u"100% of 1"},
      {"texts in place of numbers stay", u"%s %s", u"%s %s"},
      {"missing arguments stay", u"%d %d %d %d", u"1 32768 -5 %d"},
      {"unknown conversions stay", u"%n%p%q %d", u"%n%p%q 1"},
      {"a lone percent at the end", u"done %", u"done %"},
      {"huge widths are capped", u"%999999999d", std::u16string(255, u' ') + u"1"},
      {"length letters", u"%ld %I64d %lld", u"1 32768 -5"},
      {"hexadecimal", u"%x %#X", u"1 0X8000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FormatText(c.pattern, {1, 32768, -5}), c.expected);
  }
  EXPECT_EQ(FormatText(u"Error in '%s' at %d: %.3s", {u"file.txt", 7, u"abcdef"}),
            u"Error in 'file.txt' at 7: abc");
  EXPECT_EQ(FormatText(u"%d and %s", {u"text", 3}), u"%d and %s");
  EXPECT_EQ(FormatText(u"%s", {nullptr}), u"");
}

// A language text with two real placeholders, as the slider's prompt has:
// reals fill only real placeholders, in the C locale's form, whatever the
// pattern asks for around them.
TEST(TextFormatTest, RealsFillOnlyRealPlaceholders) {
  struct Case {
    const char* name;
    std::u16string pattern;
    std::u16string expected;
  };
  const Case cases[] = {
      {"shortest form", u"from %g to %g", u"from -2.5 to 12500"},
      {"fixed and exponent with width and precision", u"[%8.2f] [%.1e]", u"[   -2.50] [1.2e+04]"},
      {"numbers and texts stay for reals", u"%d %s", u"%d %s"},
      {"a huge precision is capped", u"%.999999f",
       u"-2." + std::u16string(1, u'5') + std::u16string(255, u'0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FormatText(c.pattern, {-2.5, 12500.0}), c.expected);
  }
  EXPECT_EQ(FormatText(u"%g %d %g", {7, 3, 0.25}), u"%g 3 0.25") << "a number is no real";
  EXPECT_EQ(FormatText(u"%g %g %g", {1e308 * 10, -1e308 * 10, std::nan("")}), u"inf -inf nan");
  EXPECT_EQ(FormatText(u"%.0f", {1e308}).size(), 309u) << "the widest fixed text fits";
}

// The update notice's pattern comes from a language file: one fraction and
// one text, nothing else is filled.
TEST(TextFormatTest, FillsAFractionOnlyWhereAFractionIsExpected) {
  struct Case {
    const char* name;
    std::u16string pattern;
    std::u16string expected;
  };
  const Case cases[] = {
      {"fraction then text", u"Version %.2f is out: %s", u"Version 2.51 is out: faster"},
      {"default precision", u"%f|%s", u"2.510000|faster"},
      {"general and exponent", u"%g %E %s", u"2.51 %E %s"},
      {"width, sign and length letters", u"[%+8.1lf] [%-8s]", u"[    +2.5] [faster  ]"},
      {"left and zero padding", u"[%-6.1f] [%08.3f]", u"[2.5   ] [%08.3f]"},
      {"a whole-number placeholder stays", u"%d %s", u"%d faster"},
      {"a text placeholder for the number stays", u"%s %s", u"%s faster"},
      {"more placeholders than arguments", u"%.2f %s %s %n", u"2.51 faster %s %n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FormatText(c.pattern, {2.51, u"faster"}), c.expected);
  }
  EXPECT_EQ(FormatText(u"%.1f %e %G", {-0.25, 1e300, 1e-5}), u"-0.2 1.000000e+300 1E-05");
  EXPECT_EQ(FormatText(u"%f %F", {std::numeric_limits<double>::infinity(), std::nan("")}), u"inf nan");
  EXPECT_EQ(FormatText(u"%05.1f", {-2.5}), u"-02.5");
  EXPECT_EQ(FormatText(u"%.99999f", {0.5}), u"0.5" + std::u16string(255, u'0'));  // capped at 256
}

}  // namespace

// Lookups find one of several entries of a key at random, so a key the
// shipped table holds twice (a careless merge) shows either text.
TEST(ShippedTextTableTest, EachKeyIsThereOnce) {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(GetProgramDataFolder() / "basic" / "resource.txt");
  ASSERT_GE(bytes.size(), 2u);
  std::u16string text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  std::set<std::u16string> keys;
  std::vector<std::string> twice;
  std::size_t lineStart = 0;
  while (lineStart < text.size()) {
    std::size_t lineEnd = text.find(u'\n', lineStart);
    if (lineEnd == std::u16string::npos) lineEnd = text.size();
    const std::u16string_view line(text.data() + lineStart, lineEnd - lineStart);
    const std::size_t open = line.find(u'"');
    const std::size_t close = open == std::u16string_view::npos ? open : line.find(u'"', open + 1);
    if (close != std::u16string_view::npos && line.substr(close + 1).starts_with(u"=")) {
      const std::u16string key(line.substr(open + 1, close - open - 1));
      if (!keys.insert(key).second) twice.emplace_back(key.begin(), key.end());
    }
    lineStart = lineEnd + 1;
  }
  EXPECT_GT(keys.size(), 10u);
  EXPECT_TRUE(twice.empty()) << "first key found twice: " << twice.front();
}
