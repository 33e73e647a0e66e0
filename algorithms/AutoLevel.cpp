#include "algorithms/AutoLevel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "algorithms/ToneTable.h"
#include "image/PixelBlock.h"

namespace {

std::int32_t BlackPoint(const std::uint32_t* histogram, std::uint64_t clipCount) {
  std::uint64_t sum = 0;
  for (std::int32_t level = 0; level < CAutoLevel::kBlackStop; ++level) {
    sum += histogram[level];
    if (sum > clipCount) return level;
  }
  return CAutoLevel::kBlackStop;
}

std::int32_t WhitePoint(const std::uint32_t* histogram, std::uint64_t clipCount) {
  std::uint64_t sum = 0;
  for (std::int32_t level = 65535; level > CAutoLevel::kWhiteStop; --level) {
    sum += histogram[level];
    if (sum > clipCount) return level;
  }
  return CAutoLevel::kWhiteStop;
}

// black < white always holds here: the stops keep them apart.
void BuildLinearLevels(ToneTableSpan table, std::int32_t black, std::int32_t white) {
  for (std::int32_t v = 0; v < static_cast<std::int32_t>(kToneTableSize); ++v) {
    if (v < black) {
      table[static_cast<std::size_t>(v)] = 0;
    } else if (v < white) {
      table[static_cast<std::size_t>(v)] =
          static_cast<std::uint16_t>((v - black) * 65535.0 / (white - black));
    } else {
      table[static_cast<std::size_t>(v)] = 65535;
    }
  }
}

void BuildLevels(ToneTableSpan table, std::int32_t black, std::int32_t white, bool srgb) {
  if (srgb) {
    BuildLevelsLutSrgb(table, black, white);
  } else {
    BuildLinearLevels(table, black, white);
  }
}

ToneTableSpan TableAt(std::uint16_t* tables, int index) {
  return ToneTableSpan(tables + static_cast<std::size_t>(index) * kToneTableSize, kToneTableSize);
}

// B, G and R of every pixel through tables (b, g, r).
void ApplyTables(CBgraImage16& image, const std::uint16_t* b, const std::uint16_t* g,
                 const std::uint16_t* r) {
  for (std::size_t i = 0, n = std::size_t{image.width} * image.height; i < n; ++i) {
    std::uint16_t* p = image.pixels + i * 4;
    p[0] = b[p[0]];
    p[1] = g[p[1]];
    p[2] = r[p[2]];
  }
}

}  // namespace

int CAutoLevel::LevelPerChannel(const CBgraImage16& source, CBgraImage16& destination, double clip,
                                bool srgb) {
  if (source.IsEmpty() || std::isnan(clip)) return 0;
  auto histograms = AllocWorkArray<std::uint32_t>(3 * kToneTableSize);
  auto tables = AllocWorkArray<std::uint16_t>(3 * kToneTableSize);
  if (!histograms || !tables) return 0;
  std::memset(histograms.get(), 0, 3 * kToneTableSize * sizeof(std::uint32_t));
  const std::size_t count = std::size_t{source.width} * source.height;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint16_t* p = source.pixels + i * 4;
    for (std::size_t c = 0; c < 3; ++c) ++histograms[c * kToneTableSize + p[c]];
  }
  if (!destination.CopyFrom(source)) return 0;
  const auto clipCount =
      static_cast<std::uint64_t>(static_cast<double>(count) * std::clamp(clip, 0.0, 1000.0) / 1000);
  for (int c = 0; c < 3; ++c) {
    const std::uint32_t* histogram = histograms.get() + static_cast<std::size_t>(c) * kToneTableSize;
    BuildLevels(TableAt(tables.get(), c), BlackPoint(histogram, clipCount), WhitePoint(histogram, clipCount),
                srgb);
  }
  ApplyTables(destination, tables.get(), tables.get() + kToneTableSize, tables.get() + 2 * kToneTableSize);
  return 1;
}

int CAutoLevel::LevelByLuma(const CBgraImage16& source, CBgraImage16& destination, bool srgb) {
  if (source.IsEmpty()) return 0;
  auto histogram = AllocWorkArray<std::uint32_t>(kToneTableSize);
  auto table = AllocWorkArray<std::uint16_t>(kToneTableSize);
  if (!histogram || !table) return 0;
  std::memset(histogram.get(), 0, kToneTableSize * sizeof(std::uint32_t));
  const std::size_t count = std::size_t{source.width} * source.height;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint16_t* p = source.pixels + i * 4;
    ++histogram[(6 * std::uint32_t{p[1]} + 3 * std::uint32_t{p[2]} + p[0]) / 10];
  }
  if (!destination.CopyFrom(source)) return 0;
  const std::uint64_t clipCount = count / 500;
  BuildLevels(TableAt(table.get(), 0), BlackPoint(histogram.get(), clipCount),
              WhitePoint(histogram.get(), clipCount), srgb);
  ApplyTables(destination, table.get(), table.get(), table.get());
  return 1;
}

int CAutoLevel::LevelChannels(const CBgraImage16& source, CBgraImage16& destination, double clip) {
  return LevelPerChannel(source, destination, clip, true);
}

int CAutoLevel::LevelChannelsLinear(const CBgraImage16& source, CBgraImage16& destination, double clip) {
  return LevelPerChannel(source, destination, clip, false);
}

int CAutoLevel::LevelLuma(const CBgraImage16& source, CBgraImage16& destination) {
  return LevelByLuma(source, destination, true);
}

int CAutoLevel::LevelLumaLinear(const CBgraImage16& source, CBgraImage16& destination) {
  return LevelByLuma(source, destination, false);
}
