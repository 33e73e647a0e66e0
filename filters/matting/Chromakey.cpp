#include "filters/matting/Chromakey.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/ChannelOP.h"
#include "algorithms/GaussBlur.h"
#include "algorithms/ToneTable.h"
#include "filters/matting/InOutMatting.h"
#include "filters/matting/LaplasianMattingOptimize.h"
#include "image/ColorModel.h"
#include "image/ColorTables.h"
#include "image/Plane8.h"
#include "platform/LittleEndian.h"

namespace {

// The base the system's bell curves use where e would stand.
constexpr double kBellBase = 2.7188282;
constexpr std::int64_t kProgressEvery = 40000;

Pixel16 Unpack(std::uint64_t colour) {
  return {static_cast<std::uint16_t>(colour), static_cast<std::uint16_t>(colour >> 16),
          static_cast<std::uint16_t>(colour >> 32), static_cast<std::uint16_t>(colour >> 48)};
}

std::uint64_t Pack(const std::uint16_t* p) {
  return std::uint64_t{p[0]} | std::uint64_t{p[1]} << 16 | std::uint64_t{p[2]} << 32 |
         std::uint64_t{p[3]} << 48;
}

// |B - Y| + |R - Y| + |G - Y|: how far a colour is from grey.
std::int64_t Colourfulness(const std::uint16_t* p) {
  const std::int64_t y = CChromakey::Luma(p);
  return std::llabs(p[0] - y) + std::llabs(p[1] - y) + std::llabs(p[2] - y);
}

std::uint16_t Clamp16(std::int32_t v) { return static_cast<std::uint16_t>(std::clamp(v, 0, 65535)); }

}  // namespace

void ValidateChromakeyParams(ChromakeyParams& block) {
  block.keyColorCount =
      static_cast<std::uint8_t>(std::min<std::size_t>(block.keyColorCount, ChromakeyParams::kMaxKeyColors));
  block.relativeChromaShare = std::min<std::uint8_t>(block.relativeChromaShare, 100);
}

