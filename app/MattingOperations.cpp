#include "app/MattingOperations.h"

#include "algorithms/ChannelOP.h"
#include "document/BFDoc.h"
#include "document/BFLayer.h"
#include "filters/ImageInpainting.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

namespace {

bool SameSize(const CBgraImage16& a, const CBgraImage16& b) {
  return a.pixels != nullptr && b.pixels != nullptr && a.width == b.width && a.height == b.height;
}

}  // namespace

int MakeMattePlane(const CBgraImage16& result, CPlane8& matte) {
  if (!result.pixels || !matte.Create(result.width, result.height)) return 0;
  for (std::uint32_t y = 0; y < result.height; ++y) {
    const std::uint16_t* in = result.Row(y);
    std::uint8_t* out = matte.Row(y);
    for (std::uint32_t x = 0; x < result.width; ++x) out[x] = static_cast<std::uint8_t>(in[4 * x + 3] >> 8);
  }
  return 1;
}

int CutOutCurrentLayer(CBFDoc& document, const CBgraImage16& result) {
  CBFLayer* layer = document.GetCurrentLayer();
  if (!layer) return 0;
  std::lock_guard guard(layer->m_lock);
  if (!SameSize(layer->m_image, result)) return 0;
  CBgraImage16 copy;
  if (!copy.CopyFrom(result)) return 0;
  const std::int32_t x = layer->m_x, y = layer->m_y;
  layer->m_image.Swap(copy);
  if (!layer->CropToContent()) {
    layer->m_image.Swap(copy);
    layer->m_x = x;
    layer->m_y = y;
    return 0;
  }
  document.m_modified = 1;
  return 1;
}

int AddMatteLayer(CBFDoc& document, const CBgraImage16& result, bool separate, std::u16string_view name,
                  int& sourceIndex) {
  sourceIndex = document.m_currentLayer;
  CBFLayer* source = document.GetCurrentLayer();
  if (!source) return 0;
  std::int32_t x = 0, y = 0;
  {
    std::lock_guard guard(source->m_lock);
    if (!SameSize(source->m_image, result)) return 0;
    x = source->m_x;
    y = source->m_y;
  }
  if (!document.InsertLayer(result, name, -1)) return 0;
  // Inserted centred: the cut-out belongs where its source lies.
  CBFLayer* added = document.GetCurrentLayer();
  added->m_x = x;
  added->m_y = y;
  if (!added->CropToContent()) {
    document.DeleteLayer(document.m_currentLayer);
    document.SetCurrentLayer(sourceIndex);
    return 0;
  }
  if (separate) {
    std::lock_guard guard(source->m_lock);
    const std::uint32_t count = result.width * result.height;
    for (std::uint32_t i = 0; i < count; ++i)
      source->m_image.pixels[4 * std::size_t{i} + 3] =
          static_cast<std::uint16_t>(~result.pixels[4 * std::size_t{i} + 3]);
  }
  document.m_modified = 1;
  return 1;
}

int PutOnBackground(CBFDoc& background, const CBgraImage16& result, std::u16string_view name,
                    bool maskAsSelection) {
  if (background.LayerCount() == 0 || !background.InsertLayer(result, name, -1)) return 0;
  if (!maskAsSelection) return 1;
  const CBFLayer* layer = background.GetCurrentLayer();
  CPlane8 selection;
  if (!selection.Create(background.m_width, background.m_height)) return 0;
  std::fill(selection.pixels, selection.pixels + std::size_t{selection.width} * selection.height,
            std::uint8_t{0});
  const CBgraImage16& image = layer->m_image;
  for (std::uint32_t ly = 0; ly < image.height; ++ly) {
    const std::int64_t y = std::int64_t{layer->m_y} + ly;
    if (y < 0 || y >= std::int64_t{selection.height}) continue;
    for (std::uint32_t lx = 0; lx < image.width; ++lx) {
      const std::int64_t x = std::int64_t{layer->m_x} + lx;
      if (x < 0 || x >= std::int64_t{selection.width}) continue;
      selection.Row(static_cast<std::uint32_t>(y))[x] = static_cast<std::uint8_t>(image.At(lx, ly)[3] >> 8);
    }
  }
  background.m_selection = std::move(selection);
  return 1;
}

int InpaintUnderMatte(CBgraImage16& layerImage, const CPlane8& matte) {
  if (!layerImage.pixels || matte.width != layerImage.width || matte.height != layerImage.height) return 0;
  CBgraImage16 source;
  if (!source.CopyFrom(layerImage)) return 0;
  CPlane8 widened;
  CChannelOP shapes;
  if (!shapes.DilateMask(matte, widened, 2)) return 0;
  InpaintingParams params;
  params.mask = &widened;
  params.patchSize = 32;
  params.edgePatchesOnly = 1;
  params.reserved = 1;
  CImageInpainting inpainting;
  inpainting.m_source = &source;
  inpainting.m_target = &layerImage;
  inpainting.m_params = &params;
  return inpainting.Process();
}
