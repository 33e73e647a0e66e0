#include "album/TagWords.h"

#include <algorithm>

namespace {

char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool SameWord(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
           return AsciiLower(x) == AsciiLower(y);
         });
}

}  // namespace

int SplitTagWords(std::u16string_view text, TagWordSlots& slots) {
  // A text from a fixed field ends at its terminator.
  text = text.substr(0, text.find(u'\0'));
  std::size_t count = 0;
  std::size_t i = 0;
  while (count < kMaxTagWords) {
    while (i < text.size() && text[i] == u' ') ++i;
    if (i == text.size()) break;
    const std::size_t start = i;
    while (i < text.size() && text[i] != u' ') ++i;
    const std::u16string_view word = text.substr(start, std::min(i - start, kTagWordLength));
    bool seen = false;
    for (std::size_t k = 0; k < count && !seen; ++k) seen = SameWord(TagWordText(slots[k]), word);
    if (seen) continue;
    TagWord& slot = slots[count++];
    slot.fill(0);
    std::copy(word.begin(), word.end(), slot.begin());
  }
  return static_cast<int>(count);
}
