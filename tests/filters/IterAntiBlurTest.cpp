// CIterAntiBlur: the block check, the bands of the correction rounds with an
// identity kernel (a flat or smooth area passes unchanged in range mode 2),
// the blurred estimate that stands for the chroma correction below three
// iterations, the range mask against a plain reference, the ringing
// suppressor's pieces, every value held inside its footprint's band, and
// Gaussian, disc and line blurs of a real photo deblurred with their true
// kernel.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "DeblurScene.h"
#include "algorithms/ConvolutionKernel.h"
#include "filters/IterAntiBlur.h"
#include "image/Plane16.h"

namespace {

using namespace deblur_scene;

constexpr std::int32_t kIdentity[1] = {1};

IterAntiBlurParams Block(const std::int32_t* kernel, std::int32_t w, std::int32_t h, std::int32_t ax,
                         std::int32_t ay, std::int32_t divisor, std::int32_t iterations, std::int32_t mode) {
  IterAntiBlurParams block;
  block.kernel = kernel;
  block.kernelWidth = w;
  block.kernelHeight = h;
  block.anchorX = ax;
  block.anchorY = ay;
  block.divisor = divisor;
  block.iterations = iterations;
  block.striped = 0;
  block.rangeMode = mode;
  return block;
}

// A deblur object set up with block as Process would leave it.
struct Prepared : CIterAntiBlur {
  explicit Prepared(const IterAntiBlurParams& block) {
    m_block = block;
    EXPECT_EQ(ValidateIterAntiBlurParams(m_block), 1);
    FlipKernel();
  }
};

CPlane16 Plane(std::uint32_t w, std::uint32_t h, std::uint32_t (*value)(std::uint32_t, std::uint32_t)) {
  CPlane16 plane;
  EXPECT_EQ(plane.Create(w, h), 1);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) *plane.At(x, y) = static_cast<std::uint16_t>(value(x, y));
  }
  return plane;
}

// Every value 0..65535 once.
CPlane16 AllValues() {
  return Plane(256, 256, [](std::uint32_t x, std::uint32_t y) { return y * 256 + x; });
}

CBgraImage16 Deblur(const CBgraImage16& source, const IterAntiBlurParams& block) {
  CIterAntiBlur deblur;
  CBgraImage16 target;
  deblur.m_source = const_cast<CBgraImage16*>(&source);
  deblur.m_target = &target;
  deblur.m_params = &block;
  EXPECT_EQ(deblur.Process(), 1);
  return target;
}

}  // namespace

TEST(IterAntiBlurParams, TheCheckRefusesWhatCannotRunAndHoldsTheRest) {
  static const std::int32_t weights[33 * 33] = {1};
  struct Case {
    const char* name;
    const std::int32_t* kernel;
    std::int32_t w, h, ax, ay, divisor;
    int expected;
  };
  const Case cases[] = {
      {"5 x 5", weights, 5, 5, 2, 2, 65, 1},           {"32 x 32", weights, 32, 32, 31, 0, 1, 1},
      {"33 columns", weights, 33, 5, 2, 2, 1, 0},      {"33 rows", weights, 5, 33, 2, 2, 1, 0},
      {"no columns", weights, 0, 5, 0, 2, 1, 0},       {"no kernel", nullptr, 5, 5, 2, 2, 1, 0},
      {"divisor 0", weights, 5, 5, 2, 2, 0, 0},        {"anchor right of it", weights, 5, 5, 5, 2, 1, 0},
      {"anchor above it", weights, 5, 5, 2, -1, 1, 0}, {"negative divisor", weights, 3, 3, 1, 1, -9, 1},
  };
  for (const Case& c : cases) {
    IterAntiBlurParams block = Block(c.kernel, c.w, c.h, c.ax, c.ay, c.divisor, 30, 2);
    EXPECT_EQ(ValidateIterAntiBlurParams(block), c.expected) << c.name;
  }
  IterAntiBlurParams block = Block(weights, 3, 3, 1, 1, 9, 1 << 30, 7);
  block.size = 9;
  block.spare0[3] = 1;
  block.striped = -4;
  ASSERT_EQ(ValidateIterAntiBlurParams(block), 1);
  EXPECT_EQ(block.size, 56);
  EXPECT_EQ(block.spare0[3], 0);
  EXPECT_EQ(block.iterations, IterAntiBlurParams::kMaxIterations);
  EXPECT_EQ(block.striped, 1);
  EXPECT_EQ(block.rangeMode, 7);  // a mode whose rounds change nothing stays
  block.iterations = -3;
  ASSERT_EQ(ValidateIterAntiBlurParams(block), 1);
  EXPECT_EQ(block.iterations, 0);

  // Process refuses a kernel of 33 columns and takes one of 32 x 32.
  const CBgraImage16 image = PhotoCrop(200, 100, 40, 40);
  CBgraImage16 target;
  CIterAntiBlur deblur;
  deblur.m_source = const_cast<CBgraImage16*>(&image);
  deblur.m_target = &target;
  IterAntiBlurParams wide = Block(weights, 33, 1, 0, 0, 1, 0, 0);
  deblur.m_params = &wide;
  EXPECT_EQ(deblur.Process(), 0);
  IterAntiBlurParams largest = Block(weights, 32, 32, 16, 16, 1, 0, 0);
  deblur.m_params = &largest;
  EXPECT_EQ(deblur.Process(), 1);
  EXPECT_EQ(target.width, 40u);
  deblur.m_target = deblur.m_source;  // the same record twice
  EXPECT_EQ(deblur.Process(), 0);
}

