#pragma once
// CListItem: one item of a list grid: a caption, the item's own picture (or
// a shared fallback), the cached thumbnail and caption picture of the
// current view mode, pictures a subclass attaches, the selection and the
// cell it is laid out in and drawn at. Owned by its list; the UI thread
// changes it under the list's lock, the render thread draws it under the
// same lock, and the thumbnail loader threads write its picture under their
// own locks.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "image/BgraImage.h"
#include "platform/Rect.h"

class CListItem {
public:
  static constexpr std::size_t kCaptionField = 64;
  static constexpr Point kNotPlaced{-100, -100};

  CListItem() = default;
  virtual ~CListItem();
  CListItem(const CListItem&) = delete;
  CListItem& operator=(const CListItem&) = delete;

  // Frees and deletes every extra picture.
  virtual void ReleaseImages();
  // The item's picture scaled so that its longer side is size (a square
  // cut from the middle when square and the picture is larger), cached in
  // thumbnail; a picture no larger than size is copied as it is. The item's
  // own picture gets lightened outermost pixels, a fallback does not. Null
  // for size 0, without a picture or when memory runs out. Holds both
  // thumbnail loaders' locks (first, then second) while it reads the
  // picture.
  virtual const CBgraImage* GetThumbnail(std::int32_t size, bool square);

  // Frees the thumbnail and the caption picture (rebuilt when needed).
  void ReleaseCachedImages();
  // Stores the caption, cut to the field.
  void SetCaption(std::u16string_view text);
  bool IsPlaced() const { return !(cellPos == kNotPlaced); }

  std::u16string caption;
  CBgraImage source;
  const CBgraImage* fallbackImage = nullptr;  // not owned
  CBgraImage thumbnail;
  CBgraImage captionImage;
  std::vector<std::unique_ptr<CBgraImage>> extraImages;
  std::int32_t selected = 0;
  std::int32_t captionCut = 0;
  std::int32_t needsDraw = 1;
  Point cellPos = kNotPlaced;  // content coordinates of the last layout
  Point drawPos = kNotPlaced;  // where the cell is drawn now
  Size cellSize{100, 100};
  std::uint8_t hoverAlpha = 0;  // 0 to 220
  std::int32_t inView = 0;
  std::uint32_t data = 0;
};
