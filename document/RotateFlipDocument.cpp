// CBFDoc::RotateRight, RotateLeft, FlipHorizontal, FlipVertical: every layer
// image, the selection and every saved mask turn with the same single-image
// transform; everything but the base layer then moves so that it covers the
// same part of the turned document. With w x h the size of a layer or mask
// after the transform and W x H the document before it, (x, y) goes to
//   rotate right (H - y - w, x)      rotate left (y, W - x - h)
//   flip left-right (W - x - w, y)   flip top-bottom (x, H - y - h)
// Every turned part is built aside and exchanged with the document's only
// when all of them exist, so a failure leaves the document as it was.
// Positions are checked first, so a turn never stores a position that has
// left 32 bits.

#include <limits>
#include <new>

#include "document/BFDoc.h"
#include "document/FlipImage.h"
#include "document/RotateImage.h"

namespace {

enum class Turn { Right, Left, Horizontal, Vertical };

struct Position {
  std::int64_t x = 0;
  std::int64_t y = 0;
};

// Where an image of w x h (after the transform) at (x, y) lands.
Position NewPosition(Turn turn, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h,
                     std::int64_t docWidth, std::int64_t docHeight) {
  switch (turn) {
    case Turn::Right:
      return {docHeight - y - w, x};
    case Turn::Left:
      return {y, docWidth - x - h};
    case Turn::Horizontal:
      return {docWidth - x - w, y};
    case Turn::Vertical:
      return {x, docHeight - y - h};
  }
  return {x, y};
}

bool Turns(Turn turn) { return turn == Turn::Right || turn == Turn::Left; }

template <typename Image>
Position SizeAfter(Turn turn, const Image& image) {
  const std::int64_t w = image.IsEmpty() ? 0 : image.width, h = image.IsEmpty() ? 0 : image.height;
  return Turns(turn) ? Position{h, w} : Position{w, h};
}

bool FitsInt32(const Position& p) {
  constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
  return p.x >= lo && p.x <= hi && p.y >= lo && p.y <= hi;
}

[[nodiscard]] int TransformImage(Turn turn, const CBgraImage16& image, CBgraImage16& result) {
  switch (turn) {
    case Turn::Right:
      return RotateImageRight(image, result);
    case Turn::Left:
      return RotateImageLeft(image, result);
    case Turn::Horizontal:
      return FlipImageHorizontal(image, result);
    case Turn::Vertical:
      return FlipImageVertical(image, result);
  }
  return 0;
}

[[nodiscard]] int TransformPlane(Turn turn, const CPlane8& plane, CPlane8& result) {
  switch (turn) {
    case Turn::Right:
      return RotatePlaneRight(plane, result);
    case Turn::Left:
      return RotatePlaneLeft(plane, result);
    case Turn::Horizontal:
      return FlipPlaneHorizontal(plane, result);
    case Turn::Vertical:
      return FlipPlaneVertical(plane, result);
  }
  return 0;
}

// Fills parts with the turned document; the document is only read.
[[nodiscard]] int BuildTurned(const CBFDoc& doc, Turn turn, ResizedDocumentParts& parts) {
  const std::int64_t docWidth = doc.m_width, docHeight = doc.m_height;
  auto placeOf = [&](std::int64_t x, std::int64_t y, const Position& size) {
    return NewPosition(turn, x, y, size.x, size.y, docWidth, docHeight);
  };
  try {
    parts.layers.resize(doc.m_layers.size());
    parts.masks.resize(doc.m_masks.size());
  } catch (const std::bad_alloc&) {
    return 0;
  }
  for (std::size_t i = 0; i < doc.m_layers.size(); ++i) {
    const CBFLayer& layer = *doc.m_layers[i];
    ResizedLayer& turned = parts.layers[i];
    turned.x = layer.m_x;
    turned.y = layer.m_y;
    if (i == 0) continue;  // the base layer keeps its place
    const Position p = placeOf(layer.m_x, layer.m_y, SizeAfter(turn, layer.m_image));
    if (!FitsInt32(p)) return 0;
    turned.x = static_cast<std::int32_t>(p.x);
    turned.y = static_cast<std::int32_t>(p.y);
  }
  for (std::size_t k = 0; k < doc.m_masks.size(); ++k) {
    const MaskRecord& mask = *doc.m_masks[k];
    const Position p = placeOf(mask.x, mask.y, SizeAfter(turn, mask.plane));
    if (!FitsInt32(p)) return 0;
    parts.masks[k].x = static_cast<std::int32_t>(p.x);
    parts.masks[k].y = static_cast<std::int32_t>(p.y);
  }

  for (std::size_t i = 0; i < doc.m_layers.size(); ++i) {
    if (!TransformImage(turn, doc.m_layers[i]->m_image, parts.layers[i].image)) return 0;
  }
  if (!TransformPlane(turn, doc.m_selection, parts.selection)) return 0;
  for (std::size_t k = 0; k < doc.m_masks.size(); ++k) {
    if (!TransformPlane(turn, doc.m_masks[k]->plane, parts.masks[k].plane)) return 0;
  }
  parts.width = Turns(turn) ? doc.m_height : doc.m_width;
  parts.height = Turns(turn) ? doc.m_width : doc.m_height;
  return 1;
}

}  // namespace

int CBFDoc::RotateRight() {
  ResizedDocumentParts parts;
  return BuildTurned(*this, Turn::Right, parts) && ExchangeParts(parts);
}

int CBFDoc::RotateLeft() {
  ResizedDocumentParts parts;
  return BuildTurned(*this, Turn::Left, parts) && ExchangeParts(parts);
}

int CBFDoc::FlipHorizontal() {
  ResizedDocumentParts parts;
  return BuildTurned(*this, Turn::Horizontal, parts) && ExchangeParts(parts);
}

int CBFDoc::FlipVertical() {
  ResizedDocumentParts parts;
  return BuildTurned(*this, Turn::Vertical, parts) && ExchangeParts(parts);
}