// With an identity kernel the Landweber correction vanishes and only the
// band of the correction rounds acts. In range mode 2 the band is the
// footprint's high bytes from (smallest >> 8) x 256 to (largest >> 8) x 256
// + 255: a one-pixel footprint keeps every value, where a band ending at
// (largest >> 8) x 256 would cut every value to a multiple of 256.
TEST(IterAntiBlur, AnIdentityKernelLeavesOnlyTheBandOfTheRangeMode) {
  const CPlane16 plane = AllValues();
  struct Case {
    std::int32_t mode;
    std::uint16_t (*expected)(std::uint16_t);
  };
  const Case cases[] = {
      {kAntiBlurRangeFootprint, [](std::uint16_t v) { return v; }},
      {kAntiBlurRangeWide,
       [](std::uint16_t v) {
         const std::int32_t upper = (((v & 0xFF00) - 65535) * 90 + 6553500) / 100;
         const std::int32_t lower = (v >> 8) * 90 * 256 / 100;
         return static_cast<std::uint16_t>(std::clamp<std::int32_t>(v, lower, std::max(upper, lower)));
       }},
      {kAntiBlurRangeOpen, [](std::uint16_t v) { return std::min<std::uint16_t>(v, 65382); }},
  };
  for (const Case& c : cases) {
    for (const std::int32_t a : {3, 1}) {  // luminance's N, and a chroma channel's N / 3 (4 rounds)
      SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", " << a << " iterations");
      const Prepared deblur(Block(kIdentity, 1, 1, 0, 0, 1, 3, c.mode));
      CPlane16 result;
      ASSERT_EQ(deblur.DeconvolvePlane(plane, result, a), 1);
      for (std::uint32_t i = 0; i < 65536; ++i) ASSERT_EQ(result.pixels[i], c.expected(plane.pixels[i])) << i;
    }
  }
  // Mode 1 as its edge cases state it: up to 63462 unchanged, 65535 to 65305.
  const Prepared wide(Block(kIdentity, 1, 1, 0, 0, 1, 3, kAntiBlurRangeWide));
  CPlane16 result;
  ASSERT_EQ(wide.DeconvolvePlane(plane, result, 3), 1);
  EXPECT_EQ(result.pixels[63462], 63462);
  EXPECT_EQ(result.pixels[65535], 65305);
}

