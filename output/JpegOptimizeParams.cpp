#include "output/JpegOptimizeParams.h"

#include <algorithm>

#include "platform/LittleEndian.h"

void ValidateJpegOptimizeParams(JpegOptimizeParams& block) {
  block.quality = std::clamp(block.quality, 1, 100);
  block.softening = std::clamp(block.softening, 0, 100);
  if (block.chromaMode > kChromaDetect) block.chromaMode = kChromaDetect;
  if (block.metadataMode > kMetadataAll) block.metadataMode = kMetadataNone;
  if (block.sizeMode > kSizeTotalPixels || block.sizeValue < 1) block.sizeMode = kSizeKeep;
  if (block.sizePolicy > kPolicyQuality) block.sizePolicy = kPolicyNone;
  block.targetKb = std::max(block.targetKb, 0);
  block.path.back() = 0;
}

void JpegOptimizeParamsToBytes(const JpegOptimizeParams& block,
                               std::span<std::uint8_t, JpegOptimizeParams::kStoredSize> bytes) {
  ByteWriter out;
  out.U8(block.version);
  out.Bytes(block.pad0);
  out.I32(block.quality);
  out.U8(block.chromaMode);
  out.U8(block.metadataMode);
  out.U8(block.adaptive);
  out.U8(block.optimiseMore);
  out.I32(block.softening);
  out.U8(block.sizeMode);
  out.Bytes(block.pad1);
  out.I32(block.sizeValue);
  out.U8(block.sizePolicy);
  out.Bytes(block.pad2);
  out.I32(block.targetKb);
  out.U8(block.runFlags);
  out.U8(block.pad3);
  for (char16_t c : block.path) out.U16(c);
  out.Bytes(block.pad4);
  out.Zeros(24);  // the run-time references
  out.Bytes(block.reserved);
  std::copy(out.bytes().begin(), out.bytes().end(), bytes.begin());
}

void JpegOptimizeParamsFromBytes(std::span<const std::uint8_t, JpegOptimizeParams::kStoredSize> bytes,
                                 JpegOptimizeParams& block) {
  ByteReader in(bytes);
  const auto fill = [&in](std::span<std::uint8_t> field) {
    const auto read = in.Bytes(field.size());
    std::copy(read.begin(), read.end(), field.begin());
  };
  block.version = in.U8();
  fill(block.pad0);
  block.quality = in.I32();
  block.chromaMode = in.U8();
  block.metadataMode = in.U8();
  block.adaptive = in.U8();
  block.optimiseMore = in.U8();
  block.softening = in.I32();
  block.sizeMode = in.U8();
  fill(block.pad1);
  block.sizeValue = in.I32();
  block.sizePolicy = in.U8();
  fill(block.pad2);
  block.targetKb = in.I32();
  block.runFlags = in.U8();
  block.pad3 = in.U8();
  for (char16_t& c : block.path) c = in.U16();
  fill(block.pad4);
  (void)in.Bytes(24);  // the run-time references are never read
  fill(block.reserved);
  block.source = nullptr;
  block.working = nullptr;
  block.third = nullptr;
  ValidateJpegOptimizeParams(block);
}
