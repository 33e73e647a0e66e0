#pragma once
// The GIF codec (GIF87a and GIF89a).
//
// Decoding reads frame frameIndex and reports the number of frames in
// frameCount. A frame becomes a palette image of its own size (1 bit for a
// colour table of up to 2 entries, 4 bits up to 16, else 8) with its
// position in offsetX and offsetY, its delay in frameDelay and its
// transparent index; with a transparent index, palette entries beyond the
// table are white. A local colour table serves its own frame only. Frames
// before the one asked for are decoded too: while the previous frame's
// disposal method is 0 or 1 (not disposed), each frame's opaque pixels are
// painted over the picture so far, which keeps the first frame's size and
// transparent index. The result stays a palette image while every frame
// uses its palette; otherwise it becomes 24 bits, with an alpha plane when
// the picture had transparent pixels. After disposal 2 or 3 a frame stands
// alone.
//
// True-colour mode: a file without a global colour table whose first frame
// differs from the logical screen in width or height (as the encoder writes
// 24-bit images) decodes to one 24-bit picture of the screen size with every
// frame painted at its position; frameIndex becomes the last frame.
//
// Encoding writes palette images as one frame with a global colour table,
// and 24-bit images as tiles of 17 x 15 pixels, each with its own 256-entry
// table, losslessly. The image data codes runs (GifRunEncoder.h).
//
// Faulty image data keeps what was decoded; extensions are skipped by their
// sub-blocks, and bytes between blocks are passed over. Frames (and the
// true-colour screen) above the size limits (attributes.maxSide and
// kMaxImagePixels) fail with "Image too large", and ones larger than the
// rest of the file could code with "Not enough image data", before pixel
// memory is taken.

#include <cstdint>

#include "image/codecs/CodecImage.h"

class CCodecStream;

class CCodecImageGIF final : public CCodecImage {
public:
  CCodecImageGIF() : CCodecImage(CodecFormat::Gif) {}

  // False with the reason in lastError; frameCount is set once the header
  // was read.
  [[nodiscard]] bool Decode(CCodecStream& stream);
  // False when a write fails or a side is above 65535.
  [[nodiscard]] bool Encode(CCodecStream& stream);
  // The number of image descriptors from the stream's position on, found by
  // walking the blocks without decoding pixels; the position is restored.
  std::int32_t CountFrames(CCodecStream& stream);
};
