#pragma once
// Pictures pasted from the clipboard: the device-independent bitmap formats
// (Dib, DibV5) with 24 or 32 bits per pixel, read into a 16-bit image. The
// edit page pastes them as layers and the album opens them as documents.
//
// Every field of the block is checked in 64 bits against the block's length
// and the image limit before a pixel is read: a header size outside the
// block, a side of 0 or beyond kMaxImageSide, a pixel offset inside the
// header or rows that run past the end read nothing. A 40-byte header with
// BI_BITFIELDS compression is followed by its three 4-byte masks.
// UI thread.

#include <cstdint>
#include <span>

struct CBgraImage;
struct CBgraImage16;

enum class ClipboardPictureResult : std::uint8_t {
  Read,
  Unsupported,  // a bit count other than 24 or 32
  Damaged,      // a field that does not fit the block or the limits
};

// isV5: the block came as DibV5, whose pixels follow the header directly.
// On any result but Read the picture is untouched.
[[nodiscard]] ClipboardPictureResult DecodeClipboardDib(std::span<const std::uint8_t> block, bool isV5,
                                                        CBgraImage& picture);

// The clipboard's picture (Dib first, else DibV5) into image. False when the
// clipboard holds none or it cannot be read; a bit count other than 24 or 32
// also says "unsupportunPatternpaste". The image is untouched on failure.
[[nodiscard]] bool PasteClipboardImage(CBgraImage16& image);
