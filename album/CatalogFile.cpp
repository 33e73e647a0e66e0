#include "album/CatalogFile.h"

#include <memory>
#include <string>

#include "album/SearchNode.h"
#include "platform/AtomicFile.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "platform/Utf16.h"

void WriteCatalogRecord(ByteWriter& out, const CSearchNode& node) {
  out.U16(kCatalogRecordLength);
  std::array<char16_t, kCatalogNameLength> name{};
  CopyTextTruncated(name, node.text);
  for (char16_t c : name) out.U16(c);
  node.criteria.Write(out);
  out.U16(static_cast<std::uint16_t>(node.children.size()));
  for (const auto& child : node.children) WriteCatalogRecord(out, static_cast<const CSearchNode&>(*child));
}

namespace {

class CCatalogReader {
public:
  explicit CCatalogReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

  bool ReadLength(std::uint16_t& length) {
    if (m_stopped || m_bytes.size() - m_offset < 2) return false;
    length = LoadLE16(m_bytes.data() + m_offset);
    m_offset += 2;
    return true;
  }

  // A node with its children, or null (and the reading stops).
  std::unique_ptr<CSearchNode> ReadRecord(std::size_t length, std::int32_t depth) {
    if (length < kMinCatalogRecordLength || length > kMaxCatalogRecordLength || depth >= kMaxCatalogDepth ||
        m_bytes.size() - m_offset < length) {
      m_stopped = true;
      return nullptr;
    }
    const std::uint8_t* record = m_bytes.data() + m_offset;
    m_offset += length;
    auto node = std::make_unique<CSearchNode>();
    node->hasCriteria = 1;
    node->userCatalog = 1;
    // The name field's last character is never read: the name always ends.
    std::u16string name;
    for (std::size_t i = 0; i + 1 < kCatalogNameLength; ++i) {
      const char16_t c = LoadLE16(record + 2 * i);
      if (c == 0) break;
      name += c;
    }
    node->text = std::move(name);
    node->criteria.Read({record + 2 * kCatalogNameLength, length - kMinCatalogRecordLength});
    const std::uint16_t childCount = LoadLE16(record + length - 2);
    for (std::uint16_t i = 0; i < childCount && !m_stopped; ++i) {
      std::uint16_t childLength = 0;
      if (!ReadLength(childLength)) break;
      std::unique_ptr<CSearchNode> child = ReadRecord(childLength, depth + 1);
      if (child) node->AppendChild(std::move(child));
    }
    return node;
  }

private:
  std::span<const std::uint8_t> m_bytes;
  std::size_t m_offset = 0;
  bool m_stopped = false;
};

}  // namespace

std::size_t ReadCatalogRecords(std::span<const std::uint8_t> bytes, CSearchNode& root) {
  CCatalogReader reader(bytes);
  std::size_t count = 0;
  std::uint16_t length = 0;
  while (reader.ReadLength(length)) {
    std::unique_ptr<CSearchNode> node = reader.ReadRecord(length, 0);
    if (!node) break;
    root.AppendChild(std::move(node));
    ++count;
  }
  return count;
}

int SaveCatalogFile(const std::filesystem::path& path, const CSearchNode& root) {
  ByteWriter out;
  for (const auto& child : root.children) WriteCatalogRecord(out, static_cast<const CSearchNode&>(*child));
  CAtomicFile file;
  if (!file.Open(path)) return 0;
  if (!file.Write(out.bytes())) {
    file.Abandon();
    return 0;
  }
  return file.Commit() ? 1 : 0;
}

int LoadCatalogFile(const std::filesystem::path& path, CSearchNode& root) {
  root.DeleteChildren();
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, kMaxCatalogFileBytes)) return 0;
  (void)ReadCatalogRecords(bytes, root);  // a damaged file keeps what came before the damage
  return 1;
}
