#include "filters/SkinClean.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/ChannelOP.h"
#include "algorithms/GaussBlur.h"
#include "algorithms/RuntimeRandom.h"
#include "algorithms/ToneTable.h"
#include "algorithms/tone/AFilmAdjust.h"
#include "filters/NoiseReduction.h"
#include "image/ColorModel.h"
#include "image/PixelBlock.h"
#include "platform/LittleEndian.h"

namespace {

// The bell curve's base where e would stand.
constexpr double kBellBase = 2.7188282;
constexpr std::uint32_t kMinMaskValue = 8;  // lower skin values count as none
constexpr std::uint32_t kErodeDivisor = 500;
constexpr std::int32_t kMinErosion = 2;
constexpr std::uint32_t kToneBlurDivisor = 200;
constexpr std::int32_t kNoiseReductionStrength = 90;
constexpr std::uint32_t kProgressLines = 200;
constexpr double kGrainBlurRadius = 0.6;
constexpr std::int32_t kGrainStrength = 30;

int Cancelled() { return theAlgorithmThread.IsCancelRequested(); }

std::uint16_t Clamp16(std::int64_t v) {
  return static_cast<std::uint16_t>(std::clamp<std::int64_t>(v, 0, 65535));
}

}  // namespace

void ValidateSkinCleanParams(SkinCleanParams& block) {
  using P = SkinCleanParams;
  block.radius = std::clamp(block.radius, P::kMinRadius, P::kMaxRadius);
  block.amount = std::clamp(block.amount, 0, P::kMaxAmount);
  block.tint = std::clamp(block.tint, 0, P::kMaxTint);
}

std::array<std::uint8_t, sizeof(SkinCleanParams)> SkinCleanParamsToBytes(const SkinCleanParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.Zeros(sizeof block.spare0);
  for (const std::int32_t v :
       {block.radius, block.amount, block.lightness, block.tint, block.noiseReduction, block.texture}) {
    w.I32(v);
  }
  w.Zeros(sizeof block.spare1);
  w.U64(block.skinColour);
  std::array<std::uint8_t, sizeof(SkinCleanParams)> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int SkinCleanParamsFromBytes(std::span<const std::uint8_t> bytes, SkinCleanParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), sizeof(SkinCleanParams));
  if (bytes.size() < stored) return 0;
  std::array<std::uint8_t, sizeof(SkinCleanParams)> full = SkinCleanParamsToBytes({});
  std::copy_n(bytes.begin(), stored, full.begin());
  ByteReader r(full);
  SkinCleanParams read;
  r.Skip(2 + sizeof read.spare0);  // the size word becomes 40
  for (std::int32_t* v :
       {&read.radius, &read.amount, &read.lightness, &read.tint, &read.noiseReduction, &read.texture}) {
    *v = r.I32();
  }
  r.Skip(sizeof read.spare1);
  read.skinColour = r.U64();
  if (!r.ok()) return 0;
  ValidateSkinCleanParams(read);
  block = read;
  return 1;
}

void CSkinClean::FillRampTable(std::span<std::uint8_t, kTableSize> table, std::uint32_t reference,
                               double slope, double offset) {
  const std::uint32_t half = (reference + 65535) / 2;
  for (std::uint32_t i = 0; i < kTableSize; ++i) {
    if (i < reference) {
      table[i] = static_cast<std::uint8_t>(255 * std::clamp(slope * i / reference - offset, 0.0, 1.0));
    } else if (i < half || half == 65535) {
      table[i] = 255;
    } else {
      table[i] = static_cast<std::uint8_t>(255 - 255 * (i - half) / (65535 - half));
    }
  }
}

