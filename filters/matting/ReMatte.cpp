#include "filters/matting/ReMatte.h"

#include <algorithm>

#include "image/ColorModel.h"
#include "image/ColorTables.h"

namespace {

constexpr std::uint8_t kToFill = 128;
constexpr std::uint8_t kFilledThisPass = 254;
constexpr std::uint8_t kHasColour = 255;

std::uint32_t Packed(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

void SetToneOnly(std::uint8_t* out, const Pixel16& colour) {
  out[0] = LinearToSrgbTable[colour[0]];
  out[1] = LinearToSrgbTable[colour[1]];
  out[2] = LinearToSrgbTable[colour[2]];
  out[3] = kHasColour;
}

template <typename A, typename B>
bool SameSize(const A& a, const B& b) {
  return a.width == b.width && a.height == b.height;
}

}  // namespace

int FillFromNeighbourSamples(CBgraImage& image) {
  if (image.IsEmpty()) return 0;
  const std::int64_t w = image.width;
  const std::int64_t h = image.height;
  for (;;) {
    std::int64_t remaining = 0;
    std::int64_t filled = 0;
    for (std::int64_t y = 0; y < h; ++y) {
      for (std::int64_t x = 0; x < w; ++x) {
        std::uint8_t* p = image.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
        if (p[3] != kToFill) continue;
        std::uint32_t n = 0, sb = 0, sg = 0, sr = 0;
        for (std::int64_t v = std::max<std::int64_t>(y - 3, 0); v <= std::min(y + 3, h - 1); ++v) {
          for (std::int64_t u = std::max<std::int64_t>(x - 3, 0); u <= std::min(x + 3, w - 1); ++u) {
            const std::uint8_t* q = image.At(static_cast<std::uint32_t>(u), static_cast<std::uint32_t>(v));
            if (q[3] != kHasColour) continue;
            ++n;
            sb += q[0];
            sg += q[1];
            sr += q[2];
          }
        }
        if (n >= 4) {
          p[0] = static_cast<std::uint8_t>(sb / n);
          p[1] = static_cast<std::uint8_t>(sg / n);
          p[2] = static_cast<std::uint8_t>(sr / n);
          p[3] = kFilledThisPass;
          ++filled;
        } else {
          ++remaining;
        }
      }
    }
    // Pixels filled in a pass feed only the next one.
    for (std::size_t i = 0; i < image.pixelCount; ++i) {
      if (image.pixels[i * 4 + 3] == kFilledThisPass) image.pixels[i * 4 + 3] = kHasColour;
    }
    if (remaining == 0) return 1;
    if (filled == 0) return 0;
  }
}

int FillWithSampleMean(CBgraImage& image, std::span<const Pixel16> samples) {
  if (samples.empty() || image.IsEmpty()) return 0;
  BuildGammaTables();
  std::uint64_t sum[3] = {0, 0, 0};
  for (const Pixel16& s : samples) {
    for (int c = 0; c < 3; ++c) sum[c] += s[static_cast<std::size_t>(c)];
  }
  Pixel16 mean{};
  for (int c = 0; c < 3; ++c)
    mean[static_cast<std::size_t>(c)] = static_cast<std::uint16_t>(sum[c] / samples.size());
  for (std::size_t i = 0; i < image.pixelCount; ++i) {
    if (image.pixels[i * 4 + 3] == kToFill) SetToneOnly(image.pixels + i * 4, mean);
  }
  return 1;
}

int ReMatteFromSamples(const CBgraImage16& image, const CPlane8& brush, std::span<const Pixel16> foreground,
                       std::span<const Pixel16> background, CBgraImage16& output,
                       const CBgraImage16& previous) {
  if (image.IsEmpty() || brush.IsEmpty() || output.IsEmpty() || previous.IsEmpty()) return 0;
  if (!SameSize(image, brush) || !SameSize(image, output) || !SameSize(image, previous)) return 0;
  // A list with no colour gives no estimate for its side (and no mean).
  if (foreground.empty() || background.empty()) return 0;
  BuildGammaTables();

  std::uint32_t x0 = brush.width, y0 = brush.height, x1 = 0, y1 = 0;
  for (std::uint32_t y = 0; y < brush.height; ++y) {
    const std::uint8_t* row = brush.Row(y);
    for (std::uint32_t x = 0; x < brush.width; ++x) {
      if (!row[x]) continue;
      x0 = std::min(x0, x);
      x1 = std::max(x1, x + 1);
      y0 = std::min(y0, y);
      y1 = std::max(y1, y + 1);
    }
  }
  if (x1 <= x0 || y1 <= y0) return 0;
  const std::uint32_t bw = x1 - x0;
  const std::uint32_t bh = y1 - y0;

  CBgraImage fgEstimate;
  CBgraImage bgEstimate;
  if (!fgEstimate.Create(bw, bh) || !bgEstimate.Create(bw, bh)) return 0;

  std::int64_t nF = 0;
  std::int64_t nB = 0;
  for (std::uint32_t y = 0; y < bh; ++y) {
    for (std::uint32_t x = 0; x < bw; ++x) {
      std::uint8_t* f = fgEstimate.At(x, y);
      std::uint8_t* b = bgEstimate.At(x, y);
      std::fill_n(f, 4, std::uint8_t{0});
      std::fill_n(b, 4, std::uint8_t{0});
      if (!*brush.At(x0 + x, y0 + y)) continue;
      const std::uint16_t* p = image.At(x0 + x, y0 + y);
      const int iF = FindNearestSample(p, foreground);
      const int iB = FindNearestSample(p, background);
      f[3] = kToFill;
      b[3] = kToFill;
      if (iF >= 0 && iB < 0) {
        SetToneOnly(f, foreground[static_cast<std::size_t>(iF)]);
        ++nF;
      } else if (iB >= 0 && iF < 0) {
        SetToneOnly(b, background[static_cast<std::size_t>(iB)]);
        ++nB;
      }
    }
  }
  if (nF > 0 ? !FillFromNeighbourSamples(fgEstimate) : !FillWithSampleMean(fgEstimate, foreground)) return 0;
  if (nB > 0 ? !FillFromNeighbourSamples(bgEstimate) : !FillWithSampleMean(bgEstimate, background)) return 0;

  for (std::uint32_t y = 0; y < bh; ++y) {
    for (std::uint32_t x = 0; x < bw; ++x) {
      const std::uint32_t brushValue = *brush.At(x0 + x, y0 + y);
      if (!brushValue) continue;
      const std::uint16_t* p = image.At(x0 + x, y0 + y);
      std::uint16_t* out = output.At(x0 + x, y0 + y);
      const std::uint16_t previousAlpha = previous.At(x0 + x, y0 + y)[3];
      std::uint8_t c8[4];
      ConvertPixels16To8(p, c8, 1);
      const std::uint8_t* fp = fgEstimate.At(x, y);
      const std::uint32_t fPacked = Packed(fp);
      const std::uint32_t bPacked = Packed(bgEstimate.At(x, y));
      const std::uint32_t cPacked = Packed(c8);
      const double e = ColorDistance8(bPacked, fPacked);
      if (e < 0.01) {
        // The two estimates coincide: no line to place the pixel on. The
        // pixel keeps its colour and its previous alpha.
        out[0] = p[0];
        out[1] = p[1];
        out[2] = p[2];
        out[3] = previousAlpha;
        continue;
      }
      const double dF = ColorDistance8(cPacked, fPacked);
      const double dB = ColorDistance8(cPacked, bPacked);
      const double position = (dB * dB + e * e - dF * dF) / (2 * e * e);
      const std::uint64_t j = ClampToU16(((position - 0.5) * 2 + 0.5) * 65535);
      const std::uint64_t i = brushValue;
      out[3] = static_cast<std::uint16_t>(((255 - i) * previousAlpha + i * j) / 255);
      const std::uint64_t s = j / 257;
      for (int c = 0; c < 3; ++c) {
        const std::uint64_t xc = p[c];
        const std::uint64_t l = SrgbToLinearTable[fp[c]];
        const std::uint64_t m = (l * (65535 - j) + xc * j) / 65535;
        const std::uint64_t b = (m * (255 - s) + xc * s) / 255;
        out[c] = static_cast<std::uint16_t>((xc * (255 - i) + b * i) / 255);
      }
    }
  }
  return 1;
}
