#include "editor/MenuCatalogue.h"

#include <algorithm>
#include <array>
#include <string>

#include "document/BFDoc.h"
#include "document/DocHistory.h"
#include "editor/MenuCatalogueState.h"
#include "ui/Clipboard.h"
#include "ui/UIResources.h"
#include "ui/widgets/SMenu.h"

CImageArray g_MenuIcons;

namespace {
IMenuCatalogueState* g_menuState = nullptr;
}  // namespace

void SetMenuCatalogueState(IMenuCatalogueState* state) { g_menuState = state; }
IMenuCatalogueState* MenuCatalogueState() { return g_menuState; }

namespace {

using E = MenuEnable;

constexpr MenuEntry kSeparator{};

constexpr std::array kTransform = {
    MenuEntry{u"R", 10002, u"menuRotateRight"},
    MenuEntry{u"L", 10003, u"menuRotateLeft"},
    MenuEntry{u"H", 10005, u"menuFlipH"},
    MenuEntry{u"V", 10006, u"menuFlipV"},
    MenuEntry{u"", 10004, u"menuRotateFree", u"", -1, E::OneLayer},
    kSeparator,
    MenuEntry{u"", 10007, u"menuBarrel", u"", 1, E::OneLayer},
    MenuEntry{u"T", 10001, u"menuCrop", u"", 5},
    MenuEntry{u"", 10008, u"menuFreeCrop", u"mtipFreeCrop", 2, E::OneLayer},
    MenuEntry{u"", 10012, u"menuShape", u"mtipShape", 4},
    kSeparator,
    MenuEntry{u"S", 10009, u"menuImageSize", u"", 3},
    MenuEntry{u"C", 10010, u"menuExtendCavas"},
    MenuEntry{u"", 10011, u"menuContentResize", u"mtipCAR", -1, E::OneLayer},
};

constexpr std::array kExposure = {
    MenuEntry{u"L", 11001, u"menuExAutoLevel", u"mtipautolevelgamma", 6},
    MenuEntry{u"C", 11002, u"menuExAutoContrast", u"mtipautocontrastgamma", 7},
    MenuEntry{u"", 11011, u"menuExAutoLevel16", u"mtipautolevel", 6},
    MenuEntry{u"", 11012, u"menuExAutoContrast16", u"mtipautocontrast", 7},
    kSeparator,
    MenuEntry{u"M", 11003, u"menuExSpot", u"", 9},
    MenuEntry{u"V", 11000, u"menuExVisual", u"", 8},
    kSeparator,
    MenuEntry{u"", 11004, u"menuExBricon"},
    MenuEntry{u"", 11006, u"menuExBW", u"mtipBW"},
    MenuEntry{u"", 11008, u"menuEnhanceDynamic", u"mtipEnhanceDynamic"},
    kSeparator,
    MenuEntry{u"F", 11007, u"menuFilm", u"mtipPhotoAdjust", 10},
    MenuEntry{u"P", 11005, u"menuExCurve", u"mtipCurve", 11},
};

constexpr std::array kColour = {
    MenuEntry{u"A", 12001, u"menuColorAuto"},
    MenuEntry{u"C", 12003, u"menuColorClick", u"mtipWB", 9},
    MenuEntry{u"V", 12002, u"menuColorVisual", u"", 8},
    MenuEntry{u"", 12005, u"menuColorEnhance", u"mtipVivid"},
    kSeparator,
    MenuEntry{u"", 12008, u"menuColorAdjust", u"mtipAdjustColor"},
    MenuEntry{u"", 12006, u"menuColorMix", u"mtipColorMixer"},
    kSeparator,
    MenuEntry{u"F", 11007, u"menuFilm", u"mtipPhotoAdjust", 10},
    MenuEntry{u"H", 12004, u"menuColorCurve", u"mtipHSBCurve", 12},
    MenuEntry{u"T", 12007, u"menuColorTone", u"mtipTone", 13},
};

constexpr std::array kEnhancement = {
    MenuEntry{u"N", 13001, u"menuNoiseReduction", u"mtipNR", 14},
    MenuEntry{u"R", 13015, u"menuSmartErase", u"mtipSmartErase", 20},
    MenuEntry{u"", 13016, u"menuDefog", u"mtipDefog", 18},
    MenuEntry{u"", 11008, u"menuEnhanceDynamic", u"mtipEnhanceDynamic"},
    MenuEntry{u"", 13017, u"menuAntipurple", u"mtipPurple"},
    MenuEntry{u"", 13018, u"menuDescreen", u"mtipdescreen"},
    kSeparator,
    MenuEntry{u"S", 13002, u"menuDBSkin", u"mtipCleanskin", 15},
    MenuEntry{u"", 10012, u"menuDBShape"},
    MenuEntry{u"", 13003, u"menuDBClear"},
    MenuEntry{u"", 13014, u"menuDBRedeye"},
    kSeparator,
    MenuEntry{u"P", 0, u"menuShapen", u"", -1, E::Always, 1},
    MenuEntry{u"B", 0, u"menuBlur", u"", -1, E::Always, 2},
    kSeparator,
    MenuEntry{u"", 13011, u"menuStarlight", u"", 16},
    MenuEntry{u"", 13012, u"menuGradient", u"", 17},
    MenuEntry{u"", 13010, u"menuDiffuse", u"", 21},
};

constexpr std::array kSharpen = {
    MenuEntry{u"", 13004, u"menuShapen", u"mtipSharpen"},
    MenuEntry{u"", 13006, u"menuEdgeShrink", u"mtipSharpenEdge"},
    MenuEntry{u"", 13019, u"menuShapenTexture", u"mtipSharpenTexture"},
    MenuEntry{u"P", 13005, u"menuAdvSharpen"},
};

constexpr std::array kBlur = {
    MenuEntry{u"", 13007, u"menuBlur", u"mtipblur"},
    MenuEntry{u"B", 13008, u"menuAdvBlur", u"mtipGaussBlur"},
    MenuEntry{u"L", 13009, u"menuLensBlur", u"mtipLensBlur"},
};

constexpr std::u16string_view kCtrl = u"Ctrl";

constexpr std::array kSelection = {
    MenuEntry{u"A", 16001, u"menuSelAll", u"", -1, E::Always, 0, kCtrl},
    MenuEntry{u"N", 16003, u"menuSelNone", u"", -1, E::Always, 0, kCtrl},
    MenuEntry{u"I", 16002, u"menuSelInverse", u"", -1, E::Always, 0, kCtrl},
    kSeparator,
    MenuEntry{u"M", 0, u"munuSelModify", u"", -1, E::Always, 1},
    MenuEntry{u"F", 16004, u"selfeather"},
    MenuEntry{u"R", 16009, u"menudelSel", u"", -1, E::Always, 0, u"Del"},
    MenuEntry{u"", 16005, u"selinpaint"},
    kSeparator,
    MenuEntry{u"", 22004, u"menuCopy"},
    MenuEntry{u"", 16010, u"sel2mask"},
};

constexpr std::array kSelectionModify = {
    MenuEntry{u"E", 16006, u"menuSelExpand"},
    MenuEntry{u"S", 16007, u"menuSelShrink"},
    MenuEntry{u"D", 16008, u"menuSelEdge"},
};

constexpr std::array kFile = {
    MenuEntry{u"S", 20001, u"menuSave", u"", 24},
    MenuEntry{u"P", 20002, u"menuPrint", u"", 25},
};

constexpr std::array kEdit = {
    MenuEntry{u"U", 22001, u"menuUndo", u"", 26, E::CanUndo},
    MenuEntry{u"R", 22002, u"menuRedo", u"", 27, E::CanRedo},
    MenuEntry{u"", 22003, u"menuApplyonothers", u"", 28, E::HasParams},
    kSeparator,
    MenuEntry{u"", 22004, u"menuCopy"},
    MenuEntry{u"", 22005, u"menuPaste", u"", -1, E::ClipboardData},
};

// Modes 3 and 4 have no entry.
constexpr std::array kBlendModes = {
    MenuEntry{u"", 23000, u"bmnormal"},
    MenuEntry{u"", 23001, u"bmdarken", u"mtipDarken"},
    MenuEntry{u"", 23002, u"bmlighten", u"mtipLighten"},
    MenuEntry{u"", 23005, u"bmmul", u"mtipMul"},
    MenuEntry{u"", 23006, u"bmscreen", u"mtipScreen"},
    MenuEntry{u"", 23007, u"bmoverlay", u"mtipOverlay"},
    MenuEntry{u"", 23008, u"bmhardlight", u"mtipHard"},
    MenuEntry{u"", 23009, u"bmsoftlight", u"mtipSoft"},
    MenuEntry{u"", 23010, u"bmdif", u"mtipdif"},
};

// The program menu's fixed entries; the language files' entries follow
// "defaultLang" (see BuildProgramMenu).
constexpr std::size_t kLanguagesAfter = 3;
constexpr std::array kProgram = {
    MenuEntry{u"H", 21004, u"menuHelp"},
    kSeparator,
    MenuEntry{u"", kCmdDefaultLanguage, u"defaultLang"},
    kSeparator,
    MenuEntry{u"", kCmdDarkSkin, u"menuDark", u"menuDarkTip"},
    MenuEntry{u"", kCmdBrightSkin, u"menuBright"},
    kSeparator,
    MenuEntry{u"S", 21006, u"menuSettings"},
    MenuEntry{u"A", 21003, u"menuAbout"},
};

// Entries whose id is a menu type open that type's sub-menu.
constexpr std::array kMain = {
    MenuEntry{u"", kMenuFile, u"menuFile"},
    MenuEntry{u"", kMenuEdit, u"menuEdit"},
    MenuEntry{u"", kMenuProgram, u"albumsysmenu"},
    kSeparator,
    MenuEntry{u"", 18001, u"menuWizard", u"", 22},
    MenuEntry{u"", kMenuTransform, u"menuTransform"},
    MenuEntry{u"", kMenuExposure, u"menuExposure"},
    MenuEntry{u"", kMenuColour, u"menuColor"},
    MenuEntry{u"", kMenuEnhancement, u"menuEnhancement"},
    MenuEntry{u"", kMenuSelection, u"menuSelection"},
    MenuEntry{u"", 18002, u"Photo Property", u"", 23},
    kSeparator,
    MenuEntry{u"C", 21001, u"menuClose"},
};

std::u16string Text(std::u16string_view key) { return std::u16string(UIResources().texts.TextOrEmpty(key)); }

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

bool IsEnabled(MenuEnable enable, const CBFDoc* document, const CDocHistory* history) {
  switch (enable) {
    case E::Always:
      return true;
    case E::OneLayer:
      return document == nullptr || document->LayerCount() == 1;
    case E::CanUndo:
      return history != nullptr && history->CurrentStep() > 0;
    case E::CanRedo:
      return history != nullptr && history->CurrentStep() < history->StepCount() - 1;
    case E::HasParams:
      return history != nullptr &&
             std::any_of(history->Steps().begin(), history->Steps().end(),
                         [](const HistoryStep& step) { return !step.Params().empty(); });
    case E::ClipboardData:
      return GetClipboardDataSize(ClipboardFormat::Dib) != 0 ||
             GetClipboardDataSize(ClipboardFormat::DibV5) != 0 ||
             GetClipboardDataSize(ClipboardFormat::Hdrop) != 0;
  }
  return false;
}

const CDocHistory* CurrentHistory() {
  IMenuCatalogueState* state = MenuCatalogueState();
  return state ? state->CurrentHistory() : nullptr;
}

CSMenu* SubMenu(std::span<CSMenu* const> subMenus, std::size_t index) {
  return index < subMenus.size() ? subMenus[index] : nullptr;
}

// Adds the entries; nested entries open subMenus[entry.subMenu - 1], and are
// left out when the caller supplied no such menu.
void AddEntries(CSMenu& menu, std::span<const MenuEntry> entries, std::span<CSMenu* const> subMenus,
                const CBFDoc* document) {
  const CDocHistory* history = nullptr;
  bool historyRead = false;
  for (const MenuEntry& entry : entries) {
    if (entry.letter.empty() && entry.id == 0 && entry.subMenu == 0) {
      static_cast<void>(menu.AddItem(u"", 0, u"", nullptr));  // a separator is never refused
      continue;
    }
    if (entry.subMenu != 0) {
      CSMenu* sub = SubMenu(subMenus, static_cast<std::size_t>(entry.subMenu - 1));
      if (!sub) continue;
      static_cast<void>(menu.AddItemEx(entry.letter, entry.id, Text(entry.key), u"", u"", sub));
    } else if (!entry.shortcutKey.empty()) {
      std::u16string shortcut = Text(entry.shortcutKey);
      if (entry.shortcutKey == kCtrl) shortcut += u"+" + std::u16string(entry.letter.substr(0, 1));
      static_cast<void>(menu.AddItemEx(entry.letter, entry.id, Text(entry.key), u"", shortcut, nullptr));
    } else {
      static_cast<void>(
          menu.AddItem(entry.letter, entry.id, Text(entry.key),
                       entry.icon >= 0 ? g_MenuIcons.At(static_cast<std::size_t>(entry.icon)) : nullptr));
    }
    if (entry.id == 0) continue;
    if (!entry.tipKey.empty()) menu.SetItemTip(entry.id, Text(entry.tipKey));
    if (entry.enable != E::Always) {
      if ((entry.enable == E::CanUndo || entry.enable == E::CanRedo || entry.enable == E::HasParams) &&
          !historyRead) {
        history = CurrentHistory();
        historyRead = true;
      }
      menu.EnableItem(entry.id, IsEnabled(entry.enable, document, history));
    }
  }
}

void BuildProgramMenu(CSMenu& menu) {
  IMenuCatalogueState* state = MenuCatalogueState();
  const std::vector<std::u16string> languages =
      state ? state->LanguageNames() : std::vector<std::u16string>{};
  const std::u16string current = state ? state->CurrentLanguage() : std::u16string();
  const std::u16string skin = state ? state->SkinName() : std::u16string();

  AddEntries(menu, std::span(kProgram).first(kLanguagesAfter), {}, nullptr);
  menu.CheckItem(kCmdDefaultLanguage, current.empty());
  const std::size_t count = std::min(languages.size(), static_cast<std::size_t>(kMaxLanguageEntries));
  for (std::size_t i = 0; i < count; ++i) {
    const std::int32_t id = kCmdFirstLanguage + static_cast<std::int32_t>(i);
    static_cast<void>(menu.AddItem(u"", id, languages[i], nullptr));
    menu.CheckItem(id, !current.empty() && EqualsIgnoringAsciiCase(languages[i], current));
  }
  AddEntries(menu, std::span(kProgram).subspan(kLanguagesAfter), {}, nullptr);
  menu.CheckItem(kCmdDarkSkin, skin.empty());
  menu.CheckItem(kCmdBrightSkin, EqualsIgnoringAsciiCase(skin, u"bright"));
}

bool HasSelection(const CBFDoc* document) { return document && document->m_selection.pixels != nullptr; }

}  // namespace

