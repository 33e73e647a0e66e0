#include "editor/ColorRangeMask.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "algorithms/tone/GetPixelHue.h"
#include "image/ColorModel.h"
#include "image/ColorTables.h"

namespace {

constexpr std::int32_t kFull = 255;

// The part of the document a placed image covers, in document pixels
// (right and bottom exclusive); empty when it covers none.
struct Overlap {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool IsEmpty() const { return right <= left || bottom <= top; }
};

Overlap OverlapOf(const PlacedImage& layer, std::uint32_t width, std::uint32_t height) {
  Overlap part;
  if (!layer.image || layer.image->IsEmpty()) return part;
  const std::int64_t left = std::max<std::int64_t>(layer.x, 0);
  const std::int64_t top = std::max<std::int64_t>(layer.y, 0);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{layer.x} + layer.image->width, width);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{layer.y} + layer.image->height, height);
  if (right <= left || bottom <= top) return part;
  return {static_cast<std::int32_t>(left), static_cast<std::int32_t>(top), static_cast<std::int32_t>(right),
          static_cast<std::int32_t>(bottom)};
}

// The layer pixel under a document pixel of the overlap.
const std::uint16_t* LayerPixel(const PlacedImage& layer, std::int32_t x, std::int32_t y) {
  return layer.image->At(static_cast<std::uint32_t>(x - layer.x), static_cast<std::uint32_t>(y - layer.y));
}

std::int32_t Luminance(const std::uint16_t* pixel) { return (6 * pixel[1] + 3 * pixel[2] + pixel[0]) / 10; }

// The hue value t of one pixel, given weight(h). Pixels outside the band
// (most of a picture, for a narrow band) skip the saturation's division.
std::int32_t HueValue(const std::uint16_t* pixel, const std::uint8_t* hueWeights) {
  const PixelHue hue = GetPixelHue(pixel);
  const std::int32_t weight = hueWeights[hue.hue];
  if (weight == 0) return 0;
  const std::int32_t l = hue.lightness;
  const std::int32_t k = l < 32768 ? l + 1 : 65537 - l;
  std::int32_t saturation = 0;
  if (k > 31) {
    // At most 3 x 65535 x 256: within 32 bits.
    const std::int32_t spread = std::abs(pixel[2] - l) + std::abs(pixel[1] - l) + std::abs(pixel[0] - l);
    saturation = spread >= k ? 256 : spread * 256 / k;
  }
  const std::int32_t fade = l <= 60000 ? std::min(l, 256) : (65536 - l) / 22;
  return saturation * fade * weight / 65536;
}

