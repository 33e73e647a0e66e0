// The codec image's whole-image operations: flips, rotations and Resample.
// Each builds its result in a new image of the same attributes and takes it
// over, so a failure leaves the image as it was.

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "image/codecs/CodecImage.h"

namespace {

using Accumulators = std::unique_ptr<std::int64_t[]>;

// Zeroed accumulators, or null when memory is exhausted.
[[nodiscard]] Accumulators NewAccumulators(std::size_t count) {
  return Accumulators(new (std::nothrow) std::int64_t[count]());
}

std::uint8_t ToByte(std::int64_t value) {
  return static_cast<std::uint8_t>(std::clamp<std::int64_t>(value, 0, 255));
}

// Area-average shrink of a 24-bit image in both directions. Weights are in
// thousandths; a source row or column that straddles two output pixels is
// split between them by its fractional overlap, and every output value is its
// weighted sum over nScale = 1000 x xScale x yScale. The accumulators are 64
// bits wide: one output pixel may cover millions of source pixels. Float
// scales accumulate rounding, so every index is kept within its array.
[[nodiscard]] bool AreaAverage(const CCodecImage& source, CCodecImage& target, float xScale, float yScale) {
  constexpr std::int32_t kAccuracy = 1000;
  const std::uint32_t width = source.GetWidth();
  const std::uint32_t height = source.GetHeight();
  const std::uint32_t newWidth = target.GetWidth();
  const std::uint32_t newHeight = target.GetHeight();
  const std::int64_t nScale = static_cast<std::int64_t>(static_cast<float>(kAccuracy) * xScale * yScale);
  if (nScale <= 0) return false;

  const std::size_t accuCount = 3 * std::size_t{newWidth} + 3;
  Accumulators first = NewAccumulators(accuCount);
  Accumulators second = NewAccumulators(accuCount);
  if (!first || !second) return false;
  std::int64_t* accu = first.get();    // the output row being completed
  std::int64_t* carry = second.get();  // the share of the next output row

  std::uint32_t outRow = 0;  // output rows completed
  float fEndY = yScale - 1.0f;
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* in = source.GetBits() + std::size_t{y} * source.GetRowStride();
    float fEndX = xScale - 1.0f;
    std::uint32_t u = 0;
    std::size_t i = 0;
    if (static_cast<float>(y) < fEndY) {
      // The whole source row falls into the current output row.
      for (std::uint32_t x = 0; x < width; ++x) {
        const std::uint8_t* p = in + 3 * std::size_t{x};
        if (static_cast<float>(x) < fEndX || u >= newWidth) {
          for (int c = 0; c < 3; ++c) accu[i + c] += kAccuracy * p[c];
        } else {
          const auto wX = static_cast<std::int32_t>((static_cast<float>(x) - fEndX) * kAccuracy);
          for (int c = 0; c < 3; ++c) {
            accu[i + c] += (kAccuracy - wX) * p[c];
            accu[i + 3 + c] += wX * p[c];
          }
          i += 3;
          fEndX += xScale;
          ++u;
        }
      }
      continue;
    }

    // The source row is split between this output row and the next.
    const auto wY = static_cast<std::int32_t>((static_cast<float>(y) - fEndY) * kAccuracy);
    std::uint8_t* out =
        outRow < newHeight ? target.GetBits() + std::size_t{outRow} * target.GetRowStride() : nullptr;
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint8_t* p = in + 3 * std::size_t{x};
      if (static_cast<float>(x) < fEndX || u >= newWidth) {
        for (int c = 0; c < 3; ++c) {
          accu[i + c] += (kAccuracy - wY) * p[c];
          carry[i + c] += wY * p[c];
        }
      } else {
        const auto wX = static_cast<std::int32_t>((static_cast<float>(x) - fEndX) * kAccuracy);
        for (int c = 0; c < 3; ++c, ++i) {
          const std::int32_t v = p[c];
          accu[i] += (kAccuracy - wY) * (kAccuracy - wX) * v / kAccuracy;
          if (out) out[i] = ToByte(accu[i] / nScale);
          carry[i] += v * (kAccuracy - wX) * wY / kAccuracy;
          accu[i + 3] += wX * v * (kAccuracy - wY) / kAccuracy;
          carry[i + 3] = wY * v * wX / kAccuracy;  // assigned: starts that pixel afresh
        }
        fEndX += xScale;
        ++u;
      }
    }
    if (u < newWidth && out) {
      for (int c = 0; c < 3; ++c) out[i + c] = ToByte(accu[i + c] / nScale);
    }
    std::swap(accu, carry);
    carry[0] = carry[1] = carry[2] = 0;
    ++outRow;
    fEndY += yScale;
  }
  if (outRow < newHeight) {
    std::uint8_t* out = target.GetBits() + std::size_t{outRow} * target.GetRowStride();
    for (std::size_t k = 0; k < 3 * std::size_t{newWidth}; ++k) out[k] = ToByte(accu[k] / nScale);
  }
  return true;
}

