#pragma once
// CBFDoc: the layered document of one edit page: a stack of layers (index 0,
// the base layer, at the bottom), a document-sized selection plane, the saved
// masks, the document size, the current layer and the path of the file it
// came from. Tools, dialogs and the save code also build short-lived
// documents and copy them with CopyFrom.
//
// Everything runs on the UI thread. m_lock (re-entrant) is taken by Clear,
// ClearLayers, the list updates of the operations below and Serialize; each
// layer's own lock is taken inside it, never the other way round. m_modified
// is set by every change of the layers, the current layer or the size and
// cleared by Clear, ClearLayers and the canvas once it has redrawn.
//
// The body format (Serialize, DocumentBody.cpp), little-endian:
//   DocHeader (12 bytes), the path (1024 UTF-16 units, zero-terminated),
//   the selection as a PackedPlaneRecord when the header says so, the saved
//   masks (MaskRecord), then per layer a u32 kind (0 plain, 1 text) and the
//   layer's own record (CBFLayer::Serialize, CTextLayer::Serialize).
// A full body carries the selection and the masks; a layers-only body (the
// history's snapshots) carries neither.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "algorithms/geometry/ResizableDocument.h"
#include "document/BFLayer.h"
#include "document/InclusiveRect.h"
#include "document/MaskRecord.h"
#include "image/BgraImage16.h"
#include "image/Plane8.h"

class CFile;

class CBFDoc : public IResizableDocument {
public:
  static constexpr std::size_t kPathLength = 1024;
  // The body stores counts in one byte and sides in 16 bits.
  static constexpr std::size_t kMaxLayers = 255;
  static constexpr std::size_t kMaxMasks = 255;
  static constexpr std::uint32_t kMaxStoredSide = 65535;

  CBFDoc() = default;
  virtual ~CBFDoc();
  CBFDoc(const CBFDoc&) = delete;
  CBFDoc& operator=(const CBFDoc&) = delete;

  // load 1 reads, 0 writes; full 1 for a whole body, 0 for layers only.
  //
  // Writing refuses, before the first byte, a document the format cannot
  // hold: more than 255 layers or (full) masks, a side above 65535, a layer
  // whose position does not fit 16 bits or whose image is missing or too
  // large, a selection of another size than the document. Then 0.
  //
  // Reading takes effect only when the whole body arrived and checked out; on
  // failure the document is left as it was. A full read replaces everything;
  // a layers-only read replaces the layers and the size and keeps the path,
  // the masks and (unless the body carries one) the selection. With layers,
  // the current layer becomes the stored one, clamped to the last layer.
  // A successful read sets m_modified.
  [[nodiscard]] virtual int Serialize(CFile& stream, int load, int full);

  // Destroys every layer and saved mask, frees the selection, clears
  // m_modified; size, current layer and path stay.
  void Clear();
  // Destroys the layers only and clears m_modified.
  void ClearLayers();

  // Makes the document one base layer from an image file. 2 for a JPEG whose
  // information records no colour space, 1 for any other success, 0 on
  // failure (the document is then unchanged). The layer is named after the
  // file; the path is kept.
  [[nodiscard]] int OpenImageFile(const std::filesystem::path& path);

  // The colour space an image file's information records: 1 sRGB, 2 Adobe
  // RGB (1998), kColourSpaceNone when it records none. The image-information
  // reader installs itself here; until one is installed every file counts as
  // recording none (and is read as sRGB).
  static constexpr std::uint16_t kColourSpaceNone = 65535;
  using ColourSpaceReader = std::uint16_t (*)(const std::filesystem::path& path);
  static void SetColourSpaceReader(ColourSpaceReader reader);

  // Replaces this document by a deep copy of source (m_modified cleared).
  // Built aside and swapped in: on failure (memory, an unknown layer kind)
  // this document is unchanged.
  [[nodiscard]] int CopyFrom(const CBFDoc& source);

  // Adds a layer holding a copy of image. Into an empty document: the base
  // layer at 0, 0, the document takes the image's size and loses its path
  // (m_modified untouched). Otherwise a floating layer centred on the
  // document: index -1 puts it on top, any other index before that position
  // (clamped to 0..count); it becomes the current layer. 0 when the copy
  // fails or the document already holds 255 layers.
  [[nodiscard]] int InsertLayer(const CBgraImage16& image, std::u16string_view name, int index);

  int LayerCount() const { return static_cast<int>(m_layers.size()); }
  // Null when the index is negative or past the end.
  CBFLayer* GetLayer(int index) const;
  // Null when there are no layers.
  CBFLayer* GetCurrentLayer() const;
  // Clamps to 0..count-1 (-1 without layers); a change sets m_modified.
  void SetCurrentLayer(int index);
  // The index of the layer whose image record is this one (identity), or -1.
  int FindLayerByImage(const CBgraImage16* image) const;
  // Ignores an index out of range; keeps the current layer on the same layer
  // where it can, else selects the one that took the deleted one's place.
  void DeleteLayer(int index);
  // Merges layer index into the one below; 1 also when there is nothing to
  // merge, 0 when the merged image cannot be allocated (nothing changed).
  [[nodiscard]] int MergeLayerDown(int index);

