#include "algorithms/geometry/X3Enlarge.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "algorithms/ConvolutionKernel.h"
#include "algorithms/GaussBlur.h"
#include "algorithms/RuntimeRandom.h"
#include "algorithms/geometry/EdgeDirectedBlocks.h"
#include "algorithms/geometry/EdgeDirectionMap.h"
#include "algorithms/geometry/EnlargeFilters.h"

namespace {

// One value read around a pixel of the smoothing: (w1 Q(dy1, dx1) +
// w2 Q(dy2, dx2)) >> shift.
struct SmoothTap {
  std::int8_t dy1, dx1, dy2, dx2;
  std::uint8_t w1, w2, shift;
};

constexpr SmoothTap One(int dy, int dx) {
  return {static_cast<std::int8_t>(dy), static_cast<std::int8_t>(dx), 0, 0, 1, 0, 0};
}
// (Q1 + Q2) >> 1: half-way between two pixels.
constexpr SmoothTap Half(int dy1, int dx1, int dy2, int dx2) {
  return {static_cast<std::int8_t>(dy1),
          static_cast<std::int8_t>(dx1),
          static_cast<std::int8_t>(dy2),
          static_cast<std::int8_t>(dx2),
          1,
          1,
          1};
}
// (3 Q1 + Q2) >> 2: a quarter of the way from the first pixel.
constexpr SmoothTap Quarter(int dy1, int dx1, int dy2, int dx2) {
  return {static_cast<std::int8_t>(dy1),
          static_cast<std::int8_t>(dx1),
          static_cast<std::int8_t>(dy2),
          static_cast<std::int8_t>(dx2),
          3,
          1,
          2};
}

// Per line direction: a and b on the line one column (or row) away on
// either side, d and c two away. Directions 4 and 12 take the diagonal
// neighbour for the far pair as well.
constexpr std::array<std::array<SmoothTap, 4>, 16> kSmoothTaps = {{
    {One(0, 1), One(0, -1), One(0, 2), One(0, -2)},
    {Quarter(0, 1, -1, 1), Quarter(0, -1, 1, -1), Half(-1, 2, 0, 2), Half(1, -2, 0, -2)},
    {Half(-1, 1, 0, 1), Half(1, -1, 0, -1), One(-1, 2), One(1, -2)},
    {Quarter(-1, 1, 0, 1), Quarter(1, -1, 0, -1), Half(-1, 2, -2, 2), Half(2, -2, 1, -2)},
    {One(-1, 1), One(1, -1), One(-1, 1), One(1, -1)},
    {Quarter(-1, 1, -1, 0), Quarter(1, -1, 1, 0), Half(2, -2, 2, -1), Half(-2, 1, -2, 2)},
    {Half(-1, 1, -1, 0), Half(1, -1, 1, 0), One(2, -1), One(-2, 1)},
    {Quarter(-1, 0, -1, 1), Quarter(1, 0, 1, -1), Half(2, -1, 2, 0), Half(-2, 1, -2, 0)},
    {One(1, 0), One(-1, 0), One(2, 0), One(-2, 0)},
    {Quarter(1, 0, 1, 1), Quarter(-1, 0, -1, -1), Half(2, 1, 2, 0), Half(-2, 0, -2, -1)},
    {Half(1, 1, 1, 0), Half(-1, -1, -1, 0), One(2, 1), One(-2, -1)},
    {Quarter(1, 1, 1, 0), Quarter(-1, -1, -1, 0), Half(2, 2, 2, 1), Half(-2, -1, -2, -2)},
    {One(1, 1), One(-1, -1), One(1, 1), One(-1, -1)},
    {Quarter(1, 1, 0, 1), Quarter(-1, -1, 0, -1), Half(2, 2, 1, 2), Half(-2, -2, -1, -2)},
    {Half(1, 1, 0, 1), Half(-1, -1, 0, -1), One(1, 2), One(-1, -2)},
    {Quarter(0, 1, 1, 1), Quarter(0, -1, -1, -1), Half(1, 2, 0, 2), Half(-1, -2, 0, -2)},
}};

// A tap as offsets into a plane of the given stride.
struct PlaneTap {
  std::ptrdiff_t at1, at2;
  std::int32_t w1, w2, shift;

