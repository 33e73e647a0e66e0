#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "filters/FftGrid.h"

namespace {

using Complex = std::complex<double>;

std::vector<Complex> RandomComplex(std::size_t n, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> value(-100.0, 100.0);
  std::vector<Complex> v(n);
  for (Complex& c : v) c = {value(random), value(random)};
  return v;
}

std::vector<double> RandomReal(std::size_t n, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> value(0.0, 255.0);
  std::vector<double> v(n);
  for (double& d : v) d = value(random);
  return v;
}

// The transforms by their definitions, with the exact constants.
std::vector<Complex> NaiveDft(const std::vector<Complex>& x) {
  const std::size_t n = x.size();
  std::vector<Complex> out(n);
  for (std::size_t k = 0; k < n; ++k) {
    for (std::size_t j = 0; j < n; ++j) {
      out[k] += x[j] * std::polar(1.0, -2 * std::numbers::pi * static_cast<double>(k * j % n) / n);
    }
  }
  return out;
}

std::vector<double> NaiveDct(const std::vector<double>& x) {
  const std::size_t n = x.size();
  std::vector<double> out(n);
  for (std::size_t k = 0; k < n; ++k) {
    for (std::size_t j = 0; j < n; ++j)
      out[k] += x[j] * std::cos(std::numbers::pi * k * (2 * j + 1) / (2.0 * n));
    out[k] *= k == 0 ? std::sqrt(1.0 / n) : std::sqrt(2.0 / n);
  }
  return out;
}

// The largest difference relative to the largest magnitude of expected.
template <typename T>
double RelativeError(const std::vector<T>& actual, const std::vector<T>& expected) {
  double diff = 0, scale = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    diff = std::max(diff, std::abs(actual[i] - expected[i]));
    scale = std::max(scale, std::abs(expected[i]));
  }
  return diff / scale;
}

TEST(FftGrid, OneDimensionalTransformsMatchTheirDefinitionsAndInvert) {
  for (std::int32_t log2n = 1; log2n <= kMaxFftLog2; ++log2n) {
    const std::size_t n = std::size_t{1} << log2n;
    SCOPED_TRACE(n);
    const std::vector<Complex> x = RandomComplex(n, static_cast<std::uint32_t>(n));
    std::vector<Complex> forward(n), back(n);
    Fft1D(x, forward, log2n);
    EXPECT_LT(RelativeError(forward, NaiveDft(x)), 1e-6);
    InverseFft1D(forward, back, log2n);
    EXPECT_LT(RelativeError(back, x), 1e-12);
    // In place gives the same.
    std::vector<Complex> same = x;
    Fft1D(same, same, log2n);
    EXPECT_EQ(same, forward);
    InverseFft1D(same, same, log2n);
    EXPECT_EQ(same, back);

    if (log2n > kMaxDctLog2) continue;
    const std::vector<double> r = RandomReal(n, static_cast<std::uint32_t>(n) + 7);
    std::vector<double> cosine(n), again(n);
    Dct1D(r, cosine, log2n);
    EXPECT_LT(RelativeError(cosine, NaiveDct(r)), 1e-6);
    // The truncated pi leaves the cosine pair inverse to within 1e-7.
    InverseDct1D(cosine, again, log2n);
    EXPECT_LT(RelativeError(again, r), 1e-6);
    std::vector<double> inPlace = r;
    Dct1D(inPlace, inPlace, log2n);
    InverseDct1D(inPlace, inPlace, log2n);
    EXPECT_EQ(inPlace, again);
  }
}

TEST(FftGrid, ImpulsesAndConstants) {
  // An impulse has a flat spectrum, a constant all its energy at 0; the
  // cosine transform of a constant c is c sqrt N at 0.
  for (std::int32_t log2n : {0, 1, 3, 8}) {
    const std::size_t n = std::size_t{1} << log2n;
    std::vector<Complex> impulse(n), ones(n, Complex{1, 0}), out(n);
    impulse[0] = 1;
    Fft1D(impulse, out, log2n);
    for (const Complex& c : out) EXPECT_NEAR(std::abs(c - Complex{1, 0}), 0, 1e-12);
    Fft1D(ones, out, log2n);
    EXPECT_NEAR(out[0].real(), static_cast<double>(n), 1e-9);
    for (std::size_t k = 1; k < n; ++k) EXPECT_NEAR(std::abs(out[k]), 0, 1e-9);
    std::vector<double> constant(n, 3.0), cosine(n);
    Dct1D(constant, cosine, log2n);
    EXPECT_NEAR(cosine[0], 3.0 * std::sqrt(static_cast<double>(n)), 1e-9);
    for (std::size_t k = 1; k < n; ++k) EXPECT_NEAR(cosine[k], 0, 1e-6 * cosine[0]);
  }
}

