#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "filters/matting/DoubleLaplacian.h"
#include "filters/matting/InOutMatting.h"
#include "filters/matting/LaplasianMattingOptimize.h"
#include "tests/filters/MattingScene.h"

namespace {

// Reaches the stencils, which a run releases at its end.
class StencilProbe : public CLaplasianMattingOptimize {
public:
  // The stencil of the one free pixel of fixedMap.
  std::vector<std::int16_t> Stencil(const CBgraImage16& guide, const CPlane8& fixedMap, bool ownWindow) {
    if (!AllocateStencils(fixedMap) || !BuildStatistics(guide)) return {};
    BuildStencils(guide, fixedMap, ownWindow);
    return {m_stencils.get(), m_stencils.get() + kStencilSize};
  }
  // The stencils of every free pixel, in row order (own-window mode 0).
  std::vector<std::int16_t> All(const CBgraImage16& guide, const CPlane8& fixedMap) {
    if (!AllocateStencils(fixedMap) || !BuildStatistics(guide)) return {};
    BuildStencils(guide, fixedMap, false);
    return {m_stencils.get(), m_stencils.get() + std::size_t{25} * static_cast<std::size_t>(m_freeCount)};
  }
};

CBgraImage16 Guide(std::uint32_t w, std::uint32_t h, std::uint16_t (*red)(std::uint32_t x, std::uint32_t y)) {
  CBgraImage16 g;
  EXPECT_TRUE(g.Create(w, h));
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint16_t* p = g.At(x, y);
      p[0] = 1000;
      p[1] = 2000;
      p[2] = red(x, y);
      p[3] = 65535;
    }
  }
  return g;
}

CPlane8 OneFree(std::uint32_t w, std::uint32_t h, std::uint32_t fx, std::uint32_t fy) {
  CPlane8 fixed;
  EXPECT_TRUE(fixed.Create(w, h));
  std::memset(fixed.pixels, 255, fixed.byteSize);
  *fixed.At(fx, fy) = 0;
  return fixed;
}

TEST(LaplacianStencil, FlatGuideWeighsOffsetsByTheirSharedWindows) {
  // Every term is -1/9 per 3 x 3 window holding both pixels; (dy, dx) share
  // (3 - |dx|)(3 - |dy|) of them: trunc(-1000 n / 9 + 0.5).
  const CBgraImage16 guide = Guide(7, 7, [](std::uint32_t, std::uint32_t) -> std::uint16_t { return 30000; });
  StencilProbe probe;
  const std::vector<std::int16_t> s = probe.Stencil(guide, OneFree(7, 7, 3, 3), false);
  const std::vector<std::int16_t> expected = {-110, -221, -332, -221, -110,  //
                                              -221, -443, -666, -443, -221,  //
                                              -332, -666, 7972, -666, -332,  //
                                              -221, -443, -666, -443, -221,  //
                                              -110, -221, -332, -221, -110};
  EXPECT_EQ(s, expected);
  EXPECT_EQ(std::accumulate(s.begin(), s.end(), 0), 0);
}

TEST(LaplacianStencil, OwnWindowOnAColumnStep) {
  // 3 x 3 guide, red 0 0 9000 in every row: red is selected, mean 3000,
  // sigma sqrt(162e6 / 9) = 4242.6, stored 4242 >> 2 = 1060, so the
  // denominator is 4240^2 + 1000 = 17978600.
  //   left  (0): -(1 + 9e6 / 17978600) / 9 = -0.16673 -> trunc(-166.73 + 0.5) = -166
  //   right (9000): -(1 - 18e6 / 17978600) / 9 = 0.000132 -> 0
  // The corners are like their row neighbours; distance 2 stays 0; the
  // centre is minus the five -166s.
  const CBgraImage16 guide =
      Guide(3, 3, [](std::uint32_t x, std::uint32_t) -> std::uint16_t { return x == 2 ? 9000 : 0; });
  StencilProbe probe;
  const std::vector<std::int16_t> s = probe.Stencil(guide, OneFree(3, 3, 1, 1), true);
  ASSERT_EQ(s.size(), 25u);
  const std::vector<std::int16_t> expected = {0, 0,    0,    0, 0,  //
                                              0, -166, -166, 0, 0,  //
                                              0, -166, 830,  0, 0,  //
                                              0, -166, -166, 0, 0,  //
                                              0, 0,    0,    0, 0};
  EXPECT_EQ(s, expected);
}