  std::int32_t Read(const std::uint16_t* centre) const {
    return (w1 * centre[at1] + w2 * centre[at2]) >> shift;
  }
};

// The deconvolution kernel of the finishing stage, the blur a 3x enlargement
// leaves, and its sum.
constexpr std::array<std::int32_t, 25> kDeblurKernel = {0, 1, 2, 1, 0, 1, 4, 6, 4, 1, 2, 6, 9,
                                                        6, 2, 1, 4, 6, 4, 1, 0, 1, 2, 1, 0};
constexpr std::int32_t kDeblurDivisor = 65;
// deblur / this many iterations.
constexpr std::int32_t kDeblurPerIteration = 30;

// The grain's magnitude classes: v = 1 to 31 repeated 1025 - 32 v times, the
// first 15872 entries of that sequence.
constexpr std::size_t kGrainClasses = 15872;
const std::array<std::uint8_t, kGrainClasses>& GrainClassTable() {
  static const std::array<std::uint8_t, kGrainClasses> table = [] {
    std::array<std::uint8_t, kGrainClasses> t{};
    std::size_t i = 0;
    for (int v = 1; v <= 31 && i < kGrainClasses; ++v) {
      for (int n = 0; n < 1025 - 32 * v && i < kGrainClasses; ++n) t[i++] = static_cast<std::uint8_t>(v);
    }
    return t;
  }();
  return table;
}

void StoreChannel(const CPlane16& plane, CBgraImage16& image, int channel) {
  std::uint16_t* out = image.pixels + channel;
  for (const std::uint16_t v : plane.Samples()) {
    *out = v;
    out += 4;
  }
}

}  // namespace

void ValidateX3EnlargeParams(X3EnlargeParams& block) {
  block.size = sizeof(X3EnlargeParams);
  std::fill(std::begin(block.reserved), std::end(block.reserved), std::uint8_t{0});
  block.grain = std::clamp(block.grain, 0, kX3MaxGrain);
  block.deblur = std::clamp(block.deblur, 0, kX3MaxDeblur);
  block.peakShaping = block.peakShaping != 0 ? 1 : 0;
  block.textureContrast = block.textureContrast != 0 ? 1 : 0;
  block.smooth = block.smooth != 0 ? 1 : 0;
}

int UpscalePlane3x(const CPlane16& s, CPlane16& p) {
  if (s.IsEmpty() || &s == &p || s.width == 0 || s.height == 0) return 0;
  const std::uint64_t pw = std::uint64_t{3} * s.width, ph = std::uint64_t{3} * s.height;
  if (pw > std::numeric_limits<std::uint32_t>::max() || ph > std::numeric_limits<std::uint32_t>::max() ||
      !p.Create(static_cast<std::uint32_t>(pw), static_cast<std::uint32_t>(ph))) {
    return 0;
  }
  const std::int64_t w = s.width, h = s.height;
  for (std::int64_t j = 0; j < h; ++j) {
    const std::uint16_t* cur = s.pixels + j * w;
    std::uint16_t* t0 = p.pixels + 3 * j * static_cast<std::int64_t>(pw);
    std::uint16_t* t1 = t0 + pw;
    std::uint16_t* t2 = t1 + pw;
    for (std::int64_t k = 0; k < w; ++k, t0 += 3, t1 += 3, t2 += 3) {
      const std::int32_t C = cur[k];
      if (j == 0 || k == 0 || j == h - 1 || k == w - 1) {
        for (std::uint16_t* row : {t0, t1, t2}) row[0] = row[1] = row[2] = static_cast<std::uint16_t>(C);
        continue;
      }
      const std::uint16_t* up = cur - w;
      const std::uint16_t* down = cur + w;
      const std::int32_t U = up[k], D = down[k], L = cur[k - 1], R = cur[k + 1];
      const std::int32_t UL = up[k - 1], UR = up[k + 1], DL = down[k - 1], DR = down[k + 1];
      t0[0] = static_cast<std::uint16_t>((UL + 2 * L + 4 * C + 2 * U) / 9);
      t0[1] = static_cast<std::uint16_t>((U + 2 * C) / 3);
      t0[2] = static_cast<std::uint16_t>((UR + 2 * R + 4 * C + 2 * U) / 9);
      t1[0] = static_cast<std::uint16_t>((L + 2 * C) / 3);
      t1[1] = static_cast<std::uint16_t>(C);
      t1[2] = static_cast<std::uint16_t>((R + 2 * C) / 3);
      t2[0] = static_cast<std::uint16_t>((DL + 2 * L + 4 * C + 2 * D) / 9);
      t2[1] = static_cast<std::uint16_t>((D + 2 * C) / 3);
      t2[2] = static_cast<std::uint16_t>((DR + 2 * R + 4 * C + 2 * D) / 9);
    }
  }
  return 1;
}

