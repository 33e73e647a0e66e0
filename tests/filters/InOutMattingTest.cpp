#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "filters/matting/InOutMatting.h"
#include "image/ColorModel.h"
#include "image/ColorTables.h"
#include "tests/filters/MattingScene.h"

namespace {

using namespace matting_scene;

struct MatteResult {
  int ok = 0;
  CBgraImage16 target;
};

MatteResult Matte(const Scene& scene, std::int32_t iterations) {
  MatteResult r;
  EXPECT_TRUE(r.target.CopyFrom(scene.image));
  InOutMattingParams block;
  block.inside = const_cast<CPlane8*>(&scene.inside);
  block.region = const_cast<CPlane8*>(&scene.region);
  block.iterations = iterations;
  CInOutMatting matting;
  matting.m_source = const_cast<CBgraImage16*>(&scene.image);
  matting.m_target = &r.target;
  matting.m_params = &block;
  r.ok = matting.Process();
  return r;
}

// Error of the alpha over the unknown band (inside the region, not inside).
struct AlphaError {
  double sad = 0;  // sum of |a - truth|, alpha in 0..1
  double mse = 0;
  std::size_t count = 0;
};

bool Unknown(const Scene& s, std::size_t i) { return s.region.pixels[i] >= 128 && s.inside.pixels[i] <= 128; }

AlphaError Error(const Scene& scene, const CBgraImage16& target) {
  AlphaError e;
  for (std::size_t i = 0; i < scene.alpha.size(); ++i) {
    if (!Unknown(scene, i)) continue;
    const double d = target.pixels[i * 4 + 3] / 65535.0 - scene.alpha[i];
    e.sad += std::fabs(d);
    e.mse += d * d;
    ++e.count;
  }
  if (e.count) e.mse /= static_cast<double>(e.count);
  return e;
}

// Mean 8-bit difference per channel over the band between the cut-out laid
// over another background and the truth laid over it.
double CompositeError(const Scene& scene, const CBgraImage16& target, const CBgraImage16& back) {
  std::vector<double> alpha(scene.alpha.size());
  for (std::size_t i = 0; i < alpha.size(); ++i) alpha[i] = target.pixels[i * 4 + 3] / 65535.0;
  CBgraImage16 mine, truth;
  Composite(target, back, alpha, mine);
  Composite(scene.foreground, back, scene.alpha, truth);
  CBgraImage mine8, truth8;
  EXPECT_TRUE(mine.ToBgraImage(mine8));
  EXPECT_TRUE(truth.ToBgraImage(truth8));
  double sum = 0;
  std::size_t n = 0;
  for (std::size_t i = 0; i < alpha.size(); ++i) {
    if (!Unknown(scene, i)) continue;
    for (int c = 0; c < 3; ++c) sum += std::abs(int{mine8.pixels[i * 4 + c]} - int{truth8.pixels[i * 4 + c]});
    n += 3;
  }
  return sum / static_cast<double>(n);
}

std::vector<std::uint16_t> Alphas(const CBgraImage16& image) {
  std::vector<std::uint16_t> a(image.pixelCount);
  for (std::size_t i = 0; i < a.size(); ++i) a[i] = image.pixels[i * 4 + 3];
  return a;
}

// Bounds from the first honest run (128 x 128, 6166 unknown pixels), with
// room for rounding: blue SAD 115.3 MSE 0.00110 composite 2.78; green SAD
// 320.7 MSE 0.00769 composite 5.13.
TEST(InOutMatting, RecoversAKnownMatteOverTwoBackgrounds) {
  struct Case {
    const char* name;
    Paint background;
    double sad, mse, composite;
  };
  const Case cases[] = {
      {"smooth blue gradient", BlueBackground(128), 140, 0.0014, 3.5},
      {"green texture", Paint(GreenTexture), 380, 0.0095, 6.2},
  };
  const CBgraImage16 magenta = Painted(128, 128, Magenta);
  std::vector<std::vector<std::uint16_t>> mattes;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Scene scene = MakeScene(128, c.background);
    const MatteResult r = Matte(scene, InOutMattingParams{}.iterations);
    ASSERT_EQ(r.ok, 1);
    const AlphaError e = Error(scene, r.target);
    EXPECT_LT(e.sad, c.sad);
    EXPECT_LT(e.mse, c.mse);
    EXPECT_LT(CompositeError(scene, r.target, magenta), c.composite);
    mattes.push_back(Alphas(r.target));
  }
  // Both backgrounds give close mattes of the one subject (first run: 0.046).
  const Scene scene = MakeScene(128, BlueBackground(128));
  double difference = 0;
  std::size_t n = 0;
  for (std::size_t i = 0; i < scene.alpha.size(); ++i) {
    if (!Unknown(scene, i)) continue;
    difference += std::abs(int{mattes[0][i]} - int{mattes[1][i]}) / 65535.0;
    ++n;
  }
  EXPECT_LT(difference / static_cast<double>(n), 0.06);
}

