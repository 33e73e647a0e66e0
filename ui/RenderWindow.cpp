#include "ui/RenderWindow.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

#include "platform/Clock.h"
#include "platform/DisplayDpi.h"
#include "platform/SystemMessage.h"
#include "platform/WindowMessages.h"
#include "ui/BlendTables.h"
#include "ui/HelpLoaderThread.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/TileUpscale.h"
#include "ui/UIResources.h"
#include "ui/widgets/ClickWave.h"
#include "ui/widgets/SFadeEffect.h"

std::atomic<CRenderWindow*> g_RenderWindow{nullptr};

namespace {

std::atomic<CRenderWindow*> g_renderThreadWindow{nullptr};

// Set on the render thread while it composes tiles. Composition ends with an
// invalidation of the very tile it composed; that is no new mark, and is
// ignored, so the tile can be cleared before it is composed and a mark that
// the UI thread makes meanwhile is kept for the next frame.
thread_local bool t_composing = false;

// Posted, never handled by the window: its payload deletes a dropped owned
// top-level sprite on the UI thread.
constexpr std::uint32_t kDeleteSpriteMessage = WM_USER + 258;

// The render thread drops owned sprites from the top-level list; the UI thread
// deletes them, so no UI code that still holds one (a menu closing itself, a
// capture) is left with freed memory. A message that is never delivered
// deletes its sprite when it is freed.
class CSpriteDeletion final : public CUiMessageData {
public:
  explicit CSpriteDeletion(CSprite* sprite) : m_sprite(sprite) {}
  ~CSpriteDeletion() override { Release(); }
  bool Deliver() override {
    Release();
    return true;
  }

private:
  void Release() {
    if (CSprite* sprite = std::exchange(m_sprite, nullptr)) {
      sprite->Destroy(1);
      delete sprite;
    }
  }
  CSprite* m_sprite;
};

std::int32_t Truncate(std::int32_t physical, double scale) {
  return physical > 0 ? static_cast<std::int32_t>(physical / scale) : 0;
}

}  // namespace

double DisplayFactorForDpi(int dpi) {
  if (dpi <= 139) return 1.0;
  if (dpi < 180) return 1.5;
  return 2.0;
}

CRenderWindow* RenderThreadWindow() { return g_renderThreadWindow.load(); }

CRenderWindow* RenderWindowOf(const CSprite& sprite) {
  if (!sprite.renderWindow || sprite.renderWindow != LiveSpriteWindow()) return nullptr;
  return dynamic_cast<CRenderWindow*>(sprite.renderWindow);
}

std::shared_ptr<CWorkerExitEvent> RegisterWorkerExitEvent(std::function<void()> requestStop) {
  CRenderWindow* window = RenderThreadWindow();
  return window ? window->RegisterWorkerExitEvent(std::move(requestStop)) : nullptr;
}

CRenderWindow::CRenderWindow() {
  windowOptions.title = u"Tessera";
  windowOptions.minimumSize = kMinimumWindowSize;
  windowOptions.maximized = true;
  g_RenderWindow.store(this);
}

CRenderWindow::~CRenderWindow() {
  DestroyWindow();
  CRenderWindow* self = this;
  g_RenderWindow.compare_exchange_strong(self, nullptr);
  if (LiveSpriteWindow() == this) SetLiveSpriteWindow(nullptr);
  std::vector<CSprite*> remaining;
  {
    std::lock_guard guard(windowLock);
    remaining.swap(topLevel);
    std::lock_guard sortedGuard(sortedLock);
    sortedTopLevel.clear();
  }
  const CSprite* builtIn[] = {&frame, &progress, &tip, &focusIndicator, &dimLayer};
  for (CSprite* sprite : remaining) {
    if (std::find(std::begin(builtIn), std::end(builtIn), sprite) != std::end(builtIn)) continue;
    if (IsObjectAlive(sprite) && sprite->owned) {
      sprite->Destroy(1);
      delete sprite;
    }
  }
}

