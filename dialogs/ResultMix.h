#pragma once
// The two mixes that end an adjustment run: the result against the image as
// it was before the run, by blend mode and opacity (BlendResultMix), then
// limited to a document-sized plane (MaskResultMix): 255 keeps the result, 0
// keeps the image as it was, values between mix the two. Single passes in
// integer arithmetic, no extra buffers.

#include <cstdint>

struct CBgraImage16;
struct CPlane8;

// n / 255 truncated toward zero, by multiply and shift, for |n| below 2^31.
inline std::int32_t DivideBy255(std::int32_t n) {
  const std::uint64_t magnitude =
      n < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(n)) : static_cast<std::uint64_t>(n);
  const auto q = static_cast<std::int32_t>((magnitude * 0x80808081ULL) >> 39);
  return n < 0 ? -q : q;
}

// Limits result to plane: the layer lies at (x0, y0) in a document of the
// plane's size; pixels outside the document keep the result. Mask 0 takes
// the whole before pixel (alpha too); other values below 255 move B, G and R
// toward before by (255 - m) / 255 and keep the result's alpha. Nothing
// happens when the images differ in size or the plane has no pixels.
void MaskResultMix(CBgraImage16& result, const CBgraImage16& before, const CPlane8& plane, std::int32_t x0,
                   std::int32_t y0);

// Mixes result with before: modes 1..10 combine them with BlendPixel16
// (before as base), any other mode takes the result; then, below opacity
// 100, B, G and R become ((100 - opacity) x before + opacity x combined) /
// 100. Alpha stays the result's. Nothing happens when the sizes differ.
void BlendResultMix(CBgraImage16& result, const CBgraImage16& before, std::uint16_t blendMode,
                    std::uint16_t opacity);
