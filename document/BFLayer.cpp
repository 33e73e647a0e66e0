#include "document/BFLayer.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "image/PackedRecords.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "platform/Utf16.h"

namespace {

std::atomic<std::uint32_t> g_layerIdCounter{0};

}  // namespace

CBFLayer::CBFLayer() : m_id(static_cast<std::int32_t>(g_layerIdCounter.fetch_add(1))) {}

CBFLayer::~CBFLayer() = default;

std::uint32_t CBFLayer::NextLayerId() { return g_layerIdCounter.load(); }

void CBFLayer::RaiseLayerIdCounter(std::uint32_t id) {
  // An id of 0xFFFFFFFF leaves the counter where it is: id + 1 wraps to 0.
  const std::uint32_t wanted = id + 1;
  if (wanted == 0) return;
  std::uint32_t current = g_layerIdCounter.load();
  while (current < wanted && !g_layerIdCounter.compare_exchange_weak(current, wanted)) {
  }
}

std::u16string CBFLayer::Name() const { return std::u16string(m_name.data(), BoundedLength(m_name)); }

void CBFLayer::SetName(std::u16string_view name) {
  m_name.fill(0);
  CopyTextTruncated(m_name, name.substr(0, name.find(u'\0')));
}

void CBFLayer::FreeBuffers() {
  std::lock_guard guard(m_lock);
  m_mask.Free();
  m_image.Free();
}

int CBFLayer::CopyFrom(const CBFLayer& source) {
  if (&source == this) return 1;
  CBgraImage16 image;
  CPlane8 mask;
  {
    std::lock_guard guard(source.m_lock);
    if (!source.m_image.IsEmpty() && !image.CopyFrom(source.m_image)) return 0;
    if (!source.m_mask.IsEmpty() && !mask.CopyFrom(source.m_mask)) return 0;
  }
  std::lock_guard guard(m_lock);
  m_image = std::move(image);
  m_mask = std::move(mask);
  m_floating = source.m_floating;
  m_visible = source.m_visible;
  m_opacity = source.m_opacity;
  m_blendMode = source.m_blendMode;
  m_x = source.m_x;
  m_y = source.m_y;
  m_name = source.m_name;
  return 1;
}

int CBFLayer::CropToContent() {
  if (m_floating == 0) return 1;
  std::lock_guard guard(m_lock);
  if (m_image.IsEmpty()) return 0;
  Rect box;
  if (!AlphaBounds(m_image, box)) return 1;
  const auto w = static_cast<std::uint32_t>(box.Width()), h = static_cast<std::uint32_t>(box.Height());
  if (w == m_image.width && h == m_image.height) return 1;
  CBgraImage16 cropped;
  if (!cropped.Create(w, h)) return 0;
  for (std::uint32_t row = 0; row < h; ++row) {
    std::memcpy(cropped.Row(row), m_image.At(static_cast<std::uint32_t>(box.left), row + box.top),
                std::size_t{w} * CBgraImage16::kBytesPerPixel);
  }
  m_image = std::move(cropped);
  m_x += box.left;
  m_y += box.top;
  return 1;
}

int CBFLayer::Serialize(CFile& stream, int load) {
  if (!load) return WriteStoredLayer(stream);
  StoredLayer stored;
  if (!ReadStoredLayer(stream, stored)) return 0;
  TakeStoredLayer(stored);
  return 1;
}

int CBFLayer::ReadStoredLayer(CFile& stream, StoredLayer& stored) {
  std::array<std::uint8_t, LayerRecord::kSize> bytes;
  if (!stream.ReadExact(bytes.data(), bytes.size())) return 0;
  if (!LayerRecord::Decode(bytes, stored.record)) return 0;
  // The image record must be whole up to its alpha flag: its reader takes a
  // missing flag for "no alpha", which would let a cut stream pass.
  const std::int64_t start = stream.GetPosition();
  std::uint8_t sides[4];
  if (start < 0 || !stream.ReadExact(sides, 4) || !stream.Seek(start, CFile::SeekOrigin::Begin)) return 0;
  const std::uint64_t needed = 4 + std::uint64_t{LoadLE16(sides)} * LoadLE16(sides + 2) * 4 + 1;
  const std::int64_t length = stream.GetLength();
  if (length < start || needed > static_cast<std::uint64_t>(length - start)) return 0;
  return ReadPackedImage16(stream, stored.image);
}

void CBFLayer::TakeStoredLayer(StoredLayer& stored) {
  std::lock_guard guard(m_lock);
  stored.record.ApplyProperties(*this);
  m_id = static_cast<std::int32_t>(stored.record.id);
  m_mask.Free();
  m_image = std::move(stored.image);
  RaiseLayerIdCounter(stored.record.id);
}

int CBFLayer::WriteStoredLayer(CFile& stream) const {
  std::lock_guard guard(m_lock);
  LayerRecord record;
  if (!LayerRecord::FromLayer(*this, record)) return 0;
  if (m_image.IsEmpty() || m_image.width > 65535 || m_image.height > 65535) return 0;
  std::array<std::uint8_t, LayerRecord::kSize> bytes;
  record.Encode(bytes);
  return stream.Write(bytes.data(), bytes.size()) && WritePackedImage16(m_image, stream) ? 1 : 0;
}

int CBFLayer::CropPlaneToLayer(const CBFLayer& layer, CPlane8& result, const CPlane8& documentPlane) {
  std::lock_guard guard(layer.m_lock);
  const CBgraImage16& image = layer.m_image;
  if (!result.Create(image.width, image.height)) return 0;
  std::fill_n(result.pixels, result.byteSize, std::uint8_t{0});
  if (documentPlane.IsEmpty()) return 1;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::int64_t py = std::int64_t{layer.m_y} + y;
    if (py < 0 || py >= documentPlane.height) continue;
    const std::uint8_t* from = documentPlane.Row(static_cast<std::uint32_t>(py));
    std::uint8_t* to = result.Row(y);
    for (std::uint32_t x = 0; x < image.width; ++x) {
      const std::int64_t px = std::int64_t{layer.m_x} + x;
      if (px >= 0 && px < documentPlane.width) to[x] = from[px];
    }
  }
  return 1;
}

int AlphaBounds(const CBgraImage16& image, Rect& box) {
  if (image.IsEmpty()) return 0;
  std::int64_t left = image.width, top = image.height, right = -1, bottom = -1;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::uint16_t* p = image.Row(y);
    for (std::uint32_t x = 0; x < image.width; ++x, p += 4) {
      if (p[3] == 0) continue;
      if (x < left) left = x;
      if (x > right) right = x;
      if (y < top) top = y;
      bottom = y;
    }
  }
  if (right < 0) return 0;
  box = {static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
         static_cast<std::int32_t>(right + 1), static_cast<std::int32_t>(bottom + 1)};
  return 1;
}
