// The chroma smoothing of decoded JPEGs, row by row, so that the whole-image
// form and the document opener's one-decode road share every formula.
//
// The even-row, even-column pixels are the anchors: the test compares their
// Cb with their right and lower neighbours, and the smoothing rewrites only
// the other pixels, from anchors alone. So a row can be smoothed from the
// rows above and below it as they were before smoothing.

#include "document/SmoothJpegChroma.h"

#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ColorModel.h"
#include "image/ImageCodec.h"
#include "image/PixelBlock.h"
#include "image/codecs/BgraRowSink.h"

namespace {

// Byte offsets of the chroma samples after RgbToYcc: Cr in B, Cb in G.
constexpr int kCr = 0;
constexpr int kCb = 1;

// Anchors (row, even x <= width - 3) whose Cb differs by more than 2 from
// that of the pixel to the right or the one below.
std::int64_t CountDifferingChroma(const std::uint8_t* row, const std::uint8_t* below, std::uint32_t width) {
  std::int64_t differing = 0;
  for (std::size_t x = 0; x + 2 < width; x += 2) {
    const int cb = row[4 * x + kCb];
    const int right = std::abs(cb - row[4 * x + 4 + kCb]);
    const int down = std::abs(cb - below[4 * x + kCb]);
    differing += (right > 2) | (down > 2);
  }
  return differing;
}

// Chroma counts as replicated in 2 x 2 blocks when fewer than a tenth of the
// pixel count of anchors differ.
bool LooksReplicated(std::int64_t differing, std::uint32_t pixelCount) {
  return differing < std::int64_t{pixelCount} / 10;
}

// The means below work on both chroma bytes of a pixel at once: Cr and Cb
// spread into the two 16-bit halves of a word, where sums of four cannot
// reach the other half. Whole-pixel loads let the compiler vectorise this.
inline std::uint32_t LoadPixel(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

inline std::uint32_t Chroma(const std::uint8_t* p) {
  static_assert(kCr == 0 && kCb == 1);
  const std::uint32_t v = LoadPixel(p);
  return (v & 0xFFu) | ((v & 0xFF00u) << 8);
}

// Sets the chroma bytes of p from the low bytes of the two halves of c.
inline void StoreChroma(std::uint8_t* p, std::uint32_t c) {
  const std::uint32_t v = (LoadPixel(p) & 0xFFFF0000u) | (c & 0xFFu) | ((c >> 8) & 0xFF00u);
  std::memcpy(p, &v, 4);
}

// Row y of a YCbCr picture of height rows, smoothed in place: an even row
// (above and below unused) takes the mean of the anchors left and right of
// each odd pixel; an odd row takes the means of the anchors above and below.
// The last row or two, and the last column, keep their chroma.
void SmoothChromaRow(std::uint8_t* row, const std::uint8_t* above, const std::uint8_t* below, std::uint32_t y,
                     std::uint32_t width, std::uint32_t height) {
  constexpr std::uint32_t kHalves = 0x00FF00FFu;
  if (y % 2 == 0) {
    if (y + 2 >= height) return;
    for (std::size_t x = 0; x + 2 < width; x += 2) {
      std::uint8_t* p = row + 4 * x;
      StoreChroma(p + 4, ((Chroma(p) + Chroma(p + 8)) >> 1) & kHalves);
    }
    return;
  }
  if (y + 1 >= height) return;
  for (std::size_t x = 0; x + 2 < width; x += 2) {
    const std::uint32_t left = Chroma(above + 4 * x) + Chroma(below + 4 * x);
    const std::uint32_t right = Chroma(above + 4 * x + 8) + Chroma(below + 4 * x + 8);
    StoreChroma(row + 4 * x, (left >> 1) & kHalves);
    StoreChroma(row + 4 * x + 4, ((left + right) >> 2) & kHalves);
  }
}

// The opener's JPEG road. The 16-bit image is made first and the decoder
// writes its 8-bit rows into the second half of it, where they become YCbCr
// at once and the anchors are counted pair by pair. Afterwards the rows are
// smoothed, turned back and converted top-down into the image's own rows.
// Output row y covers the 8-bit rows 2y - height and 2y - height + 1, never
// one after y: so each 8-bit row is still intact when it is read, as long as
// row y is copied out before output row y is written.
class SmoothingRowSink final : public CBgraRowSink {
public:
  explicit SmoothingRowSink(CBgraImage16& image) : m_image(image) {}

  std::uint8_t* BeginRows(std::uint32_t width, std::uint32_t height) override {
    m_rows = AllocWorkArray<std::uint8_t>(3 * std::uint64_t{width} * 4);
    if (!m_rows || !m_image.Create(width, height)) return nullptr;
    return YccRow(0);
  }

  void RowsDecoded(std::uint32_t first, std::uint32_t count) override {
    RgbToYccPixels8(YccRow(first), std::size_t{count} * m_image.width);
    // The anchor rows 0, 2, ... up to height - 3, each with the row below it.
    for (std::uint32_t y = first; y < first + count; ++y) {
      if (y % 2 == 1 && y + 1 < m_image.height) {
        m_differing += CountDifferingChroma(YccRow(y - 1), YccRow(y), m_image.width);
      }
    }
  }

  void Finish(int colourSpace) {
    const std::uint32_t width = m_image.width, height = m_image.height;
    const bool smooth = LooksReplicated(m_differing, m_image.pixelCount);
    const std::size_t rowBytes = std::size_t{width} * 4;
    std::uint8_t* above = m_rows.get();  // row y - 1 before it was turned back
    std::uint8_t* current = above + rowBytes;
    std::uint8_t* out = current + rowBytes;
    for (std::uint32_t y = 0; y < height; ++y) {
      std::memcpy(current, YccRow(y), rowBytes);
      if (smooth) SmoothChromaRow(current, above, y + 1 < height ? YccRow(y + 1) : nullptr, y, width, height);
      std::memcpy(out, current, rowBytes);
      YccToRgbPixels8(out, width);
      ConvertPixels8To16(m_image.Row(y), out, width, colourSpace);
      std::swap(above, current);
    }
  }

private:
  std::uint8_t* YccRow(std::uint32_t y) {
    return reinterpret_cast<std::uint8_t*>(m_image.pixels) +
           4 * (std::size_t{m_image.pixelCount} + std::size_t{y} * m_image.width);
  }

  CBgraImage16& m_image;
  std::unique_ptr<std::uint8_t[]> m_rows;  // three rows of 8-bit pixels
  std::int64_t m_differing = 0;
};

}  // namespace

void SmoothJpegChroma(CBgraImage& image) {
  if (image.IsEmpty()) return;
  image.RgbToYcc();
  const std::uint32_t width = image.width, height = image.height;
  std::int64_t differing = 0;
  for (std::uint32_t y = 0; y + 2 < height; y += 2)
    differing += CountDifferingChroma(image.Row(y), image.Row(y + 1), width);
  if (LooksReplicated(differing, image.pixelCount)) {
    // Top-down, so the row above is already smoothed: only its anchors are
    // read, and those never change.
    for (std::uint32_t y = 0; y < height; ++y) {
      SmoothChromaRow(image.Row(y), y > 0 ? image.Row(y - 1) : nullptr,
                      y + 1 < height ? image.Row(y + 1) : nullptr, y, width, height);
    }
  }
  image.YccToRgb();
}

int LoadSmoothedJpeg(const std::filesystem::path& path, CBgraImage16& image, int colourSpace) {
  CBgraImage16 loaded;
  SmoothingRowSink sink(loaded);
  if (!LoadJpegRows(path, sink)) return 0;
  sink.Finish(colourSpace);
  image = std::move(loaded);
  return 1;
}
