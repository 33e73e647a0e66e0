#include "platform/SdlHost.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/CursorPicture.h"
#include "platform/DisplayDpi.h"
#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/X11Pointer.h"

namespace {

SDL_SystemCursor SystemCursorOf(CursorShape shape) {
  switch (shape) {
    case CursorShape::Arrow:
      return SDL_SYSTEM_CURSOR_ARROW;
    case CursorShape::IBeam:
      return SDL_SYSTEM_CURSOR_IBEAM;
    case CursorShape::Wait:
      return SDL_SYSTEM_CURSOR_WAIT;
    case CursorShape::Crosshair:
      return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case CursorShape::Hand:
      return SDL_SYSTEM_CURSOR_HAND;
    case CursorShape::SizeAll:
      return SDL_SYSTEM_CURSOR_SIZEALL;
    case CursorShape::SizeNS:
      return SDL_SYSTEM_CURSOR_SIZENS;
    case CursorShape::SizeWE:
      return SDL_SYSTEM_CURSOR_SIZEWE;
    case CursorShape::SizeNWSE:
      return SDL_SYSTEM_CURSOR_SIZENWSE;
    case CursorShape::SizeNESW:
      return SDL_SYSTEM_CURSOR_SIZENESW;
    case CursorShape::No:
      return SDL_SYSTEM_CURSOR_NO;
    case CursorShape::OpenHand:
      return SDL_SYSTEM_CURSOR_HAND;
    case CursorShape::Picker:
    case CursorShape::SelectPolygon:
    case CursorShape::SelectPolygonAdd:
    case CursorShape::SelectPolygonSubtract:
    case CursorShape::SelectClose:
    case CursorShape::SelectDrag:
    case CursorShape::SelectDragAdd:
    case CursorShape::SelectDragSubtract:
      return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case CursorShape::NewRect:
      return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case CursorShape::PreviousPhoto:
    case CursorShape::NextPhoto:
      return SDL_SYSTEM_CURSOR_ARROW;
    case CursorShape::Rotate:
      return SDL_SYSTEM_CURSOR_SIZEALL;
    case CursorShape::Count:
      break;
  }
  return SDL_SYSTEM_CURSOR_ARROW;
}

// A cursor from the program's own two-colour picture, or null when the shape
// has none. SDL's bits: data 1 mask 1 black, data 0 mask 1 white, both 0
// transparent, data 1 mask 0 inverted.
[[nodiscard]] SDL_Cursor* CreatePictureCursor(CursorShape shape) {
  MonochromeCursor picture;
  if (!GetCursorPicture(shape, picture)) return nullptr;
  std::array<Uint8, 128> data{};
  std::array<Uint8, 128> mask{};
  for (std::size_t i = 0; i < data.size(); ++i) {
    mask[i] = static_cast<Uint8>(~picture.andMask[i]);
    data[i] = static_cast<Uint8>(~(picture.andMask[i] ^ picture.xorMask[i]));
  }
  return SDL_CreateCursor(data.data(), mask.data(), MonochromeCursor::kSide, MonochromeCursor::kSide,
                          picture.hotSpot.x, picture.hotSpot.y);
}

Rect Intersect(const Rect& a, const Rect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

Rect Union(const Rect& a, const Rect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

}  // namespace

CSdlHost::CSdlHost() : m_platformThread(std::this_thread::get_id()) {}

CSdlHost::~CSdlHost() = default;

void CSdlHost::Wake() {
  { std::lock_guard lock(m_commandMutex); }
  m_commandReady.notify_all();
  if (m_videoReady.load() && !m_wakePending.exchange(true)) {
    SDL_Event event{};
    event.type = m_wakeEvent;
    if (SDL_PushEvent(&event) != 1) m_wakePending.store(false);
  }
}

void CSdlHost::Call(std::function<void()> task, bool wait) {
  if (std::this_thread::get_id() == m_platformThread) {
    task();
    return;
  }
  if (!wait) {
    {
      std::lock_guard lock(m_commandMutex);
      if (m_ended) return;
      m_commands.push_back(std::move(task));
    }
    Wake();
    return;
  }
  std::mutex doneMutex;
  std::condition_variable doneReady;
  bool done = false;
  {
    std::lock_guard lock(m_commandMutex);
    if (m_ended) return;
    m_commands.push_back([&] {
      task();
      std::lock_guard doneLock(doneMutex);
      done = true;
      doneReady.notify_all();
    });
  }
  Wake();
  std::unique_lock doneLock(doneMutex);
  doneReady.wait(doneLock, [&] { return done; });
}

void CSdlHost::RequestExit() {
  {
    std::lock_guard lock(m_commandMutex);
    m_exitRequested = true;
  }
  Wake();
}

void CSdlHost::Run() {
  for (;;) {
    std::deque<std::function<void()>> tasks;
    {
      std::unique_lock lock(m_commandMutex);
      if (!m_videoReady.load()) {
        m_commandReady.wait(lock, [&] { return !m_commands.empty() || m_exitRequested; });
      }
      tasks.swap(m_commands);
      if (tasks.empty() && m_exitRequested) {
        m_ended = true;
        break;
      }
    }
    for (auto& task : tasks) task();
    if (!tasks.empty()) continue;
    if (m_presentPending.exchange(false)) PresentPicture(false);
    if (m_videoReady.load()) {
      SDL_Event event;
      if (SDL_WaitEventTimeout(&event, 100)) {
        do {
          HandleEvent(event);
        } while (SDL_PollEvent(&event));
      }
    }
  }

  m_hasWindow.store(false);
  m_clipboard.SetWindow(nullptr);
  for (SDL_Cursor*& cursor : m_cursors) {
    if (cursor) SDL_FreeCursor(cursor);
    cursor = nullptr;
  }
  if (m_window) SDL_DestroyWindow(m_window);
  m_window = nullptr;
  if (m_videoReady.exchange(false)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  SDL_Quit();
}

bool CSdlHost::InitVideo() {
  if (m_videoReady.load()) return true;
  // Signals keep their default meaning (SIGTERM ends the program without a
  // question), and closing the window is the interface's decision.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  SDL_SetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_RADIUS, "4");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  // The window, the clipboard and the pointer work through X11. Without an X
  // display SDL would fall back to an offscreen or console driver whose
  // window nobody sees; the start must fail instead. SDL_VIDEODRIVER in the
  // environment still decides.
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
  // Input methods draw their own candidate and composition windows, and a
  // long composition arrives whole (SDL_TEXTEDITING_EXT, freed by the
  // event handler).
  SDL_SetHint(SDL_HINT_IME_SHOW_UI, "1");
  SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  m_wakeEvent = SDL_RegisterEvents(1);
  if (m_wakeEvent == static_cast<std::uint32_t>(-1)) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  SDL_SetEventFilter(&CSdlHost::FilterEvent, this);
  m_videoReady.store(true);
  return true;
}

int CSdlHost::CreateMainWindow(const WindowOptions& options) {
  int result = 0;
  Call(
      [&] {
        if (m_window) {
          SDL_ShowWindow(m_window);
          result = 1;
          return;
        }
        if (!InitVideo()) return;
        m_dpi.store(QueryDisplayDpi());
        const std::string title = ToUtf8(options.title);
        m_window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                    std::max(options.size.width, 1), std::max(options.size.height, 1),
                                    SDL_WINDOW_BORDERLESS | SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
        if (!m_window) return;
        if (options.minimumSize.width > 0 && options.minimumSize.height > 0) {
          SDL_SetWindowMinimumSize(m_window, options.minimumSize.width, options.minimumSize.height);
        }
        Size size;
        SDL_GetWindowSize(m_window, &size.width, &size.height);
        OnClientResized(size);
        m_translator.SetClientSize(size);
        SDL_ShowWindow(m_window);
        if (options.maximized) SDL_MaximizeWindow(m_window);
        // SDL turns text input on with the video; it stays off until an edit
        // field or the text tool takes the focus.
        ApplyTextInput();
        m_clipboard.SetWindow(m_window);
        m_hasWindow.store(true);
        result = 1;
      },
      true);
  return result;
}

void CSdlHost::DestroyMainWindow() {
  Call(
      [this] {
        m_hasWindow.store(false);
        m_clipboard.SetWindow(nullptr);
        if (m_window) SDL_DestroyWindow(m_window);
        m_window = nullptr;
      },
      true);
}

void CSdlHost::SetTitle(const std::u16string& title) {
  Call(
      [this, text = ToUtf8(title)] {
        if (m_window) SDL_SetWindowTitle(m_window, text.c_str());
      },
      false);
}

void CSdlHost::SetIcon(Size size, const std::uint32_t* pixels) {
  if (!pixels || size.width <= 0 || size.height <= 0) return;
  std::vector<std::uint32_t> copy(pixels, pixels + static_cast<std::size_t>(size.width) * size.height);
  Call(
      [this, size, copy = std::move(copy)]() mutable {
        if (!m_window) return;
        // BGRA bytes are ARGB words on a little-endian machine.
        SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(copy.data(), size.width, size.height, 32,
                                                               size.width * 4, SDL_PIXELFORMAT_ARGB8888);
        if (!icon) return;
        SDL_SetWindowIcon(m_window, icon);
        SDL_FreeSurface(icon);
      },
      false);
}

void CSdlHost::SetMinimumSize(Size size) {
  Call(
      [this, size] {
        if (m_window) SDL_SetWindowMinimumSize(m_window, size.width, size.height);
      },
      false);
}

void CSdlHost::ShowWindow(WindowShow show) {
  Call(
      [this, show] {
        if (!m_window) return;
        switch (show) {
          case WindowShow::Normal:
            SDL_ShowWindow(m_window);
            SDL_RestoreWindow(m_window);
            break;
          case WindowShow::Maximized:
            SDL_ShowWindow(m_window);
            SDL_MaximizeWindow(m_window);
            break;
          case WindowShow::Minimized:
            SDL_MinimizeWindow(m_window);
            break;
          case WindowShow::Hidden:
            SDL_HideWindow(m_window);
            break;
        }
      },
      false);
}

Rect CSdlHost::GetWindowRect() {
  Rect rect;
  Call(
      [&] {
        if (!m_window) return;
        int x = 0, y = 0, w = 0, h = 0;
        SDL_GetWindowPosition(m_window, &x, &y);
        SDL_GetWindowSize(m_window, &w, &h);
        rect = {x, y, x + w, y + h};
      },
      true);
  return rect;
}

void CSdlHost::SetWindowRect(const Rect& rect) {
  Call(
      [this, rect] {
        if (!m_window || rect.IsEmpty()) return;
        SDL_SetWindowPosition(m_window, rect.left, rect.top);
        SDL_SetWindowSize(m_window, rect.Width(), rect.Height());
      },
      false);
}

Size CSdlHost::GetClientSize() const { return {m_clientWidth.load(), m_clientHeight.load()}; }

Point CSdlHost::QueryCursor() const { return QueryPointer(m_window).client; }

Point CSdlHost::GetCursorPos() {
  Point point;
  Call([&] { point = QueryCursor(); }, true);
  return point;
}

Point CSdlHost::GetCursorScreenPos() {
  Point point;
  Call(
      [&] {
        if (m_videoReady.load()) point = QueryPointer(m_window).screen;
      },
      true);
  return point;
}

void CSdlHost::SetCursor(CursorShape shape) {
  const int index = static_cast<int>(shape);
  if (index < 0 || index >= static_cast<int>(CursorShape::Count)) return;
  if (m_cursorShape.exchange(index) == index) return;
  Call(
      [this, index, shape] {
        if (!m_videoReady.load()) return;
        SDL_Cursor*& cursor = m_cursors[static_cast<std::size_t>(index)];
        if (!cursor) cursor = CreatePictureCursor(shape);
        if (!cursor) cursor = SDL_CreateSystemCursor(SystemCursorOf(shape));
        if (cursor) SDL_SetCursor(cursor);
      },
      false);
}

void CSdlHost::SetCapture(bool capture) {
  Call(
      [this, capture] {
        if (m_window) SDL_CaptureMouse(capture ? SDL_TRUE : SDL_FALSE);
      },
      false);
}

void CSdlHost::SetTextInputRect(const Rect& rect) {
  Call(
      [this, rect] {
        if (!m_window) return;
        SDL_Rect r{rect.left, rect.top, rect.Width(), rect.Height()};
        SDL_SetTextInputRect(&r);
      },
      false);
}

void CSdlHost::SetTextInputActive(bool active) {
  Call(
      [this, active] {
        m_textInputActive = active;
        ApplyTextInput();
      },
      false);
}

void CSdlHost::ApplyTextInput() {
  if (!m_videoReady.load()) return;
  if (m_textInputActive) {
    SDL_StartTextInput();
  } else {
    SDL_StopTextInput();
  }
}

void CSdlHost::OnClientResized(Size size) {
  size.width = std::max(size.width, 0);
  size.height = std::max(size.height, 0);
  {
    std::lock_guard lock(m_pictureMutex);
    if (size != m_pictureSize) {
      std::vector<std::uint32_t> picture(static_cast<std::size_t>(size.width) * size.height, 0);
      const std::int32_t w = std::min(size.width, m_pictureSize.width);
      const std::int32_t h = std::min(size.height, m_pictureSize.height);
      for (std::int32_t y = 0; y < h; ++y) {
        std::copy_n(m_picture.begin() + static_cast<std::ptrdiff_t>(y) * m_pictureSize.width, w,
                    picture.begin() + static_cast<std::ptrdiff_t>(y) * size.width);
      }
      m_picture.swap(picture);
      m_pictureSize = size;
    }
    m_dirty = {0, 0, size.width, size.height};
  }
  m_clientWidth.store(size.width);
  m_clientHeight.store(size.height);
}

void CSdlHost::BlitPixels(Point destination, Size size, const std::uint32_t* pixels, std::int32_t stride) {
  if (!pixels) return;
  std::lock_guard lock(m_pictureMutex);
  const Rect target =
      Intersect({destination.x, destination.y, destination.x + size.width, destination.y + size.height},
                {0, 0, m_pictureSize.width, m_pictureSize.height});
  if (target.IsEmpty()) return;
  for (std::int32_t y = target.top; y < target.bottom; ++y) {
    const std::uint32_t* source =
        pixels + static_cast<std::ptrdiff_t>(y - destination.y) * stride + (target.left - destination.x);
    std::copy_n(source, target.Width(),
                m_picture.begin() + static_cast<std::ptrdiff_t>(y) * m_pictureSize.width + target.left);
  }
  m_dirty = Union(m_dirty, target);
}

void CSdlHost::Present() {
  m_presentPending.store(true);
  Wake();
}

void CSdlHost::PresentPicture(bool whole) {
  if (!m_window) return;
  SDL_Surface* surface = SDL_GetWindowSurface(m_window);
  if (!surface) return;
  std::lock_guard lock(m_pictureMutex);
  Rect area = whole ? Rect{0, 0, m_pictureSize.width, m_pictureSize.height} : m_dirty;
  m_dirty = {};
  area = Intersect(
      area, {0, 0, std::min(surface->w, m_pictureSize.width), std::min(surface->h, m_pictureSize.height)});
  if (area.IsEmpty()) return;
  if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
  const std::uint32_t format = surface->format->format;
  const std::uint32_t* source =
      m_picture.data() + static_cast<std::ptrdiff_t>(area.top) * m_pictureSize.width + area.left;
  auto* target = static_cast<std::uint8_t*>(surface->pixels) +
                 static_cast<std::ptrdiff_t>(area.top) * surface->pitch +
                 static_cast<std::ptrdiff_t>(area.left) * 4;
  if (format == SDL_PIXELFORMAT_ARGB8888 || format == SDL_PIXELFORMAT_RGB888) {
    // B, G, R, A in memory on a little-endian machine: the sprites' layout.
    for (std::int32_t y = 0; y < area.Height(); ++y) {
      std::memcpy(target + static_cast<std::ptrdiff_t>(y) * surface->pitch,
                  source + static_cast<std::ptrdiff_t>(y) * m_pictureSize.width,
                  static_cast<std::size_t>(area.Width()) * 4);
    }
  } else if (surface->format->BytesPerPixel == 4) {
    SDL_ConvertPixels(area.Width(), area.Height(), SDL_PIXELFORMAT_ARGB8888, source, m_pictureSize.width * 4,
                      format, target, surface->pitch);
  }
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  const SDL_Rect updated{area.left, area.top, area.Width(), area.Height()};
  SDL_UpdateWindowSurfaceRects(m_window, &updated, 1);
}

int CSdlHost::FilterEvent(void* host, SDL_Event* event) {
  if (event->type != SDL_SYSWMEVENT) return 1;
  static_cast<CSdlHost*>(host)->m_clipboard.OnSystemEvent(*event);
  return 0;
}

void CSdlHost::HandleEvent(SDL_Event& event) {
  if (event.type == m_wakeEvent) {
    m_wakePending.store(false);
    return;
  }
  Point cursor;
  if (event.type == SDL_WINDOWEVENT && m_window) {
    const Uint32 flags = SDL_GetWindowFlags(m_window);
    m_translator.SetWindowState((flags & SDL_WINDOW_MAXIMIZED) != 0, (flags & SDL_WINDOW_MINIMIZED) != 0);
  }
  if (event.type == SDL_WINDOWEVENT) {
    if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
      OnClientResized({event.window.data1, event.window.data2});
    } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
      PresentPicture(true);
    }
  } else if (event.type == SDL_DROPCOMPLETE) {
    cursor = QueryCursor();
  }
  // Refused only once the queue has shut down; nobody reads input then.
  for (UiMessage& message : m_translator.Translate(event, cursor))
    static_cast<void>(UiQueue().PushInput(std::move(message)));
  if (event.type == SDL_DROPFILE || event.type == SDL_DROPTEXT) SDL_free(event.drop.file);
  if (event.type == SDL_TEXTEDITING_EXT) SDL_free(event.editExt.text);
}
