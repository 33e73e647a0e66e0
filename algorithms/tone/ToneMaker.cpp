#include "algorithms/tone/ToneMaker.h"

#include <algorithm>
#include <cmath>

#include "algorithms/AlgorithmThread.h"
#include "image/ColorTables.h"
#include "image/PixelBlock.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::size_t kBlockSize = sizeof(ToneMakerParams);
// How far the shadow weight reaches past its fall and the mid-tone weight
// before its rise, and the same for the highlight side, in levels.
constexpr std::int64_t kShadowReach = 700;
constexpr std::int64_t kHighlightReach = 4000;

void WriteColour(ByteWriter& w, const ToneColour& c) {
  for (std::uint16_t v : {c.blue, c.green, c.red, c.alpha}) w.U16(v);
}

ToneColour ReadColour(ByteReader& r) {
  ToneColour c;
  for (std::uint16_t* v : {&c.blue, &c.green, &c.red, &c.alpha}) *v = r.U16();
  return c;
}

// A colour's red, green and blue over its grey; black tints nothing.
std::array<double, 3> Gains(const ToneColour& c) {
  const std::int64_t sum = 6 * std::int64_t{c.green} + 3 * std::int64_t{c.red} + c.blue;
  if (sum == 0) return {1.0, 1.0, 1.0};
  const double grey = static_cast<double>(std::max<std::int64_t>(sum / 10, 1));
  return {c.red / grey, c.green / grey, c.blue / grey};
}

}  // namespace

void ValidateToneMakerParams(ToneMakerParams& block) {
  for (std::int32_t* v :
       {&block.redWeight, &block.greenWeight, &block.blueWeight, &block.monochrome, &block.strength}) {
    *v = std::clamp(*v, 0, ToneMakerParams::kPercentLimit);
  }
}

std::array<std::uint8_t, kBlockSize> ToneMakerParamsToBytes(const ToneMakerParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.Zeros(sizeof block.reserved0);
  for (std::int32_t v :
       {block.redWeight, block.greenWeight, block.blueWeight, block.monochrome, block.strength})
    w.I32(v);
  WriteColour(w, block.shadow);
  WriteColour(w, block.midTone);
  WriteColour(w, block.highlight);
  std::array<std::uint8_t, kBlockSize> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int ToneMakerParamsFromBytes(std::span<const std::uint8_t> bytes, ToneMakerParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), kBlockSize);
  if (bytes.size() < stored) return 0;
  std::array<std::uint8_t, kBlockSize> merged = ToneMakerParamsToBytes(ToneMakerParams{});
  std::copy_n(bytes.begin(), stored, merged.begin());
  ByteReader r(merged);
  ToneMakerParams read;
  r.Skip(2 + sizeof read.reserved0);  // the size word becomes 48
  for (std::int32_t* v :
       {&read.redWeight, &read.greenWeight, &read.blueWeight, &read.monochrome, &read.strength})
    *v = r.I32();
  read.shadow = ReadColour(r);
  read.midTone = ReadColour(r);
  read.highlight = ReadColour(r);
  if (!r.ok()) return 0;
  ValidateToneMakerParams(read);
  block = read;
  return 1;
}

std::uint16_t CToneMaker::GainCurve(std::int64_t i, double a) {
  if (a < 1)
    return static_cast<std::uint16_t>(std::clamp<std::int64_t>(static_cast<std::int64_t>(i * a), 0, 65535));
  const auto m = static_cast<std::int64_t>(65536 / (2 * a));
  const auto scaled = static_cast<std::int64_t>(static_cast<double>(i) * a);
  if (i < m) return static_cast<std::uint16_t>(scaled);
  const std::int64_t t = 256 * (65536 - i) / (65536 - m);
  return static_cast<std::uint16_t>(std::min<std::int64_t>((scaled * t + (256 - t) * i) / 256, 65535));
}