// Lifecycle --------------------------------------------------------------

int CRenderWindow::Create() {
  if (m_created) return m_destroyed ? 0 : 1;
  if (OnCreate() != 0) return 0;
  m_created = true;
  m_previousHandler = UiQueue().Handler();
  UiQueue().SetHandler(this);
  OnInitDialog();
  return 1;
}

int CRenderWindow::RunModal() {
  m_modalDone = false;
  m_modalResult = -1;
  if (!Create()) return -1;
  // A queue that shuts down ends the loop before EndDialog: the result stays -1.
  if (!UiQueue().RunModalLoop([this] { return m_modalDone; })) m_modalResult = -1;
  DestroyWindow();
  return m_modalResult;
}

void CRenderWindow::EndDialog(int result) {
  m_modalResult = result;
  m_modalDone = true;
}

void CRenderWindow::DestroyWindow() {
  if (!m_created || m_destroyed) return;
  m_destroyed = true;
  OnDestroy();
  if (UiQueue().Handler() == this) UiQueue().SetHandler(m_previousHandler);
  if (IWindowHost* host = WindowHost()) host->DestroyMainWindow();
}

void CRenderWindow::SetRenderReady() {
  renderReady = 1;
  { std::lock_guard guard(m_threadMutex); }
  m_threadWake.notify_all();
}

bool CRenderWindow::CreateBuiltInSprite(CSprite& sprite, std::int32_t spriteId, std::int32_t spriteLayer,
                                        bool shown) {
  if (!sprite.Create(nullptr, this, spriteId, {}, spriteLayer)) return false;
  if (!shown) HideSprite(sprite);
  AddTopLevelSprite(&sprite);
  return true;
}

bool CRenderWindow::InitResources() { return UIResources().Init(variantName); }

std::u16string CRenderWindow::InitErrorText() const {
  const char16_t* text = UIResources().texts.LookupText(u"errinit");
  return text ? std::u16string(text) : std::u16string(CUIResources::kErrInitText);
}

void CRenderWindow::WriteLog(const char* line) { UIResources().WriteLog(line); }

int CRenderWindow::OnCreate() {
  IWindowHost* host = WindowHost();
  if (!host || !host->CreateMainWindow(windowOptions)) return -1;
  g_renderThreadWindow.store(this);
  SetLiveSpriteWindow(this);
  topLevel.reserve(32);
  frame.windowOperations = this;
  frame.maximized = windowOptions.maximized ? 1 : 0;
  bool created = InitResources() && CreateBuiltInSprite(frame, kFrameSpriteId, kFrameLayer, true);
  if (created) WriteLog("Frame Created");
  created = created && CreateBuiltInSprite(progress, kProgressSpriteId, kProgressLayer, false);
  if (created) WriteLog("Prog Created");
  created = created && CreateBuiltInSprite(tip, kTipSpriteId, kTipLayer, false);
  if (created) WriteLog("Tip Created");
  created = created && CreateBuiltInSprite(focusIndicator, kTipSpriteId, kFocusIndicatorLayer, false) &&
            CreateBuiltInSprite(dimLayer, kTipSpriteId, kDimLayer, false);
  if (!created) {
    ShowSystemMessage(InitErrorText());
    CRenderWindow* self = this;
    g_renderThreadWindow.compare_exchange_strong(self, nullptr);
    SetLiveSpriteWindow(nullptr);
    host->DestroyMainWindow();
    return -1;
  }
  // The window works without a loader; the album then shows no thumbnails.
  for (int i = 0; i < kHelpLoaderCount; ++i) {
    if (!HelpLoaderThread(i).Start(*this)) WriteLog("Help loader not started");
  }
  return 0;
}

