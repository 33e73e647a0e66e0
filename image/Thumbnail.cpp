#include "image/Thumbnail.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "image/BgraImage.h"
#include "image/CameraRaw.h"
#include "image/ExifTags.h"
#include "image/ImageFileProbe.h"
#include "image/codecs/CodecFileStream.h"
#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecImageJPG.h"
#include "image/codecs/CodecMemStream.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::uint32_t kFitSamples = 2;
constexpr std::uint32_t kDcBlock = 8;

struct Fitted {
  std::uint32_t width;
  std::uint32_t height;
};

Fitted Fit(std::uint32_t width, std::uint32_t height, std::uint32_t side) {
  const std::uint64_t w = std::max(width, 1u);
  const std::uint64_t h = std::max(height, 1u);
  const auto other = [side](std::uint64_t shorter, std::uint64_t longer) {
    return static_cast<std::uint32_t>(std::max<std::uint64_t>(side * shorter / longer, 1));
  };
  return h < w ? Fitted{side, other(h, w)} : Fitted{other(w, h), side};
}

// image = source fitted into side with 2 x 2 samples per pixel.
[[nodiscard]] int FitInto(const CBgraImage& source, std::uint32_t side, CBgraImage& image) {
  if (source.IsEmpty()) return 0;
  const Fitted size = Fit(source.width, source.height, side);
  CBgraImage fitted;
  Rect whole;
  if (!source.ResampleTo(fitted, size.width, size.height, kFitSamples, whole)) return 0;
  image = std::move(fitted);
  return 1;
}

// A codec image fitted into side and converted.
[[nodiscard]] int FitCodecImage(CCodecImage& codec, std::uint32_t side, CBgraImage& image) {
  const Fitted size = Fit(codec.GetWidth(), codec.GetHeight(), side);
  return codec.Resample(size.width, size.height) && image.FromCodecImage(codec) ? 1 : 0;
}

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

CImageFileProbe::Result ProbeFile(const std::filesystem::path& path, ImageFileType type) {
  CFile file;
  if (!file.Open(path, CFile::OpenMode::Read)) return {};
  const auto hint = type == ImageFileType::Tga   ? CImageFileProbe::Format::Tga
                    : type == ImageFileType::Pcx ? CImageFileProbe::Format::Pcx
                                                 : CImageFileProbe::Format::Unknown;
  return CImageFileProbe::Probe(file, hint);
}

// The bytes of the EXIF thumbnail among the probe's items; empty without one.
std::span<const std::uint8_t> ThumbnailBytes(const CImageFileProbe::Result& probe) {
  for (const ExifItem& item : probe.items) {
    if (item.id == ExifTag::kThumbnailData && item.value.size() == item.length) return item.value;
  }
  return {};
}

// A DC-only decode (one pixel per 8 x 8 block, the partial blocks at the
// right and bottom edges included) cut to the whole blocks of a width x
// height picture, at least one.
[[nodiscard]] int WholeBlocks(const CCodecImage& dcOnly, std::uint32_t width, std::uint32_t height,
                              CBgraImage& small) {
  CBgraImage blocks;
  if (!blocks.FromCodecImage(dcOnly)) return 0;
  const std::uint32_t w = std::clamp(width / kDcBlock, 1u, blocks.width);
  const std::uint32_t h = std::clamp(height / kDcBlock, 1u, blocks.height);
  if (w == blocks.width && h == blocks.height) {
    small = std::move(blocks);
    return 1;
  }
  CBgraImage cut;
  if (!cut.Create(w, h)) return 0;
  for (std::uint32_t y = 0; y < h; ++y) std::memcpy(cut.Row(y), blocks.Row(y), std::size_t{w} * 4);
  small = std::move(cut);
  return 1;
}

[[nodiscard]] int LoadTgaThumbnail(const std::filesystem::path& path, std::uint32_t side, CBgraImage& image) {
  CCodecImage codec;
  codec.attributes.maxSide = kMaxImageSide;
  if (!codec.Load(path, CodecFormat::Tga) || codec.IsEmpty()) return 0;
  return FitCodecImage(codec, side, image);
}