// Multiplies the mask by the luminance gradient inside the overlap and
// clears the overlap's border.
[[nodiscard]] bool ApplyEdges(const PlacedImage& layer, const Overlap& part, CPlane8& mask) {
  const std::int32_t boxWidth = part.right - part.left;
  const std::int32_t boxHeight = part.bottom - part.top;
  if (boxWidth <= 2 || boxHeight <= 2) return true;
  // Luminance of the overlap only: the rest of the document's plane is 0
  // and never read, since only the box's inside is filtered.
  std::vector<std::uint8_t> luma;
  try {
    luma.resize(static_cast<std::size_t>(boxWidth) * static_cast<std::size_t>(boxHeight));
  } catch (const std::bad_alloc&) {
    return false;
  }
  BuildGammaTables();  // a caller before the program's start-up finds them empty
  const std::uint8_t* toSrgb = LinearToSrgbTable.data();
  for (std::int32_t y = part.top; y < part.bottom; ++y) {
    const std::uint16_t* pixel = LayerPixel(layer, part.left, y);
    std::uint8_t* out =
        luma.data() + static_cast<std::size_t>(y - part.top) * static_cast<std::size_t>(boxWidth);
    for (std::int32_t x = 0; x < boxWidth; ++x, pixel += 4) out[x] = toSrgb[Luminance(pixel)];
  }
  const auto maskRow = [&](std::int32_t y) { return mask.Row(static_cast<std::uint32_t>(y)); };
  std::memset(maskRow(part.top) + part.left, 0, static_cast<std::size_t>(boxWidth));
  std::memset(maskRow(part.bottom - 1) + part.left, 0, static_cast<std::size_t>(boxWidth));
  const auto stride = static_cast<std::ptrdiff_t>(boxWidth);
  for (std::int32_t y = part.top + 1; y < part.bottom - 1; ++y) {
    std::uint8_t* out = maskRow(y);
    out[part.left] = 0;
    out[part.right - 1] = 0;
    const std::uint8_t* centre = luma.data() + static_cast<std::ptrdiff_t>(y - part.top) * stride;
    for (std::int32_t x = 1; x < boxWidth - 1; ++x) {
      std::uint8_t& m = out[part.left + x];
      if (m == 0) continue;
      const std::uint8_t* c = centre + x;
      const std::int32_t a =
          (c[-stride - 1] + c[-stride] + c[-stride + 1]) - (c[stride - 1] + c[stride] + c[stride + 1]);
      const std::int32_t b =
          (c[-stride - 1] + c[-1] + c[stride - 1]) - (c[-stride + 1] + c[1] + c[stride + 1]);
      const std::int32_t gradient = std::min(kFull, std::max(std::abs(a), std::abs(b)));
      m = static_cast<std::uint8_t>(m * gradient / kFull);
    }
  }
  return true;
}

}  // namespace

void BuildHueWeights(const std::array<std::int32_t, 4>& handles, std::int32_t marker,
                     std::span<std::uint8_t, kHueWeightCount> weights) {
  const std::int64_t h0 = handles[0], h1 = handles[1], h2 = handles[2], h3 = handles[3];
  for (std::int64_t i = 0; i < static_cast<std::int64_t>(kHueWeightCount); ++i) {
    const std::int64_t c = (i + marker) & 0xFFFF;
    std::int64_t weight = 0;
    if (c < h0) {
      weight = 0;
    } else if (c < h1) {
      weight = (c - h0) * kFull / (h1 - h0);
    } else if (c < h2) {
      weight = kFull;
    } else if (c < h3) {
      weight = kFull - (c - h2) * kFull / (h3 - h2);
    }
    weights[static_cast<std::size_t>(i)] =
        static_cast<std::uint8_t>(std::clamp<std::int64_t>(weight, 0, kFull));
  }
}

void BuildToneWeights(const ColorRangeOptions& options, std::span<std::uint8_t, kHueWeightCount> weights) {
  BuildGammaTables();
  const std::int64_t t64 = SrgbToLinearTable[64], t100 = SrgbToLinearTable[100];
  const std::int64_t t160 = SrgbToLinearTable[160], t192 = SrgbToLinearTable[192];
  const auto rising = [](std::int64_t w, std::int64_t from, std::int64_t to) {
    if (w < from) return std::int64_t{0};
    if (w <= to) return (w - from) * kFull / (to - from);
    return std::int64_t{kFull};
  };
  for (std::int64_t w = 0; w < static_cast<std::int64_t>(kHueWeightCount); ++w) {
    std::int64_t zones[3] = {-1, -1, -1};
    if (options.highlight) zones[0] = rising(w, t160, t192);
    if (options.midtone) {
      if (w < t64)
        zones[1] = 0;
      else if (w <= t100)
        zones[1] = (w - t64) * kFull / (t100 - t64);
      else if (w <= t160)
        zones[1] = kFull;
      else if (w <= t192)
        zones[1] = kFull - (w - t160) * kFull / (t192 - t160);
      else
        zones[1] = 0;
    }
    if (options.shadow) zones[2] = kFull - rising(w, t64, t100);
    std::int64_t tone = -1;
    for (const std::int64_t e : zones) {
      if (e < 0) continue;
      tone = tone < 0 ? e : ((kFull - e) * tone + e * kFull) / kFull;
    }
    weights[static_cast<std::size_t>(w)] = static_cast<std::uint8_t>(std::max<std::int64_t>(tone, 0));
  }
}

