#include "algorithms/tone/ColorAdjust.h"

#include <algorithm>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/tone/ApplyToneTables.h"
#include "algorithms/tone/WhiteBalance.h"
#include "image/ColorModel.h"
#include "image/PixelBlock.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::size_t kBlockSize = sizeof(ColorAdjustParams);
constexpr std::int32_t kSaturationKnee = 5000;
constexpr std::int32_t kLightnessKnee = 20000;

// The reference colour of a shift: 32768 + 256 x shift, within 16 bits for
// shifts of -100..100.
std::uint16_t ShiftReference(std::int32_t shift) { return static_cast<std::uint16_t>(32768 + 256 * shift); }

}  // namespace

void ValidateColorAdjustParams(ColorAdjustParams& block) {
  constexpr std::int32_t limit = ColorAdjustParams::kLimit;
  block.mode = block.mode != 0 ? 1 : 0;
  for (std::int32_t* v : {&block.redShift, &block.greenShift, &block.blueShift, &block.hue, &block.saturation,
                          &block.lightness}) {
    *v = std::clamp(*v, -limit, limit);
  }
  block.hueRange = block.hueRange != 0 ? 1 : 0;
  for (std::int32_t& h : block.handles) h = std::clamp(h, 0, 65535);
  std::sort(std::begin(block.handles), std::end(block.handles));
  block.hueOffset &= 0xFFFF;  // two's complement: the non-negative remainder
}

std::array<std::uint8_t, kBlockSize> ColorAdjustParamsToBytes(const ColorAdjustParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.Zeros(sizeof block.reserved0);
  for (std::int32_t v : {block.mode, block.redShift, block.greenShift, block.blueShift, block.hue,
                         block.saturation, block.lightness, block.hueRange}) {
    w.I32(v);
  }
  for (std::int32_t h : block.handles) w.I32(h);
  w.I32(block.hueOffset);
  std::array<std::uint8_t, kBlockSize> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int ColorAdjustParamsFromBytes(std::span<const std::uint8_t> bytes, ColorAdjustParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), kBlockSize);
  if (bytes.size() < stored) return 0;
  std::array<std::uint8_t, kBlockSize> merged = ColorAdjustParamsToBytes(ColorAdjustParams{});
  std::copy_n(bytes.begin(), stored, merged.begin());
  ByteReader r(merged);
  ColorAdjustParams read;
  r.Skip(2 + sizeof read.reserved0);  // the size word becomes 56
  for (std::int32_t* v : {&read.mode, &read.redShift, &read.greenShift, &read.blueShift, &read.hue,
                          &read.saturation, &read.lightness, &read.hueRange}) {
    *v = r.I32();
  }
  for (std::int32_t& h : read.handles) h = r.I32();
  read.hueOffset = r.I32();
  if (!r.ok()) return 0;
  ValidateColorAdjustParams(read);
  block = read;
  return 1;
}

