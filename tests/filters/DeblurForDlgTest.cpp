// CDeblurForDlg: the tiles of a region, tiles that agree with one run over
// the whole image inside them and leave the rest of the image alone, a
// region cut to the image, pictures too small to deblur, blocks refused, a
// cancel that skips the remaining tiles, and a tile that cannot be made.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "DeblurScene.h"
#include "algorithms/AlgorithmThread.h"
#include "filters/DeblurForDlg.h"
#include "filters/IterAntiBlur.h"

namespace {

using namespace deblur_scene;

// A small blur, so that runs stay quick: 3 x 3 [1 2 1; 2 4 2; 1 2 1] / 16.
constexpr std::int32_t kSmall[9] = {1, 2, 1, 2, 4, 2, 1, 2, 1};

IterAntiBlurParams SmallBlock(std::int32_t iterations = 6) {
  IterAntiBlurParams block;
  block.kernel = kSmall;
  block.kernelWidth = 3;
  block.kernelHeight = 3;
  block.anchorX = 1;
  block.anchorY = 1;
  block.divisor = 16;
  block.iterations = iterations;
  // The wrapper runs every tile as one task in range mode 2, whatever these say.
  block.striped = 1;
  block.rangeMode = 1;
  return block;
}

struct Region {
  std::int32_t x0, y0, x1, y1;
};

int RunDialog(CDeblurForDlg& deblur, const CBgraImage16& source, CBgraImage16& target,
              const IterAntiBlurParams& block, Region region) {
  deblur.m_source = const_cast<CBgraImage16*>(&source);
  deblur.m_target = &target;
  deblur.m_params = &block;
  deblur.m_x0 = region.x0;
  deblur.m_y0 = region.y0;
  deblur.m_x1 = region.x1;
  deblur.m_y1 = region.y1;
  return deblur.Process();
}

CBgraImage16 Blurred(std::uint32_t w, std::uint32_t h) {
  static const ConvolutionKernel kernel{kSmall, 16, 3, 3, 1, 1};
  CBgraImage16 blurred;
  EXPECT_EQ(kernel.ApplyToImage16(PhotoCrop(20, 30, w, h), blurred), 1);
  return blurred;
}

// The pixels of a rectangle of a and b are equal.
bool SameInside(const CBgraImage16& a, const CBgraImage16& b, Region r) {
  for (std::int32_t y = r.y0; y < r.y1; ++y) {
    if (std::memcmp(a.At(static_cast<std::uint32_t>(r.x0), static_cast<std::uint32_t>(y)),
                    b.At(static_cast<std::uint32_t>(r.x0), static_cast<std::uint32_t>(y)),
                    static_cast<std::size_t>(r.x1 - r.x0) * 8) != 0) {
      return false;
    }
  }
  return true;
}

// Everything outside the region is the source's.
bool SameOutside(const CBgraImage16& a, const CBgraImage16& b, Region r) {
  for (std::uint32_t y = 0; y < a.height; ++y) {
    for (std::uint32_t x = 0; x < a.width; ++x) {
      const bool inside = std::int64_t{x} >= r.x0 && std::int64_t{x} < r.x1 && std::int64_t{y} >= r.y0 &&
                          std::int64_t{y} < r.y1;
      if (!inside && std::memcmp(a.At(x, y), b.At(x, y), 8) != 0) return false;
    }
  }
  return true;
}

}  // namespace

