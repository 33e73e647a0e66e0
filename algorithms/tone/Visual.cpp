#include "algorithms/tone/Visual.h"

#include <algorithm>
#include <cmath>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/tone/ApplyToneTables.h"
#include "image/PixelBlock.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::size_t kBlockSize = sizeof(VisualParams);
constexpr std::int32_t kBrightKnee = 20000;  // per whole unit of the brightening gain
constexpr std::int32_t kDarkKnee = 5000;
constexpr std::int32_t kContrastKnee = 20000;
constexpr std::int32_t kColourKnee = 20000;  // per unit of a colour gain above 1
constexpr std::int32_t kColourStep = 70;
constexpr std::int32_t kNeutralWeight = 32768;

}  // namespace

void ValidateVisualParams(VisualParams& block) {
  using P = VisualParams;
  for (std::int32_t* v : {&block.contrast, &block.exposure, &block.red, &block.green, &block.blue})
    *v = std::clamp(*v, -P::kStepLimit, P::kStepLimit);
  block.stepSize = std::clamp(block.stepSize, 0, P::kStepSizeLimit);
}

std::array<std::uint8_t, kBlockSize> VisualParamsToBytes(const VisualParams& block) {
  std::array<std::uint8_t, kBlockSize> bytes{};
  StoreLE16(bytes.data(), block.size);
  std::uint8_t* p = bytes.data() + 4;
  for (std::int32_t v :
       {block.contrast, block.exposure, block.red, block.green, block.blue, block.stepSize}) {
    StoreLE32(p, static_cast<std::uint32_t>(v));
    p += 4;
  }
  return bytes;
}

int VisualParamsFromBytes(std::span<const std::uint8_t> bytes, VisualParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), kBlockSize);
  if (bytes.size() < stored) return 0;
  std::array<std::uint8_t, kBlockSize> merged = VisualParamsToBytes(VisualParams{});
  std::copy_n(bytes.begin(), stored, merged.begin());
  VisualParams read;
  const std::uint8_t* p = merged.data() + 4;
  for (std::int32_t* v :
       {&read.contrast, &read.exposure, &read.red, &read.green, &read.blue, &read.stepSize}) {
    *v = static_cast<std::int32_t>(LoadLE32(p));
    p += 4;
  }
  ValidateVisualParams(read);
  block = read;
  return 1;
}

bool CVisual::NoSteps() const {
  const VisualParams& p = m_block;
  return p.contrast == 0 && p.exposure == 0 && p.red == 0 && p.green == 0 && p.blue == 0;
}

int CVisual::BuildLuts() {
  ValidateVisualParams(m_block);
  auto tables = AllocWorkArray<ToneTable>(kTableCount);
  if (!tables) return 0;
  const VisualParams& p = m_block;
  const std::int32_t s = p.stepSize;
  for (int c = 0; c < kTableCount; ++c) FillIdentity(tables[c]);

  if (p.exposure != 0) {
    double gain = 1.0;
    std::int32_t knee = kDarkKnee;
    if (p.exposure > 0) {
      gain = p.exposure * s / 100.0 + 1;
      knee = static_cast<std::int32_t>(gain) * kBrightKnee;
    } else {
      gain = std::pow(1 - s / 200.0, -p.exposure);
    }
    for (int c = 0; c < kTableCount; ++c)
      if (!ApplyLutGain(tables[c], gain, knee)) return 0;
  }
  // At factor 1 the contrast step would still move entry 0 to 1: left out.
  if (p.contrast != 0) {
    const double factor = p.contrast > 0 ? p.contrast * s / 300.0 + 1 : std::pow(1 - s / 300.0, -p.contrast);
    for (int c = 0; c < kTableCount; ++c)
      if (!ApplyLutContrast(tables[c], factor, kContrastKnee)) return 0;
  }
  // Many steps down would take a weight to 0 or below, a gain that wipes the
  // channel or turns it around.
  const auto weight = [s](std::int32_t steps) {
    return std::max(s * steps * kColourStep + kNeutralWeight, 1);
  };
  const double w[kTableCount] = {static_cast<double>(weight(p.red)), static_cast<double>(weight(p.green)),
                                 static_cast<double>(weight(p.blue))};
  const double luminance = (3 * w[kRedTable] + 6 * w[kGreenTable] + w[kBlueTable]) / 10;
  for (int c = 0; c < kTableCount; ++c) {
    const double gain = w[c] / luminance;
    if (!ApplyLutGain(tables[c], gain, gain > 1 ? static_cast<std::int32_t>(gain * kColourKnee) : 0))
      return 0;
  }
  m_tables = std::move(tables);
  return 1;
}

int CVisual::ApplyToImage(const CBgraImage16& source, CBgraImage16& destination) {
  if (source.IsEmpty()) return 0;
  if (NoSteps()) return destination.CopyFrom(source);
  if (!m_tables && !BuildLuts()) return 0;
  return ApplyToneTables(source, destination, m_tables[kBlueTable], m_tables[kGreenTable],
                         m_tables[kRedTable]);
}

int CVisual::Process() {
  if (!m_params || !m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  if (!ReadParamBlock(m_block)) return 0;
  ValidateVisualParams(m_block);
  if (NoSteps()) return m_target->CopyFrom(*m_source);
  // Built here or not at all: the stripes only read them.
  if (!BuildLuts()) return 0;
  // Stripes are merged only into a target of the source's size.
  if (m_target->width != m_source->width || m_target->height != m_source->height) m_target->Free();
  const int done = SplitIntoStripes(0, 0) != 0 ? RunStripes(*this) : 0;
  m_tables.reset();
  return done;
}

int CVisual::ProcessStripe(StripeTask* task) {
  if (!task || !task->sourceStripe || !task->resultStripe || !m_tables) return 0;
  return ApplyToImage(*task->sourceStripe, *task->resultStripe);
}
