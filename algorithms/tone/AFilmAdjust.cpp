#include "algorithms/tone/AFilmAdjust.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/tone/ApplyToneTables.h"
#include "image/PixelBlock.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::size_t kBlockSize = sizeof(AFilmAdjustParams);
// The film's base where e would stand.
constexpr double kFilmBase = 2.69;
constexpr std::int32_t kTemperatureKnee = 40000;
constexpr std::int32_t kExposureKnee = 50000;
constexpr std::int32_t kFlattenKnee = 20000;  // dynamic range above 0
constexpr std::int32_t kContrastKnee = 5000;  // dynamic range below 0
constexpr std::int32_t kDesaturateKnee = 1000;
constexpr std::int32_t kSharpnessDivisor = 30;

// The 5 x 5 blur the sharpness works against: 0 0 1 0 0 / 0 1 2 1 0 /
// 1 2 4 2 1 / 0 1 2 1 0 / 0 0 1 0 0, over 20.
constexpr std::int32_t kBlurDivisor = 20;
// Draws of the grain's noise: 15 bits, as the runtime generator gives them.
constexpr std::size_t kDraws = 32768;

// A 32-bit mix with full avalanche: every input bit moves every output bit.
std::uint32_t Mix32(std::uint32_t h) {
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

std::uint16_t Clamp16(std::int64_t v) {
  return static_cast<std::uint16_t>(std::clamp<std::int64_t>(v, 0, 65535));
}

void Clamp(std::int32_t& v, std::int32_t low, std::int32_t high) { v = std::clamp(v, low, high); }

}  // namespace

void ValidateAFilmAdjustParams(AFilmAdjustParams& block) {
  using P = AFilmAdjustParams;
  Clamp(block.exposure, -P::kExposureLimit, P::kExposureLimit);
  Clamp(block.dynamicRange, -P::kDynamicRangeLimit, P::kDynamicRangeLimit);
  Clamp(block.temperature, -P::kTemperatureLimit, P::kTemperatureLimit);
  Clamp(block.colourBoost, -P::kColourBoostLimit, P::kColourBoostLimit);
  Clamp(block.grain, 0, P::kGrainLimit);
  Clamp(block.sharpness, -P::kSharpnessLimit, P::kSharpnessLimit);
}

std::array<std::uint8_t, kBlockSize> AFilmAdjustParamsToBytes(const AFilmAdjustParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.Zeros(sizeof block.reserved0);
  for (std::int32_t v : {block.exposure, block.dynamicRange, block.temperature, block.colourBoost,
                         block.grain, block.sharpness}) {
    w.I32(v);
  }
  std::array<std::uint8_t, kBlockSize> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int AFilmAdjustParamsFromBytes(std::span<const std::uint8_t> bytes, AFilmAdjustParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), kBlockSize);
  if (bytes.size() < stored) return 0;
  std::array<std::uint8_t, kBlockSize> merged = AFilmAdjustParamsToBytes(AFilmAdjustParams{});
  std::copy_n(bytes.begin(), stored, merged.begin());
  ByteReader r(merged);
  AFilmAdjustParams read;
  r.Skip(2 + sizeof read.reserved0);  // the size word becomes 28
  for (std::int32_t* v : {&read.exposure, &read.dynamicRange, &read.temperature, &read.colourBoost,
                          &read.grain, &read.sharpness}) {
    *v = r.I32();
  }
  if (!r.ok()) return 0;
  ValidateAFilmAdjustParams(read);
  block = read;
  return 1;
}

