#pragma once
// The command catalogue: every command's menu entry (letter, id, caption and
// tooltip keys, icon, enabling) is defined once, by menu type, and
// BuildPopupMenu fills a menu with the entries of one type. The edit page's
// adjust page, the canvas's selection menu, the layer panel's and the blend
// dialogs' blend-mode menus and the album's system menu are built here.
// UI thread.

#include <cstdint>
#include <span>

class CBFDoc;
class CSMenu;

// Empties menu and fills it with the entries of menuType. subMenus supplies
// the menus of nested entries (may be empty when the type has none); document
// is the current document for the enabling conditions (may be null).
void BuildPopupMenu(CSMenu& menu, std::int32_t menuType, std::span<CSMenu* const> subMenus,
                    const CBFDoc* document);
