#include "image/codecs/CodecStream.h"

bool CCodecStream::PutC(std::uint8_t byte) { return Write(&byte, 1, 1) == 1; }
