// The separable cubic resize: its filter, its row passes (renormalised at
// the edges, no 0/0 between zero-weight taps), the transposition, the banded
// and striped resize held value for value to the literal passes, and a 2x
// enlargement of a real photo measured against ImageMagick's cubic of the
// same B and C.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/geometry/ImageSize.h"
#include "algorithms/geometry/SeparableResize.h"
#include "image/BgraImage.h"
#include "image/ImageCodec.h"
#include "tests/algorithms/EngineTestSupport.h"
#include "tests/common/TestData.h"

namespace {

CBgraImage16 Flat(std::uint32_t w, std::uint32_t h, std::uint16_t v) {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(w, h));
  for (std::uint16_t& s : image.Samples()) s = v;
  return image;
}

CBgraImage16 Noise(std::uint32_t w, std::uint32_t h) {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(w, h));
  std::uint32_t state = 7;
  for (std::uint16_t& s : image.Samples()) {
    state = state * 1664525u + 1013904223u;
    s = static_cast<std::uint16_t>(state >> 16);
  }
  return image;
}

}  // namespace

TEST(CubicFilterWeight, IsSixTimesTheMitchellNetravaliCubic) {
  EXPECT_NEAR(CubicFilterWeight(0.0f, 1.0f, kCubicB, kCubicC), 5.34f, 1e-5);
  EXPECT_NEAR(CubicFilterWeight(1.0f, 1.0f, kCubicB, kCubicC), 0.33f, 1e-5);
  EXPECT_NEAR(CubicFilterWeight(-1.0f, 1.0f, kCubicB, kCubicC), 0.33f, 1e-5);
  EXPECT_EQ(CubicFilterWeight(2.0f, 1.0f, kCubicB, kCubicC), 0.0f);
  EXPECT_EQ(CubicFilterWeight(7.5f, 1.0f, kCubicB, kCubicC), 0.0f);
  EXPECT_GT(CubicFilterWeight(1.05f, 1.0f, kCubicB, kCubicC), 0.0f);
  EXPECT_LT(CubicFilterWeight(1.1f, 1.0f, kCubicB, kCubicC), 0.0f);
  EXPECT_LT(CubicFilterWeight(1.9f, 1.0f, kCubicB, kCubicC), 0.0f);
  // u stretches the support: d = 2 at u = 2 is x = 1.
  EXPECT_NEAR(CubicFilterWeight(2.0f, 2.0f, kCubicB, kCubicC), 0.33f, 1e-5);
  // The classic Mitchell filter (1/3, 1/3) is 16/18 x 6 at 0.
  EXPECT_NEAR(CubicFilterWeight(0.0f, 1.0f, 1.0f / 3, 1.0f / 3), 6.0f - 2.0f / 3, 1e-5);
}

TEST(BlendRows16, WeighsTwoRowsInEighthBits) {
  std::vector<std::uint16_t> a = {0, 65535, 1000, 3}, b = {65535, 0, 3000, 3};
  std::vector<std::uint16_t> out(4);
  BlendRows16(out, a, b, 64, 192);
  EXPECT_EQ(out, (std::vector<std::uint16_t>{49151, 16383, 2500, 3}));
  BlendRows16(a, a, b, 256, 0);  // in place
  EXPECT_EQ(a, (std::vector<std::uint16_t>{0, 65535, 1000, 3}));
}

TEST(ResampleRows16, KeepsAFlatImageFlatAtEveryScale) {
  // A 2x enlargement puts two taps of weight 0 (at distance 2) into the
  // negative list of every other row: they blend neutrally instead of 0 / 0.
  // The edge rows lose taps and renormalise.
  struct Case {
    std::uint32_t from, to;
  };
  for (const Case c : {Case{10, 20}, Case{10, 10}, Case{30, 10}, Case{7, 3}, Case{9, 1}, Case{1, 5},
                       Case{3, 31}, Case{1000, 7}}) {
    SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to << " rows");
    const CBgraImage16 src = Flat(3, c.from, 41234);
    CBgraImage16 dst;
    ASSERT_TRUE(dst.Create(3, c.to));
    ASSERT_EQ(ResampleRows16(dst.Samples(), src.Samples(), 3, 12, c.from, c.to, kCubicB, kCubicC), 1);
    for (std::uint16_t v : dst.Samples()) ASSERT_NEAR(v, 41234, 2);
  }
}

