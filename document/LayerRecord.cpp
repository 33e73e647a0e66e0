#include "document/LayerRecord.h"

#include <algorithm>
#include <limits>

#include "document/BFLayer.h"
#include "platform/LittleEndian.h"

namespace {

bool FitsInt16(std::int32_t v) {
  return v >= std::numeric_limits<std::int16_t>::min() && v <= std::numeric_limits<std::int16_t>::max();
}

}  // namespace

int LayerRecord::FromLayer(const CBFLayer& layer, LayerRecord& record) {
  if (!FitsInt16(layer.m_x) || !FitsInt16(layer.m_y)) return 0;
  record = LayerRecord{};
  record.x = static_cast<std::int16_t>(layer.m_x);
  record.y = static_cast<std::int16_t>(layer.m_y);
  record.hasMask = layer.m_mask.IsEmpty() ? 0 : 1;
  record.name = layer.m_name;
  record.opacity = layer.m_opacity;
  record.blendMode = layer.m_blendMode;
  record.visible = layer.m_visible;
  record.floating = static_cast<std::uint8_t>(layer.m_floating);
  record.id = static_cast<std::uint32_t>(layer.m_id);
  return 1;
}

void LayerRecord::Encode(std::span<std::uint8_t, kSize> bytes) const {
  std::fill(bytes.begin(), bytes.end(), 0);
  bytes[0] = version;
  bytes[1] = recordSize;
  StoreLE16(&bytes[2], static_cast<std::uint16_t>(x));
  StoreLE16(&bytes[4], static_cast<std::uint16_t>(y));
  bytes[6] = hasMask;
  for (std::size_t i = 0; i < kNameLength; ++i) StoreLE16(&bytes[8 + 2 * i], name[i]);
  bytes[72] = opacity;
  bytes[73] = blendMode;
  bytes[74] = visible;
  bytes[75] = floating;
  StoreLE32(&bytes[76], id);
}

int LayerRecord::Decode(std::span<const std::uint8_t, kSize> bytes, LayerRecord& record) {
  if (bytes[1] > kSize) return 0;
  LayerRecord read;
  read.version = bytes[0];
  read.recordSize = bytes[1];
  read.x = static_cast<std::int16_t>(LoadLE16(&bytes[2]));
  read.y = static_cast<std::int16_t>(LoadLE16(&bytes[4]));
  read.hasMask = bytes[6];
  bool ended = false;
  for (std::size_t i = 0; i + 1 < kNameLength; ++i) {
    const char16_t c = LoadLE16(&bytes[8 + 2 * i]);
    ended = ended || c == 0;
    read.name[i] = ended ? 0 : c;
  }
  read.opacity = bytes[72];
  read.blendMode = bytes[73];
  read.visible = bytes[74];
  read.floating = bytes[75];
  read.id = LoadLE32(&bytes[76]);
  record = read;
  return 1;
}

void LayerRecord::ApplyProperties(CBFLayer& layer) const {
  layer.m_floating = floating;
  layer.m_visible = visible;
  layer.m_opacity = opacity;
  layer.m_blendMode = blendMode;
  layer.m_x = x;
  layer.m_y = y;
  layer.m_name = name;
}