// Bilinear interpolation; palette images go through their palette colours and
// store the nearest palette index.
void Bilinear(const CCodecImage& source, CCodecImage& target, float xScale, float yScale) {
  const auto width = static_cast<std::int32_t>(source.GetWidth());
  const auto height = static_cast<std::int32_t>(source.GetHeight());
  const auto newWidth = static_cast<std::int32_t>(target.GetWidth());
  const auto newHeight = static_cast<std::int32_t>(target.GetHeight());
  for (std::int32_t y = 0; y < newHeight; ++y) {
    const float fY = static_cast<float>(y) * yScale;
    const std::int32_t y0 = std::min(height - 1, static_cast<std::int32_t>(fY));
    const std::int32_t y1 = std::min(height - 1, y0 + 1);
    const float dy = fY - static_cast<float>(y0);
    for (std::int32_t x = 0; x < newWidth; ++x) {
      const float fX = static_cast<float>(x) * xScale;
      const std::int32_t x0 = std::min(width - 1, static_cast<std::int32_t>(fX));
      const std::int32_t x1 = std::min(width - 1, x0 + 1);
      const float dx = fX - static_cast<float>(x0);
      const RgbQuad c1 = source.GetPixelColor(x0, y0);
      const RgbQuad c2 = source.GetPixelColor(x1, y0);
      const RgbQuad c3 = source.GetPixelColor(x0, y1);
      const RgbQuad c4 = source.GetPixelColor(x1, y1);
      const auto mix = [&](std::uint8_t v1, std::uint8_t v2, std::uint8_t v3, std::uint8_t v4) {
        const float value =
            (1.0f - dx) * (static_cast<float>(v1) * (1.0f - dy) + static_cast<float>(v3) * dy) +
            dx * (static_cast<float>(v2) * (1.0f - dy) + static_cast<float>(v4) * dy);
        return static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f));
      };
      target.SetPixelColor(
          x, y,
          RgbQuad{mix(c1.blue, c2.blue, c3.blue, c4.blue), mix(c1.green, c2.green, c3.green, c4.green),
                  mix(c1.red, c2.red, c3.red, c4.red), 0});
    }
  }
}

}  // namespace

bool CCodecImage::Flip() {
  if (!block) return false;
  CCodecImage result(attributes.format);
  if (!MakeLayoutTwin(result, GetWidth(), GetHeight())) return false;
  const std::uint32_t height = GetHeight();
  for (std::uint32_t y = 0; y < height; ++y) std::memcpy(result.Row(height - 1 - y), Row(y), rowStride);
  if (alphaPlane) {
    if (!result.AlphaCreate()) return false;
    std::memcpy(result.alphaPlane, alphaPlane, std::size_t{GetWidth()} * height);
    if (!result.AlphaFlip()) return false;
  }
  TakeFrom(result);
  return true;
}

