#include "algorithms/tone/BrightnessContrast.h"

#include <algorithm>

#include "algorithms/tone/ApplyToneTables.h"
#include "image/PixelBlock.h"
#include "platform/LittleEndian.h"

namespace {
constexpr std::size_t kBlockSize = sizeof(BrightnessContrastParams);
constexpr std::int32_t kBrightKnee = 20000;
constexpr std::int32_t kContrastKnee = 20000;
}  // namespace

void ValidateBrightnessContrastParams(BrightnessContrastParams& block) {
  constexpr std::int32_t limit = BrightnessContrastParams::kLimit;
  block.brightness = std::clamp(block.brightness, -limit, limit);
  block.contrast = std::clamp(block.contrast, -limit, limit);
}

std::array<std::uint8_t, kBlockSize> BrightnessContrastParamsToBytes(const BrightnessContrastParams& block) {
  std::array<std::uint8_t, kBlockSize> bytes{};
  StoreLE16(bytes.data(), block.size);
  StoreLE32(bytes.data() + 4, static_cast<std::uint32_t>(block.brightness));
  StoreLE32(bytes.data() + 8, static_cast<std::uint32_t>(block.contrast));
  return bytes;
}

int BrightnessContrastParamsFromBytes(std::span<const std::uint8_t> bytes, BrightnessContrastParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), kBlockSize);
  if (bytes.size() < stored) return 0;
  std::array<std::uint8_t, kBlockSize> merged = BrightnessContrastParamsToBytes(BrightnessContrastParams{});
  std::copy_n(bytes.begin(), stored, merged.begin());
  BrightnessContrastParams read;
  read.brightness = static_cast<std::int32_t>(LoadLE32(merged.data() + 4));
  read.contrast = static_cast<std::int32_t>(LoadLE32(merged.data() + 8));
  ValidateBrightnessContrastParams(read);
  block = read;
  return 1;
}

int CBrightnessContrast::BuildTable(const BrightnessContrastParams& block, ToneTableSpan table) {
  FillIdentity(table);
  const std::int32_t b = block.brightness;
  if (b < 0 && !ApplyLutGain(table, 1.0 + b / 200.0, 0)) return 0;
  if (b > 0 && !ApplyLutGain(table, 1.0 + b / 100.0, kBrightKnee)) return 0;
  // At factor 1 the contrast step would still move entry 0 to 1: left out.
  if (block.contrast != 0 && !ApplyLutContrast(table, (block.contrast + 100) / 100.0, kContrastKnee))
    return 0;
  return 1;
}

int CBrightnessContrast::Process() {
  if (!m_params || !m_source || m_source->IsEmpty() || !m_target) return 0;
  if (!ReadParamBlock(m_block)) return 0;
  ValidateBrightnessContrastParams(m_block);
  if (m_block.brightness == 0 && m_block.contrast == 0) return m_target->CopyFrom(*m_source);
  auto table = AllocWorkArray<ToneTable>(1);
  if (!table) return 0;
  if (!BuildTable(m_block, table[0])) return 0;
  return ApplyToneTables(*m_source, *m_target, table[0], table[0], table[0]);
}