TEST(ResampleRows16, FiltersAtTheSameSizeAndSitsOutputRowZeroOnSourceRowZero) {
  // A single bright row among dark ones: at the same size it spreads to its
  // neighbours (t = 1, u = 1.05: filtered, not copied) and rings below zero
  // two rows away, clamped.
  CBgraImage16 src = Flat(1, 9, 1000);
  for (int c = 0; c < 4; ++c) src.At(0, 4)[c] = 60000;
  CBgraImage16 dst;
  ASSERT_TRUE(dst.Create(1, 9));
  ASSERT_EQ(ResampleRows16(dst.Samples(), src.Samples(), 1, 4, 9, 9, kCubicB, kCubicC), 1);
  EXPECT_LT(dst.At(0, 4)[0], 60000);
  EXPECT_GT(dst.At(0, 3)[0], 1000);
  EXPECT_GT(dst.At(0, 5)[0], 1000);
  // Symmetric but for the 8-bit shares of the row blends, which group the
  // taps differently on either side.
  EXPECT_NEAR(dst.At(0, 3)[0], dst.At(0, 5)[0], 600);
  EXPECT_LT(dst.At(0, 2)[0], 1000) << "the cubic's negative lobe";
  EXPECT_EQ(dst.At(0, 0)[0], 1000);

  // An enlargement whose rows start on source row 0: row 0 of a ramp stays
  // the darkest.
  CBgraImage16 ramp;
  ASSERT_TRUE(ramp.Create(1, 8));
  for (std::uint32_t y = 0; y < 8; ++y) ramp.At(0, y)[0] = static_cast<std::uint16_t>(8000 * y);
  CBgraImage16 up;
  ASSERT_TRUE(up.Create(1, 16));
  ASSERT_EQ(ResampleRows16(up.Samples(), ramp.Samples(), 1, 4, 8, 16, kCubicB, kCubicC), 1);
  for (std::uint32_t y = 1; y < 16; ++y) EXPECT_GE(up.At(0, y)[0], up.At(0, y - 1)[0]) << y;
  EXPECT_LT(up.At(0, 0)[0], 4000);

  // Spans too small for the rows.
  EXPECT_EQ(ResampleRows16(up.Samples().first(60), ramp.Samples(), 1, 4, 8, 16, kCubicB, kCubicC), 0);
}

