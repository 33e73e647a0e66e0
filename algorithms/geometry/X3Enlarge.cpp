#include "algorithms/geometry/X3Enlarge.h"

#include <algorithm>
#include <array>
#include <limits>

#include "algorithms/geometry/EdgeDirectedBlocks.h"
#include "algorithms/geometry/EdgeDirectionMap.h"

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

bool HasFinishingStage(const X3EnlargeParams& block) {
  return block.grain != 0 || block.deblur != 0 || block.peakShaping != 0 || block.textureContrast != 0 ||
         block.smooth != 0;
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
  if (HasFinishingStage(block) || source.IsEmpty() || &source == &target) return 0;
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
    if (!s.CopyChannel(source, channel) || !UpscalePlane3x(s, p) || !ReconstructBlocks(s, p)) return 0;
    std::copy(p.Samples().begin(), p.Samples().end(), q.Samples().begin());
    if (!DirectionalSmooth(q, p)) return 0;
    StoreChannel(p, target, channel);
  }
  if (!s.CopyChannel(source, 3) || !UpscalePlane3x(s, p)) return 0;
  StoreChannel(p, target, 3);
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