// The refinement's sweeps relax the estimate towards the solution of a
// Laplacian that sees one colour channel per window. Over texture that
// solution is better than the estimate, and the error falls with every
// sweep count (first run, SAD: 332, 321, 294, 272, 248). Over the smooth
// gradient the estimate is already close and the Laplacian, which takes the
// subject's texture for changes of alpha, is worse: the error stays put for
// the default two sweeps and drifts up slowly (116, 115, 116, 124), within
// a tenth up to the 32 sweeps the most demanding caller runs.
TEST(InOutMatting, ErrorOverSweepCounts) {
  const Scene textured = MakeScene(128, Paint(GreenTexture));
  AlphaError previous = Error(textured, Matte(textured, 0).target);
  const AlphaError raw = previous;
  for (std::int32_t sweeps : {2, 12, 32, 128}) {
    SCOPED_TRACE(sweeps);
    const AlphaError e = Error(textured, Matte(textured, sweeps).target);
    EXPECT_LT(e.sad, previous.sad);
    EXPECT_LT(e.mse, previous.mse);
    if (sweeps == 12) {  // what the merge's clone matting runs at this size
      EXPECT_LT(e.sad, 0.95 * raw.sad);
      EXPECT_LT(e.mse, 0.9 * raw.mse);
    }
    previous = e;
  }

  const Scene smooth = MakeScene(128, BlueBackground(128));
  const double estimate = Error(smooth, Matte(smooth, 0).target).sad;
  EXPECT_LE(Error(smooth, Matte(smooth, 2).target).sad, estimate);
  for (std::int32_t sweeps : {12, 32})
    EXPECT_LT(Error(smooth, Matte(smooth, sweeps).target).sad, 1.1 * estimate);
}

// A red disc of radius 20 (one pixel of soft edge) over blue, 64 x 64.
Scene RedDiscOverBlue() {
  Scene s;
  s.width = s.height = 64;
  s.alpha.resize(64 * 64);
  for (std::uint32_t y = 0; y < 64; ++y)
    for (std::uint32_t x = 0; x < 64; ++x)
      s.alpha[y * 64 + x] = std::clamp(20.5 - std::hypot(x + 0.5 - 32, y + 0.5 - 32), 0.0, 1.0);
  s.foreground = Painted(64, 64, [](std::uint32_t, std::uint32_t, std::uint8_t bgr[3]) {
    bgr[0] = 30;
    bgr[1] = 30;
    bgr[2] = 220;
  });
  const CBgraImage16 blue = Painted(64, 64, [](std::uint32_t, std::uint32_t, std::uint8_t bgr[3]) {
    bgr[0] = 210;
    bgr[1] = 40;
    bgr[2] = 30;
  });
  Composite(s.foreground, blue, s.alpha, s.image);
  CPlane8 opaque, covered;
  EXPECT_TRUE(opaque.Create(64, 64));
  EXPECT_TRUE(covered.Create(64, 64));
  for (std::size_t i = 0; i < s.alpha.size(); ++i) {
    opaque.pixels[i] = s.alpha[i] >= 1 ? 255 : 0;
    covered.pixels[i] = s.alpha[i] > 0 ? 255 : 0;
  }
  CChannelOP op;
  EXPECT_TRUE(op.ErodeMask(opaque, s.inside, 6, 0));
  EXPECT_TRUE(op.DilateMask(covered, s.region, 6));
  return s;
}

