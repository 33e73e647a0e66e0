#include "image/ImagePropertyRecord.h"

#include <cstring>
#include <new>

std::uint32_t ImagePropertyRecord::KindOfType(std::uint16_t type) {
  switch (type) {
    case 1:
    case 2:
      return kKindBytes;
    case 3:
      return kKindShort;
    case 5:
    case 10:
      return kKindRational;
    default:
      return kKindOther;
  }
}

int ImagePropertyRecord::SetData(std::span<const std::uint8_t> value) {
  valueBlock.reset();
  length = 0;
  count = 0;
  inlineValue[0] = 0;
  if (value.size() > UINT32_MAX - 1) return 0;
  const auto size = static_cast<std::uint32_t>(value.size());
  std::uint8_t* to = inlineValue.data();
  if (size > kInlineBytes - 2) {
    valueBlock.reset(new (std::nothrow) std::uint8_t[std::size_t{size} + 1]);
    if (!valueBlock) return 0;
    to = valueBlock.get();
  }
  if (size > 0) std::memcpy(to, value.data(), size);
  to[size] = 0;
  length = size;
  switch (kind) {
    case kKindShort:
      count = size / 2;
      break;
    case kKindLong:
      count = size / 4;
      break;
    case kKindRational:
      count = size / 8;
      break;
    default:
      count = size;
      break;
  }
  return 1;
}
