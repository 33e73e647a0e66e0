#include "filters/AntiShakeBlur.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/geometry/ImageSize.h"
#include "filters/StripeTiles.h"
#include "image/ColorTables.h"
#include "image/PixelBlock.h"

namespace {

constexpr std::size_t kTileValues = std::size_t{CAntiShakeBlur::kTile} * CAntiShakeBlur::kTile;
constexpr std::int32_t kHalfKernel = CAntiShakeBlur::kKernel / 2;
constexpr std::int32_t kBisectionRounds = 33;

// source reduced by ShrinkSmart of a fresh CImageSize (detail 100, sharpness
// 0) to w x h, reporting within lo..hi of parent.
int Reduce(CAlgorithm& parent, const CBgraImage16& source, CBgraImage16& reduced, std::int32_t w,
           std::int32_t h, std::int32_t lo, std::int32_t hi) {
  CImageSize size;
  size.NestIn(parent, lo, hi);
  size.m_rangeLo = 0;
  size.m_rangeHi = 100;
  return size.ShrinkSmart(source, reduced, w, h) && !reduced.IsEmpty() ? 1 : 0;
}

}  // namespace

int CAntiShakeBlur::Process() {
  if (!m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  const CBgraImage16& source = *m_source;
  const auto w = static_cast<std::int32_t>(source.width), h = static_cast<std::int32_t>(source.height);
  if (w / 6 < 1 || h / 6 < 1) return 0;
  BuildGammaTables();
  {
    CBgraImage16 reduced;
    CPlane8 plane;
    if (!Reduce(*this, source, reduced, w / 6, h / 6, 0, 3)) return 0;
    SetProgress(3);
    if (!reduced.ToGrayPlane(plane) || !DetectPointFeatures(plane) || m_points.empty()) return 0;
    if (!Reduce(*this, source, reduced, w / 2, h / 2, 3, 5)) return 0;
    if (!reduced.ToGrayPlane(plane) || !RefinePointFeatures(plane, w, h) || m_points.empty()) return 0;
  }
  SetProgress(5);
  {
    CPlane8 plane;
    if (!source.ToGrayPlane(plane) || !EstimateKernel(plane)) return 0;
  }
  SetProgress(8);

  // Stripes merge only into a target of the source's size.
  if (!m_target->IsEmpty() && (m_target->width != source.width || m_target->height != source.height)) {
    m_target->Free();
  }
  const std::int32_t lo = m_progressLo, hi = m_progressHi;
  m_progressLo = static_cast<std::int32_t>(lo + (std::int64_t{hi} - lo) * 8 / 100);
  const int done = SplitIntoStripes(kOverlap, kTile) ? RunStripes(*this) : 0;
  m_progressLo = lo;
  m_progressHi = hi;
  return done;
}

int CAntiShakeBlur::ProcessStripe(StripeTask* task) {
  if (!task || !task->sourceStripe || !task->resultStripe) return 0;
  const CBgraImage16& source = *task->sourceStripe;
  CBgraImage16& result = *task->resultStripe;
  if (source.IsEmpty() || source.height > static_cast<std::uint32_t>(kTile)) return 0;
  if (&result != &source && !result.CopyFrom(source)) return 0;
  if (source.height < static_cast<std::uint32_t>(kTile)) return 1;
  if (!m_kernelMagnitude) return 0;

  FftGrid grid;
  CBgraImage16 uncorrected;
  auto work = AllocWorkArray<std::complex<double>>(kTileValues);
  if (!grid.Init(kTileLog2) || !work || !uncorrected.CopyFrom(result)) return 0;
  result.RgbToYcc();
  uncorrected.RgbToYcc();
  // Luminance, in the R slot, as if it were a linear value. Tiles read it as
  // it was before any tile: the columns a tile shares with the one before
  // would otherwise be corrected twice.
  constexpr std::int32_t kLuminance = 2;
  const std::int64_t tiles = (std::int64_t{result.width} + kStep - 1) / kStep;
  for (std::int64_t k = 0; k < tiles; ++k) {
    const std::int64_t left = kStep * k - kOverlap;
    FillTileFromStripe(uncorrected, kLuminance, left, grid);
    DeconvolveTile(grid, {work.get(), kTileValues});
    StoreTileInStripe(grid, kLuminance, left, result);
  }
  result.YccToRgb();
  return 1;
}

int CAntiShakeBlur::DetectPointFeatures(const CPlane8& plane) {
  m_points.clear();
  if (plane.IsEmpty()) return 0;
  const std::int32_t w = static_cast<std::int32_t>(plane.width), h = static_cast<std::int32_t>(plane.height);
  // Neighbours in walking order, as offsets from the centre.
  constexpr std::array<std::array<std::int32_t, 2>, 8> kAround = {
      {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}}};
  try {
    for (std::int32_t y = 1; y + 1 < h; ++y) {
      for (std::int32_t x = 1; x + 1 < w; ++x) {
        const std::int32_t centre = plane.pixels[std::size_t(y) * plane.width + std::size_t(x)];
        std::int32_t sum = centre, hi = centre, lo = centre;
        for (const auto& [dx, dy] : kAround) {
          const std::int32_t v = plane.pixels[std::size_t(y + dy) * plane.width + std::size_t(x + dx)];
          sum += v;
          hi = std::max(hi, v);
          lo = std::min(lo, v);
        }
        if (hi - lo < sum / 9 * 80 / 512 + 10) continue;
        const std::int32_t low = (5 * lo + 3 * hi) / 8, high = (3 * lo + 5 * hi) / 8;
        if (centre >= low && centre <= high) continue;
        const bool bright = centre > high;
        std::int32_t opposite = 0;
        bool inBand = false;
        for (const auto& [dx, dy] : kAround) {
          const std::int32_t v = plane.pixels[std::size_t(y + dy) * plane.width + std::size_t(x + dx)];
          if (v >= low && v <= high) {
            inBand = true;
            break;
          }
          if (bright ? v < low : v > high) ++opposite;
        }
        if (!inBand && opposite >= 5) m_points.push_back({6 * x + 3, 6 * y + 3, bright ? 1 : 0});
      }
    }
  } catch (const std::bad_alloc&) {
    m_points.clear();
    return 0;
  }
  return 1;
}

