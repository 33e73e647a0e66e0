#include "tests/ui/e2e/SilentOwner.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <thread>

int RunSilentClipboardOwner() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 2;
  const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False), window, CurrentTime);
  XSync(display, False);
  std::puts("owner");
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::seconds(60));
  XCloseDisplay(display);
  return 0;
}