bool CRenderWindow::OnInitDialog() {
  IWindowHost* host = WindowHost();
  scale = DisplayFactorForDpi(host ? host->GetDpi() : kDefaultDpi);
  m_physicalWidth = 100;
  m_physicalHeight = 100;
  m_logicalWidth = Truncate(100, scale);
  m_logicalHeight = Truncate(100, scale);
  if (!BuildBlendTables()) return true;  // no render thread: the window stays empty
  try {
    m_renderThread = std::thread(RenderThreadProc, this);
  } catch (const std::system_error&) {
    return true;
  }
  UiQueue().SetTimer(kHoverTimerId, kHoverTimerPeriodMs);
  // A shown window gets its size at once, as WM_SIZE brings it.
  if (host) {
    const Size client = host->GetClientSize();
    OnSize(SIZE_RESTORED, client.width, client.height);
  }
  return true;
}

void CRenderWindow::OnDestroy() {
  if (!popups.empty() && popups.front().IsAlive()) ClosePopup(popups.front().sprite);
  UiQueue().KillTimer(kHoverTimerId);
  CRenderWindow* self = this;
  g_renderThreadWindow.compare_exchange_strong(self, nullptr);
  self = this;
  g_RenderWindow.compare_exchange_strong(self, nullptr);
  { std::lock_guard guard(m_threadMutex); }
  m_threadWake.notify_all();

  // Every registered worker is asked to stop, then all are waited for
  // together within one bound, however many there are.
  std::vector<ExitRegistration> registrations;
  {
    std::lock_guard guard(windowLock);
    registrations = m_exitEvents;
  }
  for (const ExitRegistration& registration : registrations) {
    if (registration.requestStop) registration.requestStop();
  }
  const auto deadline = std::chrono::steady_clock::now() + exitWaitBound;
  // A worker still busy at the deadline is left to end on its own.
  for (const ExitRegistration& registration : registrations)
    static_cast<void>(registration.event->WaitUntil(deadline));
  for (int i = 0; i < kHelpLoaderCount; ++i) HelpLoaderThread(i).JoinIfEnded();
  // The render thread works on this object: it is always joined. It leaves
  // after the frame it may be in.
  if (m_renderThread.joinable()) m_renderThread.join();
  FreeBlendTables();
  if (LiveSpriteWindow() == this) SetLiveSpriteWindow(nullptr);
}

std::shared_ptr<CWorkerExitEvent> CRenderWindow::RegisterWorkerExitEvent(std::function<void()> requestStop) {
  std::lock_guard guard(windowLock);
  if (RenderThreadWindow() != this) return nullptr;
  auto event = std::make_shared<CWorkerExitEvent>();
  m_exitEvents.push_back({event, std::move(requestStop)});
  return event;
}

// Messages ----------------------------------------------------------------

void CRenderWindow::OnUiMessage(UiMessage& m) {
  const auto mouseFlags = static_cast<std::uint32_t>(m.wparam & 0xFFFF);
  const auto repeat = static_cast<std::uint32_t>(m.lparam & 0xFFFF);
  const auto keyFlags = static_cast<std::uint32_t>((m.lparam >> 16) & 0xFFFF);
  const auto code = static_cast<std::uint32_t>(m.wparam);
  switch (m.message) {
    case WM_SIZE:
      OnSize(m.wparam, m.point.x, m.point.y);
      break;
    case WM_ACTIVATE:
      OnActivate(m.wparam);
      break;
    case WM_CLOSE:
      OnClose();
      break;
    case WM_TIMER:
      OnTimer(code);
      break;
    case WM_SETCURSOR:
      OnSetCursor(m.point);
      break;
    case WM_MOUSEMOVE:
      OnMouseMove(mouseFlags, m.point);
      break;
    case WM_LBUTTONDOWN:
      OnLButtonDown(mouseFlags, m.point);
      break;
    case WM_LBUTTONUP:
      OnLButtonUp(mouseFlags, m.point);
      break;
    case WM_LBUTTONDBLCLK:
      OnLButtonDblClk(mouseFlags, m.point);
      break;
    case WM_RBUTTONDOWN:
      OnRButtonDown(mouseFlags, m.point);
      break;
    case WM_RBUTTONUP:
      OnRButtonUp(mouseFlags, m.point);
      break;
    case WM_MOUSEWHEEL:
      OnMouseWheel(mouseFlags, static_cast<std::int16_t>(static_cast<std::uint16_t>(m.wparam >> 16)),
                   m.point);
      break;
    case WM_KEYDOWN:
      OnKeyDown(code, repeat, keyFlags);
      break;
    case WM_KEYUP:
      OnKeyUp(code, keyFlags);
      break;
    case WM_CHAR:
      OnChar(code, repeat, keyFlags);
      break;
    case WM_DROPFILES:
      if (const auto* files = dynamic_cast<const CDropFileList*>(m.data.get())) OnDropFiles(m.point, *files);
      break;
    default:
      break;
  }
}

