#include "output/JpegOptimize.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/geometry/ImageSize.h"
#include "image/BgraImage16.h"
#include "image/ImageCodec.h"
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

// Runs the jobs at once, the first on the calling thread and each other on
// a thread of its own; one after another when a thread cannot be made.
void RunSideBySide(const std::vector<std::function<void()>>& jobs) {
  std::vector<std::thread> threads;
  std::size_t next = 1;
  try {
    for (; next < jobs.size(); ++next) threads.emplace_back(jobs[next]);
  } catch (const std::system_error&) {
  }
  if (!jobs.empty()) jobs[0]();
  for (std::thread& thread : threads) thread.join();
  for (; next < jobs.size(); ++next) jobs[next]();
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
  m_workingDecoded = false;
  m_trials.clear();
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
    CCodecImage codec;
    if (!prepared.CopyFrom(working) || !PrepareJpegTrial(prepared, codec)) return 0;
    if (!FirstEncoding(codec)) return 0;
    if (m_block.sizePolicy != kPolicyNone && !m_cancelled &&
        std::uint64_t{m_encodedSize} > std::uint64_t(m_block.targetKb) * 1024) {
      int searched = 0;
      if (m_block.sizePolicy == kPolicyShrink) {
        codec.Destroy();
        searched = ShrinkSearch(prepared);
      } else {
        searched = QualitySearch(codec);
      }
      if (!searched) return 0;
    }
    if (m_cancelled) {
      SetProgress(100);
      return 1;
    }
    if (!m_lastEncoding.empty() && !DecodeLastEncoding()) return 0;
    if (!(m_block.runFlags & kRunMeasure) && !WriteResult()) return 0;
  }
  SetProgress(100);
  return 1;
}

int CJpegOptimize::DecodeLastEncoding() {
  if (m_workingDecoded) return 1;
  if (m_lastEncoding.empty() || !DecodeJpegFromMemory(m_lastEncoding, *m_block.working)) return 0;
  m_workingDecoded = true;
  return 1;
}

