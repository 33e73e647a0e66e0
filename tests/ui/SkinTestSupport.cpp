#include "tests/ui/SkinTestSupport.h"

#include <cstring>
#include <fstream>

#include "image/codecs/CodecImage.h"

void WriteUtf16File(const std::filesystem::path& path, std::u16string_view text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  WriteBytes(path, bytes);
}

void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

bool WritePng(const std::filesystem::path& path, const CBgraImage& image) {
  CCodecImage codec(CodecFormat::Png);
  if (image.IsEmpty() || !codec.Create(image.width, image.height, 24, CodecFormat::Png) ||
      !codec.AlphaCreate()) {
    return false;
  }
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::uint32_t codecY = image.height - 1 - y;
    std::uint8_t* row = codec.GetBits() + std::size_t{codecY} * codec.GetRowStride();
    for (std::uint32_t x = 0; x < image.width; ++x) {
      const std::uint8_t* p = image.At(x, y);
      std::memcpy(row + 3 * x, p, 3);
      codec.GetAlphaPlane()[std::size_t{codecY} * image.width + x] = p[3];
    }
  }
  return codec.Save(path, CodecFormat::Png);
}

std::uint32_t PixelAt(const CBgraImage& image, std::uint32_t x, std::uint32_t y) {
  const std::uint8_t* p = image.At(x, y);
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

void SetPixel(CBgraImage& image, std::uint32_t x, std::uint32_t y, std::uint32_t value) {
  std::uint8_t* p = image.At(x, y);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

CBgraImage FilledImage(std::uint32_t width, std::uint32_t height, std::uint32_t value) {
  CBgraImage image;
  EXPECT_TRUE(image.Create(width, height));
  for (std::uint32_t y = 0; y < image.height; ++y) {
    for (std::uint32_t x = 0; x < image.width; ++x) SetPixel(image, x, y, value);
  }
  return image;
}
