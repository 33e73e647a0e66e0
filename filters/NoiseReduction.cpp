#include "filters/NoiseReduction.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/geometry/ImageSize.h"
#include "image/Plane8.h"
#include "platform/LittleEndian.h"

namespace {

// Pictures whose both sides are below this come back unchanged.
constexpr std::uint32_t kMinFilteredSide = 256;
constexpr std::int32_t kBlockSize = 5;
// Stripes of the block filter: a block writes up to four rows below its
// origin, so two stripes of one wave must lie at least that far apart; a
// multiple of three keeps the normal style's block grid whole across stripes.
constexpr std::int64_t kMinStripeRows = 6;
// The chroma filter costs many times a block per pixel: its stripes are smaller.
constexpr std::int64_t kChromaStripePixels = kStripeOwnPixels / 4;
constexpr std::uint32_t kChromaProgressRows = 300;

int Cancelled() { return theAlgorithmThread.IsCancelRequested(); }

std::uint32_t AbsDiff(std::uint32_t a, std::uint32_t b) { return a > b ? a - b : b - a; }

}  // namespace

void ValidateNoiseReductionParams(NoiseReductionParams& block) {
  block.strength = std::clamp(block.strength, 0, NoiseReductionParams::kMaxStrength);
}

std::array<std::uint8_t, sizeof(NoiseReductionParams)> NoiseReductionParamsToBytes(
    const NoiseReductionParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.Zeros(sizeof block.spare0);
  w.I32(block.strength);
  w.I32(block.chromaPass);
  w.I32(block.chromaOnly);
  w.U8(block.style);
  w.Zeros(sizeof block.spare1);
  std::array<std::uint8_t, sizeof(NoiseReductionParams)> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int NoiseReductionParamsFromBytes(std::span<const std::uint8_t> bytes, NoiseReductionParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), sizeof(NoiseReductionParams));
  if (bytes.size() < stored) return 0;
  // The fields the record holds, in full; a shorter (older) record leaves the
  // rest at the fresh block's values.
  std::array<std::uint8_t, sizeof(NoiseReductionParams)> full = NoiseReductionParamsToBytes({});
  std::copy_n(bytes.begin(), stored, full.begin());
  ByteReader r(full);
  NoiseReductionParams read;
  r.U16();
  r.Skip(sizeof read.spare0);
  read.strength = r.I32();
  read.chromaPass = r.I32();
  read.chromaOnly = r.I32();
  read.style = r.U8();
  read.size = sizeof(NoiseReductionParams);
  ValidateNoiseReductionParams(read);
  block = read;
  return 1;
}

int HalvePlane16(CPlane16& plane) {
  if (plane.IsEmpty()) return 0;
  CPlane16 half;
  const std::uint32_t w = plane.width / 2, h = plane.height / 2;
  if (!half.Create(w, h)) return 0;
  for (std::uint32_t y = 0; y < h; ++y) {
    const std::uint16_t* a = plane.Row(2 * y);
    const std::uint16_t* b = plane.Row(2 * y + 1);
    std::uint16_t* out = half.Row(y);
    for (std::uint32_t x = 0; x < w; ++x) {
      out[x] =
          static_cast<std::uint16_t>((std::uint32_t{a[2 * x]} + a[2 * x + 1] + b[2 * x] + b[2 * x + 1]) >> 2);
    }
  }
  plane = std::move(half);
  return 1;
}

CNoiseReduction::Settings CNoiseReduction::DeriveSettings(const NoiseReductionParams& block) {
  const std::int32_t s = std::clamp(block.strength, 0, NoiseReductionParams::kMaxStrength);
  Settings settings;
  settings.matches = s / 10 + 1;
  settings.chromaRadius = s / 15 + 3;
  settings.chromaThreshold = 140 * s + 3000;
  settings.blend = 60 * s / 100 + 40;
  switch (block.style) {
    case 0:
      settings.blockMargin = 2;
      settings.exclusion = 1;
      settings.searchRadius = 3;
      break;
    case 2:
      settings.blockMargin = 2;
      settings.exclusion = 0;
      settings.searchRadius = 2;
      break;
    default:
      settings.blockMargin = 1;
      settings.exclusion = 1;
      settings.searchRadius = 4;
      break;
  }
  return settings;
}

