#include "algorithms/tone/SpotMetering.h"

#include <algorithm>
#include <cstring>

#include "algorithms/AutoLevel.h"
#include "algorithms/ToneTable.h"
#include "algorithms/tone/ApplyToneTables.h"
#include "image/PixelBlock.h"
#include "platform/LittleEndian.h"

namespace {
constexpr std::int32_t kGainKnee = 40000;
}

std::array<std::uint8_t, sizeof(SpotMeteringParams)> SpotMeteringParamsToBytes(
    const SpotMeteringParams& block) {
  std::array<std::uint8_t, sizeof(SpotMeteringParams)> bytes{};
  StoreLE16(bytes.data(), block.blue);
  StoreLE16(bytes.data() + 2, block.green);
  StoreLE16(bytes.data() + 4, block.red);
  StoreLE16(bytes.data() + 6, block.alpha);
  return bytes;
}

int SpotMeteringParamsFromBytes(std::span<const std::uint8_t> bytes, SpotMeteringParams& block) {
  if (bytes.size() < sizeof(SpotMeteringParams)) return 0;
  block.blue = LoadLE16(bytes.data());
  block.green = LoadLE16(bytes.data() + 2);
  block.red = LoadLE16(bytes.data() + 4);
  block.alpha = LoadLE16(bytes.data() + 6);
  return 1;
}

int CSpotMetering::Process() {
  if (!m_params || !m_source || m_source->IsEmpty() || !m_target) return 0;
  std::memcpy(&m_block, m_params, sizeof m_block);
  if (m_block.alpha != 0) return ExposeForSpot(*m_source, *m_target);
  CAutoLevel level;
  return level.LevelChannels(*m_source, *m_target, 0.0);
}

int CSpotMetering::ExposeForSpot(const CBgraImage16& from, CBgraImage16& to) const {
  const std::int32_t grey =
      std::clamp((6 * m_block.green + 3 * m_block.red + m_block.blue) / 10, kLowestSpot, kHighestSpot);
  auto table = AllocWorkArray<ToneTable>(1);
  if (!table) return 0;
  FillIdentity(table[0]);
  if (!ApplyLutGain(table[0], static_cast<double>(kMiddleGrey) / grey, kGainKnee)) return 0;
  return ApplyToneTables(from, to, table[0], table[0], table[0]);
}