int CAFilmAdjust::BuildTables() {
  m_tables = AllocWorkArray<ToneTable>(kTableCount);
  if (!m_tables) return 0;
  for (int i = 0; i < kTableCount; ++i) FillIdentity(m_tables[i]);
  ToneTable& red = m_tables[kRedTable];
  ToneTable& green = m_tables[kGreenTable];
  ToneTable& blue = m_tables[kBlueTable];
  const AFilmAdjustParams& p = m_block;

  if (p.temperature != 0) {
    // t = 400 gives k = 1100: blue 1.1 and red 0.909 when cooling.
    const double k = 1000 + std::abs(p.temperature) / 4;
    if (!ApplyLutGain(p.temperature > 0 ? red : blue, 1000 / k, kTemperatureKnee)) return 0;
    if (!ApplyLutGain(p.temperature > 0 ? blue : red, k / 1000, kTemperatureKnee)) return 0;
  }
  if (p.exposure != 0) {
    const double gain = std::pow(kFilmBase, p.exposure / 10.0);
    for (ToneTable* table : {&red, &green, &blue})
      if (!ApplyLutGain(*table, gain, kExposureKnee)) return 0;
  }
  // At factor 1 a contrast step would still move entry 0 to 1: each step is
  // left out at 0.
  if (p.dynamicRange != 0) {
    const double e = -p.dynamicRange / 150.0;
    const double factor = std::pow(kFilmBase, e > 0 ? e / 2 : e);
    const std::int32_t knee = p.dynamicRange < 1 ? kContrastKnee : kFlattenKnee;
    for (ToneTable* table : {&red, &green, &blue})
      if (!ApplyLutContrast(*table, factor, knee)) return 0;
  }
  if (p.grain > 0) {
    // The noise step of a draw n: trunc(sqrt(n mod 2g)), at most 127.
    m_grainSteps = AllocWorkArray<std::uint8_t>(kDraws);
    if (!m_grainSteps) {
      m_tables.reset();
      return 0;
    }
    const std::uint32_t span = 2 * static_cast<std::uint32_t>(p.grain);
    for (std::uint32_t n = 0; n < kDraws; ++n) {
      m_grainSteps[n] = static_cast<std::uint8_t>(std::sqrt(static_cast<double>(n % span)));
    }
  }
  if (p.colourBoost != 0) {
    for (ToneTable* table : {&m_tables[kCbTable], &m_tables[kCrTable]}) {
      if (p.colourBoost < 0) {
        if (!ApplyLutContrast(*table, (p.colourBoost + 50) / 50.0, kDesaturateKnee)) return 0;
      } else {
        if (!ApplyLutSine(*table, -p.colourBoost / 400.0)) return 0;
      }
    }
  }
  return 1;
}

int CAFilmAdjust::Process() {
  if (!m_params || !m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  if (!ReadParamBlock(m_block)) return 0;
  ValidateAFilmAdjustParams(m_block);
  const AFilmAdjustParams& p = m_block;
  if (p.exposure == 0 && p.dynamicRange == 0 && p.temperature == 0 && p.colourBoost == 0 && p.grain == 0 &&
      p.sharpness == 0) {
    SetProgress(100);
    return m_target->CopyFrom(*m_source);
  }
  if (!BuildTables()) return 0;
  m_grainSeed = m_pinnedSeed.value_or(
      Mix32(static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count())));
  // The blur of the sharpness repeats the edge pixels; so must the stripes'
  // rows beyond the picture.
  m_edgeMode = kEdgeClamp;
  // Stripes are merged only into a target of the source's size.
  if (m_target->width != m_source->width || m_target->height != m_source->height) m_target->Free();
  const int done = SplitIntoStripes(kOverlap, 0) != 0 ? RunStripes(*this) : 0;
  m_tables.reset();
  m_grainSteps.reset();
  return done;
}

int CAFilmAdjust::ProcessStripe(StripeTask* task) {
  if (!task || !task->sourceStripe || !task->resultStripe || !m_tables) return 0;
  CBgraImage16& result = *task->resultStripe;
  if (!ApplyToneTables(*task->sourceStripe, result, m_tables[kBlueTable], m_tables[kGreenTable],
                       m_tables[kRedTable])) {
    return 0;
  }
  if (m_block.colourBoost != 0) {
    result.RgbToYcc();
    const ToneTable& cb = m_tables[kCbTable];
    const ToneTable& cr = m_tables[kCrTable];
    std::uint16_t* p = result.pixels;
    for (std::size_t i = 0, n = std::size_t{result.width} * result.height; i < n; ++i, p += 4) {
      p[0] = cr[p[0]];
      p[1] = cb[p[1]];
    }
    result.YccToRgb();
  }
  if (m_block.sharpness != 0 && !Sharpen(result)) return 0;
  if (m_block.grain != 0 && !AddGrain(result, task->rowFrom)) return 0;
  return 1;
}

