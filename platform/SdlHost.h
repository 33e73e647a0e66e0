#pragma once
// The real window host: SDL2 on the platform thread (the process's main
// thread). The platform thread initialises SDL when the first window is
// asked for, pumps SDL events into the UI queue, performs every request of
// the UI thread and presents the frames the render thread blits. It never
// waits for the other threads. Only the platform layer includes this header.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/SdlClipboard.h"
#include "platform/SdlEventTranslator.h"
#include "platform/WindowHost.h"

class CSdlHost final : public IWindowHost {
public:
  CSdlHost();
  ~CSdlHost() override;
  CSdlHost(const CSdlHost&) = delete;
  CSdlHost& operator=(const CSdlHost&) = delete;

  // The platform thread's loop; returns after RequestExit, with the window
  // destroyed and SDL shut down.
  void Run();
  // Any thread: ends Run once the requests queued before it are done.
  void RequestExit();
  // Runs task on the platform thread; waits for it when wait is set. Does
  // nothing once Run has ended (a waiting caller returns at once).
  void Call(std::function<void()> task, bool wait);

  // IWindowHost.
  [[nodiscard]] int CreateMainWindow(const WindowOptions& options) override;
  void DestroyMainWindow() override;
  bool HasWindow() const override { return m_hasWindow.load(); }
  void SetTitle(const std::u16string& title) override;
  void SetMinimumSize(Size size) override;
  void ShowWindow(WindowShow show) override;
  Rect GetWindowRect() override;
  void SetWindowRect(const Rect& rect) override;
  Size GetClientSize() const override;
  Point GetCursorPos() override;
  Point GetCursorScreenPos() override;
  void SetCursor(CursorShape shape) override;
  void SetCapture(bool capture) override;
  void SetTextInputRect(const Rect& rect) override;
  void SetTextInputActive(bool active) override;
  int GetDpi() const override { return m_dpi.load(); }
  IClipboard* Clipboard() override { return &m_clipboard; }
  void BlitPixels(Point destination, Size size, const std::uint32_t* pixels, std::int32_t stride) override;
  void Present() override;

private:
  // Platform thread only.
  [[nodiscard]] bool InitVideo();
  void HandleEvent(SDL_Event& event);
  void OnClientResized(Size size);
  void PresentPicture(bool whole);
  Point QueryCursor() const;
  void Wake();
  // Starts or stops SDL's text input to match m_textInputActive.
  void ApplyTextInput();
  // SDL's event filter: X events (SDL_SYSWMEVENT) go to the clipboard
  // and no further; every other event passes. Any thread may push events.
  static int FilterEvent(void* host, SDL_Event* event);

  std::thread::id m_platformThread;
  std::mutex m_commandMutex;
  std::condition_variable m_commandReady;
  std::deque<std::function<void()>> m_commands;
  bool m_exitRequested = false;
  bool m_ended = false;

  std::atomic<bool> m_videoReady{false};
  std::atomic<bool> m_wakePending{false};
  std::uint32_t m_wakeEvent = 0;
  SDL_Window* m_window = nullptr;
  std::array<SDL_Cursor*, static_cast<std::size_t>(CursorShape::Count)> m_cursors{};
  CSdlEventTranslator m_translator;
  CSdlClipboard m_clipboard{*this};

  std::atomic<bool> m_hasWindow{false};
  std::atomic<int> m_dpi{96};
  std::atomic<std::int32_t> m_clientWidth{0};
  std::atomic<std::int32_t> m_clientHeight{0};
  std::atomic<int> m_cursorShape{-1};
  bool m_textInputActive = false;  // platform thread

  // The window's picture: the render thread blits into it, the platform
  // thread copies the changed part to the window when a frame is presented.
  mutable std::mutex m_pictureMutex;
  std::vector<std::uint32_t> m_picture;
  Size m_pictureSize;
  Rect m_dirty;
  std::atomic<bool> m_presentPending{false};
};
