// Box resampling, bilinear resizing, the separable blur and bilinear point
// sampling. Positions and fractions are computed once per column and per row
// into tables sized for the call, then reused for every row; all per-pixel
// arithmetic is integer.

#include "image/Resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/AffineTransform.h"
#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ColorModel.h"
#include "image/Plane8.h"

namespace {

// ---- Box resampling --------------------------------------------------------

// An empty rectangle (right equal to left) stands for the whole image; the
// caller sees the replacement.
void ReplaceEmptyRectangle(Rect& rectangle, std::uint32_t width, std::uint32_t height) {
  if (rectangle.right == rectangle.left) {
    rectangle = {0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
  }
}

bool InsideImage(const Rect& r, std::uint32_t width, std::uint32_t height) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
         static_cast<std::uint32_t>(r.right) <= width && static_cast<std::uint32_t>(r.bottom) <= height;
}

// n x side source coordinates spread evenly over [low, high).
[[nodiscard]] std::unique_ptr<std::uint32_t[]> BoxPositions(std::uint32_t samples, std::uint32_t side,
                                                            std::int32_t low, std::int32_t high) {
  const std::uint64_t count = std::uint64_t{samples} * side;
  auto table = AllocWorkArray<std::uint32_t>(count);
  if (!table) return nullptr;
  const std::uint64_t span = static_cast<std::uint64_t>(high - low);
  for (std::uint64_t i = 0; i < count; ++i) table[i] = static_cast<std::uint32_t>(i * span / count + low);
  return table;
}

struct BoxTables {
  std::unique_ptr<std::uint32_t[]> xs, ys;
  std::uint32_t samples = 1;
};

[[nodiscard]] bool MakeBoxTables(BoxTables& t, std::uint32_t samples, std::uint32_t width,
                                 std::uint32_t height, const Rect& rectangle) {
  t.samples = std::max(samples, 1u);
  t.xs = BoxPositions(t.samples, width, rectangle.left, rectangle.right);
  t.ys = BoxPositions(t.samples, height, rectangle.top, rectangle.bottom);
  return t.xs && t.ys;
}

// One output row: each pixel the average of its n x n samples (the sample
// itself when n is 1), every channel alike.
template <typename Sample>
void BoxRow(const PixelRecord<Sample, 4>& source, const BoxTables& t, std::uint32_t y, std::uint32_t width,
            Sample* out) {
  const std::uint32_t n = t.samples;
  const std::uint64_t area = std::uint64_t{n} * n;
  for (std::uint32_t x = 0; x < width; ++x, out += 4) {
    std::uint64_t sum[4] = {};
    for (std::uint32_t b = 0; b < n; ++b) {
      const Sample* row = source.Row(t.ys[std::size_t{y} * n + b]);
      for (std::uint32_t a = 0; a < n; ++a) {
        const Sample* p = row + std::size_t{t.xs[std::size_t{x} * n + a]} * 4;
        for (int c = 0; c < 4; ++c) sum[c] += p[c];
      }
    }
    for (int c = 0; c < 4; ++c) out[c] = static_cast<Sample>(sum[c] / area);
  }
}

// ---- Bilinear resizing -----------------------------------------------------

struct AxisStep {
  std::uint32_t index;    // source column or row
  std::uint32_t next;     // its neighbour, the same one at the last position
  std::int32_t fraction;  // 0..255
};

// Output position i lies on i x (source - 1) / (out - 1) of the source, so
// the first and last outputs fall on the first and last source pixels. An
// output side of 1 takes the first source pixel.
[[nodiscard]] std::unique_ptr<AxisStep[]> BilinearAxis(std::uint32_t outSide, std::uint32_t sourceSide) {
  auto steps = AllocWorkArray<AxisStep>(outSide);
  if (!steps) return nullptr;
  for (std::uint32_t i = 0; i < outSide; ++i) {
    AxisStep& s = steps[i];
    if (outSide == 1) {
      s = {0, 0, 0};
      continue;
    }
    const std::uint64_t scaled = std::uint64_t{i} * (sourceSide - 1);
    s.index = static_cast<std::uint32_t>(scaled / (outSide - 1));
    s.fraction = static_cast<std::int32_t>(scaled * 256 / (outSide - 1) % 256);
    s.next = std::min(s.index + 1, sourceSide - 1);
  }
  return steps;
}

// Weights are complements to 255, not 256, as every caller's results assume.
template <int Channels>
[[nodiscard]] int BilinearResize(const std::uint8_t* source, std::size_t sourceStride,
                                 std::uint32_t sourceWidth, std::uint32_t sourceHeight, std::uint8_t* target,
                                 std::uint32_t width, std::uint32_t height) {
  auto xs = BilinearAxis(width, sourceWidth);
  auto ys = BilinearAxis(height, sourceHeight);
  if (!xs || !ys) return 0;
  std::uint8_t* out = target;
  for (std::uint32_t j = 0; j < height; ++j) {
    const std::uint8_t* upper = source + ys[j].index * sourceStride;
    const std::uint8_t* lower = source + ys[j].next * sourceStride;
    const int fy = ys[j].fraction, gy = 255 - fy;
    for (std::uint32_t i = 0; i < width; ++i) {
      const std::size_t left = std::size_t{xs[i].index} * Channels;
      const std::size_t right = std::size_t{xs[i].next} * Channels;
      const int fx = xs[i].fraction, gx = 255 - fx;
      for (int c = 0; c < Channels; ++c) {
        const int top = upper[right + c] * fx + upper[left + c] * gx;
        const int bottom = lower[left + c] * gx + lower[right + c] * fx;
        *out++ = static_cast<std::uint8_t>((top * gy >> 16) + (fy * bottom >> 16));
      }
    }
  }
  return 1;
}

// ---- Blur ------------------------------------------------------------------

constexpr int kMaxKernel = 16;

// Weights of distance 0..n-1 scaled so the symmetric kernel sums to about
// 2048; returns n.
int BlurKernel(std::int32_t radius, int (&weight)[kMaxKernel]) {
  const double r = radius;
  int n = kMaxKernel;
  for (int k = 0; k < kMaxKernel; ++k) {
    weight[k] = static_cast<int>(std::pow(2.7188282, -(k * k) / (2 * r * r)) * 1024);
    if (weight[k] == 0) {
      n = k;
      break;
    }
  }
  int sum = weight[0];
  for (int k = 1; k < n; ++k) sum += 2 * weight[k];
  for (int k = 0; k < n; ++k) weight[k] = weight[k] * 2048 / sum;
  return n;
}

// One line of count pixels (4 bytes each, step bytes apart in out) from a
// contiguous copy. The window holds the pixels closer than half; where the
// line's ends cut it, the sum is divided by the weights actually used.
void BlurLine(const std::uint8_t* in, std::uint32_t count, std::uint8_t* out, std::size_t step,
              const int* weight, int half) {
  for (std::uint32_t j = 0; j < count; ++j, out += step) {
    const std::int64_t first = std::int64_t{j} - half + 1, last = std::int64_t{j} + half - 1;
    int sum[4] = {};
    if (first >= 0 && last < count) {
      for (std::int64_t k = first; k <= last; ++k) {
        const int w = weight[k < j ? j - k : k - j];
        for (int c = 0; c < 4; ++c) sum[c] += w * in[k * 4 + c];
      }
      for (int c = 0; c < 4; ++c) out[c] = static_cast<std::uint8_t>(sum[c] >> 11);
    } else {
      int used = 0;
      for (std::int64_t k = std::max<std::int64_t>(first, 0); k <= std::min<std::int64_t>(last, count - 1);
           ++k) {
        const int w = weight[k < j ? j - k : k - j];
        used += w;
        for (int c = 0; c < 4; ++c) sum[c] += w * in[k * 4 + c];
      }
      for (int c = 0; c < 4; ++c) out[c] = static_cast<std::uint8_t>(used ? sum[c] / used : 0);
    }
  }
}

}  // namespace