bool CCodecImage::Mirror() {
  if (!block) return false;
  CCodecImage result(attributes.format);
  if (!MakeLayoutTwin(result, GetWidth(), GetHeight())) return false;
  const auto width = static_cast<std::int32_t>(GetWidth());
  const auto height = static_cast<std::int32_t>(GetHeight());
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* in = Row(static_cast<std::uint32_t>(y));
    std::uint8_t* out = result.Row(static_cast<std::uint32_t>(y));
    switch (GetBitCount()) {
      case 8:
        std::reverse_copy(in, in + width, out);
        break;
      case 24:
        for (std::int32_t x = 0; x < width; ++x) std::memcpy(out + 3 * (width - 1 - x), in + 3 * x, 3);
        break;
      default:
        for (std::int32_t x = 0; x < width; ++x) result.SetPixelIndex(width - 1 - x, y, GetPixelIndex(x, y));
        break;
    }
  }
  if (alphaPlane) {
    if (!result.AlphaCreate()) return false;
    std::memcpy(result.alphaPlane, alphaPlane, std::size_t{GetWidth()} * GetHeight());
    if (!result.AlphaMirror()) return false;
  }
  TakeFrom(result);
  return true;
}

bool CCodecImage::RotateLeft() { return TurnQuarter(false); }

bool CCodecImage::RotateRight() { return TurnQuarter(true); }

bool CCodecImage::TurnQuarter(bool clockwise) {
  if (!block) return false;
  const auto width = static_cast<std::int32_t>(GetWidth());
  const auto height = static_cast<std::int32_t>(GetHeight());
  CCodecImage result(attributes.format);
  if (!MakeLayoutTwin(result, height, width)) return false;
  // The source column of result row y and the source row of result column x.
  auto sourceX = [&](std::int32_t y) { return clockwise ? width - 1 - y : y; };
  auto sourceY = [&](std::int32_t x) { return clockwise ? x : height - 1 - x; };
  const bool palette = GetColorCount() != 0;
  for (std::int32_t y = 0; y < width; ++y) {
    for (std::int32_t x = 0; x < height; ++x) {
      if (palette) {
        result.SetPixelIndex(x, y, GetPixelIndex(sourceX(y), sourceY(x)));
      } else {
        result.SetPixelColor(x, y, GetPixelColor(sourceX(y), sourceY(x)));
      }
    }
  }
  if (alphaPlane) {
    if (!result.AlphaCreate()) return false;
    for (std::int32_t y = 0; y < width; ++y) {
      for (std::int32_t x = 0; x < height; ++x) result.AlphaSet(x, y, AlphaGet(sourceX(y), sourceY(x)));
    }
  }
  TakeFrom(result);
  return true;
}

bool CCodecImage::Resample(std::int64_t newWidth, std::int64_t newHeight) {
  if (!block || newWidth <= 0 || newHeight <= 0) return false;
  const std::uint32_t width = GetWidth();
  const std::uint32_t height = GetHeight();
  if (newWidth == width && newHeight == height) return true;
  CCodecImage result(attributes.format);
  if (!MakeLayoutTwin(result, newWidth, newHeight)) return false;

  const float xScale = static_cast<float>(width) / static_cast<float>(newWidth);
  const float yScale = static_cast<float>(height) / static_cast<float>(newHeight);
  if (newWidth < width && newHeight < height && GetBitCount() == 24) {
    if (!AreaAverage(*this, result, xScale, yScale)) return false;
  } else {
    Bilinear(*this, result, xScale, yScale);
  }

  if (alphaPlane) {
    if (!result.AlphaCreate()) return false;
    const auto lastX = static_cast<std::int32_t>(width) - 1;
    const auto lastY = static_cast<std::int32_t>(height) - 1;
    for (std::int32_t y = 0; y < newHeight; ++y) {
      const std::int32_t sy = std::min(lastY, static_cast<std::int32_t>(static_cast<float>(y) * yScale));
      for (std::int32_t x = 0; x < newWidth; ++x) {
        const std::int32_t sx = std::min(lastX, static_cast<std::int32_t>(static_cast<float>(x) * xScale));
        result.AlphaSet(x, y, AlphaGet(sx, sy));
      }
    }
  }
  TakeFrom(result);
  return true;
}
