#include "algorithms/geometry/ContentAwareScale.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/geometry/SeamCarver.h"

namespace {

constexpr std::int64_t kProgressStep = 100;  // carved sizes at which progress and cancel are looked at
constexpr std::int32_t kProgressPlanes = 10;
constexpr std::int32_t kProgressWidthDone = 55;
constexpr std::int32_t kProgressHeightDone = 100;
constexpr std::int32_t kProgressPassSpan = 45;

bool Cancelled() { return theAlgorithmThread.IsCancelRequested() != 0; }

std::int64_t Grey(const std::uint16_t* p) {
  return (6 * std::int64_t{p[1]} + 3 * std::int64_t{p[2]} + p[0]) / 10;
}

// The half-resolution grey: the sum of the four source greys shifted right
// by 10 (linear values, no gamma step).
[[nodiscard]] int MakeHalfGrey(const CBgraImage16& source, std::uint32_t halfWidth, std::uint32_t halfHeight,
                               CPlane8& grey) {
  if (!grey.Create(halfWidth, halfHeight)) return 0;
  for (std::uint32_t y = 0; y < halfHeight; ++y) {
    const std::uint16_t* top = source.Row(2 * y);
    const std::uint16_t* bottom = source.Row(2 * y + 1);
    std::uint8_t* out = grey.pixels + std::size_t{y} * halfWidth;
    for (std::uint32_t x = 0; x < halfWidth; ++x, top += 8, bottom += 8) {
      const std::int64_t sum = Grey(top) + Grey(top + 4) + Grey(bottom) + Grey(bottom + 4);
      out[x] = static_cast<std::uint8_t>(sum >> 10);
    }
  }
  return 1;
}

// Zero on the border, SeamEnergyAt inside.
[[nodiscard]] int MakeEnergy(const CPlane8& grey, CPlane8& energy) {
  if (!energy.Create(grey.width, grey.height)) return 0;
  std::memset(energy.pixels, 0, energy.byteSize);
  const std::ptrdiff_t stride = grey.width;
  for (std::uint32_t y = 1; y + 1 < grey.height; ++y) {
    for (std::uint32_t x = 1; x + 1 < grey.width; ++x) {
      energy.pixels[y * stride + x] = SeamEnergyAt(grey.pixels + y * stride + x, stride);
    }
  }
  return 1;
}

// energy = ((255 - m) energy + 255 m) / 255 with m the protection byte at
// the top-left source pixel of each half-resolution pixel.
void ApplyProtection(const CPlane8& protection, CPlane8& energy) {
  for (std::uint32_t y = 0; y < energy.height; ++y) {
    const std::uint8_t* mask = protection.Row(2 * y);
    std::uint8_t* out = energy.pixels + std::size_t{y} * energy.width;
    for (std::uint32_t x = 0; x < energy.width; ++x) {
      const std::int32_t m = mask[2 * x];
      out[x] = static_cast<std::uint8_t>(((255 - m) * out[x] + 255 * m) / 255);
    }
  }
}

// in transposed into out (height x width), in tiles for the cache.
[[nodiscard]] int TransposePlane(const CPlane8& in, CPlane8& out) {
  if (!out.Create(in.height, in.width)) return 0;
  constexpr std::uint32_t kTile = 64;
  for (std::uint32_t y0 = 0; y0 < in.height; y0 += kTile) {
    for (std::uint32_t x0 = 0; x0 < in.width; x0 += kTile) {
      const std::uint32_t y1 = std::min(y0 + kTile, in.height), x1 = std::min(x0 + kTile, in.width);
      for (std::uint32_t y = y0; y < y1; ++y) {
        for (std::uint32_t x = x0; x < x1; ++x) out.pixels[std::size_t{x} * in.height + y] = *in.At(x, y);
      }
    }
  }
  return 1;
}

// The per-channel integer mean of the pixels first to last (inclusive) of a
// line whose pixels lie step samples apart.
void Mean(const std::uint16_t* line, std::int64_t step, std::int64_t first, std::int64_t last,
          std::uint16_t* out) {
  std::uint64_t sum[4] = {};
  for (std::int64_t p = first; p <= last; ++p) {
    const std::uint16_t* px = line + p * step;
    for (int c = 0; c < 4; ++c) sum[c] += px[c];
  }
  const auto count = static_cast<std::uint64_t>(last - first + 1);
  for (int c = 0; c < 4; ++c) out[c] = static_cast<std::uint16_t>(sum[c] / count);
}

// One target line of b pixels from a source line through a map line of half
// entries (mapStep apart); the seams numbered 1 to limit - 1 are removed.
// Runs of removed entries give half of their source pixels to the kept
// pixel before them and half to the one after; the first run's first half is
// dropped. Pixels left over after the map ends stay as they are.
void ApplyLine(const std::uint16_t* source, std::int64_t sourceStep, const std::uint16_t* map,
               std::int64_t mapStep, std::int64_t half, std::uint16_t* target, std::int64_t targetStep,
               std::int64_t b, std::int64_t limit) {
  const auto removed = [&](std::int64_t m) {
    const std::uint16_t v = map[m * mapStep];
    return v != 0 && v < limit;
  };
  std::int64_t m = 0;
  while (m < half && removed(m)) ++m;
  std::int64_t run = m;
  std::int64_t p = 2 * m;
  std::int64_t t = 0;
  while (t < b && m < half) {
    Mean(source, sourceStep, p - run, p, target + t * targetStep);
    if (++t == b) break;
    // The run after this entry, never past the end of the map line.
    run = 0;
    while (m + 1 + run < half && removed(m + 1 + run)) ++run;
    Mean(source, sourceStep, p + 1, p + 1 + run, target + t * targetStep);
    ++t;
    p += 2 * run + 2;
    m += run + 1;
  }
}

}  // namespace

