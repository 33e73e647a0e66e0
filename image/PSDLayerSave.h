#pragma once
// CPSDLayerSave: writes one CBgraImage16 as a layered PSD file (version 1,
// 8 bits per channel, RGB, four channels) with exactly one layer named
// "Layer", so that the layer's transparency survives. The pixels are written
// twice, uncompressed: as the layer's channel data (A, R, G, B) and as the
// merged image (planes R, G, B, A). All numbers are big-endian.
//
// With N = width x height and b = N + 2 rounded up to an even number (one
// channel's block: a compression code, N bytes and a pad byte when N is
// odd), the file is 168 + 4 b + 4 N bytes: the 26-byte header, two empty
// sections, the layer and mask section (4 b + 128 bytes after its length)
// and the merged image.

#include <cstdint>
#include <filesystem>

#include "image/PixelBlock.h"

struct CBgraImage;
struct CBgraImage16;

class CPSDLayerSave {
public:
  // The layer information block: from its length field to the end of the
  // channel data.
  struct LayerInfo {
    PixelBlock block;  // null when it could not be allocated
    std::uint32_t size = 0;
  };

  virtual ~CPSDLayerSave() = default;

  // Converts the image with the dithered conversion and writes the file
  // through CAtomicFile: a failure (no pixels, exhausted memory, a failed
  // write) leaves any old file at path as it was. 1 on success.
  [[nodiscard]] int Save(const std::filesystem::path& path, const CBgraImage16& image);

  // The layer information of an 8-bit image (4 b + 124 bytes) in a block of
  // the image's byte size + 374 bytes, zeroed beyond it.
  [[nodiscard]] static LayerInfo BuildLayerInfo(const CBgraImage& image);

  // The channel block size b of an image of pixelCount pixels.
  static std::uint64_t ChannelBlockBytes(std::uint64_t pixelCount) {
    return (pixelCount + 3) & ~std::uint64_t{1};
  }
};