int CBgraImage::ResampleTo(CBgraImage& target, std::uint32_t targetWidth, std::uint32_t targetHeight,
                           std::uint32_t samples, Rect& rectangle) const {
  if (IsEmpty()) return 0;
  targetWidth = std::max(targetWidth, 1u);
  targetHeight = std::max(targetHeight, 1u);
  ReplaceEmptyRectangle(rectangle, width, height);
  if (targetWidth == width && targetHeight == height) return target.CopyFrom(*this);
  if (&target == this || !InsideImage(rectangle, width, height)) return 0;
  BoxTables tables;
  if (!MakeBoxTables(tables, samples, targetWidth, targetHeight, rectangle)) return 0;
  if (!target.Create(targetWidth, targetHeight)) return 0;
  for (std::uint32_t y = 0; y < targetHeight; ++y) BoxRow(*this, tables, y, targetWidth, target.Row(y));
  return 1;
}

int CBgraImage16::ResampleToBgra(CBgraImage& target, std::uint32_t targetWidth, std::uint32_t targetHeight,
                                 std::uint32_t samples, Rect& rectangle) const {
  if (IsEmpty()) return 0;
  targetWidth = std::max(targetWidth, 1u);
  targetHeight = std::max(targetHeight, 1u);
  ReplaceEmptyRectangle(rectangle, width, height);
  if (targetWidth == width && targetHeight == height) return ToBgraImage(target);
  if (!InsideImage(rectangle, width, height)) return 0;
  BoxTables tables;
  if (!MakeBoxTables(tables, samples, targetWidth, targetHeight, rectangle)) return 0;
  // Averaged 16-bit rows are converted one at a time, as a whole temporary
  // image would be.
  auto row = AllocWorkArray<std::uint16_t>(std::uint64_t{targetWidth} * 4);
  if (!row || !target.Create(targetWidth, targetHeight)) return 0;
  for (std::uint32_t y = 0; y < targetHeight; ++y) {
    BoxRow(*this, tables, y, targetWidth, row.get());
    ConvertPixels16To8(row.get(), target.Row(y), targetWidth);
  }
  return 1;
}