namespace {

// The pass as the rule states it, list by list: taps paired as they arrive,
// then rows 2k and 2k + 1 merged in rounds, an odd last row moving down.
std::vector<std::uint16_t> ReferencePass(const CBgraImage16& src, std::uint32_t dstRows) {
  const std::size_t n = src.Stride();
  const std::uint32_t srcRows = src.height;
  using Row = std::vector<std::uint16_t>;
  struct Entry {
    Row row;
    std::int64_t weight;
  };
  const auto share = [](float a, float b) {
    return a + b > 0 ? static_cast<std::uint32_t>(256.0f * a / (a + b)) : 128u;
  };
  const auto blend = [&](const Row& a, const Row& b, std::uint32_t v) {
    Row out(n);
    BlendRows16(out, a, b, v, 256 - v);
    return out;
  };
  std::vector<std::uint16_t> out;
  const float t = static_cast<float>(srcRows) / static_cast<float>(dstRows);
  const float u = std::max(1.0f, 1.05f * t);
  float e = 0;
  for (std::uint32_t i = 0; i < dstRows; ++i, e += t) {
    const auto first = static_cast<std::uint32_t>(std::max(0.0f, e - 2 * u));
    const auto last = static_cast<std::uint32_t>(std::min(static_cast<float>(srcRows - 1), e + 2 * u));
    const auto sourceRow = [&](std::uint32_t k) { return Row(src.Row(k), src.Row(k) + n); };
    if (last <= first) {
      const Row row = sourceRow(first);
      out.insert(out.end(), row.begin(), row.end());
      continue;
    }
    std::vector<Entry> lists[2];
    const Row* pendingRow[2] = {nullptr, nullptr};
    float pendingWeight[2] = {0, 0};
    std::vector<Row> rows;
    rows.reserve(last - first + 1);
    for (std::uint32_t k = first; k <= last; ++k) {
      const float w = CubicFilterWeight(static_cast<float>(k) - e, u, kCubicB, kCubicC);
      const int l = w > 0 ? 0 : 1;
      const float a = w > 0 ? w : -w;
      rows.push_back(sourceRow(k));
      if (pendingRow[l]) {
        lists[l].push_back({blend(*pendingRow[l], rows.back(), share(pendingWeight[l], a)),
                            static_cast<std::int64_t>(256.0f * (pendingWeight[l] + a))});
        pendingRow[l] = nullptr;
      } else {
        pendingRow[l] = &rows.back();
        pendingWeight[l] = a;
      }
    }
    for (int l = 0; l < 2; ++l) {
      if (pendingRow[l])
        lists[l].push_back({*pendingRow[l], static_cast<std::int64_t>(256.0f * pendingWeight[l])});
      while (lists[l].size() > 1) {
        std::vector<Entry> next;
        for (std::size_t k = 0; k + 1 < lists[l].size(); k += 2) {
          const Entry& a = lists[l][k];
          const Entry& b = lists[l][k + 1];
          next.push_back(
              {blend(a.row, b.row, share(static_cast<float>(a.weight), static_cast<float>(b.weight))),
               a.weight + b.weight});
        }
        if (lists[l].size() % 2) next.push_back(lists[l].back());
        lists[l] = std::move(next);
      }
    }
    const Row& p = lists[0][0].row;
    if (lists[1].empty()) {
      out.insert(out.end(), p.begin(), p.end());
      continue;
    }
    const std::int64_t wp = lists[0][0].weight, wn = lists[1][0].weight;
    const Row& q = lists[1][0].row;
    const float fp = static_cast<float>(wp) / static_cast<float>(wp - wn);
    const float fn = static_cast<float>(wn) / static_cast<float>(wp - wn);
    for (std::size_t v = 0; v < n; ++v) {
      const float r = static_cast<float>(p[v]) * fp - static_cast<float>(q[v]) * fn;
      out.push_back(r <= 0 ? 0 : r > 65535 ? 65535 : static_cast<std::uint16_t>(r + 0.5f));
    }
  }
  return out;
}

}  // namespace

TEST(ResampleRows16, EqualsTheListsMergedInRounds) {
  // The pass merges its lists as a binary counter does; that must be the
  // same tree of blends, row for row, at every list length.
  for (auto [from, to] : {std::pair{40u, 80u}, std::pair{40u, 40u}, std::pair{40u, 13u}, std::pair{97u, 5u},
                          std::pair{300u, 2u}, std::pair{23u, 61u}}) {
    SCOPED_TRACE(testing::Message() << from << " -> " << to << " rows");
    const CBgraImage16 src = Noise(3, from);
    CBgraImage16 dst;
    ASSERT_TRUE(dst.Create(3, to));
    ASSERT_EQ(ResampleRows16(dst.Samples(), src.Samples(), 3, src.Stride(), from, to, kCubicB, kCubicC), 1);
    const std::vector<std::uint16_t> expected = ReferencePass(src, to);
    ASSERT_EQ(expected.size(), dst.Samples().size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), dst.Samples().begin()));
  }
}

TEST(TransposeImage16, MovesEveryPixelAcrossTheDiagonal) {
  const CBgraImage16 src = Noise(37, 70);  // more than one tile each way
  CBgraImage16 turned, back;
  ASSERT_TRUE(turned.Create(70, 37));
  ASSERT_TRUE(back.Create(37, 70));
  ASSERT_EQ(TransposeImage16(turned.Samples(), turned.Stride(), src.Samples(), 37, 70, src.Stride()), 1);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(turned.At(69, 36)[c], src.At(36, 69)[c]);
  EXPECT_EQ(turned.At(5, 30)[2], src.At(30, 5)[2]);
  ASSERT_EQ(TransposeImage16(back.Samples(), back.Stride(), turned.Samples(), 70, 37, turned.Stride()), 1);
  EXPECT_TRUE(std::equal(back.Samples().begin(), back.Samples().end(), src.Samples().begin()));
  EXPECT_EQ(
      TransposeImage16(back.Samples().first(10), back.Stride(), turned.Samples(), 70, 37, turned.Stride()),
      0);
}