void CSkinClean::BuildKernel() {
  const double r = std::clamp(m_block.radius, SkinCleanParams::kMinRadius, SkinCleanParams::kMaxRadius);
  m_kernel.fill(0);
  m_kernelHalf = kKernelCentre;
  for (std::int32_t i = 0; i < kKernelCentre; ++i) {
    const auto w = static_cast<std::int32_t>(255 * std::pow(kBellBase, -double(i) * i / (2 * r * r)));
    m_kernel[static_cast<std::size_t>(kKernelCentre + i)] = w;
    m_kernel[static_cast<std::size_t>(kKernelCentre - i)] = w;
    if (w == 0) {
      m_kernelHalf = i;
      break;
    }
  }
}

int CSkinClean::Process() {
  if (!m_params || !m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  if (!ReadParamBlock(m_block)) return 0;
  ValidateSkinCleanParams(m_block);
  if (!BuildSkinMask()) return 0;
  if (Cancelled()) return 1;
  if (!ToneSkin()) return 0;
  SetProgress(30);
  if (m_block.amount != 0) {
    if (m_block.noiseReduction) {
      CNoiseReduction reduce;
      reduce.NestIn(*this, 30, 90);
      NoiseReductionParams params;
      params.strength = kNoiseReductionStrength;
      params.chromaPass = 0;
      params.chromaOnly = 0;
      params.style = 0;
      reduce.m_source = &m_toned;
      reduce.m_target = m_target;
      reduce.m_params = &params;
      if (!reduce.Process()) return 0;
    } else {
      BuildKernel();
      if (!SmoothMasked()) return 0;
    }
  } else if (!m_target->CopyFrom(m_toned)) {
    return 0;
  }
  BlendResult();
  return m_block.texture ? AddGrain() : 1;
}

int CSkinClean::BuildSkinMask() {
  const std::uint32_t W = m_source->width, H = m_source->height;
  std::uint16_t reference[4] = {static_cast<std::uint16_t>(m_block.skinColour),
                                static_cast<std::uint16_t>(m_block.skinColour >> 16),
                                static_cast<std::uint16_t>(m_block.skinColour >> 32),
                                static_cast<std::uint16_t>(m_block.skinColour >> 48)};
  RgbToHsl16(reference, 1);
  const std::int32_t refHue = reference[2];

  auto tables = AllocWorkArray<std::uint8_t>(3 * kTableSize);
  auto row = AllocWorkArray<std::uint16_t>(std::size_t{W} * 4);
  if (!tables || !row || !m_mask.Create(W, H)) return 0;
  std::uint8_t* hue = tables.get();
  std::uint8_t* saturation = hue + kTableSize;
  std::uint8_t* lightness = saturation + kTableSize;
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(kTableSize); ++i) {
    const std::int32_t d =
        std::min({std::abs(i - refHue), std::abs(i - refHue + 65536), std::abs(refHue + 65535 - i)});
    hue[i] = static_cast<std::uint8_t>(d < 2000 ? 255 : d < 5000 ? 255 - 255 * (d - 2000) / 3000 : 0);
  }
  FillRampTable(std::span<std::uint8_t, kTableSize>(saturation, kTableSize), reference[1], 2.0, 0.3);
  FillRampTable(std::span<std::uint8_t, kTableSize>(lightness, kTableSize), reference[0], 2.5, 0.2);

  for (std::uint32_t y = 0; y < H; ++y) {
    std::memcpy(row.get(), m_source->Row(y), std::size_t{W} * 4 * sizeof(std::uint16_t));
    RgbToHsl16(row.get(), W);
    const std::uint16_t* hsl = row.get();
    std::uint8_t* out = m_mask.Row(y);
    for (std::uint32_t x = 0; x < W; ++x, hsl += 4) {
      const std::uint32_t v = std::uint32_t{hue[hsl[2]]} * saturation[hsl[1]] * lightness[hsl[0]] / 65025;
      out[x] = static_cast<std::uint8_t>(v < kMinMaskValue ? 0 : v);
    }
  }
  SetProgress(1);
  if (Cancelled()) return 1;

  const std::int32_t erosion =
      std::max(static_cast<std::int32_t>(std::min(W, H) / kErodeDivisor), kMinErosion);
  CChannelOP op;
  CPlane8 eroded;
  if (!op.ErodeMask(m_mask, eroded, erosion, 0)) return 0;
  if (Cancelled()) return 1;
  SetProgress(5);
  CGaussBlur blur;
  return blur.BlurPlane(eroded, m_mask, erosion * 0.5);
}

