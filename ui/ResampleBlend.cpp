// Box resampling with the blend fused in. Sample positions are computed once
// per call for the columns and rows that land inside the target; the 8-bit
// 2 x 2 average adds two channels at a time in 16-bit lanes of a u32.

#include "ui/ResampleBlend.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "image/ColorModel.h"
#include "image/PixelBlock.h"
#include "ui/BlendTables.h"

namespace {

// The part of an output of size w x h placed at place that lies inside the
// target, as output indices.
struct OutputSpan {
  std::int64_t i0, i1, j0, j1;
  bool Empty() const { return i1 <= i0 || j1 <= j0; }
};

OutputSpan ClipToTarget(const Rect& place, std::int64_t w, std::int64_t h, const CBgraImage& target) {
  return {std::max<std::int64_t>(0, -std::int64_t{place.left}),
          std::min<std::int64_t>(w, std::int64_t{target.width} - place.left),
          std::max<std::int64_t>(0, -std::int64_t{place.top}),
          std::min<std::int64_t>(h, std::int64_t{target.height} - place.top)};
}

// n samples for each output index in [first, last) of a side of `side`
// outputs spread over [low, high): (k n + a) x (high - low) / (n side) + low.
std::unique_ptr<std::uint32_t[]> Positions(std::uint32_t n, std::int64_t side, std::int64_t first,
                                           std::int64_t last, std::int32_t low, std::int32_t high) {
  auto table = AllocWorkArray<std::uint32_t>(static_cast<std::uint64_t>(last - first) * n);
  if (!table) return nullptr;
  const std::uint64_t span = static_cast<std::uint64_t>(std::int64_t{high} - low);
  const std::uint64_t count = static_cast<std::uint64_t>(side) * n;
  std::size_t out = 0;
  for (std::int64_t k = first; k < last; ++k) {
    for (std::uint32_t a = 0; a < n; ++a) {
      const std::uint64_t i = static_cast<std::uint64_t>(k) * n + a;
      table[out++] = static_cast<std::uint32_t>(i * span / count + static_cast<std::uint64_t>(low));
    }
  }
  return table;
}

std::uint32_t Load(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// BlendImage's pixel rule with the target's alpha raised: a weight of
// alpha x source alpha at or below 255 leaves the pixel.
inline void BlendPixel(std::uint8_t* p, std::uint32_t v, std::int32_t alpha, const BlendTables& t) {
  const std::int32_t weight = alpha * static_cast<std::int32_t>(v >> 24);
  if (weight <= 255) return;
  const std::int32_t w = weight / 256;
  if (w == 255) {
    // Source weight 255 copies the colour and makes the pixel opaque.
    v |= 0xFF000000u;
    std::memcpy(p, &v, 4);
    return;
  }
  const auto& sw = t.source[w];
  const auto& dw = t.destination[w];
  p[0] = static_cast<std::uint8_t>(sw[v & 0xFF] + dw[p[0]]);
  p[1] = static_cast<std::uint8_t>(sw[(v >> 8) & 0xFF] + dw[p[1]]);
  p[2] = static_cast<std::uint8_t>(sw[(v >> 16) & 0xFF] + dw[p[2]]);
  p[3] = static_cast<std::uint8_t>(dw[p[3]] + sw[255]);
}

bool ValidRectangle(const Rect& r, std::uint32_t width, std::uint32_t height) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
         static_cast<std::uint32_t>(r.right) <= width && static_cast<std::uint32_t>(r.bottom) <= height;
}

// The tables and clipped span of one call; false when there is nothing to
// draw (span empty: success) or the tables cannot be had (failure).
struct Plan {
  OutputSpan span{};
  std::unique_ptr<std::uint32_t[]> xs, ys;
  std::uint32_t n = 1;
  const BlendTables* tables = nullptr;
};

[[nodiscard]] int MakePlan(Plan& plan, std::uint32_t width, std::uint32_t height, const Rect& sourceRect,
                           std::uint32_t samples, const CBgraImage& target, const Rect& place) {
  const std::int64_t w = place.Width(), h = place.Height();
  if (w <= 0 || h <= 0 || !ValidRectangle(sourceRect, width, height)) return 0;
  plan.n = std::max(samples, 1u);
  plan.span = ClipToTarget(place, w, h, target);
  if (plan.span.Empty()) return 1;
  plan.xs = Positions(plan.n, w, plan.span.i0, plan.span.i1, sourceRect.left, sourceRect.right);
  plan.ys = Positions(plan.n, h, plan.span.j0, plan.span.j1, sourceRect.top, sourceRect.bottom);
  if (!BuildBlendTables()) return 0;
  plan.tables = GetBlendTables();
  return plan.xs && plan.ys && plan.tables ? 1 : 0;
}

// One output row of 8-bit averages, handed to blend pixel by pixel.
template <typename Sink>
void Row8(const CBgraImage& source, const Plan& plan, std::size_t row, Sink&& sink) {
  const std::uint32_t n = plan.n;
  const std::size_t count = static_cast<std::size_t>(plan.span.i1 - plan.span.i0);
  const std::uint32_t* xs = plan.xs.get();
  const std::uint32_t* ys = plan.ys.get() + row * n;
  if (n == 1) {
    const std::uint8_t* line = source.Row(ys[0]);
    for (std::size_t k = 0; k < count; ++k) sink(k, Load(line + std::size_t{xs[k]} * 4));
    return;
  }
  if (n == 2) {
    const std::uint8_t* upper = source.Row(ys[0]);
    const std::uint8_t* lower = source.Row(ys[1]);
    constexpr std::uint32_t kEven = 0x00FF00FFu;
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t a = std::size_t{xs[2 * k]} * 4, b = std::size_t{xs[2 * k + 1]} * 4;
      const std::uint32_t p = Load(upper + a), q = Load(upper + b), r = Load(lower + a), s = Load(lower + b);
      // B and R in one sum, G and A in the other: each lane stays below 1021.
      const std::uint32_t even = (p & kEven) + (q & kEven) + (r & kEven) + (s & kEven);
      const std::uint32_t odd =
          ((p >> 8) & kEven) + ((q >> 8) & kEven) + ((r >> 8) & kEven) + ((s >> 8) & kEven);
      sink(k, ((even >> 2) & kEven) | (((odd >> 2) & kEven) << 8));
    }
    return;
  }
  const std::uint64_t area = std::uint64_t{n} * n;
  for (std::size_t k = 0; k < count; ++k) {
    std::uint64_t sum[4] = {};
    for (std::uint32_t b = 0; b < n; ++b) {
      const std::uint8_t* line = source.Row(ys[b]);
      for (std::uint32_t a = 0; a < n; ++a) {
        const std::uint8_t* p = line + std::size_t{xs[k * n + a]} * 4;
        for (int c = 0; c < 4; ++c) sum[c] += p[c];
      }
    }
    std::uint32_t v = 0;
    for (int c = 0; c < 4; ++c) v |= static_cast<std::uint32_t>(sum[c] / area) << (8 * c);
    sink(k, v);
  }
}

