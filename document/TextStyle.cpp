#include "document/TextStyle.h"

#include <algorithm>

#include "platform/LittleEndian.h"

void TextStyle::Encode(std::span<std::uint8_t, kSize> bytes) const {
  for (std::size_t i = 0; i < kFaceLength; ++i) StoreLE16(&bytes[2 * i], face[i]);
  StoreLE32(&bytes[128], static_cast<std::uint32_t>(size));
  bytes[132] = bold;
  bytes[133] = italic;
  bytes[134] = underline;
  bytes[135] = alignment;
  for (std::size_t c = 0; c < 4; ++c) StoreLE16(&bytes[136 + 2 * c], colour[c]);
  StoreLE32(&bytes[144], static_cast<std::uint32_t>(lineSpacing));
  bytes[148] = antialias;
  std::copy(reserved1.begin(), reserved1.end(), &bytes[149]);
  StoreLE32(&bytes[152], static_cast<std::uint32_t>(charset));
  std::copy(reserved2.begin(), reserved2.end(), &bytes[156]);
  std::copy(reserved3.begin(), reserved3.end(), &bytes[220]);
}

TextStyle TextStyle::Decode(std::span<const std::uint8_t, kSize> bytes) {
  TextStyle style;
  bool ended = false;
  for (std::size_t i = 0; i < kFaceLength; ++i) {
    const char16_t c = LoadLE16(&bytes[2 * i]);
    ended = ended || c == 0 || i + 1 == kFaceLength;
    style.face[i] = ended ? 0 : c;
  }
  style.size = std::clamp(static_cast<std::int32_t>(LoadLE32(&bytes[128])), kMinSize, kMaxSize);
  style.bold = bytes[132];
  style.italic = bytes[133];
  style.underline = bytes[134];
  style.alignment = bytes[135] <= kMaxAlignment ? bytes[135] : 0;
  for (std::size_t c = 0; c < 4; ++c) style.colour[c] = LoadLE16(&bytes[136 + 2 * c]);
  style.lineSpacing =
      std::clamp(static_cast<std::int32_t>(LoadLE32(&bytes[144])), kMinLineSpacing, kMaxLineSpacing);
  style.antialias = bytes[148];
  std::copy_n(&bytes[149], 3, style.reserved1.begin());
  style.charset = static_cast<std::int32_t>(LoadLE32(&bytes[152]));
  std::copy_n(&bytes[156], 64, style.reserved2.begin());
  std::copy_n(&bytes[220], 4, style.reserved3.begin());
  return style;
}
