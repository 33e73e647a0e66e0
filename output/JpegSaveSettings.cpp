#include "output/JpegSaveSettings.h"

#include <algorithm>

#include "image/ImageInfo.h"
#include "output/LastFolder.h"
#include "platform/Utf16.h"
#include "ui/TextFormat.h"

std::int64_t JpegMetadataEstimate(const ImageInfo* info, std::uint8_t metadataMode) {
  if (!info) return 0;
  const auto mode = static_cast<MetadataSizeMode>(std::min<std::uint8_t>(metadataMode, 2));
  return static_cast<std::int64_t>(std::min<std::uint64_t>(info->GetMetadataSize(mode), INT32_MAX));
}

std::int32_t JpegPictureTargetKb(std::int64_t targetKb, std::int64_t metadataEstimate) {
  const std::int64_t bytes = std::max<std::int64_t>(targetKb * 1024 - metadataEstimate, 1024);
  return static_cast<std::int32_t>(std::min<std::int64_t>(bytes >> 10, INT32_MAX));
}

void JpegSaveSettings::FillBlock(JpegOptimizeParams& block, const ImageInfo* info,
                                 const std::filesystem::path& path, std::uint8_t runFlags) const {
  block.chromaMode = chromaFull ? kChromaFull : kChromaSubsampled;
  block.adaptive = adaptive ? 1 : 0;
  block.metadataMode = metadataMode;
  block.optimiseMore = optimiseMore ? 1 : 0;
  block.softening = softening;
  block.sizePolicy = policy;
  block.targetKb = JpegPictureTargetKb(targetKb, JpegMetadataEstimate(info, metadataMode));
  block.sizeValue = static_cast<std::int32_t>(std::min<std::uint32_t>(sizeValue, INT32_MAX));
  block.quality = quality;
  block.sizeMode = sizeMode;
  block.runFlags = runFlags;
  block.path.fill(u'\0');
  const std::u16string text = path.u16string();
  if (text.size() < block.path.size()) std::copy(text.begin(), text.end(), block.path.begin());
}

std::filesystem::path ProposedJpegName(const std::filesystem::path& documentPath,
                                       std::u16string_view untitled, std::uint32_t originalWidth,
                                       std::uint32_t originalHeight, std::uint32_t resultWidth,
                                       std::uint32_t resultHeight, const JpegSaveSettings& settings,
                                       std::uint32_t encodedSize, const ImageInfo* info) {
  std::u16string name = documentPath.empty() ? std::u16string(untitled)
                                             : LastFolderStartName(documentPath, u"SaveJPG").u16string();
  if (std::uint64_t{originalWidth} * originalHeight != std::uint64_t{resultWidth} * resultHeight)
    name += FormatText(u"-%dx%d", {resultWidth, resultHeight});
  if (settings.policy != kPolicyNone) {
    const std::int64_t metadata = info ? JpegMetadataEstimate(info, settings.metadataMode) : 512;
    name += FormatText(u"-%dK", {static_cast<std::int64_t>((metadata + encodedSize) >> 10)});
  }
  return PathFromUtf16(name);
}

std::int32_t AdjustedQuality(std::int32_t chosenQuality) { return chosenQuality >= 1 ? chosenQuality : 99; }

double CompressionRatio(std::uint64_t pixels, std::uint64_t size) {
  if (size == 0) return 1.0;
  return std::max(1.0, static_cast<double>(pixels) * 3.0 / static_cast<double>(size));
}
