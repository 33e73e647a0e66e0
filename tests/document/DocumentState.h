#pragma once
// What a document holds before an operation that may fail, to check after a
// failure that nothing changed: the same layer and mask objects holding the
// same pixel blocks (nothing rebuilt or exchanged), with the same contents,
// places and sizes, the same current layer and the same modified flag.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "document/BFDoc.h"

class DocumentState {
public:
  explicit DocumentState(const CBFDoc& doc);
  DocumentState(const DocumentState&) = delete;
  DocumentState& operator=(const DocumentState&) = delete;

  // False when the document could not be copied.
  bool Taken() const { return m_taken; }
  testing::AssertionResult Matches(const CBFDoc& doc) const;

private:
  CBFDoc m_copy;
  bool m_taken = false;
  std::int32_t m_modified = 0;
  std::vector<const CBFLayer*> m_layers;
  std::vector<const std::uint16_t*> m_images;
  const std::uint8_t* m_selection = nullptr;
  std::vector<const MaskRecord*> m_masks;
  std::vector<const std::uint8_t*> m_maskPlanes;
};

// Equal contents, whatever the objects: size, current layer and path; each
// layer's kind, text, name, properties, place and pixels; the selection;
// each mask's name, place and plane. Ids and the modified flag aside.
testing::AssertionResult SameContent(const CBFDoc& actual, const CBFDoc& expected);