int BuildColorRangeMask(const PlacedImage& layer, std::uint32_t width, std::uint32_t height,
                        const ColorRangeOptions& options, CPlane8& mask) {
  if (!layer.image || layer.image->IsEmpty() || !options.Any() || !mask.Create(width, height)) {
    mask.Free();
    return 0;
  }
  std::memset(mask.pixels, 0, mask.byteSize);
  const Overlap part = OverlapOf(layer, mask.width, mask.height);
  if (part.IsEmpty()) return 1;

  std::vector<std::uint8_t> hueWeights(kHueWeightCount), toneWeights(kHueWeightCount);
  if (options.hue)
    BuildHueWeights(options.handles, options.marker, std::span<std::uint8_t, kHueWeightCount>(hueWeights));
  if (options.AnyZone()) BuildToneWeights(options, std::span<std::uint8_t, kHueWeightCount>(toneWeights));
  const std::uint8_t* hues = hueWeights.data();
  const std::uint8_t* tones = toneWeights.data();

  for (std::int32_t y = part.top; y < part.bottom; ++y) {
    std::uint8_t* out = mask.Row(static_cast<std::uint32_t>(y));
    const std::uint16_t* pixel = LayerPixel(layer, part.left, y);
    if (options.hue && options.AnyZone()) {
      for (std::int32_t x = part.left; x < part.right; ++x, pixel += 4) {
        const std::int32_t tone = tones[Luminance(pixel)];
        out[x] = tone == 0 ? 0 : static_cast<std::uint8_t>(HueValue(pixel, hues) * tone / kFull);
      }
    } else if (options.hue) {
      for (std::int32_t x = part.left; x < part.right; ++x, pixel += 4)
        out[x] = static_cast<std::uint8_t>(HueValue(pixel, hues));
    } else if (options.AnyZone()) {
      for (std::int32_t x = part.left; x < part.right; ++x, pixel += 4) out[x] = tones[Luminance(pixel)];
    } else {
      std::memset(out + part.left, kFull, static_cast<std::size_t>(part.right - part.left));
    }
  }
  if (options.edge && !ApplyEdges(layer, part, mask)) {
    mask.Free();
    return 0;
  }
  return 1;
}

int RenderColorRangePreview(const PlacedImage& layer, const CPlane8& mask, std::int32_t style,
                            CBgraImage& picture) {
  if (mask.IsEmpty() || !picture.Create(mask.width, mask.height)) return 0;
  std::memset(picture.pixels, 0, picture.byteSize);
  const Overlap part = OverlapOf(layer, mask.width, mask.height);
  if (!part.IsEmpty()) {
    for (std::int32_t y = part.top; y < part.bottom; ++y) {
      ConvertPixels16To8(LayerPixel(layer, part.left, y),
                         picture.At(static_cast<std::uint32_t>(part.left), static_cast<std::uint32_t>(y)),
                         static_cast<std::size_t>(part.right - part.left));
    }
  }
  for (std::uint32_t y = 0; y < picture.height; ++y) {
    std::uint8_t* p = picture.Row(y);
    const std::uint8_t* m = mask.Row(y);
    for (std::uint32_t x = 0; x < picture.width; ++x, p += 4) {
      const std::int32_t value = m[x];
      if (style == 1) {
        p[0] = p[1] = p[2] = static_cast<std::uint8_t>(value);
      } else if (style == 2) {
        p[3] = static_cast<std::uint8_t>(p[3] * value / kFull);
      }
      const std::int32_t a = p[3];
      if (a == kFull) continue;
      const std::int32_t grey = (((x >> 3) ^ (y >> 3)) & 1) ? 160 : 240;
      for (int c = 0; c < 3; ++c)
        p[c] = static_cast<std::uint8_t>(p[c] + (grey - p[c]) * (kFull - a) / kFull);
      p[3] = kFull;
    }
  }
  return 1;
}