TEST(InOutMatting, SampleEstimationOnARedDiscOverBlue) {
  Scene scene = RedDiscOverBlue();
  CInOutMatting matting;
  matting.m_source = &scene.image;
  matting.m_block.inside = &scene.inside;
  matting.m_block.region = &scene.region;
  ASSERT_EQ(matting.BuildTrimap(), 1);
  ASSERT_EQ(matting.EstimateColours(), 1);
  std::size_t unknown = 0, good = 0;
  for (std::size_t i = 0; i < scene.alpha.size(); ++i) {
    if (matting.m_trimap.pixels[i] != CInOutMatting::kUnknown) continue;
    ++unknown;
    SCOPED_TRACE(testing::Message() << "pixel " << i % 64 << "," << i / 64);
    if (scene.alpha[i] >= 1) {
      EXPECT_GT(matting.m_likelihood.pixels[i], 128);
    } else if (scene.alpha[i] <= 0) {
      EXPECT_LT(matting.m_likelihood.pixels[i], 128);
    }
    const std::uint8_t* f = matting.m_fgSamples.pixels + i * 4;
    const std::uint8_t* b = matting.m_bgSamples.pixels + i * 4;
    const bool redForeground = f[3] == 255 && f[2] > 150 && f[0] < 100;
    const bool blueBackground = b[3] == 255 && b[0] > 150 && b[2] < 100;
    good += redForeground && blueBackground;
  }
  ASSERT_GT(unknown, 500u);
  EXPECT_GE(static_cast<double>(good), 0.95 * static_cast<double>(unknown));

  // Over two flat colours every pure pixel of the band equals one of its
  // samples: alpha exactly 0 or 65535, and fixed for the refinement.
  MatteResult r = Matte(scene, 0);
  ASSERT_EQ(r.ok, 1);
  for (std::size_t i = 0; i < scene.alpha.size(); ++i) {
    if (!Unknown(scene, i) || (scene.alpha[i] > 0 && scene.alpha[i] < 1)) continue;
    EXPECT_EQ(r.target.pixels[i * 4 + 3], scene.alpha[i] >= 1 ? 65535 : 0) << i % 64 << "," << i / 64;
  }
}

TEST(InOutMatting, RareColoursMarkNoCell) {
  // 6400 known foreground pixels (threshold 6400 / 2000 = 3): a lone white
  // pixel (the top bin) and a lone black one (bin 0) are pruned, the common
  // red stays.
  CBgraImage16 image = Painted(96, 96, [](std::uint32_t x, std::uint32_t y, std::uint8_t bgr[3]) {
    const std::uint8_t v = x == 40 && y == 40 ? 255 : 0;
    bgr[0] = bgr[1] = v;
    bgr[2] = x == 50 && y == 50 ? 0 : std::max<std::uint8_t>(v, 200);
  });
  CPlane8 inside, region;
  ASSERT_TRUE(inside.Create(96, 96));
  ASSERT_TRUE(region.Create(96, 96));
  for (std::uint32_t y = 0; y < 96; ++y) {
    for (std::uint32_t x = 0; x < 96; ++x) {
      *inside.At(x, y) = x >= 8 && x < 88 && y >= 8 && y < 88 ? 255 : 0;
      *region.At(x, y) = x >= 4 && x < 92 && y >= 4 && y < 92 ? 255 : 0;
    }
  }
  CInOutMatting matting;
  matting.m_source = &image;
  matting.m_block.inside = &inside;
  matting.m_block.region = &region;
  ASSERT_EQ(matting.BuildTrimap(), 1);
  ASSERT_EQ(matting.BuildColourCells(), 1);
  ASSERT_EQ(matting.m_cellSize, 16);
  const auto bits = [&](std::uint32_t x, std::uint32_t y, std::uint32_t bin) {
    return matting.CellBits((y / 16) * CInOutMatting::kGridSide + x / 16, bin);
  };
  const std::uint32_t red = (LinearToSrgbTable[image.At(20, 20)[2]] >> 3) * 1024;
  EXPECT_EQ(bits(20, 20, red), CInOutMatting::kFgBit);
  EXPECT_EQ(bits(40, 40, 32767), 0);
  EXPECT_EQ(bits(50, 50, 0), 0);
  EXPECT_TRUE(matting.m_cells[5].exists);
  EXPECT_FALSE(matting.m_cells[6].exists);  // a 96-pixel image has 6 cells a row
}

