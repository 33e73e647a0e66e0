#include "filters/FftGrid.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <utility>

#include "image/PixelBlock.h"

namespace {

constexpr double kTwoPi = 6.2831852;
constexpr double kPi = 3.1415926;
constexpr std::size_t kMaxFft = std::size_t{1} << kMaxFftLog2;
constexpr std::size_t kMaxDct = std::size_t{1} << kMaxDctLog2;

// The work buffers' values: plain doubles, left uninitialised on the stack.
struct Cx {
  double re;
  double im;
};

// Per length 2^L: the twiddles W[k] = e^(i theta k), theta k = -2 pi k / N,
// for k below N / 2, the bit reversal of every index, and for the cosine
// transforms of that length the phases cos and sin of pi k / 2N. Made once:
// the values are those the formulas give per call.
struct Tables {
  std::array<std::array<Cx, kMaxFft / 2>, kMaxFftLog2 + 1> twiddle{};
  std::array<std::array<std::uint16_t, kMaxFft>, kMaxFftLog2 + 1> reversed{};
  std::array<std::array<Cx, kMaxDct>, kMaxDctLog2 + 1> phase{};
};

const Tables& TransformTables() {
  static const auto tables = [] {
    auto t = std::make_unique<Tables>();
    for (std::int32_t log2n = 0; log2n <= kMaxFftLog2; ++log2n) {
      const std::size_t n = std::size_t{1} << log2n;
      for (std::size_t k = 0; k < n / 2; ++k) {
        const double theta = -kTwoPi * static_cast<double>(k) / static_cast<double>(n);
        t->twiddle[static_cast<std::size_t>(log2n)][k] = {std::cos(theta), std::sin(theta)};
      }
      for (std::size_t i = 0; i < n; ++i) {
        std::size_t r = 0;
        for (std::int32_t b = 0; b < log2n; ++b) r |= ((i >> b) & 1) << (log2n - 1 - b);
        t->reversed[static_cast<std::size_t>(log2n)][i] = static_cast<std::uint16_t>(r);
      }
    }
    for (std::int32_t log2n = 0; log2n <= kMaxDctLog2; ++log2n) {
      const std::size_t n = std::size_t{1} << log2n;
      for (std::size_t k = 0; k < n; ++k) {
        const double phi = kPi * static_cast<double>(k) / static_cast<double>(2 * n);
        t->phase[static_cast<std::size_t>(log2n)][k] = {std::cos(phi), std::sin(phi)};
      }
    }
    return t;
  }();
  return *tables;
}

// The decimation-in-frequency stages on the n = 2^log2n values of a, with b
// as scratch; the result, in bit-reversed order, is in the buffer returned.
const Cx* Stages(Cx* a, Cx* b, std::int32_t log2n, const Tables& tables) {
  const std::size_t n = std::size_t{1} << log2n;
  const Cx* w = tables.twiddle[static_cast<std::size_t>(log2n)].data();
  for (std::int32_t s = 0; s < log2n; ++s) {
    const std::size_t groups = std::size_t{1} << s;
    const std::size_t length = n >> s;
    const std::size_t half = length / 2;
    for (std::size_t g = 0; g < groups; ++g) {
      const Cx* in = a + g * length;
      Cx* out = b + g * length;
      for (std::size_t k = 0; k < half; ++k) {
        const Cx x = in[k];
        const Cx y = in[half + k];
        const Cx t = w[k * groups];
        out[k] = {x.re + y.re, x.im + y.im};
        const double dr = x.re - y.re, di = x.im - y.im;
        out[half + k] = {dr * t.re - di * t.im, dr * t.im + di * t.re};
      }
    }
    std::swap(a, b);
  }
  return a;
}

bool FftFits(std::size_t input, std::size_t output, std::int32_t log2n) {
  if (log2n < 0 || log2n > kMaxFftLog2) return false;
  const std::size_t n = std::size_t{1} << log2n;
  return input >= n && output >= n;
}

bool DctFits(std::size_t input, std::size_t output, std::int32_t log2n) {
  if (log2n < 0 || log2n > kMaxDctLog2) return false;
  const std::size_t n = std::size_t{1} << log2n;
  return input >= n && output >= n;
}

}  // namespace

