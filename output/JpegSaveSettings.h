#pragma once
// JpegSaveSettings: what the user sets in the JPEG options dialog, and the
// arithmetic the dialog does with it: the optimiser's block, the target
// less the photo's information, the name it proposes and the texts of its
// file-information panel. Kept apart from the dialog so that each rule can
// be checked on its own.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "output/JpegOptimizeParams.h"

struct ImageInfo;

// The metadata estimate of an info for a metadata mode (0 without info).
std::int64_t JpegMetadataEstimate(const ImageInfo* info, std::uint8_t metadataMode);

// A target in KB less the metadata estimate, in whole KB rounded down and
// never below 1, so that the picture and its information together stay
// within the target however large the estimate.
std::int32_t JpegPictureTargetKb(std::int64_t targetKb, std::int64_t metadataEstimate);

struct JpegSaveSettings {
  std::int32_t quality = 90;  // slider 1..100
  std::int32_t chromaFull = 0;
  std::int32_t adaptive = 0;
  std::int32_t optimiseMore = 0;
  std::int32_t softening = 0;  // slider 0..100
  std::uint8_t metadataMode = kMetadataAll;
  std::uint8_t sizeMode = kSizeKeep;
  std::uint32_t sizeValue = 1024;
  std::uint8_t policy = kPolicyNone;
  std::uint32_t targetKb = 200;

  // The block of a run: every setting, the target less the photo's
  // information, the path and the run flags; the references are the
  // caller's.
  void FillBlock(JpegOptimizeParams& block, const ImageInfo* info, const std::filesystem::path& path,
                 std::uint8_t runFlags) const;
};

// The name a save proposes: the start name of "SaveJPG" (LastFolder.h), or
// untitled without a document path; "-WxH" when the result's pixel count
// differs from the original's; "-NK" with the expected file size in KB when
// a size policy is on (the encoded size and the metadata estimate, 512
// without an info).
std::filesystem::path ProposedJpegName(const std::filesystem::path& documentPath,
                                       std::u16string_view untitled, std::uint32_t originalWidth,
                                       std::uint32_t originalHeight, std::uint32_t resultWidth,
                                       std::uint32_t resultHeight, const JpegSaveSettings& settings,
                                       std::uint32_t encodedSize, const ImageInfo* info);

// The quality the adjust-to-file-size search gives the slider: the quality
// found, or 99 when no search ran because the picture fitted at 100.
std::int32_t AdjustedQuality(std::int32_t chosenQuality);

// The file-information panel's numbers: the size S0 of the original (its
// file's length, or width x height x 3), the expected size C, and the
// compression ratios max(1, w h 3 / size), 1 for a size of 0.
double CompressionRatio(std::uint64_t pixels, std::uint64_t size);
