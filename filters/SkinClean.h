#pragma once
// CSkinClean: smooths skin in a portrait. An 8-bit skin mask follows from
// how close every pixel's hue, saturation and lightness are to a reference
// skin colour (then eroded and softened); within it the picture is
// optionally lightened (the film adjustment's exposure) and tinted toward
// pink, smoothed by a mask-weighted separable Gaussian (or by the noise
// reduction) and blended back by mask and amount; a fine grain can follow so
// that smoothed skin keeps some texture. Pixels outside the skin come back
// unchanged.
//
// Runs on the calling thread; only the nested film adjustment and noise
// reduction cut their work into stripes. A cancel of the algorithm thread's
// job seen while the mask is built ends the run before the target is
// written; seen during the smoothing it ends the smoothing early (the
// target then keeps the toned pixels not yet smoothed), and the blend and
// grain still run.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

// The parameter block: stored in history steps ("hisSkin") and automation
// schemes (step 37), 40 bytes little-endian. Colours are working-space
// pixels: u16 B, G, R, A packed into a u64, blue in the low bits.
struct SkinCleanParams {
  static constexpr std::int32_t kMinRadius = 1;
  static constexpr std::int32_t kMaxRadius = 16;
  static constexpr std::int32_t kMaxAmount = 100;
  static constexpr std::int32_t kMaxTint = 100;
  static constexpr std::uint64_t kDefaultSkinColour =
      12000ull | 18000ull << 16 | 30000ull << 32 | 65535ull << 48;

  std::uint16_t size = 40;
  std::uint8_t spare0[2] = {};
  std::int32_t radius = 4;          // sigma of the smoothing kernel in pixels, 1 to 16
  std::int32_t amount = 50;         // percent of the final blend, 0 to 100; 0 skips the smoothing
  std::int32_t lightness = 0;       // the film adjustment's exposure; the dialog offers -3 to 7
  std::int32_t tint = 0;            // toward pink, 0 to 100
  std::int32_t noiseReduction = 0;  // non-zero: smooth with CNoiseReduction instead of the kernel
  std::int32_t texture = 0;         // non-zero: add grain at the end
  std::uint8_t spare1[4] = {};
  std::uint64_t skinColour = kDefaultSkinColour;  // the reference skin colour
};
static_assert(sizeof(SkinCleanParams) == 40);
static_assert(offsetof(SkinCleanParams, radius) == 4);
static_assert(offsetof(SkinCleanParams, amount) == 8);
static_assert(offsetof(SkinCleanParams, lightness) == 12);
static_assert(offsetof(SkinCleanParams, tint) == 16);
static_assert(offsetof(SkinCleanParams, noiseReduction) == 20);
static_assert(offsetof(SkinCleanParams, texture) == 24);
static_assert(offsetof(SkinCleanParams, spare1) == 28);
static_assert(offsetof(SkinCleanParams, skinColour) == 32);

// The one place a block is made safe: the radius is held to 1..16 (the
// kernel divides by it, and its centre weight keeps every smoothing sum
// above 0), the amount and the tint to 0..100 (the tint's knee would
// overflow far beyond).
void ValidateSkinCleanParams(SkinCleanParams& block);
// The stored record, field by field; spare bytes are written as 0.
std::array<std::uint8_t, sizeof(SkinCleanParams)> SkinCleanParamsToBytes(const SkinCleanParams& block);
// Reads a stored record: a fresh block overlaid with as many stored bytes as
// the record's size word says (at most 40), then validated. 0 (block
// untouched) when fewer bytes are given than that.
[[nodiscard]] int SkinCleanParamsFromBytes(std::span<const std::uint8_t> bytes, SkinCleanParams& block);

class CSkinClean : public CAlgorithm {
public:
  static constexpr std::size_t kTableSize = 65536;
  static constexpr std::size_t kKernelSize = 256;
  static constexpr std::int32_t kKernelCentre = 128;

  // The own block starts with a zero skin colour: a caller's block shorter
  // than 40 bytes leaves it so.
  CSkinClean() { m_block.skinColour = 0; }
  ~CSkinClean() override = default;

  // Needs m_source, m_target (another record) and m_params (at most 40 bytes
  // are taken). 1 on success and on cancel, 0 when an image is missing,
  // memory runs out or a nested algorithm fails.
  [[nodiscard]] int Process() override;

  // The smoothing kernel for m_block.radius: m_kernel and its half-length
  // m_kernelHalf (the index of the first zero weight from the centre, or 128).
  void BuildKernel();
  // The saturation (slope 2.0, offset 0.3) and lightness (2.5, 0.2) tables of
  // the skin mask for the reference colour's component: below it a ramp
  // from 0 at offset / slope of it to 255 at (1 + offset) / slope of it,
  // then 255 up to half-way from it to 65535, then down to 0 at 65535 (255
  // throughout when the reference is 65535).
  static void FillRampTable(std::span<std::uint8_t, kTableSize> table, std::uint32_t reference, double slope,
                            double offset);
  // Every later run draws its grain from this seed instead of the clock. The
  // grain seeds the calling thread's runtime generator (RuntimeRandom.h).
  void PinGrainSeed(std::uint32_t seed) { m_pinnedSeed = seed; }

  SkinCleanParams m_block;
  CPlane8 m_mask;  // 0 no skin, 255 surely skin
  std::array<std::int32_t, kKernelSize> m_kernel{};
  std::int32_t m_kernelHalf = 0;
  CBgraImage16 m_toned;  // the source lightened and tinted within the skin

private:
  [[nodiscard]] int BuildSkinMask();
  [[nodiscard]] int ToneSkin();
  [[nodiscard]] int SmoothMasked();
  // count pixels of a line, step pixels apart, smoothed by the kernel
  // weighted by the mask; pixels outside the skin are copied.
  void BlurLineMasked(const std::uint16_t* source, std::uint16_t* result, const std::uint8_t* mask,
                      std::size_t count, std::size_t step) const;
  void BlendResult();
  [[nodiscard]] int AddGrain();

  std::optional<std::uint32_t> m_pinnedSeed;
};