namespace {

CBgraImage16 Transposed(const CBgraImage16& image) {
  CBgraImage16 turned;
  EXPECT_TRUE(turned.Create(image.height, image.width));
  EXPECT_EQ(TransposeImage16(turned.Samples(), turned.Stride(), image.Samples(), image.width, image.height,
                             image.Stride()),
            1);
  return turned;
}

// The resize as two passes of whole rows with a transposition after each.
CBgraImage16 ByRowPasses(const CBgraImage16& src, std::uint32_t w, std::uint32_t h) {
  CBgraImage16 down, across;
  EXPECT_TRUE(down.Create(src.width, h));
  EXPECT_EQ(
      ResampleRows16(down.Samples(), src.Samples(), src.width, src.Stride(), src.height, h, kCubicB, kCubicC),
      1);
  const CBgraImage16 turned = Transposed(down);
  EXPECT_TRUE(across.Create(h, w));
  EXPECT_EQ(
      ResampleRows16(across.Samples(), turned.Samples(), h, turned.Stride(), src.width, w, kCubicB, kCubicC),
      1);
  return Transposed(across);
}

bool SamePixels(const CBgraImage16& a, const CBgraImage16& b) {
  return a.width == b.width && a.height == b.height &&
         std::equal(a.Samples().begin(), a.Samples().end(), b.Samples().begin());
}

// Counts the stripes a resize is cut into.
class CCountingResize : public CSeparableResize {
public:
  std::atomic<int> stripes{0};
  int ProcessStripe(StripeTask* task) override {
    ++stripes;
    return CSeparableResize::ProcessStripe(task);
  }
};

}  // namespace

// The resize runs both passes a band of rows at a time, the second along
// the rows: value for value it must be the literal passes with the
// transpositions between them. Widths below and above a chunk (64 pixels)
// of the column pass, bands cut short at the bottom, a single row or
// column, enlarged and reduced sides.
TEST(ResizeSeparable, EqualsTheLiteralPassesWithTranspositions) {
  struct Case {
    std::uint32_t sw, sh, w, h;
  };
  for (const Case c : {Case{37, 23, 13, 50}, Case{300, 70, 129, 9}, Case{70, 300, 151, 7}, Case{5, 300, 3, 1},
                       Case{1, 1, 3, 2}, Case{97, 2, 1, 5}, Case{64, 64, 64, 64}}) {
    SCOPED_TRACE(testing::Message() << c.sw << " x " << c.sh << " -> " << c.w << " x " << c.h);
    const CBgraImage16 src = Noise(c.sw, c.sh);
    CImageSize size;
    CBgraImage16 ours;
    ASSERT_EQ(size.ResizeSeparable(src, ours, static_cast<std::int32_t>(c.w), static_cast<std::int32_t>(c.h),
                                   kCubicB, kCubicC),
              1);
    CBgraImage16 down;
    ASSERT_TRUE(down.Create(c.sw, c.h));
    const std::vector<std::uint16_t> columns = ReferencePass(src, c.h);
    std::copy(columns.begin(), columns.end(), down.Samples().begin());
    const CBgraImage16 turned = Transposed(down);
    CBgraImage16 across;
    ASSERT_TRUE(across.Create(c.h, c.w));
    const std::vector<std::uint16_t> rows = ReferencePass(turned, c.w);
    std::copy(rows.begin(), rows.end(), across.Samples().begin());
    EXPECT_TRUE(SamePixels(ours, Transposed(across)));
  }
}

// A picture large enough for stripes: the striped run, the run on one
// thread, the run as a job cancelled before it starts (stripes the cancel
// skips are made by the caller) and the whole-row passes agree exactly, on
// sizes that leave a short band and a short stripe.
TEST(ResizeSeparable, StripedOneThreadAndCancelledRunsAreIdentical) {
  ASSERT_GT(theAlgorithmThread.HelperCount(), 0u);
  const CBgraImage16 src = Noise(1203, 757);
  for (const auto& side : {std::pair{601u, 379u}, std::pair{1501u, 1003u}}) {
    // Plain variables: the job's lambda below captures them.
    const std::uint32_t w = side.first, h = side.second;
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    CCountingResize one;
    one.m_allowParallel = 0;
    CBgraImage16 single;
    ASSERT_EQ(one.Resize(src, single, w, h, kCubicB, kCubicC), 1);
    EXPECT_EQ(one.stripes, 1);

    CCountingResize many;
    CBgraImage16 striped;
    ASSERT_EQ(many.Resize(src, striped, w, h, kCubicB, kCubicC), 1);
    EXPECT_GT(many.stripes, 1);
    EXPECT_TRUE(SamePixels(striped, single));

    CBgraImage16 cancelled;
    CImageSize size;
    struct Job : CAlgorithm {
      std::function<int()> body;
      int result = -1;
      int Process() override { return result = body(); }
    } job;
    job.body = [&] {
      theAlgorithmThread.Cancel();
      return size.ResizeSeparable(src, cancelled, static_cast<std::int32_t>(w), static_cast<std::int32_t>(h),
                                  kCubicB, kCubicC);
    };
    ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&job, nullptr, nullptr, nullptr, 0, {}), 1);
    theAlgorithmThread.WaitWhileBusy();
    EXPECT_EQ(job.result, 1);
    EXPECT_TRUE(SamePixels(cancelled, single));

    EXPECT_TRUE(SamePixels(ByRowPasses(src, w, h), single));
  }
}

