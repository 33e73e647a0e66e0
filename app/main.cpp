// The program's entry point. The main thread becomes the platform thread; the
// application runs on the UI thread and ends with its exit status.

#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "app/Globals.h"
#include "document/BFDoc.h"
#include "image/ImageInfo.h"
#include "platform/Platform.h"
#include "platform/SystemMessage.h"
#include "platform/Utf16.h"
#include "ui/dialogs/SMessageDlg.h"

int main(int argc, char** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(FromUtf8(argv[i]));
  theApp.SetCommandLine(std::move(arguments));
  theApp.SetStartupHooks({
      .stopAlgorithmEngine = [] { theAlgorithmThread.Shutdown(); },
  });
  // The parts of the main window that are built; the others show as not
  // built (MainWindowHooks).
  theApp.SetMainWindowHooks({
      .messageBox =
          [](std::u16string_view text, std::int32_t icon, std::int32_t buttons) {
            return ShowMessageBox(text, static_cast<MessageBoxIcon>(icon),
                                  static_cast<MessageBoxButtons>(buttons));
          },
      .startAlgorithmEngine =
          [](IWorkerExitRegistry& registry) {
            return theAlgorithmThread.Start(std::thread::hardware_concurrency(), &registry) == 1;
          },
      .initTools = [] { return g_ToolSet.InitTools() == 1; },
      .releaseToolPanels = [] { g_ToolSet.ReleaseToolPanels(); },
  });
  // Documents opened from image files convert from the colour space their
  // information records.
  CBFDoc::SetColourSpaceReader(&ReadImageColourSpace);
  SetSystemMessageHandler([](std::u16string_view text) { ShowSystemMessageBox(u"Tessera", text); });
  return RunPlatform([] {
    theApp.InitInstance();
    return theApp.ExitInstance();
  });
}
