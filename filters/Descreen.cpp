#include "filters/Descreen.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "algorithms/AlgorithmThread.h"
#include "filters/StripeTiles.h"
#include "image/ColorTables.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::size_t kTileSide = CDescreen::kTile;
constexpr std::size_t kTileValues = kTileSide * kTileSide;

}  // namespace

void ValidateDescreenParams(DescreenParams& block) {
  block.strength = std::clamp(block.strength, 0, DescreenParams::kMaxStrength);
}

std::array<std::uint8_t, sizeof(DescreenParams)> DescreenParamsToBytes(const DescreenParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.Zeros(sizeof block.spare);
  w.I32(block.patternSize);
  w.I32(block.strength);
  w.I32(block.fast);
  std::array<std::uint8_t, sizeof(DescreenParams)> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int DescreenParamsFromBytes(std::span<const std::uint8_t> bytes, DescreenParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), sizeof(DescreenParams));
  if (bytes.size() < stored) return 0;
  std::array<std::uint8_t, sizeof(DescreenParams)> full = DescreenParamsToBytes({});
  std::copy_n(bytes.begin(), stored, full.begin());
  ByteReader r(full);
  DescreenParams read;
  r.U16();
  r.Skip(sizeof read.spare);
  read.patternSize = r.I32();
  read.strength = r.I32();
  read.fast = r.I32();
  ValidateDescreenParams(read);
  block = read;
  return 1;
}

std::int32_t CDescreen::CutOff(std::int32_t patternSize) {
  switch (patternSize) {
    case 0:
      return 85;
    case 1:
      return 51;
    case 2:
      return 21;
    default:
      return kTile;
  }
}

void CDescreen::RadialProfile(std::span<const double> coefficients, std::span<double, kTile> profile) {
  std::fill(profile.begin(), profile.end(), 0.0);
  if (coefficients.size() < kTileValues) return;
  std::array<double, kTileSide> sum{};
  std::array<std::int32_t, kTileSide> count{};
  for (std::size_t r = 0; r < kTileSide; ++r) {
    const double* row = coefficients.data() + r * kTileSide;
    for (std::size_t c = 0; c < kTileSide; ++c) {
      const std::size_t f = (r + c) / 2;
      sum[f] += std::fabs(row[c]);
      ++count[f];
    }
  }
  std::array<double, kTileSide> limit{};
  for (std::size_t f = 0; f < kTileSide; ++f) limit[f] = count[f] ? 4.0 * sum[f] / count[f] : 0.0;
  // Strong peaks do not raise the level they are measured against.
  sum.fill(0.0);
  count.fill(0);
  for (std::size_t r = 0; r < kTileSide; ++r) {
    const double* row = coefficients.data() + r * kTileSide;
    for (std::size_t c = 0; c < kTileSide; ++c) {
      const std::size_t f = (r + c) / 2;
      const double a = std::fabs(row[c]);
      if (a < limit[f]) {
        sum[f] += a;
        ++count[f];
      }
    }
  }
  for (std::size_t f = 0; f < kTileSide; ++f) profile[f] = count[f] ? sum[f] / count[f] : 0.0;
}

void CDescreen::FilterSpectrum(std::span<double> coefficients, std::int32_t patternSize,
                               std::int32_t strength) {
  if (coefficients.size() < kTileValues) return;
  const std::int32_t cutOff = CutOff(patternSize);
  if (cutOff >= kTile) return;
  std::array<double, kTileSide> profile{};
  RadialProfile(coefficients, profile);
  const double s = std::clamp(strength, 0, DescreenParams::kMaxStrength);
  const double g = (100.0 - s) / 40.0 + 1.0;
  const double u = 1.8 * g;
  const double l = s / 10.0;
  // f > cutOff holds from r + c = 2 cutOff + 2 on.
  const std::int32_t firstSum = 2 * cutOff + 2;
  for (std::int32_t r = 0; r < kTile; ++r) {
    double* row = coefficients.data() + std::size_t(r) * kTileSide;
    for (std::int32_t c = std::max(0, firstSum - r); c < kTile; ++c) {
      const double a = std::fabs(row[c]);
      const double p = profile[static_cast<std::size_t>((r + c) / 2)];
      if (a < p) continue;
      double ratio = 0;
      if (p > 0) {
        ratio = a / p;
      } else if (a > 0) {
        ratio = std::numeric_limits<double>::infinity();
      }
      if (ratio > u) {
        row[c] = 0.0;
      } else if (ratio > g) {
        row[c] /= (ratio - g) * l + 1.0;
      }
    }
  }
}

int CDescreen::Process() {
  if (!m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  if (!ReadParamBlock(m_block)) return 0;
  ValidateDescreenParams(m_block);
  BuildGammaTables();
  // Stripes merge only into a target of the source's size.
  if (!m_target->IsEmpty() && (m_target->width != m_source->width || m_target->height != m_source->height)) {
    m_target->Free();
  }
  if (!SplitIntoStripes(kOverlap, kTile)) return 0;
  return RunStripes(*this);
}

int CDescreen::ProcessStripe(StripeTask* task) {
  if (!task || !task->sourceStripe || !task->resultStripe) return 0;
  const CBgraImage16& source = *task->sourceStripe;
  CBgraImage16& result = *task->resultStripe;
  if (source.IsEmpty() || source.height > kTileSide) return 0;
  if (&result != &source && !result.CopyFrom(source)) return 0;

  const bool fast = m_block.fast != 0;
  // Luminance (Y in the R slot) alone, or R, G and B.
  const std::int32_t channels[3] = {2, 1, 0};
  const std::size_t grids = fast ? 1 : 3;
  FftGrid grid[3];
  for (std::size_t g = 0; g < grids; ++g) {
    if (!grid[g].Init(kTileLog2)) return 0;
  }
  if (fast) result.RgbToYcc();

  const std::int64_t tiles = (std::int64_t{result.width} + kStep - 1) / kStep;
  for (std::int64_t k = 0; k < tiles; ++k) {
    const std::int64_t left = kStep * k - kOverlap;
    for (std::size_t g = 0; g < grids; ++g) {
      FillTileFromStripe(result, channels[g], left, grid[g]);
      grid[g].Dct2D(1);
      FilterSpectrum(grid[g].Values(), m_block.patternSize, m_block.strength);
      grid[g].Dct2D(0);
      StoreTileInStripe(grid[g], channels[g], left, result);
    }
  }
  if (fast) result.YccToRgb();
  return 1;
}
