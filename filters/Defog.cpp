#include "filters/Defog.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/GaussBlur.h"
#include "algorithms/ToneTable.h"
#include "algorithms/geometry/ImageSize.h"
#include "platform/LittleEndian.h"

namespace {

constexpr double kHazeBlurRadius = 12.0;

// The stretch decodes t through a table of the power branch, interpolated,
// with t from a reciprocal of the range; the two errors together stay below
// 0.0015 of a level (the branch's second derivative times 65535 is below
// 2e5, over steps of 1 / 4096). A result whose truncation that error could
// change is computed by the formula itself instead, so every result is the
// formula's.
constexpr std::int32_t kDecodeSteps = 4096;
constexpr double kDecodeMargin = 0.004;
constexpr double kLinearBranchEnd = 0.0404499;

struct StretchTables {
  std::vector<double> encoded;  // SrgbEncode(v / 65535) of every level
  std::vector<double> decoded;  // ((t + 0.055) / 1.055)^2.4 x 65535 at t = i / kDecodeSteps
};

const StretchTables& Tables() {
  static const StretchTables tables = [] {
    StretchTables t;
    t.encoded.resize(65536);
    for (std::size_t v = 0; v < 65536; ++v) t.encoded[v] = SrgbEncode(static_cast<double>(v) / 65535.0);
    t.decoded.resize(kDecodeSteps + 2);
    for (std::size_t i = 0; i < t.decoded.size(); ++i) {
      const double x = static_cast<double>(i) / kDecodeSteps;
      t.decoded[i] = std::pow((x + 0.055) / 1.055, 2.4) * 65535.0;
    }
    return t;
  }();
  return tables;
}

// The formula: (encoded - black) / range held to 0..1, decoded, times
// 65535, truncated.
std::uint16_t ExactStretch(double encoded, double black, double range) {
  const double t = std::clamp((encoded - black) / range, 0.0, 1.0);
  return static_cast<std::uint16_t>(std::clamp(SrgbDecode(t) * 65535.0, 0.0, 65535.0));
}

// The same through the table; inverse is 1 / range.
std::uint16_t Stretch(double encoded, double black, double range, double inverse,
                      const StretchTables& tables) {
  const double t = std::clamp((encoded - black) * inverse, 0.0, 1.0);
  double y = 0;
  if (t < kLinearBranchEnd) {
    y = t / 12.92 * 65535.0;
  } else {
    const double at = t * kDecodeSteps;
    const auto i = static_cast<std::size_t>(at);
    const double a = tables.decoded[i];
    y = a + (tables.decoded[i + 1] - a) * (at - static_cast<double>(i));
  }
  // Truncation is the floor: y - margin is negative only near 0, where both
  // ends give 0 and so does the formula.
  const auto low = static_cast<std::int64_t>(y - kDecodeMargin);
  if (low == static_cast<std::int64_t>(y + kDecodeMargin) && low < 65535)
    return static_cast<std::uint16_t>(low);
  return ExactStretch(encoded, black, range);
}

// n / d for d in 100..200 and n below 2^24, by a multiplication: the
// reciprocal's excess adds less than 2^-18 to n / d, whose fraction is at
// most 1 - 1 / 200, so the quotient is exact.
constexpr std::array<std::uint64_t, 201> kReciprocals = [] {
  std::array<std::uint64_t, 201> r{};
  for (std::uint64_t d = 100; d <= 200; ++d) r[d] = (std::uint64_t{1} << 42) / d + 1;
  return r;
}();

std::int32_t DivideByLevel(std::uint32_t n, std::int32_t d) {
  return static_cast<std::int32_t>((n * kReciprocals[static_cast<std::size_t>(d)]) >> 42);
}

// The grey level of a 16-bit pixel.
std::uint32_t Grey(const std::uint16_t* p) {
  return (6 * std::uint32_t{p[1]} + 3 * std::uint32_t{p[2]} + p[0]) / 10;
}

// The smallest of lowIn and the largest of highIn over positions x - r to
// x + r - 1, clipped to 0..n - 1, into lowOut[x] and highOut[x]; inputs lie
// inStride values apart, outputs outStride.
void WindowExtremes(const std::uint16_t* lowIn, const std::uint16_t* highIn, std::int64_t inStride,
                    std::uint16_t* lowOut, std::uint16_t* highOut, std::int64_t outStride, std::int64_t n,
                    std::int64_t r) {
  for (std::int64_t x = 0; x < n; ++x) {
    const std::int64_t from = std::max<std::int64_t>(0, x - r), to = std::min(n, x + r);
    std::uint16_t lo = 65535, hi = 0;
    for (std::int64_t i = from; i < to; ++i) {
      lo = std::min(lo, lowIn[i * inStride]);
      hi = std::max(hi, highIn[i * inStride]);
    }
    lowOut[x * outStride] = lo;
    highOut[x * outStride] = hi;
  }
}

}  // namespace

