#pragma once
// A text a record owns or lacks: std::nullopt is "not set", which is not the
// same as an empty text.

#include <optional>
#include <string>
#include <string_view>

using OwnedText = std::optional<std::u16string>;

// Replaces the field's text by a copy of text, or leaves the field not set
// when text is null. text may point into the field's own buffer.
inline void ReplaceOwnedString(OwnedText& field, const char16_t* text) {
  if (!text) {
    field.reset();
    return;
  }
  std::u16string copy(text);
  field = std::move(copy);
}