void CRenderWindow::OnSize(std::uint64_t type, std::int32_t cx, std::int32_t cy) {
  // The window manager may maximise or restore the window by itself.
  if (type == SIZE_MAXIMIZED || type == SIZE_RESTORED) frame.SetMaximizedState(type == SIZE_MAXIMIZED);
  if (type == SIZE_MINIMIZED || cx <= 0 || cy <= 0 || m_logicalWidth == 0 || m_logicalHeight == 0) return;
  std::lock_guard guard(windowLock);
  // The logical size the next frame will measure for this client size.
  OnLayout(Truncate(cx, scale), Truncate(cy, scale));
  InvalidateAll();
}

bool CRenderWindow::OnEraseBkgnd() {
  InvalidateAll();
  return true;
}

void CRenderWindow::OnActivate(std::uint64_t state) {
  if (state == WA_INACTIVE) {
    active = 0;
  } else if (state == WA_ACTIVE || state == WA_CLICKACTIVE) {
    active = 1;
  }
  InvalidateAll();
}

void CRenderWindow::OnLayout(std::int32_t width, std::int32_t height) {
  frame.SetSpriteRect(0, 0, width, height);
  dimLayer.SetSpriteRect(0, 0, width, height);
  UpdateFocusIndicator(0);
}

void CRenderWindow::OnFocusMoved(Point) {}

void CRenderWindow::OnTimer(std::uint32_t id) {
  if (id == kHoverTimerId) OnHoverTimer();
}

void CRenderWindow::OnClose() { EndDialog(2); }

// Tiles and the top-level list --------------------------------------------

void CRenderWindow::MarkWindowTiles(const Rect& rect) {
  if (t_composing) return;
  if (tileMap.Mark(rect)) m_tileMarked.store(true);
}

void CRenderWindow::InvalidateAll() {
  std::lock_guard guard(windowLock);
  tileMap.MarkAll();
}

void CRenderWindow::AddTopLevelSprite(CSprite* sprite, bool isOwned) {
  if (!sprite) return;
  std::lock_guard guard(windowLock);
  if (std::find(topLevel.begin(), topLevel.end(), sprite) != topLevel.end()) return;
  if (isOwned) sprite->owned = 1;
  topLevel.push_back(sprite);
  SortTopLevelSprites();
}

void CRenderWindow::CloseTopLevelSprite(CSprite* sprite) {
  std::lock_guard guard(windowLock);
  if (std::find(topLevel.begin(), topLevel.end(), sprite) != topLevel.end()) sprite->closed = 1;
}

void CRenderWindow::RemoveTopLevelSprite(CSprite* sprite) {
  std::lock_guard guard(windowLock);
  const auto it = std::find(topLevel.begin(), topLevel.end(), sprite);
  if (it == topLevel.end()) return;
  topLevel.erase(it);
  SortTopLevelSprites();
}

