// The packed stream records and the raw 24-bit picture file.

#include "image/PackedRecords.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"
#include "platform/AtomicFile.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::uint32_t kMaxSide = 65535;  // sides are stored as u16
// A deflate match copies at most 258 bytes and costs at least two bits (a
// length and a distance code), so n compressed bytes never inflate to more
// than 1032 x n bytes.
constexpr std::uint64_t kMaxInflateRatio = 1032;

std::uint64_t Remaining(const CFile& stream) {
  const std::int64_t length = stream.GetLength(), position = stream.GetPosition();
  return length < 0 || position < 0 || position > length ? 0 : static_cast<std::uint64_t>(length - position);
}

[[nodiscard]] bool WriteU16(CFile& stream, std::uint32_t value) {
  std::uint8_t bytes[2];
  StoreLE16(bytes, static_cast<std::uint16_t>(value));
  return stream.Write(bytes, 2);
}

[[nodiscard]] bool WriteU32(CFile& stream, std::uint32_t value) {
  std::uint8_t bytes[4];
  StoreLE32(bytes, value);
  return stream.Write(bytes, 4);
}

[[nodiscard]] bool ReadU16(CFile& stream, std::uint32_t& value) {
  std::uint8_t bytes[2];
  if (!stream.ReadExact(bytes, 2)) return false;
  value = LoadLE16(bytes);
  return true;
}

[[nodiscard]] bool ReadU32(CFile& stream, std::uint32_t& value) {
  std::uint8_t bytes[4];
  if (!stream.ReadExact(bytes, 4)) return false;
  value = LoadLE32(bytes);
  return true;
}

// zlib data with its byte count, in a buffer of compressBound bytes.
struct Compressed {
  LargeArray<std::uint8_t> bytes;
  std::uint32_t size = 0;

  [[nodiscard]] bool From(const std::uint8_t* data, std::uint64_t count) {
    const uLong bound = compressBound(static_cast<uLong>(count));
    bytes = AllocLargeArray<std::uint8_t>(bound);
    if (!bytes) return false;
    uLongf length = bound;
    if (compress(bytes.get(), &length, data, static_cast<uLong>(count)) != Z_OK || length > UINT32_MAX) {
      return false;
    }
    size = static_cast<std::uint32_t>(length);
    return true;
  }

  [[nodiscard]] bool WriteTo(CFile& stream) const {
    return WriteU32(stream, size) && stream.Write(bytes.get(), size);
  }
};

// Inflates into exactly count bytes; anything shorter or longer fails.
[[nodiscard]] bool Inflate(const std::uint8_t* data, std::uint32_t size, std::uint8_t* out,
                           std::uint64_t count) {
  if (size == 0) return false;
  uLongf length = static_cast<uLongf>(count);
  return uncompress(out, &length, data, size) == Z_OK && length == count;
}

// Reads a u32 byte count and that many bytes (none for a count of 0). A
// count the stream cannot hold is refused before anything is allocated.
[[nodiscard]] bool ReadCompressed(CFile& stream, std::uint32_t& size, LargeArray<std::uint8_t>& bytes) {
  bytes.reset();
  if (!ReadU32(stream, size)) return false;
  if (size == 0) return true;
  if (size > Remaining(stream)) return false;
  bytes = AllocLargeArray<std::uint8_t>(size);
  return bytes && stream.ReadExact(bytes.get(), size);
}

// One byte, or false when the stream has ended.
[[nodiscard]] bool ReadFlag(CFile& stream, std::uint8_t& flag) { return stream.Read(&flag, 1) == 1; }

// ---- Pixel words of the 16-bit image record -------------------------------

// The writer rounds luminance and both colour differences to the nearest
// step the word can hold. Truncating them (toward the bucket floor and toward
// zero) made every decode-encode cycle lose a little more, so a page written
// out and read back again and again drifted visibly; with rounding, a decoded
// pixel encodes to the same word. Readers are unaffected: the layout and the
// decoding stay as they are.
inline int SignedScale(int difference, int factor) {
  const int magnitude = (std::abs(difference) * factor + 32768) >> 16;
  return difference < 0 ? -magnitude : magnitude;
}

inline std::uint32_t EncodeWord(const std::uint16_t* p) {
  const int b = p[0], g = p[1], r = p[2];
  const int y = (601 * g + 306 * r + 117 * b) >> 10;
  const int luma = std::min((y + 8) >> 4, 4095);
  const int cb = std::clamp(SignedScale(b - y, 579) + 512, 0, 1023);
  const int cr = std::clamp(SignedScale(r - y, 730) + 512, 0, 1023);
  return (static_cast<std::uint32_t>(luma) << 20) + (static_cast<std::uint32_t>(cb) << 10) +
         static_cast<std::uint32_t>(cr);
}

