#pragma once
// CRenderWindow: the program's one native window. It owns the top-level
// sprites (pages, dialogs, menus, the built-in frame, progress indicator,
// tooltip, focus indicator and dimming layer), a back buffer of the window's
// logical size with a map of dirty 64-pixel tiles over it, and the render
// thread that composes the dirty tiles from the sprites' surfaces and hands
// them to the platform thread to show, at most one frame every 30 ms. As the
// UI queue's handler it turns input into sprite calls (RenderWindowInput.cpp).
//
// Coordinates: the client area in physical pixels divided by the display
// factor (1.0, 1.5 or 2.0, from the display's dots per inch) and truncated is
// the logical size; sprites, the back buffer and the tile map are logical.
//
// Threads and locks. The UI thread runs the handlers, the render thread
// RenderFrame. windowLock guards the tile map's bulk changes, the top-level
// list, the back buffer, the layout and the exit events; the render thread
// holds it for a whole frame. sortedLock guards sortedTopLevel for the hit
// test. Order: windowLock, then a sprite's lock, then sortedLock. Focus,
// capture and popup lists are the UI thread's alone.
//
// The built-in sprites are the frame (which works on the native window
// through this window's IWindowOperations), the progress indicator, the
// tooltip, the focus indicator and the dimming layer. Sprites that want a
// tooltip while they draw ask with RequestTip: the UI thread shows it.
//
// Adding a top-level sprite: Create it with no parent and this window, then
// AddTopLevelSprite (owned ones are deleted once dropped). Remove it with
// CloseTopLevelSprite; popups open and close with OpenPopup / ClosePopup.
// Owned sprites that the render thread drops are destroyed on the UI thread
// (a posted message), never while UI code may still be using them.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "algorithms/WorkerExitRegistry.h"
#include "image/BgraImage.h"
#include "platform/UiQueue.h"
#include "platform/WindowHost.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/MessageSprite.h"
#include "ui/PopupSprite.h"
#include "ui/SpriteWindow.h"
#include "ui/WindowTileMap.h"
#include "ui/widgets/DialogBaseLayer.h"
#include "ui/widgets/Frame.h"
#include "ui/widgets/SFocusIndicate.h"
#include "ui/widgets/SProgress.h"
#include "ui/widgets/STip.h"
#include "ui/widgets/WindowOperations.h"

class CSFadeEffect;
class CSMenu;

inline constexpr std::uint32_t kHoverTimerId = 99;
inline constexpr std::uint32_t kHoverTimerPeriodMs = 1000;
inline constexpr std::uint32_t kFramePeriodMs = 30;
inline constexpr std::uint32_t kFullRepaintFrames = 333;
inline constexpr std::uint32_t kKeyRepeatFilterMs = 100;
inline constexpr Size kMinimumWindowSize{980, 610};

// Ids and layers of the built-in top-level sprites.
inline constexpr std::int32_t kFrameSpriteId = 0xFFFFFF;
inline constexpr std::int32_t kProgressSpriteId = 0xFFFFFE;
inline constexpr std::int32_t kTipSpriteId = 0xFFFFFD;
inline constexpr std::int32_t kFrameLayer = 0;
inline constexpr std::int32_t kDimLayer = 159;
inline constexpr std::int32_t kProgressLayer = 161;
inline constexpr std::int32_t kFocusIndicatorLayer = 170;
inline constexpr std::int32_t kFadeEffectLayer = 170;
inline constexpr std::int32_t kTipLayer = 171;
inline constexpr std::int32_t kPopupMenuLayer = 201;
inline constexpr std::int32_t kClickWaveLayer = 205;

// The display factor for the display's logical dots per inch: up to 139
// gives 1.0, below 180 gives 1.5, else 2.0.
double DisplayFactorForDpi(int dpi);

// One registered key shortcut; the sprite is kept by pointer and registry key.
struct KeyShortcut {
  CMessageSprite* sprite = nullptr;
  std::int32_t key = 0;  // virtual-key code
  std::int32_t shift = 0;
  std::int32_t ctrl = 0;
  std::int32_t alt = 0;  // always 0 for registered shortcuts
  std::int32_t spriteKey = 0;
};

