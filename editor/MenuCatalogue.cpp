#include "editor/MenuCatalogue.h"

#include <string>

#include "ui/NotBuilt.h"
#include "ui/widgets/SMenu.h"

void BuildPopupMenu(CSMenu& menu, std::int32_t menuType, std::span<CSMenu* const> /*subMenus*/,
                    const CBFDoc* /*document*/) {
  menu.Destroy(0);
  WriteNotBuilt("Menu type " + std::to_string(menuType));
}