int CNoiseReduction::Process() {
  if (!m_source || m_source->IsEmpty() || !m_target) return 0;
  if (!ReadParamBlock(m_block)) return 0;
  ValidateNoiseReductionParams(m_block);
  m_settings = DeriveSettings(m_block);
  SetProgress(1);

  if (!m_target->CopyFrom(*m_source)) return 0;
  const std::uint32_t w = m_source->width, h = m_source->height;
  if (w < kMinFilteredSide && h < kMinFilteredSide) return 1;

  if (!m_work.CopyFrom(*m_source)) return 0;
  m_work.RgbToYcc();
  if (Cancelled()) return 1;

  if (!m_luminance.CopyChannel(m_work, 2) || !SmoothAlongEdges()) return 0;
  if (m_block.style == 2 && (!HalvePlane16(m_edges) || !HalvePlane16(m_luminance))) return 0;
  if (Cancelled()) return 1;

  SetProgress(5);
  const bool chroma = m_block.chromaPass != 0 || m_block.chromaOnly != 0;
  if (!m_block.chromaOnly && !RunBlockFilter(chroma ? 60 : 90)) return 0;
  if (chroma) {
    SetProgress(60);
    if (!ReduceChromaNoise()) return 0;
  }

  // The target keeps the source's alpha; the working image's fourth channel
  // holds edge strengths.
  for (std::uint32_t y = 0; y < h; ++y) {
    const std::uint16_t* in = m_work.Row(y);
    std::uint16_t* out = m_target->Row(y);
    for (std::uint32_t x = 0; x < w; ++x, in += 4, out += 4) std::memcpy(out, in, 3 * sizeof(std::uint16_t));
  }
  m_target->YccToRgb();
  return 1;
}

std::int32_t CNoiseReduction::RowPassStripeRows(std::int64_t pixelsPerStripe) const {
  const std::int64_t w = m_source->width, h = m_source->height;
  if (w * h < kStripeMinPixels) return static_cast<std::int32_t>(h);
  return static_cast<std::int32_t>(std::max<std::int64_t>(pixelsPerStripe / w, 1));
}

int CNoiseReduction::SmoothAlongEdges() {
  const std::uint32_t w = m_luminance.width, h = m_luminance.height;
  if (!m_edges.Create(w, h) || !m_unsmoothed.Create(w, h) || !m_codes.Create(w, h)) return 0;
  std::memset(m_edges.pixels, 0, m_edges.byteSize);
  std::memcpy(m_unsmoothed.pixels, m_luminance.pixels, m_luminance.byteSize);
  std::memset(m_codes.pixels, 0, m_codes.byteSize);
  int ok = 1;
  if (w >= 3 && h >= 3) {
    const std::int32_t stripeRows = RowPassStripeRows(kStripeOwnPixels);
    ok = RunPass(Pass::kEdgeCodes, static_cast<std::int32_t>(h), stripeRows, -1, 1, 3) &&
         RunPass(Pass::kEdgeSmoothing, static_cast<std::int32_t>(h), stripeRows, -1, 3, 5);
  }
  m_unsmoothed.Free();
  m_codes.Free();
  return ok;
}

// Direction codes: 1 horizontal edge, 2 vertical, 3 rising (bottom-left to
// top-right), 4 falling; the first largest difference wins.
void CNoiseReduction::FindEdges(std::uint32_t rowStart, std::uint32_t rowEnd) {
  const std::uint32_t w = m_unsmoothed.width, h = m_unsmoothed.height;
  for (std::uint32_t y = std::max(rowStart, 1u); y < rowEnd && y + 1 < h; ++y) {
    const std::uint16_t* up = m_unsmoothed.Row(y - 1);
    const std::uint16_t* mid = m_unsmoothed.Row(y);
    const std::uint16_t* down = m_unsmoothed.Row(y + 1);
    std::uint16_t* edge = m_edges.Row(y);
    std::uint16_t* work = m_work.Row(y);
    std::uint8_t* code = m_codes.Row(y);
    for (std::uint32_t x = 1; x + 1 < w; ++x) {
      const std::int32_t tl = up[x - 1], t = up[x], tr = up[x + 1];
      const std::int32_t l = mid[x - 1], r = mid[x + 1];
      const std::int32_t bl = down[x - 1], b = down[x], br = down[x + 1];
      const std::int32_t d[4] = {std::abs(tl + t + tr - bl - b - br), std::abs(tl + l + bl - tr - r - br),
                                 std::abs(tl + t + l - r - b - br), std::abs(t + tr + r - l - bl - b)};
      std::int32_t best = 0;
      for (std::int32_t k = 1; k < 4; ++k) {
        if (d[k] > d[best]) best = k;
      }
      const auto strength = static_cast<std::uint16_t>(std::min(d[best], 65535));
      edge[x] = strength;
      work[4 * x + 3] = strength;
      code[x] = static_cast<std::uint8_t>(best + 1);
    }
  }
}