// One output row of 16-bit averages into out (4 samples a pixel).
void Row16(const CBgraImage16& source, const Plan& plan, std::size_t row, std::uint16_t* out) {
  const std::uint32_t n = plan.n;
  const std::size_t count = static_cast<std::size_t>(plan.span.i1 - plan.span.i0);
  const std::uint32_t* xs = plan.xs.get();
  const std::uint32_t* ys = plan.ys.get() + row * n;
  if (n == 1) {
    const std::uint16_t* line = source.Row(ys[0]);
    for (std::size_t k = 0; k < count; ++k, out += 4) std::memcpy(out, line + std::size_t{xs[k]} * 4, 8);
    return;
  }
  if (n == 2) {
    const std::uint16_t* upper = source.Row(ys[0]);
    const std::uint16_t* lower = source.Row(ys[1]);
    for (std::size_t k = 0; k < count; ++k, out += 4) {
      const std::size_t a = std::size_t{xs[2 * k]} * 4, b = std::size_t{xs[2 * k + 1]} * 4;
      for (int c = 0; c < 4; ++c) {
        const std::uint32_t sum = std::uint32_t{upper[a + c]} + upper[b + c] + lower[a + c] + lower[b + c];
        out[c] = static_cast<std::uint16_t>(sum / 4);
      }
    }
    return;
  }
  const std::uint64_t area = std::uint64_t{n} * n;
  for (std::size_t k = 0; k < count; ++k, out += 4) {
    std::uint64_t sum[4] = {};
    for (std::uint32_t b = 0; b < n; ++b) {
      const std::uint16_t* line = source.Row(ys[b]);
      for (std::uint32_t a = 0; a < n; ++a) {
        const std::uint16_t* p = line + std::size_t{xs[k * n + a]} * 4;
        for (int c = 0; c < 4; ++c) sum[c] += p[c];
      }
    }
    for (int c = 0; c < 4; ++c) out[c] = static_cast<std::uint16_t>(sum[c] / area);
  }
}