int CX3Enlarge::Process() {
  if (!ReadParamBlock(m_block)) return 0;
  ValidateX3EnlargeParams(m_block);
  if (!m_source || !m_target) return 0;
  return Enlarge(*m_source, *m_target);
}

int CX3Enlarge::Enlarge(const CBgraImage16& source, CBgraImage16& target) {
  X3EnlargeParams block = m_block;
  ValidateX3EnlargeParams(block);
  if (source.IsEmpty() || &source == &target) return 0;
  const std::uint64_t tw = std::uint64_t{3} * source.width, th = std::uint64_t{3} * source.height;
  if (tw > std::numeric_limits<std::uint32_t>::max() || th > std::numeric_limits<std::uint32_t>::max())
    return 0;
  const auto w3 = static_cast<std::uint32_t>(tw), h3 = static_cast<std::uint32_t>(th);
  // s: one source channel; p: its triple-size plane; q: p's copy for the
  // smoothing.
  CPlane16 s, p, q;
  if (!target.Create(w3, h3) || !p.Create(w3, h3) || !q.Create(w3, h3)) return 0;
  if (!BuildDirectionMap(source)) return 0;

  for (int channel = 0; channel < 3; ++channel) {
    if (!s.CopyChannel(source, channel) || !UpscalePlane3x(s, p)) return 0;
    if (block.peakShaping) SharpenPeaks(s, p);
    if (!ReconstructBlocks(s, p)) return 0;
    std::copy(p.Samples().begin(), p.Samples().end(), q.Samples().begin());
    if (!DirectionalSmooth(q, p)) return 0;
    StoreChannel(p, target, channel);
  }
  if (!s.CopyChannel(source, 3) || !UpscalePlane3x(s, p)) return 0;
  StoreChannel(p, target, 3);

  if (block.peakShaping && !SoftenPeakBlocks(target)) return 0;
  if (block.smooth && !Smooth(target)) return 0;
  if (block.textureContrast && !TextureContrast(source, target)) return 0;
  if (block.deblur && !Deblur(target, block.deblur / kDeblurPerIteration)) return 0;
  if (block.grain) AddGrain(target, block.grain);
  return 1;
}

int CX3Enlarge::BuildDirectionMap(const CBgraImage16& source) {
  return BuildEdgeDirectionMap(source, m_directionMap);
}

int CX3Enlarge::ReconstructBlocks(CPlane16& s, CPlane16& p) const {
  return ReconstructEdgeDirectedBlocks(s, p, m_directionMap);
}

int CX3Enlarge::DirectionalSmooth(const CPlane16& q, CPlane16& p) const {
  const CPlane16& map = m_directionMap;
  if (q.IsEmpty() || p.IsEmpty() || map.IsEmpty() || &q == &p || q.width != p.width || q.height != p.height ||
      p.width != std::uint64_t{3} * map.width || p.height != std::uint64_t{3} * map.height) {
    return 0;
  }
  const std::int64_t stride = p.width, w = p.width, h = p.height;
  std::array<std::array<PlaneTap, 4>, 16> taps{};
  for (std::size_t k = 0; k < 16; ++k) {
    for (std::size_t n = 0; n < 4; ++n) {
      const SmoothTap& t = kSmoothTaps[k][n];
      taps[k][n] = {t.dy1 * stride + t.dx1, t.dy2 * stride + t.dx2, t.w1, t.w2, t.shift};
    }
  }
  for (std::int64_t y = 4; y <= h - 5; ++y) {
    const std::uint16_t* codes = map.pixels + (y / 3) * map.width;
    const std::uint16_t* in = q.pixels + y * stride;
    std::uint16_t* out = p.pixels + y * stride;
    const bool middleRow = y % 3 == 1;
    for (std::int64_t x = 4; x <= w - 5; ++x) {
      const auto& tap = taps[static_cast<std::size_t>(LineDirectionOf(codes[x / 3]))];
      const std::uint16_t* centre = in + x;
      const std::int32_t a = tap[0].Read(centre), b = tap[1].Read(centre);
      const std::int32_t t = std::clamp<std::int32_t>(*centre, std::min(a, b), std::max(a, b));
      const std::int32_t v = middleRow || x % 3 == 1
                                 ? (a + 2 * t + b) >> 2
                                 : (2 * t + a + b + tap[2].Read(centre) + tap[3].Read(centre)) / 6;
      out[x] = static_cast<std::uint16_t>(v);
    }
  }
  return 1;
}

