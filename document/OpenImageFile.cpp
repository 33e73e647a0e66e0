// CBFDoc::OpenImageFile: the road of one image file into a new document.
// Camera RAW develops straight into the 16-bit layer under RawDecodeLock;
// a JPEG is decoded, chroma-smoothed and converted straight into the layer
// (LoadSmoothedJpeg); every other file is decoded to 8 bits, made opaque
// unless its format carries alpha, and converted from the colour space its
// information records. The document is cleared only once the
// file has been read, so a failed open leaves it as it was. The loader's
// reason for a failure stays in ImageLoadError (image/ImageLoadError.h):
// "Image too large" for a picture above the size limits.

#include <atomic>
#include <mutex>

#include "document/BFDoc.h"
#include "document/FormatFileTitle.h"
#include "document/SmoothJpegChroma.h"
#include "image/BgraImage.h"
#include "image/CameraRaw.h"
#include "image/ImageCodec.h"
#include "platform/Utf16.h"

namespace {

constexpr std::size_t kTitleLength = 256;
constexpr std::uint16_t kColourSpaceSrgb = 1;
constexpr std::uint16_t kColourSpaceAdobeRgb = 2;

std::atomic<CBFDoc::ColourSpaceReader> g_colourSpaceReader{nullptr};

std::uint16_t ReadColourSpace(const std::filesystem::path& path) {
  const CBFDoc::ColourSpaceReader reader = g_colourSpaceReader.load();
  return reader ? reader(path) : CBFDoc::kColourSpaceNone;
}

}  // namespace

void CBFDoc::SetColourSpaceReader(ColourSpaceReader reader) { g_colourSpaceReader.store(reader); }

int CBFDoc::OpenImageFile(const std::filesystem::path& path) {
  auto layer = std::make_unique<CBFLayer>();
  layer->SetName(FormatFileTitle(path, kTitleLength));
  layer->m_floating = 0;

  int result = 1;
  const ImageFileType type = GetImageType(path);
  if (type == ImageFileType::Raw) {
    std::lock_guard raw(RawDecodeLock);
    if (!LoadRawImage(path, layer->m_image)) return 0;
  } else {
    const std::uint16_t colourSpace = ReadColourSpace(path);
    // Only Adobe RGB is converted differently; anything else counts as sRGB.
    const int convertFrom = colourSpace == kColourSpaceAdobeRgb ? kColourSpaceAdobeRgb : kColourSpaceSrgb;
    if (type == ImageFileType::Jpeg) {
      // Decoded, smoothed and converted batch by batch, with no 8-bit copy.
      if (!LoadSmoothedJpeg(path, layer->m_image, convertFrom)) return 0;
      if (colourSpace == kColourSpaceNone) result = 2;
    } else {
      CBgraImage picture;
      if (!LoadImageAsBgra(path, picture)) return 0;
      if (type != ImageFileType::Gif && type != ImageFileType::Png) {
        for (std::uint32_t i = 0; i < picture.pixelCount; ++i) picture.pixels[4 * std::size_t{i} + 3] = 255;
      }
      if (!layer->m_image.FromBgraImage(picture, convertFrom)) return 0;
    }
  }

  Clear();
  std::lock_guard guard(m_lock);
  m_width = layer->m_image.width;
  m_height = layer->m_image.height;
  SetPath(PathToUtf16(path));
  m_layers.push_back(std::move(layer));
  m_currentLayer = 0;
  return result;
}
