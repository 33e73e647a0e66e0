#pragma once
// JpegOptimizeParams: the parameter block of CJpegOptimize and the body of
// every JPEG preset, so its 2368 bytes are a file format. Offsets are
// pinned; the three image references mean something only in memory and are
// stored as zero (JpegOptimizeParamsToBytes).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

struct CBgraImage;

enum JpegChromaMode : std::uint8_t {
  kChromaSubsampled = 0,  // 2 x 2
  kChromaFull = 1,
  kChromaDetect = 2,
};

enum JpegMetadataMode : std::uint8_t {
  kMetadataNone = 0,
  kMetadataLimited = 1,  // RewriteImageMetadata
  kMetadataAll = 2,      // ImageInfo::CopyToFile
};

enum JpegSizeMode : std::uint8_t {
  kSizeKeep = 0,
  kSizeWidth = 1,
  kSizeHeight = 2,
  kSizeLongSide = 3,
  kSizeTotalPixels = 4,
};

enum JpegSizePolicy : std::uint8_t {
  kPolicyNone = 0,
  kPolicyShrink = 1,
  kPolicyQuality = 2,
};

enum JpegRunFlags : std::uint8_t {
  kRunEncode = 2,   // encode, and write when a path is given
  kRunMeasure = 4,  // measure only, never write
};

struct JpegOptimizeParams {
  static constexpr std::size_t kPathLength = 1024;
  static constexpr std::size_t kStoredSize = 2368;

  std::uint8_t version = 2;  // always 2; not interpreted
  std::uint8_t pad0[3] = {};
  std::int32_t quality = 90;      // 1..100
  std::uint8_t chromaMode = 0;    // JpegChromaMode
  std::uint8_t metadataMode = 0;  // JpegMetadataMode, used by the callers
  std::uint8_t adaptive = 0;      // try the image's own luminance table
  std::uint8_t optimiseMore = 0;  // DCT-domain smoothing of bright and dark blocks
  std::int32_t softening = 0;     // 0..100 percent
  std::uint8_t sizeMode = 0;      // JpegSizeMode
  std::uint8_t pad1[3] = {};
  std::int32_t sizeValue = 0;   // pixels; a pixel count for kSizeTotalPixels
  std::uint8_t sizePolicy = 0;  // JpegSizePolicy
  std::uint8_t pad2[3] = {};
  std::int32_t targetKb = 0;  // 1024-byte units
  std::uint8_t runFlags = 0;  // JpegRunFlags
  std::uint8_t pad3 = 0;
  std::array<char16_t, kPathLength> path{};  // terminated; empty writes nothing
  std::uint8_t pad4[6] = {};
  const CBgraImage* source = nullptr;  // run time: the 8-bit source
  CBgraImage* working = nullptr;       // run time: receives the decoded result
  const CBgraImage* third = nullptr;   // run time: set by callers, not read
  std::uint8_t reserved[256] = {};
};
static_assert(sizeof(void*) == 8, "the block keeps each image reference in 8 bytes");
static_assert(sizeof(JpegOptimizeParams) == JpegOptimizeParams::kStoredSize);
static_assert(offsetof(JpegOptimizeParams, quality) == 4);
static_assert(offsetof(JpegOptimizeParams, chromaMode) == 8);
static_assert(offsetof(JpegOptimizeParams, metadataMode) == 9);
static_assert(offsetof(JpegOptimizeParams, adaptive) == 10);
static_assert(offsetof(JpegOptimizeParams, optimiseMore) == 11);
static_assert(offsetof(JpegOptimizeParams, softening) == 12);
static_assert(offsetof(JpegOptimizeParams, sizeMode) == 16);
static_assert(offsetof(JpegOptimizeParams, sizeValue) == 20);
static_assert(offsetof(JpegOptimizeParams, sizePolicy) == 24);
static_assert(offsetof(JpegOptimizeParams, targetKb) == 28);
static_assert(offsetof(JpegOptimizeParams, runFlags) == 32);
static_assert(offsetof(JpegOptimizeParams, path) == 34);
static_assert(offsetof(JpegOptimizeParams, source) == 2088);
static_assert(offsetof(JpegOptimizeParams, working) == 2096);
static_assert(offsetof(JpegOptimizeParams, third) == 2104);
static_assert(offsetof(JpegOptimizeParams, reserved) == 2112);

// The one place a block is made safe before a run: quality held to 1..100,
// softening to 0..100; an unknown chroma mode becomes detection, an unknown
// metadata mode none, an unknown size mode or a size value below 1 keeps
// the size, an unknown policy none, a negative target 0; the path is
// terminated. The references are left alone.
void ValidateJpegOptimizeParams(JpegOptimizeParams& block);

// The stored form, field by field little-endian, references as zero.
void JpegOptimizeParamsToBytes(const JpegOptimizeParams& block,
                               std::span<std::uint8_t, JpegOptimizeParams::kStoredSize> bytes);
// Reads a stored block: the references become null and the block is
// validated.
void JpegOptimizeParamsFromBytes(std::span<const std::uint8_t, JpegOptimizeParams::kStoredSize> bytes,
                                 JpegOptimizeParams& block);
