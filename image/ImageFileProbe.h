#pragma once
// A picture's size and metadata items from the headers of its file, without
// decoding pixels and without reading more of the file than the headers:
//
// - JPEG: the markers up to the start of the scan; the size from the first
//   frame header, the items from the first APP1 segment that starts with
//   "Exif\0\0";
// - PNG: the chunk headers; the size from IHDR, the items from eXIf;
// - TIFF: the size from ImageWidth and ImageLength of the first directory,
//   the items from the file's directories;
// - BMP and GIF: the size from the header;
// - TGA and PCX, which have no signature: the size from the header, when
//   the caller names the format.
//
// The items are those of CExifReader. A file of another or a damaged kind
// gives what could be read of it.

#include <cstdint>
#include <vector>

#include "image/ExifItem.h"

class CFile;

class CImageFileProbe {
public:
  enum class Format { Unknown, Jpeg, Png, Tiff, Bmp, Gif, Tga, Pcx };

  struct Result {
    Format format = Format::Unknown;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<ExifItem> items;
  };

  // Recognises the file by its first bytes; a file without a known signature
  // is read as hint when hint is Tga or Pcx. A TGA hint is taken before the
  // signatures, since a TGA file may begin with any bytes.
  [[nodiscard]] static Result Probe(CFile& file, Format hint);
};
