#pragma once
// Writes property items (the flat numbering and little-endian values of
// CExifReader) as TIFF-structured metadata. Each item goes to a directory by
// its number:
//
// - GPS tags 0..31 to the GPS IFD;
// - the EXIF tags (ExposureTime and FNumber, 0x8822..0x8835, 0x9000..0x92FF,
//   0x9400..0x94FF, 0xA000..0xA5FF) to the EXIF IFD;
// - the thumbnail's bytes (0x501B) to IFD1, with Compression 6 (JPEG) and
//   the offset and length tags 513 / 514;
// - the thumbnail's other items (0x5000..0x51FF) nowhere;
// - everything else, the private tag 53089 included, to IFD0.
//
// The pointers to the EXIF and GPS directories are made anew. In an EXIF
// block, whose old bytes are gone once it is replaced, items that hold
// offsets into it (513, 514, SubIFDs 330, the interoperability pointer
// 0xA005, any value of type IFD) are left out; a TIFF file keeps its old
// bytes, so there they stay valid and are written as they are.
//
// Entries are sorted by tag within a directory; of two items with one tag in
// one directory the first is written. An item's count is its length divided
// by its type's element size; items of unknown types, and items whose bytes
// were not read, are left out.

#include <cstdint>
#include <span>
#include <vector>

#include "image/ExifItem.h"

class CExifWriter {
public:
  // An EXIF block (the payload of a JPEG APP1 segment after "Exif\0\0", or a
  // PNG eXIf chunk): little-endian TIFF header, IFD0 at offset 8, then the
  // EXIF, GPS and thumbnail directories with their values; the thumbnail's
  // bytes last. Without withThumbnail item 0x501B is left out.
  [[nodiscard]] static int WriteExifBlock(std::span<const ExifItem> items, bool withThumbnail,
                                          std::vector<std::uint8_t>& block);

  // The directories to append to a TIFF file of fileSize bytes whose header
  // says bigEndian: a pad byte when fileSize is odd, then the new IFD0 with
  // nextIfd as its link to the next page, its EXIF and GPS directories and
  // every value, all offsets counted from the start of the file. ifd0Offset
  // receives the new IFD0's offset for the header. 0 when an offset would
  // pass 4 GiB.
  [[nodiscard]] static int WriteTiffDirectories(std::span<const ExifItem> items, bool bigEndian,
                                                std::uint64_t fileSize, std::uint32_t nextIfd,
                                                std::vector<std::uint8_t>& appendix,
                                                std::uint32_t& ifd0Offset);
};
