// The striped geometric warps: a run cut into bands for the helper threads
// gives the pixels of a run on one thread and reports progress up to 100
// (the mesh warp and previews report none), and a cancel of the algorithm
// thread's job, which skips pending stripes, still gives the whole picture.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/geometry/BarrelDistort.h"
#include "algorithms/geometry/MeshTransform.h"
#include "algorithms/geometry/Rotate.h"
#include "algorithms/geometry/ShapeTransform.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/algorithms/ToneTestSupport.h"

namespace {

template <typename Warp>
class CCounting : public Warp {
public:
  std::atomic<int> stripes{0};
  int ProcessStripe(StripeTask* task) override {
    ++stripes;
    return Warp::ProcessStripe(task);
  }
};

struct Striped {
  const char* name;
  const CBgraImage16* source;
  // Runs the warp on source, on one thread or striped, reporting to
  // listener; the stripes it ran.
  std::function<RunResult(const CBgraImage16&, bool parallel, int& stripes, AlgorithmListener listener)> run;
  bool reportsProgress = true;
};

template <typename Warp, typename Block>
Striped Case(const char* name, const CBgraImage16& source, Block block, bool reportsProgress = true) {
  return {name, &source,
          [block](const CBgraImage16& image, bool parallel, int& stripes, AlgorithmListener listener) {
            CCounting<Warp> warp;
            warp.m_allowParallel = parallel ? 1 : 0;
            warp.m_listener = listener;
            RunResult run = RunOn(warp, image, &block);
            stripes = warp.stripes;
            return run;
          },
          reportsProgress};
}

Striped MeshCase(const CBgraImage16& source) {
  return {"mesh", &source,
          [](const CBgraImage16& image, bool parallel, int& stripes, AlgorithmListener listener) {
            constexpr std::int32_t columns = 12, rows = 10;
            std::vector<MeshNode> nodes(columns * rows);
            for (std::size_t i = 0; i < nodes.size(); ++i) {
              if (i % 4) nodes[i] = {static_cast<double>(i % 7) - 3.3, static_cast<double>(i % 5) * 1.7 - 4};
            }
            CCounting<CMeshTransform> mesh;
            mesh.m_allowParallel = parallel ? 1 : 0;
            mesh.m_listener = listener;
            RunResult run;
            if (mesh.SetMesh(nodes, 100, columns, rows)) run = RunOn(mesh, image, nullptr);
            stripes = mesh.stripes;
            return run;
          },
          false};
}

ShapeTransformParams Trapezoid(std::uint8_t step) {
  ShapeTransformParams block;
  block.topLeft = {100, 0};
  block.topRight = {1000, 40};
  block.bottomLeft = {0, 980};
  block.bottomRight = {1050, 900};
  block.targetWidth = 1100;
  block.targetHeight = 1000;
  block.step = step;
  return block;
}

std::vector<Striped> Cases() {
  static const CBgraImage16 photo = NoiseImage(1100, 900, 31);
  static const CBgraImage16 small = NoiseImage(300, 200, 32);
  RotateParams rotate;
  rotate.angle = 0.3;
  RotateParams rotateCrop = rotate;
  rotateCrop.crop = 1;
  BarrelDistortParams pincushion;
  pincushion.amount = -0.4;
  BarrelDistortParams barrelCrop;
  barrelCrop.amount = 0.3;
  barrelCrop.crop = 1;
  return {
      Case<CRotate>("rotate", photo, rotate),
      Case<CRotate>("rotate and crop", photo, rotateCrop),
      Case<CBarrelDistort>("pincushion", photo, pincushion),
      Case<CBarrelDistort>("barrel and crop", photo, barrelCrop),
      MeshCase(photo),
      Case<CShapeTransform>("shape, final", small, Trapezoid(1)),
      Case<CShapeTransform>("shape, step 3", small, Trapezoid(3), false),
  };
}

TEST(GeometryStripes, StripedAndSingleRunsAreIdentical) {
  ASSERT_GT(theAlgorithmThread.HelperCount(), 0u);
  for (const Striped& c : Cases()) {
    SCOPED_TRACE(c.name);
    int oneStripes = 0, manyStripes = 0;
    RecordingSink sink;
    const RunResult one = c.run(*c.source, false, oneStripes, {});
    const RunResult many = c.run(*c.source, true, manyStripes, {&sink, 1});
    ASSERT_EQ(one.ok, 1);
    ASSERT_EQ(many.ok, 1);
    EXPECT_EQ(oneStripes, 0);
    EXPECT_GT(manyStripes, 2);
    EXPECT_TRUE(SamePixels(one.target, many.target));
    const std::vector<std::uint64_t> progress = sink.WParams(1);
    if (c.reportsProgress) {
      ASSERT_FALSE(progress.empty());
      EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
      EXPECT_EQ(progress.back(), 100u);
    } else {
      EXPECT_TRUE(progress.empty());
    }
  }
}

// The job cancels itself, then runs the warp striped.
class CCancelledWarp : public CAlgorithm {
public:
  const Striped* warp = nullptr;
  RunResult result;
  int Process() override {
    theAlgorithmThread.Cancel();
    int stripes = 0;
    result = warp->run(*warp->source, true, stripes, {});
    return result.ok;
  }
};

TEST(GeometryStripes, ACancelledJobStillWarpsThePicture) {
  for (const Striped& c : Cases()) {
    SCOPED_TRACE(c.name);
    int stripes = 0;
    const RunResult undisturbed = c.run(*c.source, false, stripes, {});
    RecordingSink sink;
    CCancelledWarp job;
    job.warp = &c;
    CBgraImage16 unused;
    ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&job, nullptr, &unused, nullptr, 0, {&sink, 1}), 1);
    ASSERT_TRUE(sink.WaitForCompletion(1));
    EXPECT_EQ(job.result.ok, 1);
    EXPECT_TRUE(SamePixels(job.result.target, undisturbed.target));
  }
}

}  // namespace
