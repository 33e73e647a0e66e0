#include "filters/matting/InOutMatting.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "algorithms/ChannelOP.h"
#include "filters/matting/DoubleLaplacian.h"
#include "image/ColorModel.h"
#include "image/ColorTables.h"

namespace {

std::uint32_t Packed(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

template <typename A, typename B>
bool SameSize(const A& a, const B& b) {
  return a.width == b.width && a.height == b.height;
}

}  // namespace

int CInOutMatting::Process() {
  if (!ReadParamBlock(m_block)) return 0;
  if (!m_source || m_source->IsEmpty() || !m_target || m_target->IsEmpty()) return 0;
  if (!SameSize(*m_source, *m_target)) return 0;
  const CPlane8* inside = m_block.inside;
  const CPlane8* region = m_block.region;
  if (!inside || inside->IsEmpty() || !region || region->IsEmpty()) return 0;
  // The planes are read at every source pixel.
  if (!SameSize(*inside, *m_source) || !SameSize(*region, *m_source)) return 0;
  BuildGammaTables();

  if (!BuildTrimap()) return 0;
  SetProgress(4);
  if (!EstimateColours()) return 0;
  SetProgress(40);
  if (!EstimateAlpha()) return 0;
  SetProgress(60);
  if (m_block.iterations > 0 && !Refine()) return 0;
  m_fgSamples.Free();
  m_bgSamples.Free();
  return 1;
}

int CInOutMatting::BuildTrimap() {
  const std::uint32_t w = m_source->width;
  const std::uint32_t h = m_source->height;
  if (!m_trimap.Create(w, h) || !m_fgSamples.Create(w, h) || !m_bgSamples.Create(w, h)) return 0;
  std::vector<std::uint8_t> row(std::size_t{w} * 4);
  std::int64_t unknown = 0;
  for (std::uint32_t y = 0; y < h; ++y) {
    ConvertPixels16To8(m_source->Row(y), row.data(), w);
    const std::uint8_t* insideRow = m_block.inside->Row(y);
    const std::uint8_t* regionRow = m_block.region->Row(y);
    std::uint8_t* code = m_trimap.Row(y);
    std::uint8_t* fg = m_fgSamples.Row(y);
    std::uint8_t* bg = m_bgSamples.Row(y);
    std::fill_n(fg, std::size_t{w} * 4, std::uint8_t{0});
    std::fill_n(bg, std::size_t{w} * 4, std::uint8_t{0});
    for (std::uint32_t x = 0; x < w; ++x) {
      const bool surelyInside = insideRow[x] > 128;
      const bool inRegion = regionRow[x] >= 128;
      std::uint8_t* colour = row.data() + std::size_t{x} * 4;
      colour[3] = 255;
      if (surelyInside && inRegion) {
        code[x] = kForeground;
        std::copy_n(colour, 4, fg + std::size_t{x} * 4);
      } else if (!surelyInside && !inRegion) {
        code[x] = kBackground;
        std::copy_n(colour, 4, bg + std::size_t{x} * 4);
      } else {
        code[x] = kUnknown;
        // Marked inside but outside the region: unknown, yet no reason to matte.
        if (inRegion) ++unknown;
      }
    }
  }
  return unknown > 0 ? 1 : 0;
}

int CInOutMatting::EstimateAlpha() {
  if (!m_certainty.CopyFrom(m_trimap)) return 0;
  const std::uint32_t w = m_source->width;
  const std::uint32_t h = m_source->height;
  std::vector<std::uint8_t> row(std::size_t{w} * 4);
  for (std::uint32_t y = 0; y < h; ++y) {
    ConvertPixels16To8(m_source->Row(y), row.data(), w);
    const std::uint8_t* code = m_trimap.Row(y);
    const std::uint8_t* likelihood = m_likelihood.Row(y);
    std::uint8_t* certainty = m_certainty.Row(y);
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint16_t* out = m_target->At(x, y);
      if (code[x] != kUnknown) {
        out[3] = code[x] == kForeground ? 65535 : 0;
        certainty[x] = 255;
        continue;
      }
      const double prior = likelihood[x] / 255.0;
      const std::uint32_t f = Packed(m_fgSamples.At(x, y));
      const std::uint32_t b = Packed(m_bgSamples.At(x, y));
      const double d0 = ColorDistance8(b, f);
      double a = 0;
      if (d0 < 2) {
        // Samples of one colour say nothing: the likelihood decides and the
        // refinement solves the pixel.
        certainty[x] = 0;
        a = prior;
      } else {
        const std::uint32_t c = Packed(row.data() + std::size_t{x} * 4);
        const double dF = ColorDistance8(c, f);
        const double dB = ColorDistance8(c, b);
        if (dF < 0.05) {
          a = 1;
          certainty[x] = 255;
        } else if (dB < 0.05) {
          a = 0;
          certainty[x] = 255;
        } else {
          const double cosB = (d0 * d0 + dB * dB - dF * dF) / (2 * dB * d0);
          const double cosF = (d0 * d0 + dF * dF - dB * dB) / (2 * dF * d0);
          const double k = std::max(std::fabs(cosB), std::fabs(cosF));
          const double p = std::clamp(cosB * dB / d0, 0.0, 1.0);
          certainty[x] = ClampToU8(k * 255);
          a = prior * (1 - k) + k * p;
        }
      }
      out[3] = ClampToU16(a * 65535);
    }
  }
  return ComposeForeground();
}

