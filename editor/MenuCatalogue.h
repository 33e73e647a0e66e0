#pragma once
// The command catalogue: every command's menu entry (letter, id, caption and
// tooltip keys, icon, enabling) is defined once, by menu type, and
// BuildPopupMenu fills a menu with the entries of one type. The edit page's
// adjust page, the canvas's selection menu, the layer panel's and the blend
// dialogs' blend-mode menus and the album's system menu are built here.
// UI thread.

#include <cstdint>
#include <span>
#include <string_view>

#include "image/ImageArray.h"

class CBFDoc;
class CSMenu;

// The menu icon strip ("menuicon.png" cut into 16-pixel icons), loaded by the
// main window's start-up stages; menus name their icons by index in it.
extern CImageArray g_MenuIcons;
inline constexpr std::int32_t kMenuIconWidth = 16;
// The strip holds at least this many icons; every entry's icon is below it.
inline constexpr std::int32_t kMenuIconCount = 29;

// Menu types.
enum MenuType : std::int32_t {
  kMenuTransform = 1,
  kMenuExposure = 2,
  kMenuColour = 3,
  kMenuEnhancement = 4,
  kMenuSelection = 6,
  kMenuProgram = 7,  // help, language, skin, settings, about
  kMenuFile = 20,
  kMenuEdit = 21,
  kMenuBlendModes = 25,
};

// Help-menu command ids: the base texts, then one per language file.
inline constexpr std::int32_t kCmdDefaultLanguage = 21500;
inline constexpr std::int32_t kCmdFirstLanguage = 21501;
inline constexpr std::int32_t kMaxLanguageEntries = 99;  // ids up to 21599
inline constexpr std::int32_t kCmdAbout = 21003;
inline constexpr std::int32_t kCmdHelp = 21004;
inline constexpr std::int32_t kCmdSettings = 21006;
inline constexpr std::int32_t kCmdDarkSkin = 21010;
inline constexpr std::int32_t kCmdBrightSkin = 21011;

// When an entry is enabled.
enum class MenuEnable : std::uint8_t {
  Always,
  OneLayer,      // the document has exactly one layer (no document counts as one)
  CanUndo,       // the history's current step is above 0
  CanRedo,       // the history's current step is below the last
  HasParams,     // some step of the history carries a parameter block
  ClipboardData  // the clipboard holds a picture or a file list
};

// One fixed entry. No letter and no id: a separator. subMenu (1 or 2) names
// the first or second of the sub-menus the caller supplies, opened by the
// entry instead of a command.
struct MenuEntry {
  std::u16string_view letter;
  std::int32_t id = 0;
  std::u16string_view key;
  std::u16string_view tipKey;
  std::int32_t icon = -1;
  MenuEnable enable = MenuEnable::Always;
  std::int32_t subMenu = 0;
  std::u16string_view shortcutKey;  // text key of the shortcut, or "Ctrl" for Ctrl + letter
};

// The fixed entries of a menu type (types 1 to 4, 6, 20, 21, 25), of the
// sharpen (type 41) and blur (42) sub-menus of type 4, of the selection's
// modify sub-menu (61), of the program menu (7, without the entries of the
// language files, which follow "defaultLang") and of the main menu (0, its
// sub-menu entries carrying their type as id); empty for any other.
std::span<const MenuEntry> MenuEntries(std::int32_t menuType);

// Empties menu and fills it with the entries of menuType. subMenus supplies
// the menus of nested entries (types 4 and 6; may be empty otherwise);
// document is the current document for the enabling conditions (may be
// null). Any other type leaves the menu empty.
void BuildPopupMenu(CSMenu& menu, std::int32_t menuType, std::span<CSMenu* const> subMenus,
                    const CBFDoc* document);

// The adjust page's main menu: file, edit, program, wizard, the four
// adjustment types, selection, photo properties and close. subMenus needs
// kMainMenuSubMenus menus (fewer leave the later nested entries out).
inline constexpr std::size_t kMainMenuSubMenus = 11;
void BuildMainMenu(CSMenu& menu, std::span<CSMenu* const> subMenus, const CBFDoc* document);