// A step edge: red 8000 left of column 20, 50000 from it; alpha fixed 0 in
// the outer left columns and 65535 in the outer right ones, a free band of
// columns 14..25 starting at 32768.
struct StepEdge {
  static constexpr std::uint32_t kW = 40, kH = 24, kEdge = 20;
  CBgraImage16 guide =
      Guide(kW, kH, [](std::uint32_t x, std::uint32_t) -> std::uint16_t { return x < kEdge ? 8000 : 50000; });
  CPlane16 alpha;
  CPlane8 fixed;
  StepEdge() {
    EXPECT_TRUE(alpha.Create(kW, kH));
    EXPECT_TRUE(fixed.Create(kW, kH));
    for (std::uint32_t y = 0; y < kH; ++y) {
      for (std::uint32_t x = 0; x < kW; ++x) {
        const bool free = x >= 14 && x < 26;
        *fixed.At(x, y) = free ? 0 : 255;
        *alpha.At(x, y) = free ? 32768 : x < kEdge ? 0 : 65535;
      }
    }
  }
  LaplacianMattingParams Block(std::int32_t iterations) {
    LaplacianMattingParams b;
    b.guide = &guide;
    b.alpha = &alpha;
    b.fixedMap = &fixed;
    b.iterations = iterations;
    return b;
  }
};

template <typename Solver>
void ExpectConvergesToEachSide() {
  StepEdge scene;
  const LaplacianMattingParams block = scene.Block(150);
  Solver solver;
  solver.m_params = &block;
  ASSERT_EQ(solver.Process(), 1);
  for (std::uint32_t y = 0; y < StepEdge::kH; ++y) {
    for (std::uint32_t x = 14; x < 26; ++x) {
      SCOPED_TRACE(testing::Message() << x << "," << y);
      if (x < StepEdge::kEdge)
        EXPECT_LT(*scene.alpha.At(x, y), 1500);
      else
        EXPECT_GT(*scene.alpha.At(x, y), 64035);
    }
  }
}

TEST(LaplacianRefinement, StepEdgeBandConvergesToEachSide) {
  ExpectConvergesToEachSide<CDoubleLaplacian>();
  ExpectConvergesToEachSide<CLaplasianMattingOptimize>();
}

TEST(LaplacianRefinement, RefineMaskPullsAnEightBitBandApart) {
  CBgraImage guide;
  CPlane8 alpha, fixed;
  ASSERT_TRUE(guide.Create(40, 24));
  ASSERT_TRUE(alpha.Create(40, 24));
  ASSERT_TRUE(fixed.Create(40, 24));
  for (std::uint32_t y = 0; y < 24; ++y) {
    for (std::uint32_t x = 0; x < 40; ++x) {
      std::uint8_t* p = guide.At(x, y);
      p[0] = 30;
      p[1] = 60;
      p[2] = x < 20 ? 40 : 200;
      p[3] = 255;
      const bool free = x >= 17 && x < 23;
      *fixed.At(x, y) = free ? 0 : 255;
      *alpha.At(x, y) = free ? 128 : x < 20 ? 0 : 255;
    }
  }
  CLaplasianMattingOptimize solver;
  ASSERT_EQ(solver.RefineMask(guide, alpha, fixed), 1);
  for (std::uint32_t y = 0; y < 24; ++y) {
    EXPECT_LT(*alpha.At(19, y), 40);
    EXPECT_GT(*alpha.At(20, y), 215);
  }
}

