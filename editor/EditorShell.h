#pragma once
// IEditorShell: what the edit pages ask of the window that holds them (the
// main window implements it; tests fake it): the current edit page, the
// tool drop before outside edits, closing a page, the external-editor mode,
// handing the image back to the host, temporary files and the tool set.
// UI thread.

#include <cstdint>
#include <filesystem>
#include <string_view>

struct CBgraImage16;
class CSEditPage;
class CSTabPage;
class CToolSet;

class IEditorShell {
public:
  // The current tab when it is an edit page, else null.
  virtual CSEditPage* CurrentEditPage() = 0;
  // On the current edit page: a busy tool stays; any other is deactivated
  // (kind 10000 or more) and the page is left without a tool.
  virtual void DropCurrentTool() = 0;
  // Asks the page and takes it out of the tabs; false when it refused.
  [[nodiscard]] virtual bool ClosePage(CSTabPage* page) = 0;
  // The program runs as the external editor of a host program.
  virtual bool IsExternalEditor() = 0;
  // Writes the image back to the host's exchange file and ends the process
  // (after a success it does not return); false when it could not.
  [[nodiscard]] virtual bool ReturnImageToHost(const CBgraImage16& image) = 0;
  // A new, empty temporary file of this run (deleted when the run ends):
  // temporary folder + prefix + seconds since 1970 + ".bftmp". False, path
  // empty, when none can be made.
  [[nodiscard]] virtual bool MakeTempFile(std::filesystem::path& path, std::u16string_view prefix) = 0;
  virtual CToolSet& Tools() = 0;
  // Rewrites the crash-recovery index after a page's history changed
  // (a shell without one does nothing).
  virtual void WriteRecoveryIndex() {}
  // A page saved its photo: the album looks at its folder again (a shell
  // without an album does nothing).
  virtual void NotifyAlbumOfSave() {}

protected:
  ~IEditorShell() = default;
};
