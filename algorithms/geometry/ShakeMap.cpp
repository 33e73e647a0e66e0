#include "algorithms/geometry/ShakeMap.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/Plane8.h"

namespace {

constexpr std::int64_t kCoarseSample = 20;  // rows and columns between samples of the coarse search
constexpr std::int64_t kCoarseStep = 4;     // shift between its candidates
constexpr std::int64_t kGrid = 10;          // blocks per grid row and column
constexpr std::int64_t kSearch = 16;        // reach of the block search
constexpr double kMinTexture = 7.0;         // least root mean square edge of a block
constexpr std::int64_t kMinLineBlocks = 3;  // blocks a grid row or column needs to give a slope
constexpr std::int64_t kMinFitBlocks = 9;

// The edge value (alpha) of an image at (x, y).
std::int32_t Edge(const CBgraImage& image, std::int64_t x, std::int64_t y) {
  return image.pixels[(y * image.width + x) * 4 + 3];
}

// Grey (6 G + 3 R + B) / 10 per pixel, then the alpha: 0 on the border,
// min(255, max(|left sum - right sum|, |top sum - bottom sum|)) of the 3 x 3
// grey neighbours inside. 0 when the grey plane cannot be made.
[[nodiscard]] int EdgeMapToAlpha(CBgraImage& image) {
  CPlane8 grey;
  if (!grey.Create(image.width, image.height)) return 0;
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
    const std::uint8_t* p = image.pixels + std::size_t{i} * 4;
    grey.pixels[i] = static_cast<std::uint8_t>((6 * p[1] + 3 * p[2] + p[0]) / 10);
  }
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) image.pixels[std::size_t{i} * 4 + 3] = 0;
  const std::ptrdiff_t w = image.width;
  for (std::uint32_t y = 1; y + 1 < image.height; ++y) {
    for (std::uint32_t x = 1; x + 1 < image.width; ++x) {
      const std::uint8_t* c = grey.pixels + y * w + x;
      const std::uint8_t* up = c - w;
      const std::uint8_t* down = c + w;
      const int gx = std::abs((up[-1] + c[-1] + down[-1]) - (up[1] + c[1] + down[1]));
      const int gy = std::abs((up[-1] + up[0] + up[1]) - (down[-1] + down[0] + down[1]));
      image.At(x, y)[3] = static_cast<std::uint8_t>(std::min(255, std::max(gx, gy)));
    }
  }
  return 1;
}

// The least-squares slope of v against u: (sum u v - sum v mean u) /
// (sum u^2 - n mean(u)^2); false when the u do not differ.
struct SlopeSums {
  double n = 0, u = 0, v = 0, uv = 0, uu = 0;
  void Add(double a, double b) {
    n += 1;
    u += a;
    v += b;
    uv += a * b;
    uu += a * a;
  }
  [[nodiscard]] bool Slope(double& slope) const {
    const double mean = u / n;
    const double denominator = uu - n * mean * mean;
    if (!(denominator != 0)) return false;
    slope = (uv - v * mean) / denominator;
    return true;
  }
};

}  // namespace

int ValidateShakeMapParams(const ShakeMapParams& block) {
  const CBgraImage* a = block.reference;
  const CBgraImage* b = block.other;
  if (!a || !b || a->IsEmpty() || b->IsEmpty()) return 0;
  if (a->width != b->width || a->height != b->height) return 0;
  return a->width >= kShakeMinSide && a->height >= kShakeMinSide ? 1 : 0;
}

int CShakeMap::Process() {
  if (!m_params) return 0;
  std::memcpy(&m_block, m_params, sizeof m_block);
  if (!ValidateShakeMapParams(m_block)) return 0;
  if (!EdgeMapToAlpha(*m_block.other) || !EdgeMapToAlpha(*m_block.reference)) return 0;
  SetProgress(2);
  FindCoarseShift();
  SetProgress(80);
  if (!BuildBlocks()) return 0;
  RefineBlocks();
  SetProgress(90);
  if (!FitAffine()) return 0;
  SetProgress(100);
  return 1;
}

