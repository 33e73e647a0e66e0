#include "editor/SEditPage.h"

#include <mutex>
#include <system_error>

#include "document/BFLayer.h"
#include "editor/CommandRegistry.h"
#include "editor/EditorShell.h"
#include "editor/TextTool.h"
#include "editor/Tool.h"
#include "editor/ToolSet.h"
#include "platform/Clock.h"
#include "platform/File.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/STabFrame.h"

namespace {

// Side panels: title key, priority (lowest closes first), height.
struct PanelSpec {
  std::u16string_view titleKey;
  std::int32_t priority;
  std::int32_t height;
};
constexpr PanelSpec kToolsPanel{u"tools", 5, 90};
constexpr PanelSpec kLayersPanel{u"layers", 3, 200};
constexpr PanelSpec kMasksPanel{u"masks", 2, 120};
constexpr PanelSpec kHistoryPanel{u"history", 4, 180};

[[nodiscard]] bool AddPanel(CSVerticalFrames& frames, CSTabPage& panel, const PanelSpec& spec) {
  panel.title = TruncatedText(UIResources().texts.TextOrEmpty(spec.titleKey), CSEditPage::kPanelTitleField);
  return frames.AddFrame(&panel, spec.priority, spec.height) >= 0;
}

// The editor's Ctrl keys.
constexpr std::uint32_t kKeyA = 'A';
constexpr std::uint32_t kKeyC = 'C';
constexpr std::uint32_t kKeyD = 'D';
constexpr std::uint32_t kKeyI = 'I';
constexpr std::uint32_t kKeyV = 'V';
constexpr std::uint32_t kKeyY = 'Y';
constexpr std::uint32_t kKeyZ = 'Z';
constexpr std::uint32_t kKeyF2 = VK_F1 + 1;

}  // namespace

CSEditPage::CSEditPage(std::u16string_view pageTitle, IEditorShell& editorShell)
    : CSTabPage(pageTitle), shell(editorShell), canvas(*this), toolPanel(editorShell) {
  kind |= kPageKindEdit;
}

CSEditPage::~CSEditPage() = default;

// Creation and layout ------------------------------------------------------------

bool CSEditPage::OnSpriteCreate() {
  const std::int32_t w = rect.Width();
  const std::int32_t h = rect.Height();
  canvas.document = &document;
  maskPanel.document = &document;
  historyPanel.document = &document;
  historyPanel.history = &history;
  layerPanel.document = &document;
  layerPanel.history = &history;
  if (!canvas.Create(this, renderWindow, kCanvasId, {0, 0, 100, 100}, 0)) return false;
  AppendChild(&canvas);
  canvas.SetSpriteRect(kAdjustWidth, 0, w - kAdjustWidth - kSideWidth, h);
  canvas.FitToView();
  canvas.DrawHistogram();

  adjustPanel.title = TruncatedText(UIResources().texts.TextOrEmpty(u"touchup"), kPanelTitleField);
  if (!adjustPanel.Create(this, renderWindow, kAdjustPanelId, {0, 0, 100, 100}, 0)) return false;
  AppendChild(&adjustPanel);
  adjustPanel.SetSpriteRect(0, 0, kAdjustWidth, h);

  if (!sideFrame.Create(this, renderWindow, kSideFrameId, {0, 0, 100, 100}, 0)) return false;
  AppendChild(&sideFrame);
  if (!AddPanel(sideFrame, toolPanel, kToolsPanel)) return false;
  if (!shell.IsExternalEditor() && !AddPanel(sideFrame, layerPanel, kLayersPanel)) return false;
  if (!AddPanel(sideFrame, maskPanel, kMasksPanel)) return false;
  if (!history.Open(document, [this](std::filesystem::path& path, std::u16string_view prefix) {
        return shell.MakeTempFile(path, prefix);
      })) {
    return false;
  }
  history.SetWindow(this);
  history.SetListener(this);
  if (!AddPanel(sideFrame, historyPanel, kHistoryPanel)) return false;
  sideFrame.SetSpriteRect(w - kSideWidth, 0, kSideWidth, h);
  RefreshPanels();
  return true;
}

bool CSEditPage::Create(CSprite* parentSprite, ISpriteWindow* window, std::int32_t spriteId,
                        const Rect& spriteRect, std::int32_t spriteLayer) {
  if (!CSTabPage::Create(parentSprite, window, spriteId, spriteRect, spriteLayer)) return false;
  // The window keeps shortcuts by the page's registry key, which it has now.
  RegisterShortcuts();
  return true;
}

