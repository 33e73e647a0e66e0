#pragma once
// CMeshTransform: warps a picture through a regular grid of nodes, each with
// a displacement. Node (c, r) sits at pixel (c s, r s), s the cell size; its
// displacement (dx, dy) says that the output pixel there shows the source at
// (x + dx, y + dy). Inside a cell the displacement is interpolated
// bilinearly from the cell's four corner nodes, and the source is sampled by
// the floor bilinear rule (WarpSampling.h), alpha included. Only cells with
// a moved corner are computed; everything else is a copy of the source,
// pixels right of and below the last node included.
//
// No parameter block, no progress and no cancel test; the mesh must not
// change while a run is under way.

#include <cstdint>
#include <span>
#include <vector>

#include "algorithms/geometry/RowStripedWarp.h"
#include "image/BgraImage16.h"

struct MeshNode {
  double dx = 0.0;
  double dy = 0.0;
};
static_assert(sizeof(MeshNode) == 16);

class CMeshTransform : public CRowStripedWarp {
public:
  // Replaces the mesh by a copy of columns x rows nodes, row by row, spaced
  // cellSize pixels apart. 1; 0 (mesh unchanged) for a cell size below 1, a
  // negative count, fewer nodes than columns x rows or exhausted memory. No
  // nodes (a count of 0) leaves no mesh.
  [[nodiscard]] int SetMesh(std::span<const MeshNode> nodes, std::int32_t cellSize, std::int32_t columns,
                            std::int32_t rows);

  // m_target becomes the warped m_source (which may be the target itself).
  // 1, or 0 for a missing or empty source, a missing target or exhausted
  // memory.
  [[nodiscard]] int Process() override;

  std::int32_t CellSize() const { return m_cellSize; }
  std::int32_t Columns() const { return m_columns; }
  std::int32_t Rows() const { return m_rows; }

protected:
  [[nodiscard]] int WarpRows(std::int32_t from, std::int32_t to, bool reportRows) override;

private:
  const MeshNode& Node(std::int64_t c, std::int64_t r) const {
    return m_nodes[static_cast<std::size_t>(r * m_columns + c)];
  }
  // Copies columns [x0, x1) of rows [y0, y1) from the read to the written
  // picture.
  void CopyArea(std::int64_t x0, std::int64_t x1, std::int64_t y0, std::int64_t y1);
  // Rows [from, to) of cell (c, r), which lie inside the cell and the image.
  [[nodiscard]] int WarpCell(std::int64_t c, std::int64_t r, std::int64_t from, std::int64_t to);

  std::vector<MeshNode> m_nodes;
  std::int32_t m_cellSize = 0;
  std::int32_t m_columns = 0;
  std::int32_t m_rows = 0;
  // The run's pictures: sampled, and written.
  const CBgraImage16* m_read = nullptr;
  CBgraImage16* m_write = nullptr;
};
