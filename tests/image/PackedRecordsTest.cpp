#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <random>
#include <vector>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/PackedRecords.h"
#include "image/Plane8.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "tests/common/TestData.h"

#if defined(__SANITIZE_ADDRESS__)
#include <atomic>

// From the sanitizer runtime (GCC ships no header for it).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, std::size_t),
                                                         void (*onFree)(const volatile void*));
#endif

namespace {

// The largest single allocation made while an instance lives; under
// AddressSanitizer (as CI runs) through its allocation hooks, elsewhere 0.
class LargestAllocation {
public:
#if defined(__SANITIZE_ADDRESS__)
  LargestAllocation() {
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
    EXPECT_TRUE(installed);
    s_largest = 0;
    s_watching = true;
  }
  ~LargestAllocation() { s_watching = false; }
  std::size_t Largest() const { return s_largest; }

private:
  static void OnMalloc(const volatile void*, std::size_t size) {
    if (s_watching && size > s_largest) s_largest = size;
  }
  static void OnFree(const volatile void*) {}
  static inline std::atomic<bool> s_watching{false};
  static inline std::atomic<std::size_t> s_largest{0};
#else
  std::size_t Largest() const { return 0; }
#endif
};

constexpr std::size_t kSmallAllocation = 1 << 20;

template <typename Image>
void FillRandom(Image& image, std::uint32_t seed) {
  std::mt19937 random(seed);
  for (auto& sample : image.Samples()) sample = static_cast<typename Image::SampleType>(random());
}

CBgraImage16 OpaqueImage(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  CBgraImage16 image;
  EXPECT_EQ(image.Create(w, h), 1);
  FillRandom(image, seed);
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) image.pixels[4 * i + 3] = 65535;
  return image;
}

std::vector<std::uint8_t> Prefix(const std::vector<std::uint8_t>& bytes, std::size_t n) {
  return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)};
}

// A page is written out and read back on every tab switch, save and undo
// snapshot: once read, an image must write back to exactly the same words, so
// nothing drifts however often that happens.
TEST(PackedImage16, ReadImageWritesBackToTheSameWords) {
  CBgraImage16 image;
  ASSERT_EQ(image.Create(64, 64), 1);
  std::uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
    const int base = static_cast<int>(next() % 56000) + 4000;
    for (int c = 0; c < 3; ++c) {
      image.pixels[4 * i + c] = static_cast<std::uint16_t>(base + static_cast<int>(next() % 8000) - 4000);
    }
    image.pixels[4 * i + 3] = 65535;
  }
  CMemFile first;
  ASSERT_EQ(WritePackedImage16(image, first), 1);
  ASSERT_TRUE(first.Seek(0, CFile::SeekOrigin::Begin));
  CBgraImage16 back;
  ASSERT_EQ(ReadPackedImage16(first, back), 1);
  CMemFile second;
  ASSERT_EQ(WritePackedImage16(back, second), 1);
  EXPECT_EQ(second.bytes(), first.bytes());
}

TEST(PackedImage16, OpaqueImageByteCountAndWhite) {
  CBgraImage16 image = OpaqueImage(5, 3, 1);
  std::fill_n(image.pixels, 3, 65535);                     // white
  std::fill_n(image.pixels + 4, 3, std::uint16_t{40009});  // a grey
  CMemFile stream;
  ASSERT_EQ(WritePackedImage16(image, stream), 1);
  const auto& bytes = stream.bytes();
  ASSERT_EQ(bytes.size(), 4u + 4u * 15u + 1u);
  EXPECT_EQ(LoadLE16(&bytes[0]), 5);
  EXPECT_EQ(LoadLE16(&bytes[2]), 3);
  EXPECT_EQ(LoadLE32(&bytes[4]), 0xFFF80200u);
  EXPECT_EQ(LoadLE32(&bytes[8]) & 0xFFFFF, (512u << 10) | 512u);  // grey: Cb = Cr = 512
  EXPECT_EQ(bytes.back(), 0);

  ASSERT_TRUE(stream.Seek(0, CFile::SeekOrigin::Begin));
  CBgraImage16 back;
  ASSERT_EQ(ReadPackedImage16(stream, back), 1);
  EXPECT_EQ(stream.GetPosition(), stream.GetLength());
  ASSERT_EQ(back.width, 5u);
  ASSERT_EQ(back.height, 3u);
  EXPECT_EQ(std::vector<int>(back.pixels, back.pixels + 4), (std::vector<int>{65520, 65520, 65520, 65535}));
  // A grey reads back as its luminance rounded to the nearest multiple of 16.
  EXPECT_EQ(std::vector<int>(back.pixels + 4, back.pixels + 8),
            (std::vector<int>{40016, 40016, 40016, 65535}));
  // Colours keep 12 bits of luminance and 10 of each difference.
  for (std::uint32_t i = 2; i < 15; ++i) {
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(back.pixels[4 * i + c], image.pixels[4 * i + c], 1200) << i;
  }
}