// Each pixel averaged with its two neighbours along its edge, leaving out a
// neighbour that lies on an edge crossing this one.
void CNoiseReduction::SmoothEdgeRows(std::uint32_t rowStart, std::uint32_t rowEnd) {
  struct Along {
    std::int32_t dx, dy;
    std::uint8_t crossing;
  };
  static constexpr Along kAlong[5] = {{0, 0, 0}, {1, 0, 2}, {0, 1, 1}, {1, -1, 4}, {1, 1, 3}};
  const std::uint32_t w = m_unsmoothed.width, h = m_unsmoothed.height;
  for (std::uint32_t y = std::max(rowStart, 1u); y < rowEnd && y + 1 < h; ++y) {
    std::uint16_t* work = m_work.Row(y);
    std::uint16_t* lum = m_luminance.Row(y);
    const std::uint16_t* own = m_unsmoothed.Row(y);
    const std::uint8_t* codes = m_codes.Row(y);
    for (std::uint32_t x = 1; x + 1 < w; ++x) {
      std::uint32_t sum = own[x];
      std::uint32_t count = 1;
      if (codes[x] != 0) {
        const Along& a = kAlong[codes[x]];
        for (const std::int32_t side : {1, -1}) {
          const auto nx = static_cast<std::uint32_t>(static_cast<std::int32_t>(x) + side * a.dx);
          const auto ny = static_cast<std::uint32_t>(static_cast<std::int32_t>(y) + side * a.dy);
          if (m_codes.Row(ny)[nx] == a.crossing) continue;
          sum += m_unsmoothed.Row(ny)[nx];
          ++count;
        }
      }
      const auto value = static_cast<std::uint16_t>(sum / count);
      lum[x] = value;
      work[4 * x + 2] = value;
    }
  }
}

int CNoiseReduction::RunPass(Pass pass, std::int32_t rows, std::int32_t stripeRows, std::int32_t parity,
                             std::int32_t fromPercent, std::int32_t toPercent) {
  const std::int32_t step = std::max(stripeRows, 1);
  std::vector<StripeTask> tasks;
  std::int32_t index = 0;
  for (std::int32_t s = 0; s < rows; s += step, ++index) {
    if (parity >= 0 && index % 2 != parity) continue;
    const std::int32_t end = std::min(s + step, rows);
    tasks.push_back({s, end, s, end, m_source, m_target, kStripePending, this});
  }
  if (tasks.empty()) return 1;

  // The pass reports in its own part of the range: stripes finishing count
  // up to its end, and a single task's rows to its end too.
  m_savedLo = m_progressLo;
  m_savedHi = m_progressHi;
  const std::int64_t span = std::int64_t{m_savedHi} - m_savedLo;
  m_progressLo = static_cast<std::int32_t>(m_savedLo + span * fromPercent / 100);
  m_progressHi = static_cast<std::int32_t>(m_savedLo + span * toPercent / 100);
  m_pass = pass;
  int ok = 1;
  if (tasks.size() == 1 || !IsParallelAllowed()) {
    // One by one on this thread; RunStripes runs a single task here.
    for (const StripeTask& task : tasks) {
      if (Cancelled()) break;
      ClearTasks();
      {
        std::lock_guard lock(m_lock);
        m_tasks.push_back(task);
      }
      if (!RunStripes(*this)) ok = 0;
    }
  } else {
    ClearTasks();
    {
      std::lock_guard lock(m_lock);
      m_tasks = std::move(tasks);
    }
    ok = RunStripes(*this);
  }
  m_progressLo = m_savedLo;
  m_progressHi = m_savedHi;
  return ok;
}

int CNoiseReduction::RunBlockFilter(std::int32_t endPercent) {
  // The stripe layout depends on the picture alone: a whole picture is one
  // task unless it is large, then stripes of about kStripeOwnPixels each,
  // whether or not helpers run them. A multiple of three rows keeps the
  // normal style's block grid whole across stripes.
  const std::int64_t w = m_source->width, h = m_source->height;
  std::int64_t stripeRows = h;
  if (w * h >= kStripeMinPixels) stripeRows = std::max(kStripeOwnPixels / w / 3 * 3, kMinStripeRows);
  // Stripes of one wave lie a stripe apart, so none reads or writes rows
  // another of its wave touches.
  const std::int32_t middle = (5 + endPercent) / 2;
  const int even = RunPass(Pass::kBlocks, static_cast<std::int32_t>(h), static_cast<std::int32_t>(stripeRows),
                           0, 5, middle);
  const int odd = RunPass(Pass::kBlocks, static_cast<std::int32_t>(h), static_cast<std::int32_t>(stripeRows),
                          1, middle, endPercent);
  return even && odd;
}

