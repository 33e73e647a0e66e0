#include "algorithms/tone/Threshold.h"

#include <algorithm>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/GaussBlur.h"
#include "algorithms/RuntimeRandom.h"
#include "algorithms/geometry/ImageSize.h"
#include "image/ColorTables.h"
#include "image/PixelBlock.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::size_t kBlockSize = sizeof(ThresholdParams);
constexpr std::int32_t kReducedSide = 100;
constexpr std::int32_t kFixedRampStep = 20;  // levels of ramp per transition unit
constexpr std::int32_t kAdaptiveRampStep = 15;
constexpr std::int64_t kMinimumRange = 30000;  // the narrowest local range
constexpr std::int32_t kProgressRows = 100;

std::int64_t Grey(const std::uint16_t* p) {
  return (6 * std::int64_t{p[1]} + 3 * std::int64_t{p[2]} + p[0]) / 10;
}

void SetGrey(std::uint16_t* p, std::int64_t v) { p[0] = p[1] = p[2] = static_cast<std::uint16_t>(v); }

// Black below a, white from b up, a ramp between (none when a equals b).
std::int64_t Ramp(std::int64_t y, std::int64_t a, std::int64_t b) {
  if (y < a) return 0;
  if (y >= b) return 65535;
  return (y - a) * 65535 / (b - a);
}

// The local range of a window's lowest and highest grey, widened to at least
// kMinimumRange: dark windows reach further up, light ones further down.
std::array<std::int64_t, 2> WidenedRange(std::int64_t lo, std::int64_t hi) {
  if (hi - lo >= kMinimumRange) return {lo, hi};
  const std::int64_t mid = (lo + hi) / 2;
  const std::int64_t o = mid < 32769 ? lo : hi - kMinimumRange;
  return {std::max<std::int64_t>(o - (kMinimumRange - (hi - lo)) / 2, 0),
          std::min<std::int64_t>(o + kMinimumRange, 65535)};
}

bool Cancelled() { return theAlgorithmThread.IsCancelRequested() != 0; }

}  // namespace

void ValidateThresholdParams(ThresholdParams& block) {
  for (std::int32_t* v : {&block.level, &block.transition, &block.area})
    *v = std::clamp(*v, 0, ThresholdParams::kPercentLimit);
}

std::array<std::uint8_t, kBlockSize> ThresholdParamsToBytes(const ThresholdParams& block) {
  std::array<std::uint8_t, kBlockSize> bytes{};
  StoreLE16(bytes.data(), block.size);
  std::uint8_t* p = bytes.data() + 4;
  for (std::int32_t v : {block.method, block.level, block.transition, block.area}) {
    StoreLE32(p, static_cast<std::uint32_t>(v));
    p += 4;
  }
  return bytes;
}

int ThresholdParamsFromBytes(std::span<const std::uint8_t> bytes, ThresholdParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), kBlockSize);
  if (bytes.size() < stored) return 0;
  std::array<std::uint8_t, kBlockSize> merged = ThresholdParamsToBytes(ThresholdParams{});
  std::copy_n(bytes.begin(), stored, merged.begin());
  ThresholdParams read;
  const std::uint8_t* p = merged.data() + 4;
  for (std::int32_t* v : {&read.method, &read.level, &read.transition, &read.area}) {
    *v = static_cast<std::int32_t>(LoadLE32(p));
    p += 4;
  }
  ValidateThresholdParams(read);
  block = read;
  return 1;
}

std::array<std::int32_t, 2> CThreshold::ReducedSize(std::uint32_t width, std::uint32_t height) {
  // A strip thinner than 1 : 100 would get a side of no pixels.
  if (width >= height)
    return {kReducedSide, static_cast<std::int32_t>(
                              std::max<std::uint64_t>(std::uint64_t{height} * kReducedSide / width, 1))};
  return {static_cast<std::int32_t>(std::max<std::uint64_t>(std::uint64_t{width} * kReducedSide / height, 1)),
          kReducedSide};
}