int CAntiShakeBlur::RefinePointFeatures(const CPlane8& plane, std::int32_t fullWidth,
                                        std::int32_t fullHeight) {
  if (plane.IsEmpty()) return 0;
  const std::int32_t w = static_cast<std::int32_t>(plane.width), h = static_cast<std::int32_t>(plane.height);
  const auto at = [&](std::int32_t x, std::int32_t y) -> std::int32_t {
    return plane.pixels[std::size_t(y) * plane.width + std::size_t(x)];
  };
  std::vector<FeaturePoint> refined;
  try {
    refined.reserve(m_points.size());
    for (const FeaturePoint& point : m_points) {
      const std::int32_t px = point.x / 2, py = point.y / 2;
      std::int64_t best = 0;
      FeaturePoint found;
      for (std::int32_t y = std::max(py - 6, 2); y < std::min(py + 6, h - 2); ++y) {
        for (std::int32_t x = std::max(px - 6, 2); x < std::min(px + 6, w - 2); ++x) {
          std::int32_t v[9];
          std::int32_t hi = 0, lo = 255;
          for (std::int32_t i = 0; i < 9; ++i) {
            v[i] = at(x + 2 * (i % 3 - 1), y + 2 * (i / 3 - 1));
            hi = std::max(hi, v[i]);
            lo = std::min(lo, v[i]);
          }
          if (hi - lo < 80) continue;
          const std::int32_t middle = (hi + lo) / 2;
          const bool bright = v[4] > middle;
          std::int32_t other = 0;
          for (std::int32_t i = 0; i < 9; ++i) {
            if (i != 4 && (bright ? v[i] < middle : v[i] >= middle)) ++other;
          }
          const std::int64_t score = other < 3 ? 0 : std::int64_t{hi - lo} * other;
          if (score > best) {
            best = score;
            found = {2 * x + 1, 2 * y + 1, bright ? 1 : 0};
          }
        }
      }
      if (best > 0 && found.x > kBorder && found.x < fullWidth - kBorder && found.y > kBorder &&
          found.y < fullHeight - kBorder) {
        refined.push_back(found);
      }
    }
  } catch (const std::bad_alloc&) {
    m_points.clear();
    return 0;
  }
  m_points.swap(refined);
  return 1;
}

