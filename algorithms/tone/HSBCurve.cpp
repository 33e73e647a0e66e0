#include "algorithms/tone/HSBCurve.h"

#include <algorithm>

#include "algorithms/AlgorithmThread.h"
#include "image/ColorModel.h"
#include "image/PixelBlock.h"
#include "platform/LittleEndian.h"

namespace {

// Saturations up to this keep their lightness; the brightness curve takes
// full effect this much above it.
constexpr std::int64_t kGreySaturation = 5000;
constexpr std::int64_t kSaturationRamp = 40000;

}  // namespace

std::array<std::uint8_t, HSBCurveRecord::kBytes> HSBCurveRecordToBytes(const HSBCurveRecord& record) {
  std::array<std::uint8_t, HSBCurveRecord::kBytes> bytes{};
  std::uint8_t* p = bytes.data();
  for (const CurvePoints& curve : record.curves) {
    for (std::uint16_t v : curve) {
      StoreLE16(p, v);
      p += 2;
    }
  }
  return bytes;
}

int HSBCurveRecordFromBytes(std::span<const std::uint8_t> bytes, HSBCurveRecord& record) {
  if (bytes.size() < HSBCurveRecord::kBytes) return 0;
  const std::uint8_t* p = bytes.data();
  for (CurvePoints& curve : record.curves) {
    for (std::uint16_t& v : curve) {
      v = LoadLE16(p);
      p += 2;
    }
  }
  return 1;
}

std::unique_ptr<ToneTable[]> ExpandHSBCurveRecord(const HSBCurveRecord& record) {
  auto tables = AllocWorkArray<ToneTable>(CHSBCurve::kTableCount);
  if (!tables) return tables;
  for (int c = 0; c < CHSBCurve::kTableCount; ++c) ExpandCurvePoints(tables[c], record.curves[c]);
  return tables;
}

int CHSBCurve::Process() {
  if (!m_params || !m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  m_tables = static_cast<const std::uint16_t*>(m_params);
  // Stripes are merged only into a target of the source's size.
  if (m_target->width != m_source->width || m_target->height != m_source->height) m_target->Free();
  const int done = SplitIntoStripes(0, 0) != 0 ? RunStripes(*this) : 0;
  m_tables = nullptr;
  return done;
}

int CHSBCurve::ProcessStripe(StripeTask* task) {
  if (!task || !task->sourceStripe || !task->resultStripe || !m_tables) return 0;
  CBgraImage16& result = *task->resultStripe;
  if (!result.CopyFrom(*task->sourceStripe)) return 0;
  const std::uint16_t* hueShift = m_tables + kHueTable * kToneTableSize;
  const std::uint16_t* saturation = m_tables + kSaturationTable * kToneTableSize;
  const std::uint16_t* brightness = m_tables + kBrightnessTable * kToneTableSize;
  const std::size_t count = std::size_t{result.width} * result.height;
  RgbToHsl16(result.pixels, count);
  std::uint16_t* p = result.pixels;
  for (std::size_t i = 0; i < count; ++i, p += 4) {
    const std::uint16_t h = p[2];
    std::int64_t s = p[1], l = p[0];
    if (hueShift[h] != kNeutral) p[2] = static_cast<std::uint16_t>((h + hueShift[h] - kNeutral) & 0xFFFF);
    const std::int64_t percentS = std::int64_t{saturation[h]} * 100 / kNeutral;
    if (percentS != 100) s = std::min<std::int64_t>(s * percentS / 100, 65535);
    const std::int64_t percentL = std::int64_t{brightness[h]} * 100 / kNeutral;
    if (percentL != 100) {
      const std::int64_t m = std::min<std::int64_t>(l * percentL / 100, 65535);
      const std::int64_t k = std::clamp<std::int64_t>((s - kGreySaturation) * 256 / kSaturationRamp, 0, 255);
      l += (m - l) * k / 255;
    }
    p[1] = static_cast<std::uint16_t>(s);
    p[0] = static_cast<std::uint16_t>(l);
  }
  HslToRgb16(result.pixels, count);
  return 1;
}
