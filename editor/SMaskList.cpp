#include "editor/SMaskList.h"

#include <mutex>
#include <new>

#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/UITheme.h"

bool CSMaskList::AddMask(std::u16string_view name, const CBgraImage& thumbnail) {
  std::unique_ptr<MaskNode> node(new (std::nothrow) MaskNode);
  if (!node || !node->thumbnail.CopyFrom(thumbnail)) return false;
  node->text = std::u16string(name);
  node->icon = &node->thumbnail;
  std::lock_guard guard(lock);
  rootNode.children.push_back(std::move(node));
  if (root) {
    RebuildRows();
  } else {
    SetRoot(&rootNode);
  }
  return true;
}

bool CSMaskList::DrawRow(std::int32_t index) {
  if (index < 0 || index >= static_cast<std::int32_t>(rows.size()) || surface.IsEmpty()) return false;
  CTreeNode* node = rows[static_cast<std::size_t>(index)].node;
  if (!node->icon || node->icon->IsEmpty()) return false;
  const std::int32_t t = index * kRowHeight - scrollOffset;
  if (t > static_cast<std::int32_t>(surface.height)) return true;
  if (index == selectedRow) DrawSelectionBar(index * kRowHeight, kSelectionStrength, kRowHeight);
  const auto& colors = UIResources().theme.colors;
  DrawRectOutline(surface, {4, t + 4, 46, t + 46}, colors[2], 255);
  const CBgraImage& thumbnail = *node->icon;
  BlendImage(surface, thumbnail, 5 + (40 - static_cast<std::int32_t>(thumbnail.width)) / 2,
             t + 5 + (40 - static_cast<std::int32_t>(thumbnail.height)) / 2, true, {}, 256);
  if (node->textImage.IsEmpty() && !UIResources().skins.RenderTextLocked(node->text, node->textImage))
    return false;
  BlendColorMask(surface, node->textImage, 50, t + 5, colors[0], {});
  return false;
}
