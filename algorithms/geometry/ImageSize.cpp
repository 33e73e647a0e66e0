#include "algorithms/geometry/ImageSize.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/geometry/SeparableResize.h"
#include "image/PixelBlock.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::size_t kBlockSize = sizeof(ImageSizeParams);

// The weight of each of the supersampling's nine samples.
constexpr double kNinth = 1.0 / 9.0;

bool CanResize(const CBgraImage16& src, const CBgraImage16& dst, std::int32_t w, std::int32_t h) {
  return !src.IsEmpty() && &src != &dst && w >= 1 && h >= 1;
}

// One axis of an 8-bit-fraction bilinear sample: the two source indices and
// the fraction toward the second.
struct AxisTap {
  std::uint32_t i0;
  std::uint32_t i1;
  std::int32_t f;
};

// Positions left of (or above) the image read its first column (row), with
// no fraction: a negative fraction would extrapolate past the edge.
AxisTap MakeTap(double s, std::uint32_t n) {
  if (!(s > 0.0)) return {0, 0, 0};
  const double whole = std::trunc(s);
  const std::int32_t f = static_cast<std::int32_t>((s - whole) * 256.0);
  if (whole >= n - 1) return {n - 1, n - 1, 0};
  const auto i0 = static_cast<std::uint32_t>(whole);
  return {i0, i0 + 1, f};
}

// One channel of the bilinear sample from its four corner values.
inline std::int32_t Bilinear(std::int32_t p00, std::int32_t p10, std::int32_t p01, std::int32_t p11,
                             std::int32_t fx, std::int32_t fy) {
  const std::int32_t top = p00 + (((p10 - p00) * fx) >> 8);
  const std::int32_t bottom = p01 + (((p11 - p01) * fx) >> 8);
  return top + (((bottom - top) * fy) >> 8);
}

// A side scaled by f, rounded, at least 1 (a layer never vanishes).
std::int32_t ScaledSide(std::uint32_t side, double f) {
  const double scaled = std::trunc(side * f + 0.5);
  return static_cast<std::int32_t>(std::clamp(scaled, 1.0, double{std::numeric_limits<std::int32_t>::max()}));
}

// A position scaled by f, + 0.5 and truncated toward zero.
std::int32_t ScaledPosition(std::int32_t p, double f) {
  const double scaled = std::trunc(p * f + 0.5);
  return static_cast<std::int32_t>(std::clamp(scaled, double{std::numeric_limits<std::int32_t>::min()},
                                              double{std::numeric_limits<std::int32_t>::max()}));
}

}  // namespace

// ---- The parameter block --------------------------------------------------------------------------

void ValidateImageSizeParams(ImageSizeParams& block) {
  block.clearEdge = block.clearEdge != 0 ? 1 : 0;
  block.detail = std::clamp(block.detail, 0, 100);
  block.sharpness = std::clamp(block.sharpness, 0, 100);
}

std::array<std::uint8_t, sizeof(ImageSizeParams)> ImageSizeParamsToBytes(const ImageSizeParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.Zeros(sizeof block.reserved0);
  w.I32(block.width);
  w.I32(block.height);
  w.I32(block.method);
  w.U64(0);  // the document reference
  w.I32(block.clearEdge);
  w.I32(block.detail);
  w.I32(block.sharpness);
  w.Zeros(sizeof block.reserved1);
  w.I32(block.fitMode);
  w.Zeros(sizeof block.reserved2);
  std::array<std::uint8_t, kBlockSize> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int ImageSizeParamsFromBytes(std::span<const std::uint8_t> bytes, ImageSizeParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), kBlockSize);
  if (bytes.size() < stored) return 0;
  // The stored bytes over those of a fresh block.
  std::array<std::uint8_t, kBlockSize> merged = ImageSizeParamsToBytes(ImageSizeParams{});
  std::copy_n(bytes.begin(), stored, merged.begin());
  ByteReader r(merged);
  ImageSizeParams read;
  r.Skip(2 + sizeof read.reserved0);  // the size word becomes 48
  read.width = r.I32();
  read.height = r.I32();
  read.method = r.I32();
  r.Skip(8);  // the document reference stays null
  read.clearEdge = r.I32();
  read.detail = r.I32();
  read.sharpness = r.I32();
  r.Skip(sizeof read.reserved1);
  read.fitMode = r.I32();
  if (!r.ok()) return 0;
  ValidateImageSizeParams(read);
  block = read;
  return 1;
}

