#include "image/CameraRaw.h"

#include <libraw/libraw.h>

#include <array>
#include <cstring>
#include <memory>
#include <string_view>

#include "image/BgraImage16.h"
#include "image/ImageLoadError.h"
#include "platform/LittleEndian.h"

std::mutex RawDecodeLock;

namespace {

constexpr std::array<std::string_view, 15> kRawExtensions = {
    ".nef", ".cr2", ".crw", ".orf", ".mrw", ".raf", ".pef", ".dcr",
    ".srf", ".erf", ".dng", ".raw", ".arw", ".rw2", ".srw",
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// A LibRaw object for a RAW name, else null. The object is large and its
// constructor may throw: it lives on the heap, and nothing thrown leaves
// this file.
[[nodiscard]] std::unique_ptr<LibRaw> MakeRawDecoder(const std::filesystem::path& path) {
  if (!IsRawFileName(path)) return nullptr;
  return std::make_unique<LibRaw>(0);
}

// Records LibRaw's reason for a failed call; its own size refusal reads as
// every other picture that is too large.
void SetRawError(int result) {
  SetImageLoadError(result == LIBRAW_TOO_BIG ? kImageTooLarge : libraw_strerror(result));
}

// Whether the opened file's picture is within the limits: the sensor data
// that unpack reads and the developed picture, whose size LibRaw tells from
// the header (turned for Fuji's diagonal sensors, stretched for non-square
// pixels).
bool RawWithinLimits(const LibRaw& raw) {
  const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
  int width = 0, height = 0, colors = 0, bps = 0;
  raw.get_mem_image_format(&width, &height, &colors, &bps);
  return std::uint64_t{sizes.raw_width} * sizes.raw_height <= kMaxImagePixels && width > 0 && height > 0 &&
         FitsImageLimits(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                         kMaxImageSide);
}

// Builds the bitmap preview block: the size prefix, then R, G, B triplets.
// LibRaw's bitmap has no prefix and may be one grey channel.
[[nodiscard]] PixelBlock BitmapPreview(const libraw_thumbnail_t& thumbnail, std::uint32_t& length) {
  const std::uint64_t pixels = std::uint64_t{thumbnail.twidth} * thumbnail.theight;
  const auto channels = static_cast<std::uint64_t>(thumbnail.tcolors);
  if (pixels == 0 || (channels != 1 && channels != 3) || thumbnail.tlength != pixels * channels)
    return nullptr;
  const std::uint64_t size = 4 + 3 * pixels;
  PixelBlock block = AllocPixelBlock(size);
  if (!block) return nullptr;
  StoreLE16(block.get(), thumbnail.twidth);
  StoreLE16(block.get() + 2, thumbnail.theight);
  const auto* from = reinterpret_cast<const std::uint8_t*>(thumbnail.thumb);
  std::uint8_t* to = block.get() + 4;
  if (channels == 3) {
    std::memcpy(to, from, 3 * pixels);
  } else {
    for (std::uint64_t i = 0; i < pixels; ++i) to[3 * i] = to[3 * i + 1] = to[3 * i + 2] = from[i];
  }
  length = static_cast<std::uint32_t>(size);
  return block;
}

}  // namespace

int IsRawFileName(const std::filesystem::path& name) {
  const std::string_view text = name.native();
  const std::size_t dot = text.rfind('.');
  if (dot == std::string_view::npos) return 0;
  const std::string_view extension = text.substr(dot);
  if (extension.size() > 9) return 0;
  for (std::string_view known : kRawExtensions) {
    if (EqualsIgnoringCase(extension, known)) return 1;
  }
  return 0;
}

int LoadRawImage(const std::filesystem::path& path, CBgraImage16& image) {
  SetImageLoadError({});
  try {
    std::unique_ptr<LibRaw> raw = MakeRawDecoder(path);
    if (!raw) return 0;
    libraw_output_params_t& params = raw->imgdata.params;
    params.highlight = 0;
    params.use_auto_wb = 0;
    params.use_camera_wb = 1;
    params.output_color = 2;
    params.user_qual = 3;
    int result = raw->open_file(path.c_str(), kRawBufferLimit);
    if (result == LIBRAW_SUCCESS && !RawWithinLimits(*raw)) {
      SetImageLoadError(kImageTooLarge);
      return 0;
    }
    if (result == LIBRAW_SUCCESS) result = raw->unpack();
    if (result == LIBRAW_SUCCESS) result = raw->dcraw_process();
    if (result != LIBRAW_SUCCESS) {
      SetRawError(result);
      return 0;
    }
    // Processing turns and stretches the picture in new buffers and leaves
    // their size in width x height (iwidth x iheight keep the sensor's).
    const libraw_image_sizes_t& sizes = raw->imgdata.sizes;
    if (!raw->imgdata.image || sizes.width == 0 || sizes.height == 0) return 0;
    if (!FitsImageLimits(sizes.width, sizes.height, kMaxImageSide)) {
      SetImageLoadError(kImageTooLarge);
      return 0;
    }
    CBgraImage16 developed;
    if (!developed.Create(sizes.width, sizes.height)) {
      SetImageLoadError("Out of memory");
      return 0;
    }
    const std::size_t count = std::size_t{sizes.width} * sizes.height;
    const auto* from = raw->imgdata.image;
    std::uint16_t* to = developed.pixels;
    for (std::size_t i = 0; i < count; ++i, to += 4) {
      to[0] = from[i][2];
      to[1] = from[i][1];
      to[2] = from[i][0];
      to[3] = 65535;
    }
    raw->recycle();
    image = std::move(developed);
    return 1;
  } catch (...) {
    return 0;
  }
}

PixelBlock ExtractRawThumbnail(const std::filesystem::path& path, std::uint32_t& length,
                               RawPreviewKind& kind) {
  try {
    std::unique_ptr<LibRaw> raw = MakeRawDecoder(path);
    if (!raw) return nullptr;
    if (raw->open_file(path.c_str(), kRawBufferLimit) != LIBRAW_SUCCESS ||
        raw->unpack_thumb() != LIBRAW_SUCCESS) {
      return nullptr;
    }
    const libraw_thumbnail_t& thumbnail = raw->imgdata.thumbnail;
    if (!thumbnail.thumb || thumbnail.tlength == 0) return nullptr;
    std::uint32_t size = 0;
    PixelBlock block;
    RawPreviewKind found = RawPreviewKind::Other;
    if (thumbnail.tformat == LIBRAW_THUMBNAIL_BITMAP) {
      block = BitmapPreview(thumbnail, size);
      found = RawPreviewKind::Bitmap;
    } else {
      block = AllocPixelBlock(thumbnail.tlength);
      if (block) std::memcpy(block.get(), thumbnail.thumb, thumbnail.tlength);
      size = thumbnail.tlength;
      if (thumbnail.tformat == LIBRAW_THUMBNAIL_JPEG) found = RawPreviewKind::Jpeg;
    }
    raw->recycle();
    if (!block) return nullptr;
    length = size;
    kind = found;
    return block;
  } catch (...) {
    return nullptr;
  }
}