bool CRenderWindow::IsTopLevelSprite(const CSprite* sprite) {
  std::lock_guard guard(windowLock);
  return std::find(topLevel.begin(), topLevel.end(), sprite) != topLevel.end();
}

std::vector<CSprite*> CRenderWindow::TopLevelSnapshot() {
  std::lock_guard guard(windowLock);
  return topLevel;
}

void CRenderWindow::SortTopLevelSprites() {
  std::lock_guard guard(windowLock);
  std::lock_guard sortedGuard(sortedLock);
  sortedTopLevel = topLevel;
  // Equal layers have no defined order; a stable sort keeps insertion order.
  std::stable_sort(sortedTopLevel.begin(), sortedTopLevel.end(),
                   [](const CSprite* a, const CSprite* b) { return a->layer < b->layer; });
}

void CRenderWindow::HideSprite(CSprite& sprite) {
  sprite.visible = 0;
  if (sprite.tileColumns > 0) sprite.InvalidateArea({}, 1);
  sprite.FreeSurfaces();
}

void CRenderWindow::DeleteOwnedSprite(CSprite* sprite) {
  UiMessage message;
  message.message = kDeleteSpriteMessage;
  message.data = std::make_unique<CSpriteDeletion>(sprite);
  static_cast<void>(UiQueue().Post(std::move(message)));  // refused: the payload deletes it now
}

// Frames ------------------------------------------------------------------

void CRenderWindow::RenderThreadProc(CRenderWindow* window) {
  std::shared_ptr<CWorkerExitEvent> exitEvent = window->RegisterWorkerExitEvent([window] {
    { std::lock_guard guard(window->m_threadMutex); }
    window->m_threadWake.notify_all();
  });
  if (!exitEvent) exitEvent = std::make_shared<CWorkerExitEvent>();
  auto serving = [window] { return RenderThreadWindow() == window; };
  {
    std::unique_lock guard(window->m_threadMutex);
    while (serving() && !window->renderReady)
      window->m_threadWake.wait_for(guard, std::chrono::milliseconds(100));
  }
  while (serving()) {
    IWindowHost* host = WindowHost();
    if (!host || !host->HasWindow()) break;
    const std::uint32_t t0 = TickCount();
    if (!serving()) break;
    window->RenderFrame(t0);
    if (!serving()) break;
    const std::uint32_t spent = TickCount() - t0;
    if (spent < kFramePeriodMs) {
      std::unique_lock guard(window->m_threadMutex);
      window->m_threadWake.wait_for(guard, std::chrono::milliseconds(kFramePeriodMs - spent),
                                    [&] { return !serving(); });
    }
  }
  exitEvent->Set();
}

