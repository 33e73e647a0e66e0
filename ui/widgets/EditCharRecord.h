#pragma once
// The records of an edit field (CEditSprite): one per character of its text,
// and one per character its undo and redo queues hold.

#include <cstdint>
#include <memory>

#include "image/BgraImage.h"

struct EditCharRecord {
  // A UTF-16 unit, or a code point beyond the BMP: its surrogate pair is one
  // character, never two.
  char32_t character = 0;
  // Coverage picture from the glyph cache, shared; null for carriage return
  // and line feed, which take no room.
  std::shared_ptr<const CBgraImage> glyph;
  std::int32_t x = 0;  // in the text area, set by the layout
  std::int32_t y = 0;
  std::uint8_t hasGlyph = 0;

  std::int32_t GlyphWidth() const { return glyph ? static_cast<std::int32_t>(glyph->width) : 0; }
  std::int32_t GlyphHeight() const { return glyph ? static_cast<std::int32_t>(glyph->height) : 0; }
};

enum class EditStepKind : std::uint8_t { Inserted = 0, Deleted = 1 };

// One character inserted at position or deleted from there. In the redo
// queue the kind says what the undo did.
struct EditUndoStep {
  std::int32_t position = 0;
  EditStepKind kind = EditStepKind::Inserted;
  char32_t character = 0;
  bool operator==(const EditUndoStep&) const = default;
};
