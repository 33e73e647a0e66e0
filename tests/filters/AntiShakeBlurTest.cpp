#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "FilterPictures.h"
#include "filters/AntiShakeBlur.h"
#include "image/ColorTables.h"
#include "image/Plane8.h"

namespace {

using namespace filter_pictures;

constexpr int kSide = CAntiShakeBlur::kKernel;

// The shake: an S-shaped swing of about 21 pixels drawn with bilinear
// weights, the camera resting at its middle for a tenth of the exposure, in
// a 48 x 48 window whose centre (24, 24) is that middle; sums to 1. (The
// rest gives each light's streak the one brightest spot that the points are
// refined to.)
std::vector<double> ShakePath() {
  const double corners[][2] = {{-9, -4}, {-3, -3}, {3, 3}, {9, 4}};
  std::vector<std::array<double, 2>> samples;
  for (int s = 0; s < 3; ++s) {
    const double dx = corners[s + 1][0] - corners[s][0], dy = corners[s + 1][1] - corners[s][1];
    const int steps = static_cast<int>(std::hypot(dx, dy) * 10);
    for (int i = 0; i < steps; ++i) {
      samples.push_back({corners[s][0] + dx * i / steps, corners[s][1] + dy * i / steps});
    }
  }
  double mx = 0, my = 0;
  for (const auto& p : samples) {
    mx += p[0];
    my += p[1];
  }
  mx /= static_cast<double>(samples.size());
  my /= static_cast<double>(samples.size());
  std::vector<double> kernel(kSide * kSide);
  for (const auto& p : samples) {
    const double x = p[0] - mx + kSide / 2, y = p[1] - my + kSide / 2;
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    kernel[static_cast<std::size_t>(y0 * kSide + x0)] += (1 - fx) * (1 - fy);
    kernel[static_cast<std::size_t>(y0 * kSide + x0 + 1)] += fx * (1 - fy);
    kernel[static_cast<std::size_t>((y0 + 1) * kSide + x0)] += (1 - fx) * fy;
    kernel[static_cast<std::size_t>((y0 + 1) * kSide + x0 + 1)] += fx * fy;
  }
  double sum = 0;
  for (const double k : kernel) sum += k;
  for (double& k : kernel) k /= sum;
  constexpr double kDwell = 0.1;
  for (double& k : kernel) k *= 1 - kDwell;
  kernel[static_cast<std::size_t>(kSide / 2 * kSide + kSide / 2)] += kDwell;
  return kernel;
}

struct ShakeScene {
  CBgraImage16 sharp;
  CBgraImage16 blurred;
  std::vector<std::array<int, 2>> lights;
};

std::uint16_t FromCode(double code) {
  return SrgbToLinearTable[static_cast<std::size_t>(std::clamp(std::lround(code), 0L, 255L))];
}

// A dark scene in 8-bit sRGB codes (where the filter works): waves of 20 to
// 45 pixels in six directions, 25 codes deep, a little noise, and single
// pixels of lights ten times brighter than white, 60 or more pixels apart.
// Shaken along the path, then clipped to 0..255 (the lights of the sharp
// picture too).
ShakeScene MakeScene(std::uint32_t w, std::uint32_t h, int lights, std::uint32_t seed) {
  BuildGammaTables();
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<double> scene(std::size_t{w} * h * 3);
  double wave[6][3];
  for (int i = 0; i < 6; ++i) {
    const double angle = i * std::numbers::pi / 6 + unit(random) * 0.3, period = 20 + unit(random) * 25;
    wave[i][0] = std::cos(angle) * 2 * std::numbers::pi / period;
    wave[i][1] = std::sin(angle) * 2 * std::numbers::pi / period;
    wave[i][2] = unit(random) * 2 * std::numbers::pi;
  }
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      double texture = 0;
      for (const auto& [wx, wy, phase] : wave) texture += std::sin(x * wx + y * wy + phase);
      const double v = 50 + 25 * texture / 2.4 + 2 * unit(random);
      for (int c = 0; c < 3; ++c) scene[(std::size_t{y} * w + x) * 3 + c] = v + 4 * (c - 1);
    }
  }
  ShakeScene s;
  for (int attempt = 0; attempt < 5000 && static_cast<int>(s.lights.size()) < lights; ++attempt) {
    const int x = 50 + static_cast<int>(unit(random) * (w - 100));
    const int y = 50 + static_cast<int>(unit(random) * (h - 100));
    bool apart = true;
    for (const auto& p : s.lights) apart = apart && std::hypot(p[0] - x, p[1] - y) > 60;
    if (!apart) continue;
    s.lights.push_back({x, y});
    for (int c = 0; c < 3; ++c) scene[(std::size_t(y) * w + std::size_t(x)) * 3 + c] = 2550;
  }

  const std::vector<double> path = ShakePath();
  struct Tap {
    int dx, dy;
    double weight;
  };
  std::vector<Tap> taps;
  for (int j = 0; j < kSide; ++j) {
    for (int i = 0; i < kSide; ++i) {
      const double k = path[static_cast<std::size_t>(j * kSide + i)];
      if (k > 0) taps.push_back({i - kSide / 2, j - kSide / 2, k});
    }
  }
  s.sharp = Flat(w, h, 0);
  s.blurred = Flat(w, h, 0);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      double sum[3] = {};
      for (const Tap& t : taps) {
        const auto sx = static_cast<std::size_t>(std::clamp<std::int64_t>(std::int64_t{x} - t.dx, 0, w - 1));
        const auto sy = static_cast<std::size_t>(std::clamp<std::int64_t>(std::int64_t{y} - t.dy, 0, h - 1));
        for (int c = 0; c < 3; ++c) sum[c] += t.weight * scene[(sy * w + sx) * 3 + c];
      }
      for (int c = 0; c < 3; ++c) {
        s.blurred.At(x, y)[c] = FromCode(sum[c]);
        s.sharp.At(x, y)[c] = FromCode(scene[(std::size_t{y} * w + x) * 3 + c]);
      }
    }
  }
  return s;
}

