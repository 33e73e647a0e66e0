#include "filters/PurpleFringe.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/ChannelOP.h"
#include "algorithms/GaussBlur.h"
#include "image/ColorModel.h"
#include "image/ColorTables.h"
#include "image/PixelBlock.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::int32_t kFringeGrow = 2;
constexpr double kFringeBlur = 2.0;
constexpr std::int32_t kHueNear = 4000;
constexpr std::int32_t kHueFar = 8000;
constexpr std::uint32_t kCancelRows = 200;

// The larger of |left column - right column| and |top row - bottom row| of
// the 3 x 3 sums around the interior pixel (x, y) of grey.
std::int32_t EdgeStrength(const CPlane8& grey, std::uint32_t x, std::uint32_t y) {
  const std::uint8_t* up = grey.Row(y - 1) + x;
  const std::uint8_t* mid = grey.Row(y) + x;
  const std::uint8_t* down = grey.Row(y + 1) + x;
  const std::int32_t left = up[-1] + mid[-1] + down[-1], right = up[1] + mid[1] + down[1];
  const std::int32_t top = up[-1] + up[0] + up[1], bottom = down[-1] + down[0] + down[1];
  return std::max(std::abs(left - right), std::abs(top - bottom));
}

// An edge plane of grey's size, 0 on the border, each interior value the
// edge strength times 2 / 5 when reduced is set, held to 255.
int MakeEdgePlane(const CPlane8& grey, CPlane8& edge, bool reduced) {
  if (!edge.Create(grey.width, grey.height)) return 0;
  std::memset(edge.pixels, 0, edge.byteSize);
  for (std::uint32_t y = 1; y + 1 < grey.height; ++y) {
    std::uint8_t* out = edge.Row(y);
    for (std::uint32_t x = 1; x + 1 < grey.width; ++x) {
      const std::int32_t e = EdgeStrength(grey, x, y);
      out[x] = static_cast<std::uint8_t>(std::min(reduced ? 2 * e / 5 : e, 255));
    }
  }
  return 1;
}

}  // namespace

void ValidatePurpleFringeParams(PurpleFringeParams& block) {
  block.redScale = std::clamp(block.redScale, -PurpleFringeParams::kMaxScale, PurpleFringeParams::kMaxScale);
  block.blueScale =
      std::clamp(block.blueScale, -PurpleFringeParams::kMaxScale, PurpleFringeParams::kMaxScale);
}

std::array<std::uint8_t, sizeof(PurpleFringeParams)> PurpleFringeParamsToBytes(
    const PurpleFringeParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.Zeros(sizeof block.spare);
  w.I32(block.mode);
  w.I32(block.redScale);
  w.I32(block.blueScale);
  for (const std::uint16_t channel : block.fringeColour) w.U16(channel);
  std::array<std::uint8_t, sizeof(PurpleFringeParams)> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int PurpleFringeParamsFromBytes(std::span<const std::uint8_t> bytes, PurpleFringeParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), sizeof(PurpleFringeParams));
  if (bytes.size() < stored) return 0;
  std::array<std::uint8_t, sizeof(PurpleFringeParams)> full = PurpleFringeParamsToBytes({});
  std::copy_n(bytes.begin(), stored, full.begin());
  ByteReader r(full);
  PurpleFringeParams read;
  r.U16();
  r.Skip(sizeof read.spare);
  read.mode = r.I32();
  read.redScale = r.I32();
  read.blueScale = r.I32();
  for (std::uint16_t& channel : read.fringeColour) channel = r.U16();
  ValidatePurpleFringeParams(read);
  block = read;
  return 1;
}

