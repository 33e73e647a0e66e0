#include "editor/DisplayPicture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>

#include "document/BFDoc.h"
#include "document/BlendMode.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ColorModel.h"
#include "image/PixelBlock.h"

namespace {

// The sample pair of one display column or row; first -1 when it is left
// out.
struct SamplePair {
  std::int32_t first = -1;
  std::int32_t second = -1;
};

// Pairs for count display positions over span document positions from the
// source's start, for a layer at position along this axis with a side of
// size; nearRowRule gives positions just before the layer the pair (0, 0).
// The sum is formed in the order the rule states it, so that every rounding
// agrees with it.
[[nodiscard]] bool MakePairs(std::unique_ptr<SamplePair[]>& pairs, std::uint32_t count, std::int32_t span,
                             std::int32_t start, std::int32_t position, std::uint32_t size,
                             bool nearRowRule) {
  pairs = AllocWorkArray<SamplePair>(count);
  if (!pairs) return false;
  const auto side = static_cast<std::int64_t>(size);
  for (std::uint32_t j = 0; j < count; ++j) {
    const double u = static_cast<double>(j) * span / count + start - position;
    SamplePair& pair = pairs[j];
    if (nearRowRule && u > -1.0 && u < 0.0) {
      pair = {0, 0};
      continue;
    }
    const double low = std::floor(u);
    if (low < 0.0 || low >= static_cast<double>(side)) continue;
    const auto c0 = static_cast<std::int32_t>(low);
    pair = {c0, c0 + 1 < side ? c0 + 1 : c0};
  }
  return true;
}

}  // namespace

void FillCheckerboard(CBgraImage16& picture) {
  for (std::uint32_t i = 0; i < picture.height; ++i) {
    std::uint16_t* p = picture.Row(i);
    for (std::uint32_t j = 0; j < picture.width; ++j, p += 4) {
      const std::uint16_t v = ((j / 8 + i / 8) & 1) ? kCheckerDark : kCheckerLight;
      p[0] = p[1] = p[2] = v;
      p[3] = 0xFFFF;
    }
  }
}

void ComposeDisplayLayer(CBgraImage16& picture, const Rect& source, double zoom, const CBgraImage16& image,
                         std::int32_t x, std::int32_t y, std::uint8_t opacity, std::uint8_t blendMode) {
  if (picture.IsEmpty() || image.IsEmpty()) return;
  if (picture.width > kMaxLayerDisplaySide || picture.height > kMaxLayerDisplaySide) return;
  std::unique_ptr<SamplePair[]> columns, rows;
  if (!MakePairs(columns, picture.width, source.Width(), source.left, x, image.width, false) ||
      !MakePairs(rows, picture.height, source.Height(), source.top, y, image.height, true)) {
    return;
  }
  const bool blends = UsesBlendPixel(blendMode);
  const int blendIndex = blendMode - 1;
  const bool nearest = zoom >= 1.0;
  for (std::uint32_t i = 0; i < picture.height; ++i) {
    const SamplePair row = rows[i];
    if (row.first < 0) continue;
    const std::uint16_t* row0 = image.Row(static_cast<std::uint32_t>(row.first));
    const std::uint16_t* row1 = image.Row(static_cast<std::uint32_t>(row.second));
    std::uint16_t* d = picture.Row(i);
    for (std::uint32_t j = 0; j < picture.width; ++j, d += 4) {
      const SamplePair column = columns[j];
      if (column.first < 0) continue;
      std::uint16_t s[4];
      std::int32_t weight = 0;
      if (nearest) {
        const std::uint16_t* p = row0 + std::size_t{4} * static_cast<std::uint32_t>(column.first);
        s[0] = p[0];
        s[1] = p[1];
        s[2] = p[2];
        s[3] = p[3];
        weight = (s[3] / 256) * opacity / 255;
      } else {
        const std::uint16_t* a = row0 + std::size_t{4} * static_cast<std::uint32_t>(column.second);
        const std::uint16_t* b = row1 + std::size_t{4} * static_cast<std::uint32_t>(column.second);
        const std::uint16_t* c = row1 + std::size_t{4} * static_cast<std::uint32_t>(column.first);
        const std::uint16_t* e = row0 + std::size_t{4} * static_cast<std::uint32_t>(column.first);
        for (int k = 0; k < 4; ++k) s[k] = static_cast<std::uint16_t>((a[k] + b[k] + c[k] + e[k]) >> 2);
        weight = static_cast<std::int32_t>(static_cast<std::int64_t>(s[3]) * opacity / 65535);
      }
      if (weight == 0) continue;
      if (blends) BlendPixel16(d, s, s, blendIndex);
      if (weight == 255) {
        // d + 255 (s - d) / 255 is s: an opaque pixel replaces.
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        continue;
      }
      for (int k = 0; k < 3; ++k) d[k] = static_cast<std::uint16_t>(d[k] + weight * (s[k] - d[k]) / 255);
    }
  }
}

void DrawDisplayPicture(CBgraImage& surface, const CBgraImage& display, std::int32_t x, std::int32_t y) {
  if (surface.IsEmpty() || display.IsEmpty()) return;
  const std::int64_t left = std::max<std::int64_t>(x, 0);
  const std::int64_t top = std::max<std::int64_t>(y, 0);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + display.width, surface.width);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + display.height, surface.height);
  if (right <= left || bottom <= top) return;
  const auto bytes = static_cast<std::size_t>(right - left) * 4;
  for (std::int64_t row = top; row < bottom; ++row) {
    std::memcpy(surface.At(static_cast<std::uint32_t>(left), static_cast<std::uint32_t>(row)),
                display.At(static_cast<std::uint32_t>(left - x), static_cast<std::uint32_t>(row - y)), bytes);
  }
}

bool ComposeDisplayPicture(const CBFDoc& document, const Rect& source, double zoom, std::uint32_t width,
                           std::uint32_t height, CBgraImage16& work, CBgraImage& display) {
  if (!work.Create(width, height)) return false;
  FillCheckerboard(work);
  {
    std::lock_guard guard(document.m_lock);
    for (const auto& layer : document.m_layers) {
      std::lock_guard layerGuard(layer->m_lock);
      if (!layer->m_visible || layer->m_image.IsEmpty()) continue;
      ComposeDisplayLayer(work, source, zoom, layer->m_image, layer->m_x, layer->m_y, layer->m_opacity,
                          layer->m_blendMode);
    }
  }
  return display.Create(width, height) && ConvertImage16To8(work, display);
}