inline void DecodeWord(std::uint32_t word, std::uint16_t* p) {
  const int y = static_cast<int>((word >> 16) & 0xFFF0);
  const int dr = (static_cast<int>(word & 1023) - 512) * 64;
  const int db = (static_cast<int>((word >> 10) & 1023) - 512) * 64;
  p[2] = static_cast<std::uint16_t>(std::clamp(y + ((dr * 1437) >> 10), 0, 65535));
  p[1] = static_cast<std::uint16_t>(std::clamp(y - ((dr * 731 + db * 352) >> 10), 0, 65535));
  p[0] = static_cast<std::uint16_t>(std::clamp(y + ((db * 1812) >> 10), 0, 65535));
  p[3] = 65535;
}

bool RegionInside(const Rect& r, const CBgraImage& image) {
  return !image.IsEmpty() && r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
         static_cast<std::uint32_t>(r.right) <= image.width &&
         static_cast<std::uint32_t>(r.bottom) <= image.height;
}

}  // namespace

int WritePackedImage16(const CBgraImage16& image, CFile& stream) {
  if (image.IsEmpty() || image.width > kMaxSide || image.height > kMaxSide) return 0;
  const std::uint32_t w = image.width, h = image.height;

  // The alpha plane is compressed before anything is written, so a failure
  // there leaves no half record behind.
  bool hasAlpha = false;
  for (std::uint32_t i = 0; i < image.pixelCount && !hasAlpha; ++i)
    hasAlpha = image.pixels[4 * std::size_t{i} + 3] < 65535;
  Compressed alpha;
  if (hasAlpha) {
    CPlane8 plane;
    if (!plane.Create(w, h)) return 0;
    for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
      plane.pixels[i] = static_cast<std::uint8_t>(image.pixels[4 * std::size_t{i} + 3] >> 8);
    }
    if (!alpha.From(plane.pixels, plane.byteSize)) return 0;
  }
  auto row = AllocWorkArray<std::uint8_t>(std::uint64_t{w} * 4);
  if (!row) return 0;

  if (!WriteU16(stream, w) || !WriteU16(stream, h)) return 0;
  for (std::uint32_t y = 0; y < h; ++y) {
    const std::uint16_t* in = image.Row(y);
    for (std::uint32_t x = 0; x < w; ++x, in += 4) StoreLE32(&row[std::size_t{x} * 4], EncodeWord(in));
    if (!stream.Write(row.get(), std::size_t{w} * 4)) return 0;
  }
  const std::uint8_t flag = hasAlpha ? 1 : 0;
  if (!stream.Write(&flag, 1)) return 0;
  return !hasAlpha || alpha.WriteTo(stream) ? 1 : 0;
}

namespace {

// The pixel words and the optional alpha plane; on failure the image may be
// partly filled.
[[nodiscard]] int ReadImage16Body(CFile& stream, CBgraImage16& image) {
  std::uint32_t w = 0, h = 0;
  if (!ReadU16(stream, w) || !ReadU16(stream, h) || w == 0 || h == 0) return 0;
  // The pixel words must all be there before the image is allocated.
  const std::uint64_t rowBytes = std::uint64_t{w} * 4;
  if (rowBytes * h > Remaining(stream)) return 0;
  auto row = AllocWorkArray<std::uint8_t>(rowBytes);
  if (!row || !image.Create(w, h)) return 0;
  for (std::uint32_t y = 0; y < h; ++y) {
    if (!stream.ReadExact(row.get(), rowBytes)) return 0;
    std::uint16_t* out = image.Row(y);
    for (std::uint32_t x = 0; x < w; ++x, out += 4) DecodeWord(LoadLE32(&row[std::size_t{x} * 4]), out);
  }

  std::uint8_t flag = 0;
  if (!ReadFlag(stream, flag) || flag == 0) return 1;
  // Alpha data that does not inflate leaves A at 65535; a record cut short
  // or a plane that cannot be made fails.
  std::uint32_t size = 0;
  LargeArray<std::uint8_t> packed;
  CPlane8 plane;
  if (!ReadCompressed(stream, size, packed) || !plane.Create(w, h)) return 0;
  if (Inflate(packed.get(), size, plane.pixels, plane.byteSize)) {
    for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
      const std::uint8_t a = plane.pixels[i];
      image.pixels[4 * std::size_t{i} + 3] = static_cast<std::uint16_t>(a == 255 ? 65535 : a * 256);
    }
  }
  return 1;
}