  // target becomes the document's size filled with background (u16 B, G, R,
  // A from the low bits up), then every visible layer is blended in list
  // order; the blend leaves the background's alpha as it was. 0 when the
  // target cannot be allocated.
  static constexpr std::uint64_t kOpaqueWhite = ~std::uint64_t{0};
  [[nodiscard]] int CompositeLayers(CBgraImage16& target, std::uint64_t background) const;
  // Blends one layer into a document-sized image at the layer's position;
  // pixels outside the target are skipped. The target's alpha stays.
  void BlendLayer(CBgraImage16& target, const CBFLayer& layer) const;

  // Whole-document geometry: layers, selection and saved masks stay in
  // register. The base layer and the selection turn pixel for pixel; other
  // layers and the masks turn as images and move to the matching place. No
  // history recorded, m_modified untouched unless stated. Every new image
  // and plane is built aside and the document changes only once all exist,
  // under m_lock and each layer's lock; 0, with the document as it was, when
  // a buffer cannot be allocated.
  //
  // Quarter turns swap the document's width and height (RotateFlipDocument.cpp).
  [[nodiscard]] int RotateRight();
  [[nodiscard]] int RotateLeft();
  [[nodiscard]] int FlipHorizontal();
  [[nodiscard]] int FlipVertical();
  // Cuts the document to an inclusive rectangle (CropDocument.cpp), which is
  // first normalised and cut to the document. Layers and masks outside it
  // are destroyed, a selection left empty is dropped; the current layer
  // stays on its layer when that survives, else on the one that took its
  // place. 0 without any change when no layer overlaps the rectangle.
  [[nodiscard]] int Crop(const InclusiveRect& rectangle);
  // A new canvas size with the old canvas at (dx, dy) in it (ResizeCanvas.cpp):
  // the base layer grows or shrinks, new area filled with fill (u16 B, G, R,
  // A from the low bits up); the other layers and the masks move by (dx, dy);
  // the selection gets a zero border. The same size changes nothing. Sets
  // m_modified. 0, with nothing changed, without layers, for a size below 1,
  // a position that leaves 32 bits or a failed allocation.
  [[nodiscard]] int ResizeCanvas(std::int32_t width, std::int32_t height, std::int32_t dx, std::int32_t dy,
                                 std::uint64_t fill);

  // The whole-document resize of CImageSize (DocumentResize.cpp): the view
  // is taken under m_lock; the resized parts are exchanged under m_lock and
  // each layer's lock, so the canvas never sees a layer half swapped.
  [[nodiscard]] int ViewForResize(ResizableDocumentView& view) const override;
  [[nodiscard]] int TakeResized(ResizedDocumentParts& parts) override;

  // Keeps the selection as the saved mask of that name (StoreSelectionAsMask.cpp):
  // a mask of the same name is reused in its place, else a new one is
  // appended; the mask holds the selection cut to its non-zero bytes, its
  // position and the document size, and no thumbnail (the mask panel builds
  // those). 0 when there is no selection with a non-zero byte, or memory is
  // short: nothing is stored then, and a mask of that name is removed. The
  // selection and m_modified stay as they are.
  [[nodiscard]] int StoreSelectionAsMask(std::u16string_view name);

  // Exchanges everything but the lock and the modified flag with other (a
  // copy taken before an operation goes back whole, without allocating).
  void ExchangeContents(CBFDoc& other) { SwapContents(other); }

  std::u16string Path() const;
  // Cut as fixed fields are: 1023 characters or more become 1021 and "..".
  void SetPath(std::u16string_view path);

  std::array<char16_t, kPathLength> m_path{};  // terminated, zero after the text
  std::atomic<std::int32_t> m_modified{0};
  std::vector<std::unique_ptr<CBFLayer>> m_layers;  // bottom first
  CPlane8 m_selection;                              // no pixels: nothing selected
  std::vector<std::unique_ptr<MaskRecord>> m_masks;
  std::uint32_t m_width = 0;
  std::uint32_t m_height = 0;
  std::int32_t m_currentLayer = 0;
  mutable std::recursive_mutex m_lock;

private:
  // TakeResized without marking the document modified.
  [[nodiscard]] int ExchangeParts(ResizedDocumentParts& parts);
  [[nodiscard]] int WriteBody(CFile& stream, int full) const;
  [[nodiscard]] int ReadBody(CFile& stream, int full);
  // Exchanges everything but the lock and the modified flag.
  void SwapContents(CBFDoc& other);
};
