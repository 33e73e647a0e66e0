#include "album/SearchCondition.h"

#include <algorithm>

#include "album/TagWords.h"
#include "platform/LittleEndian.h"
#include "platform/Utf16.h"

std::u16string_view SearchCondition::Text() const { return {text.data(), BoundedLength(text)}; }

void SearchCondition::SetText(std::u16string_view words) { CopyTextTruncated(text, words); }

bool SearchCondition::Test(std::int64_t value, const std::u16string_view* valueText) const {
  switch (static_cast<ConditionKind>(kind)) {
    case ConditionKind::None:
      return true;
    case ConditionKind::Equal:
      return value == low;
    case ConditionKind::Range:
    case ConditionKind::DateRange:
      return low <= value && value < high;
    case ConditionKind::Near: {
      if (low == 0) return true;
      const std::int64_t distance = value - low;
      return (distance < 0 ? -distance : distance) <= high;
    }
    case ConditionKind::Words: {
      TagWordSlots words;
      const int count = SplitTagWords(Text(), words);
      if (count == 0) return true;
      if (valueText == nullptr) return false;
      for (int i = 0; i < count; ++i) {
        const std::u16string_view word = TagWordText(words[i]);
        if (valueText->find(word) == std::u16string_view::npos && CompareAsciiNoCase(word, *valueText) != 0) {
          return false;
        }
      }
      return true;
    }
  }
  return true;
}

void SearchCondition::Write(ByteWriter& out) const {
  out.U32(kind);
  out.I32(low);
  out.I32(high);
  for (char16_t c : text) out.U16(c);
}

void SearchCondition::Read(std::span<const std::uint8_t> bytes) {
  const std::uint8_t* p = bytes.data();
  kind = LoadLE32(p);
  low = static_cast<std::int32_t>(LoadLE32(p + 4));
  high = static_cast<std::int32_t>(LoadLE32(p + 8));
  for (std::size_t i = 0; i < kTextLength; ++i) text[i] = LoadLE16(p + 12 + 2 * i);
}

SearchCondition SearchCondition::Make(ConditionKind kind, std::int32_t low, std::int32_t high) {
  SearchCondition condition;
  condition.kind = static_cast<std::uint32_t>(kind);
  condition.low = low;
  condition.high = high;
  return condition;
}