// ---- Finishing stages -----------------------------------------------------------------------------

void CX3Enlarge::SharpenPeaks(const CPlane16& s, CPlane16& p) const {
  const CPlane16& map = m_directionMap;
  if (s.IsEmpty() || map.width != s.width || map.height != s.height ||
      p.width != std::uint64_t{3} * s.width || p.height != std::uint64_t{3} * s.height) {
    return;
  }
  const std::int64_t w = s.width, h = s.height, pw = p.width;
  for (std::int64_t j = 2; j <= h - 3; ++j) {
    for (std::int64_t k = 2; k <= w - 3; ++k) {
      const std::int64_t c = PeakClassOf(map.pixels[j * w + k]);
      if (c < 1) continue;
      std::int64_t sum = 0;
      for (std::int64_t dy = -2; dy <= 2; ++dy) {
        for (std::int64_t dx = -2; dx <= 2; ++dx) sum += s.pixels[(j + dy) * w + k + dx];
      }
      const std::int64_t e = s.pixels[j * w + k];
      const std::int64_t mean = (sum - e) / 24;
      const std::int64_t v = (c * (3 * e - 2 * mean) + (100 - c) * e) / 100;
      p.pixels[(3 * j + 1) * pw + 3 * k + 1] =
          static_cast<std::uint16_t>(std::clamp<std::int64_t>(v, 0, 65535));
    }
  }
}

int CX3Enlarge::SoftenPeakBlocks(CBgraImage16& t) const {
  const CPlane16& map = m_directionMap;
  if (t.IsEmpty() || t.width != std::uint64_t{3} * map.width || t.height != std::uint64_t{3} * map.height)
    return 0;
  CBgraImage16 copy;
  if (!copy.CopyFrom(t)) return 0;
  const std::int64_t w = map.width, h = map.height, stride = std::int64_t{t.width} * 4;
  for (std::int64_t i = 1; i <= h - 2; ++i) {
    for (std::int64_t j = 1; j <= w - 2; ++j) {
      const std::int32_t m = PeakClassOf(map.pixels[i * w + j]);
      if (m < 1) continue;
      for (std::int64_t a = 0; a < 3; ++a) {
        for (std::int64_t b = 0; b < 3; ++b) {
          if (a == 1 && b == 1) continue;
          const std::int64_t at = (3 * i + a) * stride + (3 * j + b) * 4;
          const std::uint16_t* c = copy.pixels + at;
          for (std::int64_t ch = 0; ch < 3; ++ch) {
            const std::int32_t blurred =
                (c[ch - stride - 4] + 2 * c[ch - stride] + c[ch - stride + 4] + 2 * c[ch - 4] + 4 * c[ch] +
                 2 * c[ch + 4] + c[ch + stride - 4] + 2 * c[ch + stride] + c[ch + stride + 4]) >>
                4;
            std::uint16_t& v = t.pixels[at + ch];
            v = static_cast<std::uint16_t>((m * blurred + (15 - m) * v) / 15);
          }
        }
      }
    }
  }
  return 1;
}

int CX3Enlarge::Smooth(CBgraImage16& t) {
  static constexpr std::int32_t kWeights[9] = {1, 1, 1, 1, 4, 1, 1, 1, 1};
  const ConvolutionKernel kernel{kWeights, 12, 3, 3, 1, 1};
  return kernel.ApplyToImage16(t, t);
}

int CX3Enlarge::Deblur(CBgraImage16& t, std::int32_t iterations) {
  IEnlargeFilters* filters = EnlargeFilters();
  CBgraImage16 copy;
  if (!filters || !copy.CopyFrom(t)) return 0;
  const ConvolutionKernel kernel{kDeblurKernel.data(), kDeblurDivisor, 5, 5, 2, 2};
  return filters->Deconvolve(copy, t, kernel, iterations);
}

void CX3Enlarge::AddGrain(CBgraImage16& t, std::int32_t grain) {
  if (t.IsEmpty()) return;
  const auto& classes = GrainClassTable();
  t.RgbToYcc();
  // Drawn row by row, two numbers per pixel: the class, then the sign.
  const std::size_t count = std::size_t{t.width} * t.height;
  for (std::size_t i = 0; i < count; ++i) {
    const std::int64_t v = classes[static_cast<std::size_t>(RuntimeRandom()) % kGrainClasses];
    const bool up = (RuntimeRandom() & 1) != 0;
    const auto m = static_cast<std::int32_t>(10 * v * grain / 30);
    std::uint16_t& y = t.pixels[i * 4 + 2];
    y = static_cast<std::uint16_t>(std::clamp(y + (up ? m : -m), 0, 65535));
  }
  t.YccToRgb();
}

