// A window of another program for the end-to-end drag tests: a plain SDL2
// window that takes dropped files, as many programs do, and writes what
// arrives to standard output, one line each, flushed:
//
//   ready              the window is shown
//   file PATH          a dropped file
//   complete           the end of a drop
//
//   sdl_drop_target X Y WIDTH HEIGHT
//
// Ends after 60 s, or on SIGTERM. Exit status 2 without a display.

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: sdl_drop_target X Y WIDTH HEIGHT\n");
    return 2;
  }
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 2;
  SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
  SDL_Window* window = SDL_CreateWindow("Drop target", std::atoi(argv[1]), std::atoi(argv[2]),
                                        std::atoi(argv[3]), std::atoi(argv[4]), SDL_WINDOW_BORDERLESS);
  if (!window) {
    SDL_Quit();
    return 2;
  }
  if (SDL_Surface* surface = SDL_GetWindowSurface(window)) {
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 40, 160, 60));
    SDL_UpdateWindowSurface(window);
  }
  std::puts("ready");
  std::fflush(stdout);
  const Uint32 end = SDL_GetTicks() + 60000;
  bool quit = false;
  while (!quit && SDL_GetTicks() < end) {
    SDL_Event event;
    if (!SDL_WaitEventTimeout(&event, 100)) continue;
    switch (event.type) {
      case SDL_DROPFILE:
        std::printf("file %s\n", event.drop.file);
        SDL_free(event.drop.file);
        break;
      case SDL_DROPCOMPLETE:
        std::puts("complete");
        break;
      case SDL_QUIT:
        quit = true;
        break;
      default:
        break;
    }
    std::fflush(stdout);
  }
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
