#include "ui/widgets/DrawTextInRect.h"

#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

namespace {

std::int32_t Place(TextAlign align, std::int32_t start, std::int32_t room, std::int32_t extent) {
  switch (align) {
    case TextAlign::Near:
      break;
    case TextAlign::Centre:
      return start + (room - extent) / 2;
    case TextAlign::Far:
      return start + room - extent;
  }
  return start;
}

}  // namespace

bool DrawTextInRect(CBgraImage& target, std::u16string_view text, std::int32_t style, const Rect& rect,
                    std::uint32_t colour, TextAlign horizontal, TextAlign vertical) {
  // An empty clip would stand for the whole target.
  if (rect.IsEmpty()) return true;
  CBgraImage picture;
  if (!UIResources().skins.RenderTextLocked(text, picture, {}, style, rect.Width())) return false;
  const auto width = static_cast<std::int32_t>(picture.width);
  const auto height = static_cast<std::int32_t>(picture.height);
  BlendColorMask(target, picture, Place(horizontal, rect.left, rect.Width(), width),
                 Place(vertical, rect.top, rect.Height(), height), colour, rect);
  return true;
}