// PSNR of the luminance codes (LinearToSrgbTable of Y of the YCbCr form) of
// a against the scene's sharp picture, leaving out the last 16 rows and the
// 50 x 50 boxes around the lights: the sharp picture holds them clipped, so
// no correction can come close there.
double LuminancePsnr(const CBgraImage16& a, const ShakeScene& scene) {
  CBgraImage16 ya = Copy(a), yb = Copy(scene.sharp);
  ya.RgbToYcc();
  yb.RgbToYcc();
  double sum = 0, count = 0;
  for (std::uint32_t y = 0; y + 16 < ya.height; ++y) {
    for (std::uint32_t x = 0; x < ya.width; ++x) {
      bool near = false;
      for (const auto& [lx, ly] : scene.lights)
        near = near || (std::abs(lx - int(x)) < 25 && std::abs(ly - int(y)) < 25);
      if (near) continue;
      const double d =
          static_cast<double>(LinearToSrgbTable[ya.At(x, y)[2]]) - LinearToSrgbTable[yb.At(x, y)[2]];
      sum += d * d;
      ++count;
    }
  }
  return 10 * std::log10(255.0 * 255.0 / (sum / count));
}

// The largest cosine similarity of estimate and truth over all shifts.
double PeakCorrelation(const std::vector<double>& estimate, const std::vector<double>& truth) {
  double ne = 0, nt = 0;
  for (std::size_t i = 0; i < estimate.size(); ++i) {
    ne += estimate[i] * estimate[i];
    nt += truth[i] * truth[i];
  }
  double best = 0;
  for (int sy = -kSide + 1; sy < kSide; ++sy) {
    for (int sx = -kSide + 1; sx < kSide; ++sx) {
      double dot = 0;
      for (int y = std::max(0, sy); y < std::min(kSide, kSide + sy); ++y) {
        for (int x = std::max(0, sx); x < std::min(kSide, kSide + sx); ++x) {
          dot += estimate[static_cast<std::size_t>(y * kSide + x)] *
                 truth[static_cast<std::size_t>((y - sy) * kSide + (x - sx))];
        }
      }
      best = std::max(best, dot / std::sqrt(ne * nt));
    }
  }
  return best;
}

int RunAntiShake(CAntiShakeBlur& shake, const CBgraImage16& source, CBgraImage16& target) {
  shake.m_source = const_cast<CBgraImage16*>(&source);
  shake.m_target = &target;
  return shake.Process();
}

