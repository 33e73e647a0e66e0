// CBFDoc::RotateRight, RotateLeft, FlipHorizontal, FlipVertical: every layer
// image, the selection and every saved mask turn with the same single-image
// transform; everything but the base layer then moves so that it covers the
// same part of the turned document. With w x h the size of a layer or mask
// after the transform and W x H the document before it, (x, y) goes to
//   rotate right (H - y - w, x)      rotate left (y, W - x - h)
//   flip left-right (W - x - w, y)   flip top-bottom (x, H - y - h)
// Positions are checked before anything changes, so a turn never stores a
// position that has left 32 bits.

#include <limits>

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
    case Turn::Right: return {docHeight - y - w, x};
    case Turn::Left: return {y, docWidth - x - h};
    case Turn::Horizontal: return {docWidth - x - w, y};
    case Turn::Vertical: return {x, docHeight - y - h};
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

int TransformImage(Turn turn, CBgraImage16& image) {
  switch (turn) {
    case Turn::Right: return RotateImageRight(image);
    case Turn::Left: return RotateImageLeft(image);
    case Turn::Horizontal: return FlipImageHorizontal(image);
    case Turn::Vertical: return FlipImageVertical(image);
  }
  return 0;
}

int TransformPlane(Turn turn, CPlane8& plane) {
  switch (turn) {
    case Turn::Right: return RotatePlaneRight(plane);
    case Turn::Left: return RotatePlaneLeft(plane);
    case Turn::Horizontal: return FlipPlaneHorizontal(plane);
    case Turn::Vertical: return FlipPlaneVertical(plane);
  }
  return 0;
}

int TransformDocument(CBFDoc& doc, Turn turn) {
  const std::int64_t docWidth = doc.m_width, docHeight = doc.m_height;
  auto placeOf = [&](std::int64_t x, std::int64_t y, const Position& size) {
    return NewPosition(turn, x, y, size.x, size.y, docWidth, docHeight);
  };
  for (std::size_t i = 1; i < doc.m_layers.size(); ++i) {
    const CBFLayer& layer = *doc.m_layers[i];
    if (!FitsInt32(placeOf(layer.m_x, layer.m_y, SizeAfter(turn, layer.m_image)))) return 0;
  }
  for (const auto& mask : doc.m_masks) {
    if (!FitsInt32(placeOf(mask->x, mask->y, SizeAfter(turn, mask->plane)))) return 0;
  }

  for (std::size_t i = 0; i < doc.m_layers.size(); ++i) {
    CBFLayer& layer = *doc.m_layers[i];
    std::lock_guard guard(layer.m_lock);
    if (!TransformImage(turn, layer.m_image)) return 0;
    if (i == 0) continue;  // the base layer keeps its place
    const Position p = placeOf(layer.m_x, layer.m_y, SizeAfter(Turn::Horizontal, layer.m_image));
    layer.m_x = static_cast<std::int32_t>(p.x);
    layer.m_y = static_cast<std::int32_t>(p.y);
  }
  if (!TransformPlane(turn, doc.m_selection)) return 0;
  for (auto& mask : doc.m_masks) {
    if (!TransformPlane(turn, mask->plane)) return 0;
    const Position p = placeOf(mask->x, mask->y, SizeAfter(Turn::Horizontal, mask->plane));
    mask->x = static_cast<std::int32_t>(p.x);
    mask->y = static_cast<std::int32_t>(p.y);
  }
  if (Turns(turn)) std::swap(doc.m_width, doc.m_height);
  return 1;
}

}  // namespace

int CBFDoc::RotateRight() { return TransformDocument(*this, Turn::Right); }
int CBFDoc::RotateLeft() { return TransformDocument(*this, Turn::Left); }
int CBFDoc::FlipHorizontal() { return TransformDocument(*this, Turn::Horizontal); }
int CBFDoc::FlipVertical() { return TransformDocument(*this, Turn::Vertical); }
