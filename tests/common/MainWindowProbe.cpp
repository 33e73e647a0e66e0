#include "tests/common/MainWindowProbe.h"

#include <thread>

#include "algorithms/AlgorithmThread.h"
#include "app/Globals.h"
#include "document/BFDoc.h"
#include "image/ImageInfo.h"
#include "platform/Platform.h"
#include "tests/common/ProbeLog.h"

int RunMainWindowProbe(const char* logPath, const std::function<int(MainWindowHooks)>& run) {
  if (!probe::OpenLog(logPath)) return 2;
  MainWindowHooks hooks{
      .startAlgorithmEngine =
          [](IWorkerExitRegistry& registry) {
            return theAlgorithmThread.Start(std::thread::hardware_concurrency(), &registry) == 1;
          },
      .initTools = [] { return g_ToolSet.InitTools() == 1; },
      .releaseToolPanels = [] { g_ToolSet.ReleaseToolPanels(); },
  };
  theApp.SetStartupHooks({
      .stopAlgorithmEngine = [] { probe::Write("engine joined %d", theAlgorithmThread.Shutdown()); },
      .runMainWindow = [&] { probe::Write("run %d", run(hooks)); },
  });
  CBFDoc::SetColourSpaceReader(&ReadImageColourSpace);
  const int code = RunPlatform([] {
    probe::Write("init %d", theApp.InitInstance() ? 1 : 0);
    return theApp.ExitInstance();
  });
  // The hooks refer to this call's locals.
  theApp.SetStartupHooks({});
  probe::Write("exit %d", code);
  probe::CloseLog();
  return code;
}