// Progress goes through the operation's sub-range in order and ends at its
// top, striped or not.
TEST(ResizeSeparable, ReportsThroughTheOperationsRange) {
  const CBgraImage16 src = Noise(1203, 757);
  for (int parallel : {1, 0}) {
    SCOPED_TRACE(parallel);
    RecordingSink sink;
    CImageSize size;
    size.m_allowParallel = parallel;
    size.m_listener = {&sink, 2};
    size.m_rangeLo = 20;
    size.m_rangeHi = 60;
    CBgraImage16 dst;
    ASSERT_EQ(size.ResizeSeparable(src, dst, 600, 800, kCubicB, kCubicC), 1);
    const std::vector<std::uint64_t> steps = sink.WParams(2);
    ASSERT_GE(steps.size(), 3u);
    EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
    EXPECT_GE(steps.front(), 20u);
    EXPECT_EQ(steps.back(), 60u);
  }
}

TEST(ResizeSeparable, ResizesBothWaysAndReportsThroughItsRange) {
  const CBgraImage16 flat = Flat(13, 9, 20000);
  CImageSize size;
  CBgraImage16 dst;
  for (auto [w, h] :
       {std::pair{26, 18}, std::pair{5, 4}, std::pair{13, 9}, std::pair{1, 1}, std::pair{40, 3}}) {
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    ASSERT_EQ(size.ResizeSeparable(flat, dst, w, h, kCubicB, kCubicC), 1);
    EXPECT_EQ(dst.width, static_cast<std::uint32_t>(w));
    EXPECT_EQ(dst.height, static_cast<std::uint32_t>(h));
    for (std::uint16_t v : dst.Samples()) ASSERT_NEAR(v, 20000, 2);
  }
  // The same size filters a noisy picture rather than copying it.
  const CBgraImage16 noise = Noise(16, 16);
  ASSERT_EQ(size.ResizeSeparable(noise, dst, 16, 16, kCubicB, kCubicC), 1);
  EXPECT_FALSE(std::equal(dst.Samples().begin(), dst.Samples().end(), noise.Samples().begin()));

  // Method 3 of Process is this resize.
  CBgraImage16 viaProcess;
  ImageSizeParams block;
  block.width = 16;
  block.height = 16;
  block.method = kSizeBicubic;
  size.m_source = const_cast<CBgraImage16*>(&noise);
  size.m_target = &viaProcess;
  size.m_params = &block;
  ASSERT_EQ(size.Process(), 1);
  EXPECT_TRUE(std::equal(dst.Samples().begin(), dst.Samples().end(), viaProcess.Samples().begin()));
}