[[nodiscard]] int ReadPlaneBody(CFile& stream, CPlane8& plane) {
  std::uint32_t w = 0, h = 0;
  if (!ReadU16(stream, w) || !ReadU16(stream, h)) return 0;
  if (w == 0 || h == 0) {
    plane.Free();
    return 1;
  }
  std::uint32_t size = 0;
  LargeArray<std::uint8_t> packed;
  // Data that cannot inflate to the plane's size is refused before the plane
  // is allocated.
  if (!ReadCompressed(stream, size, packed) || size == 0 || std::uint64_t{w} * h > kMaxInflateRatio * size) {
    return 0;
  }
  return plane.Create(w, h) && Inflate(packed.get(), size, plane.pixels, plane.byteSize) ? 1 : 0;
}

}  // namespace

int ReadPackedImage16(CFile& stream, CBgraImage16& image) {
  if (ReadImage16Body(stream, image)) return 1;
  image.Free();
  return 0;
}

int WritePackedPlane(const CPlane8& plane, CFile& stream) {
  if (plane.IsEmpty()) return WriteU32(stream, 0) ? 1 : 0;
  if (plane.width > kMaxSide || plane.height > kMaxSide) return 0;
  Compressed packed;
  if (!packed.From(plane.pixels, plane.byteSize)) return 0;
  return WriteU16(stream, plane.width) && WriteU16(stream, plane.height) && packed.WriteTo(stream) ? 1 : 0;
}

int ReadPackedPlane(CFile& stream, CPlane8& plane) {
  if (ReadPlaneBody(stream, plane)) return 1;
  plane.Free();
  return 0;
}

int WritePackedRegion(const CBgraImage& image, CFile& stream, const Rect& rectangle, std::uint8_t withAlpha) {
  if (!RegionInside(rectangle, image)) return 0;
  const auto w = static_cast<std::uint32_t>(rectangle.Width()),
             h = static_cast<std::uint32_t>(rectangle.Height());
  const std::uint64_t count = std::uint64_t{w} * h;

  CBgraImage ycc;
  CPlane8 alphaPlane;
  if (!ycc.Create(w, h) || (withAlpha && !alphaPlane.Create(w, h))) return 0;
  for (std::uint32_t y = 0; y < h; ++y) {
    const std::uint8_t* in = image.At(static_cast<std::uint32_t>(rectangle.left), y + rectangle.top);
    std::memcpy(ycc.Row(y), in, std::size_t{w} * 4);
    if (withAlpha) {
      for (std::uint32_t x = 0; x < w; ++x)
        alphaPlane.pixels[std::size_t{y} * w + x] = in[std::size_t{x} * 4 + 3];
    }
  }
  ycc.RgbToYcc();

  auto low = AllocLargeArray<std::uint8_t>(count);
  auto high = AllocLargeArray<std::uint8_t>(count * 2);
  if (!low || !high) return 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    const int cr = ycc.pixels[4 * i], cb = ycc.pixels[4 * i + 1], lum = ycc.pixels[4 * i + 2];
    low[i] = static_cast<std::uint8_t>(((lum & 15) << 4) | ((cb & 3) << 2) | (cr & 3));
    StoreLE16(&high[2 * i], static_cast<std::uint16_t>(((lum >> 4) << 12) | ((cb >> 2) << 6) | (cr >> 2)));
  }
  // Everything is compressed before the first byte goes out.
  Compressed packedHigh, packedAlpha;
  if (!packedHigh.From(high.get(), count * 2)) return 0;
  if (withAlpha && !packedAlpha.From(alphaPlane.pixels, count)) return 0;

  if (!stream.Write(low.get(), count) || !packedHigh.WriteTo(stream) || !stream.Write(&withAlpha, 1)) {
    return 0;
  }
  return !withAlpha || packedAlpha.WriteTo(stream) ? 1 : 0;
}

