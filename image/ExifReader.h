#pragma once
// Reads the metadata of a TIFF-structured block (the payload of a JPEG
// "Exif" APP1 segment after its 6-byte prefix, a PNG eXIf chunk, or a whole
// TIFF file) into the flat item list that the information record is built
// from, in the numbering of the platform's property items:
//
// - IFD0 and the EXIF IFD (tag 0x8769 in IFD0): each tag as it is;
// - the GPS IFD (tag 0x8825 in IFD0): the GPS tags 0..31 as they are;
// - IFD1, the thumbnail's directory of an EXIF block: its TIFF tags
//   renumbered into 0x5020 .. 0x503B (0x5023 compression, 0x502D / 0x502E
//   resolution, ...), 513 and 514 as they are, other tags dropped; the
//   thumbnail's bytes (513 / 514) as item 0x501B of type BYTE;
// - the private tag 53089 as it is, from any of them.
//
// Items come directory by directory in that order, entries in file order.
// Values of either byte order are turned into little-endian element by
// element (SHORT, LONG, RATIONAL, FLOAT, DOUBLE and their signed kinds);
// BYTE, ASCII and UNDEFINED values (the maker note, the user comment) stay
// as they are.
//
// Nothing is read outside the block: every entry whose value lies past its
// end, whose type is unknown or whose size overflows is skipped; a
// directory is read only once (loops end there), at most kMaxEntries of its
// entries, and the list holds at most kMaxItems items and kMaxTotalBytes of
// values.

#include <cstdint>
#include <vector>

#include "image/ExifItem.h"

class CExifSource;

class CExifReader {
public:
  // Values longer than this are listed with their length but no bytes.
  static constexpr std::uint32_t kMaxValueBytes = 65536;
  static constexpr std::uint32_t kMaxEntries = 1024;
  static constexpr std::size_t kMaxItems = 4096;
  static constexpr std::uint64_t kMaxTotalBytes = 8u << 20;

  // What the block is: an EXIF block, whose IFD1 describes the thumbnail,
  // or a TIFF file, whose IFD1 is its second page and is not read.
  enum class Layout { Exif, TiffFile };

  // The caps of one read.
  struct Limits {
    std::uint32_t maxValueBytes = kMaxValueBytes;
    std::uint64_t maxTotalBytes = kMaxTotalBytes;
  };

  // Appends the block's items. False (nothing appended) when the block does
  // not start with a TIFF header ("II*\0" or "MM\0*").
  [[nodiscard]] static bool Read(CExifSource& block, std::vector<ExifItem>& items,
                                 Layout layout = Layout::Exif);
  // The same under the caller's caps; limited tells whether a cap (entries,
  // items, value or total bytes) left an entry or a value out, as opposed to
  // entries skipped for being damaged.
  [[nodiscard]] static bool Read(CExifSource& block, std::vector<ExifItem>& items, Layout layout,
                                 const Limits& limits, bool& limited);
};