[[nodiscard]] int LoadRawThumbnail(const std::filesystem::path& path, std::uint32_t side, CBgraImage& image) {
  return UseRawPreview(path, [side, &image](std::span<const std::uint8_t> block, RawPreviewKind kind) {
    if (kind == RawPreviewKind::Jpeg)
      return DecodeJpegThumbnailFromMemory(block, static_cast<std::int32_t>(side), image);
    CCodecImage codec;
    return RawBitmapPreviewToCodecImage(block, codec) ? FitCodecImage(codec, side, image) : 0;
  });
}

}  // namespace

int LoadThumbnail(const std::filesystem::path& path, std::int32_t side, CBgraImage& image,
                  ThumbnailSpeed speed) {
  if (side < 1) return 0;
  const auto s = static_cast<std::uint32_t>(side);
  switch (GetImageType(path)) {
    case ImageFileType::Tga:
      return LoadTgaThumbnail(path, s, image);
    case ImageFileType::Raw:
      return LoadRawThumbnail(path, s, image);
    case ImageFileType::Jpeg:
      if (speed == ThumbnailSpeed::Fast) return LoadJpegThumbnailFast(path, side, image);
      return LoadThumbnailGdiplus(path, side, image);
    default:
      return LoadThumbnailGdiplus(path, side, image);
  }
}

int LoadThumbnailGdiplus(const std::filesystem::path& path, std::int32_t side, CBgraImage& image) {
  if (side < 1) return 0;
  switch (LoadEmbeddedThumbnail(path, side, image, GetImageType(path))) {
    case EmbeddedThumbnail::Missing:
      return LoadJpegThumbnailFast(path, side, image);
    case EmbeddedThumbnail::Failed: {
      CBgraImage picture;
      return LoadImageAsBgra(path, picture) && FitInto(picture, static_cast<std::uint32_t>(side), image) ? 1
                                                                                                         : 0;
    }
    case EmbeddedThumbnail::Fitted:
      return 1;
    case EmbeddedThumbnail::Embedded:
      return 2;
  }
  return 0;
}

EmbeddedThumbnail LoadEmbeddedThumbnail(const std::filesystem::path& path, std::int32_t side,
                                        CBgraImage& image, ImageFileType type) {
  if (side < 1) return EmbeddedThumbnail::Failed;
  const auto s = static_cast<std::uint32_t>(side);
  const CImageFileProbe::Result probe = ProbeFile(path, type);
  if (probe.width == 0 || probe.height == 0) return EmbeddedThumbnail::Failed;
  const std::span<const std::uint8_t> thumbnail = ThumbnailBytes(probe);

  const bool large = type == ImageFileType::Jpeg &&
                     std::uint64_t{probe.width} * probe.height > kEmbeddedThumbnailArea &&
                     side > kEmbeddedThumbnailSide;
  if (large) {
    if (thumbnail.empty()) return EmbeddedThumbnail::Missing;
    // Trimmed at its own size, so the bars are found before any scaling.
    CBgraImage embedded;
    if (!DecodeJpegFromMemory(thumbnail, embedded)) return EmbeddedThumbnail::Failed;
    TrimBlackBorders(embedded);
    return FitInto(embedded, s, image) ? EmbeddedThumbnail::Embedded : EmbeddedThumbnail::Failed;
  }

  CBgraImage picture;
  const bool reachesSide = probe.width >= s || probe.height >= s;
  if (!(reachesSide && !thumbnail.empty() && DecodeJpegFromMemory(thumbnail, picture)) &&
      !LoadImageAsBgra(path, picture)) {
    return EmbeddedThumbnail::Failed;
  }
  return FitInto(picture, s, image) ? EmbeddedThumbnail::Fitted : EmbeddedThumbnail::Failed;
}

