#include "filters/ImageInpainting.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/GaussBlur.h"
#include "algorithms/geometry/ImageSize.h"
#include "image/PixelBlock.h"

namespace {

constexpr std::uint8_t kHoleLevel = 128;  // mask values from here on are filled
constexpr std::int32_t kMinMargin = 2;
constexpr std::int32_t kMaxMargin = 8;
constexpr std::int32_t kSearchReach = 4;  // candidate windows lie within this many patch sizes
constexpr std::int32_t kCoarseFrom = 12;  // patch sizes from here on search a reduced copy first
constexpr std::int32_t kHalfScaleUpTo = 24;
constexpr double kInteriorBlurRadius = 8.0;
constexpr std::uint8_t kSoftEdgeLow = 17;
constexpr std::uint8_t kSoftEdgeHigh = 249;
constexpr std::int32_t kThickLevel = 230;
constexpr std::int32_t kThinnestPatch = 8;
constexpr std::int32_t kThickestRadius = 64;
// Where every search starts: above any score a window can reach, and low
// enough that twice it stays within 64 bits.
constexpr std::int64_t kStartBest = std::numeric_limits<std::int64_t>::max() / 2;

template <typename Vector>
[[nodiscard]] bool ResizeVector(Vector& vector, std::size_t count) {
  try {
    vector.resize(count);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

template <typename Vector>
[[nodiscard]] bool ReserveVector(Vector& vector, std::size_t count) {
  try {
    vector.reserve(count);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// The pixel of a box reduction by s whose block starts at p (s x s pixels,
// stride samples a row): each channel the block's sum divided by s x s.
void BoxAverage(const std::uint16_t* p, std::size_t stride, std::int32_t s, std::uint16_t* out) {
  std::uint32_t sum[4] = {0, 0, 0, 0};
  for (std::int32_t dy = 0; dy < s; ++dy, p += stride) {
    const std::uint16_t* q = p;
    for (std::int32_t dx = 0; dx < s; ++dx, q += 4) {
      for (int k = 0; k < 4; ++k) sum[k] += q[k];
    }
  }
  const auto area = static_cast<std::uint32_t>(s * s);
  for (int k = 0; k < 4; ++k) out[k] = static_cast<std::uint16_t>(sum[k] / area);
}

std::int32_t ColourDistance(const std::uint16_t* p, std::int32_t r, std::int32_t g, std::int32_t b) {
  return (std::abs(p[2] - r) + std::abs(p[1] - g) + std::abs(p[0] - b)) / 100;
}

}  // namespace

int ValidateInpaintingParams(const InpaintingParams& block, const CBgraImage16& source) {
  if (!block.mask || block.mask->IsEmpty() || source.IsEmpty()) return 0;
  if (block.mask->width != source.width || block.mask->height != source.height) return 0;
  return block.patchSize >= 1 && static_cast<std::uint32_t>(block.patchSize) <= kMaxImageSide ? 1 : 0;
}

std::int32_t MeasureMaskThickness(const CPlane8& mask) {
  CPlane8 binary;
  if (mask.IsEmpty() || !binary.CopyFrom(mask)) return kThinnestPatch;
  for (std::uint8_t& v : binary.Samples()) v = v >= kHoleLevel ? 255 : 0;
  CGaussBlur blur;
  CPlane8 blurred;
  // 1 when some pixel keeps kThickLevel at radius, 0 when none, -1 when the
  // blur fails.
  const auto thick = [&](std::int32_t radius) {
    if (!blur.BlurPlane(binary, blurred, radius)) return -1;
    const auto samples = blurred.Samples();
    return std::any_of(samples.begin(), samples.end(), [](std::uint8_t v) { return v >= kThickLevel; }) ? 1
                                                                                                        : 0;
  };
  std::int32_t r = kThinnestPatch;
  do {
    const int found = thick(r);
    if (found < 0) return r;
    if (!found) break;
    r *= 2;
  } while (r < kThickestRadius);
  if (r == kThinnestPatch) return r;
  std::int32_t lo = r / 2, hi = r, t = (lo + hi) / 2;
  for (;;) {
    const int found = thick(t);
    if (found < 0) return t;
    if (found) {
      lo = t;
    } else {
      hi = t;
    }
    t = (lo + hi) / 2;
    if (hi - lo <= 1) return t;
  }
}

int CImageInpainting::Process() {
  if (!m_params || !m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  std::memcpy(&m_block, m_params, sizeof m_block);
  if (!ValidateInpaintingParams(m_block, *m_source)) return 0;
  MeasureMaskBounds();
  const std::int32_t c = m_block.patchSize;
  const std::int64_t W = m_source->width, H = m_source->height;
  m_margin = c / 5;
  if (!m_block.edgePatchesOnly && W * H < 3 * m_maskCount) return 0;

  // A patch, its margin and the grid's overhang reach c / 2 + margin beyond
  // the mask's box; closer to the border the run works on a padded copy.
  const std::int32_t margin = std::clamp(c / 5, kMinMargin, kMaxMargin);
  const std::int32_t reach = c / 2 + std::max(c / 5, margin);
  if (m_maskCount > 0 &&
      (m_maskLeft < reach || m_maskRight > W - reach || m_maskTop < reach || m_maskBottom > H - reach)) {
    if (m_mirror) return 0;  // a padded copy is always wide enough
    return RunPadded(std::max(c, reach));
  }

  SetProgress(1);
  m_margin = margin;
  std::int64_t accumulator = 0;
  if (m_block.softenMask) {
    CGaussBlur blur;
    CPlane8 soft;
    if (!blur.BlurPlane(*m_block.mask, soft, m_margin * 0.25)) return 0;
    std::memcpy(m_block.mask->pixels, soft.pixels, soft.byteSize);
  }
  if (!BuildKnownAndBand()) return 0;
  SetProgress(3);
  if (!m_target->CopyFrom(*m_source)) return 0;
  SetProgress(4);
  if (!PrepareCoarseImage() || !BuildPatchGrid()) return 0;
  SetProgress(5);

  std::int32_t current = SelectNextPatch(true);
  if (m_block.edgePatchesOnly && !MarkInteriorPatches()) return 0;
  const auto patchCount = static_cast<std::int64_t>(m_patches.size());
  while (current >= 0) {
    InpaintPatch& patch = m_patches[static_cast<std::size_t>(current)];
    if (!FillPatch(patch)) {
      if (!m_block.edgePatchesOnly) return 0;
      patch.skipped = 1;
    }
    patch.done = 1;
    accumulator += 95;
    SetProgress(static_cast<std::int32_t>(accumulator / patchCount + 5));
    if (theAlgorithmThread.IsCancelRequested()) return 1;
    current = SelectNextPatch(false);
    if (current < 0) current = SelectNextPatch(true);
  }
  return 1;
}

void CImageInpainting::MeasureMaskBounds() {
  const CPlane8& mask = *m_block.mask;
  const auto W = static_cast<std::int32_t>(mask.width), H = static_cast<std::int32_t>(mask.height);
  m_maskLeft = W;
  m_maskTop = H;
  m_maskRight = 0;
  m_maskBottom = 0;
  m_maskCount = 0;
  for (std::int32_t y = 0; y < H; ++y) {
    const std::uint8_t* row = mask.Row(static_cast<std::uint32_t>(y));
    std::int32_t first = -1, last = -1;
    for (std::int32_t x = 0; x < W; ++x) {
      if (!row[x]) continue;
      if (first < 0) first = x;
      last = x;
      ++m_maskCount;
    }
    if (first < 0) continue;
    m_maskLeft = std::min(m_maskLeft, first);
    m_maskRight = std::max(m_maskRight, last);
    m_maskTop = std::min(m_maskTop, y);
    m_maskBottom = y;
  }
}

int CImageInpainting::RunPadded(std::int32_t pad) {
  CBgraImage16 image;
  CPlane8 mask;
  PaddingMirror mirror;
  if (!PadSourceAndMask(pad, image, mask, mirror)) return 0;
  SetProgress(10);
  CImageInpainting padded;
  padded.NestIn(*this, 10, 100);
  InpaintingParams block = m_block;
  block.mask = &mask;
  CBgraImage16 result;
  padded.m_source = &image;
  padded.m_target = &result;
  padded.m_params = &block;
  padded.m_mirror = &mirror;
  if (!padded.Process()) return 0;
  if (!m_target->CopyFrom(*m_source)) return 0;
  const std::size_t rowBytes = m_source->Stride() * sizeof(std::uint16_t);
  const auto p = static_cast<std::uint32_t>(pad);
  for (std::uint32_t y = 0; y < m_source->height; ++y)
    std::memcpy(m_target->Row(y), result.At(p, p + y), rowBytes);
  return 1;
}

namespace {

// The images of every index of 0..n - 1 among the padded indices 0..n + 2 pad - 1.
[[nodiscard]] bool MirrorImages(std::int64_t n, std::int32_t pad, std::vector<std::int32_t>& first,
                                std::vector<std::int32_t>& images) {
  const std::int64_t padded = n + 2 * std::int64_t{pad};
  if (!ResizeVector(first, static_cast<std::size_t>(n + 1)) ||
      !ResizeVector(images, static_cast<std::size_t>(padded))) {
    return false;
  }
  std::fill(first.begin(), first.end(), 0);
  for (std::int64_t i = 0; i < padded; ++i)
    ++first[static_cast<std::size_t>(EdgeSourceRow(i - pad, n, kEdgeMirror) + 1)];
  for (std::size_t i = 1; i < first.size(); ++i) first[i] += first[i - 1];
  std::vector<std::int32_t> next(first.begin(), first.end() - 1);
  for (std::int64_t i = 0; i < padded; ++i) {
    const auto source = static_cast<std::size_t>(EdgeSourceRow(i - pad, n, kEdgeMirror));
    images[static_cast<std::size_t>(next[source]++)] = static_cast<std::int32_t>(i);
  }
  return true;
}

}  // namespace

int CImageInpainting::PadSourceAndMask(std::int32_t pad, CBgraImage16& image, CPlane8& mask,
                                       PaddingMirror& mirror) const {
  const CPlane8& sourceMask = *m_block.mask;
  const std::int64_t W = m_source->width, H = m_source->height;
  const std::int64_t W2 = W + 2 * std::int64_t{pad}, H2 = H + 2 * std::int64_t{pad};
  if (W2 > kMaxImageSide || H2 > kMaxImageSide) return 0;
  const auto w2 = static_cast<std::uint32_t>(W2), h2 = static_cast<std::uint32_t>(H2);
  if (!image.Create(w2, h2) || !mask.Create(w2, h2)) return 0;
  try {
    if (!MirrorImages(W, pad, mirror.columnFirst, mirror.columns) ||
        !MirrorImages(H, pad, mirror.rowFirst, mirror.rows)) {
      return 0;
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
  mirror.pad = pad;
  std::memset(mask.pixels, 0, mask.byteSize);
  const auto p = static_cast<std::uint32_t>(pad);
  for (std::uint32_t y = 0; y < h2; ++y) {
    const auto sy = static_cast<std::uint32_t>(EdgeSourceRow(std::int64_t{y} - pad, H, kEdgeMirror));
    const std::uint16_t* in = m_source->Row(sy);
    std::uint16_t* out = image.Row(y);
    for (std::uint32_t x = 0; x < w2; ++x, out += 4) {
      const auto sx = static_cast<std::uint32_t>(EdgeSourceRow(std::int64_t{x} - pad, W, kEdgeMirror));
      std::memcpy(out, in + std::size_t{sx} * 4, 4 * sizeof(std::uint16_t));
    }
    if (y >= p && y < p + H) std::memcpy(mask.Row(y) + p, sourceMask.Row(y - p), W);
  }
  return 1;
}

void CImageInpainting::MirrorPixel(std::int32_t x, std::int32_t y, Rect& written) {
  const std::int32_t p = m_mirror->pad;
  // A softened mask reaches into the padding, which mirrors nothing.
  if (x < p || y < p) return;
  const auto cx = static_cast<std::size_t>(x - p), cy = static_cast<std::size_t>(y - p);
  if (cx + 1 >= m_mirror->columnFirst.size() || cy + 1 >= m_mirror->rowFirst.size()) return;
  const std::int32_t* columns = m_mirror->columns.data();
  const std::int32_t* rows = m_mirror->rows.data();
  const std::int32_t c0 = m_mirror->columnFirst[cx], c1 = m_mirror->columnFirst[cx + 1];
  const std::int32_t r0 = m_mirror->rowFirst[cy], r1 = m_mirror->rowFirst[cy + 1];
  if (c1 - c0 == 1 && r1 - r0 == 1) return;  // far from the border
  const auto ux = static_cast<std::uint32_t>(x), uy = static_cast<std::uint32_t>(y);
  const std::uint16_t* pixel = m_target->At(ux, uy);
  const std::uint8_t known = m_known.Row(uy)[ux], band = m_band.Row(uy)[ux];
  for (std::int32_t r = r0; r < r1; ++r) {
    const auto my = static_cast<std::uint32_t>(rows[r]);
    for (std::int32_t c = c0; c < c1; ++c) {
      const auto mx = static_cast<std::uint32_t>(columns[c]);
      if (mx == ux && my == uy) continue;
      std::memcpy(m_target->At(mx, my), pixel, 4 * sizeof(std::uint16_t));
      m_known.Row(my)[mx] = known;
      m_band.Row(my)[mx] = band;
      written.left = std::min(written.left, columns[c]);
      written.right = std::max(written.right, columns[c] + 1);
      written.top = std::min(written.top, rows[r]);
      written.bottom = std::max(written.bottom, rows[r] + 1);
    }
  }
}

int CImageInpainting::BuildKnownAndBand() {
  const CPlane8& mask = *m_block.mask;
  const std::uint32_t W = mask.width, H = mask.height;
  if (!m_known.Create(W, H) || !m_hole.Create(W, H)) return 0;
  const std::size_t n = std::size_t{W} * H;
  for (std::size_t i = 0; i < n; ++i) {
    const bool hole = mask.pixels[i] >= kHoleLevel;
    m_known.pixels[i] = hole ? 0 : 255;
    m_hole.pixels[i] = hole ? 255 : 0;
  }
  if (m_mirror) {
    // Padding that mirrors a pixel still to be filled is not known either.
    const std::int64_t p = m_mirror->pad, w = W - 2 * p, h = H - 2 * p;
    for (std::uint32_t y = 0; y < H; ++y) {
      const std::int64_t sy = EdgeSourceRow(std::int64_t{y} - p, h, kEdgeMirror) + p;
      const bool paddingRow = y < p || y >= p + h;
      for (std::uint32_t x = 0; x < W; ++x) {
        if (!paddingRow && x >= p && x < p + w) continue;
        const std::int64_t sx = EdgeSourceRow(std::int64_t{x} - p, w, kEdgeMirror) + p;
        if (mask.Row(static_cast<std::uint32_t>(sy))[sx] >= kHoleLevel) m_known.Row(y)[x] = 0;
      }
    }
  }
  CGaussBlur blur;
  if (!blur.BlurPlane(m_hole, m_band, m_margin / 1.3)) return 0;
  for (std::size_t i = 0; i < n; ++i) {
    m_band.pixels[i] = m_known.pixels[i] && m_band.pixels[i] ? 255 : 0;
  }
  return 1;
}

int CImageInpainting::PrepareCoarseImage() {
  const std::int32_t c = m_block.patchSize;
  const std::uint32_t W = m_target->width, H = m_target->height;
  m_coarseScale = c < kCoarseFrom ? 1 : c <= kHalfScaleUpTo ? 2 : 3;
  const auto s = static_cast<std::uint32_t>(m_coarseScale);
  if (W / s == 0 || H / s == 0) m_coarseScale = 1;
  if (m_coarseScale == 1) return 1;
  if (!m_coarseImage.Create(W / s, H / s)) return 0;
  UpdateCoarseImage(0, 0, static_cast<std::int32_t>(W), static_cast<std::int32_t>(H));
  return 1;
}

void CImageInpainting::UpdateCoarseImage(std::int32_t left, std::int32_t top, std::int32_t right,
                                         std::int32_t bottom) {
  const std::int32_t s = m_coarseScale;
  const auto cw = static_cast<std::int32_t>(m_coarseImage.width);
  const auto ch = static_cast<std::int32_t>(m_coarseImage.height);
  for (std::int32_t cy = std::max(0, top / s - 1); cy < std::min(ch, bottom / s + 2); ++cy) {
    for (std::int32_t cx = std::max(0, left / s - 1); cx < std::min(cw, right / s + 2); ++cx) {
      BoxAverage(m_target->At(static_cast<std::uint32_t>(cx * s), static_cast<std::uint32_t>(cy * s)),
                 m_target->Stride(), s,
                 m_coarseImage.At(static_cast<std::uint32_t>(cx), static_cast<std::uint32_t>(cy)));
    }
  }
}

int CImageInpainting::BuildPatchGrid() {
  const std::int64_t c = m_block.patchSize, m = m_margin;
  const std::int64_t spanX = std::int64_t{m_maskRight} - m_maskLeft;
  const std::int64_t spanY = std::int64_t{m_maskBottom} - m_maskTop;
  const std::int64_t columns = std::max<std::int64_t>((c - 1 + spanX) / c, 0);
  const std::int64_t rows = std::max<std::int64_t>((c - 1 + spanY) / c, 0);
  m_gridColumns = static_cast<std::int32_t>(columns);
  m_gridRows = static_cast<std::int32_t>(rows);
  m_patches.clear();
  if (!ReserveVector(m_patches, static_cast<std::size_t>(columns * rows))) return 0;
  const std::int64_t x0 = m_maskLeft - (c * columns - spanX) / 2;
  const std::int64_t y0 = m_maskTop - (c * rows - spanY) / 2;
  for (std::int64_t i = 0; i < rows; ++i) {
    for (std::int64_t j = 0; j < columns; ++j) {
      InpaintPatch patch;
      patch.left = static_cast<std::int32_t>(x0 + j * c);
      patch.top = static_cast<std::int32_t>(y0 + i * c);
      patch.right = static_cast<std::int32_t>(patch.left + c);
      patch.bottom = static_cast<std::int32_t>(patch.top + c);
      m_patches.push_back(patch);
    }
  }

  const std::int64_t P = c + 2 * m;
  const auto side = static_cast<std::uint32_t>(P);
  if (!m_template.Create(side, side) || !m_feather.Create(side, side)) return 0;
  if (!ReserveVector(m_samples, static_cast<std::size_t>(P * P)) ||
      !ReserveVector(m_coarseSamples, static_cast<std::size_t>(P * P))) {
    return 0;
  }
  // The left ramp starts at 0, the right one ends at 255 / m.
  const auto ramp = [&](std::int64_t t) -> std::int64_t {
    if (t < m) return t * 255 / m;
    if (t > c + m) return (P - t) * 255 / m;
    return 255;
  };
  for (std::int64_t i = 0; i < P; ++i) {
    std::uint8_t* row = m_feather.Row(static_cast<std::uint32_t>(i));
    for (std::int64_t j = 0; j < P; ++j) row[j] = static_cast<std::uint8_t>(ramp(i) * ramp(j) / 255);
  }
  return 1;
}

std::int32_t CImageInpainting::SelectNextPatch(bool recount) {
  const std::int32_t m = m_margin;
  std::int32_t best = -1, bestCount = 0;
  for (std::size_t k = 0; k < m_patches.size(); ++k) {
    InpaintPatch& patch = m_patches[k];
    if (patch.done || patch.skipped) continue;
    if (recount) {
      std::int32_t count = 0;
      bool unknown = false;
      for (std::int32_t y = patch.top - m; y < patch.bottom + m; ++y) {
        const std::uint8_t* band = m_band.Row(static_cast<std::uint32_t>(y));
        const std::uint8_t* known = m_known.Row(static_cast<std::uint32_t>(y));
        for (std::int32_t x = patch.left - m; x < patch.right + m; ++x) {
          count += band[x] == 255;
          unknown = unknown || known[x] == 0;
        }
      }
      if (!unknown) {
        patch.done = 1;
        patch.bandCount = 0;
        continue;
      }
      patch.bandCount = count;
    }
    if (patch.bandCount > bestCount) {
      best = static_cast<std::int32_t>(k);
      bestCount = patch.bandCount;
    }
  }
  return bestCount > 0 ? best : -1;
}

int CImageInpainting::MarkInteriorPatches() {
  CGaussBlur blur;
  CPlane8 soft;
  if (!blur.BlurPlane(*m_block.mask, soft, kInteriorBlurRadius)) return 0;
  for (InpaintPatch& patch : m_patches) {
    if (patch.done || patch.skipped) continue;
    bool onEdge = false;
    for (std::int32_t y = patch.top; y < patch.bottom && !onEdge; ++y) {
      const std::uint8_t* row = soft.Row(static_cast<std::uint32_t>(y));
      for (std::int32_t x = patch.left; x < patch.right; ++x) {
        if (row[x] >= kSoftEdgeLow && row[x] <= kSoftEdgeHigh) {
          onEdge = true;
          break;
        }
      }
    }
    if (!onEdge) patch.skipped = 1;
  }
  return 1;
}

int CImageInpainting::FillPatch(const InpaintPatch& patch) {
  if (!CapturePatchTemplate(patch)) return 0;
  const std::int64_t c = m_block.patchSize, s = m_coarseScale;
  const std::int64_t P = c + 2 * std::int64_t{m_margin};
  const std::int64_t W = m_target->width, H = m_target->height;
  const std::int64_t xs = std::max<std::int64_t>(0, patch.left - kSearchReach * c);
  const std::int64_t xe = std::min<std::int64_t>(patch.right + kSearchReach * c, W) - P;
  const std::int64_t ys = std::max<std::int64_t>(0, patch.top - kSearchReach * c);
  const std::int64_t ye = std::min<std::int64_t>(patch.bottom + kSearchReach * c, H) - P;
  if (ys >= ye || xs >= xe) return 0;
  // Every window of the search and of the refinement around its result.
  CountUnknown(static_cast<std::int32_t>(std::max<std::int64_t>(0, xs - s)),
               static_cast<std::int32_t>(std::max<std::int64_t>(0, ys - s)),
               static_cast<std::int32_t>(std::min(W, xe + s + P)),
               static_cast<std::int32_t>(std::min(H, ye + s + P)));

  // The first minimum in scan order wins; a score of 0 is a perfect match.
  std::int64_t best = kStartBest;
  std::int64_t bx = -1, by = -1;
  for (std::int64_t y = ys; y < ye; y += s) {
    for (std::int64_t x = xs; x < xe; x += s) {
      const auto cx = static_cast<std::int32_t>(x), cy = static_cast<std::int32_t>(y);
      const std::int64_t score = s == 1 ? PatchDistance(cx, cy, best) : CoarseDistance(cx, cy, best);
      if (score != kNoCandidate && score < best) {
        best = score;
        bx = x;
        by = y;
      }
    }
  }
  if (bx < 0) return 0;

  best = kStartBest;
  std::int64_t fx = bx, fy = by;
  for (std::int64_t y = std::max<std::int64_t>(0, by - s); y < std::min(by + s + 1, H - P); ++y) {
    for (std::int64_t x = std::max<std::int64_t>(0, bx - s); x < std::min(bx + s + 1, W - P); ++x) {
      const std::int64_t score =
          PatchDistance(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), best);
      if (score != kNoCandidate && score < best) {
        best = score;
        fx = x;
        fy = y;
      }
    }
  }
  PastePatch(patch, static_cast<std::int32_t>(fx), static_cast<std::int32_t>(fy));
  return 1;
}

int CImageInpainting::CapturePatchTemplate(const InpaintPatch& patch) {
  const std::uint32_t P = m_template.width;
  const auto wx = static_cast<std::uint32_t>(patch.left - m_margin);
  const auto wy = static_cast<std::uint32_t>(patch.top - m_margin);
  const auto W = static_cast<std::ptrdiff_t>(m_target->width);
  m_samples.clear();
  for (std::uint32_t i = 0; i < P; ++i) {
    std::memcpy(m_template.Row(i), m_target->At(wx, wy + i), std::size_t{P} * 4 * sizeof(std::uint16_t));
    const std::uint8_t* band = m_band.Row(wy + i) + wx;
    std::uint16_t* t = m_template.Row(i);
    for (std::uint32_t j = 0; j < P; ++j, t += 4) {
      if (band[j] == 255) {
        t[3] = 255;
        m_samples.push_back({(static_cast<std::ptrdiff_t>(i) * W + j) * 4, t[2], t[1], t[0]});
      } else {
        t[3] = 0;
      }
    }
  }
  if (m_coarseScale == 1) return 1;

  const auto small = static_cast<std::int32_t>(P / static_cast<std::uint32_t>(m_coarseScale));
  CImageSize resize;
  resize.m_rangeLo = -1;  // no progress and no cancel test inside
  if (!resize.ResizeBilinear(m_template, m_coarseTemplate, small, small)) return 0;
  const auto cw = static_cast<std::ptrdiff_t>(m_coarseImage.width);
  m_coarseSamples.clear();
  for (std::uint32_t i = 0; i < m_coarseTemplate.height; ++i) {
    const std::uint16_t* t = m_coarseTemplate.Row(i);
    for (std::uint32_t j = 0; j < m_coarseTemplate.width; ++j, t += 4) {
      if (t[3] == 255)
        m_coarseSamples.push_back({(static_cast<std::ptrdiff_t>(i) * cw + j) * 4, t[2], t[1], t[0]});
    }
  }
  return 1;
}

void CImageInpainting::CountUnknown(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
  m_countX0 = x0;
  m_countY0 = y0;
  m_countWidth = std::max(x1 - x0, 0);
  m_countHeight = std::max(y1 - y0, 0);
  const std::size_t stride = static_cast<std::size_t>(m_countWidth) + 1;
  if (!ResizeVector(m_unknownSums, stride * (static_cast<std::size_t>(m_countHeight) + 1))) {
    m_countWidth = m_countHeight = 0;  // windows are then checked pixel by pixel
    return;
  }
  std::fill_n(m_unknownSums.begin(), stride, 0);
  for (std::int32_t y = 0; y < m_countHeight; ++y) {
    const std::uint8_t* known = m_known.Row(static_cast<std::uint32_t>(y0 + y)) + x0;
    std::int32_t* above = &m_unknownSums[static_cast<std::size_t>(y) * stride];
    std::int32_t* row = above + stride;
    row[0] = 0;
    std::int32_t run = 0;
    for (std::int32_t x = 0; x < m_countWidth; ++x) {
      run += known[x] == 0;
      row[x + 1] = above[x + 1] + run;
    }
  }
}

bool CImageInpainting::WindowKnown(std::int32_t x, std::int32_t y) const {
  const auto P = static_cast<std::int32_t>(m_template.width);
  const std::int32_t ax = x - m_countX0, ay = y - m_countY0;
  if (ax >= 0 && ay >= 0 && ax + P <= m_countWidth && ay + P <= m_countHeight) {
    const std::size_t stride = static_cast<std::size_t>(m_countWidth) + 1;
    const std::int32_t* top = &m_unknownSums[static_cast<std::size_t>(ay) * stride];
    const std::int32_t* bottom = top + static_cast<std::size_t>(P) * stride;
    return bottom[ax + P] - bottom[ax] - top[ax + P] + top[ax] == 0;
  }
  for (std::int32_t i = 0; i < P; ++i) {
    const std::uint8_t* known = m_known.Row(static_cast<std::uint32_t>(y + i)) + x;
    if (std::find(known, known + P, 0) != known + P) return false;
  }
  return true;
}

std::int64_t CImageInpainting::PatchDistance(std::int32_t x, std::int32_t y, std::int64_t best) const {
  if (!WindowKnown(x, y)) return kNoCandidate;
  const std::uint16_t* base = m_target->At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
  std::int64_t sum = 0;
  for (const Sample& s : m_samples) {
    sum += ColourDistance(base + s.offset, s.r, s.g, s.b);
    if (sum > best) return 2 * best;
  }
  return sum;
}

std::int64_t CImageInpainting::CoarseDistance(std::int32_t x, std::int32_t y, std::int64_t best) const {
  if (!WindowKnown(x, y)) return kNoCandidate;
  const auto s = static_cast<std::uint32_t>(m_coarseScale);
  const std::uint16_t* base =
      m_coarseImage.At(static_cast<std::uint32_t>(x) / s, static_cast<std::uint32_t>(y) / s);
  std::int64_t sum = 0;
  for (const Sample& sample : m_coarseSamples) {
    sum += ColourDistance(base + sample.offset, sample.r, sample.g, sample.b);
    if (sum > best) return 2 * best;
  }
  return sum;
}

void CImageInpainting::PastePatch(const InpaintPatch& patch, std::int32_t bx, std::int32_t by) {
  const std::uint32_t P = m_template.width;
  const auto wx = static_cast<std::uint32_t>(patch.left - m_margin);
  const auto wy = static_cast<std::uint32_t>(patch.top - m_margin);
  const CPlane8& mask = *m_block.mask;
  for (std::uint32_t i = 0; i < P; ++i) {
    const std::uint8_t* feather = m_feather.Row(i);
    const std::uint8_t* u = mask.Row(wy + i) + wx;
    std::uint8_t* known = m_known.Row(wy + i) + wx;
    std::uint8_t* band = m_band.Row(wy + i) + wx;
    std::uint16_t* dst = m_target->At(wx, wy + i);
    const std::uint16_t* src =
        m_target->At(static_cast<std::uint32_t>(bx), static_cast<std::uint32_t>(by) + i);
    for (std::uint32_t j = 0; j < P; ++j, dst += 4, src += 4) {
      if (!u[j]) continue;
      const std::uint32_t w = std::uint32_t{feather[j]} * u[j] / 255;
      if (!w) continue;
      for (int k = 0; k < 3; ++k)
        dst[k] = static_cast<std::uint16_t>((src[k] * w + dst[k] * (255 - w)) / 255);
      // A pixel still to be filled that only the feathered rim reached keeps
      // part of what the hole held: it stays unknown until a patch's full
      // weight reaches it, so it is neither compared nor copied.
      if (known[j] || feather[j] == 255) {
        known[j] = 255;
        band[j] = 255;
      }
    }
  }
  if (m_coarseScale > 1) UpdateCoarseImage(patch.left, patch.top, patch.right, patch.bottom);
  if (!m_mirror) return;
  Rect mirrored{std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max(), 0, 0};
  for (std::uint32_t i = 0; i < P; ++i) {
    const std::uint8_t* u = mask.Row(wy + i) + wx;
    for (std::uint32_t j = 0; j < P; ++j) {
      if (u[j]) MirrorPixel(static_cast<std::int32_t>(wx + j), static_cast<std::int32_t>(wy + i), mirrored);
    }
  }
  if (m_coarseScale > 1 && !mirrored.IsEmpty()) {
    UpdateCoarseImage(mirrored.left, mirrored.top, mirrored.right, mirrored.bottom);
  }
}
