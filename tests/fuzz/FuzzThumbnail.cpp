// Thumbnails of a file from outside: the first byte picks the file name's
// extension and the speed, the second the side; the rest is the file. The
// same bytes are also taken as a JPEG in memory (a RAW file's preview) and
// as a RAW bitmap preview.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "image/BgraImage.h"
#include "image/Thumbnail.h"
#include "image/codecs/CodecImage.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static constexpr std::array<std::string_view, 4> kNames = {"thumb.jpg", "thumb.png", "thumb.tif",
                                                             "thumb.bmp"};
  FuzzBytes input(data, size);
  const std::uint8_t choice = input.U8();
  const std::int32_t side = 1 + input.U8();
  const std::filesystem::path path = FuzzScratchFile(kNames[choice % kNames.size()]);
  WriteFuzzFile(path, input.Rest());

  const auto fitted = [side](const CBgraImage& image) {
    return image.width == static_cast<std::uint32_t>(side) ||
           image.height == static_cast<std::uint32_t>(side);
  };
  CBgraImage image;
  const ThumbnailSpeed speed = choice & 0x80 ? ThumbnailSpeed::Fast : ThumbnailSpeed::Normal;
  if (LoadThumbnail(path, side, image, speed)) FuzzCheck(fitted(image), "a thumbnail fits its side");
  CBgraImage preview;
  if (DecodeJpegThumbnailFromMemory(input.Rest(), side, preview))
    FuzzCheck(fitted(preview), "a preview fits its side");
  CCodecImage bitmap;
  if (RawBitmapPreviewToCodecImage(input.Rest(), bitmap)) {
    CBgraImage picture;
    if (picture.FromCodecImage(bitmap)) TrimBlackBorders(picture);
  }
  return 0;
}
