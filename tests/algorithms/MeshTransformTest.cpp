// The mesh warp: unmoved meshes copy, one moved node changes only its four
// cells, a plain reference of the interpolation and sampling over random
// meshes (cells past the picture's edge included), warping in place, and
// the meshes SetMesh refuses.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "algorithms/geometry/MeshTransform.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/ToneTestSupport.h"
#include "tests/algorithms/WarpTestSupport.h"

namespace {

RunResult Warp(CMeshTransform& mesh, const CBgraImage16& source) { return RunOn(mesh, source, nullptr); }

CBgraImage16 ReferenceMesh(const CBgraImage16& source, const std::vector<MeshNode>& nodes, std::int64_t s,
                           std::int64_t columns, std::int64_t rows) {
  CBgraImage16 out;
  EXPECT_TRUE(out.CopyFrom(source));
  const auto node = [&](std::int64_t c, std::int64_t r) {
    return nodes[static_cast<std::size_t>(r * columns + c)];
  };
  for (std::int64_t r = 0; r + 1 < rows; ++r) {
    for (std::int64_t c = 0; c + 1 < columns; ++c) {
      const MeshNode tl = node(c, r), tr = node(c + 1, r), bl = node(c, r + 1), br = node(c + 1, r + 1);
      if (tl.dx == 0 && tl.dy == 0 && tr.dx == 0 && tr.dy == 0 && bl.dx == 0 && bl.dy == 0 && br.dx == 0 &&
          br.dy == 0)
        continue;
      for (std::int64_t y = r * s; y < r * s + s && y < source.height; ++y) {
        for (std::int64_t x = c * s; x < c * s + s && x < source.width; ++x) {
          const double u = static_cast<double>(x - c * s), v = static_cast<double>(y - r * s),
                       size = static_cast<double>(s);
          const double topX = (u * tr.dx + (size - u) * tl.dx) / size,
                       topY = (u * tr.dy + (size - u) * tl.dy) / size;
          const double botX = (u * br.dx + (size - u) * bl.dx) / size,
                       botY = (u * br.dy + (size - u) * bl.dy) / size;
          const double dx = (botX * v + topX * (size - v)) / size, dy = (botY * v + topY * (size - v)) / size;
          const Pixel16 p = ReferenceFloor(source, static_cast<double>(x) + dx, static_cast<double>(y) + dy);
          std::memcpy(out.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)), p.data(),
                      sizeof p);
        }
      }
    }
  }
  return out;
}

TEST(MeshTransform, UnmovedMeshesCopy) {
  const CBgraImage16 source = NoiseImage(30, 20, 1);
  CMeshTransform mesh;
  RunResult run = Warp(mesh, source);  // no mesh set
  ASSERT_EQ(run.ok, 1);
  EXPECT_TRUE(SamePixels(run.target, source));
  const std::vector<MeshNode> still(5 * 4);
  ASSERT_EQ(mesh.SetMesh(still, 8, 5, 4), 1);
  run = Warp(mesh, source);
  ASSERT_EQ(run.ok, 1);
  EXPECT_TRUE(SamePixels(run.target, source));
}

TEST(MeshTransform, OneMovedNodeChangesOnlyItsFourCells) {
  constexpr std::int32_t s = 8;
  const CBgraImage16 source = NoiseImage(40, 36, 2);
  std::vector<MeshNode> nodes(5 * 5);
  nodes[1 * 5 + 2] = {3.0, -2.0};  // node (2, 1) at pixel (16, 8)
  CMeshTransform mesh;
  ASSERT_EQ(mesh.SetMesh(nodes, s, 5, 5), 1);
  const RunResult run = Warp(mesh, source);
  ASSERT_EQ(run.ok, 1);
  EXPECT_EQ(PixelOf(run.target, 16, 8), PixelOf(source, 19, 6));
  int changed = 0;
  for (std::uint32_t y = 0; y < 36; ++y) {
    for (std::uint32_t x = 0; x < 40; ++x) {
      const bool inCells = x >= 8 && x < 24 && y < 16;
      if (!inCells) {
        ASSERT_EQ(PixelOf(run.target, x, y), PixelOf(source, x, y)) << x << ", " << y;
      } else {
        changed += PixelOf(run.target, x, y) != PixelOf(source, x, y);
      }
    }
  }
  EXPECT_GT(changed, 200);
}

TEST(MeshTransform, MatchesTheReferenceOnRandomMeshes) {
  struct Case {
    std::uint32_t w, h;
    std::int32_t cell, columns, rows;
  };
  // A mesh inside the picture, one reaching past its right and bottom
  // edges, one of a single cell larger than the picture, one row of nodes
  // (no cells).
  for (const Case& k :
       {Case{30, 20, 6, 5, 4}, Case{30, 20, 7, 6, 5}, Case{9, 7, 16, 2, 2}, Case{30, 20, 5, 6, 1}}) {
    SCOPED_TRACE(testing::Message() << k.w << " x " << k.h << ", cell " << k.cell);
    const CBgraImage16 source = NoiseImage(k.w, k.h, k.w + k.cell);
    std::vector<MeshNode> nodes(static_cast<std::size_t>(k.columns * k.rows));
    std::uint32_t state = 99;
    const auto next = [&state] {
      state = state * 1664525u + 1013904223u;
      return static_cast<double>(state >> 8) / (1 << 24) * 7 - 3.5;  // -3.5 .. 3.5
    };
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      if (i % 3 == 1) continue;  // some unmoved nodes, so some unmoved cells
      nodes[i] = {next(), next()};
    }
    CMeshTransform mesh;
    ASSERT_EQ(mesh.SetMesh(nodes, k.cell, k.columns, k.rows), 1);
    const RunResult run = Warp(mesh, source);
    ASSERT_EQ(run.ok, 1);
    EXPECT_TRUE(SamePixels(run.target, ReferenceMesh(source, nodes, k.cell, k.columns, k.rows)));

    CBgraImage16 inPlace;
    ASSERT_EQ(inPlace.CopyFrom(source), 1);
    mesh.m_source = &inPlace;
    mesh.m_target = &inPlace;
    ASSERT_EQ(mesh.Process(), 1);
    EXPECT_TRUE(SamePixels(inPlace, run.target));
  }
}

TEST(MeshTransform, SetMeshRefusesWhatItCannotHold) {
  const std::vector<MeshNode> nodes(6);
  CMeshTransform mesh;
  ASSERT_EQ(mesh.SetMesh(nodes, 10, 3, 2), 1);
  const struct {
    std::int32_t cell, columns, rows;
  } bad[] = {{0, 3, 2}, {-4, 3, 2}, {10, -3, -2}, {10, 4, 2}, {10, 65536, 65536}};
  for (const auto& b : bad) {
    EXPECT_EQ(mesh.SetMesh(nodes, b.cell, b.columns, b.rows), 0);
    EXPECT_EQ(mesh.CellSize(), 10);
    EXPECT_EQ(mesh.Columns(), 3);
    EXPECT_EQ(mesh.Rows(), 2);
  }
  ASSERT_EQ(mesh.SetMesh({}, 10, 0, 0), 1);
  EXPECT_EQ(mesh.Columns(), 0);
}

}  // namespace