int ReadPackedRegion(CFile& stream, CBgraImage& image, const Rect& rectangle) {
  if (!RegionInside(rectangle, image)) return 0;
  const auto w = static_cast<std::uint32_t>(rectangle.Width()),
             h = static_cast<std::uint32_t>(rectangle.Height());
  const std::uint64_t count = std::uint64_t{w} * h;
  if (count > Remaining(stream)) return 0;

  auto low = AllocLargeArray<std::uint8_t>(count);
  auto high = AllocLargeArray<std::uint8_t>(count * 2);
  CBgraImage ycc;
  if (!low || !high || !ycc.Create(w, h) || !stream.ReadExact(low.get(), count)) return 0;
  std::uint32_t size = 0;
  LargeArray<std::uint8_t> packed;
  if (!ReadCompressed(stream, size, packed) || !Inflate(packed.get(), size, high.get(), count * 2)) return 0;

  for (std::uint64_t i = 0; i < count; ++i) {
    const int lo = low[i], hi = LoadLE16(&high[2 * i]);
    ycc.pixels[4 * i + 2] = static_cast<std::uint8_t>(((hi >> 8) & 0xF0) | (lo >> 4));
    ycc.pixels[4 * i + 1] = static_cast<std::uint8_t>((((hi >> 6) & 63) << 2) | ((lo >> 2) & 3));
    ycc.pixels[4 * i] = static_cast<std::uint8_t>(((hi & 63) << 2) | (lo & 3));
    ycc.pixels[4 * i + 3] = 255;
  }
  ycc.YccToRgb();
  for (std::uint32_t y = 0; y < h; ++y) {
    std::memcpy(image.At(static_cast<std::uint32_t>(rectangle.left), y + rectangle.top), ycc.Row(y),
                std::size_t{w} * 4);
  }

  std::uint8_t flag = 0;
  if (!ReadFlag(stream, flag) || flag == 0) return 1;
  CPlane8 alphaPlane;
  if (!ReadCompressed(stream, size, packed) || !alphaPlane.Create(w, h)) return 0;
  if (Inflate(packed.get(), size, alphaPlane.pixels, count)) {
    for (std::uint32_t y = 0; y < h; ++y) {
      std::uint8_t* out = image.At(static_cast<std::uint32_t>(rectangle.left), y + rectangle.top);
      for (std::uint32_t x = 0; x < w; ++x)
        out[std::size_t{x} * 4 + 3] = alphaPlane.pixels[std::size_t{y} * w + x];
    }
  }
  return 1;
}

// The raw picture: u32 width, u32 height, then rows top-down of B, G, R.
// Sides are limited to 65535 so that every file written can be read back.
int CBgraImage::SaveRawBgr(const std::filesystem::path& path) const {
  if (IsEmpty() || width > kMaxSide || height > kMaxSide) return 0;
  auto row = AllocWorkArray<std::uint8_t>(std::uint64_t{width} * 3);
  if (!row) return 0;
  CAtomicFile file;
  if (!file.Open(path) || !WriteU32(file, width) || !WriteU32(file, height)) return 0;
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* in = Row(y);
    for (std::uint32_t x = 0; x < width; ++x, in += 4) std::memcpy(&row[std::size_t{x} * 3], in, 3);
    if (!file.Write(row.get(), std::size_t{width} * 3)) return 0;
  }
  return file.Commit() ? 1 : 0;
}

// The picture is made only once the file is known to hold all of it, so a
// header cannot make us take memory its file does not back. A file cut short
// (SaveRawBgr never leaves one) is refused, as is a read error on the way;
// the image is then left as it was.
int CBgraImage::LoadRawBgr(const std::filesystem::path& path) {
  CFile file;
  std::uint32_t w = 0, h = 0;
  if (!file.Open(path, CFile::OpenMode::Read) || !ReadU32(file, w) || !ReadU32(file, h)) return 0;
  if (w == 0 || h == 0 || w > kMaxSide || h > kMaxSide) return 0;
  const std::uint64_t rowBytes = std::uint64_t{w} * 3;
  const std::int64_t length = file.GetLength();
  if (length < 0 || static_cast<std::uint64_t>(length) - 8 < rowBytes * h) return 0;
  auto row = AllocWorkArray<std::uint8_t>(rowBytes);
  CBgraImage picture;
  if (!row || !picture.Create(w, h)) return 0;
  for (std::uint32_t y = 0; y < h; ++y) {
    if (!file.ReadExact(row.get(), rowBytes)) return 0;
    std::uint8_t* out = picture.Row(y);
    for (std::uint32_t x = 0; x < w; ++x, out += 4) {
      std::memcpy(out, &row[std::size_t{x} * 3], 3);
      out[3] = 255;
    }
  }
  *this = std::move(picture);
  return 1;
}