int CNoiseReduction::PrepareStripe(StripeTask* task, CBgraImage16&, CBgraImage16&) {
  std::lock_guard lock(m_lock);
  task->sourceStripe = m_source;
  task->resultStripe = m_target;
  return 1;
}

void CNoiseReduction::MergeStripe(const CBgraImage16&, std::int32_t, std::int32_t, std::int32_t) {}

int CNoiseReduction::ProcessStripe(StripeTask* task) {
  const auto rowStart = static_cast<std::uint32_t>(task->rowStart);
  const auto rowEnd = static_cast<std::uint32_t>(task->rowEnd);
  switch (m_pass) {
    case Pass::kEdgeCodes:
      FindEdges(rowStart, rowEnd);
      return 1;
    case Pass::kEdgeSmoothing:
      SmoothEdgeRows(rowStart, rowEnd);
      return 1;
    case Pass::kChroma:
      FilterChroma(rowStart, rowEnd);
      return 1;
    case Pass::kBlocks:
      break;
  }
  const std::int32_t w = static_cast<std::int32_t>(m_source->width);
  const std::int32_t h = static_cast<std::int32_t>(m_source->height);
  const std::int32_t step = kBlockSize - 2 * m_settings.blockMargin;
  for (std::int32_t y = task->rowStart; y < task->rowEnd && y < h - kBlockSize; y += step) {
    for (std::int32_t x = 0; x < w - kBlockSize; x += step) FilterBlock(x, y);
    if (Cancelled()) break;
  }
  return 1;
}

void CNoiseReduction::FilterBlock(std::int32_t x, std::int32_t y) {
  constexpr std::int32_t N = kBlockSize;
  std::uint16_t refY[N * N];
  std::uint16_t refE[N * N];
  for (std::int32_t r = 0; r < N; ++r) {
    const std::uint16_t* p = m_work.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y + r));
    for (std::int32_t c = 0; c < N; ++c, p += 4) {
      refY[r * N + c] = p[2];
      refE[r * N + c] = p[3];
    }
  }

  const bool half = m_block.style == 2;
  const std::int32_t px = half ? x / 2 : x;
  const std::int32_t py = half ? y / 2 : y;
  const std::int32_t radius = m_settings.searchRadius;
  const auto pw = static_cast<std::int32_t>(m_luminance.width);
  const auto ph = static_cast<std::int32_t>(m_luminance.height);
  if (m_luminance.IsEmpty() || m_luminance.pixelCount == 0) return;
  const std::int32_t cx0 = std::max(px - radius, 0), cx1 = std::min(px + radius, pw - N);
  const std::int32_t cy0 = std::max(py - radius, 0), cy1 = std::min(py + radius, ph - N);

  struct Match {
    std::uint32_t distance;
    std::int32_t cx, cy;
  };
  Match kept[kMaxMatches];
  const auto K = static_cast<std::size_t>(std::clamp<std::int32_t>(m_settings.matches, 1, kMaxMatches));
  std::size_t count = 0;
  std::uint32_t limit = 0x7FFFFFFF;
  for (std::int32_t cy = cy0; cy < cy1; ++cy) {
    for (std::int32_t cx = cx0; cx < cx1; ++cx) {
      if (std::abs(cx - px) + std::abs(cy - py) <= m_settings.exclusion) continue;
      std::uint32_t distance = 0;
      for (std::int32_t r = 0; r < N && distance <= limit; ++r) {
        const std::uint16_t* lum = m_luminance.Row(static_cast<std::uint32_t>(cy + r)) + cx;
        const std::uint16_t* edge = m_edges.Row(static_cast<std::uint32_t>(cy + r)) + cx;
        const std::uint16_t* ry = refY + r * N;
        const std::uint16_t* re = refE + r * N;
        for (std::int32_t c = 0; c < N; ++c) distance += AbsDiff(ry[c], lum[c]) + AbsDiff(re[c], edge[c]);
      }
      if (distance >= limit) continue;
      std::size_t at = 0;
      while (at < count && kept[at].distance <= distance) ++at;
      const std::size_t last = std::min(count, K - 1);
      for (std::size_t i = last; i > at; --i) kept[i] = kept[i - 1];
      kept[at] = {distance, cx, cy};
      if (count < K) ++count;
      if (count == K) limit = kept[K - 1].distance;
    }
  }
  if (count == 0) return;

  const std::uint32_t d0 = kept[0].distance, dL = kept[count - 1].distance;
  std::uint32_t weight[kMaxMatches];
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < count; ++i) {
    weight[i] = (dL + d0 + 1 - kept[i].distance) / 100 + 1;
    total += weight[i];
  }
  const std::uint32_t own = weight[0];
  total += own;

  const std::int32_t m = m_settings.blockMargin;
  const std::int32_t blend = m_settings.blend;
  for (std::int32_t r = m; r < N - m; ++r) {
    std::uint16_t* p = m_work.At(static_cast<std::uint32_t>(x + m), static_cast<std::uint32_t>(y + r));
    for (std::int32_t c = m; c < N - m; ++c, p += 4) {
      const std::int32_t C = p[2];
      std::uint64_t sum = std::uint64_t{own} * static_cast<std::uint32_t>(C);
      for (std::size_t i = 0; i < count; ++i) {
        sum += std::uint64_t{weight[i]} *
               m_luminance.Row(static_cast<std::uint32_t>(kept[i].cy + r))[kept[i].cx + c];
      }
      const auto M = static_cast<std::int32_t>(sum / total);
      const std::int32_t F = std::clamp(256 - p[3] / 40, 0, 256);
      const std::int32_t P = (F * 100 + (256 - F) * blend) >> 8;
      p[2] = static_cast<std::uint16_t>(C + P * (M - C) / 100);
    }
  }
}

