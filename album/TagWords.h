#pragma once
// The words of a photo's tags text: blank-separated (the space character
// only), each cut to kTagWordLength characters, repeated words (ASCII
// letters compared without case) left out, at most kMaxTagWords of them.

#include <array>
#include <cstddef>
#include <string_view>

inline constexpr std::size_t kTagWordLength = 33;
inline constexpr std::size_t kMaxTagWords = 16;

// One word, zero-terminated, in a slot of 34 characters.
using TagWord = std::array<char16_t, kTagWordLength + 1>;
using TagWordSlots = std::array<TagWord, kMaxTagWords>;

// Fills slots from the start with the words of text; the number stored.
int SplitTagWords(std::u16string_view text, TagWordSlots& slots);

inline std::u16string_view TagWordText(const TagWord& word) {
  std::size_t n = 0;
  while (n < word.size() && word[n] != 0) ++n;
  return {word.data(), n};
}
