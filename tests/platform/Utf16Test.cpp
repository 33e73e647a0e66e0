#include <gtest/gtest.h>

#include <string>

#include "platform/Utf16.h"

namespace {

TEST(CopyTextTruncated, CutsLongTextsWithTwoDots) {
  struct Case {
    std::size_t length;
    std::size_t expected;
    bool cut;
  };
  for (const Case& c : {Case{0, 0, false}, Case{30, 30, false}, Case{31, 29, true}, Case{200, 29, true}}) {
    std::u16string source(c.length, u'a');
    char16_t field[32];
    std::fill(std::begin(field), std::end(field), u'#');
    CopyTextTruncated(field, source.c_str());
    const std::u16string result(field);
    SCOPED_TRACE(c.length);
    if (c.cut) {
      EXPECT_EQ(result, std::u16string(c.expected, u'a') + u"..");
    } else {
      EXPECT_EQ(result, source);
    }
    EXPECT_LE(result.size(), 31u);
  }
}

TEST(CopyTextTruncated, NullSourceGivesEmptyText) {
  char16_t field[32] = {u'x', u'y'};
  CopyTextTruncated(field, static_cast<const char16_t*>(nullptr));
  EXPECT_EQ(field[0], u'\0');
}

TEST(Utf16, RoundTripsAndReplacesInvalidSequences) {
  const std::u16string text = u"Fiançailles \u00e9t\u00e9 \u5a5a\u793c \U0001F4F7";
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(FromUtf8("a\xC3"), u"a\uFFFD");
  EXPECT_EQ(FromUtf8("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");  // overlong
}

TEST(Utf16, BoundedLengthStopsAtTheFieldEnd) {
  const char16_t full[3] = {u'a', u'b', u'c'};
  EXPECT_EQ(BoundedLength(full), 3u);
  const char16_t shortText[3] = {u'a', 0, u'c'};
  EXPECT_EQ(BoundedLength(shortText), 1u);
}

}  // namespace

TEST(Utf16, ContainsIgnoringCaseFoldsLettersOfSeveralScripts) {
  struct Case {
    std::u16string_view text, word;
    bool found;
  };
  const Case cases[] = {
      {u" holiday", u"HOLIDAY", true},
      {u" concat", u"Cat", true},
      {u" \u00C5berg", u"\u00E5BERG", true},                 // Latin-1
      {u"\u00D7", u"\u00F7", false},                         // the signs are no letters
      {u"\u041C\u0418\u0420", u"\u043C\u0438\u0440", true},  // Cyrillic
      {u"\u0394\u03B5\u03BB", u"\u03B4\u0395\u039B", true},  // Greek
      {u" beach", u"peach", false},
      {u"", u"", true},
      {u"", u"a", false},
  };
  for (const Case& c : cases) EXPECT_EQ(ContainsIgnoringCase(c.text, c.word), c.found);
}
