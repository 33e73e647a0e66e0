#pragma once
// CChromakey: cuts a subject out of a photo taken in front of a blue or green
// screen. It keys on hue: a bell curve around the picked screen hues weighs
// every hue, and saturated pixels of key-like hue become transparent. The
// estimate is stretched (the darkest tenth becomes transparent), squared,
// freed from screen spill, cleaned at the edges from local foreground and
// background means, optionally feathered, refined by the Laplacian solver and
// optionally shaped by a level curve. A nearly grey key (white or black
// backdrop) has no hue to key on: the run then builds a trimap from colour
// distances and hands it to the inside/outside matting (m_greyKey = 1).
//
// The per-pixel work runs in two striped passes: the first writes each
// pixel's alpha into m_estimate, the edge pass reads the alphas of the rows
// around its own, so it starts only once every stripe has finished the first
// pass. The edge pass works only where its whole window lies inside the
// picture, striped or not, so a striped run equals a run as one task.
//
// A cancel of the algorithm thread's job, seen during the estimate or after
// any later stage of the hue path, ends the run at once: the target is left
// a copy of the source and Process returns 0. The grey path's matting runs to
// its end.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "algorithms/Algorithm.h"
#include "filters/matting/MattingColor.h"
#include "image/BgraImage16.h"
#include "image/Plane16.h"

// The parameter block, a stored 360-byte record (step 38 of automation
// schemes). Key colours are working-space pixels: u16 B, G, R, A packed
// little-endian into a u64, blue in the low bits.
struct ChromakeyParams {
  static constexpr std::size_t kMaxKeyColors = 10;
  static constexpr std::size_t kCurveSize = 256;

  std::uint16_t size = 360;
  std::uint8_t padding0[6] = {};
  std::uint64_t keyColors[kMaxKeyColors] = {};
  std::uint8_t keyColorCount = 0;  // 0 to 10
  std::uint8_t spare0 = 0;
  std::uint16_t toleranceBelow = 2000;   // bell-curve spread, in 16-bit hue units, below the key hue
  std::uint16_t toleranceAbove = 2000;   // the same above it
  std::uint8_t relativeChromaShare = 0;  // percent of the chroma taken relative to the lightness
  std::uint8_t edgeRadius = 2;           // window radius of the edge pass; 0: no edge pass
  std::uint8_t spillStrength = 0;        // 0 to 255; 0: no spill correction
  std::uint8_t featherRadius = 0;        // Gaussian blur of the alpha; 0: none
  std::uint8_t spare1[2] = {};
  std::int32_t adapt = 0;  // non-zero: snap the key to the photo's nearest colour, apply the level curve
  std::uint8_t levelCurve[kCurveSize] = {};  // output alpha for 256 evenly spaced input alphas
};
static_assert(sizeof(ChromakeyParams) == 360);
static_assert(offsetof(ChromakeyParams, keyColors) == 8);
static_assert(offsetof(ChromakeyParams, keyColorCount) == 88);
static_assert(offsetof(ChromakeyParams, spare0) == 89);
static_assert(offsetof(ChromakeyParams, toleranceBelow) == 90);
static_assert(offsetof(ChromakeyParams, toleranceAbove) == 92);
static_assert(offsetof(ChromakeyParams, relativeChromaShare) == 94);
static_assert(offsetof(ChromakeyParams, edgeRadius) == 95);
static_assert(offsetof(ChromakeyParams, spillStrength) == 96);
static_assert(offsetof(ChromakeyParams, featherRadius) == 97);
static_assert(offsetof(ChromakeyParams, adapt) == 100);
static_assert(offsetof(ChromakeyParams, levelCurve) == 104);

// The one place a block is made safe to use: the key-colour count (a byte
// from scheme files) is held to the 10 colours the block has, the relative
// chroma share to 100 percent.
void ValidateChromakeyParams(ChromakeyParams& block);
// The stored record, field by field, little-endian; spare and padding bytes
// are written as 0.
std::array<std::uint8_t, sizeof(ChromakeyParams)> ChromakeyParamsToBytes(const ChromakeyParams& block);
// Reads a stored record and validates it; 0 (block untouched) when fewer
// than 360 bytes are given.
[[nodiscard]] int ChromakeyParamsFromBytes(std::span<const std::uint8_t> bytes, ChromakeyParams& block);

class CChromakey : public CAlgorithm {
public:
  static constexpr std::size_t kTableSize = 65536;

  CChromakey() = default;
  ~CChromakey() override = default;

  // Needs m_source, m_target and m_params; writes every target pixel. 1, or
  // 0 when memory runs out, the refinement finds no alpha to solve (none
  // between 16 and 240 in its high byte), the grey path's matting fails, or
  // the job was cancelled.
  [[nodiscard]] int Process() override;
  // The first pass or the edge pass, whichever Process is running.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;

  // The pixel's luminance and alpha with the colour's chroma (integer YCbCr).
  static Pixel16 TransferChroma(const std::uint16_t* pixel, const std::uint16_t* colour);
  // The edge pass's alpha (0 to 1) of pixel between the local foreground and
  // background means; 0 where the means coincide or the pixel is the
  // background (the formula's limits there).
  static double EdgeAlpha(const std::uint16_t* pixel, const std::uint16_t* foreground,
                          const std::uint16_t* background);
  // (6 G + 3 R + B) / 10.
  static std::uint32_t Luma(const std::uint16_t* pixel);

  // The square table (once per object), the spill curves and the hue weights
  // for m_block and m_key. 0 when memory runs out.
  [[nodiscard]] int PrepareTables();

  ChromakeyParams m_block;
  std::uint64_t m_key = 0;                        // the key colour of this run
  std::int32_t m_greyKey = 0;                     // 1 when this run took the grey path
  CPlane16 m_estimate;                            // the alpha estimate, then each pixel's alpha
  std::unique_ptr<std::int32_t[]> m_squareTable;  // a^2 / 65536
  std::unique_ptr<std::uint16_t[]> m_hueWeights;  // weight of every 16-bit hue
  // The spill curves, 65536 entries each, in pixel channel order: B, G, R.
  std::unique_ptr<std::uint16_t[]> m_channelLuts;

private:
  enum class Pass { kFirst, kEdge };

  void ChooseKey();
  [[nodiscard]] int EstimateAlpha();
  // 1 when the job was cancelled; the target is then restored from the source.
  int Cancelled();
  [[nodiscard]] int RunPass(Pass pass, std::int32_t overlap, std::int32_t lo, std::int32_t hi);
  void FirstPass(const StripeTask& task);
  [[nodiscard]] int EdgePass(const StripeTask& task);
  [[nodiscard]] int Feather();
  [[nodiscard]] int Refine();
  [[nodiscard]] int ApplyLevelCurve();
  [[nodiscard]] int GreyPath();

  Pass m_pass = Pass::kFirst;
};
