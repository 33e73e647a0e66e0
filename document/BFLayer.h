#pragma once
// CBFLayer: one layer of a document: a 16-bit image with alpha placed at a
// document position, with a name, opacity, blend mode and visibility, and an
// optional 8-bit plane kept with it (copied, never stored). Text layers
// (CTextLayer) derive from it.
//
// m_lock guards m_image and m_mask: the canvas reads the image from the
// render thread under it. Take the document's lock first when both are
// needed.

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "document/LayerRecord.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"
#include "platform/Rect.h"

class CFile;

enum LayerKind : std::uint32_t {
  kLayerPlain = 0,
  kLayerText = 1,
};

class CBFLayer {
public:
  static constexpr std::size_t kNameLength = 32;

  // Takes the next id of the process-wide layer-id counter.
  CBFLayer();
  virtual ~CBFLayer();
  CBFLayer(const CBFLayer&) = delete;
  CBFLayer& operator=(const CBFLayer&) = delete;

  // load 1 reads, 0 writes: the LayerRecord, then the image as a
  // PackedImage16Record. A write takes the layer lock and is refused (nothing
  // written) when the position does not fit 16 bits or the image is missing
  // or has a side above 65535. A read takes effect only when the whole layer
  // arrived; on failure the layer stays as it was. A read raises the id
  // counter above the id it read. 1 or 0.
  [[nodiscard]] virtual int Serialize(CFile& stream, int load);
  // Copies image, floating, visible, mask plane, opacity, blend mode,
  // position and name; id and kind stay. 0 when a copy cannot be allocated
  // (this layer is then unchanged).
  [[nodiscard]] virtual int CopyFrom(const CBFLayer& source);

  // Under the layer lock: frees the mask plane and the image.
  void FreeBuffers();
  // A floating layer shrinks to the bounding box of its pixels with non-zero
  // alpha and moves by the box's corner. Returns 1 without change for a base
  // layer, a layer without any such pixel or one that fills the box; 0 when
  // the image is missing or the smaller one cannot be allocated.
  [[nodiscard]] int CropToContent();
  // result becomes a plane of the layer image's size holding the part of a
  // document-sized plane that lies under the layer (zero elsewhere, and
  // everywhere when the document plane has no pixels). 0 when the result
  // cannot be allocated. The layer's image is read under its lock.
  [[nodiscard]] static int CropPlaneToLayer(const CBFLayer& layer, CPlane8& result,
                                            const CPlane8& documentPlane);

  std::u16string Name() const;
  // Cut as fixed fields are: 31 characters or more become 29 and "..".
  void SetName(std::u16string_view name);

  // The process-wide layer-id counter: the id the next layer takes.
  static std::uint32_t NextLayerId();
  // Raises the counter to id + 1 unless it is already above id (unsigned).
  static void RaiseLayerIdCounter(std::uint32_t id);

  std::int32_t m_x = 0;
  std::int32_t m_y = 0;
  CPlane8 m_mask;
  std::array<char16_t, kNameLength> m_name{};  // terminated, zero after the text
  std::uint8_t m_opacity = 255;
  std::uint8_t m_blendMode = 0;  // a BlendMode
  std::uint8_t m_visible = 1;
  std::uint32_t m_floating = 1;  // 0 for the base layer
  std::uint32_t m_kind = kLayerPlain;
  std::int32_t m_id = 0;
  mutable std::recursive_mutex m_lock;
  CBgraImage16 m_image;

protected:
  // The parts of a stored layer, read whole before anything is changed.
  struct StoredLayer {
    LayerRecord record;
    CBgraImage16 image;
  };
  [[nodiscard]] static int ReadStoredLayer(CFile& stream, StoredLayer& stored);
  // Under the layer lock: takes the record's properties and id and the image.
  void TakeStoredLayer(StoredLayer& stored);
  // The record and image, checked before the first byte goes out.
  [[nodiscard]] int WriteStoredLayer(CFile& stream) const;
};

// The bounding box of the pixels with non-zero alpha, in image coordinates;
// 0 (box untouched) when there is none or the image is empty.
[[nodiscard]] int AlphaBounds(const CBgraImage16& image, Rect& box);
