// The main window's small services: the crash-recovery index and the offer
// of the pages a copy that died was editing, the about box and the manual.

#include <cerrno>
#include <memory>
#include <new>
#include <system_error>

#include "app/AppData.h"
#include "app/BrightforgeDlg.h"
#include "app/TempFiles.h"
#include "document/FormatFileTitle.h"
#include "editor/SEditPage.h"
#include "platform/File.h"
#include "platform/ShellOpen.h"
#include "platform/Utf16.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"
#include "ui/dialogs/AboutSprite.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

constexpr std::size_t kTabTitleLimit = 30;  // longer titles keep 29 characters and ".."
constexpr std::u16string_view kManualName = u"Tessera.pdf";
constexpr std::u16string_view kManualError = u"The manual cannot be opened: error %d";

}  // namespace

// Recovery index ------------------------------------------------------------------

void CBrightforgeDlg::WriteRecoveryIndex() {
  if (externalEditorMode != 0) return;
  std::vector<RecoveryIndexPage> pages;
  for (CSTabPage* page : tabFrame.pages) {
    if (!(page->kind & kPageKindEdit)) continue;
    if (auto* editPage = dynamic_cast<CSEditPage*>(page))
      pages.push_back({editPage->history.FilePath(), editPage->history.Steps()});
  }
  if (pages.empty()) {
    std::error_code ignored;
    if (!recoveryIndexPath.empty()) std::filesystem::remove(recoveryIndexPath, ignored);
    return;
  }
  if (recoveryIndexPath.empty()) {
    const std::filesystem::path folder = GetTempFolder();
    if (folder.empty()) return;
    recoveryIndexPath = NewRecoveryIndexPath(folder);
  }
  // The lock comes before the index, so that no other copy ever sees this
  // index without it.
  if (!recoveryLock.IsHeld() && !recoveryLock.Acquire(RecoveryLockPath(recoveryIndexPath))) {
    WriteLog("Recovery index not locked");
    return;
  }
  if (!WriteRecoveryIndexFile(recoveryIndexPath, EncodeRecoveryIndex(pages)))
    WriteLog("Recovery index not written");
}

void CBrightforgeDlg::OfferRecovery() {
  const std::filesystem::path folder = GetTempFolder();
  if (folder.empty()) return;
  std::vector<StaleRecoveryIndex> stale = FindStaleRecoveryIndexes(folder, recoveryIndexPath);
  if (stale.empty()) return;
  std::vector<RecoveredPage> pages;
  for (const StaleRecoveryIndex& index : stale) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(index.index, bytes, kMaxRecoveryIndexBytes)) continue;
    for (RecoveredPage& page : DecodeRecoveryIndex(bytes, folder)) pages.push_back(std::move(page));
  }
  if (!pages.empty()) {
    const std::u16string text =
        FormatText(UIResources().texts.TextOrEmpty(u"recoverAsk"), {static_cast<std::int64_t>(pages.size())});
    if (ShowMessageBox(text, MessageBoxIcon::Question, MessageBoxButtons::YesNo) == kIdYes) {
      for (RecoveredPage& page : pages) {
        if (!OpenRecoveredPage(page)) WriteLog("Recovered page not opened");
      }
    } else {
      std::error_code ignored;
      for (const RecoveredPage& page : pages) std::filesystem::remove(page.historyFile, ignored);
    }
  }
  for (StaleRecoveryIndex& index : stale) DiscardRecoveryIndex(index);
  WriteRecoveryIndex();
}

bool CBrightforgeDlg::OpenRecoveredPage(RecoveredPage& recovered) {
  auto* page = new (std::nothrow) CSEditPage(UIResources().texts.TextOrEmpty(u"Unknown"), *this);
  if (!page) return false;
  if (tabFrame.AddPage(page) < 0) {
    delete page;
    return false;
  }
  page->owned = 1;
  const bool adopted = page->history.AdoptSteps(
      page->document, recovered.historyFile, std::move(recovered.steps),
      [this](std::filesystem::path& path, std::u16string_view prefix) { return MakeTempFile(path, prefix); });
  if (!adopted || page->history.CurrentStep() < 0) {
    tabFrame.RemovePage(page);
    return false;
  }
  const std::u16string path = page->document.Path();
  std::u16string title = path.empty() ? std::u16string(UIResources().texts.TextOrEmpty(u"Unknown"))
                                      : FormatFileTitle(PathFromUtf16(path), 80);
  if (title.size() > kTabTitleLimit) title = title.substr(0, kTabTitleLimit - 1) + u"..";
  page->title = title;
  if (!page->BuildTitleImage()) WriteLog("Recovered page's title not drawn");
  static_cast<void>(tabFrame.SelectPage(page, false));  // a refused change leaves the page behind its tab
  // The page was laid out over an empty document.
  page->canvas.FitToView();
  page->canvas.DrawHistogram();
  page->document.m_modified = 1;
  tabFrame.dirty = 1;
  InvalidateAll();
  return true;
}

// About box and manual -----------------------------------------------------------

void CBrightforgeDlg::ShowAboutBox() {
  auto about = std::make_unique<CAboutSprite>();
  if (!about->Create(nullptr, this, CAboutSprite::kSpriteId, {}, CAboutSprite::kLayer)) {
    WriteLog("About box not created");
    return;
  }
  AddTopLevelSprite(about.get());
  // The box takes itself out of the window when it closes.
  if (!about->RunModal()) WriteLog("About box not shown");
}

void CBrightforgeDlg::OnHelpInfo() {
  const std::filesystem::path manual = g_ProgramFolder / PathFromUtf16(kManualName);
  std::error_code error;
  int number = std::filesystem::is_regular_file(manual, error) ? 0 : ENOENT;
  if (number == 0) number = ShellOpenError(PathToUtf16(manual));
  if (number == 0) return;
  static_cast<void>(ShowMessageBox(FormatText(kManualError, {number}), MessageBoxIcon::Information,
                                   MessageBoxButtons::Ok));  // only OK
}
