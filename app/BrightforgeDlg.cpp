#include "app/BrightforgeDlg.h"

#include <algorithm>
#include <array>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "app/AppData.h"
#include "app/ExchangeFile.h"
#include "app/ExternalEditorArguments.h"
#include "app/Globals.h"
#include "app/Language.h"
#include "app/PageCloseQuestion.h"
#include "app/ProgramSettings.h"
#include "app/SAlbumPlaceholderPage.h"
#include "app/ServiceClient.h"
#include "app/TempFiles.h"
#include "document/FormatFileTitle.h"
#include "editor/CommandRegistry.h"
#include "editor/MenuCatalogue.h"
#include "editor/SEditPage.h"
#include "editor/ToolSet.h"
#include "image/ColorTables.h"
#include "platform/DiskSpace.h"
#include "platform/Registry.h"
#include "platform/RegistryProfile.h"
#include "platform/SystemMessage.h"
#include "platform/Utf16.h"
#include "ui/DialogSprite.h"
#include "ui/NotBuilt.h"
#include "ui/TextFormat.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/AnimationSwitch.h"
#include "ui/widgets/SkinIcon.h"

namespace {

constexpr std::uint32_t kClosablePages = kPageKindEdit | kPageKindMask | kPageKindGroupPhoto;

std::u16string_view TextOf(std::u16string_view key) {
  const char16_t* text = UIResources().texts.LookupText(key);
  return text ? std::u16string_view(text) : std::u16string_view();
}

}  // namespace

CBrightforgeDlg::CBrightforgeDlg(MainWindowHooks hooks, std::vector<std::u16string> arguments)
    : m_hooks(std::move(hooks)), m_arguments(std::move(arguments)) {
  variantName = g_SkinName;
  tabFrame.shell = this;
  SetMenuCatalogueState(this);
  RegisterShellCommands(true);
}

CBrightforgeDlg::~CBrightforgeDlg() {
  if (MenuCatalogueState() == this) SetMenuCatalogueState(nullptr);
  RegisterShellCommands(false);
  // The window goes while this object is whole; the two members leave the
  // top-level list before they are destroyed.
  DestroyWindow();
  {
    std::lock_guard guard(windowLock);
    std::erase_if(topLevel, [this](CSprite* s) { return s == &tabFrame || s == &helpButton; });
    SortTopLevelSprites();
  }
  albumPage = nullptr;
  tabFrame.Destroy(1);
  helpButton.Destroy(1);
}

// Start-up ---------------------------------------------------------------------

bool CBrightforgeDlg::OnInitDialog() {
  // Every text from here on comes from the chosen language; a language file
  // that cannot be read leaves the base texts.
  if (!LoadLanguageChoice()) WriteLog("Language file not loaded");
  if (!CRenderWindow::OnInitDialog()) {
    EndDialog(kRefusedStart);
    return false;
  }

  std::uint64_t freeBytes = 0;
  const std::filesystem::path tempFolder = GetTempFolder();
  if (tempFolder.empty() || !GetFreeDiskSpace(tempFolder, freeBytes) || freeBytes < minimumFreeTempBytes) {
    ShowSystemMessage(u"Not enough disk space to store temp files");
    EndDialog(kRefusedStart);
    return false;
  }

  g_PublisherEdition = 1;
  if (!CreateChildren()) {
    WriteLog("Error on CreateOtherChilds");
    ShowSystemMessage(InitErrorText());
    EndDialog(kRefusedStart);
    return false;
  }
  WriteLog("Main Window inited, childs created.");

  if (IWindowHost* host = WindowHost()) {
    const Size client = host->GetClientSize();
    std::lock_guard guard(windowLock);
    OnLayout(client.width > 0 ? static_cast<std::int32_t>(client.width / scale) : 0,
             client.height > 0 ? static_cast<std::int32_t>(client.height / scale) : 0);
  }
  OnFocusMoved({-10, -10});
  if (albumPage && !tabFrame.SelectPage(albumPage, false)) WriteLog("Album page not selected");
  if (!LoadSkinIcon(kIconFile, icon)) {
    WriteLog("Window icon not loaded");
  } else if (IWindowHost* host = WindowHost()) {
    host->SetIcon({static_cast<std::int32_t>(icon.width), static_cast<std::int32_t>(icon.height)},
                  reinterpret_cast<const std::uint32_t*>(icon.Row(0)));
  }

  // The table changes before the render thread may read it.
  CStringTable& texts = UIResources().texts;
  texts.AddText(u"productpage", kProductPage);
  if (!texts.HasText(u"title")) texts.AddText(u"title", kDefaultTitle);
  texts.Sort();
  windowOptions.title = std::u16string(TextOf(u"title"));
  if (IWindowHost* host = WindowHost()) host->SetTitle(windowOptions.title);

  UiQueue().SetTimer(kStartupTimerId, kStartupTimerPeriodMs);
  SetRenderReady();

  g_AnimationEnabled = static_cast<std::int32_t>(GetRegDword(RegistryProfile::kAnimation, true));
  if (!m_hooks.serviceClient) {
    WriteNotBuilt("Companion-service client");
  } else if (m_hooks.serviceClient->IsEnabled()) {
    m_hooks.serviceClient->PostCommand(kServiceUpdateCheck);
  }
  return true;
}

