#pragma once
// What the whole-document resize of CImageSize needs of a layered document,
// so that the algorithm stays below the document model: it reads the layers,
// the selection and the saved masks through a view, builds every resized
// part aside and hands them over in one exchange. A document that fails or is
// cancelled half-way is therefore never touched.

#include <cstdint>
#include <vector>

#include "image/BgraImage16.h"
#include "image/Plane8.h"

// Pointers into the document, valid while nothing else changes it.
struct PlacedImageView {
  const CBgraImage16* image = nullptr;
  std::int32_t x = 0;  // position in document pixels
  std::int32_t y = 0;
};

struct PlacedPlaneView {
  const CPlane8* plane = nullptr;
  std::int32_t x = 0;
  std::int32_t y = 0;
};

struct ResizableDocumentView {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<PlacedImageView> layers;  // bottom first; [0] is the base layer
  const CPlane8* selection = nullptr;   // null when nothing is selected
  std::vector<PlacedPlaneView> masks;   // the saved masks, in list order
};

// The resized parts, one entry for every layer and saved mask of the view.
struct ResizedLayer {
  CBgraImage16 image;
  std::int32_t x = 0;
  std::int32_t y = 0;
};

struct ResizedMask {
  CPlane8 plane;
  std::int32_t x = 0;
  std::int32_t y = 0;
};

struct ResizedDocumentParts {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<ResizedLayer> layers;
  CPlane8 selection;  // no pixels when nothing is selected
  std::vector<ResizedMask> masks;
};

class IResizableDocument {
public:
  // Fills view (replacing what it held). 0 when memory is short.
  [[nodiscard]] virtual int ViewForResize(ResizableDocumentView& view) const = 0;
  // Exchanges the document's size, layer images and positions, selection
  // and mask planes and positions with parts, all at once and without
  // allocating, and marks the document modified; parts then holds the old
  // ones. Every other property stays. 0, with nothing changed, when the
  // numbers of layers or masks differ from the document's.
  [[nodiscard]] virtual int TakeResized(ResizedDocumentParts& parts) = 0;

protected:
  ~IResizableDocument() = default;
};
