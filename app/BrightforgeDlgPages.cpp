// The main window's pages: opening a photo or a prepared document in an edit
// page with its first step and first action, the current page's lookups,
// closing a page, the mask pages with the after-matting choice, and the
// group-photo pages.

#include <algorithm>
#include <new>
#include <system_error>
#include <thread>

#include "algorithms/AlgorithmThread.h"
#include "app/BrightforgeDlg.h"
#include "app/FirstOpenAction.h"
#include "app/Globals.h"
#include "app/MattingOperations.h"
#include "app/PageCloseQuestion.h"
#include "document/FormatFileTitle.h"
#include "editor/CommandRegistry.h"
#include "editor/SEditPage.h"
#include "editor/ToolId.h"
#include "image/ImageCodec.h"
#include "image/Plane8.h"
#include "platform/Registry.h"
#include "platform/RegistryProfile.h"
#include "platform/Utf16.h"
#include "ui/NotBuilt.h"
#include "ui/SpriteMessage.h"
#include "ui/UIResources.h"
#include "ui/dialogs/FileChooser.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/SMenu.h"

namespace {

constexpr std::uint32_t kClosablePages = kPageKindEdit | kPageKindMask | kPageKindGroupPhoto;
constexpr std::int32_t kCmdFilm = 11007;
constexpr std::int32_t kCmdLensBlur = 13009;
constexpr std::size_t kTabTitleLimit = 30;  // longer titles keep 29 characters and ".."
constexpr std::size_t kMaskPathField = 1024;
constexpr std::size_t kGroupTitleField = 128;

std::u16string Text(std::u16string_view key) { return std::u16string(UIResources().texts.TextOrEmpty(key)); }

void Tell(std::u16string_view key) {
  static_cast<void>(ShowMessageBox(Text(key), MessageBoxIcon::Information,
                                   MessageBoxButtons::Ok));  // only OK
}

// Paths name the same file only when their absolute forms are equal, letter
// case included: Linux file names differ by case.
std::filesystem::path AbsolutePath(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return (error ? path : absolute).lexically_normal();
}

// Cut as fixed fields are: a text of the field's size or more keeps
// field - 3 characters and "..".
std::u16string CutToField(std::u16string text, std::size_t field) {
  if (text.size() >= field) text = text.substr(0, field - 3) + u"..";
  return text;
}

// Through the page's own dispatch, as the menu runs it: the wizard's chosen
// entry runs its command from there.
[[nodiscard]] std::int32_t RunCommandNow(CSEditPage& page, std::int32_t id) {
  SpriteMessage message;
  message.code = kMenuMsgCommand;
  message.wparam = static_cast<std::uint64_t>(id);
  return page.RunCommand(id, message);
}

}  // namespace

// Opening -----------------------------------------------------------------------

void CBrightforgeDlg::OpenDocumentPage(const std::filesystem::path& path, bool openAnew,
                                       const CBFDoc* document, std::int32_t mode) {
  if (!openAnew) {
    const std::filesystem::path wanted = AbsolutePath(path);
    for (CSTabPage* page : tabFrame.pages) {
      auto* editPage = dynamic_cast<CSEditPage*>(page);
      if (editPage && !editPage->document.Path().empty() &&
          AbsolutePath(PathFromUtf16(editPage->document.Path())) == wanted) {
        static_cast<void>(tabFrame.SelectPage(editPage, false));  // a refused change keeps the current tab
        return;
      }
    }
  }
  std::u16string title = path.empty() ? Text(u"Unknown") : FormatFileTitle(path, 80);
  if (title.size() > kTabTitleLimit) title = title.substr(0, kTabTitleLimit - 1) + u"..";
  auto* page = new (std::nothrow) CSEditPage(title, *this);
  if (!page) return;
  if (externalEditorMode != 0) {
    page->hostPage = 1;
  } else if (m_hooks.countPhotoOpening) {
    m_hooks.countPhotoOpening(path);
  }

  if (document) {
    // A copy that failed would leave an empty page.
    if (!page->document.CopyFrom(*document)) {
      delete page;
      Tell(u"unexpect");
      return;
    }
  } else {
    ShowProgress({});
    const int opened = page->document.OpenImageFile(path);
    HideProgress();
    if (!opened) {
      delete page;
      Tell(u"Cannotopenfile");
      return;
    }
  }
  if (!path.empty() && !page->imageInfo.ReadFromFile(path)) WriteLog("Photo information not read");
  if (tabFrame.AddPage(page) < 0) {
    delete page;
    Tell(u"unexpect");
    return;
  }
  page->owned = 1;
  static_cast<void>(tabFrame.SelectPage(page, false));  // a refused change leaves the page behind its tab
  if (!page->history.AddStep(kStepDocument, -1, Text(u"hisopen"), StepBlock::None, 0, {}))
    WriteLog("First history step not recorded");
  InvalidateAll();
  if (externalEditorMode != 0) return;

  switch (ChooseFirstOpenAction(mode, GetImageType(path),
                                GetRegDword(RegistryProfile::kFilmForRaw, true) != 0,
                                GetRegDword(RegistryProfile::kAutoWizard, true) != 0)) {
    case FirstOpenAction::BlueScreen:
    case FirstOpenAction::InsideOutside:
      if (!PostSpriteMessage(page, kMenuMsgCommand, mode == 1 ? kCmdMaskBlue : kCmdMaskInOut, 0, page))
        WriteLog("Cut-out not started");
      break;
    case FirstOpenAction::Film:
      static_cast<void>(RunCommandNow(*page, kCmdFilm));  // a cancelled dialog changes nothing
      break;
    case FirstOpenAction::Wizard:
      static_cast<void>(RunCommandNow(*page, kCmdWizard));  // a cancelled wizard changes nothing
      break;
    case FirstOpenAction::None:
      break;
  }
  WriteRecoveryIndex();
}