void ValidateContentAwareScaleParams(ContentAwareScaleParams& block) {
  block.size = sizeof(ContentAwareScaleParams);
  std::fill(std::begin(block.reserved0), std::end(block.reserved0), std::uint8_t{0});
  std::fill(std::begin(block.reserved1), std::end(block.reserved1), std::uint8_t{0});
  block.targetWidth = std::max(block.targetWidth, 0);
  block.targetHeight = std::max(block.targetHeight, 0);
  block.mapsOnly = block.mapsOnly != 0 ? 1 : 0;
}

CContentAwareScale::~CContentAwareScale() = default;

std::span<const std::uint16_t> CContentAwareScale::WidthSeamMap() const {
  if (!m_widthSeamMap) return {};
  return {m_widthSeamMap.get(), std::size_t{m_halfWidth} * m_halfHeight};
}

std::span<const std::uint16_t> CContentAwareScale::HeightSeamMap() const {
  if (!m_heightSeamMap) return {};
  return {m_heightSeamMap.get(), std::size_t{m_halfWidth} * m_halfHeight};
}

void CContentAwareScale::ReleaseWorkBuffers() {
  m_widthSeamMap.reset();
  m_heightSeamMap.reset();
  m_halfWidth = m_halfHeight = 0;
  m_mapSourceWidth = m_mapSourceHeight = 0;
  m_currentWidth = m_currentHeight = 0;
}

int CContentAwareScale::Process() {
  if (!ReadParamBlock(m_block)) return 0;
  ValidateContentAwareScaleParams(m_block);
  if (!m_source || m_source->IsEmpty()) return 0;
  const CBgraImage16& source = *m_source;
  const std::int64_t sw = source.width, sh = source.height;

  if (m_block.mapsOnly) return BuildMaps(source);
  if (!m_target || m_target == m_source) return 0;
  if (m_block.targetWidth == sw && m_block.targetHeight == sh) {
    SetProgress(100);
    return m_target->CopyFrom(source);
  }
  const bool reduceWidth = m_block.targetWidth < sw;
  const std::int64_t side = reduceWidth ? m_block.targetWidth : m_block.targetHeight;
  // Only reductions: a side that would grow has no seams to give.
  if (side < 1 || (!reduceWidth && side >= sh)) return 0;
  if (!MapsServe(source, reduceWidth, side) && !BuildMaps(source)) return 0;
  return ApplyScale(source, *m_target, reduceWidth, side);
}

bool CContentAwareScale::MapsServe(const CBgraImage16& source, bool reduceWidth,
                                   std::int64_t targetSide) const {
  if (m_mapSourceWidth != source.width || m_mapSourceHeight != source.height) return false;
  const LargeArray<std::uint16_t>& map = reduceWidth ? m_widthSeamMap : m_heightSeamMap;
  if (!map) return false;
  // The run removes the seams numbered below limit = half - targetSide div 2.
  const std::int64_t half = reduceWidth ? m_halfWidth : m_halfHeight;
  const std::int64_t reached = reduceWidth ? m_currentWidth : m_currentHeight;
  const std::int64_t limit = half - targetSide / 2;
  return half - reached >= limit - 1;
}

