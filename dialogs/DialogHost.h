#pragma once
// IDialogHost: what the adjustment dialogs ask of the main window without
// including it: the document and undo history of the current tab when it is
// an edit page, the rectangle of the document tab frame and temporary files.
// The program installs one host (InstallAdjustDialogs); tests install their
// own. UI thread.

#include <filesystem>
#include <functional>
#include <string_view>

#include "platform/Rect.h"

class CBFDoc;
class CDocHistory;
class IEditorShell;

class IDialogHost {
public:
  // Null unless the current tab is an edit page.
  virtual CBFDoc* CurrentDocument() = 0;
  virtual CDocHistory* CurrentHistory() = 0;
  // The document tab frame in render-window coordinates; empty when there is
  // none.
  virtual Rect WorkArea() = 0;
  // A new, empty temporary file of this run, deleted when the run ends.
  [[nodiscard]] virtual bool MakeTempFile(std::filesystem::path& path, std::u16string_view prefix) = 0;

protected:
  ~IDialogHost() = default;
};

// The host of the dialogs; null removes it (the dialogs then see no document).
void SetDialogHost(IDialogHost* host);
IDialogHost* DialogHost();

// The host over the editor's shell: the shell's current edit page gives the
// document and the history, the page's parent (the tab frame) the work area.
class CShellDialogHost final : public IDialogHost {
public:
  explicit CShellDialogHost(std::function<IEditorShell*()> shell) : m_shell(std::move(shell)) {}
  CBFDoc* CurrentDocument() override;
  CDocHistory* CurrentHistory() override;
  Rect WorkArea() override;
  [[nodiscard]] bool MakeTempFile(std::filesystem::path& path, std::u16string_view prefix) override;

private:
  std::function<IEditorShell*()> m_shell;
};