int BuildTextureBalanceMap(const CPlane8& luma, CPlane8& map) {
  if (luma.IsEmpty() || &luma == &map || !map.Create(luma.width, luma.height)) return 0;
  const std::int64_t w = luma.width, h = luma.height;
  std::memset(map.pixels, 128, map.byteSize);
  for (std::int64_t i = 4; i <= h - 5; ++i) {
    for (std::int64_t j = 4; j <= w - 5; ++j) {
      std::int32_t hi = 0, lo = 255, sum = 0;
      for (std::int64_t dy = -4; dy <= 4; ++dy) {
        const std::uint8_t* row = luma.pixels + (i + dy) * w + j - 4;
        for (int dx = 0; dx < 9; ++dx) {
          hi = std::max<std::int32_t>(hi, row[dx]);
          lo = std::min<std::int32_t>(lo, row[dx]);
          sum += row[dx];
        }
      }
      if (lo >= hi) continue;
      const std::int32_t t = ((hi + lo) / 2 + sum / 81) / 2;
      std::int32_t above = 0, below = 0;
      for (std::int64_t dy = -4; dy <= 4; ++dy) {
        const std::uint8_t* row = luma.pixels + (i + dy) * w + j - 4;
        for (int dx = 0; dx < 9; ++dx) {
          above += row[dx] > t;
          below += row[dx] < t;
        }
      }
      map.pixels[i * w + j] = static_cast<std::uint8_t>(((81 - above) * 255 / 81 + below * 255 / 81) / 2);
    }
  }
  CGaussBlur blur;
  return blur.BlurPlane(map, map, 1.0);
}

int TextureContrast(const CBgraImage16& source, CBgraImage16& target) {
  if (source.IsEmpty() || target.width != std::uint64_t{3} * source.width ||
      target.height != std::uint64_t{3} * source.height) {
    return 0;
  }
  CPlane8 balance;
  {
    CPlane8 luma;
    if (!source.ToGrayPlane(luma) || !BuildTextureBalanceMap(luma, balance)) return 0;
  }
  // V[n] = trunc((n / 256)^1.5 x 200): how hard a one-sided neighbourhood pushes.
  static const std::array<std::int32_t, 256> push = [] {
    std::array<std::int32_t, 256> v{};
    for (int n = 0; n < 256; ++n)
      v[static_cast<std::size_t>(n)] = static_cast<std::int32_t>(std::pow(n / 256.0, 1.5) * 200);
    return v;
  }();
  CPlane16 x;
  const std::int64_t w = source.width, h = source.height;
  const std::int64_t tw = target.width;
  for (int channel = 0; channel < 3; ++channel) {
    if (!x.CopyChannel(target, channel)) return 0;
    for (std::int64_t j = 1; j <= h - 2; ++j) {
      for (std::int64_t k = 1; k <= w - 2; ++k) {
        const std::int32_t d = balance.pixels[j * w + k];
        const std::int32_t e = std::abs(d - 128);
        const std::int32_t f = 256 - 2 * e;
        const std::int32_t weight = push[static_cast<std::size_t>(std::min(2 * e, 255))];
        const std::int32_t up = d <= 128 ? weight : 0;
        const std::int32_t down = d <= 128 ? 0 : weight;
        if (up == 0 && down == 0) continue;  // then every value stays as it is
        const std::int32_t total = up + down + f;
        for (std::int64_t a = 0; a < 3; ++a) {
          for (std::int64_t b = 0; b < 3; ++b) {
            const std::int64_t at = (3 * j + a) * tw + 3 * k + b;
            const std::uint16_t* c = x.pixels + at;
            const std::int32_t hi5 = std::max({c[0], c[-1], c[1], c[-tw], c[tw]});
            const std::int32_t lo5 = std::min({c[0], c[-1], c[1], c[-tw], c[tw]});
            target.pixels[at * 4 + channel] =
                static_cast<std::uint16_t>((hi5 * up + c[0] * f + lo5 * down) / total);
          }
        }
      }
    }
  }
  return 1;
}
