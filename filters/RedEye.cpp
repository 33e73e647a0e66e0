#include "filters/RedEye.h"

#include <algorithm>
#include <cstring>

#include "algorithms/GaussBlur.h"
#include "image/ColorModel.h"
#include "image/PixelBlock.h"

namespace {

constexpr std::size_t kTableSize = 65536;
constexpr std::uint64_t kWeightScale = 255ull * 255 * 255;
constexpr double kWeightBlurRadius = 1.0;

}  // namespace

int ValidateRedEyeParams(const RedEyeParams& block, const CBgraImage16& source) {
  if (!block.eyeMask || block.eyeMask->IsEmpty() || source.IsEmpty()) return 0;
  return block.eyeMask->width == source.width && block.eyeMask->height == source.height ? 1 : 0;
}

std::uint8_t CRedEye::HueWeight(std::uint16_t hue) {
  // Distance from red on the hue circle.
  const std::int32_t c = std::min<std::int32_t>(hue, 65536 - hue);
  if (c < 8000) return 255;
  if (c < 12000) return static_cast<std::uint8_t>(255 - (c - 8000) * 255 / 4000);
  return 0;
}

std::uint8_t CRedEye::SaturationWeight(std::uint16_t saturation) {
  if (saturation < 12000) return 0;
  return static_cast<std::uint8_t>(std::min(1.0, (saturation - 12000) / 10000.0) * 255);
}

std::uint8_t CRedEye::LightnessWeight(std::uint16_t lightness) {
  if (lightness < 1000) return 0;
  if (lightness < 3000) return static_cast<std::uint8_t>((lightness - 1000) * 255 / 2000);
  if (lightness < 20000) return 255;
  return static_cast<std::uint8_t>(std::max(0.0, (35000 - lightness) / 15000.0) * 255);
}

int CRedEye::Process() {
  if (!m_params || !m_source || !m_target || m_target == m_source) return 0;
  RedEyeParams block;
  std::memcpy(&block, m_params, sizeof block);
  if (!ValidateRedEyeParams(block, *m_source)) return 0;
  m_mask = block.eyeMask;
  const auto W = static_cast<std::int32_t>(m_source->width), H = static_cast<std::int32_t>(m_source->height);

  m_rect = {W, H, 0, 0};
  for (std::int32_t y = 0; y < H; ++y) {
    const std::uint8_t* row = m_mask->Row(static_cast<std::uint32_t>(y));
    for (std::int32_t x = 0; x < W; ++x) {
      if (!row[x]) continue;
      m_rect.left = std::min(m_rect.left, x);
      m_rect.right = std::max(m_rect.right, x + 1);
      m_rect.top = std::min(m_rect.top, y);
      m_rect.bottom = y + 1;
    }
  }
  const std::int32_t rw = m_rect.Width(), rh = m_rect.Height();
  if (rw > W / 2 || rh > H / 2 || rw < kMinSide || rh < kMinSide) return 0;

  if (!m_weights.Create(static_cast<std::uint32_t>(rw), static_cast<std::uint32_t>(rh))) return 0;
  auto tables = AllocWorkArray<std::uint8_t>(3 * kTableSize);
  if (!tables) return 0;
  std::uint8_t* hue = tables.get();
  std::uint8_t* saturation = hue + kTableSize;
  std::uint8_t* lightness = saturation + kTableSize;
  for (std::size_t i = 0; i < kTableSize; ++i) {
    const auto v = static_cast<std::uint16_t>(i);
    hue[i] = HueWeight(v);
    saturation[i] = SaturationWeight(v);
    lightness[i] = LightnessWeight(v);
  }
  for (std::int32_t y = 0; y < rh; ++y) {
    const std::uint8_t* paint = m_mask->Row(static_cast<std::uint32_t>(m_rect.top + y)) + m_rect.left;
    const std::uint16_t* in =
        m_source->At(static_cast<std::uint32_t>(m_rect.left), static_cast<std::uint32_t>(m_rect.top + y));
    std::uint8_t* out = m_weights.Row(static_cast<std::uint32_t>(y));
    for (std::int32_t x = 0; x < rw; ++x, in += 4) {
      if (!paint[x]) {
        out[x] = 0;
        continue;
      }
      std::uint16_t hsl[4] = {in[0], in[1], in[2], in[3]};
      RgbToHsl16(hsl, 1);
      out[x] = static_cast<std::uint8_t>(std::uint64_t{hue[hsl[2]]} * paint[x] * saturation[hsl[1]] *
                                         lightness[hsl[0]] / kWeightScale);
    }
  }
  SetProgress(20);

  CGaussBlur blur;
  CPlane8 blurred;
  if (!blur.BlurPlane(m_weights, blurred, kWeightBlurRadius)) return 0;
  m_weights = std::move(blurred);
  SetProgress(60);

  if (!m_target->CopyFrom(*m_source)) return 0;
  for (std::int32_t y = 0; y < rh; ++y) {
    const std::uint8_t* weight = m_weights.Row(static_cast<std::uint32_t>(y));
    std::uint16_t* p =
        m_target->At(static_cast<std::uint32_t>(m_rect.left), static_cast<std::uint32_t>(m_rect.top + y));
    for (std::int32_t x = 0; x < rw; ++x, p += 4) {
      if (!weight[x]) continue;
      const std::uint32_t k = std::min<std::uint32_t>(255, 2u * weight[x]);
      const std::uint32_t other = std::max(p[0], p[1]);
      p[2] = static_cast<std::uint16_t>((k * other + (255 - k) * p[2]) / 255);
    }
  }
  return 1;
}