TEST(PackedImage16, OneTranslucentPixelStoresTheAlphaPlane) {
  CBgraImage16 image = OpaqueImage(4, 4, 2);
  CBgraImage16 back;
  // 65534 alone makes the writer store the plane; its high byte 0xFF reads
  // back as opaque, like every 65535.
  image.At(1, 2)[3] = 65534;
  CMemFile single;
  ASSERT_EQ(WritePackedImage16(image, single), 1);
  EXPECT_EQ(single.bytes()[4 + 64], 1);
  EXPECT_EQ(LoadLE32(&single.bytes()[4 + 64 + 1]), single.bytes().size() - (4 + 64 + 5));
  ASSERT_TRUE(single.Seek(0, CFile::SeekOrigin::Begin));
  ASSERT_EQ(ReadPackedImage16(single, back), 1);
  EXPECT_EQ(single.GetPosition(), single.GetLength());
  for (std::uint32_t i = 0; i < 16; ++i) EXPECT_EQ(back.pixels[4 * i + 3], 65535);

  // Lower alphas keep their high byte.
  image.At(3, 3)[3] = 300;
  image.At(0, 1)[3] = 65279;
  CMemFile stream;
  ASSERT_EQ(WritePackedImage16(image, stream), 1);
  ASSERT_TRUE(stream.Seek(0, CFile::SeekOrigin::Begin));
  ASSERT_EQ(ReadPackedImage16(stream, back), 1);
  for (std::uint32_t y = 0; y < 4; ++y) {
    for (std::uint32_t x = 0; x < 4; ++x) {
      const int expected = x == 3 && y == 3 ? 256 : x == 0 && y == 1 ? 0xFE00 : 65535;
      EXPECT_EQ(back.At(x, y)[3], expected) << x << "," << y;
    }
  }
}

TEST(PackedImage16, WriterRefusals) {
  CMemFile stream;
  CBgraImage16 empty, wide;
  EXPECT_EQ(WritePackedImage16(empty, stream), 0);
  ASSERT_EQ(wide.Create(65536, 1), 1);
  std::fill(wide.Samples().begin(), wide.Samples().end(), 0);
  EXPECT_EQ(WritePackedImage16(wide, stream), 0);  // would not fit the u16 side
  EXPECT_TRUE(stream.bytes().empty());
}

TEST(PackedImage16, DamagedRecords) {
  // Sides asking for 20000 x 20000 pixels, backed by 16 bytes: refused before
  // the image is allocated.
  ByteWriter huge;
  huge.U16(20000);
  huge.U16(20000);
  huge.Zeros(16);
  CMemFile hugeStream(huge.Take());
  CBgraImage16 image;
  {
    LargestAllocation watch;
    EXPECT_EQ(ReadPackedImage16(hugeStream, image), 0);
    EXPECT_LT(watch.Largest(), kSmallAllocation);
  }
  EXPECT_TRUE(image.IsEmpty());
  EXPECT_EQ(hugeStream.GetPosition(), 4);  // nothing read past the sides

  // Zero sides are never written.
  CMemFile zeroSide(std::vector<std::uint8_t>{0, 0, 5, 0, 1, 2, 3, 4});
  EXPECT_EQ(ReadPackedImage16(zeroSide, image), 0);

  // Every cut fails, except the one that loses exactly the optional flag.
  CBgraImage16 source = OpaqueImage(3, 2, 3);
  source.pixels[3] = 100;
  CMemFile stream;
  ASSERT_EQ(WritePackedImage16(source, stream), 1);
  const auto& bytes = stream.bytes();
  const std::size_t wordsEnd = 4 + 4 * 6;
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    CMemFile cut(Prefix(bytes, n));
    CBgraImage16 back;
    EXPECT_EQ(ReadPackedImage16(cut, back), n == wordsEnd ? 1 : 0) << n;
    if (n != wordsEnd) {
      EXPECT_TRUE(back.IsEmpty()) << n;
    }
  }

  // Alpha data that does not inflate keeps A at 65535.
  std::vector<std::uint8_t> corrupt = bytes;
  for (std::size_t i = wordsEnd + 5; i < corrupt.size(); ++i) corrupt[i] ^= 0x5A;
  CMemFile corruptStream(corrupt);
  CBgraImage16 back;
  ASSERT_EQ(ReadPackedImage16(corruptStream, back), 1);
  EXPECT_EQ(back.pixels[3], 65535);

  // An alpha count larger than what is left is refused.
  std::vector<std::uint8_t> overlong = bytes;
  StoreLE32(&overlong[wordsEnd + 1], 0x7FFFFFFF);
  CMemFile overlongStream(overlong);
  EXPECT_EQ(ReadPackedImage16(overlongStream, back), 0);
}