void ValidateDefogParams(DefogParams& block) {
  block.window = std::clamp(block.window, 0, DefogParams::kMaxWindow);
  block.strength = std::clamp(block.strength, 0, DefogParams::kMaxStrength);
}

std::array<std::uint8_t, sizeof(DefogParams)> DefogParamsToBytes(const DefogParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.Zeros(sizeof block.padding);
  w.I32(block.window);
  w.I32(block.strength);
  std::array<std::uint8_t, sizeof(DefogParams)> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int DefogParamsFromBytes(std::span<const std::uint8_t> bytes, DefogParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), sizeof(DefogParams));
  if (bytes.size() < stored) return 0;
  std::array<std::uint8_t, sizeof(DefogParams)> full = DefogParamsToBytes({});
  std::copy_n(bytes.begin(), stored, full.begin());
  ByteReader r(full);
  DefogParams read;
  r.U16();
  r.Skip(sizeof read.padding);
  read.window = r.I32();
  read.strength = r.I32();
  ValidateDefogParams(read);
  block = read;
  return 1;
}

std::pair<std::int32_t, std::int32_t> CDefog::ReducedSize(std::uint32_t width, std::uint32_t height) {
  const std::int64_t w = std::max(width, 1u), h = std::max(height, 1u);
  if (h < w)
    return {kReducedSide, static_cast<std::int32_t>(std::max<std::int64_t>(1, h * kReducedSide / w))};
  return {static_cast<std::int32_t>(std::max<std::int64_t>(1, w * kReducedSide / h)), kReducedSide};
}

int CDefog::BuildHazeMap(const CBgraImage16& reduced, CBgraImage16& haze) {
  CBgraImage16 grey;
  if (!grey.CopyFrom(reduced)) return 0;
  std::uint16_t* p = grey.pixels;
  for (std::uint32_t i = 0; i < grey.pixelCount; ++i, p += 4) {
    p[0] = p[1] = p[2] = static_cast<std::uint16_t>(Grey(p));
  }
  {
    CGaussBlur blur;
    blur.NestIn(*this, 10, 20);
    if (!blur.BlurImage(grey, grey, kHazeBlurRadius)) return 0;
  }
  const std::int64_t w = grey.width, h = grey.height, r = m_block.window / 2;
  if (!haze.Create(grey.width, grey.height)) return 0;
  // The window is a rectangle: its extremes are those along the rows of the
  // extremes along the columns. Both passes work in the haze map (R, G).
  const std::int64_t stride = 4;
  for (std::int64_t y = 0; y < h; ++y) {
    const std::uint16_t* g = grey.Row(static_cast<std::uint32_t>(y)) + 1;
    std::uint16_t* out = haze.Row(static_cast<std::uint32_t>(y));
    WindowExtremes(g, g, stride, out + 1, out + 2, stride, w, r);
  }
  std::vector<std::uint16_t> low(static_cast<std::size_t>(h)), high(static_cast<std::size_t>(h));
  for (std::int64_t x = 0; x < w; ++x) {
    std::uint16_t* column = haze.pixels + x * stride;
    const std::int64_t rowStride = w * stride;
    for (std::int64_t y = 0; y < h; ++y) {
      low[static_cast<std::size_t>(y)] = column[y * rowStride + 1];
      high[static_cast<std::size_t>(y)] = column[y * rowStride + 2];
    }
    WindowExtremes(low.data(), high.data(), 1, column + 1, column + 2, rowStride, h, r);
    for (std::int64_t y = 0; y < h; ++y) column[y * rowStride] = column[y * rowStride + 3] = 0;
  }
  return 1;
}