std::array<std::uint8_t, sizeof(ChromakeyParams)> ChromakeyParamsToBytes(const ChromakeyParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.Zeros(sizeof block.padding0);
  for (std::uint64_t colour : block.keyColors) w.U64(colour);
  w.U8(block.keyColorCount);
  w.Zeros(1);
  w.U16(block.toleranceBelow);
  w.U16(block.toleranceAbove);
  w.U8(block.relativeChromaShare);
  w.U8(block.edgeRadius);
  w.U8(block.spillStrength);
  w.U8(block.featherRadius);
  w.Zeros(sizeof block.spare1);
  w.I32(block.adapt);
  w.Bytes(block.levelCurve);
  std::array<std::uint8_t, sizeof(ChromakeyParams)> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int ChromakeyParamsFromBytes(std::span<const std::uint8_t> bytes, ChromakeyParams& block) {
  if (bytes.size() < sizeof(ChromakeyParams)) return 0;
  ByteReader r(bytes);
  ChromakeyParams read;
  read.size = r.U16();
  r.Skip(sizeof read.padding0);
  for (std::uint64_t& colour : read.keyColors) colour = r.U64();
  read.keyColorCount = r.U8();
  r.Skip(1);
  read.toleranceBelow = r.U16();
  read.toleranceAbove = r.U16();
  read.relativeChromaShare = r.U8();
  read.edgeRadius = r.U8();
  read.spillStrength = r.U8();
  read.featherRadius = r.U8();
  r.Skip(sizeof read.spare1);
  read.adapt = r.I32();
  const std::span<const std::uint8_t> curve = r.Bytes(ChromakeyParams::kCurveSize);
  if (!r.ok()) return 0;
  std::copy(curve.begin(), curve.end(), read.levelCurve);
  ValidateChromakeyParams(read);
  block = read;
  return 1;
}

std::uint32_t CChromakey::Luma(const std::uint16_t* p) {
  return (6 * std::uint32_t{p[1]} + 3 * std::uint32_t{p[2]} + p[0]) / 10;
}

Pixel16 CChromakey::TransferChroma(const std::uint16_t* pixel, const std::uint16_t* colour) {
  const std::int32_t bf = colour[0], gf = colour[1], rf = colour[2];
  const std::int32_t yf = (601 * gf + 306 * rf + 117 * bf) >> 10;
  const std::int32_t cr = ((rf - yf) * 730) >> 10;
  const std::int32_t cb = ((bf - yf) * 579) >> 10;
  const std::int32_t yp = (601 * pixel[1] + 306 * pixel[2] + 117 * pixel[0]) >> 10;
  return {Clamp16(yp + ((cb * 1812) >> 10)), Clamp16(yp - ((cb * 352 + cr * 731) >> 10)),
          Clamp16(yp + ((cr * 1437) >> 10)), pixel[3]};
}

double CChromakey::EdgeAlpha(const std::uint16_t* pixel, const std::uint16_t* foreground,
                             const std::uint16_t* background) {
  const double d0 = ColorDistance(foreground, background);
  if (d0 < 0.01) return 0;  // the means coincide: nothing to place the pixel between
  const double dB = ColorDistance(pixel, background);
  // At the background mean the expression below is 0/0; the distances obey
  // the triangle inequality, so cos x dB stays bounded and its limit there
  // is -0.2: alpha 0.
  if (dB < 0.01) return 0;
  const double dF = ColorDistance(pixel, foreground);
  const double cosine = (d0 * d0 + dB * dB - dF * dF) / (2 * d0 * dB);
  const double a = ((cosine * dB * cosine) / d0 + ((1 - cosine) * dB) / d0 - 0.5) * 1.4 + 0.5;
  return std::clamp(a, 0.0, 1.0);
}

int CChromakey::Process() {
  if (!ReadParamBlock(m_block)) return 0;
  ValidateChromakeyParams(m_block);
  m_greyKey = 0;
  // The source is read again after the target is rewritten: they must differ.
  if (!m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  if (!m_target->CopyFrom(*m_source)) return 0;
  BuildGammaTables();

  ChooseKey();
  const Pixel16 key = Unpack(m_key);
  if (Colourfulness(key.data()) < 1000) {
    m_greyKey = 1;
    return GreyPath();
  }

  if (!PrepareTables() || !EstimateAlpha()) return 0;
  const bool edge = m_block.edgeRadius != 0;
  // The edge pass reads the first pass's alphas in the rows around its own,
  // so it is a pass of its own, begun once every first-pass stripe is done.
  if (!RunPass(Pass::kFirst, 0, 20, edge ? 50 : 80) || Cancelled()) return 0;
  // One row more than the window needs keeps the stripe's own border rows,
  // where the erosion of the alphas sees less than in the whole picture, out
  // of every window.
  if (edge && (!RunPass(Pass::kEdge, m_block.edgeRadius + 1, 50, 80) || Cancelled())) return 0;
  if (m_block.featherRadius != 0 && (!Feather() || Cancelled())) return 0;
  if (!Refine() || Cancelled()) return 0;
  if (m_block.adapt && !ApplyLevelCurve()) return 0;
  return 1;
}

void CChromakey::ChooseKey() {
  m_key = m_block.keyColors[0];
  if (m_block.adapt) {
    const Pixel16 wanted = Unpack(m_key);
    double best = 1e8;
    const std::size_t count = m_source->pixelCount;
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint16_t* p = m_source->pixels + i * 4;
      const double d = ColorDistance(p, wanted.data());
      if (d < best) {
        best = d;
        m_key = Pack(p);
      }
    }
  }
  // The darkest picked colour is keyed.
  for (std::size_t k = 0; k < m_block.keyColorCount; ++k) {
    const Pixel16 candidate = Unpack(m_block.keyColors[k]);
    if (Luma(candidate.data()) < Luma(Unpack(m_key).data())) m_key = m_block.keyColors[k];
  }
}

int CChromakey::PrepareTables() {
  if (!m_squareTable) {
    m_squareTable = AllocWorkArray<std::int32_t>(kTableSize);
    if (!m_squareTable) return 0;
    for (std::int64_t a = 0; a < static_cast<std::int64_t>(kTableSize); ++a) {
      m_squareTable[static_cast<std::size_t>(a)] = static_cast<std::int32_t>(a * a / 65536);
    }
  }
  if (!m_channelLuts) m_channelLuts = AllocWorkArray<std::uint16_t>(3 * kTableSize);
  if (!m_hueWeights) m_hueWeights = AllocWorkArray<std::uint16_t>(kTableSize);
  if (!m_channelLuts || !m_hueWeights) return 0;

  // Spill curves pull the key's channels towards its luma by s percent: for
  // a green key the green curve falls and the others rise.
  const Pixel16 key = Unpack(m_key);
  const double y = Luma(key.data());
  const std::int32_t s = m_block.spillStrength / 3;
  for (int c = 0; c < 3; ++c) {
    const ToneTableSpan curve(m_channelLuts.get() + c * kTableSize, kTableSize);
    FillIdentity(curve);
    if (m_block.spillStrength == 0) continue;
    const double towards = (key[static_cast<std::size_t>(c)] * static_cast<double>(s) + (100 - s) * y) / 100;
    if (!(towards > 0)) continue;  // a black key: nothing to scale by
    const double gain = y / towards;
    if (!ApplyLutGain(curve, gain, gain < 1 ? 3000 : 40000)) return 0;
  }

  // Every picked colour, spill-corrected, gives a key hue.
  std::array<std::int32_t, ChromakeyParams::kMaxKeyColors> hues{};
  const std::size_t keys = m_block.keyColorCount;
  for (std::size_t k = 0; k < keys; ++k) {
    Pixel16 p = Unpack(m_block.keyColors[k]);
    for (std::size_t c = 0; c < 3; ++c) p[c] = m_channelLuts[c * kTableSize + p[c]];
    RgbToHsl16(p.data(), 1);
    hues[k] = p[2];
  }
  const double below = m_block.toleranceBelow;
  const double above = m_block.toleranceAbove;
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(kTableSize); ++i) {
    if (keys == 0) {
      m_hueWeights[static_cast<std::size_t>(i)] = 0;
      continue;
    }
    std::int32_t nearest = 0;
    for (std::size_t k = 0; k < keys; ++k) {
      const std::int32_t d = i - hues[k];
      const std::int32_t wrapped = i < hues[k] ? d + 65535 : d - 65535;
      const std::int32_t difference = std::abs(d) < std::abs(wrapped) ? d : wrapped;
      if (k == 0 || std::abs(difference) < std::abs(nearest)) nearest = difference;
    }
    const double sigma = nearest < 0 ? below : above;
    double weight = 0;
    if (sigma > 0) {
      const double c = nearest;
      weight = 65535 * std::pow(kBellBase, -(c * c) / (2 * sigma * sigma));
    }
    m_hueWeights[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(weight);
  }
  return 1;
}

int CChromakey::Cancelled() {
  if (!theAlgorithmThread.IsCancelRequested()) return 0;
  // The target has had the source's size since Process copied it, so this
  // copy reuses its block and cannot fail; the run ends with 0 either way.
  static_cast<void>(m_target->CopyFrom(*m_source));
  return 1;
}

int CChromakey::EstimateAlpha() {
  const CBgraImage16& source = *m_source;
  if (!m_estimate.Create(source.width, source.height)) return 0;
  auto histogram = AllocWorkArray<std::uint32_t>(kTableSize);
  if (!histogram) return 0;
  std::fill_n(histogram.get(), kTableSize, 0u);

  const std::int64_t n = std::int64_t{source.width} * source.height;
  const double share = m_block.relativeChromaShare;
  const std::uint16_t* luts = m_channelLuts.get();
  for (std::int64_t i = 0; i < n; ++i) {
    if (i % kProgressEvery == 0) {
      SetProgress(static_cast<std::int32_t>(10 * i / n));
      // Nothing is refined from a half-filled estimate; the target is still
      // the copy of the source.
      if (theAlgorithmThread.IsCancelRequested()) return 0;
    }
    const std::uint16_t* p = source.pixels + i * 4;
    // The hue and lightness of the spill-corrected pixel.
    Pixel16 hsl = {luts[p[0]], luts[kTableSize + p[1]], luts[2 * kTableSize + p[2]], p[3]};
    RgbToHsl16(hsl.data(), 1);
    const std::uint32_t w = m_hueWeights[hsl[2]];
    std::uint16_t estimate = 65535;
    if (w != 0) {
      const double l8 = LinearToSrgbTable[hsl[0]];
      const double b8 = LinearToSrgbTable[p[0]] - l8;
      const double g8 = LinearToSrgbTable[p[1]] - l8;
      const double r8 = LinearToSrgbTable[p[2]] - l8;
      const double c = std::sqrt(r8 * r8 + g8 * g8 + b8 * b8);
      const double v = (c * 255 / (l8 + 1) * share + (100 - share) * c) / 100;
      const double a = 255 - std::trunc(v * w / 65535);
      estimate = static_cast<std::uint16_t>(std::clamp(a, 0.0, 255.0) * 257);
    }
    m_estimate.pixels[i] = estimate;
    ++histogram[estimate];
  }

  // The darkest tenth of the estimates becomes transparent and the range
  // above it is stretched to full.
  const std::int64_t tenth = n / 10;
  std::int64_t sum = 0;
  std::uint32_t t = 0;
  while (sum < tenth && t < kTableSize) sum += histogram[t++];
  t = std::min<std::uint32_t>(t, 63000);
  for (std::int64_t i = 0; i < n; ++i) {
    if (i % kProgressEvery == 0) SetProgress(static_cast<std::int32_t>(10 + 10 * i / n));
    const std::uint32_t v = m_estimate.pixels[i];
    std::uint32_t stretched = 0;
    if (v >= 65500) {
      stretched = 65535;
    } else if (v > t) {
      stretched = std::min<std::uint32_t>(65535, ((v - t) * 16384 / (65500 - t)) * 4);
    }
    m_estimate.pixels[i] = static_cast<std::uint16_t>(stretched);
  }
  return 1;
}

int CChromakey::RunPass(Pass pass, std::int32_t overlap, std::int32_t lo, std::int32_t hi) {
  m_savedLo = m_progressLo;
  m_savedHi = m_progressHi;
  const std::int64_t span = std::int64_t{m_savedHi} - m_savedLo;
  m_progressLo = static_cast<std::int32_t>(m_savedLo + span * lo / 100);
  m_progressHi = static_cast<std::int32_t>(m_savedLo + span * hi / 100);
  m_pass = pass;
  const int ok = SplitIntoStripes(overlap, 0) != 0 && RunStripes(*this) != 0 ? 1 : 0;
  m_progressLo = m_savedLo;
  m_progressHi = m_savedHi;
  return ok;
}

int CChromakey::ProcessStripe(StripeTask* task) {
  if (!task || !task->sourceStripe || !task->resultStripe) return 0;
  if (m_pass == Pass::kFirst) {
    FirstPass(*task);
    return 1;
  }
  return EdgePass(*task);
}

void CChromakey::FirstPass(const StripeTask& task) {
  const CBgraImage16& in = *task.sourceStripe;
  CBgraImage16& out = *task.resultStripe;
  for (std::int32_t y = task.rowStart; y < task.rowEnd; ++y) {
    const auto row = static_cast<std::uint32_t>(y - task.rowFrom);
    std::uint16_t* estimate = m_estimate.Row(static_cast<std::uint32_t>(y));
    for (std::uint32_t x = 0; x < in.width; ++x) {
      const std::uint16_t* s = in.At(x, row);
      std::uint16_t* r = out.At(x, row);
      const std::uint32_t a = estimate[x];
      if (a < 257) {
        std::fill_n(r, 4, std::uint16_t{0});
      } else {
        // Key-like hues are pulled towards their grey.
        Pixel16 hsl = {s[0], s[1], s[2], s[3]};
        RgbToHsl16(hsl.data(), 1);
        const std::uint32_t k = 255 - (m_hueWeights[hsl[2]] >> 8);
        const std::uint32_t luma = Luma(s);
        for (int c = 0; c < 3; ++c) r[c] = static_cast<std::uint16_t>((s[c] * k + (255 - k) * luma) / 255);
        r[3] = a < 65535 ? static_cast<std::uint16_t>(m_squareTable[a]) : std::uint16_t{65535};
      }
      estimate[x] = r[3];
    }
  }
}

int CChromakey::EdgePass(const StripeTask& task) {
  const CBgraImage16& in = *task.sourceStripe;
  CBgraImage16& out = *task.resultStripe;
  const std::int32_t width = static_cast<std::int32_t>(in.width);
  const std::int32_t height = static_cast<std::int32_t>(m_source->height);
  const std::int32_t radius = m_block.edgeRadius;
  const std::uint32_t stripeRows = static_cast<std::uint32_t>(task.rowTo - task.rowFrom);

  // The stripe starts as the first pass left its rows (a single task works
  // on the target itself).
  if (&out != m_target) {
    for (std::int32_t y = task.rowStart; y < task.rowEnd; ++y) {
      std::memcpy(out.Row(static_cast<std::uint32_t>(y - task.rowFrom)),
                  m_target->Row(static_cast<std::uint32_t>(y)), out.Stride() * sizeof(std::uint16_t));
    }
  }

  // The high bytes of the alphas over the stripe's rows, those outside the
  // picture taken from the nearest edge row, and their erosion as the weight
  // of foreground samples. Without memory the stripe keeps the first pass.
  CPlane8 alpha8, weight8;
  if (!alpha8.Create(in.width, stripeRows)) return 1;
  for (std::uint32_t row = 0; row < stripeRows; ++row) {
    const std::int32_t y = std::clamp(task.rowFrom + static_cast<std::int32_t>(row), 0, height - 1);
    const std::uint16_t* from = m_estimate.Row(static_cast<std::uint32_t>(y));
    std::uint8_t* to = alpha8.Row(row);
    for (std::int32_t x = 0; x < width; ++x) to[x] = static_cast<std::uint8_t>(from[x] >> 8);
  }
  CChannelOP op;
  if (!op.ErodeMask(alpha8, weight8, 1, 1) || weight8.IsEmpty()) return 1;  // no foreground sample anywhere

  // The key colour counts as one background sample in large pictures; judged
  // by the picture, not the stripe, so that striping never changes a result.
  const std::int64_t m = std::max(height, width) + radius > 2000 ? 1 : 0;
  const Pixel16 key = Unpack(m_key);
  const std::int32_t yFrom = std::max(task.rowStart, radius);
  const std::int32_t yTo = std::min(task.rowEnd, height - radius);
  for (std::int32_t y = yFrom; y < yTo; ++y) {
    const std::int32_t row = y - task.rowFrom;
    for (std::int32_t x = radius; x < width - radius; ++x) {
      if (*alpha8.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(row)) <= 16) continue;
      std::int64_t background[3] = {m * key[0], m * key[1], m * key[2]};
      std::int64_t backgroundCount = m;
      std::int64_t foreground[3] = {};
      std::int64_t foregroundWeight = 0;
      for (std::int32_t dy = -radius; dy <= radius; ++dy) {
        const auto sy = static_cast<std::uint32_t>(row + dy);
        const std::uint8_t* a8 = alpha8.Row(sy);
        const std::uint8_t* e8 = weight8.Row(sy);
        for (std::int32_t dx = -radius; dx <= radius; ++dx) {
          const auto sx = static_cast<std::uint32_t>(x + dx);
          const std::uint16_t* p = in.At(sx, sy);
          if (a8[sx] < 64) {
            for (int c = 0; c < 3; ++c) background[c] += p[c];
            ++backgroundCount;
          } else if (a8[sx] > 200) {
            for (int c = 0; c < 3; ++c) foreground[c] += std::int64_t{e8[sx]} * p[c];
            foregroundWeight += e8[sx];
          }
        }
      }
      if (foregroundWeight <= 1 || backgroundCount <= m) continue;
      Pixel16 bm{}, fm{};
      for (std::size_t c = 0; c < 3; ++c) {
        bm[c] = static_cast<std::uint16_t>(background[c] / backgroundCount);
        fm[c] = static_cast<std::uint16_t>(foreground[c] / foregroundWeight);
      }
      bm[3] = fm[3] = 65535;
      const double a = EdgeAlpha(in.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(row)),
                                 fm.data(), bm.data());
      std::uint16_t* r = out.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(row));
      const Pixel16 moved = TransferChroma(r, fm.data());
      const auto edgeAlpha = static_cast<std::uint16_t>(a * 65535);
      r[0] = moved[0];
      r[1] = moved[1];
      r[2] = moved[2];
      r[3] = std::min(r[3], edgeAlpha);
    }
  }
  return 1;
}

