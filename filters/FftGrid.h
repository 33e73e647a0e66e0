#pragma once
// The frequency-domain filters' transform library: the radix-2 complex
// Fourier transform (decimation in frequency) and its inverse, the
// orthonormal cosine transform (DCT-II) and its inverse (DCT-III) computed
// through a Fourier transform of twice the length, and their separable
// two-dimensional forms on FftGrid, a square power-of-two grid of doubles.
//
// The transforms keep no shared state but read-only tables made once, and
// allocate nothing: their work buffers live on the stack. Several threads may
// run them at once on their own arrays. Sizes beyond the limits below (or
// arrays shorter than the transform) leave the output untouched.
//
// The angle constants are 6.2831852 for 2 pi and 3.1415926 for pi, as the
// filters built on them were tuned with; against the exact constants the
// results differ by a relative 1e-8.

#include <complex>
#include <cstdint>
#include <memory>
#include <span>

// A one-dimensional Fourier transform has at most 2^9 values; a cosine
// transform of N values runs one of 2N, so it has at most 2^8.
inline constexpr std::int32_t kMaxFftLog2 = 9;
inline constexpr std::int32_t kMaxDctLog2 = 8;

// X[k] = sum over n of x[n] e^(-2 pi i k n / N), unscaled, for N = 2^log2N.
// input and output may be the same array.
void Fft1D(std::span<const std::complex<double>> input, std::span<std::complex<double>> output,
           std::int32_t log2N);
// The inverse, scaled by 1 / N: InverseFft1D of Fft1D gives the input back.
void InverseFft1D(std::span<const std::complex<double>> input, std::span<std::complex<double>> output,
                  std::int32_t log2N);
// output[k] = c(k) sum over n of x[n] cos(pi k (2n + 1) / 2N), c(0) = 1 / sqrt N,
// c(k) = sqrt(2 / N). input and output may be the same array.
void Dct1D(std::span<const double> input, std::span<double> output, std::int32_t log2N);
// The exact inverse of Dct1D.
void InverseDct1D(std::span<const double> input, std::span<double> output, std::int32_t log2N);

// x to the integer power n by repeated squaring; 1 / x^|n| for negative n.
double PowInt(double x, std::int32_t n);

// N x N doubles, row by row (row r, column c at r N + c).
class FftGrid {
public:
  // N = 2^log2N for log2N 0 to 9; frees any earlier values and makes N x N
  // new ones (undefined). 0 for another log2N or when memory runs out (the
  // grid is then empty).
  [[nodiscard]] int Init(std::int32_t log2N);

  // In place: forward (every row, then every column) when forward is
  // non-zero, else the inverse (every column, then every row). Needs N up to
  // 256.
  void Dct2D(std::int32_t forward);
  // The forward transform of the grid as real values into output's N x N
  // complex values: every row, then every column.
  void Fft2D(std::span<std::complex<double>> output) const;
  // The inverse transform of input's N x N complex values, every column then
  // every row, computed in input itself (it holds the complex result
  // afterwards); the real parts become the grid.
  void InverseFft2D(std::span<std::complex<double>> input);

  std::span<double> Values() { return {m_data.get(), m_data ? Count() : 0}; }
  std::span<const double> Values() const { return {m_data.get(), m_data ? Count() : 0}; }
  double* Row(std::int32_t r) { return m_data.get() + std::size_t(r) * std::size_t(m_n); }
  const double* Row(std::int32_t r) const { return m_data.get() + std::size_t(r) * std::size_t(m_n); }
  std::int32_t N() const { return m_n; }
  std::int32_t Log2N() const { return m_log2n; }
  bool IsEmpty() const { return !m_data; }

private:
  std::size_t Count() const { return std::size_t(m_n) * std::size_t(m_n); }

  std::unique_ptr<double[]> m_data;
  std::int32_t m_n = 0;
  std::int32_t m_log2n = 0;
};
