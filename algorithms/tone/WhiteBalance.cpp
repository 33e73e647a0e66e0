#include "algorithms/tone/WhiteBalance.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "algorithms/AutoLevel.h"
#include "algorithms/ToneTable.h"
#include "algorithms/tone/ApplyToneTables.h"
#include "image/ColorModel.h"
#include "image/PixelBlock.h"
#include "platform/LittleEndian.h"

namespace {

// The sums of R + G + B that take part in the estimate: darker pixels are
// noise, brighter ones may be clipped.
constexpr std::uint32_t kLowestSum = 38001;
constexpr std::uint32_t kHighestSum = 152999;
constexpr std::uint8_t kExcluded = 255;
// More included pixels than this make the estimate come from the least
// saturated ones.
constexpr std::uint64_t kFewestIncluded = 12;
// Cast colours of a mean hue in this band (0..65535 scale) use half the quota.
constexpr std::uint16_t kHalfQuotaHueLow = 65;
constexpr std::uint16_t kHalfQuotaHueHigh = 113;
// Components below this are lifted toward it before the gains are taken.
constexpr std::int32_t kLiftBelow = 4096;
// A component above this halves all three.
constexpr std::int32_t kHalveAbove = 58000;
constexpr std::int32_t kGainKnee = 20000;
constexpr double kHalfwayExponent = 1.4;

std::int32_t Grey(const CWhiteBalance::Colour& c) { return (6 * c.green + 3 * c.red + c.blue) / 10; }

// 0..254 for a pixel that takes part in the estimate, kExcluded otherwise.
std::uint8_t Saturation(const std::uint16_t* p) {
  // 32-bit quotients: 256 x 65535 and the sum both fit, and they cost far
  // less than 64-bit ones.
  const std::uint32_t b = p[0], g = p[1], r = p[2];
  const std::uint32_t sum = b + g + r;
  if (sum < kLowestSum || sum > kHighestSum) return kExcluded;
  const auto rr = static_cast<std::int32_t>(256 * r / sum), gg = static_cast<std::int32_t>(256 * g / sum),
             bb = static_cast<std::int32_t>(256 * b / sum);
  const std::int32_t s = (std::abs(bb - rr) + std::abs(gg - bb) + std::abs(rr - gg)) / 2;
  return static_cast<std::uint8_t>(std::min(s, 255));
}

}  // namespace

void ValidateWhiteBalanceParams(WhiteBalanceParams& block) {
  switch (block.mode) {
    case WhiteBalanceMode::kAutomatic:
    case WhiteBalanceMode::kAutomaticHalfway:
    case WhiteBalanceMode::kNoChange:
      break;
    default:
      block.mode = WhiteBalanceMode::kGivenColour;
  }
}

std::array<std::uint8_t, sizeof(WhiteBalanceParams)> WhiteBalanceParamsToBytes(
    const WhiteBalanceParams& block) {
  std::array<std::uint8_t, sizeof(WhiteBalanceParams)> bytes{};
  StoreLE16(bytes.data(), block.blue);
  StoreLE16(bytes.data() + 2, block.green);
  StoreLE16(bytes.data() + 4, block.red);
  StoreLE16(bytes.data() + 6, static_cast<std::uint16_t>(block.mode));
  return bytes;
}

int WhiteBalanceParamsFromBytes(std::span<const std::uint8_t> bytes, WhiteBalanceParams& block) {
  if (bytes.size() < sizeof(WhiteBalanceParams)) return 0;
  WhiteBalanceParams read;
  read.blue = LoadLE16(bytes.data());
  read.green = LoadLE16(bytes.data() + 2);
  read.red = LoadLE16(bytes.data() + 4);
  read.mode = static_cast<WhiteBalanceMode>(LoadLE16(bytes.data() + 6));
  ValidateWhiteBalanceParams(read);
  block = read;
  return 1;
}