void Fft1D(std::span<const std::complex<double>> input, std::span<std::complex<double>> output,
           std::int32_t log2N) {
  if (!FftFits(input.size(), output.size(), log2N)) return;
  const Tables& tables = TransformTables();
  const std::size_t n = std::size_t{1} << log2N;
  Cx a[kMaxFft];
  Cx b[kMaxFft];
  for (std::size_t i = 0; i < n; ++i) a[i] = {input[i].real(), input[i].imag()};
  const Cx* r = Stages(a, b, log2N, tables);
  const std::uint16_t* rev = tables.reversed[static_cast<std::size_t>(log2N)].data();
  for (std::size_t i = 0; i < n; ++i) output[i] = {r[rev[i]].re, r[rev[i]].im};
}

void InverseFft1D(std::span<const std::complex<double>> input, std::span<std::complex<double>> output,
                  std::int32_t log2N) {
  if (!FftFits(input.size(), output.size(), log2N)) return;
  const Tables& tables = TransformTables();
  const std::size_t n = std::size_t{1} << log2N;
  Cx a[kMaxFft];
  Cx b[kMaxFft];
  // The conjugate's forward transform, conjugated and scaled.
  for (std::size_t i = 0; i < n; ++i) a[i] = {input[i].real(), -input[i].imag()};
  const Cx* r = Stages(a, b, log2N, tables);
  const std::uint16_t* rev = tables.reversed[static_cast<std::size_t>(log2N)].data();
  const double scale = static_cast<double>(n);
  for (std::size_t i = 0; i < n; ++i) output[i] = {r[rev[i]].re / scale, -r[rev[i]].im / scale};
}

void Dct1D(std::span<const double> input, std::span<double> output, std::int32_t log2N) {
  if (!DctFits(input.size(), output.size(), log2N)) return;
  const Tables& tables = TransformTables();
  const std::size_t n = std::size_t{1} << log2N;
  // x as the real parts of 2N values, the rest 0.
  Cx a[kMaxFft];
  Cx b[kMaxFft];
  for (std::size_t i = 0; i < n; ++i) a[i] = {input[i], 0.0};
  for (std::size_t i = n; i < 2 * n; ++i) a[i] = {0.0, 0.0};
  const Cx* r = Stages(a, b, log2N + 1, tables);
  const std::uint16_t* rev = tables.reversed[static_cast<std::size_t>(log2N) + 1].data();
  const Cx* phase = tables.phase[static_cast<std::size_t>(log2N)].data();
  const double rootN = std::sqrt(static_cast<double>(n));
  const double scale = std::sqrt(2.0) / rootN;
  output[0] = r[rev[0]].re / rootN;
  for (std::size_t k = 1; k < n; ++k) {
    const Cx& v = r[rev[k]];
    output[k] = (phase[k].re * v.re + phase[k].im * v.im) * scale;
  }
}

void InverseDct1D(std::span<const double> input, std::span<double> output, std::int32_t log2N) {
  if (!DctFits(input.size(), output.size(), log2N)) return;
  const Tables& tables = TransformTables();
  const std::size_t n = std::size_t{1} << log2N;
  const Cx* phase = tables.phase[static_cast<std::size_t>(log2N)].data();
  // z[k] = X[k] e^(i phi k) for k below N, 0 beyond; its inverse transform
  // of length 2N, times 2N, is the sum over k of X[k] cos(pi k (2n + 1) / 2N),
  // taken here as the forward transform of the conjugate.
  Cx a[kMaxFft];
  Cx b[kMaxFft];
  for (std::size_t k = 0; k < n; ++k) a[k] = {input[k] * phase[k].re, -input[k] * phase[k].im};
  for (std::size_t k = n; k < 2 * n; ++k) a[k] = {0.0, 0.0};
  const double first = input[0];
  const Cx* r = Stages(a, b, log2N + 1, tables);
  const std::uint16_t* rev = tables.reversed[static_cast<std::size_t>(log2N) + 1].data();
  const double c = std::sqrt(2.0 / static_cast<double>(n));
  const double c0 = std::sqrt(1.0 / static_cast<double>(n)) - c;
  for (std::size_t i = 0; i < n; ++i) output[i] = r[rev[i]].re * c + c0 * first;
}