int CToneMaker::BuildLuts() {
  if (!m_tables) m_tables = AllocWorkArray<ToneTable>(kTableCount);
  if (!m_tables) return 0;
  BuildGammaTables();
  const std::int64_t l64 = SrgbToLinearTable[64], l120 = SrgbToLinearTable[120];
  const std::int64_t l160 = SrgbToLinearTable[160], l192 = SrgbToLinearTable[192];
  const std::int64_t lowSpan = l120 - l64 + kShadowReach;
  const std::int64_t highSpan = l192 + kHighlightReach - l160;
  const std::array<double, 3> shadow = Gains(m_block.shadow);
  const std::array<double, 3> midTone = Gains(m_block.midTone);
  const std::array<double, 3> highlight = Gains(m_block.highlight);

  for (std::int64_t i = 0; i < static_cast<std::int64_t>(kToneTableSize); ++i) {
    const std::int64_t d = i < l64 ? 256 : std::max<std::int64_t>((l64 - i) * 256 / lowSpan + 256, 0);
    std::int64_t g = 0;
    if (i < l64 - kShadowReach) {
      g = 0;
    } else if (i < l120) {
      g = (i - (l64 - kShadowReach)) * 256 / lowSpan;
    } else if (i <= l160) {
      g = 256;
    } else {
      g = std::max<std::int64_t>((l160 - i) * 256 / highSpan + 256, 0);
    }
    std::int64_t h = 256;
    if (i < l160 - kHighlightReach) {
      h = 0;
    } else if (i < l192) {
      h = (i - l160 + kHighlightReach) * 256 / highSpan;
    }
    for (int c = 0; c < kTableCount; ++c) {
      std::int64_t e = i;
      if (d != 0) e = i + ((d * (GainCurve(i, shadow[c]) - i)) >> 8);
      if (g != 0) e += (g * (GainCurve(i, midTone[c]) - e)) >> 8;
      if (h != 0) e += (h * (GainCurve(i, highlight[c]) - e)) >> 8;
      m_tables[c][static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(e);
    }
  }
  return 1;
}

int CToneMaker::Process() {
  if (!m_params || !m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  if (!ReadParamBlock(m_block)) return 0;
  ValidateToneMakerParams(m_block);
  if (m_block.monochrome == 0 && m_block.strength == 0) return m_target->CopyFrom(*m_source);
  if (!BuildLuts()) return 0;
  // Stripes are merged only into a target of the source's size.
  if (m_target->width != m_source->width || m_target->height != m_source->height) m_target->Free();
  const int done = SplitIntoStripes(0, 0) != 0 ? RunStripes(*this) : 0;
  m_tables.reset();
  return done;
}

int CToneMaker::ProcessStripe(StripeTask* task) {
  if (!task || !task->sourceStripe || !task->resultStripe || !m_tables) return 0;
  const CBgraImage16& source = *task->sourceStripe;
  CBgraImage16& result = *task->resultStripe;
  if (source.IsEmpty() || !result.Create(source.width, source.height)) return 0;
  const std::int64_t m = m_block.monochrome, s = m_block.strength;
  const std::int64_t wr = m_block.redWeight, wg = m_block.greenWeight, wb = m_block.blueWeight;
  const ToneTable* tables[3] = {&m_tables[kBlueTable], &m_tables[kGreenTable], &m_tables[kRedTable]};
  const std::uint16_t* in = source.pixels;
  std::uint16_t* out = result.pixels;
  for (std::size_t i = 0, n = std::size_t{source.width} * source.height; i < n; ++i, in += 4, out += 4) {
    const std::int64_t y = m * ((in[1] * wg + in[2] * wr + in[0] * wb) / 100);
    for (int c = 0; c < 3; ++c) {
      // Weights summing to more than 100 would take the grey past white.
      const std::int64_t c0 = std::min<std::int64_t>(((100 - m) * in[c] + y) / 100, 65535);
      out[c] =
          static_cast<std::uint16_t>((s * (*tables[c])[static_cast<std::size_t>(c0)] + (100 - s) * c0) / 100);
    }
    out[3] = in[3];
  }
  return 1;
}