bool CBrightforgeDlg::CreateChildren() {
  if (!tabFrame.Create(nullptr, this, kTabFrameId, {0, 0, 100, 100}, kTabFrameLayer)) return false;
  AddTopLevelSprite(&tabFrame);
  ParseCommandLine();
  if (externalEditorMode == 0) {
    const std::u16string_view title = TextOf(u"Album");
    CSAlbumPageBase* page = nullptr;
    if (m_hooks.createAlbumPage) {
      page = m_hooks.createAlbumPage(title);
    } else {
      WriteNotBuilt("Album page");
      page = new (std::nothrow) CSAlbumPlaceholderPage(title);
    }
    if (!page) return false;
    if (tabFrame.AddPage(page) < 0) {
      delete page;
      return false;
    }
    page->owned = 1;
    albumPage = page;
  } else {
    tabFrame.showGoAlbum = 0;
    tabFrame.goAlbumButton.visible = 0;
  }
  if (!helpButton.Create(nullptr, this, kHelpButtonId, {0, 0, 100, 100}, kHelpButtonLayer, TextOf(u"btnHelp"),
                         u"help.png", false)) {
    return false;
  }
  AddTopLevelSprite(&helpButton);
  m_childrenCreated = true;
  return true;
}

void CBrightforgeDlg::OnLayout(std::int32_t width, std::int32_t height) {
  CRenderWindow::OnLayout(width, height);
  if (!m_childrenCreated) return;
  tabFrame.SetSpriteRect(2, 40, width - 4, height - 42);
  helpButton.SetSpriteRect(width - 145, 0, 70, 25);
}

void CBrightforgeDlg::OnFocusMoved(Point point) {
  SetTextInputArea({point.x, point.y, point.x + 1, point.y + 1});
}

void CBrightforgeDlg::OnTimer(std::uint32_t id) {
  if (id == kStartupTimerId) {
    ++m_startupTicks;
    if (m_startupTicks == 1) {
      if (!RunStartupStages()) {
        EndDialog(kRefusedStart);
      } else if (externalEditorMode == 0) {
        OfferRecovery();
      }
    }
    if (m_startupTicks >= kStartupTimerTicks) UiQueue().KillTimer(kStartupTimerId);
  }
  CRenderWindow::OnTimer(id);
}

bool CBrightforgeDlg::RunStartupStages() {
  if (externalEditorMode == 0 && albumPage) {
    if (!albumPage->InitFolderTree()) return false;
    if (m_hooks.startPhotoScan) {
      if (!m_hooks.startPhotoScan(*albumPage, *this)) return false;
    } else {
      WriteNotBuilt("Photo scan");
    }
    if (ServiceEnabled()) m_hooks.serviceClient->PostCommand(kServiceInfoRecords);
    WriteLog("Album Init OK");
  }

  if (m_hooks.startAlgorithmEngine) {
    if (!m_hooks.startAlgorithmEngine(*this)) return false;
  } else {
    WriteNotBuilt("Algorithm engine");
  }
  BuildGammaTables();
  WriteLog("Image Core Init OK");

  if (!g_MenuIcons.LoadStrip(UIResources().skins.SkinFilePath(u"menuicon.png"), kMenuIconWidth) &&
      !g_MenuIcons.LoadStrip(UIResources().theme.basicFolder / "menuicon.png", kMenuIconWidth)) {
    return false;
  }
  WriteLog("Menu Init OK");

  if (m_hooks.initTools) {
    if (!m_hooks.initTools()) return false;
  } else {
    WriteNotBuilt("Tools");
  }
  WriteLog("Tools Init OK");
  if (externalEditorMode == kExternalEditorImportMode) ImportPluginImage();
  return true;
}

