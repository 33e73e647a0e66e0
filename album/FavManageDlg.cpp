#include "album/FavManageDlg.h"

#include <string>

#include "ui/UIResources.h"
#include "ui/dialogs/SStringDialog.h"
#include "ui/widgets/FlatSimpleList.h"

bool CFavManageDlg::OnInitDialog() {
  if (!CDialogSprite::OnInitDialog()) return false;
  list = dynamic_cast<CFlatSimpleList*>(FindControl(kListId));
  if (list) RefreshList();
  return true;
}

void CFavManageDlg::RefreshList() {
  if (!list) return;
  list->DeleteAllItems();
  for (const FavouriteFolder& favourite : m_favourites) {
    if (list->AddItem(favourite.Name(), nullptr) < 0) break;
  }
  list->RebuildRows();
  if (!m_favourites.empty()) list->SelectRow(0, true, false);
}

std::int32_t CFavManageDlg::SelectedFavourite() const {
  if (!list) return -1;
  std::int32_t row = -1;
  {
    std::lock_guard guard(list->lock);
    row = list->selectedRow;
  }
  return row >= 0 && row < static_cast<std::int32_t>(m_favourites.size()) ? row : -1;
}

void CFavManageDlg::RenameFavourite(std::int32_t index) {
  if (index < 0 || index >= static_cast<std::int32_t>(m_favourites.size())) return;
  FavouriteFolder& favourite = m_favourites[static_cast<std::size_t>(index)];
  std::u16string name(favourite.Name());
  const CStringTable& texts = UIResources().texts;
  if (!InputString(name, kFavouriteNameLength - 1, texts.TextOrKey(u"AddFav2"),
                   texts.TextOrKey(u"AddFavTip")))
    return;
  favourite.SetName(name);
  RefreshList();
}

void CFavManageDlg::DeleteFavourite(std::int32_t index) {
  if (index < 0 || index >= static_cast<std::int32_t>(m_favourites.size())) return;
  m_favourites.erase(m_favourites.begin() + index);
  RefreshList();
}

void CFavManageDlg::OnCommand(std::int32_t commandId) {
  if (commandId == kRenameId) RenameFavourite(SelectedFavourite());
  if (commandId == kDeleteId) DeleteFavourite(SelectedFavourite());
  CDialogSprite::OnCommand(commandId);
}

void ManageFavourites(std::vector<FavouriteFolder>& favourites) {
  CFavManageDlg dialog(favourites);
  if (!dialog.Create(CFavManageDlg::kTemplateId)) return;
  (void)dialog.RunModal();  // changes take effect at once; the end code adds nothing
}