TEST(DeblurForDlg, TilesTheRegionTowardFourHundredPixels) {
  struct Case {
    Region region;
    std::vector<std::int32_t> columns, rows;  // tile widths and heights
  };
  const Case cases[] = {
      {{0, 0, 401, 401}, {200, 200, 1}, {200, 200, 1}},
      {{10, 20, 810, 420}, {400, 400}, {400}},
      {{0, 0, 1000, 37}, {333, 333, 333, 1}, {37}},
      {{5, 5, 6, 6}, {1}, {1}},
  };
  for (const Case& c : cases) {
    CDeblurForDlg deblur;
    deblur.m_x0 = c.region.x0;
    deblur.m_y0 = c.region.y0;
    deblur.m_x1 = c.region.x1;
    deblur.m_y1 = c.region.y1;
    deblur.BuildTiles();
    ASSERT_EQ(deblur.m_tasks.size(), c.columns.size() * c.rows.size());
    std::size_t i = 0;
    for (std::int32_t y = c.region.y0, r = 0; r < static_cast<std::int32_t>(c.rows.size());
         y += c.rows[static_cast<std::size_t>(r++)]) {
      for (std::int32_t x = c.region.x0, k = 0; k < static_cast<std::int32_t>(c.columns.size());
           x += c.columns[static_cast<std::size_t>(k++)]) {
        const StripeTask& t = deblur.m_tasks[i++];
        EXPECT_EQ(t.rowFrom, y);
        EXPECT_EQ(t.rowTo, y + c.rows[static_cast<std::size_t>(r)]);
        EXPECT_EQ(t.rowStart, x);
        EXPECT_EQ(t.rowEnd, x + c.columns[static_cast<std::size_t>(k)]);
      }
    }
  }
}

// Each tile is deblurred with twice the kernel's size of context on every
// side: inside the tiles the result stays close to one run over the whole
// image, and outside the region the target is the source.
TEST(DeblurForDlg, TilesAgreeWithOneRunAndLeaveTheRestAlone) {
  const CBgraImage16 source = Blurred(460, 180);
  const IterAntiBlurParams block = SmallBlock();
  IterAntiBlurParams whole = block;
  whole.striped = 0;
  whole.rangeMode = kAntiBlurRangeFootprint;
  CIterAntiBlur single;
  CBgraImage16 reference;
  single.m_source = const_cast<CBgraImage16*>(&source);
  single.m_target = &reference;
  single.m_params = &whole;
  ASSERT_EQ(single.Process(), 1);

  CDeblurForDlg all;
  CBgraImage16 tiled;
  ASSERT_EQ(RunDialog(all, source, tiled, block, {0, 0, 0, 0}), 1);
  EXPECT_GT(Psnr(reference, tiled), 45.0);
  EXPECT_LT(Psnr(source, tiled), 40.0);

  const Region region{40, 30, 300, 150};
  CDeblurForDlg part;
  CBgraImage16 preview;
  ASSERT_EQ(RunDialog(part, source, preview, block, region), 1);
  EXPECT_TRUE(SameOutside(preview, source, region));
  EXPECT_FALSE(SameInside(preview, source, region));
}

// A region reaching beyond the image is cut to it; an empty region, or one
// larger than the image, is the whole image; one wholly outside changes
// nothing.
TEST(DeblurForDlg, TheRegionIsCutToTheImage) {
  const CBgraImage16 source = Blurred(200, 160);
  const IterAntiBlurParams block = SmallBlock();
  const auto run = [&](Region region) {
    CDeblurForDlg deblur;
    CBgraImage16 target;
    EXPECT_EQ(RunDialog(deblur, source, target, block, region), 1);
    return target;
  };
  const CBgraImage16 cut = run({-50, -20, 150, 130});
  EXPECT_TRUE(SameInside(cut, run({0, 0, 150, 130}), {0, 0, 200, 160}));
  EXPECT_TRUE(SameOutside(cut, source, {0, 0, 150, 130}));
  const CBgraImage16 whole = run({0, 0, 200, 160});
  for (const Region r : {Region{7, 9, 7, 100}, Region{0, 0, 201, 10}, Region{-1, -1, 200, 160}}) {
    EXPECT_TRUE(SameInside(run(r), whole, {0, 0, 200, 160}))
        << r.x0 << "," << r.y0 << "," << r.x1 << "," << r.y1;
  }
  EXPECT_TRUE(SameInside(run({300, 0, 400, 100}), source, {0, 0, 200, 160}));
}

