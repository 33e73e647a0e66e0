#include "editor/SHistoryList.h"

#include <algorithm>

#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

bool CSHistoryList::DrawRow(std::int32_t index) {
  if (index < 0 || index >= static_cast<std::int32_t>(rows.size()) || surface.IsEmpty()) return false;
  TreeRow& row = rows[static_cast<std::size_t>(index)];
  CTreeNode* node = row.node;
  if (node->textImage.IsEmpty() && !UIResources().skins.RenderTextLocked(node->text, node->textImage))
    return false;
  const CBgraImage& text = node->textImage;
  const auto& colors = UIResources().theme.colors;
  const bool dimmed = selectedRow >= 0 && index > selectedRow;
  const std::uint32_t colour = dimmed ? colors[2] : colors[0];
  const std::int32_t iconAlpha = dimmed ? kDimmedIconAlpha : 256;
  const auto surfaceWidth = static_cast<std::int32_t>(surface.width);
  const auto surfaceHeight = static_cast<std::int32_t>(surface.height);
  const auto textHeight = static_cast<std::int32_t>(text.height);
  const std::int32_t top = index * rowHeight - scrollOffset;
  const std::int32_t y = top + (rowHeight - textHeight) / 2;
  if (y + textHeight <= 0 || y >= surfaceHeight) return y > surfaceHeight;

  if (node->icon && !node->icon->IsEmpty()) {
    BlendImage(surface, *node->icon, 0, top + (rowHeight - static_cast<std::int32_t>(node->icon->height)) / 2,
               true, {}, iconAlpha);
    row.hasIcon = 1;
  }
  row.textLeft = kTextLeft;
  row.textTop = std::max(y, 0);
  const std::int32_t end = std::min(kTextLeft + static_cast<std::int32_t>(text.width), surfaceWidth);
  std::int32_t lastLine = -1;
  for (std::int32_t ty = 0; ty < textHeight; ++ty) {
    const std::int32_t sy = y + ty;
    if (sy < 0 || sy >= surfaceHeight) continue;
    lastLine = sy;
    const std::uint8_t* coverage = text.Row(static_cast<std::uint32_t>(ty));
    std::uint8_t* target = surface.Row(static_cast<std::uint32_t>(sy));
    for (std::int32_t x = kTextLeft; x < end; ++x) {
      const std::uint32_t c = coverage[4 * (x - kTextLeft) + 2];
      if (c == 0) continue;
      std::uint8_t* p = target + 4 * x;
      for (int channel = 0; channel < 3; ++channel) {
        const std::uint32_t value = (colour >> (8 * channel)) & 0xFF;
        p[channel] = static_cast<std::uint8_t>((value * c + p[channel] * (256 - c)) >> 8);
      }
      p[3] = 255;
    }
  }
  row.textFits = kTextLeft + static_cast<std::int32_t>(text.width) <= surfaceWidth ? 1 : 0;
  // The hovered row is underlined along its last drawn line.
  if (index == hoveredRow && index != selectedRow && lastLine == y + textHeight - 1) {
    std::uint8_t* target = surface.Row(static_cast<std::uint32_t>(lastLine));
    for (std::int32_t x = kTextLeft; x < end; ++x) {
      std::uint8_t* p = target + 4 * x;
      for (int channel = 0; channel < 3; ++channel)
        p[channel] = static_cast<std::uint8_t>((((colour >> (8 * channel)) & 0xFF) + p[channel]) / 2);
      p[3] = 255;
    }
  }
  return y >= surfaceHeight;
}
