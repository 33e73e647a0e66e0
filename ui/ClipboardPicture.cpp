#include "ui/ClipboardPicture.h"

#include <vector>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/ColorModel.h"
#include "image/PixelBlock.h"
#include "image/codecs/BitmapInfoHeader.h"
#include "ui/Clipboard.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

constexpr std::uint32_t kBiRgbCompression = 0;
constexpr std::uint32_t kBiBitfieldsCompression = 3;
constexpr std::uint64_t kBitfieldMaskBytes = 12;

}  // namespace

ClipboardPictureResult DecodeClipboardDib(std::span<const std::uint8_t> block, bool isV5,
                                          CBgraImage& picture) {
  const std::uint64_t size = block.size();
  if (size < BitmapInfoHeader::kSize) return ClipboardPictureResult::Damaged;
  const BitmapInfoHeader header = BitmapInfoHeader::Load(block.data());
  if (header.biSize < BitmapInfoHeader::kSize || header.biSize > size) return ClipboardPictureResult::Damaged;
  const std::uint32_t bits = header.biBitCount;
  if (bits != 24 && bits != 32) return ClipboardPictureResult::Unsupported;

  const std::int64_t signedHeight = header.biHeight;
  const std::int64_t signedWidth = header.biWidth;
  const std::uint64_t width = static_cast<std::uint64_t>(signedWidth < 0 ? -signedWidth : signedWidth);
  const std::uint64_t height = static_cast<std::uint64_t>(signedHeight < 0 ? -signedHeight : signedHeight);
  if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide ||
      width * height > kMaxImagePixels) {
    return ClipboardPictureResult::Damaged;
  }
  const bool topDown = signedHeight < 0;
  const std::uint64_t rowBytes = bits == 24 ? (3 * width + 3) / 4 * 4 : 4 * width;
  const std::uint64_t pixelBytes = rowBytes * height;

  std::uint64_t start = header.biSize;
  if (!isV5 && header.biSizeImage != 0) {
    if (header.biSizeImage > size) return ClipboardPictureResult::Damaged;
    start = size - header.biSizeImage;
  } else if (!isV5 && header.biCompression == kBiBitfieldsCompression &&
             header.biSize == BitmapInfoHeader::kSize) {
    start += kBitfieldMaskBytes;
  }
  if (start < header.biSize || start > size || size - start < pixelBytes)
    return ClipboardPictureResult::Damaged;

  CBgraImage result;
  if (!result.Create(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)))
    return ClipboardPictureResult::Damaged;
  const bool ownAlpha = bits == 32 && header.biCompression == kBiRgbCompression;
  bool uniformAlpha = true;
  const std::uint8_t firstAlpha = ownAlpha ? block[start + 3] : 255;
  for (std::uint64_t r = 0; r < height; ++r) {
    const std::uint8_t* from = block.data() + start + r * rowBytes;
    std::uint8_t* to = result.Row(static_cast<std::uint32_t>(topDown ? r : height - 1 - r));
    for (std::uint64_t x = 0; x < width; ++x, to += 4) {
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
      to[3] = ownAlpha ? from[3] : 255;
      uniformAlpha = uniformAlpha && to[3] == firstAlpha;
      from += bits / 8;
    }
  }
  // A bitmap whose alpha byte is the same everywhere carries no alpha.
  if (uniformAlpha) {
    for (std::uint32_t y = 0; y < result.height; ++y) {
      std::uint8_t* row = result.Row(y);
      for (std::uint32_t x = 0; x < result.width; ++x) row[4 * x + 3] = 255;
    }
  }
  picture = std::move(result);
  return ClipboardPictureResult::Read;
}

bool PasteClipboardImage(CBgraImage16& image) {
  std::vector<std::uint8_t> bytes;
  bool isV5 = false;
  if (GetClipboardDataSize(ClipboardFormat::Dib) > 0 && ReadClipboardBytes(ClipboardFormat::Dib, bytes)) {
    isV5 = false;
  } else if (GetClipboardDataSize(ClipboardFormat::DibV5) > 0 &&
             ReadClipboardBytes(ClipboardFormat::DibV5, bytes)) {
    isV5 = true;
  } else {
    return false;
  }
  CBgraImage picture;
  const ClipboardPictureResult result = DecodeClipboardDib(bytes, isV5, picture);
  if (result == ClipboardPictureResult::Unsupported) {
    (void)ShowMessageBox(UIResources().texts.TextOrEmpty(u"unsupportunPatternpaste"), MessageBoxIcon::Error,
                         MessageBoxButtons::Ok);  // an OK box has one answer
    return false;
  }
  if (result != ClipboardPictureResult::Read) return false;
  CBgraImage16 converted;
  if (!converted.Create(picture.width, picture.height) || !ConvertImage8To16(picture, converted))
    return false;
  image = std::move(converted);
  return true;
}
