#include "algorithms/geometry/BarrelDistort.h"

#include <algorithm>
#include <cmath>

#include "algorithms/geometry/OpaqueCrop.h"
#include "algorithms/geometry/WarpSampling.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::size_t kBlockSize = sizeof(BarrelDistortParams);
constexpr std::int32_t kProgressRows = 10;
constexpr std::int32_t kPixelsProgress = 90;

}  // namespace

void ValidateBarrelDistortParams(BarrelDistortParams& block) {
  using P = BarrelDistortParams;
  block.size = kBlockSize;
  std::fill(std::begin(block.reserved0), std::end(block.reserved0), std::uint8_t{0});
  std::fill(std::begin(block.reserved1), std::end(block.reserved1), std::uint8_t{0});
  block.amount = std::isnan(block.amount) ? 0.0 : std::clamp(block.amount, -P::kAmountLimit, P::kAmountLimit);
  block.crop = block.crop != 0 ? 1 : 0;
}

std::array<std::uint8_t, kBlockSize> BarrelDistortParamsToBytes(const BarrelDistortParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.Zeros(sizeof block.reserved0);
  w.F64(block.amount);
  w.I32(block.crop);
  w.Zeros(sizeof block.reserved1);
  std::array<std::uint8_t, kBlockSize> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int BarrelDistortParamsFromBytes(std::span<const std::uint8_t> bytes, BarrelDistortParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), kBlockSize);
  if (bytes.size() < stored) return 0;
  std::array<std::uint8_t, kBlockSize> merged = BarrelDistortParamsToBytes(BarrelDistortParams{});
  std::copy_n(bytes.begin(), stored, merged.begin());
  ByteReader r(merged);
  BarrelDistortParams read;
  r.Skip(2 + sizeof read.reserved0);
  read.amount = r.F64();
  read.crop = r.I32();
  if (!r.ok()) return 0;
  ValidateBarrelDistortParams(read);
  block = read;
  return 1;
}

int CBarrelDistort::Process() {
  if (!ReadParamBlock(m_block)) return 0;
  ValidateBarrelDistortParams(m_block);
  if (!m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  // Every pixel is written when the amount is not 0: the copy is needed only
  // for the size then.
  if (m_block.amount == 0.0) return m_target->CopyFrom(*m_source);
  if (!m_target->Create(m_source->width, m_source->height)) return 0;

  const double w = m_source->width, h = m_source->height;
  m_centreX = w * 0.5;
  m_centreY = h * 0.5;
  m_diagonal = std::sqrt(h * h + w * w);
  m_scale = 1 - m_block.amount / 5;
  m_columnOffset = AllocLargeArray<double>(m_source->width);
  if (!m_columnOffset) return 0;
  for (std::uint32_t x = 0; x < m_source->width; ++x) m_columnOffset[x] = (x - m_centreX) / m_diagonal;
  const int ok = WarpAllRows(*m_target, 1, 0, kPixelsProgress);
  m_columnOffset.reset();
  if (!ok) return 0;

  if (m_block.crop && !CropToOpaque()) return 0;
  SetProgress(100);
  return 1;
}

int CBarrelDistort::WarpRows(std::int32_t from, std::int32_t to, bool reportRows) {
  const std::size_t w = m_source->width;
  const double a = m_block.amount, g = m_scale, d = m_diagonal, cx = m_centreX, cy = m_centreY;
  double xs[kSampleRun], ys[kSampleRun];
  for (std::int32_t y = from; y < to; ++y) {
    const double py = (y - cy) / d;
    std::uint16_t* out = m_target->Row(static_cast<std::uint32_t>(y));
    for (std::size_t x0 = 0; x0 < w; x0 += kSampleRun) {
      const std::size_t n = std::min(kSampleRun, w - x0);
      for (std::size_t k = 0; k < n; ++k) {
        const double px = m_columnOffset[x0 + k];
        const double r2 = px * px + py * py;
        xs[k] = (px + a * px * r2) * g * d + cx;
        ys[k] = (py + a * py * r2) * g * d + cy;
      }
      SampleRunOutward(*m_source, xs, ys, n, out + x0 * 4, SampleAlpha::kSource);
    }
    if (reportRows && y % kProgressRows == 0)
      SetProgress(static_cast<std::int32_t>(std::int64_t{kPixelsProgress} * y / m_source->height));
  }
  return 1;
}

int CBarrelDistort::CropToOpaque() {
  if (!m_target || m_target->IsEmpty()) return 0;
  return CropImage(*m_target, OpaqueCropRect(*m_target, OpaqueTest::kCornersAndMidpoints));
}
