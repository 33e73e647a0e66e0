// CBFDoc::Crop: every layer and saved mask keeps its overlap with the
// rectangle, placed relative to the rectangle's corner; the rest of the
// document goes. Every cut image and plane and the new lists are built aside
// and exchanged with the document's only when all of them exist, so a crop
// that fails half-way leaves the document as it was.

#include <algorithm>
#include <new>

#include "document/BFDoc.h"
#include "document/CropImage.h"

namespace {

// The overlap of an image of w x h at (x, y) with the rectangle, in the
// image's own coordinates; false when there is none.
bool Overlap(const InclusiveRect& r, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h,
             InclusiveRect& local) {
  if (w <= 0 || h <= 0) return false;
  const std::int64_t left = std::max<std::int64_t>(r.left, x), top = std::max<std::int64_t>(r.top, y);
  const std::int64_t right = std::min<std::int64_t>(r.right, x + w - 1);
  const std::int64_t bottom = std::min<std::int64_t>(r.bottom, y + h - 1);
  if (right < left || bottom < top) return false;
  local = {static_cast<std::int32_t>(left - x), static_cast<std::int32_t>(top - y),
           static_cast<std::int32_t>(right - x), static_cast<std::int32_t>(bottom - y)};
  return true;
}

template <typename Image>
bool Overlap(const InclusiveRect& r, std::int32_t x, std::int32_t y, const Image& image,
             InclusiveRect& local) {
  return !image.IsEmpty() && Overlap(r, x, y, image.width, image.height, local);
}

std::int32_t Shifted(std::int32_t position, std::int32_t origin) {
  return static_cast<std::int32_t>(std::max<std::int64_t>(std::int64_t{position} - origin, 0));
}

bool AllZero(const CPlane8& plane) {
  return plane.IsEmpty() ||
         std::all_of(plane.pixels, plane.pixels + plane.byteSize, [](std::uint8_t b) { return b == 0; });
}

}  // namespace

int CBFDoc::Crop(const InclusiveRect& rectangle) {
  InclusiveRect r = rectangle.Normalised();
  const std::int64_t lastX = std::int64_t{m_width} - 1, lastY = std::int64_t{m_height} - 1;
  if (r.left == 0 && r.top == 0 && r.right == lastX && r.bottom == lastY) return 1;
  // Cut to the document: a layer's place is counted from the rectangle's
  // corner, so a corner outside the document would move the base layer.
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = static_cast<std::int32_t>(std::min<std::int64_t>(r.right, lastX));
  r.bottom = static_cast<std::int32_t>(std::min<std::int64_t>(r.bottom, lastY));
  if (r.right < r.left || r.bottom < r.top) return 0;

  // The parts aside: an image for each kept layer and a plane for each kept
  // mask (empty for the others), the selection and room for the new lists.
  std::vector<bool> keepLayer, keepMask;
  std::vector<CBgraImage16> layerImages;
  std::vector<CPlane8> maskPlanes;
  std::vector<std::unique_ptr<CBFLayer>> keptLayers;
  std::vector<std::unique_ptr<MaskRecord>> keptMasks;
  try {
    keepLayer.resize(m_layers.size());
    layerImages.resize(m_layers.size());
    keptLayers.reserve(m_layers.size());
    keepMask.resize(m_masks.size());
    maskPlanes.resize(m_masks.size());
    keptMasks.reserve(m_masks.size());
  } catch (const std::bad_alloc&) {
    return 0;
  }

  for (std::size_t i = 0; i < m_layers.size(); ++i) {
    const CBFLayer& layer = *m_layers[i];
    InclusiveRect cut;
    keepLayer[i] = Overlap(r, layer.m_x, layer.m_y, layer.m_image, cut);
    if (keepLayer[i] && !CropImage(layer.m_image, cut, layerImages[i])) return 0;
  }
  if (std::find(keepLayer.begin(), keepLayer.end(), true) == keepLayer.end()) return 0;

  CPlane8 selection;
  InclusiveRect selectionCut;
  if (Overlap(r, 0, 0, m_selection, selectionCut)) {
    if (!CropPlane(m_selection, selectionCut, selection)) return 0;
    if (AllZero(selection)) selection = CPlane8{};
  }

  for (std::size_t i = 0; i < m_masks.size(); ++i) {
    const MaskRecord& mask = *m_masks[i];
    InclusiveRect cut;
    keepMask[i] = Overlap(r, mask.x, mask.y, mask.plane, cut);
    if (keepMask[i] && !CropPlane(mask.plane, cut, maskPlanes[i])) return 0;
  }

  // The exchange: nothing below allocates or fails.
  std::lock_guard guard(m_lock);
  int current = 0;
  for (std::size_t i = 0; i < m_layers.size(); ++i) {
    CBFLayer& layer = *m_layers[i];
    if (keepLayer[i]) {
      {
        std::lock_guard layerGuard(layer.m_lock);
        layer.m_image.Swap(layerImages[i]);
        layer.m_x = Shifted(layer.m_x, r.left);
        layer.m_y = Shifted(layer.m_y, r.top);
      }
      keptLayers.push_back(std::move(m_layers[i]));
    } else {
      layer.FreeBuffers();
    }
    // The current layer, or the one that takes its place when it goes.
    if (static_cast<std::int64_t>(i) < m_currentLayer && keepLayer[i]) ++current;
  }
  m_layers.swap(keptLayers);
  m_currentLayer = std::min(current, LayerCount() - 1);

  m_selection.Swap(selection);

  for (std::size_t i = 0; i < m_masks.size(); ++i) {
    if (!keepMask[i]) continue;
    MaskRecord& mask = *m_masks[i];
    mask.plane.Swap(maskPlanes[i]);
    mask.x = Shifted(mask.x, r.left);
    mask.y = Shifted(mask.y, r.top);
    keptMasks.push_back(std::move(m_masks[i]));
  }
  m_masks.swap(keptMasks);

  m_width = static_cast<std::uint32_t>(r.Width());
  m_height = static_cast<std::uint32_t>(r.Height());
  return 1;
}
