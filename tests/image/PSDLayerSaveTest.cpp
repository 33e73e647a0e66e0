// The single-layer PSD writer: the byte layout for odd and even pixel
// counts, what ImageMagick's identify reads, and what a failure leaves.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/PSDLayerSave.h"
#include "tests/common/PixelBlockFailure.h"
#include "tests/common/TestData.h"
#include "tests/image/Exiftool.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t BE32(const Bytes& b, std::size_t at) {
  return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 |
         b[at + 3];
}
std::uint32_t BE16(const Bytes& b, std::size_t at) { return std::uint32_t{b[at]} << 8 | b[at + 1]; }

// A 16-bit layer of distinct colours and alphas.
CBgraImage16 Layer(std::uint32_t width, std::uint32_t height) {
  CBgraImage16 layer;
  EXPECT_EQ(layer.Create(width, height), 1);
  for (std::uint32_t i = 0; i < width * height; ++i) {
    std::uint16_t* p = layer.pixels + 4 * i;
    for (std::uint32_t c = 0; c < 4; ++c)
      p[c] = static_cast<std::uint16_t>((i * 7919 + c * 20011) * 13 % 65536);
  }
  return layer;
}

TEST(PSDLayerSave, LaysOutOneLayerAndTheMergedImage) {
  struct Case {
    std::uint32_t width, height;
    std::uint32_t channelBytes;  // b
  };
  for (const Case c : {Case{1, 1, 4}, Case{2, 2, 6}, Case{3, 3, 12}}) {
    SCOPED_TRACE(c.width);
    const auto path = ScratchDir() / "layer.psd";
    ASSERT_EQ(CPSDLayerSave().Save(path, Layer(c.width, c.height)), 1);
    const Bytes f = ReadFileBytes(path);
    const std::uint32_t n = c.width * c.height;
    const std::uint32_t b = c.channelBytes;
    ASSERT_EQ(f.size(), 168 + 4 * b + 4 * n);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "8BPS");
    EXPECT_EQ(BE16(f, 4), 1u);
    EXPECT_EQ(BE16(f, 12), 4u);
    EXPECT_EQ(BE32(f, 14), c.height);
    EXPECT_EQ(BE32(f, 18), c.width);
    EXPECT_EQ(BE16(f, 22), 8u);
    EXPECT_EQ(BE16(f, 24), 3u);
    EXPECT_EQ(BE32(f, 34), 4 * b + 128);
    EXPECT_EQ(BE32(f, 38), 4 * b + 120);
    EXPECT_EQ(BE16(f, 42), 0xFFFFu);
    EXPECT_EQ(BE32(f, 44 + 8), c.height);
    EXPECT_EQ(BE32(f, 44 + 12), c.width);
    for (std::uint32_t ch = 0; ch < 4; ++ch) {
      EXPECT_EQ(BE16(f, 44 + 18 + 6 * ch), (ch == 0 ? 0xFFFFu : ch - 1));
      EXPECT_EQ(BE32(f, 44 + 20 + 6 * ch), b);
    }
    EXPECT_EQ(std::string(f.begin() + 44 + 42, f.begin() + 44 + 50), "8BIMnorm");
    EXPECT_EQ(f[44 + 52], 0x20);
    EXPECT_EQ(BE32(f, 44 + 54), 60u);
    EXPECT_EQ(f[44 + 106], 5);
    EXPECT_EQ(std::string(f.begin() + 44 + 107, f.begin() + 44 + 112), "Layer");

    // Channel blocks A, R, G, B: compression 0, the bytes of the dithered
    // conversion, a zero pad when N is odd; the merged planes R, G, B, A
    // after.
    CBgraImage bytes;
    ASSERT_EQ(Layer(c.width, c.height).ToBgraImageDithered(bytes), 1);
    const std::size_t merged = 168 + 4 * b;
    const std::uint32_t byteOf[4] = {3, 2, 1, 0};  // A, R, G, B in a B, G, R, A pixel
    for (std::uint32_t ch = 0; ch < 4; ++ch) {
      const std::size_t block = 162 + ch * b;
      EXPECT_EQ(BE16(f, block), 0u);
      const std::uint32_t plane = (ch + 3) % 4;  // merged order R, G, B, A
      for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint8_t expected = bytes.pixels[4 * i + byteOf[ch]];
        EXPECT_EQ(f[block + 2 + i], expected) << "channel " << ch << " pixel " << i;
        EXPECT_EQ(f[merged + plane * n + i], expected) << "plane " << plane << " pixel " << i;
      }
      if (n % 2) {
        EXPECT_EQ(f[block + 2 + n], 0);
      }
    }
    EXPECT_EQ(BE32(f, 162 + 4 * b), 0u);
    EXPECT_EQ(BE16(f, 166 + 4 * b), 0u);
  }
}

TEST(PSDLayerSave, IdentifyReadsOneLayer) {
  if (std::system("command -v identify >/dev/null 2>&1") != 0) GTEST_SKIP() << "identify is not installed";
  const auto path = ScratchDir() / "layer.psd";
  ASSERT_EQ(CPSDLayerSave().Save(path, Layer(7, 5)), 1);
  // ImageMagick lists the merged image and then each layer.
  const std::string command = "identify -format '%w %h %[channels];' " + ShellQuoted(path.string()) + " 2>&1";
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  ASSERT_TRUE(pipe);
  std::string output;
  char buffer[512];
  while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe.get())) output.append(buffer, got);
  EXPECT_EQ(output, "7 5 srgba;7 5 srgba;");
}

TEST(PSDLayerSave, FailuresLeaveTheOldFile) {
  const auto folder = ScratchDir();
  const auto path = folder / "layer.psd";
  const Bytes old = {'o', 'l', 'd'};
  WriteFileBytes(path, old);
  EXPECT_EQ(CPSDLayerSave().Save(path, CBgraImage16{}), 0);
  {
    // The 8-bit copy succeeds, the layer block does not.
    const PixelBlockFailure failure(1);
    EXPECT_EQ(CPSDLayerSave().Save(path, Layer(4, 4)), 0);
  }
  EXPECT_EQ(CPSDLayerSave().Save(folder / "missing" / "layer.psd", Layer(4, 4)), 0);
  EXPECT_EQ(ReadFileBytes(path), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

}  // namespace
