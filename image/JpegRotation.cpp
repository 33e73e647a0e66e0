// Turning JPEG files in place.
//
// TurboJPEG moves whole DCT blocks, which is lossless only when the blocks
// that end up on the top or left edge are complete: a 90-degree clockwise
// turn needs a height that is a multiple of the MCU height, a counter-
// clockwise turn a width that is a multiple of the MCU width, and 180 degrees
// both. Trimming the partial blocks would cut pixels off the photo, so any
// other picture is decoded, turned and encoded again; its metadata segments
// (EXIF, XMP, comments) are carried over from the original file.

#include <turbojpeg.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "image/ExifTags.h"
#include "image/ImageCodec.h"
#include "image/MetadataImage.h"
#include "image/codecs/CodecImageJPG.h"
#include "image/codecs/CodecMemStream.h"
#include "platform/AtomicFile.h"
#include "platform/File.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kMarker = 0xFF;
constexpr std::uint8_t kSoi = 0xD8;
constexpr std::uint8_t kEoi = 0xD9;
constexpr std::uint8_t kSos = 0xDA;
constexpr std::uint8_t kApp0 = 0xE0;
constexpr std::uint8_t kApp2 = 0xE2;
constexpr std::uint8_t kApp14 = 0xEE;
constexpr std::uint8_t kCom = 0xFE;

constexpr std::uint8_t kReencodeQuality = 95;

struct TurboJpegCloser {
  void operator()(void* handle) const noexcept { tjDestroy(handle); }
};

struct TurboJpegFree {
  void operator()(unsigned char* buffer) const noexcept { tjFree(buffer); }
};

// After a turn the file's orientation tag no longer describes the pixels:
// the EXIF segment is written again without it. A file without the tag, or
// whose header the metadata splicer cannot follow, stays as it is; false
// when the segment cannot be written again.
[[nodiscard]] bool RemoveOrientationTag(Bytes& jpeg) {
  CMetadataImage image;
  if (!image.Load(jpeg) || !image.FindItem(ExifTag::kOrientation)) return true;
  image.RemovePropertyItem(ExifTag::kOrientation);
  return image.Save(jpeg) != 0;
}

bool IsPerfect(int turn, int width, int height, int subsampling) {
  if (subsampling < 0 || subsampling >= TJ_NUMSAMP) return false;
  const bool fullColumns = width % tjMCUWidth[subsampling] == 0;
  const bool fullRows = height % tjMCUHeight[subsampling] == 0;
  switch (turn) {
    case 1:
      return fullRows;
    case 3:
      return fullColumns;
    default:
      return fullRows && fullColumns;
  }
}

// Lossless turn through TurboJPEG; every marker of the original is copied.
[[nodiscard]] bool TransformBlocks(tjhandle handle, const Bytes& original, int turn, Bytes& turned) {
  tjtransform transform{};
  transform.op = turn == 1 ? TJXOP_ROT90 : turn == 2 ? TJXOP_ROT180 : TJXOP_ROT270;
  transform.options = TJXOPT_PERFECT;
  unsigned char* output = nullptr;
  unsigned long outputSize = 0;
  const int status = tjTransform(handle, original.data(), original.size(), 1, &output, &outputSize,
                                 &transform, TJFLAG_LIMITSCANS);
  const std::unique_ptr<unsigned char, TurboJpegFree> owned(output);
  if (status != 0 || !output || outputSize == 0) return false;
  turned.assign(output, output + outputSize);
  return true;
}