int ApplyFitMode(ImageSizeParams& block, std::uint32_t sw, std::uint32_t sh) {
  if (block.fitMode == 0 || sw == 0 || sh == 0) return 0;
  if (block.fitMode < 1 || block.fitMode > 4) return 1;
  const std::int64_t W = block.width, H = block.height;
  const std::int64_t w = sw, h = sh;
  std::int64_t width = 0, height = 0;
  switch (block.fitMode) {
    case 1:
      if (W < 1) return 0;
      width = W;
      height = h * W / w;
      break;
    case 2:
      if (H < 1) return 0;
      height = H;
      width = w * H / h;
      break;
    case 3: {
      const std::int64_t L = std::max(W, H);
      if (L < 1) return 0;
      if (h < w) {
        width = L;
        height = h * L / w;
      } else {
        height = L;
        width = w * L / h;
      }
      break;
    }
    default: {
      // W H W overflows 64 bits only for sizes whose result could not be an
      // image anyway.
      if (W < 1 || H < 1) return 0;
      std::uint64_t area = 0, wide = 0, tall = 0;
      const auto uW = static_cast<std::uint64_t>(W), uH = static_cast<std::uint64_t>(H);
      if (__builtin_mul_overflow(uW, uH, &area) || __builtin_mul_overflow(area, uW, &wide) ||
          __builtin_mul_overflow(area, uH, &tall)) {
        return 0;
      }
      const std::uint64_t source = std::uint64_t{sw} * sh;
      width = static_cast<std::int64_t>(std::min<std::uint64_t>(wide / source, INT64_MAX));
      height = static_cast<std::int64_t>(std::min<std::uint64_t>(tall / source, INT64_MAX));
      break;
    }
  }
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  if (width < 1 || height < 1 || width > kMax || height > kMax) return 0;
  block.width = static_cast<std::int32_t>(width);
  block.height = static_cast<std::int32_t>(height);
  return 1;
}

// ---- Sampling ---------------------------------------------------------------------------------------

void SampleKernel5x5(const CBgraImage16& src, std::uint32_t x, std::uint32_t y, std::uint32_t w,
                     std::uint32_t h, std::span<const double, 25> kernel, double step,
                     std::span<std::uint16_t, 4> out) {
  double sum[4] = {0, 0, 0, 0};
  for (int j = 0; j < 5; ++j) {
    const AxisTap ty = MakeTap((y + (j - 2) * step) * src.height / h, src.height);
    const std::uint16_t* row0 = src.Row(ty.i0);
    const std::uint16_t* row1 = src.Row(ty.i1);
    for (int i = 0; i < 5; ++i) {
      const double k = kernel[static_cast<std::size_t>(5 * j + i)];
      // A zero weight adds exactly nothing; skipping it changes no result.
      if (k == 0.0) continue;
      const AxisTap tx = MakeTap((x + (i - 2) * step) * src.width / w, src.width);
      const std::uint16_t* a = row0 + std::size_t{tx.i0} * 4;
      const std::uint16_t* b = row0 + std::size_t{tx.i1} * 4;
      const std::uint16_t* c = row1 + std::size_t{tx.i0} * 4;
      const std::uint16_t* d = row1 + std::size_t{tx.i1} * 4;
      for (int ch = 0; ch < 4; ++ch) sum[ch] += k * Bilinear(a[ch], b[ch], c[ch], d[ch], tx.f, ty.f);
    }
  }
  for (int ch = 0; ch < 4; ++ch) {
    out[static_cast<std::size_t>(ch)] =
        static_cast<std::uint16_t>(std::clamp(std::trunc(sum[ch] + 0.5), 0.0, 65535.0));
  }
}

// ---- CImageSize -------------------------------------------------------------------------------------

void CImageSize::ReportRange(std::int64_t done, std::int64_t total) {
  if (total <= 0) return;
  SetProgress(static_cast<std::int32_t>(m_rangeLo + (std::int64_t{m_rangeHi} - m_rangeLo) * done / total));
}

int CImageSize::Process() {
  if (!ReadParamBlock(m_block)) return 0;
  ValidateImageSizeParams(m_block);
  m_rangeLo = 0;
  m_rangeHi = 100;
  if (m_block.document) return ResizeDocument(*m_block.document);
  if (!m_source || !m_target) return 0;
  return ResizeByMethod(*m_source, *m_target, m_block.width, m_block.height);
}

int CImageSize::ResizeByMethod(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w, std::int32_t h) {
  switch (m_block.method) {
    case kSizeNearest:
      return ResizeNearest(src, dst, w, h);
    case kSizeBilinear:
      return ResizeBilinear(src, dst, w, h);
    case kSizeBicubic:
      return ResizeSeparable(src, dst, w, h, kCubicB, kCubicC);
    default:
      return 0;
  }
}

