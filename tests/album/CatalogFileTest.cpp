#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "album/CatalogFile.h"
#include "album/SearchNode.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "tests/common/FileSizeLimit.h"
#include "tests/common/TestData.h"

namespace {

CSearchNode* AddCatalog(CSearchNode& parent, std::u16string name, std::int32_t isoLow) {
  auto node = std::make_unique<CSearchNode>();
  node->hasCriteria = node->userCatalog = 1;
  node->text = std::move(name);
  node->criteria.slots[kSlotIso] = SearchCondition::Make(ConditionKind::Range, isoLow, isoLow + 4);
  node->criteria.SetTagWords(u"dog");
  return static_cast<CSearchNode*>(parent.AppendChild(std::move(node)));
}

std::vector<std::uint8_t> Serialise(const CSearchNode& root) {
  ByteWriter out;
  for (const auto& child : root.children) WriteCatalogRecord(out, static_cast<const CSearchNode&>(*child));
  return out.Take();
}

const CSearchNode& Child(const CTreeNode& node, std::size_t i) {
  return static_cast<const CSearchNode&>(*node.children.at(i));
}

// Three levels: A (A1 (A1a), A2), B.
void BuildThreeLevels(CSearchNode& root) {
  CSearchNode* a = AddCatalog(root, u"A", 2);
  CSearchNode* a1 = AddCatalog(*a, u"A1", 4);
  AddCatalog(*a1, u"A1a", 6);
  AddCatalog(*a, u"A2", 8);
  AddCatalog(root, u"B", 10);
}

TEST(CatalogFile, ThreeLevelsRoundTripByteExact) {
  const std::filesystem::path path = ScratchDir() / "UserSearchTree.db";
  CSearchNode root;
  root.userCatalog = 1;
  BuildThreeLevels(root);
  ASSERT_EQ(SaveCatalogFile(path, root), 1);
  std::vector<std::uint8_t> saved;
  ASSERT_TRUE(ReadWholeFile(path, saved, 1 << 20));
  ASSERT_EQ(saved.size(), 5u * 4084);
  EXPECT_EQ(LoadLE16(saved.data()), 4082);
  EXPECT_EQ(LoadLE16(saved.data() + 4082), 2);  // A's children

  CSearchNode loaded;
  ASSERT_EQ(LoadCatalogFile(path, loaded), 1);
  ASSERT_EQ(loaded.children.size(), 2u);
  const CSearchNode& a = Child(loaded, 0);
  EXPECT_EQ(a.text, u"A");
  EXPECT_EQ(a.parent, &loaded);
  EXPECT_TRUE(a.hasCriteria && a.userCatalog);
  ASSERT_EQ(a.children.size(), 2u);
  EXPECT_EQ(Child(Child(a, 0), 0).text, u"A1a");
  EXPECT_EQ(Child(Child(a, 0), 0).criteria.slots[kSlotIso].low, 6);
  EXPECT_EQ(Child(a, 1).text, u"A2");
  EXPECT_EQ(Child(loaded, 1).criteria.TagWords(), u"dog");
  EXPECT_EQ(Serialise(loaded), saved);
}

TEST(CatalogFile, LongNamesAreCutAt31Characters) {
  CSearchNode root;
  AddCatalog(root, std::u16string(30, u'n'), 2);
  AddCatalog(root, std::u16string(31, u'm'), 2);
  CSearchNode loaded;
  EXPECT_EQ(ReadCatalogRecords(Serialise(root), loaded), 2u);
  EXPECT_EQ(Child(loaded, 0).text, std::u16string(30, u'n'));
  EXPECT_EQ(Child(loaded, 1).text, std::u16string(29, u'm') + u"..");
}

TEST(CatalogFile, DamagedFilesKeepWhatCameBefore) {
  CSearchNode source;
  BuildThreeLevels(source);
  const std::vector<std::uint8_t> whole = Serialise(source);

  // Cut inside B: A's subtree stays whole.
  CSearchNode cut;
  EXPECT_EQ(ReadCatalogRecords(std::span(whole).first(whole.size() - 100), cut), 1u);
  ASSERT_EQ(cut.children.size(), 1u);
  EXPECT_EQ(Child(cut, 0).children.size(), 2u);

  // B's length rewritten: every length outside 66..4096 ends the file there.
  for (const std::uint16_t length : {0, 65, 4097, 65535}) {
    std::vector<std::uint8_t> bytes = whole;
    StoreLE16(bytes.data() + 4 * 4084, length);
    CSearchNode root;
    EXPECT_EQ(ReadCatalogRecords(bytes, root), 1u) << length;
  }
  // The shortest record has no criteria at all.
  {
    ByteWriter out;
    out.U16(66);
    out.Text16(u"tiny", 32);
    out.U16(0);
    CSearchNode root;
    ASSERT_EQ(ReadCatalogRecords(out.bytes(), root), 1u);
    EXPECT_EQ(Child(root, 0).text, u"tiny");
    EXPECT_EQ(Child(root, 0).criteria.slots[kSlotIso].kind, 0u);
  }
  // A child count past the end of the file.
  {
    std::vector<std::uint8_t> bytes(whole.begin(), whole.begin() + 4084);
    StoreLE16(bytes.data() + 4082, 65535);
    CSearchNode root;
    EXPECT_EQ(ReadCatalogRecords(bytes, root), 1u);
    EXPECT_TRUE(root.children[0]->children.empty());
  }
  // An unterminated name of 32 characters reads as 31.
  {
    ByteWriter out;
    out.U16(66);
    out.Text16(std::u16string(32, u'x'), 32);
    out.U16(0);
    CSearchNode root;
    ASSERT_EQ(ReadCatalogRecords(out.bytes(), root), 1u);
    EXPECT_EQ(Child(root, 0).text, std::u16string(31, u'x'));
  }
}

TEST(CatalogFile, DeepNestingStopsAt64Levels) {
  ByteWriter out;
  for (int i = 0; i < 10000; ++i) {
    out.U16(66);
    out.Text16(u"d", 32);
    out.U16(1);
  }
  CSearchNode root;
  ASSERT_EQ(ReadCatalogRecords(out.bytes(), root), 1u);
  int depth = 0;
  for (const CTreeNode* node = &root; !node->children.empty(); node = node->children[0].get()) ++depth;
  EXPECT_EQ(depth, kMaxCatalogDepth);
}

TEST(CatalogFile, MissingFilesAndFailedSaves) {
  const std::filesystem::path path = ScratchDir() / "UserSearchTree.db";
  CSearchNode root;
  AddCatalog(root, u"old", 2);
  EXPECT_EQ(LoadCatalogFile(path, root), 0);
  EXPECT_TRUE(root.children.empty());

  AddCatalog(root, u"old", 2);
  ASSERT_EQ(SaveCatalogFile(path, root), 1);
  const std::vector<std::uint8_t> before = ReadFileBytes(path);
  // A full disk: the old catalog file stays whole and no temporary file is left.
  AddCatalog(root, u"new", 4);
  {
    FileSizeLimit limit(100);
    EXPECT_EQ(SaveCatalogFile(path, root), 0);
  }
  EXPECT_EQ(ReadFileBytes(path), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path.parent_path()), {}), 1);
}

}  // namespace
