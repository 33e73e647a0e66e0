#pragma once
// Lets libtiff read and write through a codec stream instead of a file
// descriptor. The stream stays the caller's: closing the handle leaves it
// open. libtiff's messages go to handlers of this one handle (never the
// process-wide ones) and are dropped; the codec reports its own texts.

#include <tiffio.h>

#include <memory>

class CCodecStream;

struct TiffHandleClose {
  void operator()(TIFF* tiff) const noexcept { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffHandleClose>;

// Opens a libtiff handle over the stream under the name "TIFF IMAGE". mode as
// for TIFFOpen: "rb" reads files of either byte order, "w+b" creates a
// big-endian file. Null when libtiff refuses the stream.
TiffHandle TiffStreamOpen(CCodecStream& stream, const char* mode);