void CShakeMap::FindCoarseShift() {
  const CBgraImage& e1 = *m_block.reference;
  const CBgraImage& e2 = *m_block.other;
  const std::int64_t w = e1.width, h = e1.height;
  const std::int64_t c = std::max(w, h) * 5 / 100;
  m_coarseDx = m_coarseDy = 0;
  if (c == 0) return;
  double best = 10000;
  std::int64_t n = 0;
  for (std::int64_t dy = -c; dy < c; dy += kCoarseStep, ++n) {
    for (std::int64_t dx = -c; dx < c; dx += kCoarseStep) {
      const std::int64_t x0 = std::max<std::int64_t>(0, -dx), x1 = std::min(w, w - dx);
      const std::int64_t y0 = std::max<std::int64_t>(0, -dy), y1 = std::min(h, h - dy);
      std::int64_t sum = 0, count = 0;
      for (std::int64_t y = y0; y < y1; y += kCoarseSample) {
        for (std::int64_t x = x0; x < x1; x += kCoarseSample) {
          sum += std::abs(Edge(e1, x, y) - Edge(e2, x + dx, y + dy));
          ++count;
        }
      }
      if (count == 0) continue;
      const double score = static_cast<double>(sum) / static_cast<double>(count);
      if (score < best) {
        best = score;
        m_coarseDx = static_cast<std::int32_t>(dx);
        m_coarseDy = static_cast<std::int32_t>(dy);
      }
    }
    SetProgress(static_cast<std::int32_t>(2 + 156 * n / c));
  }
}

int CShakeMap::BuildBlocks() {
  m_blocks.clear();
  const std::int64_t w = m_block.reference->width, h = m_block.reference->height;
  const std::int64_t dx = m_coarseDx, dy = m_coarseDy;
  const std::int64_t d = std::min(w, h) / 40;
  const std::int64_t e = d + 16;
  const std::int64_t x0 = std::max<std::int64_t>(0, -dx) + e, x1 = std::min(w, w - dx) - e;
  const std::int64_t y0 = std::max<std::int64_t>(0, -dy) + e, y1 = std::min(h, h - dy) - e;
  const std::int64_t cw = (x1 - x0) / kGrid, ch = (y1 - y0) / kGrid;
  try {
    m_blocks.reserve(kGrid * kGrid);
  } catch (...) {
    return 0;
  }
  for (std::int64_t i = 0; i < kGrid; ++i) {
    for (std::int64_t j = 0; j < kGrid; ++j) {
      // The grid counts from the image's corner, not the overlap's: blocks
      // that fall outside either photo are left out below.
      const std::int64_t left = j * cw - d, top = i * ch - d;
      if (left < 0) continue;
      ShakeBlock block;
      block.column = static_cast<std::int32_t>(j);
      block.row = static_cast<std::int32_t>(i);
      block.left = static_cast<std::int32_t>(left);
      block.top = static_cast<std::int32_t>(top);
      block.right = static_cast<std::int32_t>(j * cw + d);
      block.bottom = static_cast<std::int32_t>(i * ch + d);
      block.dx = m_coarseDx;
      block.dy = m_coarseDy;
      if (CheckBlockTexture(block)) m_blocks.push_back(block);
    }
  }
  return 1;
}

bool CShakeMap::PartnerInside(const ShakeBlock& block, std::int64_t left, std::int64_t top) const {
  const std::int64_t w = m_block.other->width, h = m_block.other->height;
  return left >= 0 && top >= 0 && left + (block.right - block.left) <= w &&
         top + (block.bottom - block.top) <= h;
}

bool CShakeMap::CheckBlockTexture(const ShakeBlock& block) const {
  const CBgraImage& e1 = *m_block.reference;
  const CBgraImage& e2 = *m_block.other;
  if (block.top < 0 || block.left < 0 || block.right > static_cast<std::int64_t>(e1.width) ||
      block.bottom > static_cast<std::int64_t>(e1.height) || block.right <= block.left ||
      block.bottom <= block.top) {
    return false;
  }
  if (!PartnerInside(block, std::int64_t{block.left} + block.dx, std::int64_t{block.top} + block.dy))
    return false;
  double own = 0, partner = 0;
  for (std::int64_t y = block.top; y < block.bottom; ++y) {
    for (std::int64_t x = block.left; x < block.right; ++x) {
      const double a = Edge(e1, x, y), b = Edge(e2, x + block.dx, y + block.dy);
      own += a * a;
      partner += b * b;
    }
  }
  const double count = double(block.right - block.left) * double(block.bottom - block.top);
  return std::sqrt(own / count) >= kMinTexture && std::sqrt(partner / count) >= kMinTexture;
}