TEST(PackedPlane, RoundTripEmptyPlaneAndDamage) {
  CPlane8 plane, back;
  ASSERT_EQ(plane.Create(7, 5), 1);
  FillRandom(plane, 4);
  CMemFile stream;
  CPlane8 empty;
  ASSERT_EQ(WritePackedPlane(empty, stream), 1);
  EXPECT_EQ(stream.bytes(), std::vector<std::uint8_t>(4, 0));
  ASSERT_EQ(WritePackedPlane(plane, stream), 1);
  const std::vector<std::uint8_t> bytes = stream.bytes();

  ASSERT_TRUE(stream.Seek(0, CFile::SeekOrigin::Begin));
  ASSERT_EQ(back.Create(2, 2), 1);
  ASSERT_EQ(ReadPackedPlane(stream, back), 1);
  EXPECT_TRUE(back.IsEmpty());
  ASSERT_EQ(ReadPackedPlane(stream, back), 1);
  EXPECT_EQ(stream.GetPosition(), stream.GetLength());
  ASSERT_EQ(back.width, 7u);
  EXPECT_EQ(std::memcmp(back.pixels, plane.pixels, plane.byteSize), 0);

  // Every cut of the second record fails and leaves no pixels.
  for (std::size_t n = 4; n < bytes.size(); ++n) {
    std::vector<std::uint8_t> cut(bytes.begin() + 4, bytes.begin() + static_cast<std::ptrdiff_t>(n));
    CMemFile cutStream(cut);
    EXPECT_EQ(ReadPackedPlane(cutStream, back), 0) << n;
    EXPECT_TRUE(back.IsEmpty());
  }
  // 20000 x 20000 bytes from a dozen bytes cannot inflate: refused without
  // allocating; likewise a count of zero.
  ByteWriter huge;
  huge.U16(20000);
  huge.U16(20000);
  huge.U32(12);
  huge.Zeros(12);
  CMemFile hugeStream(huge.Take());
  {
    LargestAllocation watch;
    EXPECT_EQ(ReadPackedPlane(hugeStream, back), 0);
    EXPECT_LT(watch.Largest(), kSmallAllocation);
  }
  // A count larger than what is left is refused before it is allocated.
  ByteWriter overlong;
  overlong.U16(2);
  overlong.U16(2);
  overlong.U32(0xFFFFFFF0u);
  overlong.Zeros(12);
  CMemFile overlongStream(overlong.Take());
  {
    LargestAllocation watch;
    EXPECT_EQ(ReadPackedPlane(overlongStream, back), 0);
    EXPECT_LT(watch.Largest(), kSmallAllocation);
  }
  CMemFile zeroCount(std::vector<std::uint8_t>{1, 0, 1, 0, 0, 0, 0, 0});
  EXPECT_EQ(ReadPackedPlane(zeroCount, back), 0);

  CPlane8 wide;
  ASSERT_EQ(wide.Create(65536, 1), 1);
  CMemFile refused;
  EXPECT_EQ(WritePackedPlane(wide, refused), 0);
  EXPECT_TRUE(refused.bytes().empty());
}

