#pragma once
// Where the pointer is, on the screen and relative to the window. Under X11
// the server is asked (SDL's global mouse position may be one it cached
// since the pointer last moved over a window of ours); elsewhere SDL
// answers. Kept apart because Xlib's macros clash with our names. Platform
// thread.

#include "platform/Rect.h"

struct SDL_Window;

struct PointerPosition {
  Point screen;
  Point client;  // relative to the window's client area
};

PointerPosition QueryPointer(SDL_Window* window);
