#include "document/BFDoc.h"

#include <algorithm>
#include <limits>

#include "document/BlendMode.h"
#include "document/TextLayer.h"
#include "platform/Utf16.h"

namespace {

// The pixel of image at a document point, or null outside the layer.
const std::uint16_t* PixelAt(const CBFLayer& layer, std::int64_t docX, std::int64_t docY) {
  const std::int64_t x = docX - layer.m_x, y = docY - layer.m_y;
  if (layer.m_image.IsEmpty() || x < 0 || y < 0 || x >= layer.m_image.width || y >= layer.m_image.height) {
    return nullptr;
  }
  return layer.m_image.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
}

// One pixel of a merged layer where both layers have one. Every product
// reaches 65535 x 65535, so the arithmetic is 64-bit.
void MergePixel(const std::uint16_t* lower, const std::uint16_t* upper, const CBFLayer& lowerLayer,
                const CBFLayer& upperLayer, std::uint16_t* out) {
  std::uint16_t blended[4] = {upper[0], upper[1], upper[2], upper[3]};
  if (UsesBlendPixel(upperLayer.m_blendMode)) BlendPixel16(lower, upper, blended, upperLayer.m_blendMode - 1);
  const std::int64_t a = std::int64_t{upperLayer.m_opacity} * upper[3] / 255;
  if (a < 1) {
    std::copy_n(lower, 4, out);
    return;
  }
  const std::int64_t b = std::int64_t{lowerLayer.m_opacity} * lower[3] / 255;
  const std::int64_t k = (a * 65535 + b * (65535 - a)) / 65535;
  const std::int64_t s = a * 65535 / k;
  const std::int64_t t = 65535 - s;
  for (int c = 0; c < 3; ++c)
    out[c] = static_cast<std::uint16_t>((blended[c] * s + lower[c] * t + 32767) / 65535);
  out[3] = static_cast<std::uint16_t>(k);
}

bool FitsInt32(std::int64_t v) {
  return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace

CBFDoc::~CBFDoc() { Clear(); }

void CBFDoc::Clear() {
  std::lock_guard guard(m_lock);
  for (auto& layer : m_layers) layer->FreeBuffers();
  m_layers.clear();
  m_masks.clear();
  m_selection.Free();
  m_modified = 0;
}

void CBFDoc::ClearLayers() {
  std::lock_guard guard(m_lock);
  for (auto& layer : m_layers) layer->FreeBuffers();
  m_layers.clear();
  m_modified = 0;
}

std::u16string CBFDoc::Path() const { return std::u16string(m_path.data(), BoundedLength(m_path)); }

void CBFDoc::SetPath(std::u16string_view path) {
  m_path.fill(0);
  CopyTextTruncated(m_path, path.substr(0, path.find(u'\0')));
}

CBFLayer* CBFDoc::GetLayer(int index) const {
  if (index < 0 || index >= LayerCount()) return nullptr;
  return m_layers[static_cast<std::size_t>(index)].get();
}

CBFLayer* CBFDoc::GetCurrentLayer() const { return GetLayer(m_currentLayer); }

void CBFDoc::SetCurrentLayer(int index) {
  std::lock_guard guard(m_lock);
  const int clamped = m_layers.empty() ? -1 : std::clamp(index, 0, LayerCount() - 1);
  if (clamped != m_currentLayer) {
    m_currentLayer = clamped;
    m_modified = 1;
  }
}

int CBFDoc::FindLayerByImage(const CBgraImage16* image) const {
  for (int i = 0; i < LayerCount(); ++i) {
    if (&m_layers[static_cast<std::size_t>(i)]->m_image == image) return i;
  }
  return -1;
}

int CBFDoc::InsertLayer(const CBgraImage16& image, std::u16string_view name, int index) {
  std::lock_guard guard(m_lock);
  if (m_layers.size() >= kMaxLayers) return 0;
  auto layer = std::make_unique<CBFLayer>();
  if (!layer->m_image.CopyFrom(image)) return 0;
  layer->SetName(name);

  if (m_layers.empty()) {
    layer->m_floating = 0;
    layer->m_x = layer->m_y = 0;
    m_width = image.width;
    m_height = image.height;
    m_path.fill(0);
    m_layers.push_back(std::move(layer));
    m_currentLayer = 0;
    return 1;
  }

  layer->m_floating = 1;
  layer->m_x = static_cast<std::int32_t>((std::int64_t{m_width} - image.width) / 2);
  layer->m_y = static_cast<std::int32_t>((std::int64_t{m_height} - image.height) / 2);
  layer->m_visible = 1;
  if (index == -1) {
    m_layers.push_back(std::move(layer));
    SetCurrentLayer(LayerCount() - 1);
  } else {
    index = std::clamp(index, 0, LayerCount());
    m_layers.insert(m_layers.begin() + index, std::move(layer));
    SetCurrentLayer(index);
  }
  m_modified = 1;
  return 1;
}

void CBFDoc::DeleteLayer(int index) {
  std::lock_guard guard(m_lock);
  if (index < 0 || index >= LayerCount()) return;
  auto at = m_layers.begin() + index;
  (*at)->FreeBuffers();
  m_layers.erase(at);
  if (index < m_currentLayer) {
    --m_currentLayer;
  } else if (index == m_currentLayer) {
    SetCurrentLayer(m_currentLayer);
  }
  m_modified = 1;
}

int CBFDoc::MergeLayerDown(int index) {
  if (index <= 0 || index >= LayerCount()) return 1;
  const CBFLayer& upper = *m_layers[static_cast<std::size_t>(index)];
  const CBFLayer& lower = *m_layers[static_cast<std::size_t>(index) - 1];
  const bool intoBase = index == 1;

  Rect upperBox, lowerBox;
  if (!AlphaBounds(upper.m_image, upperBox)) {
    DeleteLayer(index);
    return 1;
  }
  if (intoBase ? lower.m_image.IsEmpty() : !AlphaBounds(lower.m_image, lowerBox)) {
    DeleteLayer(index - 1);
    return 1;
  }

  // The merged rectangle in document coordinates: the base image's own
  // rectangle, or the union of the two boxes.
  std::int64_t left, top, right, bottom;
  if (intoBase) {
    left = top = 0;
    right = lower.m_image.width;
    bottom = lower.m_image.height;
  } else {
    left = std::min<std::int64_t>(std::int64_t{upper.m_x} + upperBox.left,
                                  std::int64_t{lower.m_x} + lowerBox.left);
    top = std::min<std::int64_t>(std::int64_t{upper.m_y} + upperBox.top,
                                 std::int64_t{lower.m_y} + lowerBox.top);
    right = std::max<std::int64_t>(std::int64_t{upper.m_x} + upperBox.right,
                                   std::int64_t{lower.m_x} + lowerBox.right);
    bottom = std::max<std::int64_t>(std::int64_t{upper.m_y} + upperBox.bottom,
                                    std::int64_t{lower.m_y} + lowerBox.bottom);
  }
  if (!FitsInt32(left) || !FitsInt32(top) || !FitsInt32(right) || !FitsInt32(bottom)) return 0;

  auto merged = std::make_unique<CBFLayer>();
  merged->m_floating = lower.m_floating;
  merged->m_visible = lower.m_visible;
  merged->m_opacity = lower.m_opacity;
  merged->m_blendMode = lower.m_blendMode;
  merged->m_name = lower.m_name;
  if (!lower.m_mask.IsEmpty() && !merged->m_mask.CopyFrom(lower.m_mask)) return 0;
  merged->m_x = static_cast<std::int32_t>(left);
  merged->m_y = static_cast<std::int32_t>(top);
  if (!merged->m_image.Create(static_cast<std::uint32_t>(right - left),
                              static_cast<std::uint32_t>(bottom - top))) {
    return 0;
  }

  CBgraImage16& image = merged->m_image;
  for (std::uint32_t row = 0; row < image.height; ++row) {
    std::uint16_t* out = image.Row(row);
    for (std::uint32_t col = 0; col < image.width; ++col, out += 4) {
      const std::int64_t docX = left + col, docY = top + row;
      const std::uint16_t* u = PixelAt(upper, docX, docY);
      const std::uint16_t* l = PixelAt(lower, docX, docY);
      if (u && l) {
        MergePixel(l, u, lower, upper, out);
      } else if (u || l) {
        std::copy_n(u ? u : l, 4, out);
      } else {
        std::fill_n(out, 4, 0);
      }
    }
  }
  merged->m_id = lower.m_id;

  std::lock_guard guard(m_lock);
  auto at = m_layers.begin() + (index - 1);
  std::unique_ptr<CBFLayer> oldLower = std::move(at[0]);
  std::unique_ptr<CBFLayer> oldUpper = std::move(at[1]);
  at[0] = std::move(merged);
  m_layers.erase(at + 1);
  oldLower->FreeBuffers();
  oldUpper->FreeBuffers();
  SetCurrentLayer(index - 1);
  return 1;
}

int CBFDoc::CompositeLayers(CBgraImage16& target, std::uint64_t background) const {
  if (!target.Create(m_width, m_height)) return 0;
  const std::uint16_t fill[4] = {
      static_cast<std::uint16_t>(background), static_cast<std::uint16_t>(background >> 16),
      static_cast<std::uint16_t>(background >> 32), static_cast<std::uint16_t>(background >> 48)};
  std::uint16_t* p = target.pixels;
  for (std::uint32_t i = 0; i < target.pixelCount; ++i, p += 4) std::copy_n(fill, 4, p);
  for (const auto& layer : m_layers) {
    if (layer->m_visible) BlendLayer(target, *layer);
  }
  return 1;
}

void CBFDoc::BlendLayer(CBgraImage16& target, const CBFLayer& layer) const {
  std::lock_guard guard(layer.m_lock);
  const CBgraImage16& image = layer.m_image;
  if (image.IsEmpty() || target.IsEmpty()) return;
  const std::int64_t width = std::min<std::int64_t>(m_width, target.width);
  const std::int64_t height = std::min<std::int64_t>(m_height, target.height);
  const bool blends = UsesBlendPixel(layer.m_blendMode);
  for (std::uint32_t i = 0; i < image.height; ++i) {
    const std::int64_t y = std::int64_t{layer.m_y} + i;
    if (y < 0 || y >= height) continue;
    const std::uint16_t* s = image.Row(i);
    for (std::uint32_t j = 0; j < image.width; ++j, s += 4) {
      const std::int64_t x = std::int64_t{layer.m_x} + j;
      if (x < 0 || x >= width) continue;
      std::uint16_t* t = target.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
      std::uint16_t e[4] = {s[0], s[1], s[2], s[3]};
      if (blends) BlendPixel16(t, s, e, layer.m_blendMode - 1);
      const std::int64_t w = std::int64_t{layer.m_opacity} * (s[3] >> 8) / 255;
      for (int c = 0; c < 3; ++c) t[c] = static_cast<std::uint16_t>(t[c] + ((w * (e[c] - t[c])) >> 8));
    }
  }
}

void CBFDoc::SwapContents(CBFDoc& other) {
  std::swap(m_path, other.m_path);
  m_layers.swap(other.m_layers);
  m_selection.Swap(other.m_selection);
  m_masks.swap(other.m_masks);
  std::swap(m_width, other.m_width);
  std::swap(m_height, other.m_height);
  std::swap(m_currentLayer, other.m_currentLayer);
}

int CBFDoc::CopyFrom(const CBFDoc& source) {
  if (&source == this) return 1;
  CBFDoc copy;
  {
    std::lock_guard guard(source.m_lock);
    copy.m_width = source.m_width;
    copy.m_height = source.m_height;
    if (!source.m_selection.IsEmpty() && !copy.m_selection.CopyFrom(source.m_selection)) return 0;
    for (const auto& mask : source.m_masks) {
      auto record = std::make_unique<MaskRecord>();
      if (!record->CopyFrom(*mask)) return 0;
      copy.m_masks.push_back(std::move(record));
    }
    for (const auto& layer : source.m_layers) {
      std::unique_ptr<CBFLayer> made;
      if (layer->m_kind == kLayerPlain) {
        made = std::make_unique<CBFLayer>();
      } else if (layer->m_kind == kLayerText) {
        made = std::make_unique<CTextLayer>();
      } else {
        return 0;
      }
      if (!made->CopyFrom(*layer)) return 0;
      copy.m_layers.push_back(std::move(made));
    }
    copy.m_currentLayer = source.m_currentLayer;
    copy.SetPath(source.Path());
  }
  std::lock_guard guard(m_lock);
  SwapContents(copy);
  m_modified = 0;
  return 1;
}