TEST(AntiShakeBlur, EstimatesTheShakeFromLightsAndSharpensLuminance) {
  for (const std::uint32_t seed : {2u, 6u}) {
    SCOPED_TRACE(seed);
    const ShakeScene scene = MakeScene(768, 576, 50, seed);
    CAntiShakeBlur shake;
    CBgraImage16 result;
    ASSERT_EQ(RunAntiShake(shake, scene.blurred, result), 1);
    EXPECT_FALSE(shake.m_points.empty());

    std::vector<double> estimate(kSide * kSide);
    for (int j = 0; j < kSide; ++j) {
      for (int i = 0; i < kSide; ++i) {
        estimate[static_cast<std::size_t>(j * kSide + i)] =
            shake.m_kernelGrid.Row(CAntiShakeBlur::kKernelAt + j)[CAntiShakeBlur::kKernelAt + i];
      }
    }
    double sum = 0;
    for (const double v : estimate) sum += v;
    EXPECT_NEAR(sum, 1.0, 1e-9);
    EXPECT_GE(PeakCorrelation(estimate, ShakePath()), 0.7);

    const double before = LuminancePsnr(scene.blurred, scene);
    const double after = LuminancePsnr(result, scene);
    EXPECT_GT(after, before + 1) << before << " -> " << after;

    // Chroma stays, up to the rounding of the colour conversions, wherever
    // the way back to RGB did not clip a channel.
    CBgraImage16 in = Copy(scene.blurred), out = Copy(result);
    in.RgbToYcc();
    out.RgbToYcc();
    int chroma = 0;
    for (std::size_t i = 0; i < in.pixelCount; ++i) {
      const std::uint16_t* p = result.pixels + i * 4;
      if (*std::min_element(p, p + 3) == 0 || *std::max_element(p, p + 3) == 65535) continue;
      for (int c : {0, 1}) chroma = std::max(chroma, std::abs(in.pixels[i * 4 + c] - out.pixels[i * 4 + c]));
    }
    EXPECT_LE(chroma, 2);
  }
}

// Stripes own 96 rows and need 128: a picture 96 n rows high is corrected
// to its last row; otherwise the last stripe's rows come back as they were,
// as does a whole picture lower than 128 rows.
TEST(AntiShakeBlur, RowsTheStripesCorrect) {
  const std::uint32_t heights[][2] = {{480, 480}, {500, 480}, {128, 128}, {120, 0}};
  for (const auto& [h, corrected] : heights) {
    SCOPED_TRACE(h);
    const CBgraImage16 source = MakeScene(576, h, 36, h).blurred;
    CAntiShakeBlur shake;
    CBgraImage16 result;
    ASSERT_EQ(RunAntiShake(shake, source, result), 1);
    const auto rowChanged = [&](std::uint32_t y) {
      return std::memcmp(source.Row(y), result.Row(y), source.Stride() * 2) != 0;
    };
    if (corrected > 0) {
      EXPECT_TRUE(rowChanged(corrected - 1));
    }
    for (std::uint32_t y = corrected; y < h; ++y) EXPECT_FALSE(rowChanged(y)) << y;
  }
}

// No usable point: a flat picture, one too small to reduce, and points
// whose windows show no contrast at all (every accumulated value 0).
TEST(AntiShakeBlur, NothingToEstimateFails) {
  for (const auto& [w, h] : {std::pair{400u, 300u}, std::pair{5u, 300u}}) {
    const CBgraImage16 flat = Flat(w, h, 5000);
    CAntiShakeBlur shake;
    CBgraImage16 target;
    EXPECT_EQ(RunAntiShake(shake, flat, target), 0);
    EXPECT_TRUE(target.IsEmpty());
  }
  CAntiShakeBlur shake;
  shake.m_points = {{100, 100, 1}, {150, 120, 0}};
  const CPlane8 plane = FlatPlane(300, 300, 60);
  EXPECT_EQ(shake.EstimateKernel(plane), 0);
}

// A kernel of one point has a flat spectrum of magnitude 1: a tile comes
// back as it went in.
TEST(AntiShakeBlur, SinglePointKernelLeavesTilesAlone) {
  CAntiShakeBlur shake;
  ASSERT_EQ(shake.m_kernelGrid.Init(CAntiShakeBlur::kTileLog2), 1);
  std::fill(shake.m_kernelGrid.Values().begin(), shake.m_kernelGrid.Values().end(), 0.0);
  shake.m_kernelGrid.Row(64)[64] = 1.0;
  ASSERT_EQ(shake.MakeKernelSpectrum(), 1);
  FftGrid tile;
  ASSERT_EQ(tile.Init(CAntiShakeBlur::kTileLog2), 1);
  std::mt19937 random(3);
  for (double& v : tile.Values()) v = static_cast<double>(random() % 256);
  const std::vector<double> before(tile.Values().begin(), tile.Values().end());
  std::vector<std::complex<double>> work(std::size_t{CAntiShakeBlur::kTile} * CAntiShakeBlur::kTile);
  shake.DeconvolveTile(tile, work);
  for (std::size_t i = 0; i < before.size(); ++i) ASSERT_NEAR(tile.Values()[i], before[i], 1e-9);
}

}  // namespace
