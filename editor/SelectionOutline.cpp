#include "editor/SelectionOutline.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

#include "image/BgraImage.h"
#include "image/PixelBlock.h"
#include "image/Plane8.h"
#include "ui/BlendTables.h"

namespace {

// Touched only by drawing; an atomic because the render thread and tests
// both read it.
std::atomic<std::uint32_t> g_outlineCalls{0};

std::uint32_t SampleIndex(std::uint32_t k, double zoom, std::int32_t start, std::uint32_t size) {
  const std::int64_t at = static_cast<std::int64_t>(k / zoom + 0.5) + start;
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(at, 0, std::int64_t{size} - 1));
}

}  // namespace

std::uint32_t BuildSelectionOutline(const CPlane8& selection, const Rect& source, double zoom,
                                    std::uint32_t width, std::uint32_t height, CPlane8& outline) {
  std::uint32_t e = 0;
  if (!selection.IsEmpty()) e = *std::max_element(selection.pixels, selection.pixels + selection.byteSize);
  if (e <= 1 || width == 0 || height == 0) {
    outline.Free();
    outline.width = outline.height = outline.byteSize = outline.pixelCount = 0;
    return e;
  }
  CPlane8 sampled;
  auto columns = AllocWorkArray<std::uint32_t>(width);
  if (!sampled.Create(width, height) || !columns || !outline.Create(width, height)) {
    outline.Free();
    return e;
  }
  for (std::uint32_t j = 0; j < width; ++j) columns[j] = SampleIndex(j, zoom, source.left, selection.width);
  for (std::uint32_t i = 0; i < height; ++i) {
    const std::uint8_t* in = selection.Row(SampleIndex(i, zoom, source.top, selection.height));
    std::uint8_t* out = sampled.Row(i);
    for (std::uint32_t j = 0; j < width; ++j) out[j] = in[columns[j]];
  }
  const std::uint32_t half = e / 2;
  for (std::uint32_t i = 0; i < height; ++i) {
    const std::uint8_t* row = sampled.Row(i);
    std::uint8_t* out = outline.Row(i);
    for (std::uint32_t j = 0; j < width; ++j) {
      std::uint8_t mark = 0;
      if (row[j] >= half) {
        const bool border = i == 0 || j == 0 || i + 1 == height || j + 1 == width;
        mark = border || row[j - 1] < half || row[j + 1] < half || sampled.Row(i - 1)[j] < half ||
                       sampled.Row(i + 1)[j] < half
                   ? 1
                   : 0;
      }
      out[j] = mark;
    }
  }
  return e;
}

void DrawSelectionOutline(CBgraImage& surface, const CPlane8& outline, std::uint32_t alpha,
                          const Rect& image) {
  const std::uint32_t n = g_outlineCalls.fetch_add(1) + 1;
  if (outline.IsEmpty() || static_cast<std::int64_t>(outline.width) != image.Width() ||
      static_cast<std::int64_t>(outline.height) != image.Height() || surface.IsEmpty()) {
    return;
  }
  if (!GetBlendTables() && !BuildBlendTables()) return;
  const BlendTables& tables = *GetBlendTables();
  const std::uint32_t a = std::min<std::uint32_t>(alpha, 255);
  const std::uint32_t phase = n % 8;
  for (std::uint32_t i = 0; i < outline.height; ++i) {
    const std::int64_t y = std::int64_t{image.top} + i;
    if (y < 0 || y >= surface.height) continue;
    const std::uint8_t* marks = outline.Row(i);
    for (std::uint32_t j = 0; j < outline.width; ++j) {
      if (!marks[j]) continue;
      const std::int64_t x = std::int64_t{image.left} + j;
      if (x < 0 || x >= surface.width) continue;
      std::uint8_t* p = surface.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
      const std::uint8_t target = ((i + j + phase) / 4) % 2 == 0 ? 255 : 0;
      for (int c = 0; c < 3; ++c)
        p[c] = static_cast<std::uint8_t>(tables.source[a][target] + tables.destination[a][p[c]]);
    }
  }
}

std::uint32_t SelectionOutlineCalls() { return g_outlineCalls.load(); }