int ResizeBgraBilinear(const CBgraImage& source, CBgraImage& target, std::uint32_t width,
                       std::uint32_t height, std::int32_t sourceWidth, std::int32_t sourceHeight) {
  if (source.IsEmpty() || target.IsEmpty() || target.width != width || target.height != height) return 0;
  const std::int64_t partWidth = sourceWidth == -1 ? source.width : sourceWidth;
  const std::int64_t partHeight = sourceHeight == -1 ? source.height : sourceHeight;
  if (partWidth < 1 || partWidth > source.width || partHeight < 1 || partHeight > source.height) return 0;
  if (&source == &target) return 0;
  return BilinearResize<4>(source.pixels, std::size_t{source.width} * 4,
                           static_cast<std::uint32_t>(partWidth), static_cast<std::uint32_t>(partHeight),
                           target.pixels, width, height);
}

int CPlane8::ResizeTo(CPlane8& target, std::uint32_t targetWidth, std::uint32_t targetHeight) const {
  if (IsEmpty() || &target == this || !target.Create(targetWidth, targetHeight)) return 0;
  return BilinearResize<1>(pixels, width, width, height, target.pixels, target.width, target.height);
}

int BlurBgraImage(const CBgraImage& source, CBgraImage& target, std::int32_t radius) {
  if (source.IsEmpty()) return 0;
  if (!target.CopyFrom(source)) return 0;
  if (radius < 1) return 1;
  int weight[kMaxKernel];
  const int n = BlurKernel(radius, weight);
  // The line buffer serves both passes, so the target may be the source.
  auto line = AllocWorkArray<std::uint8_t>(std::uint64_t{std::max(target.width, target.height)} * 4);
  if (!line) return 0;
  const int rowHalf = std::min(radius, n);
  for (std::uint32_t y = 0; y < target.height; ++y) {
    std::memcpy(line.get(), target.Row(y), std::size_t{target.width} * 4);
    BlurLine(line.get(), target.width, target.Row(y), 4, weight, rowHalf);
  }
  const std::size_t stride = std::size_t{target.width} * 4;
  for (std::uint32_t x = 0; x < target.width; ++x) {
    const std::uint8_t* in = target.At(x, 0);
    for (std::uint32_t y = 0; y < target.height; ++y, in += stride)
      std::memcpy(&line[std::size_t{y} * 4], in, 4);
    BlurLine(line.get(), target.height, target.At(x, 0), stride, weight, n);
  }
  return 1;
}

std::uint32_t CBgraImage::SampleBilinear(double x, double y) const {
  if (IsEmpty() || !(x >= 0 && x < width && y >= 0 && y < height)) return 0;
  const auto ix = static_cast<std::uint32_t>(x), iy = static_cast<std::uint32_t>(y);
  const std::uint32_t nx = ix + 1 < width ? ix + 1 : ix, ny = iy + 1 < height ? iy + 1 : iy;
  const int fx = static_cast<int>((x - ix) * 256), fy = static_cast<int>((y - iy) * 256);
  const std::uint8_t *tl = At(ix, iy), *tr = At(nx, iy), *bl = At(ix, ny), *br = At(nx, ny);
  std::uint32_t result = std::uint32_t{tl[3]} << 24;
  for (int c = 0; c < 3; ++c) {
    const int top = (tl[c] * (256 - fx) + tr[c] * fx) >> 8;
    const int bottom = (bl[c] * (256 - fx) + br[c] * fx) >> 8;
    result |= static_cast<std::uint32_t>((top * (256 - fy) + bottom * fy) >> 8) << (8 * c);
  }
  return result;
}

int CBgraImage::SampleAffineBilinear(std::int32_t x, std::int32_t y, const AffineTransform& transform,
                                     std::span<std::uint8_t, 4> out) const {
  const double* m = transform.m;
  const double fx = m[0] * x + m[1] * y + m[2];
  const double fy = m[3] * x + m[4] * y + m[5];
  // Written so that a position that is not a number counts as outside.
  if (IsEmpty() ||
      !(fx >= 0 && fx < static_cast<double>(width) - 1 && fy >= 0 && fy < static_cast<double>(height) - 1))
    return 0;
  const auto i = static_cast<std::uint32_t>(fx), j = static_cast<std::uint32_t>(fy);
  const int wx = static_cast<int>((fx - i) * 256), wy = static_cast<int>((fy - j) * 256);
  const std::uint8_t *tl = At(i, j), *tr = tl + 4, *bl = At(i, j + 1), *br = bl + 4;
  for (int c = 0; c < 3; ++c) {
    const int top = ((256 - wx) * tl[c] + wx * tr[c]) >> 8;
    const int bottom = ((256 - wx) * bl[c] + wx * br[c]) >> 8;
    out[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(((256 - wy) * top + wy * bottom) >> 8);
  }
  out[3] = 255;
  return 1;
}