// Below three iterations the chroma channels run no Landweber round: their
// correction is the blurred estimate itself, x = y + K y - 0x8000. A range
// mode outside 0..2 keeps the correction rounds from changing it.
TEST(IterAntiBlur, WithoutIterationsTheCorrectionIsTheBlurredEstimate) {
  static const std::int32_t kernel[9] = {1, 2, 1, 2, 4, 2, 1, 2, 1};
  const Prepared deblur(Block(kernel, 3, 3, 1, 1, 16, 2, 5));
  const CPlane16 y =
      Plane(23, 17, [](std::uint32_t x, std::uint32_t r) { return (x * 7919 + r * 104729) % 65536; });
  CPlane16 blurred, result;
  ASSERT_EQ(blurred.Create(23, 17), 1);
  ASSERT_EQ(deblur.Kernel().ApplyToPlane16(y, blurred), 1);
  ASSERT_EQ(deblur.DeconvolvePlane(y, result, 2 / 3), 1);
  for (std::size_t i = 0; i < std::size_t{23} * 17; ++i) {
    ASSERT_EQ(result.pixels[i], std::clamp(y.pixels[i] + blurred.pixels[i] - 0x8000, 0, 65535)) << i;
  }
}

// The mask against a plain reference on a plane with flat, noisy and step
// areas, with an off-centre footprint: the edge pixels (a step above the
// threshold) take the extremes of their whole footprint, the others those
// of themselves and the footprint's pixels that are not edges.
TEST(IterAntiBlur, TheRangeMaskFollowsTheEdgesAndTheFootprint) {
  static const std::int32_t kernel[15] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};  // 5 x 3
  const Prepared deblur(Block(kernel, 5, 3, 1, 2, 15, 30, kAntiBlurRangeFootprint));
  const std::int64_t w = 61, h = 47;
  const CPlane16 y = Plane(61, 47, [](std::uint32_t x, std::uint32_t r) -> std::uint32_t {
    const std::uint32_t noise = (x * 2654435761u ^ r * 40503u) >> 22;  // 0..1023
    if (x < 20) return 20000 + noise;
    if (x < 40) return (x + r) % 9 == 0 ? 60000 : 9000 + noise * 8;
    return r < 25 ? 3000 : 52000;
  });
  CPlane16 mask;
  ASSERT_EQ(deblur.LocalRangeMask(y, mask), 1);

  std::vector<std::int32_t> edge(static_cast<std::size_t>(w * h), 0);
  std::int64_t histogram[256] = {};
  for (std::int64_t r = 0; r < h; ++r) {
    for (std::int64_t x = 0; x < w; ++x) {
      std::int32_t e = 0;
      if (r > 0 && x > 0 && r < h - 1 && x < w - 1) {
        const std::int32_t c = *y.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(r));
        for (const auto& [dx, dy] : {std::pair{-1, 0}, std::pair{1, 0}, std::pair{0, -1}, std::pair{0, 1}}) {
          e = std::max(
              e, std::abs(c - *y.At(static_cast<std::uint32_t>(x + dx), static_cast<std::uint32_t>(r + dy))));
        }
      }
      edge[static_cast<std::size_t>(r * w + x)] = e / 256;
      ++histogram[e / 256];
    }
  }
  std::int32_t threshold = 7;
  for (std::int64_t level = 255, running = 0; level >= 8; --level) {
    running += histogram[level];
    if (running >= w * h * 8 / 100) {
      threshold = static_cast<std::int32_t>(level);
      break;
    }
  }
  std::int64_t edges = 0;
  for (std::int64_t r = 0; r < h; ++r) {
    for (std::int64_t x = 0; x < w; ++x) {
      const bool isEdge = edge[static_cast<std::size_t>(r * w + x)] > threshold;
      edges += isEdge;
      std::int32_t hi = 0, lo = 65535;
      for (std::int64_t fy = r - 2; fy < r + 1; ++fy) {
        for (std::int64_t fx = x - 1; fx < x + 4; ++fx) {
          if (fy < 0 || fx < 0 || fy >= h || fx >= w) continue;
          const bool other = edge[static_cast<std::size_t>(fy * w + fx)] > threshold;
          if (!isEdge && other) continue;
          const std::int32_t v = *y.At(static_cast<std::uint32_t>(fx), static_cast<std::uint32_t>(fy));
          hi = std::max(hi, v);
          lo = std::min(lo, v);
        }
      }
      ASSERT_EQ(*mask.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(r)),
                (hi >> 8) * 256 + (lo >> 8))
          << x << "," << r << (isEdge ? " edge" : "");
    }
  }
  EXPECT_GT(edges, 0);
  EXPECT_LE(edges, w * h * 8 / 100 + histogram[threshold]);

  const Prepared open(Block(kernel, 5, 3, 1, 2, 15, 30, kAntiBlurRangeOpen));
  ASSERT_EQ(open.LocalRangeMask(y, mask), 1);
  EXPECT_TRUE(std::all_of(mask.pixels, mask.pixels + w * h, [](std::uint16_t m) { return m == 0xFF00; }));
}

