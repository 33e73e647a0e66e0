#pragma once
// CMetadataImage: a JPEG, PNG or TIFF file held in memory whose metadata is
// edited as property items (the flat numbering of CExifReader) and written
// back without touching its pixel data:
//
// - JPEG: the first APP1 segment that starts with "Exif\0\0" is replaced, or
//   a new one goes after the leading APP0 (JFIF) segments; everything else,
//   the scan to its end included, is copied byte for byte. A block that
//   would make the segment's payload longer than kMaxJpegExifPayload is
//   written again without its thumbnail;
// - PNG: every eXIf chunk is dropped and one new chunk, with its CRC, goes
//   before the first IDAT;
// - TIFF: new directories are appended and the header points at the new
//   IFD0, which keeps the old one's link to the next page; the old
//   directories stay in the file, unused.
//
// Items without a value (all removed) leave a JPEG or PNG file without an
// EXIF segment or chunk.
//
// Load refuses a file whose structure cannot be followed up to its pixel
// data, and one whose metadata the reader could not list whole (a cap was
// reached), so that a rewrite never drops what it did not read.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <utility>
#include <vector>

#include "image/ExifItem.h"

class CMetadataImage {
public:
  enum class Container { None, Jpeg, Png, Tiff };

  // The longest payload of a JPEG segment: "Exif\0\0" and the block.
  static constexpr std::size_t kMaxJpegExifPayload = 65533;
  // Files are held whole in memory up to this size.
  static constexpr std::uint64_t kMaxFileBytes = INT32_MAX;

  // 1 when the bytes are a JPEG, PNG or TIFF file (by their signature) whose
  // structure could be followed; 0 otherwise, leaving the image empty.
  [[nodiscard]] int Load(std::vector<std::uint8_t> bytes);
  // Load of the whole file; 0 also when it cannot be read.
  [[nodiscard]] int LoadFile(const std::filesystem::path& path);

  Container GetContainer() const { return m_container; }
  const std::vector<ExifItem>& Items() const { return m_items; }
  // The first item of that number, or null.
  const ExifItem* FindItem(std::uint32_t id) const;

  // Adds the item, or replaces every item of its number with it. Refused,
  // which only clears LastStatus, for an item whose value does not match
  // its length or whose type is unknown, and in a TIFF file for the tags
  // that describe its pixel data.
  void SetPropertyItem(ExifItem item);
  // Removes every item of that number; an absent number is no failure. In a
  // TIFF file the tags that describe its pixel data are refused.
  void RemovePropertyItem(std::uint32_t id);
  // 1 while every property call since Load has been taken, else 0.
  int LastStatus() const { return m_status; }

  // The whole file with the items in place of its metadata.
  [[nodiscard]] int Save(std::vector<std::uint8_t>& file) const;
  // The same, written through CAtomicFile: a failure leaves any old file at
  // path as it was.
  [[nodiscard]] int SaveToFile(const std::filesystem::path& path) const;

private:
  struct Composed;
  [[nodiscard]] int Compose(Composed& composed) const;
  [[nodiscard]] int LoadJpeg();
  [[nodiscard]] int LoadPng();
  [[nodiscard]] int LoadTiff();
  bool IsPixelLayoutTag(std::uint32_t id) const;

  std::vector<std::uint8_t> m_bytes;
  Container m_container = Container::None;
  std::vector<ExifItem> m_items;
  int m_status = 1;
  // JPEG and PNG: byte ranges of the file left out, in order, and the
  // offset at which the new segment or chunk goes.
  std::vector<std::pair<std::size_t, std::size_t>> m_removed;
  std::size_t m_insertAt = 0;
  // TIFF: the header's byte order and the old IFD0's link.
  bool m_bigEndian = false;
  std::uint32_t m_nextIfd = 0;
};