// Lookups ------------------------------------------------------------------------

CSEditPage* CBrightforgeDlg::CurrentEditPage() {
  const std::int32_t current = tabFrame.currentPage;
  if (current < 0 || current >= static_cast<std::int32_t>(tabFrame.pages.size())) return nullptr;
  CSTabPage* page = tabFrame.pages[static_cast<std::size_t>(current)];
  return (page->kind & kPageKindEdit) ? dynamic_cast<CSEditPage*>(page) : nullptr;
}

CBFDoc* CBrightforgeDlg::GetCurrentDocument() {
  CSEditPage* page = CurrentEditPage();
  return page ? &page->document : nullptr;
}

CDocHistory* CBrightforgeDlg::GetCurrentHistory() {
  CSEditPage* page = CurrentEditPage();
  return page ? &page->history : nullptr;
}

void CBrightforgeDlg::DropCurrentTool() {
  if (CSEditPage* page = CurrentEditPage()) CSToolPage::SwitchTool(*page, nullptr);
}

// Closing ------------------------------------------------------------------------

bool CBrightforgeDlg::ClosePage(CSTabPage* page) {
  if (!page || tabFrame.FindPage(page) < 0) return false;
  if (g_MergeJobQueue.RunningWorkerCount() != 0) {
    ShowProgress({});
    while (g_MergeJobQueue.RunningWorkerCount() != 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    HideProgress();
  }
  if (page->kind & kClosablePages) {
    if (auto* editPage = dynamic_cast<CSEditPage*>(page); editPage && !editPage->ConfirmClose()) return false;
    if (auto* maskPage = dynamic_cast<IMaskPageLink*>(page)) {
      RemoveKeyShortcuts(page);
      maskPage->DropTool();
      // Its matting may still run: the algorithm thread must let go of the
      // page's pictures before the page goes.
      theAlgorithmThread.Cancel();
      while (theAlgorithmThread.IsBusy()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (auto* question = dynamic_cast<IPageCloseQuestion*>(page); question && !question->ConfirmClose()) {
      return false;
    }
    tabFrame.RemovePage(page);
    EmptyCaptures();
    SetFocusSprite(nullptr, 0);
  }
  InvalidateAll();
  return true;
}

// Mask pages ----------------------------------------------------------------------

bool CBrightforgeDlg::OpenMaskPage(const CBgraImage16* layerImage, std::int32_t kind,
                                   std::function<bool(IMaskPageLink&)> onDone, const std::u16string* path) {
  if (kind != 0 && kind != 1) return false;
  if (!m_hooks.createMaskPage) {
    WriteNotBuilt("Mask page");
    return false;
  }
  CSTabPage* page = m_hooks.createMaskPage(kind, Text(kind == 0 ? u"pageBluescreen" : u"pageInout"));
  auto* link = dynamic_cast<IMaskPageLink*>(page);
  if (page && !link) {
    delete page;
    page = nullptr;
  }
  if (!page || !layerImage || !link->SetImage(*layerImage)) {
    delete page;
    Tell(u"unexpect");
    return false;
  }
  link->onDone = std::move(onDone);
  if (tabFrame.AddPage(page) < 0) {
    delete page;
    Tell(u"unexpect");
    return false;
  }
  link->path = path ? CutToField(*path, kMaskPathField) : std::u16string();
  const std::int32_t current = tabFrame.currentPage;
  link->callingPage = current >= 0 && current < static_cast<std::int32_t>(tabFrame.pages.size())
                          ? tabFrame.pages[static_cast<std::size_t>(current)]
                          : nullptr;
  static_cast<void>(tabFrame.SelectPage(page, false));  // a refused change leaves the page behind its tab
  page->owned = 1;
  tabFrame.selectionEnabled = 0;
  tabFrame.dirty = 1;
  return true;
}

bool CBrightforgeDlg::OpenMaskPageForCurrentLayer(CSEditPage& page, std::int32_t kind) {
  CBFLayer* layer = page.document.GetCurrentLayer();
  const std::u16string path = page.document.Path();
  return OpenMaskPage(
      layer ? &layer->m_image : nullptr, kind,
      [this](IMaskPageLink& maskPage) { return ApplyMattingResult(&maskPage); }, &path);
}

bool CBrightforgeDlg::ApplyMattingResult(IMaskPageLink* maskPage) {
  if (!maskPage) return true;
  // A cancelled background choice brings the dialog back.
  for (;;) {
    // The page it came from may be gone: only a page still in the frame is
    // looked at.
    if (!maskPage->callingPage || tabFrame.FindPage(maskPage->callingPage) < 0) return false;
    auto* page = dynamic_cast<CSEditPage*>(maskPage->callingPage);
    if (!page) return false;
    if (!maskPage->IsMaskModified()) return true;
    if (!tabFrame.SelectPage(page, true)) WriteLog("Edit page not selected");
    if (!m_hooks.runAfterMatting) {
      WriteNotBuilt("After-matting dialog");
      return true;
    }
    const CBgraImage16& result = maskPage->Result();
    const AfterMattingAnswer answer = m_hooks.runAfterMatting(page->document, result);
    if (answer.endCode != kIdOk) return true;
    CPlane8 matte;
    const bool haveMatte = MakeMattePlane(result, matte) != 0;
    CBFDoc& document = page->document;
    const auto record = [&](std::u16string_view key) {
      if (!page->history.AddStep(kStepDocument, -1, Text(key), StepBlock::None, 0, {}))
        WriteLog("After-matting step not recorded");
    };
    int sourceIndex = 0;
    switch (answer.choice) {
      case kMatDelete:
        if (!CutOutCurrentLayer(document, result)) return true;
        break;
      case kMatSeparate:
      case kMatDuplicate:
        if (!AddMatteLayer(document, result, answer.choice == kMatSeparate, Text(u"matLayer"), sourceIndex))
          return true;
        break;
      case kMatChangeBack: {
        std::filesystem::path chosen;
        if (!FileChooser().ChooseOpenPath(u"matChangeBack", u"AllSupportFile", chosen)) continue;
        CBFDoc background;
        if (!background.OpenImageFile(chosen)) return true;
        const CBFLayer* current = document.GetCurrentLayer();
        const std::u16string name = current ? current->Name() : Text(u"matLayer");
        if (!PutOnBackground(background, result, name, answer.maskAsSelection) ||
            !document.CopyFrom(background))
          return true;
        document.m_modified = 1;
        record(u"matChangeBack");
        CSToolPage::SwitchTool(*page, Tools().Find(kToolTransform));
        return true;
      }
      case kMatBlurBack: {
        if (!AddMatteLayer(document, result, false, Text(u"matLayer"), sourceIndex)) return true;
        if (haveMatte) {
          CBFLayer* source = document.GetLayer(sourceIndex);
          ShowProgress({});
          {
            std::lock_guard guard(source->m_lock);
            if (!InpaintUnderMatte(source->m_image, matte)) WriteLog("Background not filled in");
          }
          HideProgress();
          document.SetCurrentLayer(sourceIndex);
        }
        // Recorded once the background is filled in, so that the step holds it.
        record(u"matduplicate");
        if (!PostSpriteMessage(page, kMenuMsgCommand, kCmdLensBlur, 0, page))
          WriteLog("Lens blur not started");
        return true;
      }
      default:
        return true;
    }
    if (answer.maskAsSelection && haveMatte && matte.width == document.m_width &&
        matte.height == document.m_height) {
      CPlane8 selection;
      if (selection.CopyFrom(matte)) {
        document.m_selection = std::move(selection);
        document.m_modified = 1;
      }
    }
    record(answer.choice == kMatDelete     ? u"matDelete"
           : answer.choice == kMatSeparate ? u"matSeperate"
                                           : u"matduplicate");
    return true;
  }
}

// Group-photo pages ------------------------------------------------------------------

bool CBrightforgeDlg::OpenGroupPhotoPage(std::span<const std::filesystem::path> photos, std::int32_t kind) {
  if ((kind != 1 && kind != 2) || photos.empty()) return false;
  if (!m_hooks.createGroupPhotoPage) {
    WriteNotBuilt("Group-photo page");
    return false;
  }
  const std::u16string title = CutToField(PathToUtf16(photos.front().stem()), kGroupTitleField);
  CSTabPage* page = m_hooks.createGroupPhotoPage(kind, title, photos);
  if (!page) return false;
  if (tabFrame.AddPage(page) < 0) {
    delete page;
    return false;
  }
  static_cast<void>(tabFrame.SelectPage(page, true));  // forced: only a page that refuses stays behind
  page->owned = 1;
  return true;
}

void CBrightforgeDlg::NotifyAlbumOfSave() {
  // Without an album (external-editor mode) no one lists folders.
  if (albumPage && !PostSpriteMessage(albumPage, kSpriteMsgFolderChanged, 0, 0, nullptr))
    WriteLog("Album not told of the save");
}