double PowInt(double x, std::int32_t n) {
  std::int64_t e = n;
  const bool invert = e < 0;
  if (invert) e = -e;
  double result = 1.0;
  for (double base = x; e > 0; e >>= 1, base *= base) {
    if (e & 1) result *= base;
  }
  return invert ? 1.0 / result : result;
}

int FftGrid::Init(std::int32_t log2N) {
  m_data.reset();
  m_n = 0;
  m_log2n = 0;
  if (log2N < 0 || log2N > kMaxFftLog2) return 0;
  const auto n = static_cast<std::int32_t>(PowInt(2.0, log2N));
  m_data = AllocWorkArray<double>(std::uint64_t(n) * std::uint64_t(n));
  if (!m_data) return 0;
  m_n = n;
  m_log2n = log2N;
  return 1;
}

void FftGrid::Dct2D(std::int32_t forward) {
  if (!m_data || m_log2n > kMaxDctLog2) return;
  const auto n = static_cast<std::size_t>(m_n);
  const auto transform = forward ? Dct1D : InverseDct1D;
  double column[kMaxDct];
  const auto columns = [&] {
    for (std::size_t c = 0; c < n; ++c) {
      for (std::size_t r = 0; r < n; ++r) column[r] = m_data[r * n + c];
      transform({column, n}, {column, n}, m_log2n);
      for (std::size_t r = 0; r < n; ++r) m_data[r * n + c] = column[r];
    }
  };
  const auto rows = [&] {
    for (std::size_t r = 0; r < n; ++r) {
      const std::span<double> row(m_data.get() + r * n, n);
      transform(row, row, m_log2n);
    }
  };
  if (forward) {
    rows();
    columns();
  } else {
    columns();
    rows();
  }
}

void FftGrid::Fft2D(std::span<std::complex<double>> output) const {
  const auto n = static_cast<std::size_t>(m_n);
  if (!m_data || output.size() < n * n) return;
  std::array<std::complex<double>, kMaxFft> line;
  for (std::size_t r = 0; r < n; ++r) {
    for (std::size_t c = 0; c < n; ++c) line[c] = {m_data[r * n + c], 0.0};
    Fft1D({line.data(), n}, output.subspan(r * n, n), m_log2n);
  }
  for (std::size_t c = 0; c < n; ++c) {
    for (std::size_t r = 0; r < n; ++r) line[r] = output[r * n + c];
    Fft1D({line.data(), n}, {line.data(), n}, m_log2n);
    for (std::size_t r = 0; r < n; ++r) output[r * n + c] = line[r];
  }
}

void FftGrid::InverseFft2D(std::span<std::complex<double>> input) {
  const auto n = static_cast<std::size_t>(m_n);
  if (!m_data || input.size() < n * n) return;
  std::array<std::complex<double>, kMaxFft> line;
  for (std::size_t c = 0; c < n; ++c) {
    for (std::size_t r = 0; r < n; ++r) line[r] = input[r * n + c];
    InverseFft1D({line.data(), n}, {line.data(), n}, m_log2n);
    for (std::size_t r = 0; r < n; ++r) input[r * n + c] = line[r];
  }
  for (std::size_t r = 0; r < n; ++r) {
    const std::span<std::complex<double>> row = input.subspan(r * n, n);
    InverseFft1D(row, row, m_log2n);
    for (std::size_t c = 0; c < n; ++c) m_data[r * n + c] = row[c].real();
  }
}