int CChromakey::Feather() {
  CGaussBlur blur;
  blur.NestIn(*this, 80, 100);
  CBgraImage16 blurred;
  if (blur.BlurImage(*m_target, blurred, m_block.featherRadius)) {
    const std::size_t count = m_target->pixelCount;
    for (std::size_t i = 0; i < count; ++i) m_target->pixels[i * 4 + 3] = blurred.pixels[i * 4 + 3];
  }
  return 1;
}

int CChromakey::Refine() {
  CPlane16 alpha;
  CPlane8 fixedMap;
  if (!alpha.CopyChannel(*m_target, 3) || !fixedMap.Create(alpha.width, alpha.height)) return 0;
  const std::size_t count = alpha.pixelCount;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t high = alpha.pixels[i] >> 8;
    fixedMap.pixels[i] = high >= 16 && high <= 240 ? 0 : 255;
  }
  LaplacianMattingParams block;
  block.guide = m_source;
  block.ownWindowMode = 0;
  block.alpha = &alpha;
  block.fixedMap = &fixedMap;
  block.iterations = 5;
  // Not nested: its progress goes to the listener as it stands.
  CLaplasianMattingOptimize solver;
  solver.m_source = m_source;
  solver.m_params = &block;
  solver.m_listener = m_listener;
  if (!solver.Process()) return 0;
  for (std::size_t i = 0; i < count; ++i) m_target->pixels[i * 4 + 3] = alpha.pixels[i];
  return 1;
}

