#pragma once
// Blend modes of layers and filter results, and BlendPixel16, the per-pixel
// combination of a base pixel (what lies below) with a blend pixel (the layer
// or filter result above) in the 16-bit working space. Each caller mixes the
// result with the base by its own opacity and alpha rule.

#include <array>
#include <cstdint>
#include <string_view>

enum BlendMode : std::uint8_t {
  kBlendNormal = 0,
  kBlendDarken = 1,
  kBlendLighten = 2,
  kBlendReserved3 = 3,  // behaves as normal
  kBlendReserved4 = 4,  // behaves as normal
  kBlendMultiply = 5,
  kBlendScreen = 6,
  kBlendOverlay = 7,
  kBlendHardLight = 8,
  kBlendSoftLight = 9,
  kBlendDifference = 10,
};

inline constexpr std::uint8_t kBlendModeLast = kBlendDifference;

// The blend-mode menu: command id = kBlendMenuFirstId + mode.
inline constexpr std::int32_t kBlendMenuFirstId = 23000;

struct BlendModeText {
  BlendMode mode;
  std::string_view textKey;
  std::string_view tooltipKey;  // empty: none
};

// The modes offered to the user, in menu order (the reserved modes have no
// text and no menu entry).
inline constexpr std::array<BlendModeText, 9> kBlendModeTexts{{
    {kBlendNormal, "bmnormal", ""},
    {kBlendDarken, "bmdarken", "mtipDarken"},
    {kBlendLighten, "bmlighten", "mtipLighten"},
    {kBlendMultiply, "bmmul", "mtipMul"},
    {kBlendScreen, "bmscreen", "mtipScreen"},
    {kBlendOverlay, "bmoverlay", "mtipOverlay"},
    {kBlendHardLight, "bmhardlight", "mtipHard"},
    {kBlendSoftLight, "bmsoftlight", "mtipSoft"},
    {kBlendDifference, "bmdif", "mtipdif"},
}};

// Pixels are four u16 samples B, G, R, A. index is the mode minus 1 (0..9).
// Writes B, G and R of out and leaves its alpha, except for indexes 2 and 3
// (the reserved modes), which copy the whole blend pixel, alpha included; an
// index outside 0..9 does the same. Callers use it only for modes 1..10 and
// take the blend pixel unchanged for mode 0 and above 10. out may alias base
// or blend.
void BlendPixel16(const std::uint16_t* base, const std::uint16_t* blend, std::uint16_t* out, int index);

// 1 when a layer or filter of this mode goes through BlendPixel16.
inline bool UsesBlendPixel(std::uint8_t mode) { return mode >= 1 && mode <= kBlendModeLast; }
