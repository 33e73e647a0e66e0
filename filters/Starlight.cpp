#include "filters/Starlight.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "algorithms/GaussBlur.h"
#include "algorithms/RuntimeRandom.h"
#include "algorithms/geometry/ImageSize.h"
#include "filters/RotateShapePlane.h"
#include "image/codecs/CodecImage.h"

namespace {

constexpr double kPeakBlurRadius = 4.0;
constexpr std::int32_t kBrightLevel = 40000;
constexpr std::uint32_t kStampSamples = 3;

// The order of a star's stamps: itself, its direct neighbours at half and
// its diagonal ones at a quarter of its strength.
struct Neighbour {
  std::int32_t dx, dy, divisor;
};
constexpr std::array<Neighbour, 9> kNeighbours = {{{0, 0, 1},
                                                   {-1, 0, 2},
                                                   {1, 0, 2},
                                                   {0, -1, 2},
                                                   {0, 1, 2},
                                                   {-1, -1, 4},
                                                   {1, -1, 4},
                                                   {-1, 1, 4},
                                                   {1, 1, 4}}};

std::int32_t Grey(const std::uint16_t* p) {
  return (6 * std::int32_t{p[1]} + 3 * std::int32_t{p[2]} + p[0]) / 10;
}

}  // namespace

void ValidateStarlightParams(StarlightParams& block) {
  block.radius = std::clamp(block.radius, 1, StarlightParams::kMaxRadius);
  block.amount = std::clamp(block.amount, 0, StarlightParams::kMaxPercent);
  block.highlight = std::clamp(block.highlight, 0, StarlightParams::kMaxPercent);
  if (!std::isfinite(block.rotation)) block.rotation = 0;
  block.colourful = block.colourful ? 1 : 0;
}

void CStarlight::SearchSize(std::uint32_t width, std::uint32_t height, std::int32_t& w, std::int32_t& h) {
  const std::int64_t sw = std::max(width, 1u), sh = std::max(height, 1u);
  if (sh < sw) {
    w = kSearchSide;
    h = static_cast<std::int32_t>(std::max<std::int64_t>(1, kSearchSide * sh / sw));
  } else {
    w = static_cast<std::int32_t>(std::max<std::int64_t>(1, sw * kSearchSide / sh));
    h = kSearchSide;
  }
}

int CStarlight::LevelPlane(const CBgraImage16& work, const CBgraImage16& blurred, CPlane8& plane) {
  if (work.IsEmpty() || blurred.width != work.width || blurred.height != work.height) return 0;
  if (!plane.Create(work.width, work.height)) return 0;
  const std::uint16_t* p = work.pixels;
  const std::uint16_t* q = blurred.pixels;
  for (std::uint32_t i = 0; i < work.pixelCount; ++i, p += 4, q += 4) {
    const std::int32_t f = Grey(p);
    const std::int32_t peak = std::clamp((f - Grey(q) - 10000) / 100, 0, 255);
    const std::int32_t bright = f <= kBrightLevel ? 0 : std::min(255, (f - kBrightLevel) / 80);
    plane.pixels[i] = static_cast<std::uint8_t>(peak * bright / 255);
  }
  return 1;
}

void CStarlight::JitterLevels(CPlane8& plane) {
  for (std::uint32_t i = 0; i < plane.pixelCount; ++i) {
    std::uint8_t& p = plane.pixels[i];
    if (p == 0) continue;
    RuntimeRandom();
    const std::int32_t second = RuntimeRandom() % 16;
    const std::int32_t third = RuntimeRandom() % 16;
    p = static_cast<std::uint8_t>(p + second > 255 ? 255 : std::min(255, p + third));
  }
}

void CStarlight::SuppressNonMaxima(CPlane8& plane, std::int32_t highlight) {
  const std::int64_t half = (100 - std::int64_t{highlight}) / 4 + 5;
  const std::int64_t w = plane.width, h = plane.height;
  for (std::int64_t y = 0; y < h; ++y) {
    std::uint8_t* row = plane.Row(static_cast<std::uint32_t>(y));
    for (std::int64_t x = 0; x < w; ++x) {
      const std::uint8_t p = row[x];
      if (p == 0) continue;
      const std::int64_t x0 = std::max<std::int64_t>(0, x - half), x1 = std::min(w - 1, x + half);
      const std::int64_t y0 = std::max<std::int64_t>(0, y - half), y1 = std::min(h - 1, y + half);
      bool keep = true;
      for (std::int64_t j = y0; j <= y1 && keep; ++j) {
        const std::uint8_t* r = plane.Row(static_cast<std::uint32_t>(j));
        for (std::int64_t i = x0; i <= x1; ++i) {
          const bool after = j > y || (j == y && i > x);
          if (r[i] > p || (after && r[i] == p)) {
            keep = false;
            break;
          }
        }
      }
      if (!keep) row[x] = 0;
    }
  }
}

