#pragma once
// Why the last picture load on this thread failed, for the message its caller
// shows: the loads of the image-file layer (CBgraImage::LoadFile,
// LoadImageAsBgra, DecodeJpegFromMemory, LoadJpegRows, LoadRawImage) clear it
// when they start and, on failure, leave the decoder's text here. Pictures
// above the size limits are refused from their headers, before any pixel
// memory is taken, with kImageTooLarge. Each thread has its own text.

#include <cstdint>
#include <string_view>

#include "image/PixelBlock.h"

inline constexpr char kImageTooLarge[] = "Image too large";

// True when a picture of width x height may be made from a file: at most
// kMaxImagePixels pixels and no side above maxSide.
inline bool FitsImageLimits(std::uint32_t width, std::uint32_t height, std::uint32_t maxSide) {
  return std::uint64_t{width} * height <= kMaxImagePixels && width <= maxSide && height <= maxSide;
}

// Empty when the last load succeeded or failed without a text.
std::string_view ImageLoadError();
void SetImageLoadError(std::string_view text);