std::uint8_t* TargetRow(CBgraImage& target, const Rect& place, const OutputSpan& span, std::int64_t j) {
  return target.At(static_cast<std::uint32_t>(place.left + span.i0),
                   static_cast<std::uint32_t>(place.top + j));
}

}  // namespace

int DrawResampled(const CBgraImage& source, const Rect& sourceRect, std::uint32_t samples, CBgraImage& target,
                  const Rect& place, std::int32_t alpha) {
  if (source.IsEmpty() || target.IsEmpty()) return 0;
  Plan plan;
  if (!MakePlan(plan, source.width, source.height, sourceRect, samples, target, place)) return 0;
  if (plan.span.Empty()) return 1;
  alpha = std::clamp(alpha, 0, 256);
  const BlendTables& t = *plan.tables;
  for (std::int64_t j = plan.span.j0; j < plan.span.j1; ++j) {
    std::uint8_t* out = TargetRow(target, place, plan.span, j);
    const auto row = static_cast<std::size_t>(j - plan.span.j0);
    if (alpha == 256) {
      Row8(source, plan, row, [&](std::size_t k, std::uint32_t v) {
        std::uint8_t* p = out + 4 * k;
        if ((v >> 24) == 255) {
          std::memcpy(p, &v, 4);  // the common case: an opaque photo
        } else {
          BlendPixel(p, v, 256, t);
        }
      });
    } else {
      Row8(source, plan, row, [&](std::size_t k, std::uint32_t v) { BlendPixel(out + 4 * k, v, alpha, t); });
    }
  }
  return 1;
}

int DrawResampled(const CBgraImage16& source, const Rect& sourceRect, std::uint32_t samples,
                  CBgraImage& target, const Rect& place, std::int32_t alpha) {
  if (source.IsEmpty() || target.IsEmpty()) return 0;
  Plan plan;
  if (!MakePlan(plan, source.width, source.height, sourceRect, samples, target, place)) return 0;
  if (plan.span.Empty()) return 1;
  alpha = std::clamp(alpha, 0, 256);
  const auto count = static_cast<std::size_t>(plan.span.i1 - plan.span.i0);
  const BlendTables& t = *plan.tables;
  // Point sampling at real size or larger reads each source pixel of a row
  // several times and often the same row again: the row's span is converted
  // once, and only when the row changes.
  const std::uint32_t first = plan.xs[0], last = plan.xs[count * plan.n - 1];
  const std::size_t segment = std::size_t{last} - first + 1;
  if (plan.n == 1 && segment <= 2 * count) {
    auto converted = AllocWorkArray<std::uint8_t>(std::uint64_t{segment} * 4);
    if (!converted) return 0;
    std::int64_t convertedRow = -1;
    for (std::int64_t j = plan.span.j0; j < plan.span.j1; ++j) {
      const std::uint32_t y = plan.ys[static_cast<std::size_t>(j - plan.span.j0)];
      if (y != convertedRow) {
        ConvertPixels16To8(source.At(first, y), converted.get(), segment);
        convertedRow = y;
      }
      std::uint8_t* out = TargetRow(target, place, plan.span, j);
      for (std::size_t k = 0; k < count; ++k)
        BlendPixel(out + 4 * k, Load(converted.get() + std::size_t{plan.xs[k] - first} * 4), alpha, t);
    }
    return 1;
  }
  auto wide = AllocWorkArray<std::uint16_t>(std::uint64_t{count} * 4);
  auto narrow = AllocWorkArray<std::uint8_t>(std::uint64_t{count} * 4);
  if (!wide || !narrow) return 0;
  for (std::int64_t j = plan.span.j0; j < plan.span.j1; ++j) {
    Row16(source, plan, static_cast<std::size_t>(j - plan.span.j0), wide.get());
    ConvertPixels16To8(wide.get(), narrow.get(), count);
    std::uint8_t* out = TargetRow(target, place, plan.span, j);
    for (std::size_t k = 0; k < count; ++k) BlendPixel(out + 4 * k, Load(narrow.get() + 4 * k), alpha, t);
  }
  return 1;
}