int CStarlight::FindStars(const CBgraImage16& work, std::uint32_t width, std::uint32_t height) {
  m_stars.clear();
  CBgraImage16 blurred;
  {
    CGaussBlur blur;
    blur.NestIn(*this, 5, 20);
    if (!blur.BlurImage(work, blurred, kPeakBlurRadius)) return 0;
  }
  CPlane8 plane;
  if (!LevelPlane(work, blurred, plane)) return 0;
  blurred.Free();
  JitterLevels(plane);
  SuppressNonMaxima(plane, m_block.highlight);
  try {
    for (std::uint32_t y = 0; y < plane.height; ++y) {
      const std::uint8_t* row = plane.Row(y);
      for (std::uint32_t x = 0; x < plane.width; ++x) {
        if (row[x] == 0) continue;
        m_stars.push_back({static_cast<std::uint32_t>(std::uint64_t{x} * width / plane.width),
                           static_cast<std::uint32_t>(std::uint64_t{y} * height / plane.height), row[x]});
      }
    }
  } catch (const std::bad_alloc&) {
    m_stars.clear();
    return 0;
  }
  return 1;
}

int CStarlight::BuildStamp(CBgraImage& stamp) const {
  if (!m_block.shape || m_block.shape->IsEmpty()) return 0;
  CPlane8 rotated;
  if (!RotateShapePlane(*m_block.shape, rotated, m_block.rotation)) return 0;
  CBgraImage shape;
  if (!shape.Create(rotated.width, rotated.height)) return 0;
  for (std::uint32_t i = 0; i < rotated.pixelCount; ++i) {
    std::uint8_t* p = shape.pixels + std::size_t{4} * i;
    p[0] = p[1] = p[2] = rotated.pixels[i];
    p[3] = 255;
  }
  const auto side = static_cast<std::uint32_t>(2 * m_block.radius + 1);
  Rect whole{};
  if (!shape.ResampleTo(stamp, side, side, kStampSamples, whole)) return 0;
  if (!m_block.colourful) return 1;
  const std::int32_t centre = static_cast<std::int32_t>(side / 2);
  const double ring = std::max(1, m_block.radius);
  for (std::uint32_t y = 0; y < side; ++y) {
    for (std::uint32_t x = 0; x < side; ++x) {
      std::uint8_t* p = stamp.At(x, y);
      const double dx = static_cast<double>(static_cast<std::int32_t>(x) - centre);
      const double dy = static_cast<double>(static_cast<std::int32_t>(y) - centre);
      HslQuad hsl = CCodecImage::RGBtoHSL({p[0], p[1], p[2], 0});
      hsl.hue = static_cast<std::uint8_t>(
          static_cast<std::int64_t>(std::sqrt(dx * dx + dy * dy) / ring * 400) % 256);
      hsl.saturation = 255;
      hsl.lightness = static_cast<std::uint8_t>(2 * hsl.lightness / 3);
      const RgbQuad rgb = CCodecImage::HSLtoRGB(hsl);
      p[0] = rgb.blue;
      p[1] = rgb.green;
      p[2] = rgb.red;
    }
  }
  return 1;
}

void CStarlight::StampStar(CBgraImage16& glow, std::uint32_t first, std::uint32_t end, std::int64_t x,
                           std::int64_t y, std::int32_t strength, const StampColour& colour) const {
  const std::int64_t w = m_source->width, h = m_source->height;
  if (x < 0 || y < 0 || x >= w || y >= h || strength == 0) return;
  const std::int64_t blue = colour[0], green = colour[1], red = colour[2];
  for (const StampCell& cell : m_cells) {
    const std::int64_t gx = x + cell.dx, gy = y + cell.dy;
    if (gx < 0 || gx >= w || gy < first || gy >= end) continue;
    const std::int64_t b = strength * cell.blue / 100, g = strength * cell.green / 100,
                       r = strength * cell.red / 100;
    if (b + g + r <= 0) continue;
    std::uint16_t* p = glow.At(static_cast<std::uint32_t>(gx), static_cast<std::uint32_t>(gy - first));
    p[2] = static_cast<std::uint16_t>(std::min<std::int64_t>(65535, p[2] + r * red / 30000));
    p[1] = static_cast<std::uint16_t>(std::min<std::int64_t>(65535, p[1] + g * green / 30000));
    p[0] = static_cast<std::uint16_t>(std::min<std::int64_t>(65535, p[0] + b * blue / 30000));
  }
}

