#pragma once
// The one native window, as the interface code sees it. The real back end
// (CSdlHost) performs every request on the platform thread; the headless back
// end (CHeadlessHost) keeps the window in memory. Requests come from the UI
// thread; the frame calls (BlitPixels, Present) from the render thread.
// Requests that return an answer wait for the platform thread.

#include <cstdint>
#include <string>

#include "platform/Rect.h"

class IClipboard;

enum class CursorShape : std::uint8_t {
  Arrow,
  IBeam,
  Wait,
  Crosshair,
  Hand,
  SizeAll,
  SizeNS,
  SizeWE,
  SizeNWSE,
  SizeNESW,
  No,
  OpenHand,       // the program's own picture (DefineCursorPicture), else the system hand
  Picker,         // the program's own picture of a colour picker, else the crosshair
  NewRect,        // the program's own picture for drawing a new rectangle, else the crosshair
  PreviousPhoto,  // the program's arrow to the left, else the arrow
  NextPhoto,      // the program's arrow to the right, else the arrow
  Rotate,         // the program's own rotate picture, else the four-way arrow
  // The selection tools' own pictures (a crosshair when missing): click by
  // click for a new, added or subtracted area, on the polygon's first point,
  // and dragged for a new, added or subtracted area.
  SelectPolygon,
  SelectPolygonAdd,
  SelectPolygonSubtract,
  SelectClose,
  SelectDrag,
  SelectDragAdd,
  SelectDragSubtract,
  Count,
};

enum class WindowShow : std::uint8_t { Normal, Maximized, Minimized, Hidden };

struct WindowOptions {
  std::u16string title;
  Size size{1280, 800};    // client size when not maximised
  Size minimumSize{0, 0};  // 0 = no minimum
  bool maximized = true;
};

class IWindowHost {
public:
  virtual ~IWindowHost() = default;

  // Opens the borderless, resizable window; 1 on success, 0 when no display
  // can be had. A second call only shows the window again.
  [[nodiscard]] virtual int CreateMainWindow(const WindowOptions& options) = 0;
  virtual void DestroyMainWindow() = 0;
  virtual bool HasWindow() const = 0;

  virtual void SetTitle(const std::u16string& title) = 0;
  // The window's icon for the task bar and the window list: BGRA pixels,
  // straight alpha, rows of size.width pixels. The host keeps a copy.
  virtual void SetIcon(Size size, const std::uint32_t* pixels) = 0;
  virtual void SetMinimumSize(Size size) = 0;
  virtual void ShowWindow(WindowShow show) = 0;
  // The window's outer rectangle on the screen.
  virtual Rect GetWindowRect() = 0;
  virtual void SetWindowRect(const Rect& rect) = 0;
  // Client size in physical pixels; cheap (kept up to date by size events),
  // the render thread reads it every frame.
  virtual Size GetClientSize() const = 0;
  // The cursor position in physical client pixels (may lie outside).
  virtual Point GetCursorPos() = 0;
  // The cursor position in physical screen pixels, the coordinates of
  // GetWindowRect. The default adds the two answers above; a host that can
  // ask for it at once overrides it.
  virtual Point GetCursorScreenPos() {
    const Rect window = GetWindowRect();
    const Point client = GetCursorPos();
    return {window.left + client.x, window.top + client.y};
  }
  virtual void SetCursor(CursorShape shape) = 0;
  // Mouse capture: while on, the window keeps getting mouse events when the
  // pointer leaves it.
  virtual void SetCapture(bool capture) = 0;
  // Where the text being typed is shown, for input methods (physical pixels).
  virtual void SetTextInputRect(const Rect& rect) = 0;
  // Typing gives characters (and opens input methods) only while text input
  // is on; keys arrive either way. Off until asked for.
  virtual void SetTextInputActive(bool active) = 0;
  // Logical pixels per inch of the display: Xft.dpi, 96 when absent, or the
  // TESSERA_DPI environment variable.
  virtual int GetDpi() const = 0;
  // The system clipboard; null when the host has none.
  virtual IClipboard* Clipboard() { return nullptr; }

  // Frames. BlitPixels copies BGRA pixels (rows of stride pixels) into the
  // window's picture at a physical client position, clipped to the client
  // area; Present shows what was blitted since the last Present.
  virtual void BlitPixels(Point destination, Size size, const std::uint32_t* pixels, std::int32_t stride) = 0;
  virtual void Present() = 0;
};

// The host the interface code talks to; null when none runs. Set by
// RunPlatform or by a CHeadlessHost for its lifetime.
IWindowHost* WindowHost();
void SetWindowHost(IWindowHost* host);

// Conveniences for code that may run without a host (they do nothing then).
void SetWindowCursor(CursorShape shape);
