#include "algorithms/geometry/MeshTransform.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "algorithms/geometry/WarpSampling.h"
#include "image/PixelBlock.h"

namespace {

bool Moved(const MeshNode& n) { return n.dx != 0.0 || n.dy != 0.0; }

}  // namespace

int CMeshTransform::SetMesh(std::span<const MeshNode> nodes, std::int32_t cellSize, std::int32_t columns,
                            std::int32_t rows) {
  if (cellSize < 1 || columns < 0 || rows < 0) return 0;
  const std::uint64_t count = std::uint64_t(columns) * std::uint64_t(rows);
  if (nodes.size() < count) return 0;
  try {
    m_nodes.assign(nodes.begin(), nodes.begin() + static_cast<std::ptrdiff_t>(count));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  m_cellSize = cellSize;
  m_columns = count ? columns : 0;
  m_rows = count ? rows : 0;
  return 1;
}

int CMeshTransform::Process() {
  if (!m_source || m_source->IsEmpty() || !m_target) return 0;
  if (m_nodes.empty()) return m_target->CopyFrom(*m_source);
  // Cells read the source as it was: a target that is the source is warped
  // from a copy. Otherwise the bands copy what they do not warp, so no pixel
  // is written twice.
  CBgraImage16 copy;
  if (m_target == m_source) {
    if (!copy.CopyFrom(*m_source)) return 0;
    m_read = &copy;
  } else {
    if (!m_target->Create(m_source->width, m_source->height)) return 0;
    m_read = m_source;
  }
  m_write = m_target;
  const int ok = WarpAllRows(*m_target, 1, 0, 0);  // no progress
  m_read = nullptr;
  m_write = nullptr;
  return ok;
}

void CMeshTransform::CopyArea(std::int64_t x0, std::int64_t x1, std::int64_t y0, std::int64_t y1) {
  if (x1 <= x0) return;
  const auto bytes = static_cast<std::size_t>(x1 - x0) * 4 * sizeof(std::uint16_t);
  for (std::int64_t y = y0; y < y1; ++y) {
    const auto column = static_cast<std::uint32_t>(x0), row = static_cast<std::uint32_t>(y);
    std::memcpy(m_write->At(column, row), m_read->At(column, row), bytes);
  }
}

int CMeshTransform::WarpRows(std::int32_t from, std::int32_t to, bool) {
  const std::int64_t s = m_cellSize, w = m_write->width;
  // The cells: rows of them down to the last node row, columns of them that
  // start left of the right edge.
  const std::int64_t cellRows = std::max(m_rows - 1, 0), meshBottom = cellRows * s;
  const std::int64_t cellColumns = std::min<std::int64_t>(std::max(m_columns - 1, 0), (w + s - 1) / s);
  const std::int64_t meshRight = std::min(cellColumns * s, w);
  std::int64_t y0 = from;
  for (; y0 < to && y0 < meshBottom && cellColumns > 0;) {
    const std::int64_t r = y0 / s, y1 = std::min<std::int64_t>(to, (r + 1) * s);
    for (std::int64_t c = 0; c < cellColumns; ++c) {
      if (Moved(Node(c, r)) || Moved(Node(c + 1, r)) || Moved(Node(c, r + 1)) || Moved(Node(c + 1, r + 1))) {
        if (!WarpCell(c, r, y0, y1)) return 0;
      } else {
        CopyArea(c * s, std::min((c + 1) * s, w), y0, y1);
      }
    }
    CopyArea(meshRight, w, y0, y1);
    y0 = y1;
  }
  CopyArea(0, w, y0, to);  // below the mesh
  return 1;
}

int CMeshTransform::WarpCell(std::int64_t c, std::int64_t r, std::int64_t from, std::int64_t to) {
  const std::int64_t s = m_cellSize;
  const std::int64_t x0 = c * s, y0 = r * s;
  const auto columns = static_cast<std::size_t>(std::min<std::int64_t>(s, m_write->width - x0));
  const MeshNode &tl = Node(c, r), &tr = Node(c + 1, r), &bl = Node(c, r + 1), &br = Node(c + 1, r + 1);
  // Per column: its position and the displacement along the cell's top and
  // bottom edge. Tables keep the row loop free of integer conversions, so
  // the compiler can vectorise it.
  auto edges = AllocWorkArray<double>(std::uint64_t{5} * columns);
  if (!edges) return 0;
  double* topX = edges.get();
  double* topY = topX + columns;
  double* bottomX = topY + columns;
  double* bottomY = bottomX + columns;
  double* position = bottomY + columns;
  const double size = static_cast<double>(s);
  for (std::size_t u = 0; u < columns; ++u) {
    const double right = static_cast<double>(u), left = static_cast<double>(s - static_cast<std::int64_t>(u));
    position[u] = static_cast<double>(x0 + static_cast<std::int64_t>(u));
    topX[u] = (right * tr.dx + left * tl.dx) / size;
    topY[u] = (right * tr.dy + left * tl.dy) / size;
    bottomX[u] = (right * br.dx + left * bl.dx) / size;
    bottomY[u] = (right * br.dy + left * bl.dy) / size;
  }
  double xs[kSampleRun], ys[kSampleRun];
  for (std::int64_t y = from; y < to; ++y) {
    const double below = static_cast<double>(y - y0), above = static_cast<double>(s - (y - y0));
    const double row = static_cast<double>(y);
    std::uint16_t* out = m_write->At(static_cast<std::uint32_t>(x0), static_cast<std::uint32_t>(y));
    for (std::size_t u0 = 0; u0 < columns; u0 += kSampleRun) {
      const std::size_t n = std::min(kSampleRun, columns - u0);
      for (std::size_t k = 0; k < n; ++k) {
        const std::size_t u = u0 + k;
        xs[k] = position[u] + (bottomX[u] * below + topX[u] * above) / size;
        ys[k] = row + (bottomY[u] * below + topY[u] * above) / size;
      }
      SampleRunFloor(*m_read, xs, ys, n, out + u0 * 4);
    }
  }
  return 1;
}