int CAFilmAdjust::Sharpen(CBgraImage16& stripe) const {
  if (stripe.IsEmpty()) return 0;
  const std::int64_t w = stripe.width, h = stripe.height;
  const std::size_t rowSamples = stripe.Stride();
  // Row y is written in place once it is read; the blur of the rows below
  // still needs it, and the one before, so the last three rows read are
  // kept as they were.
  auto kept = AllocWorkArray<std::uint16_t>(3 * rowSamples);
  if (!kept) return 0;
  const std::int32_t s = m_block.sharpness;
  const auto sharpened = [s](std::int32_t c, std::int32_t sum) {
    const std::int32_t blurred = sum / kBlurDivisor;
    return static_cast<std::uint16_t>(std::clamp(c + s * (c - blurred) / kSharpnessDivisor, 0, 65535));
  };
  for (std::int64_t y = 0; y < h; ++y) {
    std::uint16_t* out = stripe.Row(static_cast<std::uint32_t>(y));
    std::copy_n(out, rowSamples, kept.get() + static_cast<std::size_t>(y % 3) * rowSamples);
    // Row y + dy as it was before this pass, held to the picture's rows.
    const auto row = [&](std::int64_t dy) -> const std::uint16_t* {
      const std::int64_t k = std::clamp<std::int64_t>(y + dy, 0, h - 1);
      return k <= y ? kept.get() + static_cast<std::size_t>(k % 3) * rowSamples
                    : stripe.Row(static_cast<std::uint32_t>(k));
    };
    const std::uint16_t *r0 = row(-2), *r1 = row(-1), *r2 = row(0), *r3 = row(1), *r4 = row(2);
    // Pixels 2 .. w - 3 read no column beyond the picture: one run over
    // their samples, alpha included (put back below), which the compiler
    // can vectorise.
    for (std::int64_t i = 8; i < 4 * (w - 2); ++i) {
      const std::int32_t sum = r0[i] + r1[i - 4] + 2 * r1[i] + r1[i + 4] + r2[i - 8] + 2 * r2[i - 4] +
                               4 * r2[i] + 2 * r2[i + 4] + r2[i + 8] + r3[i - 4] + 2 * r3[i] + r3[i + 4] +
                               r4[i];
      out[i] = sharpened(r2[i], sum);
    }
    // The two pixels at each end, columns held to the picture.
    for (std::int64_t x = 0; x < w; x = (x == 1 && w > 4) ? w - 2 : x + 1) {
      const auto at = [&](const std::uint16_t* r, std::int64_t dx, int c) {
        return std::int32_t{r[std::clamp<std::int64_t>(x + dx, 0, w - 1) * 4 + c]};
      };
      for (int c = 0; c < 3; ++c) {
        const std::int32_t sum = at(r0, 0, c) + at(r1, -1, c) + 2 * at(r1, 0, c) + at(r1, 1, c) +
                                 at(r2, -2, c) + 2 * at(r2, -1, c) + 4 * at(r2, 0, c) + 2 * at(r2, 1, c) +
                                 at(r2, 2, c) + at(r3, -1, c) + 2 * at(r3, 0, c) + at(r3, 1, c) +
                                 at(r4, 0, c);
        out[x * 4 + c] = sharpened(at(r2, 0, c), sum);
      }
    }
    for (std::int64_t x = 0; x < w; ++x) out[x * 4 + 3] = r2[x * 4 + 3];
  }
  return 1;
}

int CAFilmAdjust::AddGrain(CBgraImage16& stripe, std::int32_t firstRow) const {
  if (stripe.IsEmpty() || !m_grainSteps) return 0;
  // Noise rows for picture rows y - 1, y and y + 1 of stripe row y, each a
  // pixel wider than the stripe on both sides, in a ring of three.
  const std::size_t w = std::size_t{stripe.width} + 2;
  auto noise = AllocWorkArray<std::uint8_t>(3 * w);
  if (!noise) return 0;
  const auto fill = [&](std::int64_t stripeRow) {
    const auto y = static_cast<std::uint32_t>(firstRow + stripeRow);
    const std::uint32_t rowKey = Mix32(m_grainSeed ^ Mix32(y));
    std::uint8_t* out = noise.get() + static_cast<std::size_t>((stripeRow + 3) % 3) * w;
    for (std::size_t i = 0; i < w; ++i) {
      const std::uint32_t x = static_cast<std::uint32_t>(i) - 1;
      const std::uint32_t bits = Mix32(rowKey ^ (x * 0x9E3779B9u));
      // Two draws' worth: a uniform 15-bit value and a sign.
      const std::int32_t v = m_grainSteps[bits & (kDraws - 1)];
      out[i] = static_cast<std::uint8_t>(128 + (((bits >> 15) & 1) != 0 ? -v : v));
    }
  };
  fill(-1);
  fill(0);
  for (std::uint32_t y = 0; y < stripe.height; ++y) {
    fill(std::int64_t{y} + 1);
    const std::uint8_t* above = noise.get() + static_cast<std::size_t>((y + 2) % 3) * w;
    const std::uint8_t* at = noise.get() + static_cast<std::size_t>(y % 3) * w;
    const std::uint8_t* below = noise.get() + static_cast<std::size_t>((y + 1) % 3) * w;
    std::uint16_t* p = stripe.Row(y);
    for (std::size_t x = 0; x < stripe.width; ++x, p += 4) {
      const std::int32_t ring =
          above[x] + above[x + 1] + above[x + 2] + at[x] + at[x + 2] + below[x] + below[x + 1] + below[x + 2];
      const std::int32_t n = (12 * at[x + 1] + ring) / 20 - 128;
      const std::int32_t grey = (p[0] + 6 * p[1] + 3 * p[2]) / 20;
      const std::int32_t add = n * (65535 - grey) / 255;
      for (int c = 0; c < 3; ++c) p[c] = Clamp16(std::int32_t{p[c]} + add);
    }
  }
  return 1;
}
