#include "image/PictureFile.h"

#include <cstdint>
#include <string>

#include "image/codecs/CodecImage.h"

namespace {

constexpr std::uint32_t kMaxPictureSide = 20000;

bool FormatOf(const std::filesystem::path& path, CodecFormat& format) {
  std::string extension = path.extension().string();
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (extension == ".png") {
    format = CodecFormat::Png;
  } else if (extension == ".bmp") {
    format = CodecFormat::Bmp;
  } else if (extension == ".tif" || extension == ".tiff") {
    format = CodecFormat::Tiff;
  } else {
    return false;
  }
  return true;
}

}  // namespace

int LoadPictureFile(const std::filesystem::path& path, CBgraImage& image) {
  CodecFormat format = CodecFormat::Png;
  if (!FormatOf(path, format)) return 0;
  CCodecImage codec(format);
  if (!codec.Load(path, format) || codec.IsEmpty()) return 0;
  const std::uint32_t width = codec.GetWidth();
  const std::uint32_t height = codec.GetHeight();
  if (width == 0 || height == 0 || width > kMaxPictureSide || height > kMaxPictureSide) return 0;

  CBgraImage loaded;
  if (!loaded.Create(width, height)) return 0;
  const bool palette = codec.GetColorCount() != 0;
  const std::int32_t transparentIndex = codec.attributes.transparentIndex;
  const std::uint8_t* alpha = codec.GetAlphaPlane();
  for (std::uint32_t y = 0; y < height; ++y) {
    // Codec rows run bottom-up.
    const std::int32_t codecY = static_cast<std::int32_t>(height - 1 - y);
    std::uint8_t* out = loaded.Row(y);
    for (std::uint32_t x = 0; x < width; ++x, out += 4) {
      const RgbQuad colour = codec.GetPixelColor(static_cast<std::int32_t>(x), codecY);
      out[0] = colour.blue;
      out[1] = colour.green;
      out[2] = colour.red;
      if (palette) {
        const bool clear = transparentIndex >= 0 &&
                           codec.GetPixelIndex(static_cast<std::int32_t>(x), codecY) == transparentIndex;
        out[3] = clear ? 0 : 255;
      } else {
        out[3] = alpha ? alpha[std::size_t(codecY) * width + x] : 255;
      }
    }
  }
  image = std::move(loaded);
  return 1;
}
