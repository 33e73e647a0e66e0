// Channel extraction into planes and the union and difference of two masks.

#include <cstring>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/Plane16.h"
#include "image/Plane8.h"

namespace {

template <typename Plane, typename Image>
[[nodiscard]] int CopyChannelInto(Plane& plane, const Image& source, int channel) {
  if (source.IsEmpty() || channel < 0 || channel > 3 || !plane.Create(source.width, source.height)) return 0;
  const auto* in = source.pixels + channel;
  for (std::uint32_t i = 0; i < source.pixelCount; ++i, in += 4) plane.pixels[i] = *in;
  return 1;
}

// Combines every byte that has a non-zero partner; a plane that is empty or
// of another size becomes a copy of other.
template <typename Combine>
[[nodiscard]] int CombinePlanes(CPlane8& plane, const CPlane8& other, Combine combine) {
  if (plane.IsEmpty() || other.IsEmpty() || plane.width != other.width || plane.height != other.height) {
    return plane.CopyFrom(other);
  }
  for (std::uint32_t i = 0; i < plane.byteSize; ++i) {
    const int q = other.pixels[i];
    if (q) plane.pixels[i] = static_cast<std::uint8_t>(combine(plane.pixels[i], q));
  }
  return 1;
}

}  // namespace

int CPlane8::CopyChannel(const CBgraImage& source, int channel) {
  return CopyChannelInto(*this, source, channel);
}

int CPlane16::CopyChannel(const CBgraImage16& source, int channel) {
  return CopyChannelInto(*this, source, channel);
}

int CPlane8::AddPlane(const CPlane8& other) {
  return CombinePlanes(*this, other, [](int p, int q) { return p + (255 - p) * q / 255; });
}

int CPlane8::SubtractPlane(const CPlane8& other) {
  return CombinePlanes(*this, other, [](int p, int q) { return p - p * q / 255; });
}