int CNoiseReduction::ReduceChromaNoise() {
  const std::uint32_t w = m_work.width, h = m_work.height;
  const std::uint32_t hw = w >> 1, hh = h >> 1;
  // A picture one pixel across has no half image to filter.
  if (hw == 0 || hh == 0) return 1;
  CImageSize size;
  size.NestIn(*this, 0, 0);
  if (!size.ResizeSeparable(m_work, m_half, static_cast<std::int32_t>(hw), static_cast<std::int32_t>(hh),
                            kCubicB, kCubicC)) {
    return 0;
  }
  if (Cancelled()) return 1;

  SetProgress(70);
  if (!m_luminance.CopyChannel(m_work, 2) || !m_cb.CopyChannel(m_half, 1) || !m_cr.CopyChannel(m_half, 0)) {
    return 0;
  }

  const int filtered =
      RunPass(Pass::kChroma, static_cast<std::int32_t>(hh),
              std::int64_t{w} * h >= kStripeMinPixels
                  ? static_cast<std::int32_t>(std::max<std::int64_t>(kChromaStripePixels / hw, 1))
                  : static_cast<std::int32_t>(hh),
              -1, 70, 90);
  if (!filtered) return 0;

  SetProgress(90);
  // Enlarging never takes the supersampling path, whose cancel test would
  // leave rows empty; -1 turns that test off all the same.
  size.m_rangeLo = -1;
  if (!size.ResizeBilinear(m_half, m_work, static_cast<std::int32_t>(w), static_cast<std::int32_t>(h)))
    return 0;
  const std::uint16_t* lum = m_luminance.pixels;
  std::uint16_t* p = m_work.pixels;
  for (std::uint32_t i = 0; i < m_work.pixelCount; ++i, p += 4) p[2] = lum[i];
  return 1;
}

