#pragma once
// The shared body of the codec targets: the codec image's decoder over a
// memory stream; a decoded image that the same format encodes again must
// decode to the same size (an encoder may refuse what its format cannot
// hold, such as a large icon).

#include <cstddef>
#include <cstdint>

#include "image/codecs/CodecFormat.h"

void FuzzCodecDecode(const std::uint8_t* data, std::size_t size, CodecFormat format);