TEST(DeblurForDlg, SmallPicturesComeBackUnchangedAndBadBlocksAreRefused) {
  const CBgraImage16 narrow = Blurred(99, 150);
  CDeblurForDlg deblur;
  CBgraImage16 target;
  ASSERT_EQ(RunDialog(deblur, narrow, target, SmallBlock(), {}), 1);
  EXPECT_TRUE(SameInside(target, narrow, {0, 0, 99, 150}));

  const CBgraImage16 source = Blurred(120, 110);
  IterAntiBlurParams noDivisor = SmallBlock();
  noDivisor.divisor = 0;
  IterAntiBlurParams tooWide = SmallBlock();
  tooWide.kernelWidth = 33;
  for (const IterAntiBlurParams& block : {noDivisor, tooWide}) {
    CDeblurForDlg refused;
    CBgraImage16 untouched;
    EXPECT_EQ(RunDialog(refused, source, untouched, block, {}), 0);
    EXPECT_TRUE(untouched.IsEmpty());
  }
}

namespace {

// Counts the tiles that were deblurred; onTile runs after each.
struct CountingDeblur : CDeblurForDlg {
  std::atomic<int> deblurred{0};
  std::function<void()> onTile;
  std::function<bool(const StripeTask&)> failPrepare;  // leaves that tile's stripe empty

  int ProcessStripe(StripeTask* task) override {
    const bool cancelled = theAlgorithmThread.IsCancelRequested();
    const int ok = CDeblurForDlg::ProcessStripe(task);
    if (!cancelled && ok) ++deblurred;
    if (onTile) onTile();
    return ok;
  }
  int PrepareStripe(StripeTask* task, CBgraImage16& sourceStripe, CBgraImage16& resultStripe) override {
    const int ok = CDeblurForDlg::PrepareStripe(task, sourceStripe, resultStripe);
    if (failPrepare && failPrepare(*task)) sourceStripe.Free();
    return ok;
  }
};

}  // namespace

// A cancel while the tiles run skips the ones not yet begun (their area
// keeps the source) and a tile that sees it returns at once; the nested
// runs of the tiles never clear it, so every later tile is skipped, and the
// run still succeeds.
TEST(DeblurForDlg, ACancelSkipsTheRemainingTiles) {
  // 4 x 3 tiles of 400 x 300, more than there are helper threads.
  const CBgraImage16 source = Blurred(1600, 900);
  CDeblurForDlg layout;
  layout.m_x1 = 1600;
  layout.m_y1 = 900;
  layout.BuildTiles();
  const std::vector<StripeTask> tiles = layout.m_tasks;
  ASSERT_GT(tiles.size(), theAlgorithmThread.HelperCount());

  CountingDeblur deblur;
  deblur.onTile = [] { theAlgorithmThread.Cancel(); };
  CBgraImage16 target;
  const IterAntiBlurParams block = SmallBlock(3);
  struct Job : CAlgorithm {
    std::function<int()> body;
    int result = -1;
    int Process() override { return result = body(); }
  } job;
  job.body = [&] { return RunDialog(deblur, source, target, block, {}); };
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&job, nullptr, nullptr, nullptr, 0, {}), 1);
  theAlgorithmThread.WaitWhileBusy();
  EXPECT_EQ(job.result, 1);
  // Tiles already running when the first one finished may end; no later one begins.
  EXPECT_GE(deblur.deblurred.load(), 1);
  EXPECT_LE(deblur.deblurred.load(), static_cast<int>(theAlgorithmThread.HelperCount()));
  int untouched = 0;
  for (const StripeTask& t : tiles)
    untouched += SameInside(target, source, {t.rowStart, t.rowFrom, t.rowEnd, t.rowTo});
  EXPECT_EQ(untouched, static_cast<int>(tiles.size()) - deblur.deblurred.load());
}

// A tile whose padded copy cannot be made fails, the run ends (it does not
// wait for that tile) and reports the failure; the other tiles are written.
TEST(DeblurForDlg, ATileThatCannotBeMadeFailsTheRun) {
  const CBgraImage16 source = Blurred(500, 200);
  CountingDeblur deblur;
  deblur.failPrepare = [](const StripeTask& t) { return t.rowStart == 0; };
  CBgraImage16 target;
  EXPECT_EQ(RunDialog(deblur, source, target, SmallBlock(), {}), 0);
  EXPECT_EQ(deblur.deblurred.load(), 1);
  EXPECT_TRUE(SameInside(target, source, {0, 0, 250, 200}));
  EXPECT_FALSE(SameInside(target, source, {250, 0, 500, 200}));
}
