#include "image/ImageCodec.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string_view>

#include "image/BgraImage.h"
#include "image/CameraRaw.h"
#include "image/ImageLoadError.h"
#include "image/codecs/CodecFileStream.h"
#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecImageJPG.h"
#include "image/codecs/CodecMemStream.h"
#include "platform/AtomicFile.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::size_t kCopyBlockSize = 4096;

struct ExtensionRow {
  std::string_view extension;
  ImageFileType type;
  std::int32_t codecFormat;  // -1: no codec format
};

// clang-format off
constexpr ExtensionRow kExtensions[] = {
    {"jpg",  ImageFileType::Jpeg, 2}, {"jpeg", ImageFileType::Jpeg, 2},
    {"bmp",  ImageFileType::Bmp,  0},
    {"gif",  ImageFileType::Gif,  1},
    {"png",  ImageFileType::Png,  3},
    {"tif",  ImageFileType::Tiff, 5}, {"tiff", ImageFileType::Tiff, 5},
    {"tga",  ImageFileType::Tga,  6},
    {"pcx",  ImageFileType::Pcx,  7},
    {"raw", ImageFileType::Raw, -1}, {"rw1", ImageFileType::Raw, -1}, {"nef", ImageFileType::Raw, -1},
    {"nrw", ImageFileType::Raw, -1}, {"cr2", ImageFileType::Raw, -1}, {"crw", ImageFileType::Raw, -1},
    {"orf", ImageFileType::Raw, -1}, {"mrw", ImageFileType::Raw, -1}, {"pef", ImageFileType::Raw, -1},
    {"ptx", ImageFileType::Raw, -1}, {"dcr", ImageFileType::Raw, -1}, {"erf", ImageFileType::Raw, -1},
    {"dng", ImageFileType::Raw, -1}, {"srf", ImageFileType::Raw, -1}, {"sr2", ImageFileType::Raw, -1},
    {"arw", ImageFileType::Raw, -1}, {"raf", ImageFileType::Raw, -1}, {"rw2", ImageFileType::Raw, -1},
    {"bay", ImageFileType::Raw, -1}, {"srw", ImageFileType::Raw, -1},
};
// clang-format on

const ExtensionRow* FindExtension(const std::filesystem::path& path) {
  const std::string_view text = path.native();
  const std::size_t dot = text.rfind('.');
  if (dot == std::string_view::npos) return nullptr;
  const std::size_t slash = text.rfind('/');
  if (slash != std::string_view::npos && slash > dot) return nullptr;
  const std::string_view extension = text.substr(dot + 1);
  for (const ExtensionRow& row : kExtensions) {
    if (row.extension.size() != extension.size()) continue;
    const bool same = std::equal(
        extension.begin(), extension.end(), row.extension.begin(),
        [](char a, char b) { return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b; });
    if (same) return &row;
  }
  return nullptr;
}

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

// Runs decode(codec, stream) on the opened file; 0 when it cannot be opened.
// A failure leaves the codec's text as the thread's load error.
template <typename Decode>
[[nodiscard]] int DecodeJpegFile(const std::filesystem::path& path, Decode&& decode) {
  SetImageLoadError({});
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return 0;
  CCodecFileStream stream(file.get());
  CCodecImageJPG codec;
  if (decode(codec, stream)) return 1;
  SetImageLoadError(codec.GetLastError());
  return 0;
}

[[nodiscard]] int LoadJpegFile(const std::filesystem::path& path, CBgraImage& image) {
  return DecodeJpegFile(path, [&image](CCodecImageJPG& codec, CCodecStream& stream) {
    return codec.DecodeBgra(stream, image);
  });
}