void CSEditPage::RegisterShortcuts() {
  CRenderWindow* window = RenderWindowOf(*this);
  if (!window) return;
  for (const std::uint32_t key : {kKeyA, kKeyD, kKeyI, kKeyC, kKeyV, kKeyZ, kKeyY})
    window->AddKeyShortcut(this, static_cast<std::int32_t>(key), false, true);
  window->AddKeyShortcut(this, static_cast<std::int32_t>(kKeyF2), true, true);
}

void CSEditPage::SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  CSTabPage::SetSpriteRect(x, y, w, h);
  adjustPanel.SetSpriteRect(0, 0, kAdjustWidth, h);
  canvas.SetSpriteRect(kAdjustWidth, 0, w - kAdjustWidth - kSideWidth, h);
  sideFrame.SetSpriteRect(w - kSideWidth, 0, kSideWidth, h);
}

bool CSEditPage::Draw(std::uint32_t) {
  if (!dirty || surface.IsEmpty()) return false;
  FillRect(surface, {0, 0, rect.Width(), rect.Height()}, UIResources().theme.colors[5]);
  InvalidateArea({}, 1);
  return true;
}

void CSEditPage::Destroy(int final) {
  document.Clear();
  canvas.FreeSurfaces();
  CSTabPage::Destroy(final);
}

void CSEditPage::RefreshPanels() {
  (void)maskPanel.RefreshMasks();  // the page always gives it the document
  maskPanel.UpdateStrip();
  if (!shell.IsExternalEditor()) {
    (void)layerPanel.RefreshLayers();  // the page always gives it the document
    layerPanel.UpdateStrip();
  }
}

// Keys -----------------------------------------------------------------------

void CSEditPage::OnKeyDown(std::uint32_t key, std::uint32_t, std::uint32_t) {
  if (UiQueue().GetKeyState(VK_CONTROL) >= 0) return;
  // A key that reaches the page both as a shortcut and through the focus
  // acts once: the window lets the same key through at most every 100 ms.
  const std::uint32_t now = TickCount();
  if (key == m_lastKey && now - m_lastKeyTime < kKeyRepeatFilterMs) return;
  m_lastKey = key;
  m_lastKeyTime = now;

  SpriteMessage command;
  command.code = kMenuMsgCommand;
  auto run = [&](std::int32_t id) {
    command.wparam = static_cast<std::uint64_t>(id);
    (void)RunCommand(id, command);  // what it did shows in the document
  };
  switch (key) {
    case kKeyA:
      toolPanel.SetCurrentTool(nullptr);
      run(kCmdSelectAll);
      break;
    case kKeyC:
      run(kCmdCopy);
      break;
    case kKeyD:
      toolPanel.SetCurrentTool(nullptr);
      DeselectAll();
      break;
    case kKeyI:
      toolPanel.SetCurrentTool(nullptr);
      run(kCmdInvertSelection);
      break;
    case kKeyV:
      if (auto* textTool = dynamic_cast<CTextTool*>(canvas.currentTool)) {
        textTool->PasteText();  // the text tool pastes the clipboard's text, never a picture
        canvas.overlay.dirty = 1;
      } else {
        shell.DropCurrentTool();
        run(kCmdPaste);
      }
      break;
    case kKeyZ:
      // Outside the list (nothing to undo) nothing changes.
      if (!canvas.currentTool) (void)history.GoToStep(history.CurrentStep() - 1);
      break;
    case kKeyY:
      if (!canvas.currentTool) (void)history.GoToStep(history.CurrentStep() + 1);
      break;
    case kKeyF2:
      if (UiQueue().GetKeyState(VK_SHIFT) < 0) run(kCmdDeblur);
      break;
    default:
      break;
  }
}

void CSEditPage::DeselectAll() {
  if (document.m_selection.IsEmpty()) return;
  KeepLastArea();
  {
    std::lock_guard guard(document.m_lock);
    document.m_selection.Free();
  }
  document.m_modified = 1;
}

// Commands -------------------------------------------------------------------

bool CSEditPage::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kMenuMsgCommand) {
    const auto id = static_cast<std::int32_t>(message.wparam);
    if (id >= kFirstCanvasCommand && id <= kLastCanvasCommand) {
      // Refused only while the window goes away.
      (void)PostSpriteMessage(&canvas, kMenuMsgCommand, message.wparam, message.lparam, this);
    } else {
      (void)RunCommand(id, message);  // what it did shows in the document
    }
  }
  return CSTabPage::OnSpriteMessage(message);
}

// Swapping -------------------------------------------------------------------

