#include "algorithms/tone/GradientFilter.h"

#include <algorithm>
#include <cmath>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/tone/AFilmAdjust.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::size_t kBlockSize = sizeof(GradientFilterParams);
constexpr double kPi = 3.14159265359;
// The colour gradient's tone maker: grey weights and toning strength.
constexpr std::int32_t kToneWeights[3] = {33, 33, 34};
constexpr std::int32_t kToneStrength = 50;

void WriteColour(ByteWriter& w, const ToneColour& c) {
  for (std::uint16_t v : {c.blue, c.green, c.red, c.alpha}) w.U16(v);
}

ToneColour ReadColour(ByteReader& r) {
  ToneColour c;
  for (std::uint16_t* v : {&c.blue, &c.green, &c.red, &c.alpha}) *v = r.U16();
  return c;
}

}  // namespace

void ValidateGradientFilterParams(GradientFilterParams& block) {
  using P = GradientFilterParams;
  block.exposureKind = block.exposureKind != 0 ? 1 : 0;
  block.exposure =
      std::isnan(block.exposure) ? 0.0 : std::clamp(block.exposure, -P::kExposureLimit, P::kExposureLimit);
  for (std::int32_t* v : {&block.opacity, &block.start, &block.end}) *v = std::clamp(*v, 0, P::kPercentLimit);
}

std::array<std::uint8_t, kBlockSize> GradientFilterParamsToBytes(const GradientFilterParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.Zeros(sizeof block.reserved0);
  w.I32(block.exposureKind);
  w.F64(block.exposure);
  WriteColour(w, block.first);
  WriteColour(w, block.second);
  for (std::int32_t v : {block.opacity, block.angle, block.start, block.end}) w.I32(v);
  std::array<std::uint8_t, kBlockSize> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int GradientFilterParamsFromBytes(std::span<const std::uint8_t> bytes, GradientFilterParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), kBlockSize);
  if (bytes.size() < stored) return 0;
  std::array<std::uint8_t, kBlockSize> merged = GradientFilterParamsToBytes(GradientFilterParams{});
  std::copy_n(bytes.begin(), stored, merged.begin());
  ByteReader r(merged);
  GradientFilterParams read;
  r.Skip(2 + sizeof read.reserved0);  // the size word becomes 48
  read.exposureKind = r.I32();
  read.exposure = r.F64();
  read.first = ReadColour(r);
  read.second = ReadColour(r);
  for (std::int32_t* v : {&read.opacity, &read.angle, &read.start, &read.end}) *v = r.I32();
  if (!r.ok()) return 0;
  ValidateGradientFilterParams(read);
  block = read;
  return 1;
}

std::int32_t CGradientFilter::Weight(std::int32_t position, std::int32_t start, std::int32_t end) {
  if (position > 10 * end) return 255;
  // Reached only with end above start: no division by zero.
  if (position > 10 * start) return (position - 10 * start) * 255 / (10 * (end - start));
  return 0;
}

int CGradientFilter::Process() {
  if (!m_params || !m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  if (!ReadParamBlock(m_block)) return 0;
  ValidateGradientFilterParams(m_block);

  // The two versions, each from the source: the first into m_first, the
  // second into the target.
  const auto makeVersion = [this](CAlgorithm& nested, const void* block, CBgraImage16& into, std::int32_t lo,
                                  std::int32_t hi) {
    nested.NestIn(*this, lo, hi);
    nested.m_source = m_source;
    nested.m_target = &into;
    nested.m_params = block;
    return nested.Process();
  };
  int made = 1;
  for (int version = 0; version < 2 && made; ++version) {
    CBgraImage16& into = version == 0 ? m_first : *m_target;
    const std::int32_t lo = 10 * version, hi = lo + 10;
    if (m_block.exposureKind != 0) {
      AFilmAdjustParams film;
      film.exposure = static_cast<std::int32_t>((m_block.exposure + (version == 0 ? -1 : 1)) * 10);
      CAFilmAdjust nested;
      made = makeVersion(nested, &film, into, lo, hi);
    } else {
      ToneMakerParams tone;
      tone.redWeight = kToneWeights[0];
      tone.greenWeight = kToneWeights[1];
      tone.blueWeight = kToneWeights[2];
      tone.monochrome = 0;
      tone.strength = kToneStrength;
      tone.shadow = tone.midTone = tone.highlight = version == 0 ? m_block.first : m_block.second;
      CToneMaker nested;
      made = makeVersion(nested, &tone, into, lo, hi);
    }
  }
  if (!made) {
    m_first.Free();
    return 0;
  }

  // Integer halves, as the centre is; a 1 x 1 picture would give 0.
  const double halfWidth = m_source->width / 2, halfHeight = m_source->height / 2;
  m_halfDiagonal = std::max(std::sqrt(halfWidth * halfWidth + halfHeight * halfHeight), 1.0);
  const int done = SplitIntoStripes(0, 0) != 0 ? RunStripes(*this) : 0;
  m_first.Free();
  return done;
}

int CGradientFilter::ProcessStripe(StripeTask* task) {
  if (!task || !task->sourceStripe || !task->resultStripe || !m_source || !m_target) return 0;
  const CBgraImage16& source = *task->sourceStripe;
  CBgraImage16& result = *task->resultStripe;
  const std::uint32_t width = m_source->width, height = m_source->height;
  if (m_first.width != width || m_first.height != height || m_target->width != width ||
      m_target->height != height || source.width != width || result.width != width ||
      result.height != source.height) {
    return 0;
  }
  const double radians = m_block.angle * kPi / 180;
  const double sine = std::sin(radians), cosine = std::cos(radians);
  const std::int64_t cx = width / 2, cy = height / 2;
  const std::int64_t opacity = m_block.opacity;
  const std::int32_t from = std::max(task->rowStart, 0);
  const std::int32_t to = std::min(task->rowEnd, static_cast<std::int32_t>(height));
  for (std::int32_t y = from; y < to; ++y) {
    const auto stripeRow = static_cast<std::uint32_t>(y - task->rowFrom);
    const std::uint16_t* in = source.Row(stripeRow);
    std::uint16_t* out = result.Row(stripeRow);
    const std::uint16_t* first = m_first.Row(static_cast<std::uint32_t>(y));
    const std::uint16_t* second = m_target->Row(static_cast<std::uint32_t>(y));
    const double u = std::clamp(static_cast<double>(y - cy) / m_halfDiagonal, -1.0, 1.0);
    for (std::uint32_t x = 0; x < width; ++x, in += 4, out += 4, first += 4, second += 4) {
      const double v = std::clamp(static_cast<double>(std::int64_t{x} - cx) / m_halfDiagonal, -1.0, 1.0);
      const auto position = std::clamp(static_cast<std::int32_t>((u * cosine + v * sine + 1) * 500), 0, 1000);
      const std::int64_t b = Weight(position, m_block.start, m_block.end);
      for (int c = 0; c < 3; ++c) {
        // The second version is read before out is written: in a single-task
        // pass they are the same pixel.
        const std::int64_t t = (second[c] * b + first[c] * (255 - b)) / 255;
        out[c] = static_cast<std::uint16_t>((in[c] * (100 - opacity) + opacity * t) / 100);
      }
    }
  }
  return 1;
}
