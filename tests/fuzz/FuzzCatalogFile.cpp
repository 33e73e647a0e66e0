// The user's catalog file: any bytes read into a catalog tree of at most 64
// levels; the tree written again reads back to the same bytes.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "album/CatalogFile.h"
#include "album/SearchNode.h"
#include "platform/LittleEndian.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

std::int32_t Depth(const CTreeNode& node) {
  std::int32_t deepest = 0;
  for (const auto& child : node.children) deepest = std::max(deepest, 1 + Depth(*child));
  return deepest;
}

std::vector<std::uint8_t> Serialise(const CSearchNode& root) {
  ByteWriter out;
  for (const auto& child : root.children) WriteCatalogRecord(out, static_cast<const CSearchNode&>(*child));
  return out.Take();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CSearchNode root;
  (void)ReadCatalogRecords(std::span<const std::uint8_t>(data, size), root);  // any count is fine
  FuzzCheck(Depth(root) <= kMaxCatalogDepth, "at most 64 levels");
  const std::vector<std::uint8_t> written = Serialise(root);
  CSearchNode again;
  (void)ReadCatalogRecords(written, again);  // compared through the bytes below
  FuzzCheck(Serialise(again) == written, "a written catalog file reads back the same");
  return 0;
}
