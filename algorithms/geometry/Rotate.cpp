#include "algorithms/geometry/Rotate.h"

#include <algorithm>
#include <cmath>

#include "algorithms/geometry/OpaqueCrop.h"
#include "algorithms/geometry/WarpSampling.h"
#include "image/PixelBlock.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::size_t kBlockSize = sizeof(RotateParams);

}  // namespace

void ValidateRotateParams(RotateParams& block) {
  block.size = kBlockSize;
  std::fill(std::begin(block.reserved0), std::end(block.reserved0), std::uint8_t{0});
  std::fill(std::begin(block.reserved1), std::end(block.reserved1), std::uint8_t{0});
  if (!std::isfinite(block.angle)) block.angle = 0.0;
  block.crop = block.crop != 0 ? 1 : 0;
}

std::array<std::uint8_t, kBlockSize> RotateParamsToBytes(const RotateParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.Zeros(sizeof block.reserved0);
  w.F64(block.angle);
  w.I32(block.crop);
  w.Zeros(sizeof block.reserved1);
  std::array<std::uint8_t, kBlockSize> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int RotateParamsFromBytes(std::span<const std::uint8_t> bytes, RotateParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), kBlockSize);
  if (bytes.size() < stored) return 0;
  std::array<std::uint8_t, kBlockSize> merged = RotateParamsToBytes(RotateParams{});
  std::copy_n(bytes.begin(), stored, merged.begin());
  ByteReader r(merged);
  RotateParams read;
  r.Skip(2 + sizeof read.reserved0);
  read.angle = r.F64();
  read.crop = r.I32();
  if (!r.ok()) return 0;
  ValidateRotateParams(read);
  block = read;
  return 1;
}

int CRotate::Process() {
  if (!ReadParamBlock(m_block)) return 0;
  ValidateRotateParams(m_block);
  if (!m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  if (m_block.angle == 0.0) {
    SetProgress(100);
    return m_target->CopyFrom(*m_source);
  }
  m_sin = std::sin(m_block.angle);
  m_cos = std::cos(m_block.angle);
  const double w = m_source->width, h = m_source->height;
  // At most about 1.42 x (W + H), well inside 32 bits; Create refuses a
  // canvas above the pixel limit.
  const auto tw = static_cast<std::uint32_t>(std::max(std::fabs(w * m_cos) + std::fabs(h * m_sin), 1.0));
  const auto th = static_cast<std::uint32_t>(std::max(std::fabs(h * m_cos) + std::fabs(w * m_sin), 1.0));
  if (!m_target->Create(tw, th)) return 0;
  m_sourceCentreX = static_cast<std::int32_t>(m_source->width / 2);
  m_sourceCentreY = static_cast<std::int32_t>(m_source->height / 2);
  m_targetCentreX = static_cast<std::int32_t>(tw / 2);
  m_targetCentreY = static_cast<std::int32_t>(th / 2);

  SetProgress(5);
  if (!RotatePixels()) return 0;
  SetProgress(90);
  if (m_block.crop && !CropToOpaque()) return 0;
  SetProgress(100);
  return 1;
}

int CRotate::RotatePixels() {
  if (!m_source || m_source->IsEmpty() || !m_target || m_target->IsEmpty()) return 0;
  const std::uint32_t tw = m_target->width;
  m_columnCos = AllocLargeArray<double>(tw);
  m_columnSin = AllocLargeArray<double>(tw);
  if (!m_columnCos || !m_columnSin) return 0;
  for (std::uint32_t x = 0; x < tw; ++x) {
    const double dx = static_cast<std::int64_t>(x) - m_targetCentreX;
    m_columnCos[x] = dx * m_cos;
    m_columnSin[x] = -dx * m_sin;
  }
  const int ok = WarpAllRows(*m_target, 1, 5, 90);
  m_columnCos.reset();
  m_columnSin.reset();
  return ok;
}

int CRotate::WarpRows(std::int32_t from, std::int32_t to, bool) {
  const std::size_t tw = m_target->width;
  const double cx = m_sourceCentreX, cy = m_sourceCentreY;
  double xs[kSampleRun], ys[kSampleRun];
  for (std::int32_t y = from; y < to; ++y) {
    // sx = dx cos + dy sin + cx, sy = -dx sin + dy cos + cy, summed in this
    // order from the column tables.
    const double dy = static_cast<double>(y - m_targetCentreY);
    const double rowSin = dy * m_sin, rowCos = dy * m_cos;
    std::uint16_t* out = m_target->Row(static_cast<std::uint32_t>(y));
    for (std::size_t x0 = 0; x0 < tw; x0 += kSampleRun) {
      const std::size_t n = std::min(kSampleRun, tw - x0);
      for (std::size_t k = 0; k < n; ++k) {
        xs[k] = m_columnCos[x0 + k] + rowSin + cx;
        ys[k] = m_columnSin[x0 + k] + rowCos + cy;
      }
      SampleRunOutward(*m_source, xs, ys, n, out + x0 * 4, SampleAlpha::kCoverage);
    }
  }
  return 1;
}

int CRotate::CropToOpaque() {
  if (!m_target || m_target->IsEmpty()) return 0;
  return CropImage(*m_target, OpaqueCropRect(*m_target, OpaqueTest::kCorners));
}
