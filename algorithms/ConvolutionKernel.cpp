#include "algorithms/ConvolutionKernel.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "image/PixelBlock.h"

namespace {

struct Tap {
  std::int64_t dx;
  std::int64_t dy;
  std::int64_t weight;
};

// The non-zero weights with their offsets from the output pixel.
std::unique_ptr<Tap[]> NonZeroTaps(const ConvolutionKernel& kernel, std::size_t& count) {
  count = 0;
  const std::int64_t total = std::int64_t{kernel.width} * kernel.height;
  auto taps = AllocWorkArray<Tap>(static_cast<std::uint64_t>(total));
  if (!taps) return nullptr;
  for (std::int32_t ky = 0; ky < kernel.height; ++ky) {
    for (std::int32_t kx = 0; kx < kernel.width; ++kx) {
      const std::int32_t w = kernel.weights[std::int64_t{ky} * kernel.width + kx];
      if (w != 0) {
        taps[count++] = {std::int64_t{kx} - kernel.anchorX, std::int64_t{ky} - kernel.anchorY, w};
      }
    }
  }
  return taps;
}

// Writes the first `channels` samples of every pixel of destination from
// source (same size, distinct records), clamped to 0..maxValue.
template <typename Record>
[[nodiscard]] int Convolve(const ConvolutionKernel& kernel, const Record& source, Record& destination,
                           int channels, std::int64_t maxValue) {
  constexpr std::int64_t C = Record::kChannels;
  std::size_t count = 0;
  auto taps = NonZeroTaps(kernel, count);
  if (!taps) return 0;
  const std::int64_t w = source.width;
  const std::int64_t h = source.height;
  for (std::int64_t y = 0; y < h; ++y) {
    auto* out = destination.Row(static_cast<std::uint32_t>(y));
    for (std::int64_t x = 0; x < w; ++x) {
      std::int64_t sum[4] = {};
      for (std::size_t t = 0; t < count; ++t) {
        const Tap& tap = taps[t];
        const auto sy = static_cast<std::uint32_t>(std::clamp<std::int64_t>(y + tap.dy, 0, h - 1));
        const auto sx = static_cast<std::uint32_t>(std::clamp<std::int64_t>(x + tap.dx, 0, w - 1));
        const auto* p = source.At(sx, sy);
        for (int c = 0; c < channels; ++c) sum[c] += tap.weight * p[c];
      }
      for (int c = 0; c < channels; ++c) {
        out[x * C + c] = static_cast<typename Record::SampleType>(
            std::clamp<std::int64_t>(sum[c] / kernel.divisor, 0, maxValue));
      }
    }
  }
  return 1;
}

// Convolve with a copy of the source when both are one picture.
template <typename Record>
[[nodiscard]] int ConvolveMaybeInPlace(const ConvolutionKernel& kernel, const Record& source,
                                       Record& destination, int channels, std::int64_t maxValue) {
  if (&source != &destination) return Convolve(kernel, source, destination, channels, maxValue);
  Record copy;
  if (!copy.Create(source.width, source.height)) return 0;
  std::memcpy(copy.pixels, source.pixels, source.byteSize);
  return Convolve(kernel, copy, destination, channels, maxValue);
}

}  // namespace

int ConvolutionKernel::IsUsable() const {
  return weights && width >= 1 && height >= 1 && std::int64_t{width} * height <= kMaxConvolutionWeights &&
                 divisor != 0
             ? 1
             : 0;
}

int ConvolutionKernel::ApplyToImage16(const CBgraImage16& source, CBgraImage16& destination) const {
  if (!IsUsable() || source.IsEmpty()) return 0;
  if (&source == &destination) return ConvolveMaybeInPlace(*this, source, destination, 3, 65535);
  if (!destination.CopyFrom(source)) return 0;
  return Convolve(*this, source, destination, 3, 65535);
}

int ConvolutionKernel::ApplyToImage8(const CBgraImage& source, CBgraImage& destination) const {
  if (!IsUsable() || source.IsEmpty() || destination.IsEmpty() || destination.width != source.width ||
      destination.height != source.height) {
    return 0;
  }
  return ConvolveMaybeInPlace(*this, source, destination, 3, 255);
}

int ConvolutionKernel::ApplyToPlane16(const CPlane16& source, CPlane16& destination) const {
  if (!IsUsable() || source.IsEmpty() || destination.IsEmpty() || destination.width != source.width ||
      destination.height != source.height) {
    return 0;
  }
  return ConvolveMaybeInPlace(*this, source, destination, 1, 65535);
}
