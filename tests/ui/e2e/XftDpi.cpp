#include "tests/ui/e2e/XftDpi.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <string>

int SetXftDpiResource(int dpi) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 2;
  const std::string resources = "Xft.dpi:\t" + std::to_string(dpi) + "\n";
  XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(resources.data()),
                  static_cast<int>(resources.size()));
  XSync(display, False);
  XCloseDisplay(display);
  return 0;
}
