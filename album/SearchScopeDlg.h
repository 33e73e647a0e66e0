#pragma once
// CSearchScopeDlg: the search folders (template 133). The user ticks the
// folders of the fixed drives (Home, "/") whose photos the search page
// covers; a ticked folder takes all its sub-folders, which cannot be
// unticked alone. The caller sets scopeFolders, runs the dialog and, after
// OK, stores scopeFolders (the ticked folders, each ending in "/"); the
// scan uses them from the next start, which the dialog tells the user. A
// saved folder that is no longer there is reported and dropped.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "album/FolderNode.h"
#include "album/SCheckFolderTree.h"
#include "image/ImageArray.h"
#include "ui/DialogSprite.h"

class CSearchScopeDlg : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = 133;
  static constexpr std::int32_t kNoteId = 1002;
  static constexpr std::int32_t kTreeId = 1001;
  static constexpr std::int32_t kTreeLayer = 2;
  static constexpr std::size_t kMessagePathLength = 511;

  ~CSearchScopeDlg() override;
  void Destroy(int final) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  [[nodiscard]] bool OnInitDialog() override;
  [[nodiscard]] bool OnOK() override;

  // Ticks the folder of the path (found by whole path segments below the
  // longest top-level entry that holds it) and opens its branch; 0, after
  // "pathnotfind", when there is no such folder.
  [[nodiscard]] int CheckPath(std::u16string_view path);
  void OnFolderExpanded(CFolderNode* node);
  void ToggleCheck(CFolderNode& node);

  std::vector<std::u16string> scopeFolders;
  CSCheckFolderTree tree;
  CImageArray icons;  // "foldertree.png"
  CFolderNode root;

private:
  CFolderNode* FindChildByPath(CFolderNode& entry, const std::string& target);
  void ListChildren(CFolderNode& node);
  void ShowBusy(bool shown);
};
