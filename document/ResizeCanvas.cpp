// CBFDoc::ResizeCanvas: the base layer is rebuilt at the new size with the
// old canvas at (dx, dy) and the fill pixel around it; everything else keeps
// its pixels and moves by (dx, dy). The new buffers are made and every new
// position checked before the document changes.

#include <algorithm>
#include <cstring>
#include <limits>

#include "document/BFDoc.h"

namespace {

bool FitsInt32(std::int64_t v) {
  return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
}

// The columns of a row of newWidth that come from an old row of oldWidth
// shifted by dx: [first, last).
void CopiedSpan(std::int64_t newWidth, std::int64_t oldWidth, std::int64_t dx, std::int64_t& first,
                std::int64_t& last) {
  first = std::max<std::int64_t>(dx, 0);
  last = std::min<std::int64_t>(newWidth, oldWidth + dx);
}

}  // namespace

int CBFDoc::ResizeCanvas(std::int32_t width, std::int32_t height, std::int32_t dx, std::int32_t dy,
                         std::uint64_t fill) {
  if (width == static_cast<std::int64_t>(m_width) && height == static_cast<std::int64_t>(m_height)) return 1;
  if (m_layers.empty() || width < 1 || height < 1) return 0;
  for (std::size_t i = 1; i < m_layers.size(); ++i) {
    if (!FitsInt32(std::int64_t{m_layers[i]->m_x} + dx) || !FitsInt32(std::int64_t{m_layers[i]->m_y} + dy))
      return 0;
  }
  for (const auto& mask : m_masks) {
    if (!FitsInt32(std::int64_t{mask->x} + dx) || !FitsInt32(std::int64_t{mask->y} + dy)) return 0;
  }

  const auto w = static_cast<std::uint32_t>(width), h = static_cast<std::uint32_t>(height);
  CBFLayer& base = *m_layers[0];
  CBgraImage16 canvas;
  {
    std::lock_guard guard(base.m_lock);
    const CBgraImage16& old = base.m_image;
    if (!canvas.Create(w, h)) return 0;
    const std::uint16_t pixel[4] = {static_cast<std::uint16_t>(fill), static_cast<std::uint16_t>(fill >> 16),
                                    static_cast<std::uint16_t>(fill >> 32),
                                    static_cast<std::uint16_t>(fill >> 48)};
    std::uint16_t* p = canvas.pixels;
    for (std::uint32_t i = 0; i < canvas.pixelCount; ++i, p += 4) std::copy_n(pixel, 4, p);
    std::int64_t first = 0, last = 0;
    if (!old.IsEmpty()) CopiedSpan(w, old.width, dx, first, last);
    for (std::int64_t y = 0; y < h && first < last; ++y) {
      const std::int64_t oldY = y - dy;
      if (oldY < 0 || oldY >= old.height) continue;
      std::memcpy(canvas.At(static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(y)),
                  old.At(static_cast<std::uint32_t>(first - dx), static_cast<std::uint32_t>(oldY)),
                  static_cast<std::size_t>(last - first) * CBgraImage16::kBytesPerPixel);
    }
  }

  CPlane8 selection;
  if (!m_selection.IsEmpty()) {
    if (!selection.Create(w, h)) return 0;
    std::memset(selection.pixels, 0, selection.byteSize);
    std::int64_t first = 0, last = 0;
    CopiedSpan(w, m_selection.width, dx, first, last);
    for (std::int64_t y = 0; y < h && first < last; ++y) {
      const std::int64_t oldY = y - dy;
      if (oldY < 0 || oldY >= m_selection.height) continue;
      std::memcpy(selection.At(static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(y)),
                  m_selection.At(static_cast<std::uint32_t>(first - dx), static_cast<std::uint32_t>(oldY)),
                  static_cast<std::size_t>(last - first));
    }
  }

  {
    std::lock_guard guard(base.m_lock);
    base.m_image = std::move(canvas);
  }
  for (std::size_t i = 1; i < m_layers.size(); ++i) {
    m_layers[i]->m_x += dx;
    m_layers[i]->m_y += dy;
  }
  for (auto& mask : m_masks) {
    mask->x += dx;
    mask->y += dy;
  }
  if (!m_selection.IsEmpty()) m_selection = std::move(selection);
  m_width = w;
  m_height = h;
  m_modified = 1;
  return 1;
}