void CRenderWindow::RenderFrame(std::uint32_t now) {
  IWindowHost* host = WindowHost();
  if (!host) return;
  const Size client = host->GetClientSize();
  const std::int32_t logicalWidth = Truncate(client.width, scale);
  const std::int32_t logicalHeight = Truncate(client.height, scale);
  m_physicalWidth = std::max(client.width, 0);
  m_physicalHeight = std::max(client.height, 0);
  m_logicalWidth = logicalWidth;
  m_logicalHeight = logicalHeight;

  std::vector<CSprite*> dropped;
  {
    std::lock_guard frameGuard(windowLock);
    if (static_cast<std::int64_t>(backBuffer.width) != logicalWidth ||
        static_cast<std::int64_t>(backBuffer.height) != logicalHeight) {
      if (logicalWidth <= 0 || logicalHeight <= 0) {
        backBuffer.Free();
      } else if (!backBuffer.Create(static_cast<std::uint32_t>(logicalWidth),
                                    static_cast<std::uint32_t>(logicalHeight))) {
        backBuffer.Free();
        return;  // the next frame tries again
      } else {
        std::memset(backBuffer.pixels, 0, backBuffer.byteSize);
      }
      tileMap.MarkAll();
    }
    if (backBuffer.IsEmpty()) return;
    if (++m_frameCounter >= kFullRepaintFrames) {
      InvalidateAll();
      m_frameCounter = 0;
    }

    bool changed = false;
    for (std::size_t i = 0; i < topLevel.size(); ++i) {
      CSprite* sprite = topLevel[i];
      if (IsObjectAlive(sprite) && sprite->visible && !sprite->closing && sprite->UpdateSurface(now))
        changed = true;
    }

    // A tile marked without any update reporting a change (a hidden tooltip,
    // an invalidated area) is composed now, not at the next full repaint.
    const bool marked = m_tileMarked.exchange(false);
    if (changed || marked || tileMap.IsDirty(0, 0)) {
      const std::int32_t columns = std::min((logicalWidth + 63) / 64, WindowTileMap::kColumns);
      const std::int32_t rows = std::min((logicalHeight + 63) / 64, WindowTileMap::kRows);
      bool blitted = false;
      t_composing = true;
      for (std::int32_t row = 0; row < rows; ++row) {
        for (std::int32_t column = 0; column < columns; ++column) {
          if (!tileMap.IsDirty(column, row)) continue;
          const Rect tile{column * 64, row * 64, std::min(column * 64 + 64, logicalWidth),
                          std::min(row * 64 + 64, logicalHeight)};
          tileMap.Set(column, row, 0);
          ComposeTile(tile);
          BlitTile(tile);
          blitted = true;
        }
      }
      t_composing = false;
      if (blitted) host->Present();
    }

    // Drop closed, closing and dead sprites; the sorted list follows before
    // any owned one can be deleted.
    std::vector<CSprite*> kept;
    kept.reserve(topLevel.size());
    for (CSprite* sprite : topLevel) {
      if (!IsObjectAlive(sprite)) continue;
      if (sprite->closed || sprite->closing) {
        // Its pixels are still on the screen: the area is composed again.
        {
          std::lock_guard spriteGuard(sprite->lock);
          MarkWindowTiles(sprite->rect);
        }
        if (sprite->owned) dropped.push_back(sprite);
        continue;
      }
      kept.push_back(sprite);
    }
    topLevel.swap(kept);
    SortTopLevelSprites();
  }
  for (CSprite* sprite : dropped) DeleteOwnedSprite(sprite);
}

void CRenderWindow::ComposeTile(const Rect& rect) {
  std::lock_guard guard(windowLock);
  if (backBuffer.IsEmpty()) return;
  const Rect tile{std::max(rect.left, 0), std::max(rect.top, 0),
                  std::min<std::int32_t>(rect.right, static_cast<std::int32_t>(backBuffer.width)),
                  std::min<std::int32_t>(rect.bottom, static_cast<std::int32_t>(backBuffer.height))};
  if (tile.IsEmpty()) return;
  if (topLevel.size() != sortedTopLevel.size()) SortTopLevelSprites();
  for (std::int32_t y = tile.top; y < tile.bottom; ++y) {
    std::memset(backBuffer.At(static_cast<std::uint32_t>(tile.left), static_cast<std::uint32_t>(y)), 0,
                static_cast<std::size_t>(tile.Width()) * 4);
  }
  for (CSprite* sprite : sortedTopLevel) {
    if (!IsObjectAlive(sprite) || sprite->closing || !sprite->IsShown()) continue;
    std::lock_guard spriteGuard(sprite->lock);
    const Rect area{sprite->rect.left, sprite->rect.top,
                    sprite->rect.left + static_cast<std::int32_t>(sprite->surface.width),
                    sprite->rect.top + static_cast<std::int32_t>(sprite->surface.height)};
    // Touching counts (edges included); Composite clips.
    if (area.right < tile.left || area.left > tile.right || area.bottom < tile.top || area.top > tile.bottom)
      continue;
    sprite->Composite(backBuffer, tile);
  }
  if (!active) {
    // An inactive window shows everything at half brightness.
    for (std::int32_t y = tile.top; y < tile.bottom; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(
          backBuffer.At(static_cast<std::uint32_t>(tile.left), static_cast<std::uint32_t>(y)));
      for (std::int32_t x = 0; x < tile.Width(); ++x) {
        row[x] = (row[x] & 0xFF000000u) | ((row[x] >> 1) & 0x007F7F7Fu);
      }
    }
  }
}