// Each pixel as the YCbCr round trip of 8 bits leaves it.
std::vector<std::uint8_t> ThroughYcc(const CBgraImage& image, const Rect& r) {
  CBgraImage part;
  EXPECT_EQ(part.Create(static_cast<std::uint32_t>(r.Width()), static_cast<std::uint32_t>(r.Height())), 1);
  for (int y = r.top; y < r.bottom; ++y) {
    std::memcpy(part.Row(static_cast<std::uint32_t>(y - r.top)),
                image.At(static_cast<std::uint32_t>(r.left), static_cast<std::uint32_t>(y)),
                std::size_t(r.Width()) * 4);
  }
  part.RgbToYcc();
  part.YccToRgb();
  return {part.pixels, part.pixels + part.byteSize};
}

TEST(PackedRegion, RoundTripsThroughYcc) {
  CBgraImage source;
  ASSERT_EQ(source.Create(12, 9), 1);
  FillRandom(source, 5);
  struct Case {
    Rect rectangle;
    std::uint8_t withAlpha;
  };
  for (const Case& c :
       {Case{{2, 3, 9, 8}, 1}, Case{{0, 0, 12, 9}, 0}, Case{{11, 8, 12, 9}, 7}, Case{{4, 4, 5, 5}, 0}}) {
    CMemFile stream;
    ASSERT_EQ(WritePackedRegion(source, stream, c.rectangle, c.withAlpha), 1);
    const std::size_t area = std::size_t(c.rectangle.Width()) * c.rectangle.Height();
    EXPECT_EQ(stream.bytes()[area + 4 + LoadLE32(&stream.bytes()[area])], c.withAlpha);
    ASSERT_TRUE(stream.Seek(0, CFile::SeekOrigin::Begin));
    CBgraImage target;
    ASSERT_EQ(target.Create(12, 9), 1);
    std::memset(target.pixels, 0xEE, target.byteSize);
    ASSERT_EQ(ReadPackedRegion(stream, target, c.rectangle), 1);
    EXPECT_EQ(stream.GetPosition(), stream.GetLength());

    const auto expected = ThroughYcc(source, c.rectangle);
    for (int y = 0; y < 9; ++y) {
      for (int x = 0; x < 12; ++x) {
        const std::uint8_t* p = target.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
        if (!c.rectangle.Contains(x, y)) {
          ASSERT_EQ(p[0], 0xEE);  // outside the rectangle nothing changes
          continue;
        }
        const std::size_t i = std::size_t(y - c.rectangle.top) * c.rectangle.Width() + (x - c.rectangle.left);
        ASSERT_EQ(std::memcmp(p, &expected[4 * i], 3), 0) << x << "," << y;
        ASSERT_EQ(p[3], c.withAlpha
                            ? source.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y))[3]
                            : 255);
      }
    }
  }
}

TEST(PackedRegion, RefusalsAndDamage) {
  CBgraImage image;
  ASSERT_EQ(image.Create(6, 4), 1);
  FillRandom(image, 6);
  CMemFile refused;
  for (Rect bad : {Rect{0, 0, 0, 4}, Rect{0, 0, 7, 4}, Rect{-1, 0, 2, 2}, Rect{3, 3, 2, 4}}) {
    EXPECT_EQ(WritePackedRegion(image, refused, bad, 1), 0);
    EXPECT_EQ(ReadPackedRegion(refused, image, bad), 0);
  }
  EXPECT_TRUE(refused.bytes().empty());

  const Rect r{1, 1, 5, 4};
  CMemFile stream;
  ASSERT_EQ(WritePackedRegion(image, stream, r, 1), 1);
  const auto& bytes = stream.bytes();
  const std::size_t flagAt = 12 + 4 + LoadLE32(&bytes[12]);
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    CMemFile cut(Prefix(bytes, n));
    CBgraImage target;
    ASSERT_EQ(target.Create(6, 4), 1);
    EXPECT_EQ(ReadPackedRegion(cut, target, r), n == flagAt ? 1 : 0) << n;
  }
  // The reader is given a rectangle the image cannot hold.
  CBgraImage small;
  ASSERT_EQ(small.Create(3, 3), 1);
  ASSERT_TRUE(stream.Seek(0, CFile::SeekOrigin::Begin));
  EXPECT_EQ(ReadPackedRegion(stream, small, r), 0);
}

