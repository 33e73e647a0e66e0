// CBFDoc::Serialize: the document body (layout in BFDoc.h). The writer
// checks everything the format cannot hold before it writes a byte, so a
// refused write never leaves a body that reads back wrong. The reader builds
// the whole document aside, checking every count and size against the
// stream, and changes this document only when all of it arrived.

#include <array>
#include <limits>

#include "document/BFDoc.h"
#include "document/DocHeader.h"
#include "document/TextLayer.h"
#include "image/PackedRecords.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"

namespace {

constexpr std::size_t kPathBytes = CBFDoc::kPathLength * 2;

bool FitsInt16(std::int32_t v) {
  return v >= std::numeric_limits<std::int16_t>::min() && v <= std::numeric_limits<std::int16_t>::max();
}

// The layer's kind must name the class that writes it, or the reader would
// take a different record from what was written.
bool LayerStorable(const CBFLayer& layer) {
  const bool isText = dynamic_cast<const CTextLayer*>(&layer) != nullptr;
  if (layer.m_kind != (isText ? kLayerText : kLayerPlain)) return false;
  std::lock_guard guard(layer.m_lock);
  return FitsInt16(layer.m_x) && FitsInt16(layer.m_y) && !layer.m_image.IsEmpty() &&
         layer.m_image.width <= CBFDoc::kMaxStoredSide && layer.m_image.height <= CBFDoc::kMaxStoredSide;
}

std::unique_ptr<CBFLayer> MakeLayer(std::uint32_t kind) {
  if (kind == kLayerPlain) return std::make_unique<CBFLayer>();
  if (kind == kLayerText) return std::make_unique<CTextLayer>();
  return nullptr;
}

}  // namespace

int CBFDoc::Serialize(CFile& stream, int load, int full) {
  return load ? ReadBody(stream, full) : WriteBody(stream, full);
}

int CBFDoc::WriteBody(CFile& stream, int full) const {
  std::lock_guard guard(m_lock);
  const bool withSelection = full && !m_selection.IsEmpty();
  if (m_layers.size() > kMaxLayers || (full && m_masks.size() > kMaxMasks)) return 0;
  if (m_width > kMaxStoredSide || m_height > kMaxStoredSide) return 0;
  if (withSelection && (m_selection.width != m_width || m_selection.height != m_height)) return 0;
  for (const auto& layer : m_layers) {
    if (!LayerStorable(*layer)) return 0;
  }
  if (full) {
    for (const auto& mask : m_masks) {
      const CPlane8& plane = mask->plane;
      if (!plane.IsEmpty() && (plane.width > kMaxStoredSide || plane.height > kMaxStoredSide)) return 0;
    }
  }

  DocHeader header;
  header.layerCount = static_cast<std::uint8_t>(m_layers.size());
  header.maskCount = full ? static_cast<std::uint8_t>(m_masks.size()) : 0;
  header.selectionPresent = withSelection ? 1 : 0;
  header.currentLayer =
      m_currentLayer >= 0 && m_currentLayer < LayerCount() ? static_cast<std::uint8_t>(m_currentLayer) : 0;
  header.width = static_cast<std::uint16_t>(m_width);
  header.height = static_cast<std::uint16_t>(m_height);
  std::array<std::uint8_t, DocHeader::kSize + kPathBytes> head{};
  header.Encode(std::span<std::uint8_t, DocHeader::kSize>(head.data(), DocHeader::kSize));
  for (std::size_t i = 0; i < kPathLength; ++i) StoreLE16(&head[DocHeader::kSize + 2 * i], m_path[i]);
  if (!stream.Write(head.data(), head.size())) return 0;

  if (withSelection && !WritePackedPlane(m_selection, stream)) return 0;
  if (full) {
    for (const auto& mask : m_masks) {
      if (!mask->Write(stream)) return 0;
    }
  }
  for (const auto& layer : m_layers) {
    std::uint8_t kind[4];
    StoreLE32(kind, layer->m_kind);
    if (!stream.Write(kind, 4) || !layer->Serialize(stream, 0)) return 0;
  }
  return 1;
}

int CBFDoc::ReadBody(CFile& stream, int full) {
  std::array<std::uint8_t, DocHeader::kSize + kPathBytes> head;
  if (!stream.ReadExact(head.data(), head.size())) return 0;
  DocHeader header;
  if (!DocHeader::Decode(std::span<const std::uint8_t, DocHeader::kSize>(head.data(), DocHeader::kSize),
                         header)) {
    return 0;
  }
  std::array<char16_t, kPathLength> path{};
  for (std::size_t i = 0; i + 1 < kPathLength; ++i) {
    const char16_t c = LoadLE16(&head[DocHeader::kSize + 2 * i]);
    if (c == 0) break;
    path[i] = c;
  }

  CPlane8 selection;
  if (header.selectionPresent) {
    if (!ReadPackedPlane(stream, selection)) return 0;
    if (!selection.IsEmpty() && (selection.width != header.width || selection.height != header.height))
      return 0;
  }

  std::vector<std::unique_ptr<MaskRecord>> masks;
  for (std::uint32_t i = 0; i < header.maskCount; ++i) {
    auto mask = std::make_unique<MaskRecord>();
    if (!MaskRecord::Read(stream, *mask)) return 0;
    if (full) masks.push_back(std::move(mask));
  }

  std::vector<std::unique_ptr<CBFLayer>> layers;
  for (std::uint32_t i = 0; i < header.layerCount; ++i) {
    std::uint8_t kindBytes[4];
    if (!stream.ReadExact(kindBytes, 4)) return 0;
    auto layer = MakeLayer(LoadLE32(kindBytes));
    if (!layer || !layer->Serialize(stream, 1)) return 0;
    layers.push_back(std::move(layer));
  }

  std::lock_guard guard(m_lock);
  if (full) {
    Clear();
    m_path = path;
    m_masks = std::move(masks);
    m_selection = std::move(selection);
  } else {
    // A layers-only body is a history snapshot: the path, the saved masks and
    // the selection belong to the document as it is now.
    ClearLayers();
    if (header.selectionPresent) m_selection = std::move(selection);
  }
  m_width = header.width;
  m_height = header.height;
  m_layers = std::move(layers);
  if (!m_layers.empty()) m_currentLayer = std::min<std::int32_t>(header.currentLayer, LayerCount() - 1);
  m_modified = 1;
  return 1;
}
