#include "tests/ui/e2e/FakeWindowManager.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <map>

namespace {

struct Atoms {
  explicit Atoms(Display* display)
      : state(XInternAtom(display, "_NET_WM_STATE", False)),
        vertical(XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_VERT", False)),
        horizontal(XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_HORZ", False)),
        check(XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False)),
        supported(XInternAtom(display, "_NET_SUPPORTED", False)),
        name(XInternAtom(display, "_NET_WM_NAME", False)),
        utf8(XInternAtom(display, "UTF8_STRING", False)) {}
  Atom state, vertical, horizontal, check, supported, name, utf8;
};

struct Place {
  int x = 0, y = 0;
  unsigned width = 0, height = 0;
};

}  // namespace

int RunFakeWindowManager(const char* readyFile) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 1;
  const Window root = DefaultRootWindow(display);
  const Atoms atoms(display);
  Window self = XCreateSimpleWindow(display, root, -10, -10, 1, 1, 0, 0, 0);
  XChangeProperty(display, root, atoms.check, XA_WINDOW, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&self), 1);
  XChangeProperty(display, self, atoms.check, XA_WINDOW, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&self), 1);
  XChangeProperty(display, self, atoms.name, atoms.utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>("fake"), 4);
  Atom supported[] = {atoms.state, atoms.vertical, atoms.horizontal};
  XChangeProperty(display, root, atoms.supported, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(supported), 3);
  XSelectInput(display, root, SubstructureNotifyMask);
  XSync(display, False);
  if (std::FILE* ready = std::fopen(readyFile, "w")) {
    std::fputs("wm ready\n", ready);
    std::fclose(ready);
  }

  std::map<Window, Place> restored;  // the maximised windows' old places
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type != ClientMessage || event.xclient.message_type != atoms.state) continue;
    const auto first = static_cast<Atom>(event.xclient.data.l[1]);
    if (first != atoms.vertical && first != atoms.horizontal) continue;
    const Window target = event.xclient.window;
    const long action = event.xclient.data.l[0];  // 0 remove, 1 add, 2 toggle
    const bool isMaximized = restored.count(target) != 0;
    const bool maximize = action == 2 ? !isMaximized : action == 1;
    if (maximize && !isMaximized) {
      Place place;
      Window ignoredRoot, child;
      unsigned border = 0, depth = 0;
      XGetGeometry(display, target, &ignoredRoot, &place.x, &place.y, &place.width, &place.height, &border,
                   &depth);
      XTranslateCoordinates(display, target, root, 0, 0, &place.x, &place.y, &child);
      restored[target] = place;
      XMoveResizeWindow(display, target, 0, 0,
                        static_cast<unsigned>(DisplayWidth(display, DefaultScreen(display))),
                        static_cast<unsigned>(DisplayHeight(display, DefaultScreen(display))));
      Atom state[] = {atoms.vertical, atoms.horizontal};
      XChangeProperty(display, target, atoms.state, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(state), 2);
    } else if (!maximize && isMaximized) {
      const Place place = restored[target];
      restored.erase(target);
      XMoveResizeWindow(display, target, place.x, place.y, place.width, place.height);
      XChangeProperty(display, target, atoms.state, XA_ATOM, 32, PropModeReplace, nullptr, 0);
    }
    XFlush(display);
  }
}

int RequestMaximizedState(unsigned long window, bool maximized) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 1;
  const Atoms atoms(display);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = atoms.state;
  event.xclient.format = 32;
  event.xclient.data.l[0] = maximized ? 1 : 0;
  event.xclient.data.l[1] = static_cast<long>(atoms.vertical);
  event.xclient.data.l[2] = static_cast<long>(atoms.horizontal);
  const Status sent = XSendEvent(display, DefaultRootWindow(display), False,
                                 SubstructureNotifyMask | SubstructureRedirectMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
  return sent ? 0 : 1;
}
