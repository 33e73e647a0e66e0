#include "tests/document/DocumentState.h"

#include <algorithm>

#include "document/TextLayer.h"

namespace {

template <typename Image>
bool SamePixels(const Image& a, const Image& b) {
  return a.IsEmpty() == b.IsEmpty() && (a.IsEmpty() || (a.width == b.width && a.height == b.height)) &&
         std::ranges::equal(a.Samples(), b.Samples());
}

}  // namespace

DocumentState::DocumentState(const CBFDoc& doc) : m_modified(doc.m_modified.load()) {
  m_taken = m_copy.CopyFrom(doc) != 0;
  for (const auto& layer : doc.m_layers) {
    m_layers.push_back(layer.get());
    m_images.push_back(layer->m_image.pixels);
  }
  m_selection = doc.m_selection.pixels;
  for (const auto& mask : doc.m_masks) {
    m_masks.push_back(mask.get());
    m_maskPlanes.push_back(mask->plane.pixels);
  }
}

testing::AssertionResult DocumentState::Matches(const CBFDoc& doc) const {
  if (doc.m_modified != m_modified) return testing::AssertionFailure() << "the modified flag changed";
  if (doc.m_layers.size() != m_layers.size()) return testing::AssertionFailure() << "the layer count changed";
  for (std::size_t i = 0; i < m_layers.size(); ++i) {
    if (doc.m_layers[i].get() != m_layers[i] || doc.m_layers[i]->m_image.pixels != m_images[i]) {
      return testing::AssertionFailure() << "layer " << i << " or its image was replaced";
    }
  }
  if (doc.m_selection.pixels != m_selection)
    return testing::AssertionFailure() << "the selection was replaced";
  if (doc.m_masks.size() != m_masks.size()) return testing::AssertionFailure() << "the mask count changed";
  for (std::size_t k = 0; k < m_masks.size(); ++k) {
    if (doc.m_masks[k].get() != m_masks[k] || doc.m_masks[k]->plane.pixels != m_maskPlanes[k]) {
      return testing::AssertionFailure() << "mask " << k << " or its plane was replaced";
    }
  }
  return SameContent(doc, m_copy);
}

testing::AssertionResult SameContent(const CBFDoc& actual, const CBFDoc& expected) {
  if (actual.m_width != expected.m_width || actual.m_height != expected.m_height) {
    return testing::AssertionFailure() << "size " << actual.m_width << " x " << actual.m_height
                                       << ", expected " << expected.m_width << " x " << expected.m_height;
  }
  if (actual.m_currentLayer != expected.m_currentLayer) return testing::AssertionFailure() << "current layer";
  if (actual.Path() != expected.Path()) return testing::AssertionFailure() << "path";
  if (actual.m_layers.size() != expected.m_layers.size()) return testing::AssertionFailure() << "layer count";
  for (std::size_t i = 0; i < actual.m_layers.size(); ++i) {
    const CBFLayer& a = *actual.m_layers[i];
    const CBFLayer& b = *expected.m_layers[i];
    if (a.m_kind != b.m_kind || a.Name() != b.Name() || a.m_opacity != b.m_opacity ||
        a.m_blendMode != b.m_blendMode || a.m_visible != b.m_visible || a.m_floating != b.m_floating) {
      return testing::AssertionFailure() << "layer " << i << " properties";
    }
    if (a.m_kind == kLayerText &&
        static_cast<const CTextLayer&>(a).Text() != static_cast<const CTextLayer&>(b).Text()) {
      return testing::AssertionFailure() << "layer " << i << " text";
    }
    if (a.m_x != b.m_x || a.m_y != b.m_y) {
      return testing::AssertionFailure()
             << "layer " << i << " at " << a.m_x << ", " << a.m_y << ", expected " << b.m_x << ", " << b.m_y;
    }
    if (!SamePixels(a.m_image, b.m_image)) return testing::AssertionFailure() << "layer " << i << " pixels";
  }
  if (!SamePixels(actual.m_selection, expected.m_selection))
    return testing::AssertionFailure() << "selection";
  if (actual.m_masks.size() != expected.m_masks.size()) return testing::AssertionFailure() << "mask count";
  for (std::size_t k = 0; k < actual.m_masks.size(); ++k) {
    const MaskRecord& a = *actual.m_masks[k];
    const MaskRecord& b = *expected.m_masks[k];
    if (a.Name() != b.Name() || a.x != b.x || a.y != b.y) return testing::AssertionFailure() << "mask " << k;
    if (!SamePixels(a.plane, b.plane)) return testing::AssertionFailure() << "mask " << k << " plane";
  }
  return testing::AssertionSuccess();
}