void CBrightforgeDlg::ParseCommandLine() {
  ExternalEditorArguments parsed = ParseExternalEditorArguments(m_arguments);
  externalEditorMode = parsed.mode;
  exchangePath = std::move(parsed.exchangePath);
}

void CBrightforgeDlg::ImportPluginImage() {
  CBgraImage16 image;
  CBFDoc document;
  if (!ReadExchangeFile(exchangePath, image) || !document.InsertLayer(image, TextOf(u"pluginLayer"), 0)) {
    (void)ShowMessageBox(TextOf(u"unexpect"), MessageBoxIcon::Information,
                         MessageBoxButtons::Ok);  // only OK
    return;
  }
  image.Free();
  OpenDocumentPage(exchangePath, true, &document, 0);
}

// Close ------------------------------------------------------------------------

void CBrightforgeDlg::OnClose() {
  if (TopPopup()) return;
  if (albumPage && albumPage->IsPreviewOpen()) {
    albumPage->ClosePreview();
    return;
  }
  // Only No keeps the window: a box that could not be shown does not.
  if (ShowMessageBox(TextOf(u"closeProgram"), MessageBoxIcon::Warning, MessageBoxButtons::YesNo) == kIdNo)
    return;
  // The host gets nothing back: the pages are not asked.
  if (externalEditorMode != 0) {
    CRenderWindow::OnClose();
    return;
  }

  std::vector<CSTabPage*> closable;
  for (CSTabPage* page : tabFrame.pages) {
    if (page->kind & kClosablePages) closable.push_back(page);
  }
  for (auto it = closable.rbegin(); it != closable.rend(); ++it) {
    // Shown while it may ask; a current mask page refuses the change, and
    // the page is asked all the same.
    static_cast<void>(tabFrame.SelectPage(*it, false));
    if (!ClosePage(*it)) return;
  }
  if (!recoveryIndexPath.empty()) {
    std::error_code ignored;
    std::filesystem::remove(recoveryIndexPath, ignored);
    if (recoveryLock.IsHeld()) std::filesystem::remove(RecoveryLockPath(recoveryIndexPath), ignored);
    recoveryLock.Release();
  }
  CRenderWindow::OnClose();
}

void CBrightforgeDlg::OnDestroy() {
  UiQueue().KillTimer(kStartupTimerId);
  // A current tool's option panel leaves its canvas before it is released,
  // while the render thread may still be composing the canvas.
  DropCurrentTool();
  if (m_hooks.releaseToolPanels) {
    m_hooks.releaseToolPanels();
  } else {
    WriteNotBuilt("Tool panels");
  }
  if (m_hooks.storePhotoInfo) m_hooks.storePhotoInfo();
  CRenderWindow::OnDestroy();
  std::this_thread::sleep_for(exitPause);
}

// Requests ---------------------------------------------------------------------

void CBrightforgeDlg::OnUiMessage(UiMessage& message) {
  if (message.message == kServiceMessage) {
    OnServiceResult(message.wparam);
    return;
  }
  if (message.message == kButtonClickedWindowMessage) {
    if (message.wparam == static_cast<std::uint64_t>(kHelpButtonId)) OnHelpInfo();
    return;
  }
  CRenderWindow::OnUiMessage(message);
  // F1 asks for help as well, after the focus sprite had the key.
  if (message.message == WM_KEYDOWN && message.wparam == VK_F1 && !(message.lparam & kKeyDataWasDown))
    OnHelpInfo();
}