TEST(IterAntiBlur, TheRingingSuppressorsPieces) {
  // The edge strength: the larger of the row and the column differences of
  // the 3 x 3 neighbourhood, / 3; 32896 on the border.
  const CPlane16 steps = Plane(4, 4, [](std::uint32_t x, std::uint32_t y) { return x * 300 + y * y * 1000; });
  CPlane16 strength;
  ASSERT_EQ(EdgeStrengthPlane(steps, strength), 1);
  EXPECT_EQ(*strength.At(1, 1), 4000);  // rows 0 and 2: 3 x 4000 apart; columns 0 and 2: 3 x 600
  EXPECT_EQ(*strength.At(2, 2), 8000);
  EXPECT_EQ(*strength.At(0, 2), 32896);
  EXPECT_EQ(*strength.At(3, 3), 32896);

  // The ring of a one-pixel kernel: the pixels two steps (4-neighbour) from it.
  std::array<std::int32_t, 36 * 36> weights{};
  ConvolutionKernel ring;
  const Prepared one(Block(kIdentity, 1, 1, 0, 0, 1, 3, 2));
  ASSERT_EQ(one.BuildRingKernel(weights, ring), 1);
  EXPECT_EQ(ring.width, 5);
  EXPECT_EQ(ring.height, 5);
  EXPECT_EQ(ring.anchorX, 2);
  EXPECT_EQ(ring.anchorY, 2);
  EXPECT_EQ(ring.divisor, 8);
  for (int i = 0; i < 25; ++i)
    EXPECT_EQ(weights[static_cast<std::size_t>(i)], std::abs(i / 5 - 2) + std::abs(i % 5 - 2) == 2) << i;
  // A kernel whose low bytes are all 0 has no ring: the channel fails.
  static const std::int32_t high[1] = {256};
  const Prepared none(Block(high, 1, 1, 0, 0, 256, 3, 2));
  EXPECT_EQ(none.BuildRingKernel(weights, ring), 0);
  CPlane16 anything = AllValues();
  EXPECT_EQ(none.SuppressRinging(anything), 0);

  // Blending: a weight whose high byte is 0 keeps the pixel; 255 takes the
  // 2-4-weighted mean of the 3 x 3 neighbourhood; the border never moves.
  CPlane16 plane =
      Plane(3, 3, [](std::uint32_t x, std::uint32_t y) { return x == 1 && y == 1 ? 14000u : 0u; });
  CPlane16 blend = Plane(3, 3, [](std::uint32_t, std::uint32_t) { return 0xFFu; });
  ASSERT_EQ(BlendTowardSmooth(plane, blend), 1);
  EXPECT_EQ(*plane.At(1, 1), 14000);
  blend = Plane(3, 3, [](std::uint32_t, std::uint32_t) { return 0xFF00u; });
  ASSERT_EQ(BlendTowardSmooth(plane, blend), 1);
  EXPECT_EQ(*plane.At(1, 1), 2000);  // 2 x 14000 / 14
  EXPECT_EQ(*plane.At(0, 0), 0);
}