int LoadJpegThumbnailFast(const std::filesystem::path& path, std::int32_t side, CBgraImage& image) {
  if (side < 1) return 0;
  const auto s = static_cast<std::uint32_t>(side);
  const CImageFileProbe::Result probe = ProbeFile(path, ImageFileType::Jpeg);
  const std::uint64_t dcOnlyFrom = std::uint64_t{kDcOnlyFactor} * s;
  CBgraImage picture;
  if (probe.width >= dcOnlyFrom || probe.height >= dcOnlyFrom) {
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return 0;
    CCodecFileStream stream(file.get());
    CCodecImageJPG codec;
    codec.attributes.maxSide = kMaxImageSide;
    if (!codec.DecodeJpegDcOnly(stream) || !WholeBlocks(codec, probe.width, probe.height, picture)) return 0;
  } else if (!LoadImageAsBgra(path, picture)) {
    return 0;
  }
  return FitInto(picture, s, image);
}

int DecodeJpegThumbnailFromMemory(std::span<const std::uint8_t> block, std::int32_t side, CBgraImage& image) {
  if (side < 1 || block.empty()) return 0;
  CMemFile header(std::vector<std::uint8_t>(block.begin(), block.end()));
  const CImageFileProbe::Result probe = CImageFileProbe::Probe(header, CImageFileProbe::Format::Unknown);
  CCodecMemStream stream(block);
  CCodecImageJPG codec;
  codec.attributes.maxSide = kMaxImageSide;
  CBgraImage picture;
  if (!codec.DecodeJpegDcOnly(stream) || !WholeBlocks(codec, probe.width, probe.height, picture)) return 0;
  return FitInto(picture, static_cast<std::uint32_t>(side), image);
}

int RawBitmapPreviewToCodecImage(std::span<const std::uint8_t> block, CCodecImage& codecImage) {
  if (block.size() < 4) return 0;
  const std::uint32_t width = LoadLE16(block.data());
  const std::uint32_t height = LoadLE16(block.data() + 2);
  const std::uint64_t rowBytes = std::uint64_t{width} * 3;
  if (block.size() != 4 + rowBytes * height || !codecImage.Create(width, height, 24, CodecFormat::Bmp))
    return 0;
  const std::uint8_t* from = block.data() + 4;
  for (std::uint32_t y = 0; y < height; ++y) {
    // The codec image's rows run bottom-up.
    std::uint8_t* to = codecImage.GetBits() + std::size_t{height - 1 - y} * codecImage.GetRowStride();
    for (std::uint32_t x = 0; x < width; ++x, from += 3, to += 3) {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
    }
  }
  return 1;
}

void TrimBlackBorders(CBgraImage& image) {
  if (image.IsEmpty()) return;
  const std::uint32_t w = image.width;
  const std::uint32_t h = image.height;
  constexpr int kGreen = 1;
  constexpr int kRed = 2;
  const auto rowLit = [&](std::uint32_t y) {
    return image.At(w / 4, y)[kGreen] || image.At(3 * w / 4, y)[kRed];
  };
  const auto columnLit = [&](std::uint32_t x) {
    return image.At(x, h / 4)[kGreen] || image.At(x, 3 * h / 4)[kRed];
  };
  // Each scan stops at a quarter of its side; a side under 4 is not
  // scanned and keeps its last row or column.
  std::uint32_t top = 0;
  while (top < h / 4 && !rowLit(top)) ++top;
  std::uint32_t bottom = h - 1;
  while (bottom > h - h / 4 && !rowLit(bottom)) --bottom;
  std::uint32_t left = 0;
  while (left < w / 4 && !columnLit(left)) ++left;
  std::uint32_t right = w - 1;
  while (right > w - w / 4 && !columnLit(right)) --right;
  if (top == 0 && left == 0 && bottom == h - 1 && right == w - 1) return;

  CBgraImage trimmed;
  if (!trimmed.Create(right - left + 1, bottom - top + 1)) return;
  for (std::uint32_t y = top; y <= bottom; ++y) {
    std::memcpy(trimmed.Row(y - top), image.At(left, y), std::size_t{trimmed.width} * 4);
  }
  image = std::move(trimmed);
}

int ResizeBgraImage(const CBgraImage& source, CBgraImage& target, std::uint32_t width, std::uint32_t height) {
  if (source.IsEmpty()) return 0;
  if (width == source.width && height == source.height) return target.CopyFrom(source);
  CCodecImage codec;
  if (!source.ToCodecImage(codec, false) || !codec.Resample(width, height)) return 0;
  return target.FromCodecImage(codec);
}
