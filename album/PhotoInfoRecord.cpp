#include "album/PhotoInfoRecord.h"

#include <algorithm>

std::uint32_t HashPhotoPath(std::u16string_view path) {
  static constexpr std::uint32_t kPrimes[13] = {2, 3, 5, 7, 11, 13, 17, 23, 29, 31, 37, 41, 43};
  std::uint32_t sum = 0;
  std::uint8_t low = 0;
  const std::size_t count = std::min<std::size_t>(path.size(), 1024);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t c = path[i];
    const std::uint32_t p = c * kPrimes[i % 13];
    sum += (c << 22) + (p << 8);
    low ^= static_cast<std::uint8_t>(p);
  }
  return sum + low;
}