// Range mode 2 keeps every value between (smallest >> 8) x 256 and
// (largest >> 8) x 256 + 255 of its footprint in the blurred input (the mask
// says which footprint pixels count); mode 0 only keeps it at or below 65382.
TEST(IterAntiBlur, DeconvolvedValuesStayInsideTheirBand) {
  const std::vector<BlurKernel> kernels = DialogBlurs();
  const BlurKernel& disc = kernels[1];
  CBgraImage16 blurred;
  ASSERT_EQ(disc.Kernel().ApplyToImage16(PhotoCrop(150, 40, 72, 64), blurred), 1);
  CPlane16 y, result, mask;
  ASSERT_EQ(y.CopyChannel(blurred, 1), 1);
  for (std::uint32_t i = 0; i < y.pixelCount; ++i)
    y.pixels[i] = static_cast<std::uint16_t>(std::min(65535, y.pixels[i] * 3));
  const Prepared footprint(Block(disc.weights.data(), 9, 9, 4, 4, disc.Sum(), 30, kAntiBlurRangeFootprint));
  ASSERT_EQ(footprint.DeconvolvePlane(y, result, 30), 1);
  ASSERT_EQ(footprint.LocalRangeMask(y, mask), 1);
  std::int64_t moved = 0;
  for (std::uint32_t i = 0; i < y.pixelCount; ++i) {
    ASSERT_GE(result.pixels[i], (mask.pixels[i] & 0xFF) * 256) << i;
    ASSERT_LE(result.pixels[i], (mask.pixels[i] & 0xFF00) + 255) << i;
    moved += result.pixels[i] != y.pixels[i];
  }
  EXPECT_GT(moved, y.pixelCount / 2);

  const Prepared open(Block(disc.weights.data(), 9, 9, 4, 4, disc.Sum(), 30, kAntiBlurRangeOpen));
  ASSERT_EQ(open.DeconvolvePlane(y, result, 30), 1);
  EXPECT_LE(*std::max_element(result.pixels, result.pixels + result.pixelCount), 65382);
  EXPECT_EQ(std::count(result.pixels, result.pixels + result.pixelCount, 65382) > 0, true);
}

// The dialog's settings (30 iterations, range mode 2) with the true kernel
// bring a blurred photo clearly closer to the original.
TEST(IterAntiBlur, DeblursGaussianDiscAndLineBlursOfAPhoto) {
  const CBgraImage16 original = PhotoCrop(180, 60, 128, 128);
  for (const BlurKernel& k : DialogBlurs()) {
    SCOPED_TRACE(k.name);
    CBgraImage16 blurred;
    ASSERT_EQ(k.Kernel().ApplyToImage16(original, blurred), 1);
    const CBgraImage16 deblurred =
        Deblur(blurred, Block(k.weights.data(), 9, 9, 4, 4, k.Sum(), 30, kAntiBlurRangeFootprint));
    const double before = Psnr(original, blurred, 8), after = Psnr(original, deblurred, 8);
    RecordProperty(k.name + "_blurred_db", std::to_string(before));
    RecordProperty(k.name + "_deblurred_db", std::to_string(after));
    std::printf("%s blur: %.2f dB blurred, %.2f dB deblurred\n", k.name.c_str(), before, after);
    EXPECT_GT(after, before + 2.0);
    // Alpha is the source's.
    for (std::uint32_t i = 0; i < deblurred.pixelCount; ++i)
      ASSERT_EQ(deblurred.pixels[i * 4 + 3], blurred.pixels[i * 4 + 3]);
  }
}

// With the stripe flag the image is cut into stripes of 128 rows; the
// deconvolution reaches beyond their overlap, so near the joins the result
// moves a little from the one-task run, nowhere far.
TEST(IterAntiBlur, StripesStayCloseToOneTask) {
  const std::vector<BlurKernel> kernels = DialogBlurs();
  const BlurKernel& gaussian = kernels[0];
  CBgraImage16 blurred;
  ASSERT_EQ(gaussian.Kernel().ApplyToImage16(PhotoCrop(100, 40, 90, 300), blurred), 1);
  IterAntiBlurParams block =
      Block(gaussian.weights.data(), 9, 9, 4, 4, gaussian.Sum(), 10, kAntiBlurRangeFootprint);
  const CBgraImage16 whole = Deblur(blurred, block);
  block.striped = 1;
  const CBgraImage16 striped = Deblur(blurred, block);
  EXPECT_GT(Psnr(whole, striped), 40.0);
}