int CWhiteBalance::Process() {
  if (!m_params) return 0;
  std::memcpy(&m_block, m_params, sizeof m_block);
  ValidateWhiteBalanceParams(m_block);
  if (m_block.mode == WhiteBalanceMode::kNoChange) return 1;
  if (!m_source || m_source->IsEmpty() || !m_target) return 0;

  if (m_block.mode == WhiteBalanceMode::kGivenColour) {
    return CorrectCast(*m_source, *m_target, {m_block.blue, m_block.green, m_block.red}, 1.0);
  }
  CAutoLevel level;
  Colour cast;
  if (!level.LevelChannels(*m_source, *m_target, 0.0) || !EstimateCast(*m_target, cast)) return 0;
  if (m_block.mode == WhiteBalanceMode::kAutomatic) return CorrectCast(*m_target, *m_target, cast, 1.0);
  const std::int32_t y = Grey(cast);
  cast.red = (y + cast.red) / 2;
  cast.blue = (y + cast.blue) / 2;
  return CorrectCast(*m_target, *m_target, cast, kHalfwayExponent);
}

int CWhiteBalance::EstimateCast(const CBgraImage16& levelled, Colour& cast) const {
  if (levelled.IsEmpty()) return 0;
  const std::size_t count = std::size_t{levelled.width} * levelled.height;
  auto saturation = AllocWorkArray<std::uint8_t>(count);
  if (!saturation) return 0;
  std::uint64_t histogram[256] = {};
  std::uint64_t included = 0;
  std::uint64_t sum[3] = {};
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint16_t* p = levelled.pixels + i * 4;
    for (int c = 0; c < 3; ++c) sum[c] += p[c];
    const std::uint8_t s = Saturation(p);
    saturation[i] = s;
    if (s != kExcluded) {
      ++histogram[s];
      ++included;
    }
  }
  Colour mean{static_cast<std::int32_t>(sum[0] / count), static_cast<std::int32_t>(sum[1] / count),
              static_cast<std::int32_t>(sum[2] / count)};
  if (included > kFewestIncluded) {
    std::uint64_t quota = included / 6;
    std::uint16_t hsl[4] = {static_cast<std::uint16_t>(mean.blue), static_cast<std::uint16_t>(mean.green),
                            static_cast<std::uint16_t>(mean.red), 0};
    RgbToHsl16(hsl, 1);
    if (hsl[2] >= kHalfQuotaHueLow && hsl[2] <= kHalfQuotaHueHigh) quota /= 2;
    std::uint64_t reached = 0;
    std::int32_t bins = 0;
    while (reached < quota && bins < 256) reached += histogram[bins++];
    // Pixels of saturation up to the number of bins added (one level more
    // than the bins themselves cover).
    std::uint64_t chosen = 0;
    std::uint64_t chosenSum[3] = {};
    for (std::size_t i = 0; i < count; ++i) {
      if (saturation[i] > bins) continue;
      const std::uint16_t* p = levelled.pixels + i * 4;
      for (int c = 0; c < 3; ++c) chosenSum[c] += p[c];
      ++chosen;
    }
    if (chosen > 0) {
      mean = {static_cast<std::int32_t>(chosenSum[0] / chosen),
              static_cast<std::int32_t>(chosenSum[1] / chosen),
              static_cast<std::int32_t>(chosenSum[2] / chosen)};
    }
  }
  cast = mean;
  return 1;
}

int CWhiteBalance::BuildCastTables(Colour cast, double exponent, std::span<ToneTable, 3> tables) {
  std::int32_t* components[3] = {&cast.blue, &cast.green, &cast.red};
  for (std::int32_t* c : components) {
    if (*c < kLiftBelow) *c += (kLiftBelow - *c) * 256 / kLiftBelow;
  }
  if (cast.blue > kHalveAbove || cast.green > kHalveAbove || cast.red > kHalveAbove) {
    for (std::int32_t* c : components) *c /= 2;
  }
  const double y = std::max(Grey(cast), 1);
  for (int c = 0; c < 3; ++c) {
    FillIdentity(tables[c]);
    if (!ApplyLutGain(tables[c], std::pow(y / *components[c], exponent), kGainKnee)) return 0;
  }
  return 1;
}

int CWhiteBalance::CorrectCast(const CBgraImage16& from, CBgraImage16& to, Colour cast,
                               double exponent) const {
  if (from.IsEmpty()) return 0;
  auto tables = AllocWorkArray<ToneTable>(3);
  if (!tables) return 0;
  if (!BuildCastTables(cast, exponent, std::span<ToneTable, 3>(tables.get(), 3))) return 0;
  return ApplyToneTables(from, to, tables[0], tables[1], tables[2]);
}