// The colour cells as plain tables of every bin per cell, built and spread
// as the cells are specified: the reference the cells' compact bits must
// match pair for pair, before and after the local sampling adds to them.
class DenseCells {
public:
  explicit DenseCells(const CInOutMatting& m)
      : m_(m),
        side_(m.m_cellSize),
        rows_((m.m_source->height + side_ - 1) / side_),
        cols_((m.m_source->width + side_ - 1) / side_),
        tables_(static_cast<std::size_t>(rows_ * cols_), std::vector<std::uint8_t>(kBins)) {
    std::vector<std::uint32_t> fg(kBins), bg(kBins);
    std::uint64_t nF = 0, nB = 0;
    for (std::size_t i = 0; i < m.m_trimap.pixelCount; ++i) {
      const std::uint8_t code = m.m_trimap.pixels[i];
      if (code == CInOutMatting::kForeground) ++fg[Bin(i)], ++nF;
      if (code == CInOutMatting::kBackground) ++bg[Bin(i)], ++nB;
    }
    Prune(fg, nF / 2000);
    Prune(bg, nB / 2000);
    for (std::size_t i = 0; i < m.m_trimap.pixelCount; ++i) {
      const std::uint8_t code = m.m_trimap.pixels[i];
      const std::uint32_t bin = Bin(i);
      std::uint8_t& entry = Table(i % m.m_source->width, i / m.m_source->width)[bin];
      if (code == CInOutMatting::kForeground && fg[bin]) entry |= CInOutMatting::kFgBit;
      if (code == CInOutMatting::kBackground && bg[bin]) entry |= CInOutMatting::kBgBit;
    }
  }

  // The two marking passes of the local sampling, from the samples the
  // trimap gave; the samples themselves are tracked as present or not.
  void Spread() {
    const std::uint32_t w = m_.m_source->width, h = m_.m_source->height;
    std::vector<std::uint8_t> has(m_.m_trimap.pixelCount);  // bit 0 foreground, bit 1 background
    for (std::size_t i = 0; i < has.size(); ++i)
      has[i] = (m_.m_fgSamples.pixels[i * 4 + 3] == 255) | (m_.m_bgSamples.pixels[i * 4 + 3] == 255) << 1;
    for (int pass = 0; pass < 2; ++pass) {
      for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
          const std::size_t i = std::size_t{y} * w + x;
          if (m_.m_trimap.pixels[i] != CInOutMatting::kUnknown || has[i] == 3) continue;
          const std::int64_t cy[2] = {Near(y, rows_), std::min(Near(y, rows_) + 1, rows_ - 1)};
          const std::int64_t cx[2] = {Near(x, cols_), std::min(Near(x, cols_) + 1, cols_ - 1)};
          const std::uint32_t bin = Bin(i);
          std::uint8_t bits = 0;
          for (std::int64_t a : cy)
            for (std::int64_t b : cx) bits |= tables_[static_cast<std::size_t>(a * cols_ + b)][bin];
          for (int k = 0; k < 2; ++k) {
            const std::uint8_t bit = k == 0 ? CInOutMatting::kFgBit : CInOutMatting::kBgBit;
            if (!(bits & bit)) continue;
            has[i] |= static_cast<std::uint8_t>(1 << k);
            for (std::int64_t a : cy)
              for (std::int64_t b : cx) tables_[static_cast<std::size_t>(a * cols_ + b)][bin] |= bit;
          }
        }
      }
    }
  }

  // Every (cell, bin) pair of the grid against the matting's cells.
  void ExpectSameAs(const CInOutMatting& m) const {
    int mismatches = 0;
    for (std::int64_t cy = 0; cy < rows_; ++cy) {
      for (std::int64_t cx = 0; cx < cols_; ++cx) {
        const std::vector<std::uint8_t>& table = tables_[static_cast<std::size_t>(cy * cols_ + cx)];
        const auto cell = static_cast<std::size_t>(cy * CInOutMatting::kGridSide + cx);
        for (std::uint32_t bin = 0; bin < kBins && mismatches < 5; ++bin) {
          if (m.CellBits(cell, bin) == table[bin]) continue;
          ++mismatches;
          ADD_FAILURE() << "cell " << cy << "," << cx << " bin " << bin << ": " << int{m.CellBits(cell, bin)}
                        << " instead of " << int{table[bin]};
        }
      }
    }
  }

  std::size_t MarkedPairs() const {
    std::size_t n = 0;
    for (const auto& t : tables_)
      n += static_cast<std::size_t>(std::count_if(t.begin(), t.end(), [](auto v) { return v; }));
    return n;
  }

