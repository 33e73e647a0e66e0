// The program's entry point. The main thread becomes the platform thread; the
// application runs on the UI thread and ends with its exit status.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "app/Globals.h"
#include "document/BFDoc.h"
#include "filters/EnlargeFilterSet.h"
#include "image/ImageInfo.h"
#include "platform/Platform.h"
#include "platform/SystemMessage.h"
#include "platform/Utf16.h"

int main(int argc, char** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(FromUtf8(argv[i]));
  theApp.SetCommandLine(std::move(arguments));
  theApp.SetStartupHooks({
      .startAlgorithmEngine = [] { return theAlgorithmThread.Start() == 1; },
      // A thread that does not join in time is detached; the process ends.
      .stopAlgorithmEngine = [] { static_cast<void>(theAlgorithmThread.Shutdown()); },
  });
  // Documents opened from image files convert from the colour space their
  // information records.
  CBFDoc::SetColourSpaceReader(&ReadImageColourSpace);
  // The enlargements finish with the filter library's deconvolution and
  // edge steepening.
  InstallEnlargeFilters();
  SetSystemMessageHandler([](std::u16string_view text) { ShowSystemMessageBox(u"Tessera", text); });
  return RunPlatform([] {
    // The exit status tells how the run ended.
    static_cast<void>(theApp.InitInstance());
    return theApp.ExitInstance();
  });
}
