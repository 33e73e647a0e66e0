// The enlargements with the filter library's finishing steps installed: the
// triple-size enlargement's deblur stage is the iterative deconvolution,
// the advanced resize steepens each band's edges, and the double-size
// enlargement (one task up to 128 rows, stripes of 122 rows beyond) joins
// its stripes without seams.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "DeblurScene.h"
#include "algorithms/geometry/2XEnlarge.h"
#include "algorithms/geometry/ImageSize.h"
#include "algorithms/geometry/X3Enlarge.h"
#include "filters/IterAntiBlur.h"
#include "filters/ResEnhance.h"

namespace {

using namespace deblur_scene;

bool SamePixels(const CBgraImage16& a, const CBgraImage16& b) {
  return a.width == b.width && a.height == b.height && std::memcmp(a.pixels, b.pixels, a.byteSize) == 0;
}

CBgraImage16 Enlarged(const CBgraImage16& source, const X3EnlargeParams& block) {
  CX3Enlarge enlarge;
  enlarge.m_block = block;
  CBgraImage16 target;
  EXPECT_EQ(enlarge.Enlarge(source, target), 1);
  return target;
}

}  // namespace

// The deblur stage runs the deconvolution of the 5 x 5 kernel / 65 with
// deblur / 30 iterations (0 for deblur below 30, which still runs it), as
// one task in range mode 2.
TEST(X3EnlargeDeblur, IsTheIterativeDeconvolutionOfTheEnlargement) {
  static const std::int32_t kernel[25] = {0, 1, 2, 1, 0, 1, 4, 6, 4, 1, 2, 6, 9,
                                          6, 2, 1, 4, 6, 4, 1, 0, 1, 2, 1, 0};
  const CBgraImage16 source = PhotoCrop(210, 90, 30, 24);
  const CBgraImage16 bare = Enlarged(source, {24, {}, 0, 0, 0, 0, 0});
  for (const std::int32_t deblur : {100, 29}) {
    SCOPED_TRACE(deblur);
    IterAntiBlurParams block;
    block.kernel = kernel;
    block.kernelWidth = block.kernelHeight = 5;
    block.anchorX = block.anchorY = 2;
    block.divisor = 65;
    block.iterations = deblur / 30;
    block.striped = 0;
    block.rangeMode = kAntiBlurRangeFootprint;
    CIterAntiBlur direct;
    CBgraImage16 expected;
    direct.m_source = const_cast<CBgraImage16*>(&bare);
    direct.m_target = &expected;
    direct.m_params = &block;
    ASSERT_EQ(direct.Process(), 1);
    const CBgraImage16 staged = Enlarged(source, {24, {}, 0, deblur, 0, 0, 0});
    EXPECT_TRUE(SamePixels(staged, expected));
    EXPECT_FALSE(SamePixels(staged, bare));
  }
}

// With clearEdge an image of up to 100 rows is one band: enlarged three
// times between white columns, cut, brought to the target size and
// steepened at 0.66 x the scale + 0.33.
TEST(ImageSizeSmart, SteepensTheEdgesOfEachBand) {
  const CBgraImage16 source = PhotoCrop(240, 200, 40, 30);
  CBgraImage16 padded;
  ASSERT_EQ(padded.Create(46, 106), 1);
  std::fill_n(padded.pixels, padded.Stride() * padded.height, std::uint16_t{65535});
  for (std::uint32_t r = 0; r < 106; ++r) {
    std::memcpy(padded.At(3, r), source.Row(std::min<std::uint32_t>(r < 3 ? 0 : r - 3, 29)), 40 * 8);
  }
  const CBgraImage16 tripled = Enlarged(padded, {24, {}, 0, 0, 0, 0, 0});
  CBgraImage16 cut;
  ASSERT_EQ(cut.Create(120, 90), 1);
  for (std::uint32_t r = 0; r < 90; ++r) std::memcpy(cut.Row(r), tripled.At(9, 9 + r), 120 * 8);
  CImageSize plain;
  CBgraImage16 band;
  ASSERT_EQ(plain.ResizeBilinear(cut, band, 100, 75), 1);
  ResEnhanceParams strength{2.5 * 0.66 + 0.33};
  CResEnhance enhance;
  CBgraImage16 expected;
  enhance.m_source = &band;
  enhance.m_target = &expected;
  enhance.m_params = &strength;
  ASSERT_EQ(enhance.Process(), 1);

  CImageSize smart;
  smart.m_block.clearEdge = 1;
  CBgraImage16 result;
  ASSERT_EQ(smart.ResizeSmart(source, result, 100, 75), 1);
  EXPECT_TRUE(SamePixels(result, expected));
}

namespace {

struct StripeRecord {
  std::int32_t rowFrom, rowTo, rowStart, rowEnd;
  std::thread::id thread;
};

// Records every stripe it runs.
struct RecordingEnlarge : C2XEnlarge {
  std::mutex lock;
  std::vector<StripeRecord> stripes;
  int ProcessStripe(StripeTask* task) override {
    {
      std::lock_guard guard(lock);
      stripes.push_back(
          {task->rowFrom, task->rowTo, task->rowStart, task->rowEnd, std::this_thread::get_id()});
    }
    return C2XEnlarge::ProcessStripe(task);
  }
};

}  // namespace

