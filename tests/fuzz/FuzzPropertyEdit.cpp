// What reaches the property list from outside: option texts (from text
// tables that language files replace) and values the user typed or pasted.
// The first byte picks the reader, two more u32 give a range or a rational
// pair, the rest is UTF-16 little-endian text. Every accepted value must fit
// the row's 256-character field and its range; every rational shown must be
// one over a whole number when it was reduced.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tests/fuzz/FuzzSupport.h"
#include "ui/TextFormat.h"
#include "ui/widgets/PropItem.h"
#include "ui/widgets/PropValueText.h"
#include "ui/widgets/ReduceToUnitFraction.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzBytes bytes(data, size);
  const std::uint8_t reader = bytes.U8();
  const auto first = static_cast<std::int32_t>(bytes.U32());
  const auto second = static_cast<std::int32_t>(bytes.U32());
  const std::span<const std::uint8_t> rest = bytes.Rest();
  std::u16string text(rest.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(rest[2 * i] | rest[2 * i + 1] << 8);

  switch (reader % 4) {
    case 0: {
      CPropItem item;
      const std::size_t count = item.SetEnumOptions(text);
      FuzzCheck(count <= CPropItem::kOptionsField / 2, "at most one option per two characters");
      for (const PropOption& option : item.options)
        FuzzCheck(option.label.size() < CPropItem::kOptionLabelField, "a label fits its field");
      break;
    }
    case 1: {
      const std::int64_t low = std::min(first, second), high = std::max(first, second);
      const EditedValue value = ReadIntegerValue(text, low, high);
      if (value.check == EditedValueCheck::Ok) {
        FuzzCheck(value.number >= low && value.number <= high, "an accepted integer is in range");
        FuzzCheck(value.text == FormatText(u"%d", {value.number}), "it is stored as written");
      }
      break;
    }
    case 2: {
      const EditedValue value = ReadRationalValue(text);
      if (value.check == EditedValueCheck::Ok) {
        FuzzCheck(!value.text.empty() && value.text.size() < CPropItem::kValueField,
                  "a rational fits its field");
      }
      break;
    }
    default: {
      const Fraction32 reduced = ReduceToUnitFraction({first, second});
      if (reduced != Fraction32{first, second})
        FuzzCheck(std::abs(reduced.numerator) == 1, "a reduced pair is one over a whole number");
      FuzzCheck(RationalText(first, second).size() < CPropItem::kValueField, "a rational's text fits");
      break;
    }
  }
  return 0;
}
