#pragma once
// CBrightforgeDlg: the main window, the root of everything the user sees. A
// render window with the document tab frame (the album as its first page)
// and the help button as its top-level sprites. It applies the chosen
// language before any text shows, refuses to start without 1 GiB free for
// temporary files, runs the start-up stages on the first tick of its 100 ms
// timer, asks before it closes and closes the pages newest first, and shows
// the companion service's results.
//
// The window is run modally by the application (CBrightforgeApp); its parts
// from other libraries come through MainWindowHooks. Everything runs on the
// UI thread.
//
// Keys reach the sprites through the render window's input routing; the
// platform's text input already delivers the characters of AltGr and of
// dead keys, so no key translation of its own is needed here.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "album/SAlbumPageBase.h"
#include "app/DocumentTabShell.h"
#include "app/MainWindowHooks.h"
#include "app/MaskPageLink.h"
#include "app/RecoveryIndex.h"
#include "app/SMainTabFrame.h"
#include "editor/EditorShell.h"
#include "editor/MenuCatalogueState.h"
#include "image/BgraImage.h"
#include "ui/RenderWindow.h"
#include "ui/widgets/SButton.h"

class CDocHistory;

class CBrightforgeDlg : public CRenderWindow,
                        public IDocumentTabShell,
                        public IEditorShell,
                        public IMenuCatalogueState {
public:
  static constexpr std::uint32_t kStartupTimerId = 123;
  static constexpr std::uint32_t kStartupTimerPeriodMs = 100;
  static constexpr std::int32_t kStartupTimerTicks = 10;
  static constexpr std::int32_t kTabFrameId = 100;
  static constexpr std::int32_t kTabFrameLayer = 2;
  static constexpr std::int32_t kHelpButtonId = 101;
  static constexpr std::int32_t kHelpButtonLayer = 3;
  // Temporary files need more than 0x3FFFFFFF free bytes.
  static constexpr std::uint64_t kMinimumFreeTempBytes = std::uint64_t{1} << 30;
  static constexpr std::u16string_view kProductPage = u"https://www.varnel.example/tessera/";
  static constexpr std::u16string_view kDefaultTitle = u"Tessera Professional";
  static constexpr std::size_t kMessageTextLength = 1024;
  // The edit page's cut-out commands: a mask page on the current layer.
  static constexpr std::int32_t kCmdMaskBlue = 23001;
  static constexpr std::int32_t kCmdMaskInOut = 23002;
  // The application's icon: the title band's emblem.
  static constexpr std::u16string_view kIconFile = u"title.png";
  // The modal result of a start that was refused; a close gives 2.
  static constexpr int kRefusedStart = -1;
  // The modal result once the image went back to the host.
  static constexpr int kHandedBack = 4;

  explicit CBrightforgeDlg(MainWindowHooks hooks = {}, std::vector<std::u16string> arguments = {});
  ~CBrightforgeDlg() override;

  // Language, the render window, the free-space probe, the children, the
  // title and the animation switch; starts timer 123 and lets the render
  // thread draw. False (the modal run ends) without the space or children.
  [[nodiscard]] bool OnInitDialog() override;
  // The tab frame (id 100, layer 2) with the album page in a normal run, and
  // the help button (id 101, layer 3).
  [[nodiscard]] bool CreateChildren();
  // The tab frame at (2, 40), (width - 4) x (height - 42); the help button
  // at (width - 145, 0), 70 x 25.
  void OnLayout(std::int32_t width, std::int32_t height) override;
  // Input methods show what is being typed under the focus sprite until a
  // caret places them.
  void OnFocusMoved(Point point) override;
  // Timer 123: the start-up stages on the first tick (a failure closes the
  // window without questions), stopped at the tenth.
  void OnTimer(std::uint32_t id) override;
  // Album (normal run), image core, menu icons, tools; each logged once it
  // succeeded. False at the first failure.
  [[nodiscard]] bool RunStartupStages();
  // Ignored under an open popup; closes only the album's preview when that
  // is open; else asks "closeProgram" and, unless the answer is No, closes
  // the edit, mask and group-photo pages newest first (a refusal keeps the
  // window with the pages left), deletes the recovery index and ends the run.
  void OnClose() override;
  // The tools' panels, the photo information, then the render window's own.
  void OnDestroy() override;
  // Results of the companion-service client (WM_USER+2088): a newer version
  // is offered (Yes opens the product page; No keeps that version from being
  // offered again; a box that cannot be shown changes nothing), information
  // records show the album's notice.
  void OnServiceResult(std::uint64_t result);
  void OnUiMessage(UiMessage& message) override;

  // IDocumentTabShell.
  // A photo (document null) or a copy of a prepared document in a new edit
  // page titled from the path's file name (30 characters or more keep 29
  // and ".."), with the first step "hisopen". Unless openAnew, a page that
  // shows the same absolute path (letter case counts) is selected instead.
  // Then, outside external-editor mode, the first action: mode 1 and 2 the
  // two cut-outs, mode 0 the film dialog for camera RAW files (Editor
  // "FilmForRAW") or else the wizard (Editor "AutoWizard"). A file that
  // cannot be read shows "Cannotopenfile", a copy or a page that fails
  // "unexpect"; no page is left then.
  void OpenDocumentPage(const std::filesystem::path& path, bool openAnew, const CBFDoc* document,
                        std::int32_t mode) override;
  // Asks a page that has a close question, takes an edit, mask or
  // group-photo page out of the tab frame (the album stays) and repaints.
  // A mask page first drops its tool and cancels the algorithm thread's job,
  // waiting until the thread is idle.
  [[nodiscard]] bool ClosePage(CSTabPage* page) override;
  // Rewrites this process's crash-recovery index (RecoveryIndex.h) with
  // the edit pages in tab order; deletes it when there are none; nothing in
  // external-editor mode. The index's lock is taken at the first write and
  // held until the window closes. A failed write keeps the previous index.
  void WriteRecoveryIndex() override;
  // Posts 11026 to the album page, which lists its folder again.
  void NotifyAlbumOfSave() override;
  // After the start-up stages of a normal run: the indexes of copies that
  // died are read and, when a page can be recovered, "recoverAsk" offers
  // them. Yes opens each as an edit page with its history, at its last
  // step, unsaved; No deletes their history files. Either way the indexes
  // and their lock files go.
  void OfferRecovery();
  // One recovered page in a new edit page; false (no page left) when it
  // cannot be made or its history not taken over.
  [[nodiscard]] bool OpenRecoveredPage(RecoveredPage& recovered);

  // The current edit page's document and history, else null.
  CBFDoc* GetCurrentDocument();
  CDocHistory* GetCurrentHistory();
  // A mask page (kind 0 blue screen, 1 inside/outside) over a copy of the
  // layer image, remembering the current page as the one it came from; it
  // calls onDone when the user finished it. Any other kind: false, silently;
  // a page that cannot be made or added: "unexpect", false.
  [[nodiscard]] bool OpenMaskPage(const CBgraImage16* layerImage, std::int32_t kind,
                                  std::function<bool(IMaskPageLink&)> onDone, const std::u16string* path);
  // The cut-out commands: a mask page on the page's current layer that
  // applies its result with ApplyMattingResult.
  [[nodiscard]] bool OpenMaskPageForCurrentLayer(CSEditPage& page, std::int32_t kind);
  // The mask page finished: its edit page becomes current and the
  // after-matting dialog asks how to use the cut-out (MattingOperations.h),
  // recorded as a history step. A cancelled background photo brings the
  // dialog back. False only when the edit page is gone.
  [[nodiscard]] bool ApplyMattingResult(IMaskPageLink* maskPage);
  // A group-photo page (kind 1 merge, 2 clone) over the photos, titled with
  // the first photo's name; false, silently, when it cannot be made.
  [[nodiscard]] bool OpenGroupPhotoPage(std::span<const std::filesystem::path> photos, std::int32_t kind);

  // IEditorShell.
  CSEditPage* CurrentEditPage() override;
  void DropCurrentTool() override;
  bool IsExternalEditor() override { return externalEditorMode != 0; }
  // Writes the image into the exchange file (the host's file stays as it
  // was when that fails: "unexpect", false) and ends the window's run with
  // kHandedBack; the window's own end then runs as after a close.
  [[nodiscard]] bool ReturnImageToHost(const CBgraImage16& image) override;
  [[nodiscard]] bool MakeTempFile(std::filesystem::path& path, std::u16string_view prefix) override;
  CToolSet& Tools() override;

  // IMenuCatalogueState: the language files, the choices of language and
  // skin, and the current edit page's history.
  std::vector<std::u16string> LanguageNames() override;
  std::u16string CurrentLanguage() override;
  std::u16string SkinName() override;
  const CDocHistory* CurrentHistory() override;

  // The about box over the window until a click or key closes it.
  void ShowAboutBox();
  // The help button, F1 and the help command: the manual
  // "<program folder>/Tessera.pdf" with the desktop's program; a missing
  // file or an opener that cannot start shows the error number.
  void OnHelpInfo();
  // External-editor mode and exchange path from the command line.
  void ParseCommandLine();
  // Mode 1, at the end of the start-up stages: the exchange file becomes a
  // one-layer document in an edit page titled with the file's name; a file
  // that cannot be read shows "unexpect" and the window stays empty.
  void ImportPluginImage();

  std::filesystem::path recoveryIndexPath;  // empty until the index is first written
  CRecoveryLock recoveryLock;               // held from the first write to the close
  std::filesystem::path exchangePath;
  std::int32_t externalEditorMode = 0;   // 0 normal run
  CSAlbumPageBase* albumPage = nullptr;  // in tabFrame; null in external-editor mode
  CSMainTabFrame tabFrame;
  CSButton helpButton;
  CBgraImage icon;  // the window's icon, also in the task bar
  std::uint64_t minimumFreeTempBytes = kMinimumFreeTempBytes;
  // Waited after the window is gone, so that threads still finishing are
  // not cut short by the end of the process.
  std::chrono::milliseconds exitPause{1000};

private:
  bool ServiceEnabled() const;
  // The commands of the edit pages that are the main window's work: the
  // cut-outs, the language and the skin. false takes them out again.
  void RegisterShellCommands(bool install);

  MainWindowHooks m_hooks;
  std::vector<std::u16string> m_arguments;
  std::int32_t m_startupTicks = 0;
  bool m_childrenCreated = false;
};