void CBrightforgeDlg::OnServiceResult(std::uint64_t result) {
  if (result == kServiceResultNewVersion) {
    if (!m_hooks.serviceClient) return;
    const std::array<std::uint8_t, kUpdateReplyBytes> reply = m_hooks.serviceClient->UpdateReply();
    std::uint16_t version = 0;
    std::u16string notes;
    ParseUpdateReply(reply, version, notes);
    if (version == 0) return;
    // The pattern comes from a language file: only a fraction and a text
    // are filled in.
    std::u16string text = FormatText(TextOf(u"newversionfind"), {version / 100.0, notes});
    if (text.size() >= kMessageTextLength) text.resize(kMessageTextLength - 1);
    const std::int32_t answer = ShowMessageBox(text, MessageBoxIcon::Information, MessageBoxButtons::YesNo);
    if (answer == kIdYes) {
      if (!m_hooks.shellOpen || !m_hooks.shellOpen(TextOf(u"productpage")))
        WriteLog("Product page not opened");
    } else if (answer == kMessageBoxFailed) {
      // The user never saw the offer: it comes again with the next check.
      WriteLog("New version notice not shown");
    } else if (!SetRegDword(RegistryProfile::kLastCheckVersion.section,
                            RegistryProfile::kLastCheckVersion.name, version)) {
      WriteLog("LastCheckVersion not stored");
    }
  } else if (result == kServiceResultInfoRecords) {
    if (albumPage) {
      const ServiceNotice notice = ReadServiceNotice(m_hooks.serviceClient->InfoRecords());
      albumPage->ShowNoticeButton(notice.tip, notice.message, notice.link);
    }
  }
}

// IEditorShell -----------------------------------------------------------------

bool CBrightforgeDlg::ReturnImageToHost(const CBgraImage16& image) {
  if (!WriteExchangeFile(exchangePath, image)) {
    (void)ShowMessageBox(TextOf(u"unexpect"), MessageBoxIcon::Information,
                         MessageBoxButtons::Ok);  // only OK
    return false;
  }
  EndDialog(kHandedBack);
  return true;
}

bool CBrightforgeDlg::MakeTempFile(std::filesystem::path& path, std::u16string_view prefix) {
  return MakeTempFileName(path, prefix);
}

CToolSet& CBrightforgeDlg::Tools() { return g_ToolSet; }

void CBrightforgeDlg::RegisterShellCommands(bool install) {
  CCommandRegistry& commands = EditCommands();
  const auto set = [&](std::int32_t id, CCommandRegistry::Handler handler) {
    commands.Register(id, install ? std::move(handler) : CCommandRegistry::Handler());
  };
  for (const std::int32_t kind : {0, 1}) {
    set(kind == 0 ? kCmdMaskBlue : kCmdMaskInOut, [this, kind](CSEditPage& page, const SpriteMessage&) {
      return OpenMaskPageForCurrentLayer(page, kind) ? 1 : 0;
    });
  }
  set(kCmdAbout, [this](CSEditPage&, const SpriteMessage&) { return ShowAboutBox(), 1; });
  set(kCmdHelp, [this](CSEditPage&, const SpriteMessage&) { return OnHelpInfo(), 1; });
  set(kCmdSettings, [](CSEditPage&, const SpriteMessage&) { return ShowSettingsDialog(), 1; });
  set(kCmdDarkSkin, [](CSEditPage&, const SpriteMessage&) { return ChangeSkin(u""), 1; });
  set(kCmdBrightSkin, [](CSEditPage&, const SpriteMessage&) { return ChangeSkin(u"bright"), 1; });
  set(kCmdDefaultLanguage, [](CSEditPage&, const SpriteMessage&) { return ChangeLanguage(u""), 1; });
  for (std::int32_t i = 0; i < kMaxLanguageEntries; ++i) {
    set(kCmdFirstLanguage + i, [i](CSEditPage&, const SpriteMessage&) {
      if (static_cast<std::size_t>(i) >= g_LanguageFiles.size()) return 0;
      ChangeLanguage(g_LanguageFiles[static_cast<std::size_t>(i)].name);
      return 1;
    });
  }
}

// IMenuCatalogueState -----------------------------------------------------------

std::vector<std::u16string> CBrightforgeDlg::LanguageNames() {
  std::vector<std::u16string> names;
  for (const LanguageFile& file : g_LanguageFiles) names.push_back(file.name);
  return names;
}

std::u16string CBrightforgeDlg::CurrentLanguage() { return g_CurrentLanguage; }

std::u16string CBrightforgeDlg::SkinName() { return g_SkinName; }

const CDocHistory* CBrightforgeDlg::CurrentHistory() {
  CSEditPage* page = CurrentEditPage();
  return page ? &page->history : nullptr;
}

bool CBrightforgeDlg::ServiceEnabled() const {
  return m_hooks.serviceClient && m_hooks.serviceClient->IsEnabled();
}
