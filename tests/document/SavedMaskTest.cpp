// Keeping the selection as a saved mask: the record keeping behind
// "Lastarea" and the named masks.

#include <gtest/gtest.h>

#include <cstring>

#include "document/BFDoc.h"
#include "tests/document/DocumentTestSupport.h"

namespace {

void Select(CBFDoc& doc, std::uint32_t left, std::uint32_t top, std::uint32_t right, std::uint32_t bottom,
            std::uint8_t value) {
  ASSERT_EQ(doc.m_selection.Create(doc.m_width, doc.m_height), 1);
  std::memset(doc.m_selection.pixels, 0, doc.m_selection.byteSize);
  for (std::uint32_t y = top; y <= bottom; ++y)
    std::memset(doc.m_selection.Row(y) + left, value, right - left + 1);
}

TEST(StoreSelectionAsMask, KeepsTheNonZeroBoxAndReplacesAMaskOfTheSameName) {
  CBFDoc doc;
  MakeBase(doc, 100, 80);
  Select(doc, 10, 20, 39, 29, 255);
  ASSERT_EQ(doc.StoreSelectionAsMask(u"Other"), 1);
  ASSERT_EQ(doc.StoreSelectionAsMask(u"Last selection"), 1);
  Select(doc, 99, 0, 99, 79, 7);  // touching the right edge
  ASSERT_EQ(doc.StoreSelectionAsMask(u"Last selection"), 1);
  ASSERT_EQ(doc.m_masks.size(), 2u);
  const MaskRecord& last = *doc.m_masks[1];
  EXPECT_EQ(last.Name(), u"Last selection");
  EXPECT_EQ(last.x, 99);
  EXPECT_EQ(last.y, 0);
  EXPECT_EQ(last.plane.width, 1u);
  EXPECT_EQ(last.plane.height, 80u);
  EXPECT_EQ(last.plane.At(0, 79)[0], 7);
  EXPECT_EQ(last.documentWidth, 100u);
  EXPECT_EQ(doc.m_masks[0]->plane.width, 30u);
  EXPECT_EQ(doc.m_masks[0]->x, 10);
  EXPECT_FALSE(doc.m_selection.IsEmpty()) << "the selection stays";
  EXPECT_EQ(doc.m_modified, 0);
}

TEST(StoreSelectionAsMask, NothingSelectedRemovesTheMaskOfThatName) {
  CBFDoc doc;
  MakeBase(doc, 40, 30);
  Select(doc, 1, 1, 5, 5, 255);
  ASSERT_EQ(doc.StoreSelectionAsMask(u"Area"), 1);
  Select(doc, 1, 1, 5, 5, 0);
  EXPECT_EQ(doc.StoreSelectionAsMask(u"Area"), 0);
  EXPECT_TRUE(doc.m_masks.empty());
  doc.m_selection.Free();
  EXPECT_EQ(doc.StoreSelectionAsMask(u"Area"), 0);
  EXPECT_TRUE(doc.m_masks.empty());
}

TEST(StoreSelectionAsMask, ALongNameIsCutAsStoredAndStillFound) {
  CBFDoc doc;
  MakeBase(doc, 40, 30);
  Select(doc, 1, 1, 5, 5, 255);
  const std::u16string name(31, u'm');
  ASSERT_EQ(doc.StoreSelectionAsMask(name), 1);
  ASSERT_EQ(doc.StoreSelectionAsMask(name), 1);
  ASSERT_EQ(doc.m_masks.size(), 1u);
  EXPECT_EQ(doc.m_masks[0]->Name(), std::u16string(29, u'm') + u"..");
}

}  // namespace
