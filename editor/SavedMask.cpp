#include "editor/SavedMask.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "document/MaskRecord.h"
#include "image/BgraImage.h"
#include "image/Plane8.h"

namespace {

// Sub-sample positions of one axis: 2 x side samples across the document,
// minus the plane's offset; -1 where a sample misses the plane.
std::vector<std::int64_t> SamplePositions(std::uint32_t documentSide, std::uint32_t side, std::int32_t offset,
                                          std::uint32_t planeSide) {
  std::vector<std::int64_t> positions(2 * std::size_t{side});
  for (std::size_t k = 0; k < positions.size(); ++k) {
    const std::int64_t p = static_cast<std::int64_t>(k * documentSide / positions.size()) - offset;
    positions[k] = p >= 0 && p < planeSide ? p : -1;
  }
  return positions;
}

}  // namespace

bool BuildMaskThumbnail(const MaskRecord& mask, std::uint32_t documentWidth, std::uint32_t documentHeight,
                        CBgraImage& thumbnail) {
  if (documentWidth == 0 || documentHeight == 0) return false;
  std::uint32_t width = kMaskThumbnailSide;
  std::uint32_t height = kMaskThumbnailSide;
  const std::uint64_t w = documentWidth;
  const std::uint64_t h = documentHeight;
  if (h < w) {
    height = static_cast<std::uint32_t>(std::max<std::uint64_t>(1, h * kMaskThumbnailSide / w));
  } else {
    width = static_cast<std::uint32_t>(std::max<std::uint64_t>(1, w * kMaskThumbnailSide / h));
  }
  CBgraImage result;
  if (!result.Create(width, height)) return false;
  const CPlane8& plane = mask.plane;
  const bool hasPlane = !plane.IsEmpty();
  const std::vector<std::int64_t> columns =
      SamplePositions(documentWidth, width, mask.x, hasPlane ? plane.width : 0);
  const std::vector<std::int64_t> rows =
      SamplePositions(documentHeight, height, mask.y, hasPlane ? plane.height : 0);
  for (std::uint32_t i = 0; i < height; ++i) {
    std::uint8_t* out = result.Row(i);
    for (std::uint32_t j = 0; j < width; ++j, out += 4) {
      std::uint32_t sum = 0;
      std::uint32_t count = 0;
      for (std::uint32_t dy = 0; dy < 2; ++dy) {
        const std::int64_t r = rows[2 * i + dy];
        if (r < 0) continue;
        for (std::uint32_t dx = 0; dx < 2; ++dx) {
          const std::int64_t c = columns[2 * j + dx];
          if (c < 0) continue;
          sum += plane.Row(static_cast<std::uint32_t>(r))[c];
          ++count;
        }
      }
      const auto grey = static_cast<std::uint8_t>(count ? sum / count : 0);
      out[0] = out[1] = out[2] = grey;
      out[3] = 255;
    }
  }
  thumbnail = std::move(result);
  return true;
}

void LoadSavedMask(CPlane8& plane, const CPlane8& maskPlane, std::int32_t x, std::int32_t y) {
  if (plane.IsEmpty()) return;
  std::memset(plane.pixels, 0, plane.byteSize);
  if (maskPlane.IsEmpty()) return;
  for (std::uint32_t r = 0; r < maskPlane.height; ++r) {
    const std::int64_t targetRow = std::int64_t{y} + r;
    if (targetRow < 0 || targetRow >= plane.height) continue;
    const std::int64_t first = std::max<std::int64_t>(0, x);
    const std::int64_t end = std::min<std::int64_t>(plane.width, std::int64_t{x} + maskPlane.width);
    if (first >= end) continue;
    std::memcpy(plane.Row(static_cast<std::uint32_t>(targetRow)) + first, maskPlane.Row(r) + (first - x),
                static_cast<std::size_t>(end - first));
  }
}
