#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/Plane16.h"
#include "image/Plane8.h"

namespace {

template <typename Record>
bool IsAllZero(const Record& r) {
  return !r.block && !r.pixels && r.width == 0 && r.height == 0 && r.byteSize == 0 && r.pixelCount == 0;
}

template <typename Record>
std::ptrdiff_t AlignmentOffset(const Record& r) {
  return reinterpret_cast<const std::uint8_t*>(r.pixels) - r.block.get();
}

template <typename Record>
class ImageRecordTest : public ::testing::Test {};
using ImageRecords = ::testing::Types<CBgraImage, CBgraImage16, CPlane8>;
TYPED_TEST_SUITE(ImageRecordTest, ImageRecords);

TYPED_TEST(ImageRecordTest, ZeroSizeGivesOnePixel) {
  TypeParam record;
  ASSERT_EQ(record.Create(0, 0), 1);
  EXPECT_EQ(record.width, 1u);
  EXPECT_EQ(record.height, 1u);
  EXPECT_EQ(record.byteSize, TypeParam::kBytesPerPixel);
}

TYPED_TEST(ImageRecordTest, SameSizeKeepsBlockOtherSizeReplacesIt) {
  TypeParam record;
  ASSERT_EQ(record.Create(7, 5), 1);
  record.pixels[0] = 42;
  const auto* block = record.block.get();
  ASSERT_EQ(record.Create(7, 5), 1);
  EXPECT_EQ(record.block.get(), block);
  EXPECT_EQ(record.pixels[0], 42);
  ASSERT_EQ(record.Create(9, 5), 1);
  EXPECT_EQ(record.width, 9u);
  EXPECT_EQ(record.byteSize, 9u * 5u * TypeParam::kBytesPerPixel);
}

TYPED_TEST(ImageRecordTest, PixelsAreAlignedOneToSixteenBytesIn) {
  for (std::uint32_t side : {1u, 3u, 17u, 640u}) {
    TypeParam record;
    ASSERT_EQ(record.Create(side, side + 1), 1);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(record.pixels) % 16, 0u);
    EXPECT_GE(AlignmentOffset(record), 1);
    EXPECT_LE(AlignmentOffset(record), 16);
  }
}

TYPED_TEST(ImageRecordTest, SizeAboveTheLimitIsRefusedWithoutAllocating) {
  TypeParam record;
  // 65536 x 65536 would wrap a 32-bit byte count; 20001 x 20000 is just over.
  for (auto [w, h] : {std::pair{65536u, 65536u}, {20001u, 20000u}, {0xFFFFFFFFu, 2u}}) {
    EXPECT_EQ(record.Create(w, h), 0);
    EXPECT_EQ(record.pixels, nullptr);
  }
}

TEST(PixelContainers, ImageCreateFailureLeavesRecordEmpty) {
  CBgraImage16 image;
  ASSERT_EQ(image.Create(4, 4), 1);
  EXPECT_EQ(image.Create(20000, 20001), 0);
  EXPECT_TRUE(IsAllZero(image));
}

TEST(PixelContainers, PlaneCreateFailureKeepsOldSizeFields) {
  CPlane8 plane;
  ASSERT_EQ(plane.Create(4, 3), 1);
  EXPECT_EQ(plane.Create(70000, 70000), 0);
  EXPECT_EQ(plane.pixels, nullptr);
  EXPECT_EQ(plane.width, 4u);
  EXPECT_EQ(plane.byteSize, 12u);
}

TEST(PixelContainers, Plane16KeepsZeroSides) {
  CPlane16 plane;
  ASSERT_EQ(plane.Create(0, 5), 1);
  EXPECT_EQ(plane.width, 0u);
  EXPECT_EQ(plane.pixelCount, 0u);
  ASSERT_EQ(plane.Create(3, 2), 1);
  EXPECT_EQ(plane.byteSize, 12u);
  EXPECT_EQ(plane.pixelCount, 6u);
}

TEST(PixelContainers, CopyFromReusesBlockOfEqualByteSize) {
  CBgraImage source;
  ASSERT_EQ(source.Create(100, 200), 1);
  for (std::uint32_t i = 0; i < source.byteSize; ++i) source.pixels[i] = static_cast<std::uint8_t>(i * 7);
  CBgraImage target;
  ASSERT_EQ(target.Create(200, 100), 1);
  const auto* block = target.block.get();
  ASSERT_EQ(target.CopyFrom(source), 1);
  EXPECT_EQ(target.block.get(), block);
  EXPECT_EQ(target.width, 100u);
  EXPECT_EQ(target.height, 200u);
  EXPECT_EQ(target.pixelCount, 20000u);
  EXPECT_EQ(std::memcmp(target.pixels, source.pixels, source.byteSize), 0);
}

TEST(PixelContainers, CopyFromEmptySourceLeavesTargetUntouched) {
  CBgraImage16 empty, target;
  ASSERT_EQ(target.Create(2, 2), 1);
  target.pixels[0] = 9;
  EXPECT_EQ(target.CopyFrom(empty), 0);
  EXPECT_EQ(target.width, 2u);
  EXPECT_EQ(target.pixels[0], 9);
}

TEST(PixelContainers, FreeOnEmptyAndFilledRecords) {
  CBgraImage image;
  EXPECT_EQ(image.Free(), 0);
  EXPECT_TRUE(IsAllZero(image));
  ASSERT_EQ(image.Create(3, 3), 1);
  EXPECT_EQ(image.Free(), 0);
  EXPECT_TRUE(IsAllZero(image));

  CPlane8 plane;
  plane.Free();
  EXPECT_TRUE(IsAllZero(plane));
  ASSERT_EQ(plane.Create(3, 2), 1);
  plane.Free();
  EXPECT_EQ(plane.pixels, nullptr);
  EXPECT_EQ(plane.width, 3u);  // a plane keeps its size fields
}

TEST(PixelContainers, MoveLeavesSourceEmpty) {
  CBgraImage16 a;
  ASSERT_EQ(a.Create(5, 5), 1);
  CBgraImage16 b(std::move(a));
  EXPECT_TRUE(IsAllZero(a));
  EXPECT_EQ(b.width, 5u);
  a = std::move(b);
  EXPECT_EQ(a.width, 5u);
  EXPECT_TRUE(IsAllZero(b));
}

}  // namespace