// A sprite held by the UI thread between calls, with its registry key: an
// entry whose key is no longer alive names a destroyed sprite and is never
// called.
template <typename T>
struct SpriteRef {
  T* sprite = nullptr;
  std::int32_t key = 0;
  bool IsAlive() const { return sprite && key != 0 && IsObjectKeyAlive(key); }
};

class CRenderWindow : public ISpriteWindow,
                      public IWorkerExitRegistry,
                      public IUiMessageHandler,
                      public IWindowOperations {
public:
  CRenderWindow();
  virtual ~CRenderWindow();
  CRenderWindow(const CRenderWindow&) = delete;
  CRenderWindow& operator=(const CRenderWindow&) = delete;

  // Opens the native window and initialises it (OnCreate, OnInitDialog);
  // the window then handles the UI queue. 1 on success, 0 when the window
  // could not be made.
  [[nodiscard]] int Create();
  // Runs the window as a modal dialog: Create, the UI queue until EndDialog,
  // then DestroyWindow. The result given to EndDialog, or -1.
  [[nodiscard]] int RunModal();
  void EndDialog(int result);
  // OnDestroy and the native window closed; also done by the destructor.
  void DestroyWindow();
  bool IsCreated() const { return m_created; }
  // The application has built its window: the render thread starts drawing.
  void SetRenderReady();

  // Virtual operations of the window, in slot order.
  // Lays out the top-level sprites for a logical client size (under windowLock).
  virtual void OnLayout(std::int32_t width, std::int32_t height);
  // A window point under the focus sprite, for the text-input rectangle.
  virtual void OnFocusMoved(Point point);

  // Message handlers.
  void OnUiMessage(UiMessage& message) override;
  [[nodiscard]] int OnCreate();
  virtual bool OnInitDialog();
  void OnDestroy();
  void OnSize(std::uint64_t type, std::int32_t cx, std::int32_t cy);
  bool OnEraseBkgnd();
  void OnActivate(std::uint64_t state);
  virtual void OnTimer(std::uint32_t id);
  // WM_CLOSE: the dialog default ends the modal run with 2 (cancel).
  virtual void OnClose();

  // ISpriteWindow.
  void MarkWindowTiles(const Rect& rect) override;
  void RemoveKeyShortcuts(CSprite* sprite) override;
  // IWorkerExitRegistry: a worker thread registers when it starts and sets
  // the event when it ends; OnDestroy asks each to stop and waits for all of
  // them, at most exitWaitBound. Null once the window is being destroyed.
  [[nodiscard]] std::shared_ptr<CWorkerExitEvent> RegisterWorkerExitEvent(
      std::function<void()> requestStop) override;

  // Top-level sprites.
  void AddTopLevelSprite(CSprite* sprite, bool isOwned = false);
  void CloseTopLevelSprite(CSprite* sprite);
  // Takes a sprite out of the top-level lists at once, under windowLock, so
  // that the render thread no longer reaches it: for a member sprite (a
  // control's context menu) whose owner is about to destroy it. An owned
  // sprite is not deleted.
  void RemoveTopLevelSprite(CSprite* sprite);
  void SortTopLevelSprites();
  bool IsTopLevelSprite(const CSprite* sprite);
  void InvalidateAll();

  // Frames.
  void RenderFrame(std::uint32_t now);
  void ComposeTile(const Rect& rect);
  void BlitTile(const Rect& rect);
  [[nodiscard]] bool CopyBackBufferRect(const Rect& rect, CBgraImage& image);

  // Hooks of the window.
  [[nodiscard]] CSFadeEffect* StartFadeEffect(const Rect& rect, const CBgraImage& image);
  void SpawnClickWave();
  void ShowProgress(const Rect& rect);
  void HideProgress();

  // Input routing (RenderWindowInput.cpp). Points of the handlers are
  // physical client pixels, as the messages bring them.
  Point LogicalPoint(Point physical) const;
  void OnMouseMove(std::uint32_t flags, Point point);
  void OnLButtonDown(std::uint32_t flags, Point point);
  void OnLButtonUp(std::uint32_t flags, Point point);
  void OnLButtonDblClk(std::uint32_t flags, Point point);
  void OnRButtonDown(std::uint32_t flags, Point point);
  void OnRButtonUp(std::uint32_t flags, Point point);
  void OnMouseWheel(std::uint32_t flags, std::int32_t delta, Point point);
  bool OnSetCursor(Point point);
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags);
  void OnKeyUp(std::uint32_t key, std::uint32_t flags);
  void OnChar(std::uint32_t character, std::uint32_t repeat, std::uint32_t flags);
  void OnDropFiles(Point point, const CDropFileList& files);
  void OnHoverTimer();

  CMessageSprite* TopLevelSpriteAt(Point logical);
  void SetCaptureSprite(CMessageSprite* sprite);
  void ReleaseCaptureSprite(CMessageSprite* sprite);
  bool HasCapture(const CMessageSprite* sprite) const;
  CMessageSprite* SetFocusSprite(CMessageSprite* sprite, int byKeyboard);
  // The focus sprite while it is alive, else null.
  CMessageSprite* FocusSprite() const;
  void UpdateFocusIndicator(int byKeyboard);
  // Text input is on while the focus sprite wants it (WantsTextInput); the
  // focus changes and the hover timer check it.
  void RefreshTextInput();
  bool TextInputActive() const { return m_textInputOn; }
  // Where typed text appears (a caret), in window logical pixels: input
  // methods place their windows beside it. Sent to the platform thread only
  // when it changed.
  void SetTextInputArea(const Rect& logical);
  void CycleFocus(bool backwards);
  void AddKeyShortcut(CMessageSprite* sprite, std::int32_t key, bool shift, bool ctrl);
  bool DispatchKeyShortcut(std::uint32_t key);
  std::size_t KeyShortcutCount() const;

  void OpenPopup(CPopupSprite* popup);
  void ClosePopup(CPopupSprite* popup);
  // The top popup while one is open and alive, else null.
  CPopupSprite* TopPopup() const;
  bool IsInsideTopPopup(const CSprite* sprite) const;
  void ShowPopupMenu(CSMenu* menu, Point point, bool downward, bool rightward, CSprite* target);
  // UI thread.
  void ShowTip(std::int32_t x, std::int32_t y, std::u16string_view text, bool opaque, bool toTheLeft);
  void HideTip();
  // Any thread (sprites ask from their Draw): ShowTip on the UI thread at a
  // window point, unless the tip was hidden since the request, the requester
  // is gone by then, or stillWanted (called there, when given) says no.
  void RequestTip(const CSprite& requester, Point point, std::u16string text, bool opaque, bool toTheLeft,
                  std::function<bool()> stillWanted);
  std::uint32_t TipGeneration() const { return m_tipGeneration.load(); }

  // IWindowOperations, for the frame: the window host's window, in physical
  // screen pixels; RequestClose posts WM_CLOSE.
  Rect GetWindowRect() override;
  Point GetCursorScreenPos() override;
  void MoveWindow(const Rect& rect) override;
  void ShowWindowState(WindowShow show) override;
  void RequestClose() override;
  Point PhysicalOffset(Point logical) override;

  std::uint32_t DragOverAt(Point clientPoint);
  std::int32_t DropFilesAt(Point logical, const CDropFileList& files);

  // Sizes of the last frame.
  Size PhysicalSize() const { return {m_physicalWidth.load(), m_physicalHeight.load()}; }
  Size LogicalSize() const { return {m_logicalWidth.load(), m_logicalHeight.load()}; }

  // Fields.
  std::recursive_mutex windowLock;
  mutable std::recursive_mutex sortedLock;
  CSFocusIndicate focusIndicator;
  std::vector<SpriteRef<CPopupSprite>> popups;  // oldest first; UI thread
  CDialogBaseLayer dimLayer;
  double scale = 1.0;
  CBgraImage tileBlitBuffer;  // render thread
  std::atomic<std::int32_t> renderReady{0};
  std::u16string variantName;  // skin variant, set before Create
  CSProgress progress;
  CBgraImage backBuffer;  // windowLock
  WindowTileMap tileMap;
  std::vector<CSprite*> topLevel;        // insertion order; windowLock
  std::vector<CSprite*> sortedTopLevel;  // by layer; windowLock to write, sortedLock
  CFrame frame;
  CSTip tip;
  std::atomic<std::int32_t> active{0};
  std::vector<SpriteRef<CMessageSprite>> captures;  // UI thread
  // How long OnDestroy waits for the workers' exit events.
  std::chrono::milliseconds exitWaitBound = kWorkerExitWait;
  // The native window's options (the dialog template); set before Create.
  WindowOptions windowOptions;

