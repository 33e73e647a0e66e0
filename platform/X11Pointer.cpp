#include "platform/X11Pointer.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

PointerPosition QueryPointer(SDL_Window* window) {
  PointerPosition position;
  if (!window) return position;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11 &&
      info.info.x11.display) {
    ::Window root = 0, child = 0;
    unsigned int mask = 0;
    if (XQueryPointer(info.info.x11.display, info.info.x11.window, &root, &child, &position.screen.x,
                      &position.screen.y, &position.client.x, &position.client.y, &mask)) {
      return position;
    }
  }
  int wx = 0, wy = 0;
  SDL_GetGlobalMouseState(&position.screen.x, &position.screen.y);
  SDL_GetWindowPosition(window, &wx, &wy);
  position.client = {position.screen.x - wx, position.screen.y - wy};
  return position;
}
