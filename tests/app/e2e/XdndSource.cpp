// A drag-and-drop source for the end-to-end tests: drops files on the
// window under a point of the screen the way a file manager does, through
// the X drag-and-drop protocol (version 5) with the files as a
// "text/uri-list". The pointer should already rest on the point: the
// receiver may read it there.
//
//   xdnd_source X Y FILE...
//
// Exit status 0 when the target accepted and finished the drop, 1 when it
// refused it or did not answer within 10 s, 2 on bad arguments or without
// a display.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace {

constexpr long kVersion = 5;

struct Atoms {
  Atom aware, enter, position, status, drop, finished, selection, actionCopy, uriList;
};

// The topmost window at the root point that announces itself as a drop
// target, walking down from the root; None when there is none.
Window FindTarget(Display* display, Atom aware, int x, int y) {
  Window window = DefaultRootWindow(display);
  Window found = None;
  for (int depth = 0; depth < 16; ++depth) {
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, aware, 0, 1, False, AnyPropertyType, &type, &format, &items,
                           &after, &data) == Success &&
        type != None) {
      found = window;
    }
    if (data) XFree(data);
    Window child = None;
    int cx = 0, cy = 0;
    if (!XTranslateCoordinates(display, DefaultRootWindow(display), window, x, y, &cx, &cy, &child) ||
        child == None) {
      break;
    }
    window = child;
  }
  return found;
}

void Send(Display* display, Window target, Atom type, long l0, long l1, long l2, long l3, long l4) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.display = display;
  event.xclient.window = target;
  event.xclient.message_type = type;
  event.xclient.format = 32;
  event.xclient.data.l[0] = l0;
  event.xclient.data.l[1] = l1;
  event.xclient.data.l[2] = l2;
  event.xclient.data.l[3] = l3;
  event.xclient.data.l[4] = l4;
  XSendEvent(display, target, False, NoEventMask, &event);
  XFlush(display);
}

std::string UriList(int count, char** files) {
  std::string list;
  for (int i = 0; i < count; ++i) {
    list += "file://";
    for (const unsigned char c : std::filesystem::absolute(files[i]).string()) {
      if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
        list += static_cast<char>(c);
      } else {
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "%%%02X", c);
        list += escaped;
      }
    }
    list += "\r\n";
  }
  return list;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: xdnd_source X Y FILE...\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 2;
  const int x = std::atoi(argv[1]), y = std::atoi(argv[2]);
  const std::string uris = UriList(argc - 3, argv + 3);
  const Atoms atoms{
      XInternAtom(display, "XdndAware", False),     XInternAtom(display, "XdndEnter", False),
      XInternAtom(display, "XdndPosition", False),  XInternAtom(display, "XdndStatus", False),
      XInternAtom(display, "XdndDrop", False),      XInternAtom(display, "XdndFinished", False),
      XInternAtom(display, "XdndSelection", False), XInternAtom(display, "XdndActionCopy", False),
      XInternAtom(display, "text/uri-list", False)};
  const Window target = FindTarget(display, atoms.aware, x, y);
  if (target == None) {
    std::fprintf(stderr, "no drop target at %d, %d\n", x, y);
    return 1;
  }
  const Window source = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(display, atoms.selection, source, CurrentTime);
  const auto src = static_cast<long>(source);
  Send(display, target, atoms.enter, src, kVersion << 24, static_cast<long>(atoms.uriList), 0, 0);
  Send(display, target, atoms.position, src, 0, (static_cast<long>(x) << 16) | y, CurrentTime,
       static_cast<long>(atoms.actionCopy));

  bool dropped = false, accepted = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (!XPending(display)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == ClientMessage && event.xclient.message_type == atoms.status && !dropped) {
      accepted = (event.xclient.data.l[1] & 1) != 0;
      if (!accepted) break;
      Send(display, target, atoms.drop, src, 0, CurrentTime, 0, 0);
      dropped = true;
    } else if (event.type == SelectionRequest) {
      const XSelectionRequestEvent& request = event.xselectionrequest;
      XEvent reply{};
      reply.xselection.type = SelectionNotify;
      reply.xselection.requestor = request.requestor;
      reply.xselection.selection = request.selection;
      reply.xselection.target = request.target;
      reply.xselection.time = request.time;
      reply.xselection.property = None;
      if (request.target == atoms.uriList) {
        XChangeProperty(display, request.requestor, request.property, atoms.uriList, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(uris.data()), static_cast<int>(uris.size()));
        reply.xselection.property = request.property;
      }
      XSendEvent(display, request.requestor, False, NoEventMask, &reply);
      XFlush(display);
    } else if (event.type == ClientMessage && event.xclient.message_type == atoms.finished) {
      XDestroyWindow(display, source);
      XCloseDisplay(display);
      return 0;
    }
  }
  std::fprintf(stderr, accepted ? "the drop did not finish\n" : "the drop was refused or not answered\n");
  XCloseDisplay(display);
  return 1;
}
