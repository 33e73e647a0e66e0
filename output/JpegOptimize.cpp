#include "output/JpegOptimize.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/geometry/ImageSize.h"
#include "image/BgraImage16.h"
#include "output/JpegOptimizeSteps.h"
#include "platform/AtomicFile.h"
#include "platform/Utf16.h"

namespace {

// The side a shrink round stops at.
constexpr std::uint32_t kSmallestSide = 10;

void ReportDctRow(void* context, std::uint32_t row, std::uint32_t rows) {
  static_cast<CJpegOptimize*>(context)->SetProgress(
      20 + static_cast<std::int32_t>(20 * std::uint64_t{row} / rows));
}

}  // namespace

CJpegOptimize::CJpegOptimize() {
  m_block.version = 2;
  m_block.source = nullptr;
  m_block.working = nullptr;
  m_block.third = nullptr;
  std::fill(std::begin(m_block.reserved), std::end(m_block.reserved), std::uint8_t{0});
}

bool CJpegOptimize::CancelRequested() {
  if (theAlgorithmThread.IsCancelRequested()) m_cancelled = true;
  return m_cancelled;
}

std::int32_t CJpegOptimize::PassedQuality(std::int32_t quality) const {
  return m_block.chromaMode == kChromaFull && quality != 0 ? quality + 100 : quality;
}

int CJpegOptimize::ResizeInto(const CBgraImage& source, std::uint32_t width, std::uint32_t height,
                              CBgraImage& target, std::int32_t lo, std::int32_t hi) {
  CBgraImage16 wide, resized;
  if (!wide.FromBgraImage(source, 1)) return 0;
  CImageSize size;
  size.NestIn(*this, lo, hi);
  size.m_rangeLo = 0;
  size.m_rangeHi = 100;
  size.m_block.detail = 75;
  size.m_block.sharpness =
      width < source.width / 2
          ? 30
          : static_cast<std::int32_t>((1.0 - static_cast<double>(width) / source.width) * 50 + 5);
  if (!size.ResizeSmart(wide, resized, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)) ||
      resized.IsEmpty()) {
    return 0;
  }
  wide.Free();
  return resized.ToBgraImageDithered(target);
}

int CJpegOptimize::Process() {
  m_cancelled = false;
  if (!m_params) return 0;
  std::memcpy(&m_block, m_params, sizeof m_block);
  ValidateJpegOptimizeParams(m_block);
  m_chosenQuality = 0;
  m_lastEncoding.clear();
  if (!m_block.source || m_block.source->IsEmpty() || !m_block.working) return 0;
  const CBgraImage& source = *m_block.source;
  CBgraImage& working = *m_block.working;

  std::uint32_t width = 0, height = 0;
  if (JpegLimitSize(m_block.sizeMode, m_block.sizeValue, source.width, source.height, width, height)) {
    if (!ResizeInto(source, width, height, working, 0, 10)) return 0;
  } else if (!working.CopyFrom(source)) {
    return 0;
  }
  if (m_block.chromaMode == kChromaDetect)
    m_block.chromaMode = DetectFullChroma(source) ? kChromaFull : kChromaSubsampled;

  SetProgress(10);
  if (!SoftenImage(working, m_block.softening)) return 0;
  SetProgress(20);
  if (CancelRequested()) {
    SetProgress(100);
    return 1;
  }

  std::array<std::uint16_t, 64> averages{};
  std::uint64_t blocks = 0;
  if (m_block.adaptive || m_block.optimiseMore) {
    working.RgbToYcc();
    blocks = RunDctPass(working, m_block.optimiseMore != 0, averages, &ReportDctRow, this);
    working.YccToRgb();
  }
  SetProgress(40);
  BuildAdaptiveTable(averages, blocks, m_block.adaptive != 0, m_adaptiveTable);

  SetProgress(60);
  if (CancelRequested()) return 1;

  if (m_block.runFlags & (kRunEncode | kRunMeasure)) {
    CBgraImage prepared;
    if (!prepared.CopyFrom(working)) return 0;
    if (!FirstEncoding(prepared)) return 0;
    if (m_block.sizePolicy != kPolicyNone &&
        std::uint64_t{m_encodedSize} > std::uint64_t(m_block.targetKb) * 1024 && !m_cancelled) {
      const int searched =
          m_block.sizePolicy == kPolicyShrink ? ShrinkSearch(prepared) : QualitySearch(prepared);
      if (!searched) return 0;
    }
    if (m_cancelled) {
      SetProgress(100);
      return 1;
    }
    if (!(m_block.runFlags & kRunMeasure) && !WriteResult()) return 0;
  }
  SetProgress(100);
  return 1;
}