void CDefog::Points(std::int32_t highest, std::int32_t lowest, std::int32_t strength, std::int32_t& black,
                    std::int32_t& white) {
  const std::int32_t middle = (highest + lowest) / 2;
  std::int32_t level = 200;
  if (middle < 10000) {
    level = 100;
  } else if (middle < 30000) {
    level = 100 + (middle - 10000) / 200;
  }
  // Both numerators lie in 0..200 x 65535 for levels and strengths in range.
  white = DivideByLevel(static_cast<std::uint32_t>(strength * (highest - 65535) + level * 65535), level);
  black = DivideByLevel(static_cast<std::uint32_t>(strength * lowest), 300 - level);
}

std::uint16_t CDefog::StretchChannel(std::uint32_t v, std::uint32_t black, std::uint32_t white) {
  const StretchTables& tables = Tables();
  const double low = tables.encoded[std::min(black, 65535u)];
  const double range = tables.encoded[std::min(white, 65535u)] - low;
  return Stretch(tables.encoded[std::min(v, 65535u)], low, range, 1.0 / range, tables);
}

int CDefog::Process() {
  if (!m_source || m_source->IsEmpty() || !m_target) return 0;
  if (!ReadParamBlock(m_block)) return 0;
  ValidateDefogParams(m_block);
  const CBgraImage16& source = *m_source;
  const auto w = static_cast<std::int32_t>(source.width), h = static_cast<std::int32_t>(source.height);
  const auto [rw, rh] = ReducedSize(source.width, source.height);

  CBgraImage16 reduced;
  {
    CImageSize size;
    size.NestIn(*this, 0, 10);
    size.m_rangeLo = 0;
    size.m_rangeHi = 100;
    if (!size.ResizeSeparable(source, reduced, rw, rh, kCubicB, kCubicC)) return 0;
  }
  SetProgress(10);
  if (!BuildHazeMap(reduced, m_hazeMap)) return 0;
  SetProgress(30);
  // A haze map that grows both ways is enlarged by the stripes, each its own
  // rows just before it reads them; otherwise here, at once (it is small).
  m_enlargeInStripes = source.width > m_hazeMap.width && source.height > m_hazeMap.height;
  if (!m_enlargeInStripes) {
    CImageSize size;
    size.NestIn(*this, 30, 50);
    size.m_rangeLo = -1;  // no cancel test: the map is always whole
    CBgraImage16 full;
    if (!size.ResizeBilinear(m_hazeMap, full, w, h)) return 0;
    m_hazeMap = std::move(full);
  }
  SetProgress(50);
  Tables();  // made once, before the stripes share them

  if (m_target != m_source && (m_target->width != source.width || m_target->height != source.height)) {
    m_target->Free();
  }
  const int done = RunRowPass(50, 100);
  // Stripes a cancel skipped may hold what the target held before.
  if (done && theAlgorithmThread.IsCancelRequested()) return m_target->CopyFrom(source);
  return done;
}

int CDefog::ProcessStripe(StripeTask* task) {
  if (!task || !m_source || !m_target) return 0;
  const CBgraImage16& source = *m_source;
  CBgraImage16& target = *m_target;
  if (target.width != source.width || target.height != source.height || m_hazeMap.IsEmpty()) return 0;
  std::uint32_t first = 0, end = 0;
  OwnRows(*task, source.height, first, end);
  if (first == end) return 1;
  CBgraImage16 rows;
  const std::uint16_t* haze = nullptr;
  if (m_enlargeInStripes) {
    if (!CImageSize::EnlargeBilinearRows(m_hazeMap, source.width, source.height, first, end, rows)) return 0;
    haze = rows.pixels;
  } else {
    if (m_hazeMap.width != source.width || m_hazeMap.height != source.height) return 0;
    haze = m_hazeMap.Row(first);
  }
  const StretchTables& tables = Tables();
  const std::int32_t strength = m_block.strength;
  const std::size_t count = std::size_t{source.width} * (end - first);
  const std::uint16_t* in = source.Row(first);
  std::uint16_t* out = target.Row(first);
  for (std::size_t i = 0; i < count; ++i, in += 4, haze += 4, out += 4) {
    std::int32_t black = 0, white = 0;
    Points(haze[2], haze[1], strength, black, white);
    if (black < white) {
      const double low = tables.encoded[static_cast<std::size_t>(black)];
      const double range = tables.encoded[static_cast<std::size_t>(white)] - low;
      const double inverse = 1.0 / range;
      for (int c = 0; c < 3; ++c) out[c] = Stretch(tables.encoded[in[c]], low, range, inverse, tables);
    } else if (out != in) {
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
    }
    out[3] = in[3];
  }
  return 1;
}
