// CBFDoc's side of the whole-document resize (CImageSize in
// algorithms/geometry): a view of the parts it scales and the exchange that
// puts the scaled parts in place. The quarter turns and flips hand their
// parts to the same exchange.

#include <new>

#include "document/BFDoc.h"

int CBFDoc::ViewForResize(ResizableDocumentView& view) const {
  std::lock_guard guard(m_lock);
  try {
    view.layers.clear();
    view.masks.clear();
    view.layers.reserve(m_layers.size());
    view.masks.reserve(m_masks.size());
  } catch (const std::bad_alloc&) {
    return 0;
  }
  view.width = m_width;
  view.height = m_height;
  for (const auto& layer : m_layers) view.layers.push_back({&layer->m_image, layer->m_x, layer->m_y});
  view.selection = m_selection.IsEmpty() ? nullptr : &m_selection;
  for (const auto& mask : m_masks) view.masks.push_back({&mask->plane, mask->x, mask->y});
  return 1;
}

int CBFDoc::TakeResized(ResizedDocumentParts& parts) {
  if (!ExchangeParts(parts)) return 0;
  m_modified = 1;
  return 1;
}

int CBFDoc::ExchangeParts(ResizedDocumentParts& parts) {
  std::lock_guard guard(m_lock);
  if (parts.layers.size() != m_layers.size() || parts.masks.size() != m_masks.size()) return 0;
  for (std::size_t i = 0; i < m_layers.size(); ++i) {
    CBFLayer& layer = *m_layers[i];
    ResizedLayer& resized = parts.layers[i];
    std::lock_guard layerGuard(layer.m_lock);
    layer.m_image.Swap(resized.image);
    std::swap(layer.m_x, resized.x);
    std::swap(layer.m_y, resized.y);
  }
  m_selection.Swap(parts.selection);
  for (std::size_t k = 0; k < m_masks.size(); ++k) {
    MaskRecord& mask = *m_masks[k];
    ResizedMask& resized = parts.masks[k];
    mask.plane.Swap(resized.plane);
    std::swap(mask.x, resized.x);
    std::swap(mask.y, resized.y);
  }
  std::swap(m_width, parts.width);
  std::swap(m_height, parts.height);
  return 1;
}