TEST(LaplacianRefinement, FailuresLeaveTheAlphaAlone) {
  struct Case {
    const char* name;
    void (*spoil)(StepEdge&, LaplacianMattingParams&);
  };
  const Case cases[] = {
      {"fixed map all 255",
       [](StepEdge& s, LaplacianMattingParams&) { std::memset(s.fixed.pixels, 255, s.fixed.byteSize); }},
      {"no guide", [](StepEdge&, LaplacianMattingParams& b) { b.guide = nullptr; }},
      {"alpha of another size",
       [](StepEdge& s, LaplacianMattingParams&) { ASSERT_TRUE(s.alpha.Create(39, 24)); }},
      {"fixed map of another size",
       [](StepEdge& s, LaplacianMattingParams&) { ASSERT_TRUE(s.fixed.Create(40, 25)); }},
      {"unknown window mode", [](StepEdge&, LaplacianMattingParams& b) { b.ownWindowMode = 2; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int precision = 0; precision < 2; ++precision) {
      StepEdge scene;
      LaplacianMattingParams block = scene.Block(5);
      c.spoil(scene, block);
      const std::vector<std::uint16_t> before(scene.alpha.Samples().begin(), scene.alpha.Samples().end());
      CDoubleLaplacian precise;
      CLaplasianMattingOptimize integer;
      CLaplasianMattingOptimize& solver = precision ? precise : integer;
      solver.m_params = &block;
      EXPECT_EQ(solver.Process(), 0);
      EXPECT_TRUE(std::equal(before.begin(), before.end(), scene.alpha.Samples().begin(),
                             scene.alpha.Samples().end()));
    }
  }
  // RefineMask: nothing free.
  CBgraImage guide;
  CPlane8 alpha, fixed;
  ASSERT_TRUE(guide.Create(8, 8));
  ASSERT_TRUE(alpha.Create(8, 8));
  ASSERT_TRUE(fixed.Create(8, 8));
  std::memset(fixed.pixels, 255, fixed.byteSize);
  CLaplasianMattingOptimize solver;
  EXPECT_EQ(solver.RefineMask(guide, alpha, fixed), 0);
}

TEST(LaplacianRefinement, ZeroIterationsSucceedWithoutWork) {
  StepEdge scene;
  std::memset(scene.fixed.pixels, 255, scene.fixed.byteSize);  // would fail if any work were done
  const LaplacianMattingParams block = scene.Block(0);
  CLaplasianMattingOptimize solver;
  solver.m_params = &block;
  EXPECT_EQ(solver.Process(), 1);
}

// The system the sweeps relax: for every free pixel P, sum over Q of
// e(P, Q) x alpha(Q) = 0, the fixed pixels' alphas given. Solved directly by
// conjugate gradients in the test (the stencils are symmetric and, on this
// scene, positive definite over the free pixels).
class LaplacianSystem {
public:
  LaplacianSystem(const CBgraImage16& guide, const CPlane8& fixedMap, const std::vector<double>& alpha)
      : w_(guide.width), h_(guide.height), index_(alpha.size(), -1) {
    StencilProbe probe;
    stencils_ = probe.All(guide, fixedMap);
    for (std::size_t i = 0; i < alpha.size(); ++i) {
      if (fixedMap.pixels[i] == 255) continue;
      index_[i] = static_cast<std::int64_t>(free_.size());
      free_.push_back(i);
    }
    // The right-hand side: minus the fixed neighbours' part of each row.
    b_.resize(free_.size());
    for (std::size_t k = 0; k < free_.size(); ++k) {
      double s = 0;
      ForNeighbours(k, [&](double e, std::size_t j) {
        if (index_[j] < 0) s += e * alpha[j];
      });
      b_[k] = -s;
    }
  }

  bool Valid() const { return !free_.empty() && stencils_.size() == 25 * free_.size(); }

  // The free pixels' alphas of the solution.
  std::vector<double> Solve(std::vector<double> x) const {
    const std::size_t n = free_.size();
    std::vector<double> r(n), p(n), q(n);
    Apply(x, q);
    double rr = 0;
    for (std::size_t k = 0; k < n; ++k) {
      p[k] = r[k] = b_[k] - q[k];
      rr += r[k] * r[k];
    }
    const double target = rr * 1e-24;
    for (int it = 0; it < 5000 && rr > target; ++it) {
      Apply(p, q);
      double pq = 0;
      for (std::size_t k = 0; k < n; ++k) pq += p[k] * q[k];
      const double a = rr / pq;
      double next = 0;
      for (std::size_t k = 0; k < n; ++k) {
        x[k] += a * p[k];
        r[k] -= a * q[k];
        next += r[k] * r[k];
      }
      for (std::size_t k = 0; k < n; ++k) p[k] = r[k] + next / rr * p[k];
      rr = next;
    }
    return x;
  }

  // Distance between two alphas over the free pixels, each weighted by its
  // centre coefficient: the norm in which every sweep must shrink the error.
  double Distance(const std::vector<double>& freeAlpha, const CPlane16& plane) const {
    double sum = 0;
    for (std::size_t k = 0; k < free_.size(); ++k) {
      const double d = plane.pixels[free_[k]] - freeAlpha[k];
      sum += stencils_[25 * k + 12] * d * d;
    }
    return std::sqrt(sum / static_cast<double>(free_.size()));
  }

  std::vector<double> FreeValues(const std::vector<double>& alpha) const {
    std::vector<double> v;
    for (std::size_t i : free_) v.push_back(alpha[i]);
    return v;
  }

private:
  template <typename F>
  void ForNeighbours(std::size_t k, F f) const {
    const std::int64_t x = static_cast<std::int64_t>(free_[k] % w_),
                       y = static_cast<std::int64_t>(free_[k] / w_);
    for (int dy = -2; dy <= 2; ++dy) {
      for (int dx = -2; dx <= 2; ++dx) {
        const std::int64_t qx = x + dx, qy = y + dy;
        if (qx < 0 || qy < 0 || qx >= static_cast<std::int64_t>(w_) || qy >= static_cast<std::int64_t>(h_))
          continue;
        f(stencils_[25 * k + static_cast<std::size_t>((dy + 2) * 5 + dx + 2)],
          static_cast<std::size_t>(qy * static_cast<std::int64_t>(w_) + qx));
      }
    }
  }
  // The free block of the system applied to free-pixel values v.
  void Apply(const std::vector<double>& v, std::vector<double>& out) const {
    for (std::size_t k = 0; k < free_.size(); ++k) {
      double s = 0;
      ForNeighbours(k, [&](double e, std::size_t j) {
        if (index_[j] >= 0) s += e * v[static_cast<std::size_t>(index_[j])];
      });
      out[k] = s;
    }
  }

  std::uint32_t w_, h_;
  std::vector<std::int64_t> index_;  // free index of each pixel, -1 when fixed
  std::vector<std::size_t> free_;    // pixel of each free index
  std::vector<std::int16_t> stencils_;
  std::vector<double> b_;
};

TEST(LaplacianRefinement, SweepsApproachTheClosedFormSolution) {
  // The inside/outside matting's own estimate and certainty on a textured
  // scene. Each sweep is one Jacobi step towards the solution of the
  // stencils' system, so the distance to that solution must fall with every
  // sweep count; a sign, a diagonal or a neighbour the sweep reads other
  // than the stencil holds would send the sweeps elsewhere.
  using namespace matting_scene;
  Scene scene = MakeScene(128, Paint(GreenTexture));
  CBgraImage16 target;
  ASSERT_TRUE(target.CopyFrom(scene.image));
  InOutMattingParams matteBlock;
  matteBlock.inside = &scene.inside;
  matteBlock.region = &scene.region;
  matteBlock.iterations = 0;
  CInOutMatting matting;
  matting.m_source = &scene.image;
  matting.m_target = &target;
  matting.m_params = &matteBlock;
  ASSERT_EQ(matting.Process(), 1);
  std::vector<double> estimate(target.pixelCount);
  for (std::size_t i = 0; i < estimate.size(); ++i) estimate[i] = target.pixels[i * 4 + 3];

  const LaplacianSystem system(scene.image, matting.m_certainty, estimate);
  ASSERT_TRUE(system.Valid());
  const std::vector<double> solution = system.Solve(system.FreeValues(estimate));
  std::vector<double> distances;
  for (const std::int32_t sweeps : {0, 4, 16, 64, 256}) {
    CPlane16 alpha;
    ASSERT_TRUE(alpha.Create(128, 128));
    for (std::size_t i = 0; i < estimate.size(); ++i) alpha.pixels[i] = target.pixels[i * 4 + 3];
    LaplacianMattingParams block;
    block.guide = &scene.image;
    block.alpha = &alpha;
    block.fixedMap = &matting.m_certainty;
    block.iterations = sweeps;
    CDoubleLaplacian solver;
    solver.m_params = &block;
    ASSERT_EQ(solver.Process(), 1);
    distances.push_back(system.Distance(solution, alpha));
  }
  for (std::size_t k = 1; k < distances.size(); ++k) EXPECT_LT(distances[k], distances[k - 1]) << k;
  EXPECT_LT(distances.back(), 0.25 * distances.front());  // first run: 0.15
}

// A matting-like plane over the textured scene: the result must not depend
// on how the rows of a sweep are split among the helpers.
template <typename Solver>
std::vector<std::uint16_t> RefineScene(std::int32_t rowsPerStripe) {
  using namespace matting_scene;
  const Scene scene = MakeScene(96, Paint(GreenTexture));
  CBgraImage16 guide;
  EXPECT_TRUE(guide.CopyFrom(scene.image));
  CPlane16 alpha;
  CPlane8 fixed;
  EXPECT_TRUE(alpha.Create(96, 96));
  EXPECT_TRUE(fixed.Create(96, 96));
  for (std::size_t i = 0; i < scene.alpha.size(); ++i) {
    const bool unknown = scene.region.pixels[i] >= 128 && scene.inside.pixels[i] <= 128;
    fixed.pixels[i] = unknown ? 0 : 255;
    alpha.pixels[i] =
        unknown ? static_cast<std::uint16_t>((matting_scene::Hash(static_cast<std::uint32_t>(i), 5) & 0xFFFF))
        : scene.inside.pixels[i] > 128 ? 65535
                                       : 0;
  }
  LaplacianMattingParams block;
  block.guide = &guide;
  block.alpha = &alpha;
  block.fixedMap = &fixed;
  block.iterations = 6;
  Solver solver;
  solver.m_rowsPerStripe = rowsPerStripe;
  solver.m_params = &block;
  EXPECT_EQ(solver.Process(), 1);
  return {alpha.Samples().begin(), alpha.Samples().end()};
}

TEST(LaplacianRefinement, RowParallelSweepsEqualOneThread) {
  ASSERT_GT(theAlgorithmThread.HelperCount(), 1u);
  const auto precise = RefineScene<CDoubleLaplacian>(0);
  EXPECT_EQ(RefineScene<CDoubleLaplacian>(7), precise);
  EXPECT_EQ(RefineScene<CDoubleLaplacian>(13), precise);
  const auto integer = RefineScene<CLaplasianMattingOptimize>(0);
  EXPECT_EQ(RefineScene<CLaplasianMattingOptimize>(7), integer);
  EXPECT_NE(precise, integer);  // two solvers, not one run twice
}

}  // namespace
