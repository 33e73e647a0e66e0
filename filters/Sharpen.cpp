#include "filters/Sharpen.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/CurvePoints.h"
#include "algorithms/GaussBlur.h"
#include "filters/CutStripes.h"
#include "platform/LittleEndian.h"

void ValidateSharpenParams(SharpenParams& block) {
  if (!(block.radius >= SharpenParams::kMinRadius)) block.radius = SharpenParams::kMinRadius;  // NaN too
  block.radius = std::min(block.radius, SharpenParams::kMaxRadius);
  block.amount = std::clamp(block.amount, 0, SharpenParams::kMaxAmount);
}

std::array<std::uint8_t, kSharpenRecordSize> SharpenRecordToBytes(const SharpenParams& block) {
  ByteWriter w;
  w.U16(sizeof(SharpenParams));
  w.Zeros(sizeof block.padding0);
  w.F64(block.radius);
  w.I32(block.amount);
  w.Zeros(sizeof block.padding1);
  w.U64(0);  // the table's address means nothing stored
  w.Zeros(sizeof block.reserved);
  CurvePoints points{};
  if (block.responseTable) {
    SampleCurvePoints(std::span<const std::uint16_t, kToneTableSize>(block.responseTable, kToneTableSize),
                      points);
  }
  for (const std::uint16_t point : points) w.U16(point);
  std::array<std::uint8_t, kSharpenRecordSize> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int SharpenRecordFromBytes(std::span<const std::uint8_t> bytes, SharpenParams& block, ToneTableSpan table) {
  if (bytes.size() < 2) return 0;
  // The points follow the bytes the size word counts, whatever it says; only
  // the block's own 40 of them are taken as fields.
  const std::size_t stored = LoadLE16(bytes.data());
  const std::size_t pointBytes = kCurvePointCount * sizeof(std::uint16_t);
  if (bytes.size() < stored + pointBytes) return 0;
  std::array<std::uint8_t, sizeof(SharpenParams)> full{};
  {
    const std::array<std::uint8_t, kSharpenRecordSize> fresh = SharpenRecordToBytes({});
    std::copy_n(fresh.begin(), full.size(), full.begin());
  }
  std::copy_n(bytes.begin(), std::min(stored, full.size()), full.begin());
  ByteReader r(full);
  SharpenParams read;
  r.U16();
  r.Skip(sizeof read.padding0);
  read.radius = r.F64();
  read.amount = r.I32();
  ValidateSharpenParams(read);

  ByteReader points(bytes.subspan(stored, pointBytes));
  CurvePoints curve{};
  for (std::uint16_t& point : curve) point = points.U16();
  ExpandCurvePoints(table, curve);
  read.responseTable = table.data();
  block = read;
  return 1;
}

std::int32_t CSharpen::ShrinkFactor(double radius) {
  if (!(radius > CGaussBlur::kReductionLimit)) return 1;
  auto k = static_cast<std::int32_t>(std::ceil(radius / CGaussBlur::kReductionLimit));
  k = std::max(k, 2);
  while (radius / k > CGaussBlur::kReductionLimit) ++k;
  while (k > 2 && radius / (k - 1) <= CGaussBlur::kReductionLimit) --k;
  return k;
}

std::int32_t CSharpen::StripeOverlap(double radius) {
  return static_cast<std::int32_t>(std::trunc(4 * radius + 1 - ShrinkFactor(radius)));
}

int CSharpen::Process() {
  // Stripes read source rows that a merge of their neighbours would change.
  if (!m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  if (!ReadParamBlock(m_block)) return 0;
  ValidateSharpenParams(m_block);
  if (!m_block.responseTable) return 0;
  // Stripes merge only into a target of the source's size.
  if (!m_target->IsEmpty() && (m_target->width != m_source->width || m_target->height != m_source->height)) {
    m_target->Free();
  }
  if (!SplitIntoStripes(StripeOverlap(m_block.radius), 0)) return 0;
  CutStripesAtPicture(*this, ShrinkFactor(m_block.radius));
  return RunStripes(*this);
}

int CSharpen::ProcessStripe(StripeTask* task) {
  const CBgraImage16& s = *task->sourceStripe;
  CBgraImage16& result = *task->resultStripe;
  if (!result.CopyFrom(s)) return 0;
  CBgraImage16 blurred;
  {
    CGaussBlur blur;
    blur.NestIn(*this, 0, 0);
    if (!blur.BlurImage(s, blurred, m_block.radius)) return 0;
  }
  const std::uint16_t* table = m_block.responseTable;
  const std::int32_t amount = m_block.amount;
  const std::size_t count = std::size_t{s.width} * s.height;
  const std::uint16_t* in = s.pixels;
  const std::uint16_t* blur = blurred.pixels;
  std::uint16_t* out = result.pixels;
  for (std::size_t i = 0; i < count; ++i, in += 4, blur += 4, out += 4) {
    for (int c = 0; c < 3; ++c) {
      const std::int32_t value = in[c];
      const std::int32_t d = value - blur[c];
      const std::int32_t q = table[std::abs(d)] * amount / 50;
      const std::int32_t moved = d >= 0 ? value + q : value - q / 2;
      out[c] = static_cast<std::uint16_t>(std::clamp(moved, 0, 65535));
    }
  }
  return 1;
}