int CContentAwareScale::BuildMaps(const CBgraImage16& source) {
  ReleaseWorkBuffers();
  // A source below 2 x 2 has no half-resolution pixel to carve.
  if (source.width < 2 || source.height < 2) return 0;
  const CPlane8* protection = m_block.protection;
  if (protection &&
      (protection->IsEmpty() || protection->width < source.width || protection->height < source.height))
    return 0;
  const std::uint32_t halfWidth = source.width / 2, halfHeight = source.height / 2;

  CPlane8 grey, energy;
  if (!MakeHalfGrey(source, halfWidth, halfHeight, grey) || !MakeEnergy(grey, energy)) return 0;
  if (protection) ApplyProtection(*protection, energy);
  CPlane8 greyCopy, energyCopy;
  if (!greyCopy.CopyFrom(grey) || !energyCopy.CopyFrom(energy)) return 0;
  const std::uint64_t count = std::uint64_t{halfWidth} * halfHeight;
  m_widthSeamMap = AllocLargeArray<std::uint16_t>(count);
  m_heightSeamMap = AllocLargeArray<std::uint16_t>(count);
  if (!m_widthSeamMap || !m_heightSeamMap) {
    ReleaseWorkBuffers();
    return 0;
  }
  std::fill_n(m_widthSeamMap.get(), count, std::uint16_t{0});
  std::fill_n(m_heightSeamMap.get(), count, std::uint16_t{0});
  m_halfWidth = halfWidth;
  m_halfHeight = halfHeight;
  SetProgress(kProgressPlanes);

  std::uint32_t threads = m_threads;
  if (threads == 0) {
    threads = IsParallelAllowed()
                  ? static_cast<std::uint32_t>(std::max<std::size_t>(theAlgorithmThread.HelperCount(), 1))
                  : 1;
  }
  if (static_cast<std::int64_t>(count) < kSeamMinTeamCells) threads = 1;
  // A team of the engine's choosing adapts to how busy the machine is; a
  // size the caller asked for is kept.
  CSeamCarver carver(threads, m_threads == 0);

  const auto fail = [this] {
    ReleaseWorkBuffers();
    return 0;
  };
  if (Cancelled() || !carver.Reset(std::move(greyCopy), std::move(energyCopy)) ||
      !CarveSeams(carver, m_block.targetWidth / 2, false, m_widthSeamMap.get())) {
    return fail();
  }
  const std::uint32_t currentWidth = carver.Width();
  SetProgress(kProgressWidthDone);

  // The horizontal seams are carved as vertical seams of the transposed
  // planes, as they were before the vertical ones.
  CPlane8 greyColumns, energyColumns;
  if (Cancelled() || !TransposePlane(grey, greyColumns) || !TransposePlane(energy, energyColumns))
    return fail();
  grey = CPlane8();
  energy = CPlane8();
  if (!carver.Reset(std::move(greyColumns), std::move(energyColumns)) ||
      !CarveSeams(carver, m_block.targetHeight / 2, true, m_heightSeamMap.get())) {
    return fail();
  }
  SetProgress(kProgressHeightDone);
  m_mapSourceWidth = source.width;
  m_mapSourceHeight = source.height;
  m_currentWidth = currentWidth;
  m_currentHeight = carver.Width();
  return 1;
}

int CContentAwareScale::CarveSeams(CSeamCarver& carver, std::int64_t stopAt, bool transposed,
                                   std::uint16_t* map) {
  const std::int64_t full = carver.Width(), lines = carver.Height();
  const std::int32_t progressEnd = transposed ? kProgressHeightDone : kProgressWidthDone;
  const std::int64_t stride = m_halfWidth;
  while (carver.Width() > std::max<std::int64_t>(stopAt, 0)) {
    const auto number = static_cast<std::uint16_t>(full - carver.Width() + 1);
    carver.CarveSeam();
    const std::span<const std::uint16_t> removed = carver.RemovedColumns();
    if (transposed) {
      for (std::int64_t x = 0; x < lines; ++x)
        map[removed[static_cast<std::size_t>(x)] * stride + x] = number;
    } else {
      for (std::int64_t y = 0; y < lines; ++y)
        map[y * stride + removed[static_cast<std::size_t>(y)]] = number;
    }
    const std::int64_t now = carver.Width();
    if (now % kProgressStep == 0) {
      SetProgress(static_cast<std::int32_t>(progressEnd - now * kProgressPassSpan / full));
      if (Cancelled()) return 0;
    }
  }
  return 1;
}

int CContentAwareScale::ApplyScale(const CBgraImage16& source, CBgraImage16& target, bool reduceWidth,
                                   std::int64_t targetSide) const {
  const std::uint16_t* map = reduceWidth ? m_widthSeamMap.get() : m_heightSeamMap.get();
  if (!map) return 0;
  const std::int64_t sw = source.width, sh = source.height;
  const std::int64_t hw = m_halfWidth, hh = m_halfHeight;
  if (reduceWidth) {
    if (!target.Create(static_cast<std::uint32_t>(targetSide), source.height)) return 0;
    std::memset(target.pixels, 0, target.byteSize);
    const std::int64_t limit = sw / 2 - targetSide / 2;
    for (std::int64_t y = 0; y < sh; ++y) {
      const std::uint16_t* mapRow = map + std::min(y / 2, hh - 1) * hw;
      ApplyLine(source.Row(static_cast<std::uint32_t>(y)), 4, mapRow, 1, hw,
                target.Row(static_cast<std::uint32_t>(y)), 4, targetSide, limit);
    }
  } else {
    if (!target.Create(source.width, static_cast<std::uint32_t>(targetSide))) return 0;
    std::memset(target.pixels, 0, target.byteSize);
    const std::int64_t limit = sh / 2 - targetSide / 2;
    const auto step = static_cast<std::int64_t>(source.Stride());
    for (std::int64_t x = 0; x < sw; ++x) {
      const std::uint16_t* mapColumn = map + std::min(x / 2, hw - 1);
      ApplyLine(source.pixels + 4 * x, step, mapColumn, hw, hh, target.pixels + 4 * x, step, targetSide,
                limit);
    }
  }
  return 1;
}