// A bitmap preview: u16 width, u16 height, then exactly width x height
// R, G, B triplets, rows top-down.
[[nodiscard]] int LoadBitmapPreview(std::span<const std::uint8_t> block, CBgraImage& image) {
  if (block.size() < 4) return 0;
  const std::uint32_t width = LoadLE16(block.data());
  const std::uint32_t height = LoadLE16(block.data() + 2);
  const std::uint64_t pixels = std::uint64_t{width} * height;
  if (pixels == 0 || block.size() != 4 + 3 * pixels) return 0;
  if (!FitsImageLimits(width, height, kMaxImageSide)) {
    SetImageLoadError(kImageTooLarge);
    return 0;
  }
  CBgraImage preview;
  if (!preview.Create(width, height)) return 0;
  const std::uint8_t* from = block.data() + 4;
  std::uint8_t* to = preview.pixels;
  for (std::uint64_t i = 0; i < pixels; ++i, from += 3, to += 4) {
    to[0] = from[2];
    to[1] = from[1];
    to[2] = from[0];
    to[3] = 255;
  }
  image = std::move(preview);
  return 1;
}

[[nodiscard]] int LoadRawPreview(const std::filesystem::path& path, CBgraImage& image) {
  SetImageLoadError({});
  return UseRawPreview(path, [&image](std::span<const std::uint8_t> block, RawPreviewKind kind) {
    return kind == RawPreviewKind::Jpeg ? DecodeJpegFromMemory(block, image)
                                        : LoadBitmapPreview(block, image);
  });
}

}  // namespace

ImageFileType GetImageType(const std::filesystem::path& path) {
  const ExtensionRow* row = FindExtension(path);
  return row ? row->type : ImageFileType::Unknown;
}

std::int32_t GetCodecFormat(const std::filesystem::path& path) {
  const ExtensionRow* row = FindExtension(path);
  return row ? row->codecFormat : -1;
}

int LoadImageAsBgra(const std::filesystem::path& path, CBgraImage& image) {
  switch (GetImageType(path)) {
    case ImageFileType::Jpeg:
      return LoadJpegFile(path, image);
    case ImageFileType::Raw:
      return LoadRawPreview(path, image);
    default:
      return image.LoadFile(path);
  }
}

int LoadJpegRows(const std::filesystem::path& path, CBgraRowSink& sink) {
  return DecodeJpegFile(path, [&sink](CCodecImageJPG& codec, CCodecStream& stream) {
    return codec.DecodeBgraRows(stream, sink);
  });
}

int SaveJpegFile(const JpegSaveOptions& options, const std::filesystem::path& path, const CBgraImage& image,
                 int quality) {
  if (GetImageType(path) != ImageFileType::Jpeg) return 0;
  CCodecImage codec;
  if (!image.ToCodecImageRgb(codec)) return 0;
  codec.SetXDPI(72);
  codec.SetYDPI(72);
  if (quality > 100) {
    codec.attributes.jpegSubsampling = false;
    quality %= 100;
  }
  if (quality == 0) {
    quality = 100;
  } else if (quality < 2) {
    quality = 2;
  }
  codec.attributes.quality = static_cast<std::uint8_t>(quality);
  if (options.lumaTable[0] != 0) codec.attributes.jpegLumaTable = options.lumaTable;
  return codec.Save(path, CodecFormat::Jpeg) ? 1 : 0;
}

int DecodeJpegFromMemory(std::span<const std::uint8_t> block, CBgraImage& image) {
  SetImageLoadError({});
  CCodecMemStream stream(block);
  CCodecImageJPG codec;
  if (codec.DecodeBgra(stream, image)) return 1;
  SetImageLoadError(codec.GetLastError());
  return 0;
}

int CopyFileContents(const std::filesystem::path& source, const std::filesystem::path& destination) {
  CFile from;
  CAtomicFile to;
  if (!from.Open(source, CFile::OpenMode::Read) || !to.Open(destination)) return 0;
  std::uint8_t block[kCopyBlockSize];
  for (;;) {
    const std::size_t count = from.Read(block, sizeof block);
    if (count == 0) break;
    if (!to.Write(block, count)) return 0;
  }
  return !from.HasReadError() && to.Commit() ? 1 : 0;
}