int CChromakey::ApplyLevelCurve() {
  auto table = AllocWorkArray<std::uint16_t>(kTableSize);
  if (!table) return 0;
  const std::uint8_t* curve = m_block.levelCurve;
  for (std::uint32_t i = 0; i < 255; ++i) {
    for (std::uint32_t k = 257 * i; k <= 257 * (i + 1); ++k) {
      const std::uint32_t f = k - 257 * i;
      table[k] = static_cast<std::uint16_t>(curve[i] * (257 - f) + curve[i + 1] * f);
    }
  }
  const std::size_t count = m_target->pixelCount;
  for (std::size_t i = 0; i < count; ++i) m_target->pixels[i * 4 + 3] = table[m_target->pixels[i * 4 + 3]];
  return 1;
}

int CChromakey::GreyPath() {
  const CBgraImage16& source = *m_source;
  const std::uint32_t w = source.width;
  const std::uint32_t h = source.height;
  CPlane8 region, inside;
  if (!region.Create(w, h) || !inside.Create(w, h)) return 0;

  // Distance of every pixel from the key, in steps of 256 (capped at 255),
  // first kept in the region plane.
  const Pixel16 key = Unpack(m_key);
  std::array<std::int64_t, 256> histogram{};
  const std::size_t count = source.pixelCount;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint16_t* p = source.pixels + i * 4;
    std::int64_t squares = 0;
    for (std::size_t c = 0; c < 3; ++c) {
      const std::int64_t d = std::int64_t{p[c]} - key[c];
      squares += d * d;
    }
    const auto distance = static_cast<std::int64_t>(std::sqrt(static_cast<double>(squares))) / 256;
    const auto capped = static_cast<std::uint8_t>(std::min<std::int64_t>(distance, 255));
    region.pixels[i] = capped;
    ++histogram[capped];
  }
  // The spread of the pixels near the key; none near it puts every pixel
  // beyond it.
  std::int64_t moment = 0, near = 0;
  for (std::int64_t i = 0; i < 32; ++i) {
    moment += i * i * histogram[static_cast<std::size_t>(i)];
    near += histogram[static_cast<std::size_t>(i)];
  }
  const std::int64_t spread =
      near == 0 ? -1
                : static_cast<std::int64_t>(
                      std::sqrt(static_cast<double>(moment) / static_cast<double>(near)) + 0.5);
  for (std::size_t i = 0; i < count; ++i) {
    const std::int64_t distance = region.pixels[i];
    // A clearly coloured pixel cannot be backdrop.
    inside.pixels[i] = distance > 128 || Colourfulness(source.pixels + i * 4) > 7999 ? 255 : 0;
    region.pixels[i] = distance > spread ? 255 : 0;
  }

  // Gaps narrower than the blur close in the region; the inside shrinks away
  // from the backdrop.
  const double m = std::min(w, h) / 200.0;
  CGaussBlur blur;
  if (!blur.BlurPlane(region, region, 2 * m) || !blur.BlurPlane(inside, inside, m)) return 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (region.pixels[i] >= 128) region.pixels[i] = 255;
    inside.pixels[i] = inside.pixels[i] > 249 ? 255 : 0;
  }

  InOutMattingParams block;
  block.mode = 2;
  block.inside = &inside;
  block.region = &region;
  block.reserved = 0;
  block.iterations = 32;
  CInOutMatting matting;
  matting.NestIn(*this, 10, 100);
  matting.m_source = m_source;
  matting.m_target = m_target;
  matting.m_params = &block;
  return matting.Process();
}