TEST(FftGrid, TwoDimensionalTransformsAreSeparableAndInvert) {
  for (std::int32_t log2n : {1, 3, 7, 8, 9}) {
    const auto n = static_cast<std::size_t>(1) << log2n;
    SCOPED_TRACE(n);
    FftGrid grid;
    ASSERT_EQ(grid.Init(log2n), 1);
    ASSERT_EQ(grid.N(), static_cast<std::int32_t>(n));
    const std::vector<double> values = RandomReal(n * n, 11);
    std::copy(values.begin(), values.end(), grid.Values().begin());

    std::vector<Complex> spectrum(n * n);
    grid.Fft2D(spectrum);
    if (n <= 8) {
      // The definition of the two-dimensional transform.
      std::vector<Complex> expected(n * n);
      for (std::size_t u = 0; u < n; ++u) {
        for (std::size_t v = 0; v < n; ++v) {
          for (std::size_t r = 0; r < n; ++r) {
            for (std::size_t c = 0; c < n; ++c) {
              const double angle = -2 * std::numbers::pi * static_cast<double>((u * r + v * c) % n) / n;
              expected[u * n + v] += values[r * n + c] * std::polar(1.0, angle);
            }
          }
        }
      }
      EXPECT_LT(RelativeError(spectrum, expected), 1e-6);
    }
    std::fill(grid.Values().begin(), grid.Values().end(), 0.0);
    grid.InverseFft2D(spectrum);
    EXPECT_LT(RelativeError(std::vector<double>(grid.Values().begin(), grid.Values().end()), values), 1e-12);

    if (log2n > kMaxDctLog2) continue;
    grid.Dct2D(1);
    if (n <= 8) {
      std::vector<double> expected(n * n);
      for (std::size_t u = 0; u < n; ++u) {
        for (std::size_t v = 0; v < n; ++v) {
          for (std::size_t r = 0; r < n; ++r) {
            for (std::size_t c = 0; c < n; ++c) {
              expected[u * n + v] += values[r * n + c] *
                                     std::cos(std::numbers::pi * u * (2 * r + 1) / (2.0 * n)) *
                                     std::cos(std::numbers::pi * v * (2 * c + 1) / (2.0 * n));
            }
          }
          expected[u * n + v] *=
              (u ? std::sqrt(2.0 / n) : std::sqrt(1.0 / n)) * (v ? std::sqrt(2.0 / n) : std::sqrt(1.0 / n));
        }
      }
      EXPECT_LT(RelativeError(std::vector<double>(grid.Values().begin(), grid.Values().end()), expected),
                1e-6);
    }
    grid.Dct2D(0);
    EXPECT_LT(RelativeError(std::vector<double>(grid.Values().begin(), grid.Values().end()), values), 1e-6);
  }
}

TEST(FftGrid, SizesBeyondTheLimitsDoNothing) {
  FftGrid grid;
  EXPECT_EQ(grid.Init(10), 0);
  EXPECT_TRUE(grid.IsEmpty());
  EXPECT_EQ(grid.Init(-1), 0);
  std::vector<Complex> in(1024, Complex{1, 0}), out(1024, Complex{5, 5});
  Fft1D(in, out, 10);
  EXPECT_EQ(out[0], (Complex{5, 5}));
  Fft1D(std::span(in).first(4), out, 3);  // input shorter than 8 values
  EXPECT_EQ(out[0], (Complex{5, 5}));
  std::vector<double> real(512, 1.0), cosine(512, 7.0);
  Dct1D(real, cosine, 9);
  EXPECT_EQ(cosine[0], 7.0);

  EXPECT_EQ(PowInt(2.0, 9), 512.0);
  EXPECT_EQ(PowInt(2.0, -3), 0.125);
  EXPECT_EQ(PowInt(3.0, 0), 1.0);
}

}  // namespace
