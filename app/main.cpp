// The program's entry point: runs the application object and ends with its
// exit status. The start-up hooks (StartupHooks.h) are wired here as the
// service client, the algorithm engine and the main window join.

#include <utility>
#include <vector>

#include "app/Globals.h"
#include "platform/Utf16.h"

int main(int argc, char** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(FromUtf8(argv[i]));
  theApp.SetCommandLine(std::move(arguments));
  theApp.InitInstance();
  return theApp.ExitInstance();
}