void CPurpleFringe::BuildHueWeights(const std::array<std::uint16_t, 4>& fringeColour,
                                    std::span<std::uint8_t, 65536> weights) {
  std::uint16_t pixel[4] = {fringeColour[0], fringeColour[1], fringeColour[2], fringeColour[3]};
  RgbToHsl16(pixel, 1);
  const std::int32_t hue = pixel[2];
  const auto distance = [](std::int32_t a, std::int32_t b) {
    const std::int32_t d = ((a - b) % 65536 + 65536) % 65536;
    return std::min(d, 65536 - d);
  };
  for (std::int32_t i = 0; i < 65536; ++i) {
    const std::int32_t t = std::min(distance(i, hue), distance(i, hue + 0x8000));
    std::int32_t weight = 0;
    if (t < kHueNear) {
      weight = 255;
    } else if (t < kHueFar) {
      weight = (kHueFar - t) * 255 / (kHueFar - kHueNear);
    }
    weights[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(weight);
  }
}

int CPurpleFringe::BuildFringeMask(int& cancelled) {
  cancelled = 0;
  if (!m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  const CBgraImage16& source = *m_source;
  CPlane8 edge;
  {
    CPlane8 grey;
    if (!source.ToGrayPlane(grey) || !MakeEdgePlane(grey, edge, false)) return 0;
  }
  if (!m_fringe.Create(source.width, source.height)) return 0;
  SetProgress(5);
  if (theAlgorithmThread.IsCancelRequested()) {
    cancelled = 1;
    return 1;
  }
  {
    CPlane8 grown;
    CChannelOP op;
    if (!op.DilateMask(edge, grown, kFringeGrow)) return 0;
    SetProgress(10);
    CGaussBlur blur;
    if (!blur.BlurPlane(grown, edge, kFringeBlur)) return 0;
  }
  SetProgress(15);
  if (theAlgorithmThread.IsCancelRequested()) {
    cancelled = 1;
    return 1;
  }
  auto weights = AllocWorkArray<std::uint8_t>(65536);
  if (!weights) return 0;
  BuildHueWeights(m_block.fringeColour, std::span<std::uint8_t, 65536>(weights.get(), 65536));

  CBgraImage16& target = *m_target;
  if (!target.CopyFrom(source)) return 0;
  RgbToHsl16(target.pixels, target.pixelCount);
  SetProgress(20);
  const std::uint16_t* hsl = target.pixels;
  for (std::uint32_t i = 0; i < target.pixelCount; ++i, hsl += 4) {
    m_fringe.pixels[i] = static_cast<std::uint8_t>(edge.pixels[i] * weights[hsl[2]] / 255);
  }
  return 1;
}

int CPurpleFringe::Process() {
  if (!m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  if (!ReadParamBlock(m_block)) return 0;
  ValidatePurpleFringeParams(m_block);
  BuildGammaTables();
  const CBgraImage16& source = *m_source;
  CBgraImage16& target = *m_target;

  if (m_block.mode != 0) {
    if (!target.CopyFrom(source)) return 0;
    ScaleChannelsRadially();
    return DesaturateEdges();
  }

  try {
    m_rowsBack.assign(source.height, 0);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  int cancelled = 0;
  if (!BuildFringeMask(cancelled)) return 0;
  if (cancelled) return 1;
  SetProgress(30);
  const int done = RunRowPass(30, 100);
  // Rows no stripe turned back (skipped by a cancel, or of a failed stripe)
  // take the source's colours.
  const std::size_t rowBytes = target.Stride() * sizeof(std::uint16_t);
  for (std::uint32_t y = 0; y < source.height; ++y) {
    if (!m_rowsBack[y]) std::memcpy(target.Row(y), source.Row(y), rowBytes);
  }
  return done;
}

int CPurpleFringe::ProcessStripe(StripeTask* task) {
  if (m_block.mode != 0) return 1;
  if (!task || !m_target || m_fringe.IsEmpty()) return 0;
  CBgraImage16& target = *m_target;
  if (m_fringe.width != target.width || m_fringe.height != target.height ||
      m_rowsBack.size() != target.height) {
    return 0;
  }
  std::uint32_t first = 0, end = 0;
  OwnRows(*task, target.height, first, end);
  for (std::uint32_t y = first; y < end; ++y) {
    std::uint16_t* p = target.Row(y);
    const std::uint8_t* fringe = m_fringe.Row(y);
    for (std::uint32_t x = 0; x < target.width; ++x, p += 4) {
      p[1] = static_cast<std::uint16_t>(std::uint32_t{p[1]} * (255u - fringe[x]) / 255u);
    }
    HslToRgb16(target.Row(y), target.width);
    m_rowsBack[y] = 1;
  }
  return 1;
}

void CPurpleFringe::ScaleChannelsRadially() {
  if (!m_source || !m_target || m_source->IsEmpty()) return;
  const CBgraImage16& source = *m_source;
  CBgraImage16& target = *m_target;
  if (target.width != source.width || target.height != source.height) return;
  const std::int64_t w = source.width, h = source.height;
  const double cx = static_cast<double>(w) / 2, cy = static_cast<double>(h) / 2;
  const double diagonal = std::sqrt(static_cast<double>(w * w + h * h));
  struct Pass {
    std::int32_t scale;
    std::size_t channel;
    std::int32_t progress;
  };
  constexpr std::int32_t kMax = PurpleFringeParams::kMaxScale;
  const Pass passes[2] = {{std::clamp(m_block.redScale, -kMax, kMax), 2, 0},
                          {std::clamp(m_block.blueScale, -kMax, kMax), 0, 40}};
  const auto clampX = [w](std::int64_t x) {
    return static_cast<std::size_t>(std::clamp<std::int64_t>(x, 0, w - 1));
  };
  const auto clampY = [h](std::int64_t y) {
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(y, 0, h - 1));
  };
  for (const Pass& pass : passes) {
    if (pass.scale == 0) continue;
    const double d = pass.scale / 10000.0;
    const std::size_t ch = pass.channel;
    for (std::int64_t y = 0; y < h; ++y) {
      if (y % kCancelRows == 0) {
        // A cancel ends this pass and skips the ones after it.
        if (theAlgorithmThread.IsCancelRequested()) return;
        SetProgress(static_cast<std::int32_t>(pass.progress + 40 * y / h));
      }
      const double v = (static_cast<double>(y) - cy) / diagonal;
      std::uint16_t* out = target.Row(static_cast<std::uint32_t>(y));
      for (std::int64_t x = 0; x < w; ++x, out += 4) {
        const double u = (static_cast<double>(x) - cx) / diagonal;
        const double stretch = 1 + d * std::pow(u * u + v * v, 0.3);
        const double sx = (static_cast<double>(x) - cx) * stretch + cx;
        const double sy = (static_cast<double>(y) - cy) * stretch + cy;
        const auto x0 = static_cast<std::int64_t>(sx), y0 = static_cast<std::int64_t>(sy);
        const std::int64_t x1 = sx >= 0 ? x0 + 1 : x0 - 1, y1 = sy >= 0 ? y0 + 1 : y0 - 1;
        const auto j = static_cast<std::uint32_t>(256 * std::fabs(sx - static_cast<double>(x0)));
        const auto k = static_cast<std::uint32_t>(256 * std::fabs(sy - static_cast<double>(y0)));
        const std::uint16_t* row0 = source.Row(clampY(y0));
        const std::uint16_t* row1 = source.Row(clampY(y1));
        const std::size_t c0 = clampX(x0) * 4 + ch, c1 = clampX(x1) * 4 + ch;
        const std::uint32_t top = (row0[c1] * j + row0[c0] * (256 - j)) >> 8;
        const std::uint32_t bottom = (row1[c0] * (256 - j) + row1[c1] * j) >> 8;
        out[ch] = static_cast<std::uint16_t>(((256 - k) * top + k * bottom) >> 8);
      }
    }
  }
}

int CPurpleFringe::DesaturateEdges() {
  if (!m_source || !m_target || m_source->IsEmpty()) return 0;
  const CBgraImage16& source = *m_source;
  CBgraImage16& target = *m_target;
  if (target.width != source.width || target.height != source.height) return 0;
  CPlane8 edge;
  {
    CPlane8 grey;
    if (!source.ToGrayPlane(grey) || !MakeEdgePlane(grey, edge, true)) return 0;
  }
  SetProgress(90);
  std::uint16_t* p = target.pixels;
  for (std::uint32_t i = 0; i < target.pixelCount; ++i, p += 4) {
    const std::uint32_t g = edge.pixels[i];
    if (g == 0) continue;
    const std::uint32_t grey = (p[0] + 6u * p[1] + 3u * p[2]) / 10;
    for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint16_t>((grey * g + p[c] * (255 - g)) / 255);
  }
  SetProgress(100);
  return 1;
}