int CAntiShakeBlur::EstimateKernel(const CPlane8& plane) {
  if (plane.IsEmpty()) return 0;
  const std::int64_t w = plane.width, h = plane.height;
  const auto at = [&](std::int64_t x, std::int64_t y) -> std::int32_t {
    return plane.pixels[static_cast<std::size_t>(y * w + x)];
  };
  constexpr std::size_t kValues = std::size_t{kKernel} * kKernel;
  std::array<double, kValues> kernel{};
  for (const FeaturePoint& point : m_points) {
    // The window and its ring must lie inside the plane.
    if (point.x - kHalfKernel - 2 < 0 || point.x + kHalfKernel + 1 >= w || point.y - kHalfKernel - 2 < 0 ||
        point.y + kHalfKernel + 1 >= h) {
      continue;
    }
    for (std::int32_t j = 0; j < kKernel; ++j) {
      const std::int64_t v = point.y - kHalfKernel + j;
      for (std::int32_t i = 0; i < kKernel; ++i) {
        const std::int64_t u = point.x - kHalfKernel + i;
        std::int32_t d = 8 * at(u, v) - at(u - 2, v - 2) - at(u, v - 2) - at(u + 2, v - 2) - at(u - 2, v) -
                         at(u + 2, v) - at(u - 2, v + 2) - at(u, v + 2) - at(u + 2, v + 2);
        if (!point.bright) d = -d;
        if (d > 0) kernel[std::size_t(j) * kKernel + std::size_t(i)] += d;
      }
    }
  }

  const double top = *std::max_element(kernel.begin(), kernel.end());
  // Points that show no contrast at all leave nothing to estimate from.
  if (!(top > 0.0)) return 0;
  double low = 0.0, high = top, threshold = 0.0;
  for (std::int32_t round = 0; round < kBisectionRounds; ++round) {
    threshold = (low + high) / 2;
    const auto above = std::count_if(kernel.begin(), kernel.end(), [&](double v) { return v > threshold; });
    if (above == kKernelValues) break;
    if (above > kKernelValues) {
      low = threshold;
    } else {
      high = threshold;
    }
  }
  const double range = top - threshold;
  if (!(range > 0.0)) return 0;
  double sum = 0.0;
  for (double& v : kernel) {
    v = threshold > v ? 0.0 : (v - threshold) / range;
    sum += v;
  }
  if (!(sum > 0.0)) return 0;
  for (double& v : kernel) v /= sum;

  if (!m_kernelGrid.Init(kTileLog2)) return 0;
  std::fill(m_kernelGrid.Values().begin(), m_kernelGrid.Values().end(), 0.0);
  for (std::int32_t j = 0; j < kKernel; ++j) {
    std::copy_n(kernel.begin() + std::ptrdiff_t(j) * kKernel, kKernel,
                m_kernelGrid.Row(kKernelAt + j) + kKernelAt);
  }
  return MakeKernelSpectrum();
}

int CAntiShakeBlur::MakeKernelSpectrum() {
  m_kernelSpectrum.reset();
  m_kernelMagnitude.reset();
  if (m_kernelGrid.N() != kTile) return 0;
  auto spectrum = AllocWorkArray<std::complex<double>>(kTileValues);
  auto magnitude = AllocWorkArray<double>(kTileValues);
  if (!spectrum || !magnitude) return 0;
  m_kernelGrid.Fft2D({spectrum.get(), kTileValues});
  for (std::size_t i = 0; i < kTileValues; ++i) magnitude[i] = std::abs(spectrum[i]);
  m_kernelSpectrum = std::move(spectrum);
  m_kernelMagnitude = std::move(magnitude);
  return 1;
}

void CAntiShakeBlur::DeconvolveTile(FftGrid& grid, std::span<std::complex<double>> work) const {
  if (!m_kernelMagnitude || grid.N() != kTile || work.size() < kTileValues) return;
  grid.Fft2D(work);
  for (std::size_t i = 0; i < kTileValues; ++i) {
    const double m = m_kernelMagnitude[i];
    if (m > kMinMagnitude) work[i] /= m;
  }
  grid.InverseFft2D(work);
}
