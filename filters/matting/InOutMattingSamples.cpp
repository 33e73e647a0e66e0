// The colour samples of CInOutMatting (EstimateColours): a geodesic colour
// distance from the known foreground and background gives each pixel a
// foreground likelihood; per-cell colour histograms of the known pixels decide
// whether an unknown pixel's own colour belongs to the nearby foreground or
// background; the likelihood overrides and corrects those samples; the holes
// left are filled from neighbouring samples, coarse to fine.

#include <algorithm>
#include <cmath>
#include <deque>
#include <new>
#include <utility>
#include <vector>

#include "filters/matting/InOutMatting.h"
#include "image/ColorModel.h"
#include "image/ColorTables.h"
#include "image/PixelBlock.h"

namespace {

constexpr std::uint32_t kBins = CColourCellBits::kBins;
constexpr std::uint16_t kUnreached = 65535;
constexpr std::int32_t kGrowthRounds = 249;

using Position = std::pair<std::int32_t, std::int32_t>;  // x, y

// The 15-bit colour bin of a tone-only 8-bit colour.
std::uint32_t ColourBin(std::uint32_t tone) {
  const std::uint32_t b = tone & 0xFF, g = (tone >> 8) & 0xFF, r = (tone >> 16) & 0xFF;
  return (r >> 3) * 1024 + (g >> 3) * 32 + (b >> 3);
}

bool HasSample(const std::uint8_t* p) { return p[3] == 255; }

void ClearSample(std::uint8_t* p) { std::fill_n(p, 4, std::uint8_t{0}); }

// The pixel's colour by the full 16 -> 8 conversion, as a present sample.
void SetOwnColour(std::uint8_t* sample, const std::uint16_t* pixel) {
  ConvertPixels16To8(pixel, sample, 1);
  sample[3] = 255;
}

// A bin below the threshold is cleared when both its neighbours in index
// order are below it too (one neighbour at either end); the bins are visited
// upwards, so a cleared bin counts as 0 for the next.
void PruneHistogram(std::uint32_t* histogram, std::uint64_t threshold) {
  for (std::uint32_t bin = 0; bin < kBins; ++bin) {
    const std::uint64_t count = histogram[bin];
    if (count == 0 || count >= threshold) continue;
    const bool lowerSparse = bin == 0 || histogram[bin - 1] < threshold;
    const bool upperSparse = bin == kBins - 1 || histogram[bin + 1] < threshold;
    if (lowerSparse && upperSparse) histogram[bin] = 0;
  }
}

}  // namespace

int CInOutMatting::EstimateColours() {
  if (!ComputeForegroundLikelihood(*m_source, m_trimap, m_likelihood)) return 0;
  SetProgress(10);
  if (!BuildColourCells() || !SampleLocalColours()) return 0;
  SetProgress(20);
  // A sample image whose snapshot cannot be made keeps its holes; the
  // samples around them still serve.
  static_cast<void>(FillSampleHoles(m_bgSamples));
  static_cast<void>(FillSampleHoles(m_fgSamples));
  return 1;
}

int CInOutMatting::ComputeForegroundLikelihood(const CBgraImage16& image, const CPlane8& trimap,
                                               CPlane8& likelihood) {
  CPlane16 toForeground;
  CPlane16 toBackground;
  if (!GeodesicColourDistance(image, trimap, kForeground, toForeground) ||
      !GeodesicColourDistance(image, trimap, kBackground, toBackground))
    return 0;
  if (!likelihood.Create(trimap.width, trimap.height)) return 0;
  for (std::size_t i = 0; i < likelihood.pixelCount; ++i) {
    const std::uint32_t f = toForeground.pixels[i];
    const std::uint32_t b = toBackground.pixels[i];
    likelihood.pixels[i] =
        f + b == 0 ? 128 : static_cast<std::uint8_t>(std::min<std::uint32_t>(256 * b / (f + b), 255));
  }
  return 1;
}

