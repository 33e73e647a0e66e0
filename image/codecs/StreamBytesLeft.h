#pragma once
// How many bytes a codec stream still holds, so that a decoder can refuse a
// header whose picture needs more data than the stream has before it
// allocates the picture.

#include <cstdint>

#include "image/codecs/CodecStream.h"

// The bytes from the stream's position to its end, or -1 when the stream
// cannot tell.
inline std::int64_t StreamBytesLeft(CCodecStream& stream) {
  const std::int32_t size = stream.Size();
  const std::int32_t at = stream.Tell();
  if (size < 0 || at < 0 || at > size) return -1;
  return std::int64_t{size} - at;
}

// True unless the stream can tell that it holds fewer than bytes.
inline bool StreamMayHold(CCodecStream& stream, std::uint64_t bytes) {
  const std::int64_t left = StreamBytesLeft(stream);
  return left < 0 || bytes <= static_cast<std::uint64_t>(left);
}
