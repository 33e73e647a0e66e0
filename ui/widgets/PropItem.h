#pragma once
// CPropItem: one value row of the property list (CSPropertyList), a tree
// node whose text is the row's label, with a typed value: numbers, a
// rational, a text (dates too) or one of a list of options. The texts stand
// for fixed fields and are cut on the way in. The list renders valueImage
// when it draws the row and frees it whenever the value changes.
//
// Threads: the owner builds the rows on the UI thread inside the list's
// edit guard; the list changes the value fields under its lock, and the
// render thread reads them under the same lock.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "image/BgraImage.h"
#include "ui/widgets/TreeNode.h"

enum class PropValueType : std::uint8_t {
  UnsignedInt = 1,
  SignedInt = 3,
  Rational = 4,
  Text = 6,  // dates as well
  Enumeration = 7,
};

struct PropOption {
  std::int32_t value = 0;
  std::u16string label;
};

class CPropItem : public CTreeNode {
public:
  // Field sizes in characters, terminator included.
  static constexpr std::size_t kValueField = 256;
  static constexpr std::size_t kOptionsField = 1024;
  static constexpr std::size_t kOptionLabelField = 64;
  // A text row's edit field: no longer than minimum (255), filter kind
  // maximum (3, ASCII).
  static constexpr std::int32_t kTextMaxLength = 255;
  static constexpr std::int32_t kTextFilter = 3;

  // Empties the options, then the node's own Clear.
  void Clear() override;

  // Reads options from "label^value|label^value...": a label runs to its
  // "^" (62 characters or more keep 61 and ".."), the value is the decimal
  // integer after it (clamped to 32 bits). The text is cut like a field of
  // 1024 characters first; parsing stops at an entry without "^". The
  // previous options go. Returns their number.
  std::size_t SetEnumOptions(std::u16string_view text);
  // The option with a value, or null.
  const PropOption* FindOption(std::int32_t value) const;
  // valueText = text cut to its field (255 characters or more keep 253 and
  // ".."); the rendered value goes.
  void SetValueText(std::u16string_view text);

  std::int32_t propertyId = 0;
  std::u16string valueText;
  PropValueType valueType = PropValueType::Text;
  // Numbers: the range an edit accepts. Texts: see kTextMaxLength.
  std::int32_t minimum = 0;
  std::int32_t maximum = 0;
  std::int32_t enumValue = 0;
  std::vector<PropOption> options;
  std::uint8_t editable = 0;
  std::uint8_t enabled = 1;
  std::uint8_t valueKnown = 1;  // 0: the value is missing
  CBgraImage valueImage;        // coverage; made when drawn
  std::int32_t valueCut = 0;    // the rendered value had to be shortened
  std::int32_t valueX = 0;      // where the value was last drawn, list coordinates
  std::int32_t valueY = 0;
};
