#pragma once
// The mask of the colour range dialog: which pixels of a layer lie in a
// hue band and in the checked tonal zones (highlight, midtone, shadow),
// optionally kept only on luminance edges; and the preview picture of such a
// mask over the layer.
//
// For each layer pixel (16-bit B, G, R) with hue h and lightness L from
// GetPixelHue:
//   hue value  t = o z weight(h) / 65536, o the saturation (up to 256), z the
//              lightness fade (up to 256), weight the band of the hue
//              selector (BuildHueWeights);
//   tone value C = the union of the checked zones over the luminance
//              w = (6G + 3R + B) / 10, each zone a ramp between sRGB codes
//              (highlight 160 to 192, midtone 64 to 100 and 160 to 192,
//              shadow 64 to 100) taken through SrgbToLinearTable;
//   mask       t C / 255 with hue and zones, t with hue only, C with zones
//              only, 255 with neither (edge alone).
// The edge option then multiplies every mask byte inside the layer's part of
// the document by its luminance gradient (the larger of the vertical and
// horizontal three-pixel differences, at most 255) and clears the part's
// border rows and columns.
//
// All arithmetic is integer and follows these formulas exactly; the work is
// done through a 65536-entry weight table per hue and per luminance, so
// that the dialog can build the mask of a large layer on the UI thread.
// Only the part of the layer that lies on the document is read; the rest of
// the document gets 0.

#include <array>
#include <cstdint>
#include <span>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

struct ColorRangeOptions {
  std::array<std::int32_t, 4> handles{};  // bar values of the selector, ascending
  std::int32_t marker = 0;
  bool hue = false;
  bool highlight = false;
  bool midtone = false;
  bool shadow = false;
  bool edge = false;

  bool Any() const { return hue || highlight || midtone || shadow || edge; }
  bool AnyZone() const { return highlight || midtone || shadow; }
};

// A layer placed on a document.
struct PlacedImage {
  const CBgraImage16* image = nullptr;
  std::int32_t x = 0;
  std::int32_t y = 0;
};

inline constexpr std::size_t kHueWeightCount = 65536;

// weight(i) for every hue i: the bar position c = (i + marker) mod 65536
// rises from handle 0 to handle 1, is 255 up to handle 2 and falls to 0 at
// handle 3 (integer ramps, truncated).
void BuildHueWeights(const std::array<std::int32_t, 4>& handles, std::int32_t marker,
                     std::span<std::uint8_t, kHueWeightCount> weights);

// The tone value C of the checked zones for every luminance 0..65535 (all 0
// without a zone).
void BuildToneWeights(const ColorRangeOptions& options, std::span<std::uint8_t, kHueWeightCount> weights);

// mask becomes width x height (the document). 0 when there is no image, no
// option, or memory is short; the mask is then freed.
[[nodiscard]] int BuildColorRangeMask(const PlacedImage& layer, std::uint32_t width, std::uint32_t height,
                                      const ColorRangeOptions& options, CPlane8& mask);

// The preview of the dialog, picture of the mask's size: each pixel the
// layer's pixel in 8 bits (transparent off the layer); style 1 puts the mask
// into B, G and R, style 2 multiplies the alpha by mask / 255; then every
// pixel below full alpha is mixed toward a checkerboard of 8-pixel squares
// (grey 160 and 240) and made opaque. 0 when memory is short.
[[nodiscard]] int RenderColorRangePreview(const PlacedImage& layer, const CPlane8& mask, std::int32_t style,
                                          CBgraImage& picture);