void CRenderWindow::BlitTile(const Rect& rect) {
  IWindowHost* host = WindowHost();
  std::lock_guard guard(windowLock);
  if (!host || backBuffer.IsEmpty() || rect.IsEmpty() || rect.left < 0 || rect.top < 0 ||
      rect.right > static_cast<std::int32_t>(backBuffer.width) ||
      rect.bottom > static_cast<std::int32_t>(backBuffer.height)) {
    return;
  }
  if (scale == 1.0) {
    host->BlitPixels({rect.left, rect.top}, {rect.Width(), rect.Height()},
                     reinterpret_cast<const std::uint32_t*>(backBuffer.At(
                         static_cast<std::uint32_t>(rect.left), static_cast<std::uint32_t>(rect.top))),
                     static_cast<std::int32_t>(backBuffer.width));
    return;
  }
  const std::int64_t pw = m_physicalWidth, ph = m_physicalHeight;
  const std::int64_t lw = m_logicalWidth, lh = m_logicalHeight;
  if (lw <= 0 || lh <= 0) return;
  const auto x0 = static_cast<std::int32_t>(rect.left * pw / lw);
  const auto x1 = static_cast<std::int32_t>(rect.right * pw / lw);
  const auto y0 = static_cast<std::int32_t>(rect.top * ph / lh);
  const auto y1 = static_cast<std::int32_t>(rect.bottom * ph / lh);
  const std::int32_t width = x1 - x0;
  const std::int32_t height = y1 - y0;
  if (width <= 0 || height <= 0) return;
  const auto side = static_cast<std::uint32_t>(
      std::max<std::int32_t>({static_cast<std::int32_t>(WindowTileMap::kTileSize * scale), width, height}));
  if (tileBlitBuffer.IsEmpty() || tileBlitBuffer.width < side) {
    if (!tileBlitBuffer.Create(side, side)) {
      tileBlitBuffer.Free();
      return;
    }
  }
  auto* buffer = reinterpret_cast<std::uint32_t*>(tileBlitBuffer.pixels);
  const auto stride = static_cast<std::int32_t>(tileBlitBuffer.width);
  if (scale == 2.0) {
    UpscaleTile2x(backBuffer, rect, buffer, width, height, stride);
  } else {
    UpscaleTile3Over2(backBuffer, rect, buffer, width, height, stride);
  }
  host->BlitPixels({x0, y0}, {width, height}, buffer, stride);
}

bool CRenderWindow::CopyBackBufferRect(const Rect& rect, CBgraImage& image) {
  std::lock_guard guard(windowLock);
  if (backBuffer.IsEmpty()) return false;
  const Rect clipped{std::max(rect.left, 0), std::max(rect.top, 0),
                     std::min<std::int32_t>(rect.right, static_cast<std::int32_t>(backBuffer.width)),
                     std::min<std::int32_t>(rect.bottom, static_cast<std::int32_t>(backBuffer.height))};
  if (clipped.IsEmpty()) return false;
  if (!image.Create(static_cast<std::uint32_t>(clipped.Width()),
                    static_cast<std::uint32_t>(clipped.Height()))) {
    return false;
  }
  for (std::int32_t y = 0; y < clipped.Height(); ++y) {
    std::memcpy(
        image.At(0, static_cast<std::uint32_t>(y)),
        backBuffer.At(static_cast<std::uint32_t>(clipped.left), static_cast<std::uint32_t>(clipped.top + y)),
        static_cast<std::size_t>(clipped.Width()) * 4);
  }
  return true;
}

