#include "album/SFolderTree.h"

#include <cstdio>

#include "album/FolderNode.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

const char* FolderBadgeText(std::int32_t imageCount, char (&buffer)[4]) {
  buffer[0] = 0;
  if (imageCount >= CSFolderTree::kBadgeLimit) {
    buffer[0] = '+';
    buffer[1] = 0;
  } else if (imageCount >= 1) {
    std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(imageCount));
  }
  return buffer;
}

void CSFolderTree::DrawRowExtra(std::int32_t row, std::int32_t rowY) {
  if (row < 0 || row >= static_cast<std::int32_t>(rows.size())) return;
  const TreeRow& entry = rows[static_cast<std::size_t>(row)];
  const auto* node = static_cast<const CFolderNode*>(entry.node);
  if (!node || node->kind != kFolderKindFolder || !entry.hasIcon) return;
  char text[4];
  const std::string_view badge = FolderBadgeText(node->imageCount, text);
  if (badge.empty()) return;
  const CImageArray& digits = UIResources().skins.smallDigits;
  std::int32_t x = entry.expanderRight + (badge.size() == 2 ? 3 : 6);
  const std::uint32_t colour = UIResources().theme.colors[5];
  for (const char c : badge) {
    const std::size_t cell = c == '+' ? 10 : static_cast<std::size_t>(c - '0');
    if (const CBgraImage* glyph = digits.At(cell)) BlendColorMask(surface, *glyph, x, rowY + 7, colour, {});
    x += 5;
  }
}