double CShakeMap::BlockDifference(const ShakeBlock& block, std::int64_t left, std::int64_t top,
                                  std::int64_t step) const {
  const CBgraImage& e1 = *m_block.reference;
  const CBgraImage& e2 = *m_block.other;
  std::int64_t sum = 0, count = 0;
  for (std::int64_t y = block.top; y < block.bottom; y += step) {
    for (std::int64_t x = block.left; x < block.right; x += step) {
      sum += std::abs(Edge(e1, x, y) - Edge(e2, left + (x - block.left), top + (y - block.top)));
      ++count;
    }
  }
  return count ? static_cast<double>(sum) / static_cast<double>(count) : 0.0;
}

void CShakeMap::RefineBlocks() {
  for (ShakeBlock& block : m_blocks) {
    // The best of offsets (x0 + i step, y0 + j step), 0 <= i, j < count, y
    // outer, sampled every sample-th pixel; the first of equals wins.
    // Candidates whose square would leave the other photo are passed over;
    // the coarse shift itself always lies inside (CheckBlockTexture).
    const auto search = [&](std::int64_t x0, std::int64_t y0, std::int64_t step, std::int64_t count,
                            std::int64_t sample, double best, std::int64_t& bestDx, std::int64_t& bestDy) {
      for (std::int64_t j = 0; j < count; ++j) {
        for (std::int64_t i = 0; i < count; ++i) {
          const std::int64_t dx = x0 + i * step, dy = y0 + j * step;
          if (!PartnerInside(block, block.left + dx, block.top + dy)) continue;
          const double score = BlockDifference(block, block.left + dx, block.top + dy, sample);
          if (score < best) {
            best = score;
            bestDx = dx;
            bestDy = dy;
          }
        }
      }
    };
    // Offsets -16, -14, ..., 14 around the coarse shift at every second
    // pixel, then the 3 x 3 around the best at every pixel.
    std::int64_t dx = m_coarseDx, dy = m_coarseDy;
    search(m_coarseDx - kSearch, m_coarseDy - kSearch, 2, kSearch, 2, 1000000, dx, dy);
    std::int64_t fineDx = dx, fineDy = dy;
    search(dx - 1, dy - 1, 1, 3, 1, 100000, fineDx, fineDy);
    block.dx = static_cast<std::int32_t>(fineDx);
    block.dy = static_cast<std::int32_t>(fineDy);
  }
}

int CShakeMap::FitAffine() {
  // Slopes of the matched positions along each grid row (against x) and
  // each grid column (against y), weighted by their block counts.
  double along[2][2] = {};  // [rows, columns][x', y'] weighted sums
  double weight[2] = {};
  for (int byColumn = 0; byColumn < 2; ++byColumn) {
    for (std::int32_t line = 0; line < kGrid; ++line) {
      SlopeSums sx, sy;
      for (const ShakeBlock& b : m_blocks) {
        if ((byColumn ? b.column : b.row) != line) continue;
        const double x = (b.left + b.right) / 2, y = (b.top + b.bottom) / 2;
        const double u = byColumn ? y : x;
        sx.Add(u, x + b.dx);
        sy.Add(u, y + b.dy);
      }
      if (sx.n < kMinLineBlocks) continue;
      double slopeX = 0, slopeY = 0;
      if (!sx.Slope(slopeX) || !sy.Slope(slopeY)) continue;
      along[byColumn][0] += slopeX * sx.n;
      along[byColumn][1] += slopeY * sx.n;
      weight[byColumn] += sx.n;
    }
    if (weight[byColumn] < kMinFitBlocks) return 0;
  }
  const double m0 = along[0][0] / weight[0], m3 = along[0][1] / weight[0];
  const double m1 = along[1][0] / weight[1], m4 = along[1][1] / weight[1];
  double meanX = 0, meanY = 0, meanX2 = 0, meanY2 = 0;
  for (const ShakeBlock& b : m_blocks) {
    const double x = (b.left + b.right) / 2, y = (b.top + b.bottom) / 2;
    meanX += x;
    meanY += y;
    meanX2 += x + b.dx;
    meanY2 += y + b.dy;
  }
  const auto n = static_cast<double>(m_blocks.size());
  meanX /= n;
  meanY /= n;
  meanX2 /= n;
  meanY2 /= n;
  double* m = m_transform.m;
  m[0] = m0;
  m[1] = m1;
  m[2] = meanX2 - m0 * meanX - m1 * meanY;
  m[3] = m3;
  m[4] = m4;
  m[5] = meanY2 - m3 * meanX - m4 * meanY;
  return 1;
}