private:
  static constexpr std::uint32_t kBins = 32768;

  std::uint32_t Bin(std::size_t i) const {
    const std::uint16_t* p = m_.m_source->pixels + i * 4;
    return (LinearToSrgbTable[p[2]] >> 3) * 1024u + (LinearToSrgbTable[p[1]] >> 3) * 32u +
           (LinearToSrgbTable[p[0]] >> 3);
  }
  std::vector<std::uint8_t>& Table(std::size_t x, std::size_t y) {
    return tables_[(y / static_cast<std::size_t>(side_)) * static_cast<std::size_t>(cols_) +
                   x / static_cast<std::size_t>(side_)];
  }
  // A sparse bin whose neighbours in index order are sparse too is dropped,
  // in increasing order.
  static void Prune(std::vector<std::uint32_t>& h, std::uint64_t threshold) {
    for (std::uint32_t b = 0; b < kBins; ++b) {
      if (h[b] == 0 || h[b] >= threshold) continue;
      if ((b == 0 || h[b - 1] < threshold) && (b == kBins - 1 || h[b + 1] < threshold)) h[b] = 0;
    }
  }
  // The first of the two neighbouring cell rows (or columns) of coordinate v.
  std::int64_t Near(std::int64_t v, std::int64_t count) const {
    const std::int64_t first = v - side_ / 2 < 1 ? 0 : (v - side_ / 2) / side_;
    return std::min(first, count - 1);
  }

  const CInOutMatting& m_;
  std::int64_t side_, rows_, cols_;
  std::vector<std::vector<std::uint8_t>> tables_;
};

TEST(InOutMatting, ColourCellsMatchPlainTablesPerCell) {
  // A textured scene, and one of 400 colours in random places whose
  // thousands of pairs make the cells' storage grow several times.
  Scene noisy = MakeScene(128, Paint(GreenTexture));
  noisy.image = Painted(128, 128, [](std::uint32_t x, std::uint32_t y, std::uint8_t bgr[3]) {
    const std::uint32_t k = Hash(x, y) % 400;
    bgr[0] = static_cast<std::uint8_t>(k * 37);
    bgr[1] = static_cast<std::uint8_t>(k * 101);
    bgr[2] = static_cast<std::uint8_t>(k * 173);
  });
  Scene scenes[] = {MakeScene(150, Paint(GreenTexture)), std::move(noisy)};
  for (Scene& scene : scenes) {
    SCOPED_TRACE(scene.width);
    CInOutMatting matting;
    matting.m_source = &scene.image;
    matting.m_block.inside = &scene.inside;
    matting.m_block.region = &scene.region;
    ASSERT_EQ(matting.BuildTrimap(), 1);
    ASSERT_EQ(CInOutMatting::ComputeForegroundLikelihood(scene.image, matting.m_trimap, matting.m_likelihood),
              1);
    ASSERT_EQ(matting.BuildColourCells(), 1);
    DenseCells reference(matting);
    reference.ExpectSameAs(matting);
    reference.Spread();
    ASSERT_EQ(matting.SampleLocalColours(), 1);
    reference.ExpectSameAs(matting);
    EXPECT_GT(reference.MarkedPairs(), 2000u);  // enough to make the storage grow
  }
}

