#pragma once
// IAlbumShell: what the album asks of the main window beyond the tab frame:
// opening a photo in an edit page, ending the program from the album menu,
// the about box, the manual, the settings, and the skin and language
// choices. The program installs its main window's answer; until one is
// installed (and in tests) a stand-in writes "... not built" to the debug
// log and does nothing.

#include <cstdint>
#include <filesystem>
#include <string_view>

class IAlbumShell {
public:
  // Mode 0 plain, 1 then the blue-screen cut-out, 2 the inside/outside one.
  virtual void OpenDocumentPage(const std::filesystem::path& path, bool openAnew, std::int32_t mode) = 0;
  // Ends the main window's run with the cancel result, without questions.
  virtual void EndMainWindow() = 0;
  virtual void ShowAboutBox() = 0;
  virtual void ShowHelp() = 0;
  virtual void ShowSettings() = 0;
  // An empty name is the default.
  virtual void ChangeSkin(std::u16string_view name) = 0;
  // Entry of the language list, -1 the default language.
  virtual void ChangeLanguage(std::int32_t entry) = 0;

protected:
  ~IAlbumShell() = default;
};

// The installed shell, or the stand-in.
IAlbumShell& AlbumShell();
// Null restores the stand-in.
void SetAlbumShell(IAlbumShell* shell);
