// The program's entry point. The window and the application shell are not
// built yet; until they are, starting the program only says so.

#include <cstdio>

int main() {
  std::puts("Tessera: the image core is built; the window is not there yet.");
  return 0;
}