TEST(PackedRecords, FollowEachOtherInOneStream) {
  CBgraImage16 image = OpaqueImage(3, 3, 7);
  image.pixels[3] = 0;
  CPlane8 plane;
  ASSERT_EQ(plane.Create(4, 2), 1);
  FillRandom(plane, 8);
  CBgraImage region;
  ASSERT_EQ(region.Create(5, 5), 1);
  FillRandom(region, 9);
  const Rect r{1, 1, 4, 3};

  CMemFile stream;
  ASSERT_EQ(WritePackedImage16(image, stream), 1);
  ASSERT_EQ(WritePackedRegion(region, stream, r, 1), 1);
  ASSERT_EQ(WritePackedPlane(plane, stream), 1);
  ASSERT_EQ(WritePackedImage16(image, stream), 1);
  ASSERT_TRUE(stream.Seek(0, CFile::SeekOrigin::Begin));
  CBgraImage16 a, b;
  CBgraImage regionBack;
  CPlane8 planeBack;
  ASSERT_EQ(regionBack.Create(5, 5), 1);
  ASSERT_EQ(ReadPackedImage16(stream, a), 1);
  ASSERT_EQ(ReadPackedRegion(stream, regionBack, r), 1);
  ASSERT_EQ(ReadPackedPlane(stream, planeBack), 1);
  ASSERT_EQ(ReadPackedImage16(stream, b), 1);
  EXPECT_EQ(stream.GetPosition(), stream.GetLength());
  EXPECT_EQ(b.pixels[3], 0);
  EXPECT_EQ(std::memcmp(planeBack.pixels, plane.pixels, plane.byteSize), 0);
}

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(RawBgr, RoundTripAndTruncation) {
  const auto path = ScratchDir() / "picture.raw";
  CBgraImage image;
  ASSERT_EQ(image.Create(5, 4), 1);
  FillRandom(image, 10);
  ASSERT_EQ(image.SaveRawBgr(path), 1);
  const auto bytes = ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), 8u + 3u * 20u);
  EXPECT_EQ(LoadLE32(&bytes[0]), 5u);
  EXPECT_EQ(LoadLE32(&bytes[4]), 4u);

  CBgraImage back;
  ASSERT_EQ(back.LoadRawBgr(path), 1);
  ASSERT_EQ(back.width, 5u);
  for (std::uint32_t i = 0; i < 20; ++i) {
    EXPECT_EQ(std::memcmp(back.pixels + 4 * i, image.pixels + 4 * i, 3), 0);
    EXPECT_EQ(back.pixels[4 * i + 3], 255);
  }

  // Cut in the middle of the third row: the file does not hold the picture
  // its header announces, and the image stays as it was.
  WriteFileBytes(path, Prefix(bytes, 8 + 15 * 2 + 7));
  EXPECT_EQ(back.LoadRawBgr(path), 0);
  EXPECT_EQ(back.width, 5u);
  EXPECT_EQ(std::memcmp(back.Row(3), image.Row(3), 3), 0);
}

TEST(RawBgr, RefusalsLeaveImagesAndFilesAlone) {
  const auto dir = ScratchDir();
  CBgraImage image;
  ASSERT_EQ(image.Create(2, 2), 1);
  std::memset(image.pixels, 0x33, image.byteSize);
  for (auto [w, h] : {std::pair{0u, 5u}, {5u, 0u}, {65536u, 1u}, {0xFFFFFFFFu, 0xFFFFFFFFu}}) {
    std::vector<std::uint8_t> header(38, 0);
    StoreLE32(&header[0], w);
    StoreLE32(&header[4], h);
    WriteFileBytes(dir / "bad.raw", header);
    EXPECT_EQ(image.LoadRawBgr(dir / "bad.raw"), 0) << w << "x" << h;
    EXPECT_EQ(image.width, 2u);
    EXPECT_EQ(image.pixels[0], 0x33);
  }
  WriteFileBytes(dir / "short.raw", {1, 0, 0});
  EXPECT_EQ(image.LoadRawBgr(dir / "short.raw"), 0);
  EXPECT_EQ(image.LoadRawBgr(dir / "missing.raw"), 0);

  // A save that cannot be made reports it and leaves the old file whole.
  WriteFileBytes(dir / "keep.raw", {1, 2, 3});
  CBgraImage empty;
  EXPECT_EQ(empty.SaveRawBgr(dir / "keep.raw"), 0);
  EXPECT_EQ(image.SaveRawBgr(dir / "no-such-folder" / "x.raw"), 0);
  EXPECT_EQ(ReadFileBytes(dir / "keep.raw"), (std::vector<std::uint8_t>{1, 2, 3}));
}

}  // namespace
