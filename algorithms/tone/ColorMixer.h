#pragma once
// CColorMixer: each output channel as a weighted sum of the input channels
// plus a constant, or (luma mode) only the luminance so, the chroma of the
// picture kept. Weights are percent of an input channel, constants percent of
// 65535; every term is an integer quotient truncated toward zero, and each
// result is clamped to 0..65535. The defaults reproduce the picture. Not
// striped.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"

// The parameter block: stored in history steps (type 19, "hisColorMix") and
// automation schemes, 72 bytes little-endian.
struct ColorMixerParams {
  static constexpr std::int32_t kLimit = 200;  // every weight and constant: -200..200

  struct Row {  // one output
    std::int32_t red = 0;
    std::int32_t green = 0;
    std::int32_t blue = 0;
    std::int32_t constant = 0;
  };
  std::uint16_t size = 72;
  std::uint8_t reserved0[2] = {};
  std::int32_t mode = 0;  // 0 mixes R, G and B; 1 replaces only the luminance
  Row redOut{100, 0, 0, 0};
  Row greenOut{0, 100, 0, 0};
  Row blueOut{0, 0, 100, 0};
  Row lumaOut{30, 60, 10, 0};
};
static_assert(sizeof(ColorMixerParams::Row) == 16);
static_assert(sizeof(ColorMixerParams) == 72);
static_assert(offsetof(ColorMixerParams, mode) == 4);
static_assert(offsetof(ColorMixerParams, redOut) == 8);
static_assert(offsetof(ColorMixerParams, greenOut) == 24);
static_assert(offsetof(ColorMixerParams, blueOut) == 40);
static_assert(offsetof(ColorMixerParams, lumaOut) == 56);

// The one place a block is made safe: the mode becomes 0 or 1 (any non-zero
// value is the luma mode), weights and constants are held to -200..200, the
// range of the dialog's sliders.
void ValidateColorMixerParams(ColorMixerParams& block);
std::array<std::uint8_t, sizeof(ColorMixerParams)> ColorMixerParamsToBytes(const ColorMixerParams& block);
// A fresh block (the defaults) overlaid with as many stored bytes as the
// record's size word says (at most 72), then validated. 0 (block untouched)
// when fewer bytes are given than that.
[[nodiscard]] int ColorMixerParamsFromBytes(std::span<const std::uint8_t> bytes, ColorMixerParams& block);

class CColorMixer : public CAlgorithm {
public:
  // Reads the block m_params points to (a shorter size word leaves the rest
  // of m_block as it is), then mixes m_source into m_target and reports 100.
  // 0 for a missing block, source or target, or exhausted memory. Source and
  // target may be one picture.
  [[nodiscard]] int Process() override;
  // Mode 0 by m_block's three output rows, source into target (made the
  // source's size); 0 for an empty source or exhausted memory.
  [[nodiscard]] int MixChannels(const CBgraImage16& source, CBgraImage16& target) const;
  // Mode 1: target, a picture of the source's size (or the source itself),
  // to YCbCr; its Y becomes the luma row's mix of the source's R, G and B;
  // back to RGB. 0 when the sizes differ or memory is exhausted.
  [[nodiscard]] int MixLuminance(const CBgraImage16& source, CBgraImage16& target) const;

  ColorMixerParams m_block;
};