// Effects and the progress indicator --------------------------------------

CSFadeEffect* CRenderWindow::StartFadeEffect(const Rect& rect, const CBgraImage& image) {
  auto* effect = new (std::nothrow) CSFadeEffect;
  if (!effect) return nullptr;
  CBgraImage copy;
  const bool exact = !image.IsEmpty() && static_cast<std::int64_t>(image.width) == rect.Width() &&
                     static_cast<std::int64_t>(image.height) == rect.Height();
  if (exact || CopyBackBufferRect(rect, copy)) {
    effect->SetSnapshot(exact ? image : copy, false);
    const Rect grown{rect.left - 10, rect.top - 10, rect.right + 10, rect.bottom + 10};
    if (!effect->snapshot.IsEmpty() && effect->Create(nullptr, this, 0, grown, kFadeEffectLayer)) {
      AddTopLevelSprite(effect, true);
      return effect;
    }
  }
  delete effect;
  return nullptr;
}

void CRenderWindow::SpawnClickWave() {
  IWindowHost* host = WindowHost();
  if (!host) return;
  const Point cursor = LogicalPoint(host->GetCursorPos());
  auto* wave = new (std::nothrow) CClickWave;
  if (!wave) return;
  if (!wave->Create(nullptr, this, 0, {cursor.x - 100, cursor.y - 100, cursor.x + 100, cursor.y + 100},
                    kClickWaveLayer)) {
    delete wave;
    return;
  }
  AddTopLevelSprite(wave, true);
}

void CRenderWindow::ShowProgress(const Rect& rect) {
  Rect place = rect;
  if (place.IsEmpty()) {
    const Size logical = LogicalSize();
    const std::int32_t side = 2 * (logical.height / 10);
    const std::int32_t left = (logical.width - side) / 2;
    const std::int32_t top = (logical.height - side) / 2;
    place = {left, top, left + side, top + side};
  }
  progress.SetSpriteRect(place.left, place.top, place.Width(), place.Height());
  progress.visible = 1;
  progress.dirty = 1;
  BeginWaitCursor();
}

void CRenderWindow::HideProgress() {
  progress.ForgetPercent();
  HideSprite(progress);
  EndWaitCursor();
}

// The window the frame works on ------------------------------------------------

Rect CRenderWindow::GetWindowRect() {
  IWindowHost* host = WindowHost();
  return host ? host->GetWindowRect() : Rect{};
}

Point CRenderWindow::GetCursorScreenPos() {
  IWindowHost* host = WindowHost();
  return host ? host->GetCursorScreenPos() : Point{};
}

void CRenderWindow::MoveWindow(const Rect& rect) {
  if (IWindowHost* host = WindowHost()) host->SetWindowRect(rect);
}

void CRenderWindow::ShowWindowState(WindowShow show) {
  if (IWindowHost* host = WindowHost()) host->ShowWindow(show);
}

// Refused only once the queue has shut down, when the window is closing anyway.
void CRenderWindow::RequestClose() { static_cast<void>(UiQueue().Post(WM_CLOSE)); }

Point CRenderWindow::PhysicalOffset(Point logical) {
  const std::int64_t pw = m_physicalWidth, ph = m_physicalHeight;
  const std::int64_t lw = m_logicalWidth, lh = m_logicalHeight;
  if (pw <= 0 || ph <= 0 || lw <= 0 || lh <= 0) return logical;
  return {static_cast<std::int32_t>(logical.x * pw / lw), static_cast<std::int32_t>(logical.y * ph / lh)};
}

void CRenderWindow::BeginWaitCursor() {
  ++m_waitCursor;
  SetWindowCursor(CursorShape::Wait);
}

void CRenderWindow::EndWaitCursor() {
  if (m_waitCursor > 0 && --m_waitCursor == 0) SetWindowCursor(CursorShape::Arrow);
}
