#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "image/PixelBlock.h"
#include "platform/LargeAllocation.h"

namespace {

std::uintptr_t Address(const PixelBlock& block) { return reinterpret_cast<std::uintptr_t>(block.get()); }

// The VmFlags of the mapping that holds address, from /proc/self/smaps;
// empty when there is no such mapping.
std::string MappingFlags(std::uintptr_t address) {
  std::ifstream smaps("/proc/self/smaps");
  bool inside = false;
  for (std::string line; std::getline(smaps, line);) {
    std::uintptr_t start = 0, end = 0;
    char dash = 0;
    std::istringstream fields(line);
    if (fields >> std::hex >> start >> dash >> end && dash == '-') {
      inside = start <= address && address < end;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      return line + " ";
    }
  }
  return {};
}

// Sizes on both sides of the huge-page threshold. Every byte is written (the
// address sanitizer checks the extent), the pixels start 1 to 16 bytes in on
// a 16-byte boundary, and a large block starts on a huge-page boundary, which
// the kernel needs to back it with huge pages.
TEST(PixelBlock, BlocksAroundTheHugePageSizeAreWholeAndAligned) {
  EXPECT_EQ(AllocPixelBlock(0), nullptr);
  for (std::uint64_t size : {std::uint64_t{1}, std::uint64_t{17}, kHugePageBytes - 1, kHugePageBytes,
                             kHugePageBytes + 16, 3 * kHugePageBytes + 5}) {
    SCOPED_TRACE(size);
    PixelBlock block = AllocPixelBlock(size);
    ASSERT_NE(block, nullptr);
    std::memset(block.get(), 0xA5, static_cast<std::size_t>(size));
    const std::ptrdiff_t offset = AlignedPixels(block.get()) - block.get();
    EXPECT_GE(offset, 1);
    EXPECT_LE(offset, 16);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(AlignedPixels(block.get())) % 16, 0u);
    if (size >= kHugePageBytes) {
      EXPECT_EQ(Address(block) % kHugePageBytes, 0u);
    }
  }
}

// The large block's mapping carries the huge-page advice ("hg" among its
// VmFlags): without it, under the usual "madvise" setting, the kernel backs
// the block with 4 KiB pages.
TEST(PixelBlock, LargeBlockIsAdvisedForHugePages) {
  if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage/enabled")) {
    GTEST_SKIP() << "the kernel has no transparent huge pages";
  }
  const PixelBlock large = AllocPixelBlock(4 * kHugePageBytes + 16);
  ASSERT_NE(large, nullptr);
  const std::string flags = MappingFlags(Address(large));
  ASSERT_FALSE(flags.empty()) << "no /proc/self/smaps entry for the block";
  EXPECT_NE(flags.find(" hg "), std::string::npos) << flags;
}

}  // namespace