std::span<const MenuEntry> MenuEntries(std::int32_t menuType) {
  switch (menuType) {
    case 0:
      return kMain;
    case kMenuTransform:
      return kTransform;
    case kMenuExposure:
      return kExposure;
    case kMenuColour:
      return kColour;
    case kMenuEnhancement:
      return kEnhancement;
    case 41:
      return kSharpen;
    case 42:
      return kBlur;
    case kMenuSelection:
      return kSelection;
    case kMenuProgram:
      return kProgram;
    case 61:
      return kSelectionModify;
    case kMenuFile:
      return kFile;
    case kMenuEdit:
      return kEdit;
    case kMenuBlendModes:
      return kBlendModes;
    default:
      return {};
  }
}

void BuildPopupMenu(CSMenu& menu, std::int32_t menuType, std::span<CSMenu* const> subMenus,
                    const CBFDoc* document) {
  menu.Destroy(0);
  switch (menuType) {
    case kMenuEnhancement:
      for (std::size_t i = 0; i < 2; ++i) {
        if (CSMenu* sub = SubMenu(subMenus, i)) sub->Destroy(0);
      }
      AddEntries(menu, kEnhancement, subMenus, document);
      if (CSMenu* sub = SubMenu(subMenus, 0)) AddEntries(*sub, kSharpen, {}, document);
      if (CSMenu* sub = SubMenu(subMenus, 1)) AddEntries(*sub, kBlur, {}, document);
      break;
    case kMenuSelection:
      if (CSMenu* sub = SubMenu(subMenus, 0)) sub->Destroy(0);
      if (!HasSelection(document)) {
        AddEntries(menu, std::span(kSelection).first(1), {}, document);
        break;
      }
      AddEntries(menu, kSelection, subMenus, document);
      if (CSMenu* sub = SubMenu(subMenus, 0)) AddEntries(*sub, kSelectionModify, {}, document);
      break;
    case kMenuProgram:
      BuildProgramMenu(menu);
      break;
    case kMenuTransform:
    case kMenuExposure:
    case kMenuColour:
    case kMenuFile:
    case kMenuEdit:
    case kMenuBlendModes:
      AddEntries(menu, MenuEntries(menuType), subMenus, document);
      break;
    default:
      break;
  }
}

void BuildMainMenu(CSMenu& menu, std::span<CSMenu* const> subMenus, const CBFDoc* document) {
  menu.Destroy(0);
  // Each type's menu, followed by the menus it nests.
  std::size_t next = 0;
  for (const MenuEntry& entry : kMain) {
    const bool nests =
        entry.id >= kMenuTransform && entry.id <= kMenuEdit && entry.icon < 0 && entry.letter.empty();
    if (!nests) {
      AddEntries(menu, std::span(&entry, 1), {}, document);
      continue;
    }
    const std::size_t nested = entry.id == kMenuEnhancement ? 2 : entry.id == kMenuSelection ? 1 : 0;
    CSMenu* sub = SubMenu(subMenus, next);
    if (!sub || next + 1 + nested > subMenus.size()) continue;
    BuildPopupMenu(*sub, entry.id, subMenus.subspan(next + 1, nested), document);
    static_cast<void>(menu.AddItemEx(u"", entry.id, Text(entry.key), u"", u"", sub));
    next += 1 + nested;
  }
}