TEST(X2Enlarge, UpTo128RowsIsOneTaskOnTheCallingThreadAndMoreAreStripes) {
  for (const std::uint32_t h : {128u, 129u, 250u}) {
    SCOPED_TRACE(h);
    const CBgraImage16 source = PhotoCrop(100, 0, 12, h);
    RecordingEnlarge enlarge;
    CBgraImage16 target;
    enlarge.m_source = const_cast<CBgraImage16*>(&source);
    enlarge.m_target = &target;
    ASSERT_EQ(enlarge.Process(), 1);
    EXPECT_EQ(target.width, 24u);
    EXPECT_EQ(target.height, 2 * h);
    std::sort(enlarge.stripes.begin(), enlarge.stripes.end(),
              [](const StripeRecord& a, const StripeRecord& b) { return a.rowStart < b.rowStart; });
    if (h <= 128) {
      ASSERT_EQ(enlarge.stripes.size(), 1u);
      EXPECT_EQ(enlarge.stripes[0].rowFrom, 0);
      EXPECT_EQ(enlarge.stripes[0].rowTo, static_cast<std::int32_t>(h));
      EXPECT_EQ(enlarge.stripes[0].thread, std::this_thread::get_id());
      continue;
    }
    // 122 rows of their own, 3 of context above and below, one after another.
    ASSERT_EQ(enlarge.stripes.size(), (h + 121) / 122);
    std::int32_t next = 0;
    for (const StripeRecord& s : enlarge.stripes) {
      EXPECT_EQ(s.rowStart, next);
      EXPECT_EQ(s.rowEnd, std::min<std::int32_t>(next + 122, static_cast<std::int32_t>(h)));
      EXPECT_EQ(s.rowFrom, s.rowStart - 3);
      EXPECT_EQ(s.rowTo, s.rowEnd + 3);
      next = s.rowEnd;
    }
  }
}

// The stripes are enlarged with three rows of each neighbour as context:
// against one enlargement of the whole image, the rows at a stripe join
// differ hardly more than the others do (which differ by their grain, drawn
// on other threads).
TEST(X2Enlarge, AStripedRunShowsNoSeamsAtTheStripeJoins) {
  const std::uint32_t w = 160, h = 300;
  const CBgraImage16 source = PhotoCrop(180, 50, w, h);
  C2XEnlarge enlarge;
  CBgraImage16 striped;
  enlarge.m_source = const_cast<CBgraImage16*>(&source);
  enlarge.m_target = &striped;
  ASSERT_EQ(enlarge.Process(), 1);

  const CBgraImage16 tripled = Enlarged(source, {24, {}, 40, 100, 1, 1, 0});
  CImageSize shrink;
  shrink.m_block.sharpness = 50;
  CBgraImage16 whole;
  ASSERT_EQ(shrink.ShrinkSmart(tripled, whole, 2 * w, 2 * h), 1);

  std::vector<double> rowDiff(2 * h);
  for (std::uint32_t y = 0; y < 2 * h; ++y) {
    double sum = 0;
    for (std::uint32_t x = 0; x < 2 * w; ++x) {
      for (int c = 0; c < 3; ++c) sum += std::abs(striped.At(x, y)[c] - whole.At(x, y)[c]);
    }
    rowDiff[y] = sum / (6.0 * w);
  }
  std::vector<double> others;
  double joins = 0;
  int joinRows = 0;
  // At the image's top and bottom the stripes repeat the edge rows as
  // context where one enlargement has none (and its texture stage leaves
  // four source rows alone): only the rows further inside count.
  constexpr std::uint32_t kBorder = 12;
  for (std::uint32_t y = kBorder; y + kBorder < 2 * h; ++y) {
    const std::uint32_t fromJoin = y % 244;
    if (fromJoin < 3 || fromJoin > 240) {
      joins += rowDiff[y];
      ++joinRows;
    } else {
      others.push_back(rowDiff[y]);
    }
  }
  ASSERT_EQ(joinRows, 12);  // rows 241 to 246 and 485 to 490
  std::nth_element(others.begin(), others.begin() + others.size() / 2, others.end());
  const double typical = others[others.size() / 2];
  std::printf("mean difference from one enlargement: %.1f at the joins, %.1f elsewhere\n", joins / joinRows,
              typical);
  EXPECT_LT(joins / joinRows, 1.6 * typical);
  EXPECT_LT(*std::max_element(rowDiff.begin() + kBorder, rowDiff.end() - kBorder), 2.5 * typical);
}

// Method 5 doubles whatever size the block asks for.
TEST(ImageSizeDouble, MethodFiveDoublesTheImage) {
  const CBgraImage16 source = PhotoCrop(300, 300, 21, 17);
  ImageSizeParams block;
  block.method = kSizeDouble;
  block.width = 5;
  block.height = 500;
  CImageSize size;
  CBgraImage16 target;
  size.m_source = const_cast<CBgraImage16*>(&source);
  size.m_target = &target;
  size.m_params = &block;
  ASSERT_EQ(size.Process(), 1);
  EXPECT_EQ(target.width, 42u);
  EXPECT_EQ(target.height, 34u);
  CImageSize plain;
  CBgraImage16 bilinear;
  ASSERT_EQ(plain.ResizeBilinear(source, bilinear, 42, 34), 1);
  EXPECT_GT(Psnr(target, bilinear, 2), 25.0);
}
