// PNG files with an alpha channel, grey or RGB, of 8 or 16 bits, keep their
// alpha through decoding, the conversion to an 8-bit image and saving.

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "image/BgraImage.h"
#include "image/codecs/CodecImage.h"
#include "tests/common/TestData.h"
#include "tests/image/CodecTestSupport.h"

namespace {

// B, G, R and alpha of every pixel, top row first, as libpng reads the file.
struct Reference {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  Picture pixels;
};

// Alpha through libpng's simplified reader. Its linear format leaves alpha
// as stored, widened to 16 bits; the codec keeps the high byte.
std::vector<int> LibpngAlpha(const std::filesystem::path& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    ADD_FAILURE() << path << ": " << image.message;
    return {};
  }
  image.format = PNG_FORMAT_LINEAR_RGB_ALPHA;
  std::vector<png_uint_16> samples(PNG_IMAGE_SIZE(image) / sizeof(png_uint_16));
  if (!png_image_finish_read(&image, nullptr, samples.data(), 0, nullptr)) {
    ADD_FAILURE() << path << ": " << image.message;
    png_image_free(&image);
    return {};
  }
  std::vector<int> alpha;
  for (std::size_t i = 3; i < samples.size(); i += 4) alpha.push_back(samples[i] >> 8);
  return alpha;
}

// The stored grey or RGB samples (high bytes), without any transformation.
// Arms setjmp, so it holds no object with a destructor.
bool ReadStoredColour(png_structp png, png_infop info, std::FILE* file, Reference& out,
                      std::vector<std::uint8_t>& rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_read_info(png, info);
  out.width = png_get_image_width(png, info);
  out.height = png_get_image_height(png, info);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const std::size_t rowBytes = png_get_rowbytes(png, info);
  rows.resize(rowBytes * out.height);
  std::vector<png_bytep> pointers(out.height);
  for (std::uint32_t y = 0; y < out.height; ++y) pointers[y] = rows.data() + y * rowBytes;
  png_read_image(png, pointers.data());
  const int channels = png_get_channels(png, info);
  const int sampleBytes = png_get_bit_depth(png, info) / 8;
  for (std::uint32_t y = 0; y < out.height; ++y) {
    for (std::uint32_t x = 0; x < out.width; ++x) {
      const std::uint8_t* pixel = pointers[y] + std::size_t{x} * channels * sampleBytes;
      const bool grey = channels < 3;
      const int r = pixel[0];
      const int g = grey ? r : pixel[sampleBytes];
      const int b = grey ? r : pixel[2 * sampleBytes];
      out.pixels.push_back({b, g, r, 0});
    }
  }
  return true;
}

Reference ReadReference(const std::filesystem::path& path) {
  Reference reference;
  std::vector<std::uint8_t> rows;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  EXPECT_TRUE(file && ReadStoredColour(png, info, file.get(), reference, rows)) << path;
  png_destroy_read_struct(&png, &info, nullptr);
  const std::vector<int> alpha = LibpngAlpha(path);
  EXPECT_EQ(alpha.size(), reference.pixels.size()) << path;
  for (std::size_t i = 0; i < alpha.size() && i < reference.pixels.size(); ++i)
    reference.pixels[i][3] = alpha[i];
  return reference;
}

Picture PictureOf(const CBgraImage& image) {
  Picture picture;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    for (std::uint32_t x = 0; x < image.width; ++x) {
      const std::uint8_t* p = image.At(x, y);
      picture.push_back({p[0], p[1], p[2], p[3]});
    }
  }
  return picture;
}

std::vector<int> AlphaOf(const Picture& picture) {
  std::vector<int> alpha;
  for (const auto& pixel : picture) alpha.push_back(pixel[3]);
  return alpha;
}

TEST(CodecPngAlpha, RealFilesKeepTheAlphaLibpngReads) {
  struct Case {
    const char* path;
    const char* kind;
  };
  const Case cases[] = {
      {"usr/share/go-1.19/src/image/png/testdata/pngsuite/basn4a08.png", "grey + alpha, 8-bit"},
      {"usr/share/go-1.19/src/image/png/testdata/pngsuite/basn4a16.png", "grey + alpha, 16-bit"},
      {"usr/share/go-1.19/src/image/png/testdata/pngsuite/basn6a08.png", "RGBA, 8-bit"},
      {"usr/share/go-1.19/src/image/png/testdata/pngsuite/basn6a16.png", "RGBA, 16-bit"},
      {"usr/libexec/installed-tests/gdk-pixbuf/test-images/reftests/tga/gtk-logo-gray.ref.png",
       "grey + alpha, 8-bit, with bKGD"},
  };
  const auto saved = ScratchDir() / "saved.png";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    const auto path = TestDataPath(c.path);
    if (path.empty()) return;
    const Reference reference = ReadReference(path);
    const std::vector<int> alpha = AlphaOf(reference.pixels);
    ASSERT_EQ(alpha.size(), std::size_t{reference.width} * reference.height);
    ASSERT_NE(std::count(alpha.begin(), alpha.end(), 255), static_cast<std::ptrdiff_t>(alpha.size()));

    CCodecImage codec;
    ASSERT_TRUE(codec.Load(path, CodecFormat::Png)) << codec.GetLastError();
    EXPECT_EQ(codec.GetBitCount(), 24u);
    ASSERT_NE(codec.GetAlphaPlane(), nullptr);
    EXPECT_EQ(PictureOf(codec), reference.pixels);

    CBgraImage image;
    ASSERT_EQ(image.LoadFile(path), 1);
    EXPECT_EQ(PictureOf(image), reference.pixels);

    // Saved and read back by libpng: the same alpha.
    ASSERT_EQ(image.SaveFile(saved, true), 1);
    EXPECT_EQ(LibpngAlpha(saved), alpha);
  }
}

}  // namespace