int CImageSize::ResizeNearest(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w, std::int32_t h) {
  if (!CanResize(src, dst, w, h)) return 0;
  const auto W = static_cast<std::uint32_t>(w), H = static_cast<std::uint32_t>(h);
  auto columns = AllocWorkArray<std::uint32_t>(W);
  if (!columns || !dst.Create(W, H)) return 0;
  // 64-bit products: x sw overflows 32 bits for wide images.
  for (std::uint32_t x = 0; x < W; ++x)
    columns[x] = static_cast<std::uint32_t>(std::uint64_t{x} * src.width / W);
  for (std::uint32_t y = 0; y < H; ++y) {
    if (y % 40 == 0) ReportRange(y, H);
    const std::uint16_t* in = src.Row(static_cast<std::uint32_t>(std::uint64_t{y} * src.height / H));
    std::uint16_t* out = dst.Row(y);
    for (std::uint32_t x = 0; x < W; ++x, out += 4) std::memcpy(out, in + std::size_t{columns[x]} * 4, 8);
  }
  return 1;
}

int CImageSize::ResizeBilinear(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w, std::int32_t h) {
  if (!CanResize(src, dst, w, h)) return 0;
  const auto W = static_cast<std::uint32_t>(w), H = static_cast<std::uint32_t>(h);
  if (W <= src.width || H <= src.height) return ResizeSupersample(src, dst, w, h);
  return EnlargeBilinearRows(src, W, H, 0, H, dst);
}

int CImageSize::EnlargeBilinearRows(const CBgraImage16& src, std::uint32_t width, std::uint32_t height,
                                    std::uint32_t rowStart, std::uint32_t rowEnd, CBgraImage16& rows) {
  if (src.IsEmpty() || &src == &rows || width <= src.width || height <= src.height || rowStart >= rowEnd ||
      rowEnd > height) {
    return 0;
  }
  // Taps hold 32-bit indices, so no side is limited to 16 bits.
  const auto tap = [](std::uint32_t i, std::uint32_t out, std::uint32_t in) {
    const double s = static_cast<double>(i) * in / out;
    const auto i0 = static_cast<std::uint32_t>(s);
    return i0 < in - 1 ? AxisTap{i0, i0 + 1, static_cast<std::int32_t>((s - i0) * 256.0)}
                       : AxisTap{i0, i0, 0};
  };
  auto columns = AllocWorkArray<AxisTap>(width);
  if (!columns || !rows.Create(width, rowEnd - rowStart)) return 0;
  for (std::uint32_t x = 0; x < width; ++x) columns[x] = tap(x, width, src.width);

  for (std::uint32_t y = rowStart; y < rowEnd; ++y) {
    const AxisTap ty = tap(y, height, src.height);
    const std::uint16_t* r0 = src.Row(ty.i0);
    const std::uint16_t* r1 = src.Row(ty.i1);
    std::uint16_t* out = rows.Row(y - rowStart);
    for (std::uint32_t x = 0; x < width; ++x, out += 4) {
      const AxisTap tx = columns[x];
      const std::uint16_t* a = r0 + std::size_t{tx.i0} * 4;
      const std::uint16_t* b = r0 + std::size_t{tx.i1} * 4;
      const std::uint16_t* c = r1 + std::size_t{tx.i0} * 4;
      const std::uint16_t* d = r1 + std::size_t{tx.i1} * 4;
      for (int ch = 0; ch < 4; ++ch) {
        out[ch] = static_cast<std::uint16_t>(Bilinear(a[ch], b[ch], c[ch], d[ch], tx.f, ty.f));
      }
    }
  }
  return 1;
}

int CImageSize::ResizeSupersample(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w,
                                  std::int32_t h) {
  if (!CanResize(src, dst, w, h)) return 0;
  const auto W = static_cast<std::uint32_t>(w), H = static_cast<std::uint32_t>(h);
  // SampleKernel5x5 with kMean3x3 and step 0.5, its taps worked out once per
  // column and row: the same samples summed in the same order, so the same
  // result, without recomputing nine positions for every pixel.
  const auto tabulate = [](std::uint32_t out, std::uint32_t in) {
    auto taps = AllocWorkArray<AxisTap>(std::uint64_t{out} * 3);
    if (!taps) return taps;
    for (std::uint32_t i = 0; i < out; ++i) {
      for (int k = 0; k < 3; ++k) taps[std::size_t{i} * 3 + k] = MakeTap((i + (k - 1) * 0.5) * in / out, in);
    }
    return taps;
  };
  auto columns = tabulate(W, src.width);
  auto rows = tabulate(H, src.height);
  if (!columns || !rows || !dst.Create(W, H)) return 0;
  for (std::uint32_t y = 0; y < H; ++y) {
    if (y % 40 == 10 && m_rangeLo != -1) {
      ReportRange(y, H);
      if (theAlgorithmThread.IsCancelRequested()) {
        // The rows not computed hold no stale memory.
        std::memset(dst.Row(y), 0, std::size_t{H - y} * dst.Stride() * sizeof(std::uint16_t));
        return 1;
      }
    }
    const AxisTap* ty = &rows[std::size_t{y} * 3];
    std::uint16_t* out = dst.Row(y);
    for (std::uint32_t x = 0; x < W; ++x, out += 4) {
      const AxisTap* tx = &columns[std::size_t{x} * 3];
      double sum[4] = {0, 0, 0, 0};
      for (int j = 0; j < 3; ++j) {
        const std::uint16_t* row0 = src.Row(ty[j].i0);
        const std::uint16_t* row1 = src.Row(ty[j].i1);
        for (int i = 0; i < 3; ++i) {
          const std::uint16_t* a = row0 + std::size_t{tx[i].i0} * 4;
          const std::uint16_t* b = row0 + std::size_t{tx[i].i1} * 4;
          const std::uint16_t* c = row1 + std::size_t{tx[i].i0} * 4;
          const std::uint16_t* d = row1 + std::size_t{tx[i].i1} * 4;
          for (int ch = 0; ch < 4; ++ch)
            sum[ch] += kNinth * Bilinear(a[ch], b[ch], c[ch], d[ch], tx[i].f, ty[j].f);
        }
      }
      for (int ch = 0; ch < 4; ++ch) {
        out[ch] = static_cast<std::uint16_t>(std::clamp(std::trunc(sum[ch] + 0.5), 0.0, 65535.0));
      }
    }
  }
  return 1;
}

