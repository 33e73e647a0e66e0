#pragma once
// IWindowOperations: what the window frame does to the native window: it
// reads the window's rectangle and the cursor, moves and sizes the window,
// changes its state and asks it to close. The render window implements it
// over the window host; tests give the frame a fake.

#include "platform/Rect.h"
#include "platform/WindowHost.h"

class IWindowOperations {
public:
  // The window's outer rectangle and the cursor, in physical screen pixels.
  virtual Rect GetWindowRect() = 0;
  virtual Point GetCursorScreenPos() = 0;
  // Moves and sizes the window (physical screen pixels); it repaints.
  virtual void MoveWindow(const Rect& rect) = 0;
  virtual void ShowWindowState(WindowShow show) = 0;
  // As the system's close command: the window receives WM_CLOSE.
  virtual void RequestClose() = 0;
  // A distance in the window's logical pixels, in physical pixels.
  virtual Point PhysicalOffset(Point logical) = 0;

protected:
  ~IWindowOperations() = default;
};