int CJpegOptimize::FirstEncoding(const CBgraImage& prepared) {
  CBgraImage& working = *m_block.working;
  const std::int32_t quality = PassedQuality(m_block.quality);
  CBgraImage standard;
  std::vector<std::uint8_t> standardBytes;
  const std::uint32_t standardSize = EncodeJpegTrial(prepared, quality, nullptr, standardBytes, &standard);
  if (standardSize == 0) return 0;
  if (!m_block.adaptive) {
    working = std::move(standard);
    m_encodedSize = standardSize;
    m_lastEncoding = std::move(standardBytes);
    return 1;
  }
  if (CancelRequested()) {
    m_encodedSize = standardSize;
    return 1;
  }
  CBgraImage adaptive;
  std::vector<std::uint8_t> adaptiveBytes;
  const std::uint32_t adaptiveSize =
      EncodeJpegTrial(prepared, quality, &m_adaptiveTable, adaptiveBytes, &adaptive);
  if (adaptiveSize != 0 && adaptiveSize < standardSize) {
    working = std::move(adaptive);
    m_encodedSize = adaptiveSize;
    m_lastEncoding = std::move(adaptiveBytes);
    m_tableChoice = 0;
  } else {
    working = std::move(standard);
    m_encodedSize = standardSize;
    m_lastEncoding = std::move(standardBytes);
    m_tableChoice = 1;
  }
  return 1;
}

// The shrink search resizes the untouched source, so softening and the DCT
// smoothing do not reach the smaller pictures. It stops when the size falls
// below 90 % of the target, when the sides reach kSmallestSide, when a round
// no longer makes the file smaller (the goal is out of reach: a target of
// 0 KB) or on a cancel; the last result stands.
int CJpegOptimize::ShrinkSearch(CBgraImage& prepared) {
  const CBgraImage& source = *m_block.source;
  CBgraImage& working = *m_block.working;
  const auto goal =
      static_cast<std::uint32_t>(static_cast<double>(std::uint64_t(m_block.targetKb) * 1024) * 0.9);
  const std::int32_t quality = PassedQuality(m_block.quality);
  m_tableChoice = 1;
  while (m_encodedSize >= goal && m_encodedSize != 0) {
    if (CancelRequested()) return 1;
    const double f = std::min(std::sqrt(static_cast<double>(goal) / m_encodedSize), 0.9);
    const auto side = [f](std::uint32_t current, std::uint32_t limit) {
      const auto scaled = static_cast<std::uint32_t>(current * f + 0.5);
      return std::max(scaled, std::min(kSmallestSide, limit));
    };
    const std::uint32_t width = side(working.width, source.width),
                        height = side(working.height, source.height);
    if (width == working.width && height == working.height) break;
    if (!ResizeInto(source, width, height, prepared, 80, 100)) return 0;
    CBgraImage decoded;
    std::vector<std::uint8_t> bytes;
    const std::uint32_t size = EncodeJpegTrial(prepared, quality, nullptr, bytes, &decoded);
    if (size == 0) break;
    const bool fell = size < m_encodedSize;
    working = std::move(decoded);
    m_encodedSize = size;
    m_lastEncoding = std::move(bytes);
    if (!fell) break;
  }
  SetProgress(100);
  return 1;
}

int CJpegOptimize::QualitySearch(const CBgraImage& prepared) {
  const std::uint64_t limit = std::uint64_t(m_block.targetKb) * 1024;
  const bool useTable = m_block.adaptive && m_tableChoice == 0;
  const std::array<std::uint32_t, 64>* table = useTable ? &m_adaptiveTable : nullptr;
  std::int32_t hi = m_block.quality, lo = 0, best = 1;
  std::int32_t q = hi / 2;
  std::vector<std::uint8_t> bytes;
  std::uint32_t size = EncodeJpegTrial(prepared, PassedQuality(q), table, bytes, nullptr);
  if (size == 0) return 0;
  for (;;) {
    if (size > limit) {
      hi = q;
      if (q < 1) break;
    } else {
      best = std::max(best, q);
      if (q >= hi - 1) break;
      lo = q;
    }
    SetProgress((lo - hi + 100) / 5 + 80);
    if (CancelRequested()) return 1;
    q = (lo + hi) / 2;
    size = EncodeJpegTrial(prepared, PassedQuality(q), table, bytes, nullptr);
    if (size == 0) return 0;
  }
  CBgraImage decoded;
  const std::uint32_t last = EncodeJpegTrial(prepared, PassedQuality(best), table, bytes, &decoded);
  m_encodedSize = last;
  if (last != 0) {
    *m_block.working = std::move(decoded);
    m_lastEncoding = std::move(bytes);
  } else {
    m_lastEncoding.clear();
  }
  m_chosenQuality = best;
  SetProgress(100);
  return 1;
}

int CJpegOptimize::WriteResult() {
  if (!(m_block.runFlags & kRunEncode) || m_block.path[0] == 0) return 1;
  if (m_lastEncoding.empty()) return 0;
  CAtomicFile file;
  if (!file.Open(PathFromUtf16(m_block.path.data()))) return 0;
  if (!file.Write(m_lastEncoding.data(), m_lastEncoding.size())) return 0;
  return file.Commit() ? 1 : 0;
}
