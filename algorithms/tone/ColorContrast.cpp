#include "algorithms/tone/ColorContrast.h"

#include <algorithm>
#include <cstring>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/GaussBlur.h"
#include "image/ColorModel.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::size_t kBlockSize = sizeof(ColorContrastParams);
constexpr double kRadiusDivisor = 50.0;

// The new saturation of a pixel of saturation s whose surroundings have sb.
std::uint16_t PushSaturation(std::int64_t s, std::int64_t sb, std::int64_t amount) {
  const std::int64_t t = ((((65536 - s) * amount) >> 16) + amount) / 2;
  return static_cast<std::uint16_t>(std::clamp<std::int64_t>(s + t * (s - sb) / 100, 0, 65535));
}

}  // namespace

void ValidateColorContrastParams(ColorContrastParams& block) {
  block.amount = std::clamp(block.amount, -ColorContrastParams::kLimit, ColorContrastParams::kLimit);
}

std::array<std::uint8_t, kBlockSize> ColorContrastParamsToBytes(const ColorContrastParams& block) {
  std::array<std::uint8_t, kBlockSize> bytes{};
  StoreLE16(bytes.data(), block.size);
  StoreLE32(bytes.data() + 4, static_cast<std::uint32_t>(block.amount));
  return bytes;
}

int ColorContrastParamsFromBytes(std::span<const std::uint8_t> bytes, ColorContrastParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), kBlockSize);
  if (bytes.size() < stored) return 0;
  std::array<std::uint8_t, kBlockSize> merged = ColorContrastParamsToBytes(ColorContrastParams{});
  std::copy_n(bytes.begin(), stored, merged.begin());
  ColorContrastParams read;
  read.amount = static_cast<std::int32_t>(LoadLE32(merged.data() + 4));
  ValidateColorContrastParams(read);
  block = read;
  return 1;
}

int CColorContrast::Process() {
  if (!m_params || !m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  if (!ReadParamBlock(m_block)) return 0;
  ValidateColorContrastParams(m_block);
  if (m_block.amount == 0) return m_target->CopyFrom(*m_source);
  if (!m_target->Create(m_source->width, m_source->height)) return 0;
  SetProgress(1);
  m_radius = std::min(m_source->width, m_source->height) / kRadiusDivisor;

  int done = RunPass(Pass::kToHsl, 1, 5);
  if (done) {
    CGaussBlur blur;
    blur.NestIn(*this, 5, 80);
    GaussBlurParams params{m_radius};
    blur.m_source = m_target;
    blur.m_target = &m_blurred;
    blur.m_params = &params;
    done = blur.Process();
  }
  if (done) done = RunPass(Pass::kContrast, 80, 100);
  m_blurred.Free();
  // Skipped stripes leave HSL or unwritten rows behind.
  if (done && theAlgorithmThread.IsCancelRequested()) return m_target->CopyFrom(*m_source);
  return done;
}

int CColorContrast::RunPass(Pass pass, std::int32_t lo, std::int32_t hi) {
  m_pass = pass;
  m_passLo = lo;
  m_passHi = hi;
  {
    std::lock_guard lock(m_lock);
    m_passStripesDone = 0;
  }
  if (SplitIntoStripes(0, 0) == 0 || !RunStripes(*this)) return 0;
  SetProgress(hi);
  return 1;
}

int CColorContrast::PrepareStripe(StripeTask* task, CBgraImage16&, CBgraImage16&) {
  if (!task || !m_source || !m_target) return 0;
  task->sourceStripe = m_source;
  task->resultStripe = m_target;
  return 1;
}

void CColorContrast::OnStripeDone(StripeTask* task) {
  std::lock_guard lock(m_lock);
  if (m_tasks.size() <= 1) return;
  task->sourceStripe = nullptr;
  task->resultStripe = nullptr;
  ++m_passStripesDone;
  SetProgress(static_cast<std::int32_t>(m_passLo + (m_passHi - m_passLo) * m_passStripesDone /
                                                       static_cast<std::int64_t>(m_tasks.size())));
}

int CColorContrast::ProcessStripe(StripeTask* task) {
  // Both stripes are the whole pictures (PrepareStripe, or a single task).
  if (!task || task->sourceStripe != m_source || task->resultStripe != m_target) return 0;
  const CBgraImage16& source = *m_source;
  CBgraImage16& target = *m_target;
  if (target.width != source.width || target.height != source.height) return 0;
  if (m_pass == Pass::kContrast &&
      (m_blurred.width != source.width || m_blurred.height != source.height || m_blurred.IsEmpty())) {
    return 0;
  }
  const std::uint32_t from = static_cast<std::uint32_t>(std::max(task->rowStart, 0));
  const std::uint32_t to = std::min(static_cast<std::uint32_t>(std::max(task->rowEnd, 0)), source.height);
  const std::size_t width = source.width;
  const std::int64_t amount = m_block.amount;
  for (std::uint32_t y = from; y < to; ++y) {
    std::uint16_t* row = target.Row(y);
    if (m_pass == Pass::kToHsl) {
      std::memcpy(row, source.Row(y), width * 4 * sizeof(std::uint16_t));
      RgbToHsl16(row, width);
      continue;
    }
    const std::uint16_t* around = m_blurred.Row(y);
    for (std::size_t x = 0; x < width; ++x)
      row[x * 4 + 1] = PushSaturation(row[x * 4 + 1], around[x * 4 + 1], amount);
    HslToRgb16(row, width);
  }
  return 1;
}
