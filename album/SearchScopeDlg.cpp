#include "album/SearchScopeDlg.h"

#include <string>

#include "album/FolderRoots.h"
#include "platform/Utf16.h"
#include "ui/RenderWindow.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/SkinIcon.h"

namespace {

std::u16string TextOf(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }

constexpr std::int32_t kBusySide = 90;
constexpr std::int32_t kTreeGap = 10;
constexpr std::int32_t kBottomMargin = 35;

void ShowMessage(std::u16string_view text, MessageBoxIcon icon) {
  (void)ShowMessageBox(text, icon, MessageBoxButtons::Ok);  // an OK box answers OK
}

}  // namespace

CSearchScopeDlg::~CSearchScopeDlg() { root.ClearSubtree(); }

void CSearchScopeDlg::Destroy(int final) {
  CDialogSprite::Destroy(final);
  {
    std::lock_guard guard(tree.lock);
    tree.SetRoot(nullptr);
    root.ClearSubtree();
  }
  tree.Destroy(final);
}

void CSearchScopeDlg::ListChildren(CFolderNode& node) {
  EnumerateSubFolders(node, 1, &icons);
  // New sub-folders take the folder's state.
  for (const auto& child : node.children) static_cast<CFolderNode&>(*child).checked = node.checked;
}

bool CSearchScopeDlg::OnInitDialog() {
  if (!LoadSkinIconStrip(u"foldertree.png", kFolderIconWidth, icons)) return false;
  CDialogControl* note = FindControl(kNoteId);
  if (!note) return false;
  if (!tree.Create(this, renderWindow, kTreeId, {0, 0, 10, 10}, kTreeLayer)) return false;
  AppendChild(&tree);
  tree.collapsedGlyph = icons.At(kFolderIconCollapsed);
  tree.expandedGlyph = icons.At(kFolderIconExpanded);
  {
    CSTree::EditGuard guard(tree);
    if (!BuildFolderRoots(root, &icons, true, {})) return false;
    // A saved folder that is gone is reported here and dropped by OK.
    for (const std::u16string& path : scopeFolders) (void)CheckPath(path);
  }
  const Rect place = note->rect;
  const std::int32_t top = place.bottom + kTreeGap;
  tree.SetSpriteRect(place.left, top, place.Width(), rect.Height() - kBottomMargin - top);
  CSTree::EditGuard guard(tree);
  tree.SetRoot(&root);
  UIResources().WriteLog("Search folders dialog with " + std::to_string(scopeFolders.size()) + " folders");
  return true;
}

CFolderNode* CSearchScopeDlg::FindChildByPath(CFolderNode& entry, const std::string& target) {
  CFolderNode* node = &entry;
  for (;;) {
    if (!node->HasChildren()) ListChildren(*node);
    CFolderNode* next = nullptr;
    for (const auto& child : node->children) {
      auto* folder = static_cast<CFolderNode*>(child.get());
      if (IsPathPrefix(WithoutTrailingSlash(folder->GetPathText()), target)) {
        next = folder;
        break;
      }
    }
    if (!next) return nullptr;
    if (WithoutTrailingSlash(next->GetPathText()) == target) {
      if (!next->HasChildren()) ListChildren(*next);
      return next;
    }
    node = next;
  }
}

int CSearchScopeDlg::CheckPath(std::u16string_view path) {
  const std::string target = WithoutTrailingSlash(ToUtf8(path));
  // Home lies inside "/": the longest entry that holds the path by whole
  // segments is the one that shows it.
  CFolderNode* entry = nullptr;
  std::size_t entryLength = 0;
  for (const auto& child : root.children) {
    auto* top = static_cast<CFolderNode*>(child.get());
    const std::string text = WithoutTrailingSlash(top->GetPathText());
    if (IsPathPrefix(text, target) && (!entry || text.size() > entryLength)) {
      entry = top;
      entryLength = text.size();
    }
  }
  CFolderNode* found = nullptr;
  if (entry) found = entryLength == target.size() ? entry : FindChildByPath(*entry, target);
  if (!found || !IsExistingFolder(found->GetPath())) {
    std::u16string shown(path.substr(0, kMessagePathLength));
    for (char16_t& c : shown) c = c == u'\\' ? u'/' : c;
    ShowMessage(FormatText(TextOf(u"pathnotfind"), {shown}), MessageBoxIcon::Error);
    return 0;
  }
  for (CTreeNode* ancestor = found->parent; ancestor; ancestor = ancestor->parent) {
    ancestor->expanded = 1;
    for (const auto& child : ancestor->children) {
      auto* folder = static_cast<CFolderNode*>(child.get());
      if (!folder->HasChildren()) ListChildren(*folder);
    }
  }
  SetCheckRecursive(*found, 1);
  return 1;
}

void CSearchScopeDlg::ToggleCheck(CFolderNode& node) {
  {
    std::lock_guard guard(tree.lock);
    if (!node.checked) {
      SetCheckRecursive(node, 1);
    } else if (!node.parent || !IsCheckedOrAncestorChecked(static_cast<CFolderNode&>(*node.parent))) {
      SetCheckRecursive(node, 0);
    }
  }
  tree.dirty = 1;
}

void CSearchScopeDlg::ShowBusy(bool shown) {
  CRenderWindow* window = RenderWindowOf(*this);
  if (!window) return;
  if (!shown) {
    window->HideProgress();
    return;
  }
  const Rect place = rect;  // a dialog lies in window coordinates
  const std::int32_t left = place.left + (place.Width() - kBusySide) / 2;
  const std::int32_t top = place.top + (place.Height() - kBusySide) / 2;
  window->ShowProgress({left, top, left + kBusySide, top + kBusySide});
}

void CSearchScopeDlg::OnFolderExpanded(CFolderNode* node) {
  if (!node) return;
  ShowBusy(true);
  if (!node->expanded) tree.SelectRow(-1, false, false);  // the next click on any row toggles it
  {
    CSTree::EditGuard guard(tree);
    if (node->expanded) {
      for (const auto& child : node->children) {
        auto* folder = static_cast<CFolderNode*>(child.get());
        if (!folder->HasChildren()) ListChildren(*folder);
      }
    }
  }
  ShowBusy(false);
}

bool CSearchScopeDlg::OnSpriteMessage(const SpriteMessage& message) {
  if (message.sender == &tree) {
    if (message.code == kTreeMsgExpandToggled) {
      OnFolderExpanded(reinterpret_cast<CFolderNode*>(message.lparam));
    } else if (message.code == kTreeMsgSelectionChanged && message.lparam != 0) {
      ToggleCheck(*reinterpret_cast<CFolderNode*>(message.lparam));
    }
  }
  return CDialogSprite::OnSpriteMessage(message);
}

bool CSearchScopeDlg::OnOK() {
  std::vector<std::u16string> checked;
  {
    std::lock_guard guard(tree.lock);
    CollectCheckedFolders(root, checked);
  }
  if (checked.empty()) {
    ShowMessage(TextOf(u"nopathset"), MessageBoxIcon::Error);
    return false;
  }
  scopeFolders = std::move(checked);
  ShowMessage(TextOf(u"restartneed"), MessageBoxIcon::Information);
  return CDialogSprite::OnOK();
}