int CSkinClean::ToneSkin() {
  CAFilmAdjust film;
  film.NestIn(*this, 5, 30);
  AFilmAdjustParams filmParams;
  filmParams.exposure = m_block.lightness;
  film.m_source = m_source;
  film.m_target = &m_toned;
  film.m_params = &filmParams;
  if (!film.Process()) return 0;

  const std::int32_t t = m_block.tint;
  if (t != 0) {
    auto tables = AllocWorkArray<ToneTable>(2);
    if (!tables) return 0;
    ToneTable& blue = tables[0];
    ToneTable& greenRed = tables[1];
    FillIdentity(blue);
    FillIdentity(greenRed);
    if (!ApplyLutGain(blue, 1 + t / 400.0, 100 * t) || !ApplyLutGain(greenRed, 1 - t / 800.0, 0)) return 0;
    for (std::uint32_t y = 0; y < m_toned.height; ++y) {
      std::uint16_t* p = m_toned.Row(y);
      for (std::uint32_t x = 0; x < m_toned.width; ++x, p += 4) {
        p[0] = blue[p[0]];
        p[1] = greenRed[p[1]];
        p[2] = greenRed[p[2]];
      }
    }
  }

  CGaussBlur blur;
  CPlane8 soft;
  if (!blur.BlurPlane(m_mask, soft, std::min(m_mask.width, m_mask.height) / kToneBlurDivisor + 1)) return 0;
  for (std::uint32_t y = 0; y < m_toned.height; ++y) {
    const std::uint16_t* in = m_source->Row(y);
    const std::uint8_t* weight = soft.Row(y);
    std::uint16_t* out = m_toned.Row(y);
    for (std::uint32_t x = 0; x < m_toned.width; ++x, in += 4, out += 4) {
      const std::uint32_t m = weight[x];
      if (m == 0) {
        std::memcpy(out, in, 4 * sizeof(std::uint16_t));
        continue;
      }
      for (int k = 0; k < 3; ++k) out[k] = static_cast<std::uint16_t>((in[k] * (255 - m) + out[k] * m) / 255);
      out[3] = in[3];
    }
  }
  return 1;
}

int CSkinClean::SmoothMasked() {
  const std::uint32_t W = m_source->width, H = m_source->height;
  // Both start as the toned image, so a cancelled smoothing leaves toned
  // pixels where it did not reach.
  CBgraImage16 rows;
  if (!rows.CopyFrom(m_toned) || !m_target->CopyFrom(m_toned)) return 0;
  for (std::uint32_t y = 0; y < H; ++y) {
    if (y % kProgressLines == 0) {
      if (Cancelled()) return 1;
      SetProgress(static_cast<std::int32_t>(30 + 30 * std::uint64_t{y} / H));
    }
    BlurLineMasked(m_toned.Row(y), rows.Row(y), m_mask.Row(y), W, 1);
  }
  SetProgress(60);
  for (std::uint32_t x = 0; x < W; ++x) {
    if (x % kProgressLines == 0) {
      if (Cancelled()) return 1;
      SetProgress(static_cast<std::int32_t>(60 + 40 * std::uint64_t{x} / W));
    }
    BlurLineMasked(rows.At(x, 0), m_target->At(x, 0), m_mask.pixels + x, H, W);
  }
  return 1;
}