// ---- CBgraImage and the codec image ---------------------------------------------------

int CBgraImage::LoadFile(const std::filesystem::path& path) {
  SetImageLoadError({});
  CCodecImage codec;
  // The codec refuses a side above the limit from the file's header.
  codec.attributes.maxSide = kMaxImageSide;
  if (!codec.Load(path, static_cast<CodecFormat>(GetCodecFormat(path)))) {
    SetImageLoadError(codec.GetLastError());
    return 0;
  }
  if (!FitsImageLimits(codec.GetWidth(), codec.GetHeight(), kMaxImageSide)) {
    SetImageLoadError(kImageTooLarge);
    return 0;
  }
  if (FromCodecImage(codec)) return 1;
  SetImageLoadError("Out of memory");
  return 0;
}

int CBgraImage::SaveFile(const std::filesystem::path& path, bool withAlpha) const {
  if (IsEmpty()) return 0;
  CCodecImage codec;
  if (!ToCodecImage(codec, withAlpha)) return 0;
  return codec.Save(path, static_cast<CodecFormat>(GetCodecFormat(path))) ? 1 : 0;
}

int CBgraImage::FromCodecImage(const CCodecImage& codecImage) {
  if (codecImage.IsEmpty()) return 0;
  const std::uint32_t w = codecImage.GetWidth();
  const std::uint32_t h = codecImage.GetHeight();
  if (!Create(w, h)) return 0;
  const std::uint8_t* alpha = codecImage.GetAlphaPlane();
  const bool palette = codecImage.GetColorCount() != 0;
  const std::int32_t transparent = codecImage.attributes.transparentIndex;
  const std::uint8_t* bits = codecImage.GetBits();
  const std::size_t stride = codecImage.GetRowStride();
  for (std::uint32_t y = 0; y < h; ++y) {
    const std::uint32_t bitmapRow = h - 1 - y;
    const std::uint8_t* from = bits + bitmapRow * stride;
    std::uint8_t* to = Row(y);
    for (std::uint32_t x = 0; x < w; ++x, to += 4) {
      if (palette) {
        const std::uint8_t index =
            codecImage.GetPixelIndex(static_cast<std::int32_t>(x), static_cast<std::int32_t>(bitmapRow));
        const RgbQuad colour = codecImage.GetPaletteColor(std::uint32_t{index});
        to[0] = colour.blue;
        to[1] = colour.green;
        to[2] = colour.red;
        to[3] = index == transparent ? 0 : 255;
      } else {
        to[0] = from[3 * x];
        to[1] = from[3 * x + 1];
        to[2] = from[3 * x + 2];
        to[3] = alpha ? alpha[std::size_t{bitmapRow} * w + x] : 255;
      }
    }
  }
  return 1;
}

int CBgraImage::ToCodecImage(CCodecImage& codecImage, bool withAlpha) const {
  if (IsEmpty() || !codecImage.Create(width, height, 24, CodecFormat::Bmp)) return 0;
  std::uint8_t* alpha = nullptr;
  if (withAlpha) {
    alpha = codecImage.AlphaCreate();
    if (!alpha) return 0;
    codecImage.attributes.paletteAlphaEnabled = false;
  }
  std::uint8_t* bits = codecImage.GetBits();
  const std::size_t stride = codecImage.GetRowStride();
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint32_t bitmapRow = height - 1 - y;
    const std::uint8_t* from = Row(y);
    std::uint8_t* to = bits + bitmapRow * stride;
    for (std::uint32_t x = 0; x < width; ++x, from += 4) {
      to[3 * x] = from[0];
      to[3 * x + 1] = from[1];
      to[3 * x + 2] = from[2];
      if (alpha) alpha[std::size_t{bitmapRow} * width + x] = from[3];
    }
  }
  codecImage.SetXDPI(72);
  codecImage.SetYDPI(72);
  return 1;
}

int CBgraImage::ToCodecImageRgb(CCodecImage& codecImage) const { return ToCodecImage(codecImage, false); }