void CNoiseReduction::FilterChroma(std::uint32_t rowStart, std::uint32_t rowEnd) {
  const std::int32_t hw = static_cast<std::int32_t>(m_half.width);
  const std::int32_t hh = static_cast<std::int32_t>(m_half.height);
  const std::int32_t radius = m_settings.chromaRadius;
  const auto threshold = static_cast<std::uint32_t>(m_settings.chromaThreshold);
  for (std::uint32_t row = rowStart; row < rowEnd; ++row) {
    if (row % kChromaProgressRows == 0) {
      if (Cancelled()) return;
      if (TaskCount() <= 1) SetProgress(static_cast<std::int32_t>(std::int64_t{row} * 100 / hh));
    }
    const auto i = static_cast<std::int32_t>(row);
    const std::int32_t r0 = std::max(i - radius, 0), r1 = std::min(i + radius + 1, hh);
    std::uint16_t* p = m_half.Row(row);
    for (std::int32_t j = 0; j < hw; ++j, p += 4) {
      const std::uint32_t Y = p[2], cb = p[1], cr = p[0];
      // Nearly neutral pixels compare their neighbours with neutral grey.
      const std::uint32_t refCb = AbsDiff(cb, 0x8000) < 2000 ? 0x8000 : cb;
      const std::uint32_t refCr = AbsDiff(cr, 0x8000) < 2000 ? 0x8000 : cr;
      const std::uint32_t near = Y / 20;
      std::uint32_t sumCb = cb, sumCr = cr, count = 1;
      const std::int32_t c0 = std::max(j - radius, 0), c1 = std::min(j + radius + 1, hw);
      for (std::int32_t r = r0; r < r1; r += 2) {
        const std::uint16_t* ny = m_half.Row(static_cast<std::uint32_t>(r));
        const std::uint16_t* ncb = m_cb.Row(static_cast<std::uint32_t>(r));
        const std::uint16_t* ncr = m_cr.Row(static_cast<std::uint32_t>(r));
        for (std::int32_t c = c0; c < c1; c += 2) {
          if (AbsDiff(ny[4 * c + 2], Y) >= near) continue;
          if (AbsDiff(ncr[c], refCr) + AbsDiff(ncb[c], refCb) >= threshold) continue;
          sumCb += ncb[c];
          sumCr += ncr[c];
          ++count;
        }
      }
      p[1] = static_cast<std::uint16_t>(sumCb / count);
      p[0] = static_cast<std::uint16_t>(sumCr / count);
    }
  }
}

std::int32_t CNoiseReduction::EstimateNoiseLevel(const CBgraImage16& image) {
  constexpr std::int32_t kNothingMeasured = 50;
  if (image.IsEmpty()) return kNothingMeasured;
  const std::uint32_t sw = image.width / 32, sh = image.height / 32;
  CImageSize size;
  size.m_rangeLo = -1;  // no progress and no cancel test: the shrink is always whole
  CBgraImage16 small;
  if (!size.ResizeBilinear(image, small, static_cast<std::int32_t>(sw), static_cast<std::int32_t>(sh))) {
    return kNothingMeasured;
  }
  if (sw <= 2 || sh <= 2) return kNothingMeasured;
  small.RgbToYcc();

  // Each mid-tone small pixel's contrast with its four neighbours; the
  // flattest of them sets which places count as flat.
  std::vector<std::uint32_t> contrast(std::size_t{sw} * sh, 65535);
  std::uint32_t least = 65535;
  for (std::uint32_t y = 1; y + 1 < sh; ++y) {
    for (std::uint32_t x = 1; x + 1 < sw; ++x) {
      const std::uint32_t Y = small.At(x, y)[2];
      if (Y <= 10000 || Y >= 50000) continue;
      const std::uint32_t c =
          std::min<std::uint32_t>(AbsDiff(Y, small.At(x, y - 1)[2]) + AbsDiff(Y, small.At(x, y + 1)[2]) +
                                      AbsDiff(Y, small.At(x - 1, y)[2]) + AbsDiff(Y, small.At(x + 1, y)[2]),
                                  65535);
      contrast[std::size_t{y} * sw + x] = c;
      least = std::min(least, c);
    }
  }
  const std::uint32_t threshold = std::max<std::uint32_t>(2 * least, 128);

  double sum = 0, count = 0;
  for (std::uint32_t y = 1; y + 1 < sh; ++y) {
    for (std::uint32_t x = 1; x + 1 < sw; ++x) {
      if (contrast[std::size_t{y} * sw + x] >= threshold) continue;
      std::int64_t grey[81];
      std::int64_t total = 0;
      for (std::uint32_t r = 0; r < 9; ++r) {
        const std::uint16_t* p = image.At(32 * x - 3, 32 * y - 4 + r);
        for (std::uint32_t c = 0; c < 9; ++c, p += 4) {
          grey[r * 9 + c] = (6 * std::int64_t{p[1]} + 3 * std::int64_t{p[2]} + p[0]) / 10;
          total += grey[r * 9 + c];
        }
      }
      const std::int64_t mean = total / 81;
      for (const std::int64_t g : grey) sum += static_cast<double>((g - mean) * (g - mean));
      count += 81;
    }
  }
  if (count == 0) return kNothingMeasured;
  const double sigma = std::sqrt(sum / count);
  const double level = 8 + std::trunc((sigma - 1000) / 32);
  return static_cast<std::int32_t>(std::clamp(level, 8.0, 100.0));
}