TEST(InOutMatting, FailsWithoutSomethingToMatte) {
  struct Case {
    const char* name;
    void (*spoil)(Scene&, InOutMattingParams&, CBgraImage16& target);
  };
  const Case cases[] = {
      {"everything inside",
       [](Scene& s, InOutMattingParams&, CBgraImage16&) {
         std::memset(s.inside.pixels, 255, s.inside.byteSize);
         std::memset(s.region.pixels, 255, s.region.byteSize);
       }},
      {"unknown only where marked inside but outside the region",
       [](Scene& s, InOutMattingParams&, CBgraImage16&) {
         std::memset(s.inside.pixels, 255, s.inside.byteSize);
       }},
      {"inside plane of another size",
       [](Scene& s, InOutMattingParams&, CBgraImage16&) { ASSERT_TRUE(s.inside.Create(63, 64)); }},
      {"region plane of another size",
       [](Scene& s, InOutMattingParams&, CBgraImage16&) { ASSERT_TRUE(s.region.Create(64, 65)); }},
      {"no region plane", [](Scene&, InOutMattingParams& b, CBgraImage16&) { b.region = nullptr; }},
      {"target of another size",
       [](Scene&, InOutMattingParams&, CBgraImage16& t) { ASSERT_TRUE(t.Create(32, 32)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene = RedDiscOverBlue();
    CBgraImage16 target;
    ASSERT_TRUE(target.CopyFrom(scene.image));
    InOutMattingParams block;
    block.inside = &scene.inside;
    block.region = &scene.region;
    c.spoil(scene, block, target);
    CBgraImage16 before;
    ASSERT_TRUE(before.CopyFrom(target));
    CInOutMatting matting;
    matting.m_source = &scene.image;
    matting.m_target = &target;
    matting.m_params = &block;
    EXPECT_EQ(matting.Process(), 0);
    EXPECT_EQ(std::memcmp(before.pixels, target.pixels, target.byteSize), 0);
  }
}

TEST(InOutMatting, KnownForegroundKeepsTheSourcePixelAndItsAlpha) {
  Scene scene = RedDiscOverBlue();
  for (std::size_t i = 0; i < scene.image.pixelCount; ++i) scene.image.pixels[i * 4 + 3] = 30000;
  const MatteResult r = Matte(scene, 4);
  ASSERT_EQ(r.ok, 1);
  const std::uint16_t* centre = r.target.At(32, 32);
  EXPECT_EQ(std::memcmp(centre, scene.image.At(32, 32), 8), 0);
  EXPECT_EQ(centre[3], 30000);
}

TEST(InOutMatting, NoErodedAlphaLeavesUnknownColoursAlone) {
  // The only subject is a one-pixel red line in blue: the band around it
  // gets alpha 0, the eroded alpha is empty, and so the unknown pixels keep
  // the target's colours.
  Scene scene = RedDiscOverBlue();
  scene.image = Painted(64, 64, [](std::uint32_t, std::uint32_t y, std::uint8_t bgr[3]) {
    bgr[0] = y == 32 ? 30 : 210;
    bgr[1] = y == 32 ? 30 : 40;
    bgr[2] = y == 32 ? 220 : 30;
  });
  std::memset(scene.inside.pixels, 0, scene.inside.byteSize);
  std::memset(scene.region.pixels, 0, scene.region.byteSize);
  for (std::uint32_t x = 10; x < 50; ++x) {
    *scene.inside.At(x, 32) = 255;
    for (std::uint32_t y = 28; y < 37; ++y) *scene.region.At(x, y) = 255;
  }
  CBgraImage16 target;
  ASSERT_TRUE(target.CopyFrom(scene.image));
  for (std::size_t i = 0; i < target.pixelCount; ++i) target.pixels[i * 4] = 12345;  // a mark to find
  InOutMattingParams block;
  block.inside = &scene.inside;
  block.region = &scene.region;
  block.iterations = 0;
  CInOutMatting matting;
  matting.m_source = &scene.image;
  matting.m_target = &target;
  matting.m_params = &block;
  ASSERT_EQ(matting.Process(), 1);
  EXPECT_EQ(target.At(20, 30)[3], 0);
  EXPECT_EQ(target.At(20, 30)[0], 12345);                      // unknown
  EXPECT_EQ(target.At(20, 32)[0], scene.image.At(20, 32)[0]);  // known foreground
}

TEST(InOutMatting, UnmixWithTheBackgroundItself) {
  const std::uint16_t pixel[4] = {1000, 20000, 3000, 444};
  const Pixel16 out = CInOutMatting::UnmixWithBackground({1000, 20000, 3000}, pixel, 0.5);
  EXPECT_EQ(out, (Pixel16{1000, 20000, 3000, 32767}));
}

}  // namespace