int CThreshold::Process() {
  if (!m_params || !m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  if (!ReadParamBlock(m_block)) return 0;
  ValidateThresholdParams(m_block);
  if (!m_target->CopyFrom(*m_source)) return 0;
  switch (m_block.method) {
    case kThresholdFixed:
      return ThresholdFixed();
    case kThresholdAdaptive:
      return ThresholdAdaptive();
    case kThresholdDiffuse:
      return DitherDiffuse();
    case kThresholdHalftone:
      return DitherHalftone();
    default:
      return 1;
  }
}

int CThreshold::ThresholdFixed() {
  const CBgraImage16& source = *m_source;
  CBgraImage16& target = *m_target;
  const std::int64_t t = std::int64_t{m_block.level} * 65535 / 100;
  const std::int64_t s = std::int64_t{m_block.transition} * kFixedRampStep;
  const std::int64_t hi = std::min<std::int64_t>(t + s, 65535), lo = std::max<std::int64_t>(t - s, 0);
  for (std::uint32_t y = 0; y < source.height; ++y) {
    const std::uint16_t* in = source.Row(y);
    std::uint16_t* out = target.Row(y);
    for (std::uint32_t x = 0; x < source.width; ++x, in += 4, out += 4) SetGrey(out, Ramp(Grey(in), lo, hi));
    if (y % kProgressRows == 0) SetProgress(static_cast<std::int32_t>(std::int64_t{y} * 100 / source.height));
  }
  return 1;
}

int CThreshold::ThresholdAdaptive() {
  const CBgraImage16& source = *m_source;
  const auto [sw, sh] = ReducedSize(source.width, source.height);

  CBgraImage16 small;
  {
    CImageSize reduce;
    reduce.NestIn(*this, 0, 10);
    reduce.m_rangeLo = 0;
    reduce.m_rangeHi = 100;
    if (!reduce.ResizeSeparable(source, small, sw, sh, kCubicB, kCubicC)) return 0;
  }
  SetProgress(10);
  if (Cancelled()) return 1;

  CBgraImage16 blurred;
  {
    CGaussBlur blur;
    blur.NestIn(*this, 10, 20);
    if (!blur.BlurImage(small, blurred, 1.0)) return 0;
  }
  SetProgress(20);
  if (Cancelled()) return 1;

  // The lowest and highest grey over each window of 2r x 2r pixels, one more
  // above and left of the centre than below and right, clipped to the
  // picture: first along the rows, then down the columns.
  const std::int64_t r = m_block.area / 5 + 1;
  const auto w = static_cast<std::size_t>(sw), h = static_cast<std::size_t>(sh);
  auto grey = AllocWorkArray<std::uint16_t>(w * h);
  auto rowLo = AllocWorkArray<std::uint16_t>(w * h);
  auto rowHi = AllocWorkArray<std::uint16_t>(w * h);
  CBgraImage16 ranges;
  if (!grey || !rowLo || !rowHi || !ranges.Create(blurred.width, blurred.height)) return 0;
  for (std::size_t i = 0; i < w * h; ++i) grey[i] = static_cast<std::uint16_t>(Grey(blurred.pixels + 4 * i));
  const auto window = [r](std::int64_t at, std::int64_t size) {
    return std::array<std::int64_t, 2>{std::max<std::int64_t>(at - r, 0),
                                       std::min<std::int64_t>(at + r - 1, size - 1)};
  };
  for (std::size_t y = 0; y < h; ++y) {
    for (std::size_t x = 0; x < w; ++x) {
      const auto [x0, x1] = window(static_cast<std::int64_t>(x), static_cast<std::int64_t>(w));
      std::uint16_t lo = 65535, hi = 0;
      for (std::int64_t i = x0; i <= x1; ++i) {
        lo = std::min(lo, grey[y * w + static_cast<std::size_t>(i)]);
        hi = std::max(hi, grey[y * w + static_cast<std::size_t>(i)]);
      }
      rowLo[y * w + x] = lo;
      rowHi[y * w + x] = hi;
    }
  }
  for (std::size_t y = 0; y < h; ++y) {
    const auto [y0, y1] = window(static_cast<std::int64_t>(y), static_cast<std::int64_t>(h));
    for (std::size_t x = 0; x < w; ++x) {
      std::int64_t lo = 65535, hi = 0;
      for (std::int64_t j = y0; j <= y1; ++j) {
        lo = std::min<std::int64_t>(lo, rowLo[static_cast<std::size_t>(j) * w + x]);
        hi = std::max<std::int64_t>(hi, rowHi[static_cast<std::size_t>(j) * w + x]);
      }
      const auto [low, high] = WidenedRange(lo, hi);
      std::uint16_t* p = ranges.pixels + 4 * (y * w + x);
      p[0] = 0;
      p[1] = static_cast<std::uint16_t>(low);
      p[2] = static_cast<std::uint16_t>(high);
      p[3] = 0;
    }
  }
  SetProgress(50);
  if (Cancelled()) return 1;

  CBgraImage16 full;
  {
    CImageSize enlarge;
    enlarge.NestIn(*this, 50, 80);
    enlarge.m_rangeLo = 0;
    enlarge.m_rangeHi = 100;
    if (!enlarge.ResizeBilinear(ranges, full, static_cast<std::int32_t>(source.width),
                                static_cast<std::int32_t>(source.height))) {
      return 0;
    }
  }
  SetProgress(80);
  if (Cancelled()) return 1;

  CBgraImage16& target = *m_target;
  const std::int64_t level = m_block.level;
  const std::int64_t s = std::int64_t{m_block.transition} * kAdaptiveRampStep;
  const std::uint16_t* in = source.pixels;
  const std::uint16_t* range = full.pixels;
  std::uint16_t* out = target.pixels;
  for (std::size_t i = 0, n = std::size_t{source.width} * source.height; i < n;
       ++i, in += 4, range += 4, out += 4) {
    const std::int64_t lo = range[1], hi = range[2];
    const std::int64_t m = lo + (hi - lo) * level / 100;
    SetGrey(out, Ramp(Grey(in), std::max<std::int64_t>(m - s, 0), std::min<std::int64_t>(m + s, 65535)));
  }
  SetProgress(100);
  return 1;
}

int CThreshold::DitherDiffuse() {
  const CBgraImage16& source = *m_source;
  CBgraImage16& target = *m_target;
  const std::int64_t width = source.width, height = source.height;
  // The target's alpha holds the working values.
  for (std::size_t i = 0, n = std::size_t{source.pixelCount}; i < n; ++i)
    target.pixels[4 * i + 3] = static_cast<std::uint16_t>(Grey(source.pixels + 4 * i));
  const auto feed = [&](std::int64_t x, std::int64_t y, std::int64_t error, std::int64_t base) {
    // Every neighbour inside the picture takes its share: none of the error
    // is dropped next to the right and bottom edges.
    if (x >= width || y >= height) return;
    const std::int64_t k = RuntimeRandom() % 16;
    std::uint16_t& v = target.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y))[3];
    v = static_cast<std::uint16_t>(std::clamp<std::int64_t>(v + error * (base + k) / 100, 0, 65535));
  };
  for (std::int64_t y = 0; y < height; ++y) {
    for (std::int64_t x = 0; x < width; ++x) {
      std::uint16_t* p = target.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
      const std::int64_t v = p[3];
      const bool white = v > 32768;
      SetGrey(p, white ? 65535 : 0);
      const std::int64_t e = white ? v - 65535 : v;
      feed(x + 1, y, e, 20);
      feed(x, y + 1, e, 20);
      feed(x + 2, y, e, 6);
      feed(x, y + 2, e, 6);
      feed(x + 2, y + 2, e, 6);
    }
    if (y % kProgressRows == 0) SetProgress(static_cast<std::int32_t>(95 * y / height));
  }
  for (std::size_t i = 0, n = std::size_t{source.pixelCount}; i < n; ++i)
    target.pixels[4 * i + 3] = source.pixels[4 * i + 3];
  SetProgress(100);
  return 1;
}