int CJpegOptimize::FirstEncoding(CCodecImage& prepared) {
  const std::int32_t quality = PassedQuality(m_block.quality);
  std::vector<std::uint8_t> standardBytes, adaptiveBytes;
  std::uint32_t standardSize = 0, adaptiveSize = 0;
  if (!m_block.adaptive) {
    if (m_block.sizePolicy == kPolicyQuality) {
      // The first encoding is the search's upper trial; the first search
      // trials run beside it and are kept for the search, if it comes.
      const std::int32_t hi = m_block.quality, q = hi / 2;
      if (!MeasureQualities(prepared, nullptr, {hi, q, q / 2, (q + hi) / 2})) {
        // A failed trial is measured again when the search needs it.
        std::erase_if(m_trials, [](const auto& trial) { return trial.second.size == 0; });
        if (!m_trials.contains(hi)) return 0;
      }
      m_encodedSize = m_trials[hi].size;
      m_lastEncoding = std::move(m_trials[hi].bytes);
      m_trials.erase(hi);
      return 1;
    }
    standardSize = EncodeJpegTrial(prepared, quality, nullptr, standardBytes);
    if (standardSize == 0) return 0;
    m_encodedSize = standardSize;
    m_lastEncoding = std::move(standardBytes);
    return 1;
  }
  // The two encodings side by side; a cancel meanwhile keeps the standard one.
  RunSideBySide(
      {[&] { standardSize = EncodeJpegTrial(prepared, quality, nullptr, standardBytes); },
       [&] { adaptiveSize = EncodeJpegTrial(prepared, quality, &m_adaptiveTable, adaptiveBytes); }});
  if (standardSize == 0) return 0;
  if (CancelRequested()) {
    m_encodedSize = standardSize;
    m_lastEncoding = std::move(standardBytes);
    return 1;
  }
  if (adaptiveSize != 0 && adaptiveSize < standardSize) {
    m_encodedSize = adaptiveSize;
    m_lastEncoding = std::move(adaptiveBytes);
    m_tableChoice = 0;
  } else {
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
  const auto goal =
      static_cast<std::uint32_t>(static_cast<double>(std::uint64_t(m_block.targetKb) * 1024) * 0.9);
  const std::int32_t quality = PassedQuality(m_block.quality);
  m_tableChoice = 1;
  // The sides of the last result; the working image is decoded at the end.
  std::uint32_t lastWidth = prepared.width, lastHeight = prepared.height;
  while (m_encodedSize >= goal && m_encodedSize != 0) {
    if (CancelRequested()) return 1;
    const double f = std::min(std::sqrt(static_cast<double>(goal) / m_encodedSize), 0.9);
    const auto side = [f](std::uint32_t current, std::uint32_t limit) {
      const auto scaled = static_cast<std::uint32_t>(current * f + 0.5);
      return std::max(scaled, std::min(kSmallestSide, limit));
    };
    const std::uint32_t width = side(lastWidth, source.width), height = side(lastHeight, source.height);
    if (width == lastWidth && height == lastHeight) break;
    if (!ResizeInto(source, width, height, prepared, 80, 100)) return 0;
    CCodecImage codec;
    std::vector<std::uint8_t> bytes;
    const std::uint32_t size =
        PrepareJpegTrial(prepared, codec) ? EncodeJpegTrial(codec, quality, nullptr, bytes) : 0;
    if (size == 0) break;
    const bool fell = size < m_encodedSize;
    lastWidth = width;
    lastHeight = height;
    m_encodedSize = size;
    m_lastEncoding = std::move(bytes);
    m_workingDecoded = false;
    if (!fell) break;
  }
  SetProgress(100);
  return 1;
}

bool CJpegOptimize::MeasureQualities(CCodecImage& prepared, const std::array<std::uint32_t, 64>* table,
                                     std::initializer_list<std::int32_t> qualities) {
  std::vector<std::function<void()>> jobs;
  std::vector<std::int32_t> started;
  for (std::int32_t q : qualities) {
    if (q < 0 || m_trials.contains(q) || std::find(started.begin(), started.end(), q) != started.end())
      continue;
    started.push_back(q);
    QualityTrial& trial = m_trials[q];
    jobs.push_back([this, &prepared, &trial, table, q] {
      trial.size = EncodeJpegTrial(prepared, PassedQuality(q), table, trial.bytes);
    });
  }
  RunSideBySide(jobs);
  for (std::int32_t q : started) {
    if (m_trials[q].size == 0) return false;
  }
  return true;
}

int CJpegOptimize::QualitySearch(CCodecImage& prepared) {
  const std::uint64_t limit = std::uint64_t(m_block.targetKb) * 1024;
  const bool useTable = m_block.adaptive && m_tableChoice == 0;
  const std::array<std::uint32_t, 64>* table = useTable ? &m_adaptiveTable : nullptr;
  // Trials of the first encoding were made with the standard table.
  if (useTable) m_trials.clear();
  const auto measure = [&](std::initializer_list<std::int32_t> qualities) {
    return MeasureQualities(prepared, table, qualities);
  };

  // The steps of a bisection between lo (fits) and hi (does not); each
  // trial is measured together with the two that may follow it.
  std::int32_t hi = m_block.quality, lo = 0, best = 1;
  std::int32_t q = hi / 2;
  for (;;) {
    if (!m_trials.contains(q) && !measure({q, (lo + q) / 2, (q + hi) / 2})) return 0;
    if (m_trials[q].size > limit) {
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
  }
  m_chosenQuality = best;
  // The chosen quality's encoding was measured on the way, but for a
  // quality of 1 that nothing reached.
  if (!measure({best})) {
    m_encodedSize = 0;
    m_lastEncoding.clear();
  } else {
    m_encodedSize = m_trials[best].size;
    m_lastEncoding = std::move(m_trials[best].bytes);
  }
  m_workingDecoded = false;
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