// The 2x enlargement of a crop of a real photo, against ImageMagick's
// `-filter Cubic` with the same B and C. ImageMagick centres pixels (output
// pixel x sits on source x / 2 - 0.25), ours sit on x / 2, a quarter source
// pixel (half an output pixel) apart: ImageMagick's result is interpolated
// half-way between its pixels (Catmull-Rom, both ways) before comparing. To
// show that the measure tells kernels apart, the same comparison with
// ImageMagick's standard Mitchell cubic (B = C = 1/3) must come out clearly
// worse.
TEST(ResizeSeparable, TwiceTheSizeStaysCloseToImageMagicksCubic) {
  CBgraImage photo;
  ASSERT_EQ(LoadImageAsBgra(TestDataPath("usr/lib/python3/dist-packages/skimage/data/astronaut.png"), photo),
            1);
  constexpr std::uint32_t kSide = 96, kBig = 2 * kSide, kLeft = 180, kTop = 90;  // face and helmet edge
  CBgraImage16 src;
  ASSERT_TRUE(src.Create(kSide, kSide));
  std::vector<std::uint8_t> raw;  // R, G, B as u16 little-endian
  for (std::uint32_t y = 0; y < kSide; ++y) {
    for (std::uint32_t x = 0; x < kSide; ++x) {
      const std::uint8_t* p = photo.At(kLeft + x, kTop + y);
      std::uint16_t* q = src.At(x, y);
      for (int c = 0; c < 3; ++c) q[c] = static_cast<std::uint16_t>(p[c] * 257);
      q[3] = 65535;
      for (int c = 2; c >= 0; --c) {
        raw.push_back(static_cast<std::uint8_t>(q[c]));
        raw.push_back(static_cast<std::uint8_t>(q[c] >> 8));
      }
    }
  }
  CImageSize size;
  CBgraImage16 ours;
  ASSERT_EQ(size.ResizeSeparable(src, ours, kBig, kBig, kCubicB, kCubicC), 1);

  const auto folder = ScratchDir();
  WriteFileBytes(folder / "in.rgb", raw);
  struct Error {
    double mean = 1, worst = 1;
  };
  const auto measure = [&](const std::string& filter) {
    const std::string command = "convert -size " + std::to_string(kSide) + "x" + std::to_string(kSide) +
                                " -depth 16 -endian LSB rgb:" + (folder / "in.rgb").string() + " " + filter +
                                " -resize " + std::to_string(kBig) + "x" + std::to_string(kBig) +
                                "! -depth 16 -endian LSB rgb:" + (folder / "out.rgb").string();
    Error error;
    EXPECT_EQ(std::system(command.c_str()), 0) << "ImageMagick (imagemagick) is needed: " << command;
    const std::vector<std::uint8_t> theirs = ReadFileBytes(folder / "out.rgb");
    EXPECT_EQ(theirs.size(), std::size_t{kBig} * kBig * 6);
    if (theirs.size() != std::size_t{kBig} * kBig * 6) return error;
    const auto magick = [&](std::uint32_t x, std::uint32_t y, int channel) {  // channel 0 B .. 2 R
      const std::size_t at = (std::size_t{y} * kBig + x) * 6 + static_cast<std::size_t>(2 - channel) * 2;
      return static_cast<double>(theirs[at]) + 256.0 * theirs[at + 1];
    };
    // Away from the border, where the two meet the edge differently.
    double sum = 0;
    std::size_t count = 0;
    error.worst = 0;
    for (std::uint32_t y = 4; y + 5 < kBig; ++y) {
      for (std::uint32_t x = 4; x + 5 < kBig; ++x) {
        for (int c = 0; c < 3; ++c) {
          const auto halfway = [&](std::uint32_t row) {
            return (9 * (magick(x, row, c) + magick(x + 1, row, c)) - magick(x - 1, row, c) -
                    magick(x + 2, row, c)) /
                   16;
          };
          const double expected = (9 * (halfway(y) + halfway(y + 1)) - halfway(y - 1) - halfway(y + 2)) / 16;
          const double e = std::fabs(ours.At(x, y)[c] - expected) / 65535;
          sum += e;
          error.worst = std::max(error.worst, e);
          ++count;
        }
      }
    }
    error.mean = sum / static_cast<double>(count);
    return error;
  };

  const Error cubic = measure("-filter Cubic -define filter:b=0.33 -define filter:c=0.73");
  const Error mitchell = measure("-filter Mitchell");
  RecordProperty("mean_error_percent", std::to_string(cubic.mean * 100));
  RecordProperty("max_error_percent", std::to_string(cubic.worst * 100));
  std::printf(
      "against the same cubic: mean error %.3f %%, max %.3f %% of full scale; against Mitchell %.3f %%\n",
      cubic.mean * 100, cubic.worst * 100, mitchell.mean * 100);
  EXPECT_LT(cubic.mean, 0.0012);
  EXPECT_LT(cubic.worst, 0.06);
  EXPECT_LT(cubic.mean * 2, mitchell.mean);
}
