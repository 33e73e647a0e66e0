#include "album/SFolderTree.h"

#include <cstdio>

#include "album/FolderNode.h"
#include "platform/FileTransfer.h"
#include "platform/UiMessage.h"
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

std::uint32_t CSFolderTree::OnDragOver(Point point) {
  if (OverScrollBar(point)) return 0;
  const std::int32_t row = RowAtPoint(point);
  std::lock_guard guard(lock);
  if (row != hoveredRow) {
    hoveredRow = row;
    dirty = 1;
  }
  return row >= 0 ? 1 : 0;
}

std::int32_t CSFolderTree::OnDrop(Point point, const CDropFileList& files) {
  if (OverScrollBar(point) || !sources) return 0;
  std::filesystem::path folder;
  {
    std::lock_guard guard(lock);
    const std::int32_t row = RowAtPoint(point);
    if (row < 0 || row >= static_cast<std::int32_t>(rows.size())) return 0;
    folder = static_cast<const CFolderNode*>(rows[static_cast<std::size_t>(row)].node)->GetPath();
  }
  const DropPlan plan = PlanImageDrop(files.files, folder, *sources);
  if (plan.move.empty() && plan.copy.empty()) return 0;
  // Taken names are kept; the folder watch shows what arrived.
  (void)TransferFiles(plan.move, folder, FileTransferMode::Move, nullptr);
  (void)TransferFiles(plan.copy, folder, FileTransferMode::Copy, nullptr);
  return 1;
}
