#include "algorithms/tone/Curve.h"

#include <algorithm>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/tone/ApplyToneTables.h"
#include "image/PixelBlock.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::int64_t kEntriesPerCurve = static_cast<std::int64_t>(kToneTableSize);
constexpr std::size_t kPointBytes = kCurvePointCount * 2;

ConstToneTableSpan CurveTable(const std::uint16_t* tables, int index) {
  return ConstToneTableSpan(tables + static_cast<std::size_t>(index) * kToneTableSize, kToneTableSize);
}

}  // namespace

std::int64_t CurveEntriesFor(std::int32_t mode) {
  switch (mode) {
    case kCurveAllChannels:
    case kCurveLuminance:
      return kEntriesPerCurve;
    case kCurveRed:
    case kCurveGreen:
    case kCurveBlue:
      return 3 * kEntriesPerCurve;
    default:
      return 0;
  }
}

int ValidateCurveParams(const CurveParams& block) {
  const std::int64_t needed = CurveEntriesFor(block.mode);
  if (needed == 0) return 1;
  return block.tables && block.entries >= needed ? 1 : 0;
}

std::size_t CurveRecordCurves(std::uint8_t mode) {
  return static_cast<std::size_t>(CurveEntriesFor(mode) / kEntriesPerCurve);
}

std::vector<std::uint8_t> CurveRecordToBytes(const CurveRecord& record) {
  const std::size_t curves = CurveRecordCurves(record.mode);
  if (curves == 0) return {};
  ByteWriter w;
  w.U8(record.mode);
  for (std::size_t c = 0; c < curves; ++c) {
    for (std::uint16_t v : record.curves[c]) w.U16(v);
  }
  return w.Take();
}

std::size_t CurveRecordFromBytes(std::span<const std::uint8_t> bytes, CurveRecord& record) {
  if (bytes.empty()) return 0;
  CurveRecord read;
  read.mode = bytes[0];
  const std::size_t curves = CurveRecordCurves(read.mode);
  const std::size_t size = 1 + curves * kPointBytes;
  if (curves == 0 || bytes.size() < size) return 0;
  ByteReader r(bytes.subspan(1, size - 1));
  for (std::size_t c = 0; c < curves; ++c) {
    for (std::uint16_t& v : read.curves[c]) v = r.U16();
  }
  if (!r.ok()) return 0;
  record = read;
  return size;
}

int ExpandCurveRecord(const CurveRecord& record, ExpandedCurve& expanded) {
  const std::size_t curves = CurveRecordCurves(record.mode);
  if (curves == 0) return 0;
  auto tables = AllocWorkArray<ToneTable>(curves);
  if (!tables) return 0;
  for (std::size_t c = 0; c < curves; ++c) ExpandCurvePoints(tables[c], record.curves[c]);
  expanded.tables = std::move(tables);
  expanded.block = CurveParams{};
  expanded.block.mode = record.mode;
  expanded.block.entries = static_cast<std::int32_t>(curves * kToneTableSize);
  expanded.block.tables = expanded.tables[0].data();
  return 1;
}

int CCurve::Process() {
  if (!m_params || !m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  if (!ReadParamBlock(m_block) || !ValidateCurveParams(m_block)) return 0;
  if (CurveEntriesFor(m_block.mode) == 0) return m_target->CopyFrom(*m_source);
  // Stripes are merged only into a target of the source's size.
  if (m_target->width != m_source->width || m_target->height != m_source->height) m_target->Free();
  return SplitIntoStripes(0, 0) != 0 ? RunStripes(*this) : 0;
}

int CCurve::ProcessStripe(StripeTask* task) {
  if (!task || !task->sourceStripe || !task->resultStripe) return 0;
  const CBgraImage16& source = *task->sourceStripe;
  CBgraImage16& result = *task->resultStripe;
  const std::uint16_t* tables = m_block.tables;
  switch (m_block.mode) {
    case kCurveAllChannels:
      return ApplyToneTables(source, result, CurveTable(tables, 0), CurveTable(tables, 0),
                             CurveTable(tables, 0));
    case kCurveRed:
    case kCurveGreen:
    case kCurveBlue:
      return ApplyToneTables(source, result, CurveTable(tables, 2), CurveTable(tables, 1),
                             CurveTable(tables, 0));
    case kCurveLuminance: {
      if (!result.CopyFrom(source)) return 0;
      result.RgbToYcc();
      const ConstToneTableSpan curve = CurveTable(tables, 0);
      std::uint16_t* p = result.pixels;
      for (std::size_t i = 0, n = std::size_t{result.width} * result.height; i < n; ++i, p += 4)
        p[2] = curve[p[2]];
      result.YccToRgb();
      return 1;
    }
    default:
      return result.CopyFrom(source);
  }
}
