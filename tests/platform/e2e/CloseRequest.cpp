#include "tests/platform/e2e/CloseRequest.h"

#include <X11/Xlib.h>

#include <cstring>

int SendCloseRequest(unsigned long window) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 2;
  XEvent event;
  std::memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
  XCloseDisplay(display);
  return sent ? 0 : 2;
}
