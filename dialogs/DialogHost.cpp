#include "dialogs/DialogHost.h"

#include "editor/EditorShell.h"
#include "editor/SEditPage.h"

namespace {
IDialogHost* g_dialogHost = nullptr;

CSEditPage* CurrentPage(const std::function<IEditorShell*()>& shell) {
  IEditorShell* s = shell ? shell() : nullptr;
  return s ? s->CurrentEditPage() : nullptr;
}
}  // namespace

void SetDialogHost(IDialogHost* host) { g_dialogHost = host; }
IDialogHost* DialogHost() { return g_dialogHost; }

CBFDoc* CShellDialogHost::CurrentDocument() {
  CSEditPage* page = CurrentPage(m_shell);
  return page ? &page->document : nullptr;
}

CDocHistory* CShellDialogHost::CurrentHistory() {
  CSEditPage* page = CurrentPage(m_shell);
  return page ? &page->history : nullptr;
}

Rect CShellDialogHost::WorkArea() {
  CSEditPage* page = CurrentPage(m_shell);
  if (!page) return {};
  const CSprite& frame = page->parent ? *page->parent : static_cast<const CSprite&>(*page);
  Rect local;
  {
    std::lock_guard guard(frame.lock);
    local = {0, 0, frame.rect.Width(), frame.rect.Height()};
  }
  return frame.RectToWindow(local);
}

bool CShellDialogHost::MakeTempFile(std::filesystem::path& path, std::u16string_view prefix) {
  IEditorShell* s = m_shell ? m_shell() : nullptr;
  return s && s->MakeTempFile(path, prefix);
}