protected:
  // Resources the window needs before its sprites exist (skins, texts);
  // false refuses the window after the "errinit" message.
  [[nodiscard]] virtual bool InitResources();
  // The text of "errinit" and the debug log lines of the creation.
  virtual std::u16string InitErrorText() const;
  virtual void WriteLog(const char* line);

private:
  struct ExitRegistration {
    std::shared_ptr<CWorkerExitEvent> event;
    std::function<void()> requestStop;
  };
  using MouseOperation = void (CMessageSprite::*)(Point, std::uint32_t);

  static void RenderThreadProc(CRenderWindow* window);
  [[nodiscard]] bool CreateBuiltInSprite(CSprite& sprite, std::int32_t spriteId, std::int32_t spriteLayer,
                                         bool shown);
  void HideSprite(CSprite& sprite);
  void DeleteOwnedSprite(CSprite* sprite);
  void DropClosedSprites();
  void RouteMouse(MouseOperation operation, Point logical, std::uint32_t flags);
  CMessageSprite* DeepestInputSpriteAt(CMessageSprite* topLevelSprite, Point logical) const;
  void EmptyCaptures();
  void SetWindowCapture(bool capture);
  std::vector<CSprite*> TopLevelSnapshot();
  void BeginWaitCursor();
  void EndWaitCursor();

  bool m_created = false;
  bool m_destroyed = false;
  bool m_modalDone = false;
  int m_modalResult = -1;
  IUiMessageHandler* m_previousHandler = nullptr;

  std::thread m_renderThread;
  std::mutex m_threadMutex;
  std::condition_variable m_threadWake;
  std::vector<ExitRegistration> m_exitEvents;  // windowLock

  std::atomic<std::int32_t> m_physicalWidth{0};
  std::atomic<std::int32_t> m_physicalHeight{0};
  std::atomic<std::int32_t> m_logicalWidth{0};
  std::atomic<std::int32_t> m_logicalHeight{0};
  std::uint32_t m_frameCounter = 0;  // render thread
  // A tile was marked by anyone but the composition itself since the last
  // frame looked; such a frame composes even when no sprite reported a change.
  std::atomic<bool> m_tileMarked{true};

  SpriteRef<CMessageSprite> m_focus;  // UI thread
  mutable std::mutex m_shortcutLock;
  std::vector<KeyShortcut> m_keyShortcuts;
  std::uint32_t m_lastKey = 0;
  std::uint32_t m_lastKeyTime = 0;
  bool m_releasingCapture = false;
  std::int32_t m_waitCursor = 0;
  bool m_textInputOn = false;  // UI thread
  Rect m_textInputArea;        // physical, as last sent
  // Counts HideTip calls; a tip request made before one is dropped.
  std::atomic<std::uint32_t> m_tipGeneration{0};
};

// The one window: set by the constructor, cleared when it is destroyed.
extern std::atomic<CRenderWindow*> g_RenderWindow;
// The window the render thread and the workers serve; set when the window is
// created, cleared when it is destroyed. Worker loops stop once it is null.
CRenderWindow* RenderThreadWindow();
// The render window a sprite is composed by, while it is the live window;
// null for a sprite of another window (tests) or after the window is gone.
CRenderWindow* RenderWindowOf(const CSprite& sprite);
// Registers a worker with the window the render thread serves; null when
// there is none.
[[nodiscard]] std::shared_ptr<CWorkerExitEvent> RegisterWorkerExitEvent(std::function<void()> requestStop);