int CStarlight::ProcessStripe(StripeTask* task) {
  if (!task || !m_source || !m_target) return 0;
  const CBgraImage16& source = *m_source;
  CBgraImage16& target = *m_target;
  if (target.width != source.width || target.height != source.height) return 0;
  std::uint32_t first = 0, end = 0;
  OwnRows(*task, source.height, first, end);
  if (first == end) return 1;
  CBgraImage16 glow;
  if (!glow.Create(source.width, end - first)) return 0;
  std::memset(glow.pixels, 0, glow.byteSize);

  // Stars lie in row order; a star and its neighbours' stamps reach
  // radius + 1 rows either way.
  const std::int64_t reach = m_block.radius + 1;
  const auto from = std::lower_bound(m_stars.begin(), m_stars.end(), std::int64_t{first} - reach,
                                     [](const StarPoint& star, std::int64_t row) { return star.y < row; });
  const bool single = IsSingleTask() != 0;
  const std::size_t count = m_stars.size();
  for (auto it = from; it != m_stars.end() && it->y <= std::int64_t{end} + reach; ++it) {
    const auto index = static_cast<std::size_t>(it - m_stars.begin());
    const std::array<StampColour, kStampsPerStar>& colours = m_colours[index];
    const std::int64_t x = it->x, y = it->y;
    const std::int32_t s = it->strength;
    for (std::size_t k = 0; k < kStampsPerStar; ++k) {
      const Neighbour& n = kNeighbours[k];
      StampStar(glow, first, end, x + n.dx, y + n.dy, s / n.divisor, colours[k]);
    }
    if (single && (index + 1) % 10 == 0) {
      SetProgress(static_cast<std::int32_t>(30 + 60 * static_cast<std::int64_t>(index) /
                                                     static_cast<std::int64_t>(count)));
    }
  }

  const std::int64_t amount = m_block.amount;
  const std::uint16_t* in = source.Row(first);
  const std::uint16_t* add = glow.pixels;
  std::uint16_t* out = target.Row(first);
  for (std::uint32_t i = 0; i < glow.pixelCount; ++i, in += 4, add += 4, out += 4) {
    for (int c = 0; c < 3; ++c) {
      out[c] = static_cast<std::uint16_t>(std::min<std::int64_t>(65535, amount * add[c] / 10 + in[c]));
    }
  }
  return 1;
}

int CStarlight::Process() {
  if (!m_source || m_source->IsEmpty() || !m_target || !m_params) return 0;
  std::memcpy(&m_block, m_params, sizeof m_block);
  ValidateStarlightParams(m_block);
  const CBgraImage16& source = *m_source;
  if (!m_block.shape || m_block.shape->IsEmpty() || m_target->IsEmpty() || m_target->width != source.width ||
      m_target->height != source.height) {
    return 0;
  }
  std::int32_t w = 0, h = 0;
  SearchSize(source.width, source.height, w, h);
  CBgraImage16 work;
  {
    CImageSize size;
    size.m_rangeLo = -1;  // no cancel test: the copy is always whole
    if (!size.ResizeBilinear(source, work, w, h)) return 0;
  }
  SetProgress(5);
  if (!FindStars(work, source.width, source.height)) return 0;
  work.Free();
  SetProgress(25);
  CBgraImage stamp;
  if (!BuildStamp(stamp)) return 0;
  // Black stamp pixels add nothing at any strength.
  m_cells.clear();
  const std::int32_t r = m_block.radius;
  try {
    for (std::uint32_t y = 0; y < stamp.height; ++y) {
      for (std::uint32_t x = 0; x < stamp.width; ++x) {
        const std::uint8_t* p = stamp.At(x, y);
        if (p[0] + p[1] + p[2] == 0) continue;
        m_cells.push_back(
            {static_cast<std::int32_t>(x) - r, static_cast<std::int32_t>(y) - r, p[0], p[1], p[2]});
      }
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
  // Every stamp's colour before the first glow reaches the target.
  try {
    m_colours.assign(m_stars.size(), {});
  } catch (const std::bad_alloc&) {
    return 0;
  }
  for (std::size_t i = 0; i < m_stars.size(); ++i) {
    for (std::size_t k = 0; k < kStampsPerStar; ++k) {
      const std::int64_t x = std::int64_t{m_stars[i].x} + kNeighbours[k].dx;
      const std::int64_t y = std::int64_t{m_stars[i].y} + kNeighbours[k].dy;
      if (x < 0 || y < 0 || x >= source.width || y >= source.height) continue;
      const std::uint16_t* p = source.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
      m_colours[i][k] = {p[0], p[1], p[2]};
    }
  }
  const int done = RunRowPass(30, 100, 1, OnCancel::kFinishAll);
  m_cells.clear();
  m_colours.clear();
  return done;
}
