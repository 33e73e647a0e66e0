#include "filters/ResEnhance.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "filters/CutStripes.h"
#include "platform/LittleEndian.h"

namespace {

// Rows a stripe reads beyond its own: the largest window reaches one row
// each way, and the edge map of a row reads the rows beside it and is zero
// on the stripe's border; 4 leaves a margin. A small overlap keeps wide
// pictures striped (the framework stripes only while 2 x overlap x width
// stays within 150000 pixels).
constexpr std::int32_t kStripeOverlap = 4;

}  // namespace

void ValidateResEnhanceParams(ResEnhanceParams& block) {
  if (std::isnan(block.strength)) block.strength = 0;
  block.strength =
      std::clamp(block.strength, -ResEnhanceParams::kMaxStrength, ResEnhanceParams::kMaxStrength);
}

std::array<std::uint8_t, sizeof(ResEnhanceParams)> ResEnhanceParamsToBytes(const ResEnhanceParams& block) {
  std::array<std::uint8_t, sizeof(ResEnhanceParams)> bytes{};
  std::uint64_t bits = 0;
  std::memcpy(&bits, &block.strength, sizeof bits);
  StoreLE64(bytes.data(), bits);
  return bytes;
}

int ResEnhanceParamsFromBytes(std::span<const std::uint8_t> bytes, ResEnhanceParams& block) {
  ByteReader r(bytes);
  ResEnhanceParams read;
  read.strength = r.F64();
  if (!r.ok()) return 0;
  ValidateResEnhanceParams(read);
  block = read;
  return 1;
}

std::int32_t CResEnhance::WindowSize(double strength) {
  ResEnhanceParams block{strength};
  ValidateResEnhanceParams(block);
  const auto size = static_cast<std::int32_t>(2 * block.strength * block.strength);
  return std::clamp(size, 3, 8);
}

void CResEnhance::BuildWindowTable() {
  std::int32_t total = 0;
  std::size_t i = 0;
  for (std::int32_t a = 2; total < 256 && i < kWindowCount; ++a, ++i) {
    m_windows[i] = {static_cast<std::uint8_t>(total), static_cast<std::int8_t>(-(a / 4)),
                    static_cast<std::int8_t>((a + 2) / 4), static_cast<std::int8_t>(-((a + 1) / 4)),
                    static_cast<std::int8_t>((a + 3) / 4)};
    total += (a - 1) / 2 + 1;
  }
}

const ResEnhanceWindow& CResEnhance::Window() const {
  for (const ResEnhanceWindow& window : m_windows) {
    if (window.threshold >= m_windowSize) return window;
  }
  return m_windows.back();
}

int CResEnhance::Process() {
  // Stripes read source rows that a merge of their neighbours would change.
  if (!m_source || m_source->IsEmpty() || !m_target || m_target == m_source || !m_params) return 0;
  ResEnhanceParams block;
  std::memcpy(&block, m_params, sizeof block);
  ValidateResEnhanceParams(block);
  m_strength = block.strength;
  // Stripes merge only into a target of the source's size.
  if (!m_target->IsEmpty() && (m_target->width != m_source->width || m_target->height != m_source->height)) {
    m_target->Free();
  }
  if (!SplitIntoStripes(kStripeOverlap, 0)) return 0;
  CutStripesAtPicture(*this);
  m_windowSize = WindowSize(m_strength);
  BuildWindowTable();
  return RunStripes(*this);
}

int CResEnhance::ProcessStripe(StripeTask* task) {
  CPlane8 edges;
  return BuildEdgeMap(*task->sourceStripe, edges) &&
                 EnhanceStripe(*task->sourceStripe, *task->resultStripe, edges)
             ? 1
             : 0;
}

int CResEnhance::BuildEdgeMap(const CBgraImage16& stripe, CPlane8& edges) {
  CPlane8 grey;
  if (!stripe.ToGrayPlane(grey) || !edges.Create(stripe.width, stripe.height)) return 0;
  std::memset(edges.pixels, 0, edges.byteSize);
  const std::uint32_t w = stripe.width, h = stripe.height;
  for (std::uint32_t y = 1; y + 1 < h; ++y) {
    const std::uint8_t* up = grey.Row(y - 1);
    const std::uint8_t* mid = grey.Row(y);
    const std::uint8_t* down = grey.Row(y + 1);
    std::uint8_t* out = edges.Row(y);
    for (std::uint32_t x = 1; x + 1 < w; ++x) {
      const std::int32_t gx = (up[x - 1] + mid[x - 1] + down[x - 1]) - (up[x + 1] + mid[x + 1] + down[x + 1]);
      const std::int32_t gy = (up[x - 1] + up[x] + up[x + 1]) - (down[x - 1] + down[x] + down[x + 1]);
      const std::int32_t m = std::min(std::max(std::abs(gx), std::abs(gy)), 255);
      out[x] = static_cast<std::uint8_t>(m <= 16 ? 0 : (m - 16) * 255 / 240);
    }
  }
  return 1;
}

int CResEnhance::EnhanceStripe(const CBgraImage16& source, CBgraImage16& result, const CPlane8& edges) const {
  CBgraImage16 ycc;
  if (!ycc.CopyFrom(source)) return 0;
  ycc.RgbToYcc();
  if (!result.CopyFrom(ycc)) return 0;

  const ResEnhanceWindow& win = Window();
  const auto w = static_cast<std::int32_t>(source.width);
  const auto h = static_cast<std::int32_t>(source.height);
  std::vector<std::uint16_t> colMax(static_cast<std::size_t>(w)), colMin(static_cast<std::size_t>(w));
  for (std::int32_t t = -win.rowStart; t < h - win.rowEnd; ++t) {
    for (std::int32_t j = 0; j < w; ++j) {
      std::uint16_t hi = 0, lo = 65535;
      for (std::int32_t r = t + win.rowStart; r < t + win.rowEnd; ++r) {
        const std::uint16_t y = ycc.At(static_cast<std::uint32_t>(j), static_cast<std::uint32_t>(r))[2];
        hi = std::max(hi, y);
        lo = std::min(lo, y);
      }
      colMax[static_cast<std::size_t>(j)] = hi;
      colMin[static_cast<std::size_t>(j)] = lo;
    }
    const std::uint16_t* in = ycc.Row(static_cast<std::uint32_t>(t));
    std::uint16_t* out = result.Row(static_cast<std::uint32_t>(t));
    const std::uint8_t* edge = edges.Row(static_cast<std::uint32_t>(t));
    for (std::int32_t x = -win.colStart; x < w - win.colEnd; ++x) {
      std::int32_t D = 65535, U = 0;
      for (std::int32_t c = x + win.colStart; c < x + win.colEnd; ++c) {
        D = std::min<std::int32_t>(D, colMin[static_cast<std::size_t>(c)]);
        U = std::max<std::int32_t>(U, colMax[static_cast<std::size_t>(c)]);
      }
      const std::int32_t weight = edge[x] * 144 / 256 + 64;
      const std::int32_t F = in[4 * x + 2];
      const std::int32_t mid = (D + U) / 2;
      const std::int32_t push = F + (((F - mid) * 500) >> 8);
      const std::int32_t v = ((255 - weight) * F + weight * push) >> 8;
      out[4 * x + 2] = static_cast<std::uint16_t>(std::max(std::min(v, U), D));
    }
  }
  result.YccToRgb();
  return 1;
}