int CInOutMatting::ComposeForeground() {
  const std::uint32_t w = m_target->width;
  const std::uint32_t h = m_target->height;
  CPlane8 high;
  if (!high.Create(w, h)) return 0;
  for (std::size_t i = 0; i < high.pixelCount; ++i)
    high.pixels[i] = static_cast<std::uint8_t>(m_target->pixels[i * 4 + 3] >> 8);
  CPlane8 eroded;
  CChannelOP op;
  if (!op.ErodeMask(high, eroded, 1, 1)) return 0;
  // An erosion that left nothing counts as none, however it was reported.
  const bool haveEroded = !eroded.IsEmpty() && std::any_of(eroded.pixels, eroded.pixels + eroded.pixelCount,
                                                           [](std::uint8_t v) { return v != 0; });

  for (std::uint32_t y = 0; y < h; ++y) {
    const std::uint8_t* code = m_trimap.Row(y);
    for (std::uint32_t x = 0; x < w; ++x) {
      const std::uint16_t* source = m_source->At(x, y);
      std::uint16_t* out = m_target->At(x, y);
      if (code[x] == kForeground) {
        std::copy_n(source, 4, out);
        continue;
      }
      if (code[x] != kUnknown || !haveEroded) continue;
      const std::uint32_t e = *eroded.At(x, y);
      std::uint16_t fg[4];
      ConvertPixels8To16(fg, m_fgSamples.At(x, y), 1);
      const std::uint8_t* bg8 = m_bgSamples.At(x, y);
      const UnmixContext bg{SrgbToLinearTable[bg8[0]], SrgbToLinearTable[bg8[1]], SrgbToLinearTable[bg8[2]]};
      const Pixel16 unmixed = UnmixWithBackground(bg, source, e / 255.0);
      for (int c = 0; c < 3; ++c) {
        const std::uint32_t f = fg[c];
        const std::uint32_t s = source[c];
        const std::uint32_t u = unmixed[static_cast<std::size_t>(c)];
        out[c] = static_cast<std::uint16_t>(e < 65 ? (f * (255 - e) + s * e) / 255
                                                   : (f * (255 - e) + s * 64 + u * e) / 319);
      }
    }
  }
  return 1;
}

Pixel16 CInOutMatting::UnmixWithBackground(const UnmixContext& background, const std::uint16_t* pixel,
                                           double alpha) {
  return UnmixWithFloor(background, pixel, alpha, 0.3);
}

int CInOutMatting::Refine() {
  CPlane16 alpha;
  if (!alpha.Create(m_target->width, m_target->height)) return 0;
  for (std::size_t i = 0; i < alpha.pixelCount; ++i) alpha.pixels[i] = m_target->pixels[i * 4 + 3];
  CDoubleLaplacian refine;
  refine.NestIn(*this, 60, 100);
  refine.m_source = m_source;
  LaplacianMattingParams block;
  block.guide = m_source;
  block.ownWindowMode = 0;
  block.alpha = &alpha;
  block.fixedMap = &m_certainty;
  block.iterations = m_block.iterations;
  refine.m_params = &block;
  if (!refine.Process()) return 0;
  for (std::size_t i = 0; i < alpha.pixelCount; ++i) m_target->pixels[i * 4 + 3] = alpha.pixels[i];
  return 1;
}

void CInOutMatting::ReleaseCells() {
  for (ColourCell& cell : m_cells) cell = ColourCell{};
  m_cellBits.Clear();
}

std::uint8_t CInOutMatting::CellBits(std::size_t cell, std::uint32_t bin) const {
  if (cell >= m_cells.size() || !m_cells[cell].exists) return 0;
  return m_cellBits.Get(static_cast<std::uint32_t>(cell), bin);
}
