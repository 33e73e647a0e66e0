#pragma once
// Ignores the X errors of the requests made while it lives (a window of
// another program that went away), then puts the previous handler back. The
// handler is the process's; only the platform thread talks to the server.
// Platform layer only: it brings Xlib's macros.

#include <X11/Xlib.h>

class CX11ErrorTrap {
public:
  explicit CX11ErrorTrap(Display* display) : m_display(display), m_previous(XSetErrorHandler(&Ignore)) {}
  ~CX11ErrorTrap() {
    XSync(m_display, False);
    XSetErrorHandler(m_previous);
  }
  CX11ErrorTrap(const CX11ErrorTrap&) = delete;
  CX11ErrorTrap& operator=(const CX11ErrorTrap&) = delete;

private:
  static int Ignore(Display*, XErrorEvent*) { return 0; }
  Display* m_display;
  XErrorHandler m_previous;
};
