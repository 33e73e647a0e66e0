#pragma once
// The storage shared by the four pixel containers: an owned block, the
// aligned pixel pointer and the size fields, with rows top-down and no
// padding. Records are movable, not copyable (CopyFrom makes copies).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <utility>

#include "image/PixelBlock.h"

template <typename Sample, std::uint32_t Channels>
struct PixelRecord {
  using SampleType = Sample;
  static constexpr std::uint32_t kChannels = Channels;
  static constexpr std::uint32_t kBytesPerPixel = sizeof(Sample) * Channels;

  PixelBlock block;
  Sample* pixels = nullptr;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t byteSize = 0;
  std::uint32_t pixelCount = 0;

  PixelRecord() = default;
  PixelRecord(const PixelRecord&) = delete;
  PixelRecord& operator=(const PixelRecord&) = delete;
  PixelRecord(PixelRecord&& other) noexcept { Swap(other); }
  PixelRecord& operator=(PixelRecord&& other) noexcept {
    if (this != &other) {
      PixelRecord gone(std::move(other));
      Swap(gone);
    }
    return *this;
  }

  bool IsEmpty() const { return pixels == nullptr; }
  std::size_t Stride() const { return std::size_t{width} * Channels; }  // in samples
  Sample* Row(std::uint32_t y) { return pixels + y * Stride(); }
  const Sample* Row(std::uint32_t y) const { return pixels + y * Stride(); }
  Sample* At(std::uint32_t x, std::uint32_t y) { return Row(y) + std::size_t{x} * Channels; }
  const Sample* At(std::uint32_t x, std::uint32_t y) const { return Row(y) + std::size_t{x} * Channels; }
  std::span<Sample> Samples() { return {pixels, IsEmpty() ? 0 : std::size_t{width} * height * Channels}; }
  std::span<const Sample> Samples() const {
    return {pixels, IsEmpty() ? 0 : std::size_t{width} * height * Channels};
  }

  void Swap(PixelRecord& other) noexcept {
    std::swap(block, other.block);
    std::swap(pixels, other.pixels);
    std::swap(width, other.width);
    std::swap(height, other.height);
    std::swap(byteSize, other.byteSize);
    std::swap(pixelCount, other.pixelCount);
  }

protected:
  // Takes a new block of w x h pixels and sets every field; on failure
  // (memory, or above kMaxImagePixels) nothing changes and false returns.
  [[nodiscard]] bool Allocate(std::uint32_t w, std::uint32_t h) {
    const std::uint64_t bytes = PixelByteCount(w, h, kBytesPerPixel);
    if (bytes == 0) return false;
    PixelBlock fresh = AllocPixelBlock(bytes + 16);
    if (!fresh) return false;
    pixels = reinterpret_cast<Sample*>(AlignedPixels(fresh.get()));
    block = std::move(fresh);
    width = w;
    height = h;
    byteSize = static_cast<std::uint32_t>(bytes);
    pixelCount = w * h;
    return true;
  }

  // Create of the two images: a zero side counts as 1, an unchanged size
  // keeps the block and its contents, a failure leaves the record empty.
  [[nodiscard]] int CreateImage(std::uint32_t w, std::uint32_t h) {
    w = w ? w : 1;
    h = h ? h : 1;
    if (pixels && width == w && height == h) return 1;
    ZeroFields();
    return Allocate(w, h) ? 1 : 0;
  }

  // CopyFrom of the two images: a block of equal byte size is reused and
  // takes the source's shape.
  [[nodiscard]] int CopyImage(const PixelRecord& source) {
    if (!source.pixels) return 0;
    if (&source == this) return 1;
    const std::uint64_t bytes = std::uint64_t{source.width} * source.height * kBytesPerPixel;
    if (pixels && byteSize == bytes) {
      width = source.width;
      height = source.height;
      pixelCount = source.pixelCount;
    } else if (!CreateImage(source.width, source.height)) {
      return 0;
    }
    std::memcpy(pixels, source.pixels, byteSize);
    return 1;
  }

  void ZeroFields() {
    block.reset();
    pixels = nullptr;
    width = height = byteSize = pixelCount = 0;
  }
};
