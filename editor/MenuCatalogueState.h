#pragma once
// IMenuCatalogueState: what the command catalogue asks of the program for
// the entries that depend on it (the language files and the choices of
// language and skin for the program menu, the current page's history for
// the edit menu). The main window installs it; without one the program menu
// lists no language files and the history entries are disabled. UI thread.

#include <string>
#include <vector>

class CDocHistory;

class IMenuCatalogueState {
public:
  // Names of the language files, in menu order.
  virtual std::vector<std::u16string> LanguageNames() = 0;
  // Empty for the base texts.
  virtual std::u16string CurrentLanguage() = 0;
  // Empty for the default skin.
  virtual std::u16string SkinName() = 0;
  // The current edit page's history, or null.
  virtual const CDocHistory* CurrentHistory() = 0;

protected:
  ~IMenuCatalogueState() = default;
};

// Installs the state (null removes it).
void SetMenuCatalogueState(IMenuCatalogueState* state);
IMenuCatalogueState* MenuCatalogueState();
