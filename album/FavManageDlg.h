#pragma once
// CFavManageDlg (template 130): the favourites' names in a list; Rename
// and Delete act on the selected row's favourite (rows are in list order,
// so two names that differ only in case stay apart). Changes take effect at
// once; closing does not undo them.

#include <cstdint>
#include <vector>

#include "album/FavouriteFolder.h"
#include "ui/DialogSprite.h"

class CFlatSimpleList;

class CFavManageDlg : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = 130;
  static constexpr std::int32_t kListId = 1004;
  static constexpr std::int32_t kRenameId = 1006;
  static constexpr std::int32_t kDeleteId = 1007;

  explicit CFavManageDlg(std::vector<FavouriteFolder>& favourites) : m_favourites(favourites) {}

  void OnCommand(std::int32_t commandId) override;
  [[nodiscard]] bool OnInitDialog() override;

  // The rows again; the first selected when there is one.
  void RefreshList();
  // The selected row's index into the list, -1 for none.
  std::int32_t SelectedFavourite() const;
  void RenameFavourite(std::int32_t index);
  void DeleteFavourite(std::int32_t index);

  CFlatSimpleList* list = nullptr;

private:
  std::vector<FavouriteFolder>& m_favourites;
};

// Runs the dialog over the list; its result does not matter.
void ManageFavourites(std::vector<FavouriteFolder>& favourites);