int CThreshold::DitherHalftone() {
  const CBgraImage16& source = *m_source;
  CBgraImage16& target = *m_target;
  const std::size_t width = source.width, height = source.height;
  const std::size_t cw = (width + 3) / 4, ch = (height + 3) / 4;
  auto cells = AllocWorkArray<std::uint8_t>(cw * ch);
  if (!cells) return 0;
  BuildGammaTables();
  // Each cell: the sRGB value of the mean grey of its pixels inside the picture.
  for (std::size_t cy = 0; cy < ch; ++cy) {
    for (std::size_t cx = 0; cx < cw; ++cx) {
      std::int64_t sum = 0, count = 0;
      for (std::size_t y = 4 * cy; y < std::min(4 * cy + 4, height); ++y) {
        for (std::size_t x = 4 * cx; x < std::min(4 * cx + 4, width); ++x, ++count)
          sum += Grey(source.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)));
      }
      cells[cy * cw + cx] = LinearToSrgbTable[static_cast<std::size_t>(sum / count)];
    }
  }
  SetProgress(10);
  // Levels 0..17 of 15 values each; the remainder goes on to the right,
  // lower and lower-right cells.
  const auto add = [&](std::size_t cx, std::size_t cy, std::int32_t amount) {
    if (cx >= cw || cy >= ch) return;
    std::uint8_t& v = cells[cy * cw + cx];
    v = static_cast<std::uint8_t>(std::min(v + amount, 255));
  };
  for (std::size_t cy = 0; cy < ch; ++cy) {
    for (std::size_t cx = 0; cx < cw; ++cx) {
      std::uint8_t& v = cells[cy * cw + cx];
      const std::int32_t q = v / 15, d = v - 15 * q;
      v = static_cast<std::uint8_t>(q);
      add(cx + 1, cy, 4 * d / 10);
      add(cx, cy + 1, 4 * d / 10);
      add(cx + 1, cy + 1, d / 5);
    }
  }
  SetProgress(50);
  for (std::size_t cy = 0; cy < ch; ++cy) {
    for (std::size_t y = 4 * cy; y < std::min(4 * cy + 4, height); ++y) {
      std::uint16_t* out = target.Row(static_cast<std::uint32_t>(y));
      for (std::size_t x = 0; x < width; ++x, out += 4)
        SetGrey(out, cells[cy * cw + x / 4] < kHalftoneCell[y % 4][x % 4] ? 0 : 65535);
    }
    if ((4 * cy) % kProgressRows == 0) SetProgress(static_cast<std::int32_t>(50 * 4 * cy / height + 50));
  }
  return 1;
}