int CImageSize::ResizeSeparable(const CBgraImage16& src, CBgraImage16& dst, std::int32_t w, std::int32_t h,
                                float b, float c) {
  if (!CanResize(src, dst, w, h)) return 0;
  // The resize's progress fills this operation's sub-range.
  CSeparableResize resize;
  resize.NestIn(*this, m_rangeLo, m_rangeHi);
  if (!resize.Resize(src, dst, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), b, c)) return 0;
  ReportRange(10, 10);
  return 1;
}

int CImageSize::ResizeDocument(IResizableDocument& document) {
  ResizableDocumentView view;
  if (!document.ViewForResize(view)) return 0;
  const std::int32_t W = m_block.width, H = m_block.height;
  if (std::int64_t{view.width} == W && std::int64_t{view.height} == H) return 1;
  if (W < 1 || H < 1 || view.width == 0 || view.height == 0 || view.layers.empty()) return 0;
  const double a = static_cast<double>(W) / view.width;
  const double b = static_cast<double>(H) / view.height;

  ResizedDocumentParts parts;
  try {
    parts.layers.resize(view.layers.size());
    parts.masks.resize(view.masks.size());
  } catch (const std::bad_alloc&) {
    return 0;
  }

  // The layers share 80 % of the progress (none moves above 80 layers).
  const auto n = static_cast<std::int32_t>(view.layers.size());
  for (std::int32_t i = 0; i < n; ++i) {
    m_rangeLo = i * (80 / n);
    m_rangeHi = (i + 1) * (80 / n);
    const PlacedImageView& layer = view.layers[static_cast<std::size_t>(i)];
    ResizedLayer& resized = parts.layers[static_cast<std::size_t>(i)];
    if (!layer.image || layer.image->IsEmpty()) return 0;
    if (i == 0) {
      if (!ResizeByMethod(*layer.image, resized.image, W, H)) return 0;
      resized.x = layer.x;
      resized.y = layer.y;
    } else {
      if (!ResizeByMethod(*layer.image, resized.image, ScaledSide(layer.image->width, a),
                          ScaledSide(layer.image->height, b))) {
        return 0;
      }
      resized.x = ScaledPosition(layer.x, a);
      resized.y = ScaledPosition(layer.y, b);
    }
    // A cancelled supersampling leaves rows unwritten: give up the lot.
    if (theAlgorithmThread.IsCancelRequested()) return 0;
  }
  parts.width = static_cast<std::uint32_t>(W);
  parts.height = static_cast<std::uint32_t>(H);

  SetProgress(80);
  if (view.selection && !view.selection->IsEmpty() &&
      !view.selection->ResizeTo(parts.selection, static_cast<std::uint32_t>(W),
                                static_cast<std::uint32_t>(H))) {
    return 0;
  }

  SetProgress(90);
  for (std::size_t k = 0; k < view.masks.size(); ++k) {
    const PlacedPlaneView& mask = view.masks[k];
    ResizedMask& resized = parts.masks[k];
    if (mask.plane && !mask.plane->IsEmpty() &&
        !mask.plane->ResizeTo(resized.plane, static_cast<std::uint32_t>(ScaledSide(mask.plane->width, a)),
                              static_cast<std::uint32_t>(ScaledSide(mask.plane->height, b)))) {
      return 0;
    }
    resized.x = ScaledPosition(mask.x, a);
    resized.y = ScaledPosition(mask.y, b);
  }
  return document.TakeResized(parts);
}