void CColorAdjust::BuildHueWeights(const ColorAdjustParams& block, HueWeights weights) {
  const std::int64_t p0 = block.handles[0], p1 = block.handles[1], p2 = block.handles[2],
                     p3 = block.handles[3];
  for (std::int64_t i = 0; i < static_cast<std::int64_t>(kToneTableSize); ++i) {
    const std::int64_t b = (block.hueOffset + i) & 0xFFFF;
    std::int64_t w = 0;
    if (b < p0) {
      w = 0;
    } else if (b < p1) {
      w = (b - p0) * 255 / (p1 - p0);
    } else if (b < p2) {
      w = 255;
    } else if (b < p3) {
      w = 255 - (b - p2) * 255 / (p3 - p2);
    }
    weights[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(w);
  }
}

int CColorAdjust::Process() {
  if (!m_params || !m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  if (!ReadParamBlock(m_block)) return 0;
  ValidateColorAdjustParams(m_block);
  if (!m_target->CopyFrom(*m_source)) return 0;

  const ColorAdjustParams& p = m_block;
  if (p.mode != 0 ? p.redShift == 0 && p.greenShift == 0 && p.blueShift == 0
                  : p.hue == 0 && p.saturation == 0 && p.lightness == 0) {
    return 1;
  }
  m_tables = AllocWorkArray<ToneTable>(kTableCount);
  if (!m_tables) return 0;
  if (p.mode != 0) {
    const CWhiteBalance::Colour reference{ShiftReference(p.blueShift), ShiftReference(p.greenShift),
                                          ShiftReference(p.redShift)};
    if (!CWhiteBalance::BuildCastTables(reference, 1.0,
                                        std::span<ToneTable, 3>(m_tables.get(), kTableCount))) {
      return 0;
    }
  } else {
    const std::int32_t turn = p.hue * 32768 / 100;
    ToneTable& hue = m_tables[kHueTable];
    for (std::size_t v = 0; v < kToneTableSize; ++v) {
      hue[v] = static_cast<std::uint16_t>((static_cast<std::int32_t>(v) + turn) & 0xFFFF);
    }
    ToneTable& saturation = m_tables[kSaturationTable];
    FillIdentity(saturation);
    if (p.saturation <= 0) {
      if (!ApplyLutGain(saturation, 1.0 + p.saturation / 100.0, 0)) return 0;
    } else {
      if (!ApplyLutGain(saturation, 1.0 + p.saturation / 50.0, kSaturationKnee)) return 0;
    }
    ToneTable& lightness = m_tables[kLightnessTable];
    FillIdentity(lightness);
    if (p.lightness <= 0) {
      if (!ApplyLutGain(lightness, 1.0 + p.lightness / 150.0, 0)) return 0;
    } else {
      if (!ApplyLutGain(lightness, 1.0 + p.lightness / 100.0, kLightnessKnee)) return 0;
    }
  }
  if (p.hueRange) {
    m_hueWeights = AllocWorkArray<std::uint8_t>(kToneTableSize);
    if (!m_hueWeights) {
      m_tables.reset();
      return 0;
    }
    BuildHueWeights(p, HueWeights(m_hueWeights.get(), kToneTableSize));
  }
  const int done = SplitIntoStripes(0, 0) != 0 ? RunStripes(*this) : 0;
  m_tables.reset();
  m_hueWeights.reset();
  return done;
}

int CColorAdjust::ProcessStripe(StripeTask* task) {
  if (!task || !task->sourceStripe || !task->resultStripe) return 0;
  CBgraImage16& source = *task->sourceStripe;
  CBgraImage16& result = *task->resultStripe;
  if (!m_tables) return 0;
  if (m_block.mode != 0) {
    if (!ApplyToneTables(source, result, m_tables[0], m_tables[1], m_tables[2])) return 0;
  } else {
    if (!result.CopyFrom(source)) return 0;
    const std::size_t count = std::size_t{result.width} * result.height;
    RgbToHsl16(result.pixels, count);
    const ToneTable& hue = m_tables[kHueTable];
    const ToneTable& saturation = m_tables[kSaturationTable];
    const ToneTable& lightness = m_tables[kLightnessTable];
    std::uint16_t* p = result.pixels;
    for (std::size_t i = 0; i < count; ++i, p += 4) {
      p[2] = hue[p[2]];
      p[1] = saturation[p[1]];
      p[0] = lightness[p[0]];
    }
    HslToRgb16(result.pixels, count);
  }
  if (m_block.hueRange) {
    if (!m_hueWeights) return 0;
    BlendByHueRange(source, result);
  }
  return 1;
}

void CColorAdjust::BlendByHueRange(const CBgraImage16& source, CBgraImage16& result) const {
  const std::size_t count = std::size_t{source.width} * source.height;
  const std::uint16_t* in = source.pixels;
  std::uint16_t* out = result.pixels;
  for (std::size_t i = 0; i < count; ++i, in += 4, out += 4) {
    std::uint16_t hsl[4] = {in[0], in[1], in[2], in[3]};
    RgbToHsl16(hsl, 1);
    const std::int32_t w = m_hueWeights[hsl[2]];
    if (w == 0) {
      std::copy_n(in, 4, out);
      continue;
    }
    const std::int32_t d = std::min(w * hsl[1] / 20000, 255);
    for (int c = 0; c < 3; ++c) out[c] = static_cast<std::uint16_t>((d * out[c] + (255 - d) * in[c]) / 255);
  }
}
