#pragma once
// The file formats of the codec layer. The image-file layer maps extensions
// to these codes and passes them through; any other value is an unsupported
// format.

#include <cstdint>

enum class CodecFormat : std::int32_t {
  Bmp = 0,
  Gif = 1,
  Jpeg = 2,
  Png = 3,
  Ico = 4,
  Tiff = 5,
  Tga = 6,
  Pcx = 7,
  Wbmp = 8,
  Wmf = 9,
};