void CSEditPage::OnPageDeactivate() {
  CSToolPage::SwitchTool(*this, nullptr);
  if (pageOutFile.empty() && !shell.MakeTempFile(pageOutFile, kPageOutPrefix)) {
    pageOutFile.clear();
    UIResources().WriteLog("Page-out file not made");
    return;
  }
  CFile file;
  const bool written = file.Open(pageOutFile, CFile::OpenMode::Create) && document.Serialize(file, 0, 1);
  file.Close();
  if (!written) {
    // The document stays in memory; the next swap-out tries a new file.
    std::error_code ignored;
    std::filesystem::remove(pageOutFile, ignored);
    pageOutFile.clear();
    UIResources().WriteLog("Page not swapped out");
    return;
  }
  document.Clear();
  m_swappedOut = true;
  canvas.FreeDisplay();
  {
    std::lock_guard guard(canvas.lock);
    canvas.surface.Free();
    canvas.dirty = 1;
  }
  {
    std::lock_guard guard(lock);
    surface.Free();
    dirty = 1;
  }
}

bool CSEditPage::OnPageActivate() {
  if (pageOutFile.empty()) return true;
  CFile file;
  if (!file.Open(pageOutFile, CFile::OpenMode::Read)) return false;
  const int read = document.Serialize(file, 1, 1);
  file.Close();
  if (!read) return false;
  m_swappedOut = false;
  canvas.RebuildDisplay();
  return true;
}

// History window ----------------------------------------------------------------

void CSEditPage::ShowProgress() {
  if (CRenderWindow* window = RenderWindowOf(*this)) window->ShowProgress({});
}

void CSEditPage::HideProgress() {
  if (CRenderWindow* window = RenderWindowOf(*this)) window->HideProgress();
}

void CSEditPage::LockFrames() {
  if (CRenderWindow* window = RenderWindowOf(*this)) window->windowLock.lock();
}

void CSEditPage::OnHistoryChanged(const CDocHistory&) { historyPanel.Refresh(); }

void CSEditPage::OnRecoveryIndexDue(const CDocHistory&) { shell.WriteRecoveryIndex(); }

void CSEditPage::UnlockFrames() {
  if (CRenderWindow* window = RenderWindowOf(*this)) window->windowLock.unlock();
}

// Closing ---------------------------------------------------------------------

bool CSEditPage::ConfirmClose() {
  shell.DropCurrentTool();
  CRenderWindow* window = RenderWindowOf(*this);
  if (window) window->RemoveKeyShortcuts(this);
  if (!history.ChangedSinceSave()) return true;
  if (hostPage) {
    if (ShowMessageBox(UIResources().texts.TextOrEmpty(u"pluginapplyask"), MessageBoxIcon::Warning,
                       MessageBoxButtons::YesNo) == kIdYes &&
        !ReturnImageToHost()) {
      // The edits would be lost with the page: it stays, so the user can
      // try again.
      UIResources().WriteLog("Image not handed back");
      RegisterShortcuts();
      return false;
    }
    return true;
  }
  auto* frame = dynamic_cast<CSTabFrame*>(parent);
  if (frame && (!frame->IsShown() || !visible)) (void)frame->SelectPage(this, false);  // asked either way
  bool close = false;
  const std::int32_t answer = ShowMessageBox(UIResources().texts.TextOrEmpty(u"onclosesave"),
                                             MessageBoxIcon::Warning, MessageBoxButtons::YesNo);
  if (answer == kIdNo) {
    close = true;
  } else if (answer == kIdYes) {
    (void)canvas.SaveDocument();  // the saved step says whether it saved
    close = !history.ChangedSinceSave();
  }
  // A page that stays keeps its keys.
  if (!close) RegisterShortcuts();
  return close;
}

bool CSEditPage::ReturnImageToHost() {
  // The host's picture is the base layer, sample for sample, with the
  // layers above blended in. The blend moves only 255/256 of the way, so a
  // plain flattening would leave a trace of its background in every pixel.
  CBgraImage16 flattened;
  const CBFLayer* base = document.GetLayer(0);
  bool fromBase = false;
  if (base && base->m_visible && base->m_x == 0 && base->m_y == 0) {
    std::lock_guard guard(base->m_lock);
    fromBase = base->m_image.width == document.m_width && base->m_image.height == document.m_height &&
               !base->m_image.IsEmpty();
    if (fromBase && !flattened.CopyFrom(base->m_image)) return false;
  }
  if (!fromBase)
    return document.CompositeLayers(flattened, CBFDoc::kOpaqueWhite) && shell.ReturnImageToHost(flattened);
  for (int i = 1; i < document.LayerCount(); ++i) {
    const CBFLayer* layer = document.GetLayer(i);
    if (layer && layer->m_visible) document.BlendLayer(flattened, *layer);
  }
  return shell.ReturnImageToHost(flattened);
}
