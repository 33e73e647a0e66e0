#pragma once
// Lets libtiff read and write through a codec stream instead of a file
// descriptor. The stream stays the caller's: closing the handle leaves it
// open. A handle opened to read without "m" in its mode sees the whole
// stream as mapped memory: a memory stream's own block, or a copy of any
// other stream's bytes held until the handle closes. libtiff's messages go to
// handlers of this one handle (never the process-wide ones) and are dropped;
// the codec reports its own texts.

#include <tiffio.h>

#include <memory>

class CCodecStream;

struct TiffHandleClose {
  void operator()(TIFF* tiff) const noexcept { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffHandleClose>;

// Opens a libtiff handle over the stream under the name "TIFF IMAGE". mode as
// for TIFFOpen: "rb" reads files of either byte order ("rbm" without the
// map), "w+b" creates a big-endian file. Null when libtiff refuses the
// stream.
[[nodiscard]] TiffHandle TiffStreamOpen(CCodecStream& stream, const char* mode);