void CSkinClean::BlurLineMasked(const std::uint16_t* source, std::uint16_t* result, const std::uint8_t* mask,
                                std::size_t count, std::size_t step) const {
  const auto K = static_cast<std::ptrdiff_t>(m_kernelHalf);
  const auto n = static_cast<std::ptrdiff_t>(count);
  const std::size_t pixelStep = step * 4;
  for (std::ptrdiff_t i = 0; i < n; ++i) {
    const std::uint16_t* in = source + static_cast<std::size_t>(i) * pixelStep;
    std::uint16_t* out = result + static_cast<std::size_t>(i) * pixelStep;
    if (!mask[static_cast<std::size_t>(i) * step]) {
      std::memcpy(out, in, 4 * sizeof(std::uint16_t));
      continue;
    }
    std::uint64_t total = 0, b = 0, g = 0, r = 0;
    const std::ptrdiff_t end = std::min(i + K, n);
    for (std::ptrdiff_t j = std::max<std::ptrdiff_t>(i - K + 1, 0); j < end; ++j) {
      const std::uint64_t w =
          std::uint64_t{mask[static_cast<std::size_t>(j) * step]} *
          static_cast<std::uint32_t>(m_kernel[static_cast<std::size_t>(kKernelCentre + j - i)]) / 255;
      if (!w) continue;
      const std::uint16_t* p = source + static_cast<std::size_t>(j) * pixelStep;
      total += w;
      b += w * p[0];
      g += w * p[1];
      r += w * p[2];
    }
    out[0] = static_cast<std::uint16_t>(b / total);
    out[1] = static_cast<std::uint16_t>(g / total);
    out[2] = static_cast<std::uint16_t>(r / total);
    out[3] = in[3];
  }
}

void CSkinClean::BlendResult() {
  const std::uint32_t amount = static_cast<std::uint32_t>(m_block.amount);
  for (std::uint32_t y = 0; y < m_toned.height; ++y) {
    const std::uint16_t* toned = m_toned.Row(y);
    const std::uint8_t* mask = m_mask.Row(y);
    std::uint16_t* out = m_target->Row(y);
    for (std::uint32_t x = 0; x < m_toned.width; ++x, toned += 4, out += 4) {
      const std::uint32_t a = mask[x] * amount / 100;
      if (a == 0) {
        std::memcpy(out, toned, 4 * sizeof(std::uint16_t));
        continue;
      }
      for (int k = 0; k < 3; ++k)
        out[k] = static_cast<std::uint16_t>((toned[k] * (255 - a) + out[k] * a) / 255);
      out[3] = toned[3];
    }
  }
}

int CSkinClean::AddGrain() {
  const std::uint32_t W = m_source->width, H = m_source->height;
  CPlane8 noise;
  if (!noise.Create(W, H)) return 0;
  SeedRuntimeRandom(m_pinnedSeed.value_or(
      static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count())));
  for (std::uint8_t& v : noise.Samples()) {
    const int first = RuntimeRandom();
    for (int k = 0; k < first % 4; ++k) RuntimeRandom();
    int n = RuntimeRandom() % 256 - 128;
    if (n < 0) n = 2 * n / 3;
    const double a = std::abs(n) / 128.0;
    int level = static_cast<int>(a * a * 127);
    if (n < 0) level = -level;
    v = static_cast<std::uint8_t>(level + 128);
  }
  SetProgress(92);
  CGaussBlur blur;
  CPlane8 soft;
  if (!blur.BlurPlaneDirect(noise, soft, kGrainBlurRadius)) return 0;
  SetProgress(99);
  for (std::uint32_t y = 0; y < H; ++y) {
    const std::uint8_t* grain = soft.Row(y);
    const std::uint8_t* mask = m_mask.Row(y);
    std::uint16_t* p = m_target->Row(y);
    for (std::uint32_t x = 0; x < W; ++x, p += 4) {
      const std::int32_t e = (grain[x] - 128) * mask[x] * kGrainStrength / 255;
      p[2] = Clamp16(std::int64_t{p[2]} + e);
      p[1] = Clamp16(std::int64_t{p[1]} + e);
      p[0] = Clamp16(std::int64_t{p[0]} + e / 2);
    }
  }
  return 1;
}