int CInOutMatting::GeodesicColourDistance(const CBgraImage16& image, const CPlane8& trimap,
                                          std::uint8_t label, CPlane16& distance) {
  if (image.IsEmpty() || trimap.IsEmpty() || image.width != trimap.width || image.height != trimap.height)
    return 0;
  const std::int32_t w = static_cast<std::int32_t>(trimap.width);
  const std::int32_t h = static_cast<std::int32_t>(trimap.height);
  if (!distance.Create(trimap.width, trimap.height)) return 0;
  BuildGammaTables();
  // Distances compare tone-only colours: convert each pixel once.
  auto tone = AllocLargeArray<std::uint32_t>(trimap.pixelCount);
  if (!tone) return 0;
  for (std::size_t i = 0; i < trimap.pixelCount; ++i) {
    tone[i] = ToneOnly8(image.pixels + i * 4);
    distance.pixels[i] = trimap.pixels[i] == label ? 0 : kUnreached;
  }
  std::uint16_t* dist = distance.pixels;
  const std::uint8_t* code = trimap.pixels;
  const auto at = [w](std::int32_t x, std::int32_t y) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x);
  };

  try {
    std::deque<Position> queue;
    std::vector<Position> handled;
    std::int64_t changes = 1;
    for (std::int32_t threshold = 1; threshold <= kGrowthRounds; ++threshold) {
      if (changes != 0) {
        // The front: reached inner pixels with an unreached neighbour.
        for (std::int32_t y = 1; y < h - 1; ++y) {
          for (std::int32_t x = 1; x < w - 1; ++x) {
            const std::size_t i = at(x, y);
            if (dist[i] >= kUnreached - 1) continue;
            if (dist[i - 1] == kUnreached || dist[i + 1] == kUnreached ||
                dist[i - static_cast<std::size_t>(w)] == kUnreached ||
                dist[i + static_cast<std::size_t>(w)] == kUnreached)
              queue.emplace_back(x, y);
          }
        }
      } else {
        // Nothing moved: the same front tries again with a higher threshold.
        queue.insert(queue.end(), handled.begin(), handled.end());
      }
      handled.clear();
      changes = 0;
      while (!queue.empty()) {
        const Position p = queue.front();
        queue.pop_front();
        handled.push_back(p);
        const std::size_t i = at(p.first, p.second);
        const std::int32_t d = dist[i];
        if (d >= kUnreached - threshold) continue;
        const Position neighbours[4] = {{p.first - 1, p.second},
                                        {p.first + 1, p.second},
                                        {p.first, p.second - 1},
                                        {p.first, p.second + 1}};
        for (const Position& q : neighbours) {
          if (q.first < 0 || q.first >= w || q.second < 0 || q.second >= h) continue;
          const std::size_t j = at(q.first, q.second);
          if (dist[j] != kUnreached || code[j] != kUnknown) continue;
          const double c = ColorDistance8(tone[i], tone[j]);
          if (!(c < threshold)) continue;
          dist[j] = static_cast<std::uint16_t>(d + static_cast<std::int32_t>(c));
          queue.push_back(q);
          ++changes;
        }
      }
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

int CInOutMatting::BuildColourCells() {
  const std::int64_t w = m_source->width;
  const std::int64_t h = m_source->height;
  auto fgHistogram = AllocWorkArray<std::uint32_t>(kBins);
  auto bgHistogram = AllocWorkArray<std::uint32_t>(kBins);
  if (!fgHistogram || !bgHistogram) return 0;
  std::fill_n(fgHistogram.get(), kBins, 0u);
  std::fill_n(bgHistogram.get(), kBins, 0u);
  std::uint64_t nF = 0, nB = 0;
  for (std::size_t i = 0; i < m_trimap.pixelCount; ++i) {
    const std::uint8_t code = m_trimap.pixels[i];
    if (code == kUnknown) continue;
    const std::uint32_t bin = ColourBin(ToneOnly8(m_source->pixels + i * 4));
    if (code == kForeground) {
      ++fgHistogram[bin];
      ++nF;
    } else {
      ++bgHistogram[bin];
      ++nB;
    }
  }
  PruneHistogram(fgHistogram.get(), nF / 2000);
  PruneHistogram(bgHistogram.get(), nB / 2000);

  ReleaseCells();
  m_cellSize = static_cast<std::int32_t>(std::max<std::int64_t>(16, std::max(w, h) / 30));
  const std::int64_t side = m_cellSize;
  const std::int64_t rows = (h + side - 1) / side;
  const std::int64_t cols = (w + side - 1) / side;
  if (rows > kGridSide || cols > kGridSide) return 0;
  for (std::int64_t i = 0; i < rows; ++i) {
    for (std::int64_t j = 0; j < cols; ++j) {
      ColourCell& cell = m_cells[static_cast<std::size_t>(i * kGridSide + j)];
      cell.x0 = static_cast<std::int32_t>(j * side);
      cell.y0 = static_cast<std::int32_t>(i * side);
      cell.x1 = static_cast<std::int32_t>(std::min(w, (j + 1) * side));
      cell.y1 = static_cast<std::int32_t>(std::min(h, (i + 1) * side));
      cell.exists = true;
    }
  }
  for (std::int64_t y = 0; y < h; ++y) {
    const std::int64_t cellRow = y / side * kGridSide;
    const auto uy = static_cast<std::uint32_t>(y);
    const std::uint8_t* code = m_trimap.Row(uy);
    for (std::int64_t x = 0; x < w; ++x) {
      if (code[x] == kUnknown) continue;
      const std::uint32_t bin = ColourBin(ToneOnly8(m_source->At(static_cast<std::uint32_t>(x), uy)));
      const std::uint8_t bit = code[x] == kForeground   ? (fgHistogram[bin] ? kFgBit : 0)
                               : code[x] == kBackground ? (bgHistogram[bin] ? kBgBit : 0)
                                                        : 0;
      if (!m_cellBits.Mark(static_cast<std::uint32_t>(cellRow + x / side), bin, bit)) {
        ReleaseCells();
        return 0;
      }
    }
  }
  return 1;
}

void CInOutMatting::NeighbourCells(std::int64_t v, std::int64_t cellCount, std::int64_t& first,
                                   std::int64_t& second) const {
  const std::int64_t s = m_cellSize;
  first = v - s / 2 < 1 ? 0 : (v - s / 2) / s;
  first = std::min(first, cellCount - 1);
  second = first + 1 < cellCount ? first + 1 : first;
}

int CInOutMatting::SampleLocalColours() {
  const std::int64_t w = m_source->width;
  const std::int64_t h = m_source->height;
  const std::int64_t side = m_cellSize;
  const std::int64_t rows = (h + side - 1) / side;
  const std::int64_t cols = (w + side - 1) / side;

  // Two passes: the second sees the bits the first added to neighbouring
  // cells, so colours spread one cell further.
  for (int pass = 0; pass < 2; ++pass) {
    for (std::int64_t y = 0; y < h; ++y) {
      std::int64_t cy0, cy1;
      NeighbourCells(y, rows, cy0, cy1);
      for (std::int64_t x = 0; x < w; ++x) {
        const auto ux = static_cast<std::uint32_t>(x);
        const auto uy = static_cast<std::uint32_t>(y);
        if (*m_trimap.At(ux, uy) != kUnknown) continue;
        std::uint8_t* fg = m_fgSamples.At(ux, uy);
        std::uint8_t* bg = m_bgSamples.At(ux, uy);
        if (HasSample(fg) && HasSample(bg)) continue;
        std::int64_t cx0, cx1;
        NeighbourCells(x, cols, cx0, cx1);
        const std::size_t cells[4] = {
            static_cast<std::size_t>(cy0 * kGridSide + cx0), static_cast<std::size_t>(cy0 * kGridSide + cx1),
            static_cast<std::size_t>(cy1 * kGridSide + cx0), static_cast<std::size_t>(cy1 * kGridSide + cx1)};
        const std::uint16_t* pixel = m_source->At(ux, uy);
        const std::uint32_t bin = ColourBin(ToneOnly8(pixel));
        std::uint8_t bits = 0;
        for (const std::size_t c : cells) bits |= CellBits(c, bin);
        for (const std::uint8_t bit : {kFgBit, kBgBit}) {
          if (!(bits & bit)) continue;
          SetOwnColour(bit == kFgBit ? fg : bg, pixel);
          for (const std::size_t c : cells) {
            if (m_cells[c].exists && !m_cellBits.Mark(static_cast<std::uint32_t>(c), bin, bit)) return 0;
          }
        }
      }
    }
  }

  // The likelihood overrides and corrects what the cells said.
  for (std::int64_t y = 0; y < h; ++y) {
    for (std::int64_t x = 0; x < w; ++x) {
      const auto ux = static_cast<std::uint32_t>(x);
      const auto uy = static_cast<std::uint32_t>(y);
      const std::uint8_t l = *m_likelihood.At(ux, uy);
      std::uint8_t* fg = m_fgSamples.At(ux, uy);
      std::uint8_t* bg = m_bgSamples.At(ux, uy);
      if (!HasSample(fg) && l > 250) SetOwnColour(fg, m_source->At(ux, uy));
      if (!HasSample(bg) && l < 2) SetOwnColour(bg, m_source->At(ux, uy));
      if (HasSample(fg) && l < 120) ClearSample(fg);
      if (HasSample(bg) && l > 136) ClearSample(bg);
    }
  }

  // A foreground sample within 3 pixels of a background sample in the
  // unknown area is unreliable, and so are those background samples.
  auto marked = AllocLargeArray<std::uint8_t>(m_trimap.pixelCount);
  if (!marked) return 1;
  std::fill_n(marked.get(), m_trimap.pixelCount, std::uint8_t{0});
  for (std::int64_t y = 3; y <= h - 4; ++y) {
    for (std::int64_t x = 3; x <= w - 4; ++x) {
      const auto ux = static_cast<std::uint32_t>(x);
      const auto uy = static_cast<std::uint32_t>(y);
      if (*m_trimap.At(ux, uy) != kUnknown || !HasSample(m_fgSamples.At(ux, uy))) continue;
      bool any = false;
      for (std::int64_t v = y - 3; v <= y + 3; ++v) {
        for (std::int64_t u = x - 3; u <= x + 3; ++u) {
          if (!HasSample(m_bgSamples.At(static_cast<std::uint32_t>(u), static_cast<std::uint32_t>(v))))
            continue;
          marked[static_cast<std::size_t>(v * w + u)] = 1;
          any = true;
        }
      }
      if (any) marked[static_cast<std::size_t>(y * w + x)] = 1;
    }
  }
  for (std::size_t i = 0; i < m_trimap.pixelCount; ++i) {
    if (!marked[i]) continue;
    ClearSample(m_fgSamples.pixels + i * 4);
    ClearSample(m_bgSamples.pixels + i * 4);
  }
  return 1;
}

int CInOutMatting::FillSampleHoles(CBgraImage& samples) {
  CBgraImage snapshot;
  if (!snapshot.CopyFrom(samples)) return 0;
  const std::int64_t w = samples.width;
  const std::int64_t h = samples.height;

  for (std::int64_t step = 32; step >= 1; step /= 2) {
    const std::int64_t r0 = 1 + static_cast<std::int64_t>(2 * step * 1.414);
    const std::int64_t reach = 2 * step;
    const std::int64_t span = 2 * reach + 1;
    std::vector<std::uint64_t> weight(static_cast<std::size_t>(span * span));
    for (std::int64_t dy = -reach; dy <= reach; ++dy) {
      for (std::int64_t dx = -reach; dx <= reach; ++dx) {
        weight[static_cast<std::size_t>((dy + reach) * span + dx + reach)] = static_cast<std::uint64_t>(
            static_cast<double>(r0) / (std::sqrt(static_cast<double>(dx * dx + dy * dy)) + 0.2) + 0.5);
      }
    }
    for (std::int64_t y = 0; y < h; y += step) {
      for (std::int64_t x = 0; x < w; x += step) {
        const auto ux = static_cast<std::uint32_t>(x);
        const auto uy = static_cast<std::uint32_t>(y);
        if (*m_trimap.At(ux, uy) != kUnknown || HasSample(samples.At(ux, uy))) continue;
        std::uint64_t total = 0, sb = 0, sg = 0, sr = 0;
        for (std::int64_t v = std::max<std::int64_t>(y - reach, 0); v <= std::min(y + reach, h - 1); ++v) {
          for (std::int64_t u = std::max<std::int64_t>(x - reach, 0); u <= std::min(x + reach, w - 1); ++u) {
            const std::uint8_t* s = snapshot.At(static_cast<std::uint32_t>(u), static_cast<std::uint32_t>(v));
            if (!HasSample(s)) continue;
            const std::uint64_t k =
                weight[static_cast<std::size_t>((v - y + reach) * span + (u - x + reach))];
            total += k;
            sb += k * s[0];
            sg += k * s[1];
            sr += k * s[2];
          }
        }
        if (total > 8) {
          std::uint8_t* out = samples.At(ux, uy);
          out[0] = static_cast<std::uint8_t>(sb / total);
          out[1] = static_cast<std::uint8_t>(sg / total);
          out[2] = static_cast<std::uint8_t>(sr / total);
          out[3] = 255;
        }
      }
    }
    std::copy_n(samples.pixels, samples.byteSize, snapshot.pixels);
  }

  // Flood fill of what the coarse passes left, outwards from the samples.
  const auto lacks = [&](std::int64_t x, std::int64_t y) {
    return !HasSample(samples.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)));
  };
  try {
    std::vector<Position> list;
    for (std::int64_t y = 1; y < h - 1; ++y) {
      for (std::int64_t x = 1; x < w - 1; ++x) {
        if (*m_trimap.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)) != kUnknown ||
            !lacks(x, y))
          continue;
        if (!lacks(x - 1, y) || !lacks(x + 1, y) || !lacks(x, y - 1) || !lacks(x, y + 1))
          list.emplace_back(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
      }
    }
    while (!list.empty()) {
      const std::size_t roundEnd = list.size();
      for (std::size_t k = 0; k < roundEnd; ++k) {
        const std::int64_t x = list[k].first;
        const std::int64_t y = list[k].second;
        if (*m_trimap.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)) != kUnknown ||
            !lacks(x, y))
          continue;
        std::uint32_t n = 0, sb = 0, sg = 0, sr = 0;
        for (std::int64_t v = std::max<std::int64_t>(y - 1, 0); v <= std::min(y + 1, h - 1); ++v) {
          for (std::int64_t u = std::max<std::int64_t>(x - 1, 0); u <= std::min(x + 1, w - 1); ++u) {
            const std::uint8_t* s = samples.At(static_cast<std::uint32_t>(u), static_cast<std::uint32_t>(v));
            if (!HasSample(s)) continue;
            ++n;
            sb += s[0];
            sg += s[1];
            sr += s[2];
          }
        }
        if (n == 0) continue;
        std::uint8_t* out = samples.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
        out[0] = static_cast<std::uint8_t>(sb / n);
        out[1] = static_cast<std::uint8_t>(sg / n);
        out[2] = static_cast<std::uint8_t>(sr / n);
        out[3] = 255;
        // Only a filled pixel spreads; an entry left as it was must not
        // bring its neighbours back, or the fill would never end.
        const Position next[4] = {{static_cast<std::int32_t>(x - 1), static_cast<std::int32_t>(y)},
                                  {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y - 1)},
                                  {static_cast<std::int32_t>(x + 1), static_cast<std::int32_t>(y)},
                                  {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y + 1)}};
        for (const Position& q : next) {
          if (q.first < 0 || q.first >= w || q.second < 0 || q.second >= h) continue;
          if (lacks(q.first, q.second)) list.push_back(q);
        }
      }
      list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(roundEnd));
    }
  } catch (const std::bad_alloc&) {
    // Holes stay; the run goes on as after a failed snapshot.
  }
  return 1;
}
