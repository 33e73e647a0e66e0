#pragma once
// The window without a display, for tests. While it lives it is the window
// host, the clock is a fake one that only AdvanceClock moves, and the calling
// thread reads the UI queue. Tests push input through the same message
// builder the real window uses, run the queue (UiQueue().RunUntilIdle()),
// and read back what the render thread presented.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/InputBuilder.h"
#include "platform/MemoryClipboard.h"
#include "platform/WindowHost.h"

class CHeadlessHost final : public IWindowHost {
public:
  // The fake clock starts at startMs (non-zero: a frame time of 0 means
  // "repaint everything" to the sprites).
  explicit CHeadlessHost(Size clientSize = {1024, 768}, int dpi = 96, std::uint64_t startMs = 100000);
  ~CHeadlessHost() override;
  CHeadlessHost(const CHeadlessHost&) = delete;
  CHeadlessHost& operator=(const CHeadlessHost&) = delete;

  // IWindowHost.
  [[nodiscard]] int CreateMainWindow(const WindowOptions& options) override;
  void DestroyMainWindow() override;
  bool HasWindow() const override;
  void SetTitle(const std::u16string& title) override;
  void SetMinimumSize(Size size) override;
  void ShowWindow(WindowShow show) override;
  Rect GetWindowRect() override;
  void SetWindowRect(const Rect& rect) override;
  Size GetClientSize() const override;
  Point GetCursorPos() override;
  void SetCursor(CursorShape shape) override;
  void SetCapture(bool capture) override;
  void SetTextInputRect(const Rect& rect) override;
  void SetTextInputActive(bool active) override;
  int GetDpi() const override { return m_dpi; }
  // The clipboard in memory; tests also act as another program through it.
  CMemoryClipboard* Clipboard() override { return &m_clipboard; }
  void BlitPixels(Point destination, Size size, const std::uint32_t* pixels, std::int32_t stride) override;
  void Present() override;

  // Time: moves the fake clock and wakes a waiting UI thread.
  void AdvanceClock(std::uint64_t ms);

  // Input, queued as the real window queues it.
  void MouseMove(Point point);
  void MouseDown(MouseButton button, Point point);
  void MouseUp(MouseButton button, Point point);
  void DoubleClick(MouseButton button, Point point);  // down, up, double-click, up
  void Click(MouseButton button, Point point);
  void Wheel(Point point, std::int32_t delta);
  void KeyDown(std::uint32_t virtualKey, bool repeat = false);
  void KeyUp(std::uint32_t virtualKey);
  void KeyPress(std::uint32_t virtualKey);
  void TypeText(std::u16string_view text);
  void DropFiles(Point point, std::vector<std::filesystem::path> files);
  void Activate(bool active);
  // Resizes the client area and queues WM_SIZE.
  void Resize(Size clientSize);
  void RequestClose();

  // What was presented last, one BGRA value per physical client pixel.
  std::vector<std::uint32_t> PresentedScreen() const;
  std::uint32_t PresentedPixel(Point point) const;
  int PresentCount() const;
  CursorShape Cursor() const;
  bool Captured() const;
  std::u16string Title() const;
  WindowShow Show() const;
  // What the interface asked of text input: typing itself is queued by
  // TypeText either way.
  bool TextInputActive() const;
  Rect TextInputRect() const;

private:
  void Push(UiMessage message);

  const int m_dpi;
  mutable std::mutex m_mutex;
  CInputBuilder m_input;
  Point m_cursor;
  bool m_window = false;
  std::u16string m_title;
  Size m_client;
  Size m_minimum;
  Rect m_windowRect;
  WindowShow m_show = WindowShow::Hidden;
  CursorShape m_cursorShape = CursorShape::Arrow;
  bool m_capture = false;
  Rect m_textInputRect;
  bool m_textInputActive = false;
  std::vector<std::uint32_t> m_drawing;    // what the render thread blits into
  std::vector<std::uint32_t> m_presented;  // the screen after the last Present
  int m_presentCount = 0;
  CMemoryClipboard m_clipboard;
};