// The segments worth keeping from the original: APP1 to APP15 and comments,
// except the Adobe segment (its colour transform describes the old encoding)
// and, for a four-component original, the ICC profile (a CMYK profile does
// not fit the YCbCr result). Stops at the first scan; false for a damaged
// header.
[[nodiscard]] bool CollectMetadata(std::span<const std::uint8_t> jpeg, Bytes& segments) {
  if (jpeg.size() < 4 || jpeg[0] != kMarker || jpeg[1] != kSoi) return false;
  Bytes icc;
  int components = 0;
  std::size_t at = 2;
  while (at + 4 <= jpeg.size()) {
    if (jpeg[at] != kMarker) return false;
    const std::uint8_t marker = jpeg[at + 1];
    if (marker == kMarker) {  // fill byte
      ++at;
      continue;
    }
    if (marker == kSos || marker == kEoi) break;
    const std::size_t length = std::size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
    if (length < 2 || at + 2 + length > jpeg.size()) return false;
    const auto segment = jpeg.subspan(at, 2 + length);
    const bool isFrame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (isFrame && length >= 8) components = jpeg[at + 9];
    if (marker == kApp2) {
      icc.insert(icc.end(), segment.begin(), segment.end());
    } else if ((marker > kApp0 && marker <= 0xEF && marker != kApp14) || marker == kCom) {
      segments.insert(segments.end(), segment.begin(), segment.end());
    }
    at += 2 + length;
  }
  if (components != 4) segments.insert(segments.end(), icc.begin(), icc.end());
  return true;
}

// Decodes, turns the pixels and encodes again, then puts the original's
// metadata segments after the new file's JFIF segment.
[[nodiscard]] bool ReencodeTurned(const Bytes& original, int turn, Bytes& turned) {
  Bytes metadata;
  if (!CollectMetadata(original, metadata)) return false;

  CCodecImageJPG image;
  CCodecMemStream input(original);
  if (!image.Decode(input)) return false;
  const bool ok = turn == 1   ? image.RotateRight()
                  : turn == 3 ? image.RotateLeft()
                              : image.Flip() && image.Mirror();
  if (!ok) return false;
  image.attributes.quality = kReencodeQuality;
  image.attributes.jpegSubsampling = false;
  image.attributes.jpegLumaTable.reset();
  CCodecMemStream output;
  if (!image.Encode(output)) return false;
  const auto encoded = output.Bytes();

  // The encoder writes SOI and then its APP0 (JFIF) segment.
  std::size_t insertAt = 2;
  if (encoded.size() >= 6 && encoded[2] == kMarker && encoded[3] == kApp0) {
    insertAt = 4 + (std::size_t{encoded[4]} << 8 | encoded[5]);
  }
  if (insertAt > encoded.size()) return false;
  turned.clear();
  turned.reserve(encoded.size() + metadata.size());
  turned.insert(turned.end(), encoded.begin(), encoded.begin() + static_cast<std::ptrdiff_t>(insertAt));
  turned.insert(turned.end(), metadata.begin(), metadata.end());
  turned.insert(turned.end(), encoded.begin() + static_cast<std::ptrdiff_t>(insertAt), encoded.end());
  return true;
}

}  // namespace

int RotateJpegLossless(const std::filesystem::path& path, int turn) {
  if (turn < 1 || turn > 3) return 0;
  try {
    Bytes original;
    // The codec streams address at most 2^31 - 1 bytes.
    if (!ReadWholeFile(path, original, CCodecMemStream::kMaxBytes)) return 0;

    const std::unique_ptr<void, TurboJpegCloser> handle(tjInitTransform());
    if (!handle) return 0;
    int width = 0;
    int height = 0;
    int subsampling = -1;
    int colourspace = 0;
    // A header TurboJPEG cannot classify (an unusual sampling) still decodes
    // through the codec.
    const bool known = tjDecompressHeader3(handle.get(), original.data(), original.size(), &width, &height,
                                           &subsampling, &colourspace) == 0;
    Bytes turned;
    const bool done = known && IsPerfect(turn, width, height, subsampling)
                          ? TransformBlocks(handle.get(), original, turn, turned)
                          : ReencodeTurned(original, turn, turned);
    if (!done || !RemoveOrientationTag(turned)) return 0;

    CAtomicFile file;
    return file.Open(path) && file.Write(turned.data(), turned.size()) && file.Commit() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}
