#pragma once
// The user's catalogs (saved searches) in "UserSearchTree.db": one record per
// catalog, depth first, each followed by its children's records:
//   u16 length L (written 4082: the name, the criteria and the child count)
//   name: 32 UTF-16 characters, zero-terminated (31 or more are written as
//         29 and "..")
//   criteria: L - 66 bytes of a SearchCriteria (at most 4016 are used)
//   u16 child count
// A reader takes L from 66 to 4096; any other length, a short record or a
// nesting deeper than kMaxCatalogDepth ends the file, keeping the catalogs
// read before it.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

class ByteWriter;
class CSearchNode;

inline constexpr std::uint16_t kCatalogRecordLength = 4082;
inline constexpr std::size_t kCatalogNameLength = 32;
inline constexpr std::size_t kMinCatalogRecordLength = 66;
inline constexpr std::size_t kMaxCatalogRecordLength = 4096;
inline constexpr std::int32_t kMaxCatalogDepth = 64;
// A catalog file larger than this is not read.
inline constexpr std::uint64_t kMaxCatalogFileBytes = 256ull << 20;

// One catalog and, recursively, its children.
void WriteCatalogRecord(ByteWriter& out, const CSearchNode& node);

// Appends the catalogs of bytes to root's children, as user catalogs with
// criteria, collapsed, without icons. Returns how many top-level catalogs
// were read.
std::size_t ReadCatalogRecords(std::span<const std::uint8_t> bytes, CSearchNode& root);

// Writes root's children to the file through a temporary file, so a failed
// save leaves the old file whole. 0 when it cannot be written.
[[nodiscard]] int SaveCatalogFile(const std::filesystem::path& path, const CSearchNode& root);

// Replaces root's children with the file's catalogs; a missing or unreadable
// file leaves root empty. 0 when the file cannot be read.
[[nodiscard]] int LoadCatalogFile(const std::filesystem::path& path, CSearchNode& root);
