#include "ui/widgets/ListItem.h"

#include <algorithm>
#include <mutex>

#include "platform/Utf16.h"
#include "ui/HelpLoaderThread.h"

CListItem::~CListItem() {
  ReleaseImages();
  captionImage.Free();
  thumbnail.Free();
  source.Free();
}

void CListItem::ReleaseImages() { extraImages.clear(); }

void CListItem::ReleaseCachedImages() {
  captionImage.Free();
  thumbnail.Free();
}

void CListItem::SetCaption(std::u16string_view text) { caption = TruncatedText(text, kCaptionField); }

const CBgraImage* CListItem::GetThumbnail(std::int32_t size, bool square) {
  if (size <= 0) return nullptr;
  const auto side = static_cast<std::uint32_t>(size);
  if (!thumbnail.IsEmpty() && std::max(thumbnail.width, thumbnail.height) == side) return &thumbnail;
  const CBothLoaderLocks loaders;
  const bool own = !source.IsEmpty();
  const CBgraImage* picture = own ? &source : fallbackImage;
  if (!picture || picture->IsEmpty()) return nullptr;
  const std::uint32_t longer = std::max(picture->width, picture->height);
  const std::uint32_t shorter = std::min(picture->width, picture->height);
  if (side >= longer) {
    if (!thumbnail.CopyFrom(*picture)) return nullptr;
  } else if (square && side < shorter) {
    Rect middle{static_cast<std::int32_t>((picture->width - shorter) / 2),
                static_cast<std::int32_t>((picture->height - shorter) / 2), 0, 0};
    middle.right = middle.left + static_cast<std::int32_t>(shorter);
    middle.bottom = middle.top + static_cast<std::int32_t>(shorter);
    if (!picture->ResampleTo(thumbnail, side, side, 2, middle)) return nullptr;
  } else {
    const std::uint32_t other =
        std::max<std::uint32_t>(static_cast<std::uint32_t>(std::uint64_t{side} * shorter / longer), 1);
    const bool wide = picture->width >= picture->height;
    Rect whole;
    if (!picture->ResampleTo(thumbnail, wide ? side : other, wide ? other : side, 2, whole)) return nullptr;
  }
  if (own) {
    // A light rim sets the item's own picture off from the cell.
    const auto lighten = [](std::uint8_t* p) {
      for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>((3 * p[c] + 256) / 4);
    };
    const std::uint32_t w = thumbnail.width, h = thumbnail.height;
    for (std::uint32_t y = 0; y < h; ++y) {
      lighten(thumbnail.At(0, y));
      if (w > 1) lighten(thumbnail.At(w - 1, y));
    }
    for (std::uint32_t x = 1; x + 1 < w; ++x) {
      lighten(thumbnail.At(x, 0));
      if (h > 1) lighten(thumbnail.At(x, h - 1));
    }
  }
  return &thumbnail;
}
